#pragma once

class AlarmList;

// One second of every live entry's block countdown: a positive count goes down by one; "0" stays.
// A count that is not a whole number from 0 to 32767 (a hand-edited file) becomes "0", so no entry
// stays blocked for ever.
void countDownBlockTimers(AlarmList &list);
