#include "alarms/spot_pipeline.h"

#include "alarms/alarm_matcher.h"
#include "alarms/needed_alarm.h"
#include "country/spotter_filter.h"
#include "spots/cluster_message.h"
#include "spots/display_filter.h"
#include "spots/message_log.h"
#include "spots/spot.h"
#include "spots/spot_parser.h"

SpotPipeline::SpotPipeline(Settings &settings, AlarmMatcher &matcher, MessageLog &messageLog, QObject *parent)
    : QObject(parent), m_settings(settings), m_matcher(matcher), m_messageLog(messageLog)
{
}

void SpotPipeline::processLines(QStringView lines)
{
    for (qsizetype from = 0; from < lines.size();) {
        qsizetype end = lines.indexOf(u'\n', from);
        if (end < 0)
            end = lines.size();
        processLine(lines.sliced(from, end - from));
        from = end + 1;
    }
}

bool SpotPipeline::mayMatter(QByteArrayView line)
{
    if (mayShowSpots(m_settings) || (m_needed && m_needed->isActive()))
        return true;
    const QByteArrayView call = spottedCallBytes(line);
    const bool portable = call.size() >= 2 && call[call.size() - 2] == '/' && call.back() == 'P';
    return call.isEmpty() || portable || m_matcher.mayMatch(call);
}

void SpotPipeline::processLine(QStringView line)
{
    if (line.size() < 2 || line[0] != u'D' || line[1] != u'X') {
        const qsizetype spotStart = spotRecordStart(line);
        if (spotStart > 0)
            return processLine(line.sliced(spotStart));
        const std::optional<ClusterMessage> message = parseClusterMessage(line);
        if (!message || !passesMessageFilter(*message, m_settings))
            return;
        const QString shown = line.toString();
        m_messageLog.append(shown);
        emit talkShown(shown);
        return;
    }
    // Taken apart as views into the line: nothing is copied unless a field is kept.
    const std::optional<SpotView> spot = parseSpotView(line);
    if (!spot)
        return;
    if (m_spotterFilter && !m_spotterFilter->passes(line))
        return;
    m_matcher.checkPortableAlarm(*spot);
    m_matcher.matchAlarmList(*spot);
    if (m_needed)
        m_needed->check(*spot);
    if (!passesDisplayFilter(*spot, m_settings))
        return;
    const QString shown = line.toString();
    m_messageLog.append(shown);
    emit spotShown(shown);
}
