#pragma once

#include <QGroupBox>

class AppCore;
class QCheckBox;
class QLineEdit;
class QPushButton;

// The Config dialog's "Notifications": desktop notifications, and the push target with its "Test". The
// boxes are views of their switches; the URL and the token are stored by the dialog's Quit, as its other
// fields are. It takes its room below the dialog's other controls.
class NotificationsGroup final : public QGroupBox {
    Q_OBJECT
public:
    static constexpr int kHeightTwips = 1560;

    NotificationsGroup(AppCore &core, QPushButton &quit, QWidget *dialog);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void store();
    void test();

    AppCore &m_core;
    QCheckBox *m_desktop;
    QLineEdit *m_url;
    QLineEdit *m_token;
    QCheckBox *m_json;
};
