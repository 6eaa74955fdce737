#include "alarms/block_timers.h"

#include "model/alarm_list.h"
#include "model/number_text.h"

#include <QString>

void countDownBlockTimers(AlarmList &list)
{
    for (int i = 0; i <= list.lastCallNr(); ++i) {
        const QString &current = list.at(i).blockTimer;
        const auto seconds = parseWholeNumberIn(current, 0, 32767);
        const QString next = seconds && *seconds > 0 ? QString::number(*seconds - 1) : QStringLiteral("0");
        // Only a change is announced, so an idle list costs nothing per tick.
        if (next != current)
            list.edit(i, [&next](AlarmEntry &entry) { entry.blockTimer = next; });
    }
}
