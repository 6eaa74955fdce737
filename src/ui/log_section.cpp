#include "ui/log_section.h"

#include "alarms/needed_alarm.h"
#include "model/settings.h"
#include "ui/switch_binding.h"
#include "ui/twips.h"

#include <QCheckBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

LogSection::LogSection(Settings &settings, QWidget *parent)
    : ConfigSection(QStringLiteral("Log"), parent), m_settings(settings)
{
    setObjectName(QStringLiteral("GroupLog"));
    const auto label = [this](const QString &text, int top) {
        auto *caption = new QLabel(text, this);
        twips::place(*caption, 120, top, 960, 255);
    };

    label(QStringLiteral("ADIF log"), 360);
    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("TxtLogAdif"));
    m_path->setPlaceholderText(QStringLiteral("exported from your logger (.adi)"));
    twips::place(*m_path, 1080, 300, 3240, 345);
    auto *choose = new QPushButton(QStringLiteral("..."), this);
    choose->setObjectName(QStringLiteral("ButtonLogAdif"));
    choose->setAutoDefault(false);
    choose->setToolTip(QStringLiteral("Choose the ADIF file your logger exports"));
    twips::place(*choose, 4380, 300, 420, 345);
    connect(choose, &QPushButton::clicked, this, &LogSection::chooseLog);

    auto *confirmed = new QCheckBox(QStringLiteral("confirmed QSOs only"), this);
    confirmed->setObjectName(QStringLiteral("CheckNeedConf"));
    confirmed->setToolTip(QStringLiteral("Count a band as worked only with a QSL or LoTW confirmation"));
    twips::place(*confirmed, 1080, 780, 3240, 345);
    bindSwitch(*confirmed, m_settings, Settings::Switch::NeedConf);

    label(QStringLiteral("Sound"), 1320);
    m_sound = new QLineEdit(this);
    m_sound->setObjectName(QStringLiteral("TxtNeedSound"));
    m_sound->setPlaceholderText(NeededAlarm::kDefaultSound);
    twips::place(*m_sound, 1080, 1260, 2040, 345);

    auto *hint = new QLabel(QStringLiteral("\"Needed\" in the main window alarms for entities and bands this "
                                           "log lacks in CW."),
                            this);
    hint->setWordWrap(true);
    twips::place(*hint, 120, 1740, 4680, 495);
}

void LogSection::load()
{
    m_path->setText(m_settings.text(Settings::Text::LogAdif));
    m_sound->setText(m_settings.text(Settings::Text::NeedSound));
}

void LogSection::store()
{
    m_settings.setText(Settings::Text::LogAdif, m_path->text().trimmed());
    m_settings.setText(Settings::Text::NeedSound, m_sound->text().trimmed());
}

void LogSection::chooseLog()
{
    const QString start = m_path->text().isEmpty() ? QDir::homePath() : m_path->text();
    const QString chosen = QFileDialog::getOpenFileName(
        this, QStringLiteral("ADIF log"), start, QStringLiteral("ADIF (*.adi *.adif *.ADI);;All files (*)"));
    if (!chosen.isEmpty())
        m_path->setText(chosen);
}
