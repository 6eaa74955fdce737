#include "cluster/spot_pipeline.h"

#include "cluster/alarm_matcher.h"
#include "cluster/display_filter.h"
#include "cluster/message_log.h"
#include "cluster/spot.h"
#include "cluster/spot_parser.h"

SpotPipeline::SpotPipeline(Settings &settings, AlarmMatcher &matcher, MessageLog &messageLog, QObject *parent)
    : QObject(parent), m_settings(settings), m_matcher(matcher), m_messageLog(messageLog)
{
}

void SpotPipeline::processLine(const QString &line)
{
    // A node prompt sent without a line end glues itself to the front of the next spot line.
    if (!line.startsWith(u"DX")) {
        const qsizetype spotStart = line.indexOf(u"DX de ");
        if (spotStart > 0)
            return processLine(line.sliced(spotStart));
        return;
    }
    const std::optional<Spot> spot = parseSpot(line);
    if (!spot)
        return;
    m_matcher.checkPortableAlarm(*spot);
    m_matcher.matchAlarmList(*spot);
    if (!passesDisplayFilter(*spot, m_settings))
        return;
    m_messageLog.append(spot->line);
    emit spotShown(spot->line);
}
