#include "ui/switch_binding.h"

#include <QCheckBox>

void bindSwitch(QCheckBox &box, Settings &settings, Settings::Switch which)
{
    box.setChecked(settings.isOn(which));
    // Both directions stop when the value is already equal, so the pair cannot ping-pong.
    QObject::connect(&box, &QCheckBox::toggled, &settings,
                     [&settings, which](bool on) { settings.setOn(which, on); });
    QObject::connect(&settings, &Settings::switchChanged, &box,
                     [&box, which](Settings::Switch changed, bool on) {
                         if (changed == which)
                             box.setChecked(on);
                     });
}
