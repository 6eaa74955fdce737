#pragma once

#include "model/settings.h"

class QCheckBox;

// Makes a check box a view of one switch: a click sets the switch, and a switch set by anyone else
// (config.txt, another window, a test) ticks or clears the box. The switch stays the only store.
void bindSwitch(QCheckBox &box, Settings &settings, Settings::Switch which);
