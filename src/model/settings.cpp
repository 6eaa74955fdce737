#include "model/settings.h"

Settings::Settings(QObject *parent) : QObject(parent) {}

void Settings::setOn(Switch which, bool on)
{
    if (m_switches[index(which)] == on)
        return;
    m_switches[index(which)] = on;
    emit switchChanged(which, on);
}

void Settings::setText(Text which, const QString &value)
{
    if (m_texts[index(which)] == value)
        return;
    m_texts[index(which)] = value;
    emit textChanged(which, value);
}

void Settings::applyDefaults()
{
    setText(Text::OwnCall, QStringLiteral("TE0ST"));
    setText(Text::AlTime, QStringLiteral("20"));
    setText(Text::RmtHost, kDefaultHost);
    setText(Text::RmtPort, kDefaultPort);
    setText(Text::QrqSpeed, QStringLiteral("30"));
    for (int i = static_cast<int>(Text::RigModel); i < kTextCount; ++i)
        setText(static_cast<Text>(i), QString());
    for (int i = 0; i < kSwitchCount; ++i)
        setOn(static_cast<Switch>(i), false);
    for (Switch on : {Switch::DxMsgAll, Switch::AlAll, Switch::SoundEn, Switch::OpAl})
        setOn(on, true);
}
