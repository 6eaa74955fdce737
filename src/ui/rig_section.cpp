#include "ui/rig_section.h"

#include "app/app_core.h"
#include "model/settings.h"
#include "rig/hamlib_catalog.h"
#include "rig/rig_control.h"
#include "rig/rig_target.h"
#include "ui/twips.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

RigSection::RigSection(AppCore &core, QWidget *parent)
    : ConfigSection(QStringLiteral("Radio"), parent), m_core(core)
{
    setObjectName(QStringLiteral("GroupRadio"));
    setFixedSize(twips::size(4920, 3120));
    const auto label = [this](const QString &text, int top) {
        auto *caption = new QLabel(text, this);
        twips::place(*caption, 120, top, 840, 255);
    };

    label(QStringLiteral("Model"), 360);
    m_model = new QComboBox(this);
    m_model->setObjectName(QStringLiteral("ComboRigModel"));
    twips::place(*m_model, 960, 300, 3840, 345);
    m_model->addItem(QStringLiteral("no radio"), QString());
    for (const HamlibCatalog::Model &model : HamlibCatalog::models())
        m_model->addItem(QStringLiteral("%1 (%2)").arg(model.name).arg(model.number),
                         QString::number(model.number));
    connect(m_model, &QComboBox::activated, this, &RigSection::modelChosen);

    label(QStringLiteral("Port"), 840);
    m_path = new QLineEdit(this);
    m_path->setObjectName(QStringLiteral("TxtRigPath"));
    twips::place(*m_path, 960, 780, 3840, 345);

    label(QStringLiteral("Speed"), 1320);
    m_speed = new QComboBox(this);
    m_speed->setObjectName(QStringLiteral("ComboRigSpeed"));
    m_speed->setEditable(true);
    m_speed->addItems({QString(), QStringLiteral("4800"), QStringLiteral("9600"), QStringLiteral("19200"),
                       QStringLiteral("38400"), QStringLiteral("57600"), QStringLiteral("115200")});
    m_speed->lineEdit()->setPlaceholderText(QStringLiteral("model's own"));
    twips::place(*m_speed, 960, 1260, 1455, 345);

    auto *testButton = new QPushButton(QStringLiteral("Test"), this);
    testButton->setObjectName(QStringLiteral("ButtonRigTest"));
    testButton->setAutoDefault(false);
    testButton->setToolTip(QStringLiteral("Read the radio's frequency with these settings"));
    twips::place(*testButton, 120, 1800, 840, 375);
    connect(testButton, &QPushButton::clicked, this, &RigSection::test);
    m_answer = new QLabel(this);
    m_answer->setObjectName(QStringLiteral("LabelRigTest"));
    m_answer->setTextFormat(Qt::PlainText);
    twips::place(*m_answer, 1080, 1860, 3720, 255);
    connect(&m_core.rig(), &RigControl::tested, m_answer, &QLabel::setText);

    auto *hint = new QLabel(QStringLiteral("Tune with a click on a pop-up's frequency, a double-click on a "
                                           "spot, or a table row's right-click menu."),
                            this);
    hint->setWordWrap(true);
    twips::place(*hint, 120, 2340, 4680, 675);
}

void RigSection::load()
{
    const Settings &settings = m_core.settings();
    const QString model = settings.text(Settings::Text::RigModel);
    int index = m_model->findData(model.trimmed());
    if (index < 0) {
        // A hand-edited number Hamlib does not know is shown as it is and kept unless changed.
        m_model->addItem(QStringLiteral("%1 (unknown to Hamlib)").arg(model), model);
        index = m_model->count() - 1;
    }
    m_model->setCurrentIndex(index);
    m_path->setText(settings.text(Settings::Text::RigPath));
    m_speed->setEditText(settings.text(Settings::Text::RigSpeed));
    m_answer->clear();
    modelChosen();
}

void RigSection::store()
{
    Settings &settings = m_core.settings();
    settings.setText(Settings::Text::RigModel, m_model->currentData().toString());
    settings.setText(Settings::Text::RigPath, m_path->text());
    settings.setText(Settings::Text::RigSpeed, m_speed->currentText());
}

void RigSection::modelChosen()
{
    const auto model = HamlibCatalog::find(m_model->currentData().toString().toInt());
    const bool network = model && model->network;
    // NET rigctl without a port gets the rigctld default, so choosing it is all a logger's user does.
    if (network && m_path->text().isEmpty() && m_model->currentIndex() > 0)
        m_path->setText(HamlibCatalog::kNetRigctlPath);
    m_path->setPlaceholderText(network ? QStringLiteral("host:port") : QStringLiteral("/dev/ttyUSB0"));
    m_speed->setEnabled(!model || model->serial);
}

void RigSection::test()
{
    m_answer->setText(QStringLiteral("asking the radio ..."));
    m_core.rig().test(
        RigTarget::fromTexts(m_model->currentData().toString(), m_path->text(), m_speed->currentText()));
}
