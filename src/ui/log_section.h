#pragma once

#include "ui/config_section.h"

class QLineEdit;
class Settings;

// Config's "Log" group: the operator's ADIF log ($LOGADIF) with a file chooser, whether only confirmed QSOs
// count ($NEEDCONF) and the needed alarm's sound ($NEEDSOUND). The texts are stored by the dialog's Quit,
// like its own fields; the box takes effect at a click, like the main window's switches.
class LogSection final : public ConfigSection {
    Q_OBJECT
public:
    explicit LogSection(Settings &settings, QWidget *parent = nullptr);

    void load() override;
    void store() override;

private:
    void chooseLog();

    Settings &m_settings;
    QLineEdit *m_path = nullptr;
    QLineEdit *m_sound = nullptr;
};
