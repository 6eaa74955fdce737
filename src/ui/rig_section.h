#pragma once

#include "ui/config_section.h"

class AppCore;
class QComboBox;
class QLabel;
class QLineEdit;

// Config's "Radio" group: the Hamlib model, port and speed ($RIGMODEL, $RIGPATH, $RIGSPEED) and a test.
class RigSection final : public ConfigSection {
    Q_OBJECT
public:
    explicit RigSection(AppCore &core, QWidget *parent = nullptr);

    void load() override;
    void store() override;

private:
    void modelChosen();
    void test();

    AppCore &m_core;
    QComboBox *m_model = nullptr;
    QLineEdit *m_path = nullptr;
    QComboBox *m_speed = nullptr;
    QLabel *m_answer = nullptr;
};
