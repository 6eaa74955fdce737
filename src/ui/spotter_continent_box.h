#pragma once

#include <QGroupBox>

#include <array>

class QCheckBox;
class Settings;

// "Spotters from": one box a continent, bound both ways to $SPOTTERCONT. No box ticked keeps every spot.
class SpotterContinentBox final : public QGroupBox {
    Q_OBJECT
public:
    static constexpr std::array<const char *, 7> kContinents = {"AF", "AN", "AS", "EU", "NA", "OC", "SA"};

    explicit SpotterContinentBox(Settings &settings, QWidget *parent = nullptr);

    QCheckBox &box(int continent) const { return *m_boxes[static_cast<std::size_t>(continent)]; }

private:
    void showSetting(const QString &value);
    void storeSetting();

    Settings &m_settings;
    std::array<QCheckBox *, kContinents.size()> m_boxes{};
};
