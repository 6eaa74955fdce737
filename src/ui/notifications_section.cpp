#include "ui/notifications_section.h"

#include "app/app_core.h"
#include "model/settings.h"
#include "outlets/alarm_outlets.h"
#include "ui/switch_binding.h"
#include "ui/twips.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

NotificationsSection::NotificationsSection(AppCore &core, QWidget *parent)
    : ConfigSection(QStringLiteral("Notifications"), parent), m_core(core), m_url(new QLineEdit(this)),
      m_token(new QLineEdit(this)), m_json(new QCheckBox(QStringLiteral("JSON body"), this))
{
    setObjectName(QStringLiteral("GroupNotifications"));
    setFixedSize(twips::size(4920, 2160));
    Settings &settings = core.settings();

    auto *desktop = new QCheckBox(QStringLiteral("Desktop notifications"), this);
    desktop->setObjectName(QStringLiteral("CheckNotify"));
    twips::place(*desktop, 120, 300, 3000, 300);
    bindSwitch(*desktop, settings, Settings::Switch::Notify);

    const auto label = [this](const QString &text, int top) {
        auto *caption = new QLabel(text, this);
        twips::place(*caption, 120, top, 840, 255);
    };
    label(QStringLiteral("Push URL"), 780);
    m_url->setObjectName(QStringLiteral("TxtPushUrl"));
    m_url->setPlaceholderText(QStringLiteral("https://ntfy.example.org/your-topic"));
    twips::place(*m_url, 960, 720, 3840, 345);
    label(QStringLiteral("Token"), 1260);
    m_token->setObjectName(QStringLiteral("TxtPushToken"));
    m_token->setEchoMode(QLineEdit::Password);
    m_token->setPlaceholderText(QStringLiteral("none"));
    twips::place(*m_token, 960, 1200, 2280, 345);
    m_json->setObjectName(QStringLiteral("CheckPushJson"));
    twips::place(*m_json, 3360, 1200, 1440, 345);
    bindSwitch(*m_json, settings, Settings::Switch::PushJson);

    auto *testButton = new QPushButton(QStringLiteral("Test"), this);
    testButton->setObjectName(QStringLiteral("ButtonTestPush"));
    testButton->setAutoDefault(false);
    testButton->setToolTip(QStringLiteral("Send one test push; the answer shows on the status line"));
    twips::place(*testButton, 960, 1680, 1215, 375);
    connect(testButton, &QPushButton::clicked, this, &NotificationsSection::test);
}

void NotificationsSection::load()
{
    m_url->setText(m_core.settings().text(Settings::Text::PushUrl));
    m_token->setText(m_core.settings().text(Settings::Text::PushToken));
}

void NotificationsSection::store()
{
    m_core.settings().setText(Settings::Text::PushUrl, m_url->text().trimmed());
    m_core.settings().setText(Settings::Text::PushToken, m_token->text().trimmed());
}

void NotificationsSection::test()
{
    m_core.outlets().sendTest(PushTarget{m_url->text(), m_token->text(), m_json->isChecked()});
}
