#pragma once

#include <QObject>
#include <QString>

class AlarmMatcher;
class MessageLog;
class Settings;

// The road of one received line: parse it, then the portable alarm, the alarm-list match and last
// the display decision, in that fixed order.
class SpotPipeline final : public QObject {
    Q_OBJECT
public:
    SpotPipeline(Settings &settings, AlarmMatcher &matcher, MessageLog &messageLog,
                 QObject *parent = nullptr);

    void processLine(const QString &line);

signals:
    void spotShown(const QString &line);

private:
    Settings &m_settings;
    AlarmMatcher &m_matcher;
    MessageLog &m_messageLog;
};
