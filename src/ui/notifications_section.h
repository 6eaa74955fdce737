#pragma once

#include "ui/config_section.h"

class AppCore;
class QCheckBox;
class QLineEdit;

// Config's "Notifications": desktop notifications ($NOTIFY), the push target ($PUSHURL, $PUSHTOKEN,
// $PUSHJSON) and a "Test" that pushes once with the fields as they are. The boxes are views of their
// switches; the URL and the token are stored as the dialog's other fields are.
class NotificationsSection final : public ConfigSection {
    Q_OBJECT
public:
    explicit NotificationsSection(AppCore &core, QWidget *parent = nullptr);

    void load() override;
    void store() override;

private:
    void test();

    AppCore &m_core;
    QLineEdit *m_url;
    QLineEdit *m_token;
    QCheckBox *m_json;
};
