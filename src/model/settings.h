#pragma once

#include "model/band.h"

#include <QObject>
#include <QString>

#include <array>

// The operator's settings: the texts of the configuration dialog and the on/off switches of the
// main window. This is the only store of them; check boxes are views bound to it both ways.
class Settings final : public QObject {
    Q_OBJECT
public:
    enum class Switch {
        DxMsgAll, // "show all"
        DxEnable160,
        DxEnable80,
        DxEnable60,
        DxEnable40,
        DxEnable30,
        DxEnable20,
        DxEnable17,
        DxEnable15,
        DxEnable12,
        DxEnable10,
        QrqMsg,  // "QRQ"
        PortMsg, // "/P" display filter
        AlAll,   // "enable all bands"
        AlEnable160,
        AlEnable80,
        AlEnable60,
        AlEnable40,
        AlEnable30,
        AlEnable20,
        AlEnable17,
        AlEnable15,
        AlEnable12,
        AlEnable10,
        OpAl,    // "OP-List"
        PortAl,  // "/P" alarm
        SoundEn, // "Sound"
        LogFile, // "write server data log"
        // Written only when on, after the switches above, so older files stay byte for byte the same.
        Needed,   // alarms for entities and bands the operator's log lacks
        NeedConf, // only confirmed QSOs count as worked
        Notify,   // desktop notifications
        PushJson, // push the event's JSON instead of a text line
    };
    static constexpr int kSwitchCount = static_cast<int>(Switch::PushJson) + 1;

    // RigModel is Hamlib's model number (empty = no radio), RigPath a device or host:port, RigSpeed a
    // serial speed (empty = the model's own). The texts after RigSpeed are empty by default and written
    // only when set: CtyFile a country file, SpotterCont continents ("EU,AF"; empty = all), LogAdif the
    // operator's ADIF log, NeedSound the needed alarm's WAV, PushUrl and PushToken the push target.
    enum class Text {
        OwnCall,
        AlTime,
        RmtHost,
        RmtPort,
        QrqSpeed,
        RigModel,
        RigPath,
        RigSpeed,
        CtyFile,
        SpotterCont,
        LogAdif,
        NeedSound,
        PushUrl,
        PushToken,
    };
    static constexpr int kTextCount = static_cast<int>(Text::PushToken) + 1;

    static constexpr Switch displaySwitch(Band band)
    {
        return static_cast<Switch>(static_cast<int>(Switch::DxEnable160) + bandIndex(band));
    }
    static constexpr Switch alarmSwitch(Band band)
    {
        return static_cast<Switch>(static_cast<int>(Switch::AlEnable160) + bandIndex(band));
    }

    static inline const QString kDefaultHost = QStringLiteral("telnet.reversebeacon.net");
    static inline const QString kDefaultPort = QStringLiteral("7000");

    explicit Settings(QObject *parent = nullptr);

    bool isOn(Switch which) const { return m_switches[index(which)]; }
    void setOn(Switch which, bool on);

    const QString &text(Text which) const { return m_texts[index(which)]; }
    void setText(Text which, const QString &value);

    QString ownCall() const { return text(Text::OwnCall); }
    QString alTime() const { return text(Text::AlTime); }
    QString rmtHost() const { return text(Text::RmtHost); }
    QString rmtPort() const { return text(Text::RmtPort); }
    QString qrqSpeed() const { return text(Text::QrqSpeed); }

    // The defaults a run has before config.txt is applied.
    void applyDefaults();

signals:
    void switchChanged(Settings::Switch which, bool on);
    void textChanged(Settings::Text which, const QString &value);

private:
    static constexpr std::size_t index(Switch which) { return static_cast<std::size_t>(which); }
    static constexpr std::size_t index(Text which) { return static_cast<std::size_t>(which); }

    std::array<bool, kSwitchCount> m_switches{};
    std::array<QString, kTextCount> m_texts{};
};
