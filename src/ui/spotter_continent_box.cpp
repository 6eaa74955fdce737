#include "ui/spotter_continent_box.h"

#include "model/settings.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QRegularExpression>
#include <QStringList>

SpotterContinentBox::SpotterContinentBox(Settings &settings, QWidget *parent)
    : QGroupBox(QStringLiteral("Spotters from"), parent), m_settings(settings)
{
    setObjectName(QStringLiteral("GroupSpotterCont"));
    setToolTip(QStringLiteral("Show and alarm only spots whose spotter is on a ticked continent; "
                              "none ticked: all spots"));
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(6, 2, 6, 2);
    grid->setSpacing(2);
    for (std::size_t i = 0; i < kContinents.size(); ++i) {
        auto *box = new QCheckBox(QString::fromLatin1(kContinents[i]), this);
        box->setObjectName(QStringLiteral("CheckSpotterCont") + box->text());
        grid->addWidget(box, 0, static_cast<int>(i));
        // clicked, not toggled: only the operator's click writes the setting.
        connect(box, &QCheckBox::clicked, this, &SpotterContinentBox::storeSetting);
        m_boxes[i] = box;
    }
    showSetting(settings.text(Settings::Text::SpotterCont));
    connect(&settings, &Settings::textChanged, this, [this](Settings::Text which, const QString &value) {
        if (which == Settings::Text::SpotterCont)
            showSetting(value);
    });
}

void SpotterContinentBox::showSetting(const QString &value)
{
    const QStringList words = value.toUpper().split(QRegularExpression(QStringLiteral("[,\\s]+")));
    for (QCheckBox *box : m_boxes)
        box->setChecked(words.contains(box->text()));
}

void SpotterContinentBox::storeSetting()
{
    QStringList ticked;
    for (const QCheckBox *box : m_boxes) {
        if (box->isChecked())
            ticked << box->text();
    }
    m_settings.setText(Settings::Text::SpotterCont, ticked.join(u','));
}
