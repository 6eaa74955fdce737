#pragma once

#include <QByteArrayView>
#include <QObject>
#include <QString>
#include <QStringView>

class AlarmMatcher;
class MessageLog;
class NeededAlarm;
class Settings;
class SpotterFilter;

// The road of one received line: parse it, then the portable alarm, the alarm-list match and last
// the display decision, in that fixed order. A line that holds no spot may be a talk or an announcement,
// which goes to the message window by its own rule and raises nothing.
class SpotPipeline final : public QObject {
    Q_OBJECT
public:
    SpotPipeline(Settings &settings, AlarmMatcher &matcher, MessageLog &messageLog,
                 QObject *parent = nullptr);

    void processLine(QStringView line);
    // Whether a received line (its bytes, before decoding) could show or alarm anything. False only for a
    // spot whose call no alarm watches while nothing shows spots and no needed alarm runs: under a contest's
    // firehose most lines end here without being decoded or parsed.
    bool mayMatter(QByteArrayView line);
    // The lines of one arrival, each ended by LF, one after the other.
    void processLines(QStringView lines);
    // $SPOTTERCONT: spots it refuses go no further than the parser.
    void setSpotterFilter(const SpotterFilter *filter) { m_spotterFilter = filter; }
    // Asked about every spot after the call alarms; none by default.
    void setNeededAlarm(NeededAlarm *needed) { m_needed = needed; }

signals:
    void spotShown(const QString &line);
    // A talk or announcement was written to the message window.
    void talkShown(const QString &line);

private:
    Settings &m_settings;
    AlarmMatcher &m_matcher;
    MessageLog &m_messageLog;
    const SpotterFilter *m_spotterFilter = nullptr;
    NeededAlarm *m_needed = nullptr;
};
