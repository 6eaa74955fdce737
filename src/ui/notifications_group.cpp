#include "ui/notifications_group.h"

#include "app/app_core.h"
#include "model/settings.h"
#include "outlets/alarm_outlets.h"
#include "ui/switch_binding.h"
#include "ui/twips.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

NotificationsGroup::NotificationsGroup(AppCore &core, QPushButton &quit, QWidget *dialog)
    : QGroupBox(QStringLiteral("Notifications"), dialog), m_core(core), m_desktop(new QCheckBox(this)),
      m_url(new QLineEdit(this)), m_token(new QLineEdit(this)), m_json(new QCheckBox(this))
{
    setObjectName(QStringLiteral("GroupNotifications"));
    // Below everything the dialog had; the dialog grows by the group's height.
    const int top = dialog->height() * twips::kPerPixel;
    dialog->setFixedHeight(dialog->height() + twips::toPixels(kHeightTwips + 120));
    twips::place(*this, 120, top, 10080, kHeightTwips);

    Settings &settings = core.settings();
    m_desktop->setText(QStringLiteral("Desktop notifications"));
    m_desktop->setObjectName(QStringLiteral("CheckNotify"));
    twips::place(*m_desktop, 120, 300, 2760, 300);
    bindSwitch(*m_desktop, settings, Settings::Switch::Notify);

    const auto label = [this](const QString &text, int top) {
        auto *caption = new QLabel(text, this);
        twips::place(*caption, 120, top, 1080, 255);
    };
    label(QStringLiteral("Push URL"), 720);
    m_url->setObjectName(QStringLiteral("TxtPushUrl"));
    m_url->setPlaceholderText(QStringLiteral("https://ntfy.sh/your-secret-topic"));
    twips::place(*m_url, 1200, 660, 6360, 345);
    label(QStringLiteral("Token"), 1140);
    m_token->setObjectName(QStringLiteral("TxtPushToken"));
    m_token->setEchoMode(QLineEdit::Password);
    m_token->setPlaceholderText(QStringLiteral("none"));
    twips::place(*m_token, 1200, 1080, 3840, 345);

    m_json->setText(QStringLiteral("JSON body"));
    m_json->setObjectName(QStringLiteral("CheckPushJson"));
    twips::place(*m_json, 5280, 1080, 1455, 345);
    bindSwitch(*m_json, settings, Settings::Switch::PushJson);

    auto *testButton = new QPushButton(QStringLiteral("Test"), this);
    testButton->setObjectName(QStringLiteral("ButtonTestPush"));
    testButton->setAutoDefault(false);
    testButton->setToolTip(QStringLiteral("Send one test push; the answer shows on the status line"));
    twips::place(*testButton, 7800, 660, 1215, 375);
    connect(testButton, &QPushButton::clicked, this, &NotificationsGroup::test);
    connect(&quit, &QPushButton::clicked, this, &NotificationsGroup::store);
}

void NotificationsGroup::showEvent(QShowEvent *event)
{
    QGroupBox::showEvent(event);
    if (event->spontaneous())
        return;
    m_url->setText(m_core.settings().text(Settings::Text::PushUrl));
    m_token->setText(m_core.settings().text(Settings::Text::PushToken));
}

void NotificationsGroup::store()
{
    m_core.settings().setText(Settings::Text::PushUrl, m_url->text().trimmed());
    m_core.settings().setText(Settings::Text::PushToken, m_token->text().trimmed());
}

void NotificationsGroup::test()
{
    m_core.outlets().sendTest(PushTarget{m_url->text(), m_token->text(), m_json->isChecked()});
}
