#include "model/config_file.h"

#include "model/alarm_list.h"
#include "model/band.h"
#include "model/settings.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <array>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstring>
#include <unistd.h>
#endif

namespace {

enum class Target { Text, Switch, NewEntry, EntryField };

// One key of the file. Its whole text is compared; a key that ends in a blank is followed directly
// by the value, any other key by one separator character (the writer writes a blank) and then the value.
struct Key {
    QLatin1StringView text;
    Target target = Target::Text;
    Settings::Text textField = Settings::Text::OwnCall;
    Settings::Switch switchField = Settings::Switch::DxMsgAll;
    QString AlarmEntry::*entryField = nullptr;
};

constexpr Key textKey(const char *text, Settings::Text field)
{
    return {QLatin1StringView(text), Target::Text, field, {}, nullptr};
}
constexpr Key switchKey(QLatin1StringView text, Settings::Switch field)
{
    return {text, Target::Switch, {}, field, nullptr};
}
constexpr Key switchKey(const char *text, Settings::Switch field)
{
    return switchKey(QLatin1StringView(text), field);
}
constexpr Key entryKey(const char *text, QString AlarmEntry::*field)
{
    return {QLatin1StringView(text), Target::EntryField, {}, {}, field};
}

// The reader tests the keys in this order and the first match decides: "$SOUNDEN" must come before
// "$SOUND", and the display keys carry their blank so that "$DX160 " and "$DX160AL" stay apart.
const std::array<Key, 54> kKeys = [] {
    using S = Settings::Switch;
    using T = Settings::Text;
    std::array<Key, 54> keys{};
    std::size_t n = 0;
    keys[n++] = textKey("$LOGIN", T::OwnCall);
    keys[n++] = textKey("$ALTIME", T::AlTime);
    keys[n++] = textKey("$RMTHOST", T::RmtHost);
    keys[n++] = textKey("$RMTPORT", T::RmtPort);
    keys[n++] = switchKey("$DXMSGALL", S::DxMsgAll);
    for (const BandInfo &band : kBands)
        keys[n++] = switchKey(band.displayKey, Settings::displaySwitch(band.band));
    keys[n++] = switchKey("$QRQMSG ", S::QrqMsg);
    keys[n++] = switchKey("$PORTMSG ", S::PortMsg);
    keys[n++] = textKey("$QRQSPEED ", T::QrqSpeed);
    keys[n++] = switchKey("$ALALL", S::AlAll);
    for (const BandInfo &band : kBands)
        keys[n++] = switchKey(band.alarmKey, Settings::alarmSwitch(band.band));
    keys[n++] = switchKey("$OPAL", S::OpAl);
    keys[n++] = switchKey("$PORTAL ", S::PortAl);
    keys[n++] = switchKey("$LOGFILE ", S::LogFile);
    keys[n++] = switchKey("$SOUNDEN", S::SoundEn);
    keys[n++] = {QLatin1StringView("$CALL"), Target::NewEntry, {}, {}, &AlarmEntry::call};
    keys[n++] = entryKey("$TXT", &AlarmEntry::text);
    keys[n++] = entryKey("$SOUND", &AlarmEntry::sound);
    keys[n++] = entryKey("$TIME", &AlarmEntry::time);
    keys[n++] = entryKey("$DATE", &AlarmEntry::date);
    keys[n++] = entryKey("$QRG", &AlarmEntry::qrg);
    keys[n++] = entryKey("$ENABLE", &AlarmEntry::enable);
    keys[n++] = entryKey("$BLOCKTIME", &AlarmEntry::blockTimeSet);
    keys[n++] = textKey("$RIGMODEL", T::RigModel);
    keys[n++] = textKey("$RIGPATH", T::RigPath);
    keys[n++] = textKey("$RIGSPEED", T::RigSpeed);
    keys[n++] = textKey("$CTYFILE", T::CtyFile);
    keys[n++] = textKey("$SPOTTERCONT", T::SpotterCont);
    keys[n++] = textKey("$LOGADIF", T::LogAdif);
    keys[n++] = switchKey("$NEEDED", S::Needed);
    keys[n++] = switchKey("$NEEDCONF", S::NeedConf);
    keys[n++] = textKey("$NEEDSOUND", T::NeedSound);
    keys[n++] = switchKey("$NOTIFY", S::Notify);
    keys[n++] = textKey("$PUSHURL", T::PushUrl);
    keys[n++] = textKey("$PUSHTOKEN", T::PushToken);
    keys[n++] = switchKey("$PUSHJSON", S::PushJson);
    Q_ASSERT(n == keys.size());
    return keys;
}();

// The order of the switch lines in a written file (not the reader's order: "$SOUNDEN" comes before
// "$OPAL" there). The speed threshold sits among them, after "$PORTMSG ".
constexpr std::array<Settings::Switch, 28> kWrittenSwitches{
    Settings::Switch::DxMsgAll,   Settings::Switch::DxEnable160, Settings::Switch::DxEnable80,
    Settings::Switch::DxEnable60, Settings::Switch::DxEnable40,  Settings::Switch::DxEnable30,
    Settings::Switch::DxEnable20, Settings::Switch::DxEnable17,  Settings::Switch::DxEnable15,
    Settings::Switch::DxEnable12, Settings::Switch::DxEnable10,  Settings::Switch::QrqMsg,
    Settings::Switch::PortMsg,    Settings::Switch::AlAll,       Settings::Switch::AlEnable160,
    Settings::Switch::AlEnable80, Settings::Switch::AlEnable60,  Settings::Switch::AlEnable40,
    Settings::Switch::AlEnable30, Settings::Switch::AlEnable20,  Settings::Switch::AlEnable17,
    Settings::Switch::AlEnable15, Settings::Switch::AlEnable12,  Settings::Switch::AlEnable10,
    Settings::Switch::SoundEn,    Settings::Switch::OpAl,        Settings::Switch::PortAl,
    Settings::Switch::LogFile,
};

QLatin1StringView keyOf(Settings::Switch which)
{
    for (const Key &key : kKeys) {
        if (key.target == Target::Switch && key.switchField == which)
            return key.text;
    }
    Q_UNREACHABLE();
    return {};
}

QLatin1StringView keyOf(Settings::Text which)
{
    for (const Key &key : kKeys) {
        if (key.target == Target::Text && key.textField == which)
            return key.text;
    }
    Q_UNREACHABLE();
    return {};
}

bool endsInBlank(QLatin1StringView key)
{
    return key.endsWith(QLatin1Char(' '));
}

QStringView valueOf(QStringView line, QLatin1StringView key)
{
    qsizetype start = key.size();
    if (!endsInBlank(key) && start < line.size()) {
        // The separator is one character, also when it is one outside the 16-bit range.
        const bool pair =
            line[start].isHighSurrogate() && start + 1 < line.size() && line[start + 1].isLowSurrogate();
        start += pair ? 2 : 1;
    }
    return start < line.size() ? line.sliced(start) : QStringView();
}

// Files written here are UTF-8; files brought over from Windows are in its 8-bit code page, whose
// letters we read as Latin-1. Deciding per line keeps a single odd line from spoiling the rest.
QString decodeLine(QByteArrayView bytes)
{
    return bytes.isValidUtf8() ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

struct ReaderState {
    int entry = -1;              // slot the entry lines go to
    bool inSkippedEntry = false; // the last "$CALL" found the list full
};

void applyLine(QStringView line, Settings &settings, AlarmList &list, ReaderState &state,
               ConfigFile::ReadResult &result)
{
    for (const Key &key : kKeys) {
        if (!line.startsWith(key.text))
            continue;
        const QStringView value = valueOf(line, key.text);
        switch (key.target) {
        case Target::Text:
            settings.setText(key.textField, value.toString());
            break;
        case Target::Switch:
            settings.setOn(key.switchField, value == QLatin1StringView("on"));
            break;
        case Target::NewEntry:
            if (!list.appendSlot()) {
                ++result.entriesSkipped;
                state = {-1, true};
                break;
            }
            state = {list.lastCallNr(), false};
            list.edit(state.entry, [&](AlarmEntry &slot) { slot.call = value.toString(); });
            break;
        case Target::EntryField:
            if (state.entry < 0) {
                if (!state.inSkippedEntry)
                    ++result.orphanLinesSkipped;
                break;
            }
            list.edit(state.entry, [&](AlarmEntry &slot) { slot.*key.entryField = value.toString(); });
            break;
        }
        return;
    }
}

class LineWriter {
public:
    void line(QLatin1StringView text)
    {
        m_bytes += QByteArrayView(text.data(), text.size());
        m_bytes += "\r\n";
    }
    // A key line reads back to exactly this value. A line break inside the value would split the line
    // and let the rest be read as a line of its own, so it is written as a blank.
    void keyLine(QLatin1StringView key, QString value)
    {
        value.replace(QLatin1Char('\n'), QLatin1Char(' '));
        m_bytes += QByteArrayView(key.data(), key.size());
        if (!endsInBlank(key))
            m_bytes += ' ';
        m_bytes += value.toUtf8();
        m_bytes += "\r\n";
    }
    QByteArray &bytes() { return m_bytes; }

private:
    QByteArray m_bytes;
};

void writeOptionalKeys(LineWriter &out, const Settings &settings)
{
    using S = Settings::Switch;
    using T = Settings::Text;
    const auto text = [&](T which) {
        if (!settings.text(which).isEmpty())
            out.keyLine(keyOf(which), settings.text(which));
    };
    const auto onOnly = [&](S which) {
        if (settings.isOn(which))
            out.keyLine(keyOf(which), QStringLiteral("on"));
    };
    text(T::CtyFile);
    text(T::SpotterCont);
    text(T::LogAdif);
    onOnly(S::Needed);
    onOnly(S::NeedConf);
    text(T::NeedSound);
    onOnly(S::Notify);
    text(T::PushUrl);
    text(T::PushToken);
    onOnly(S::PushJson);
}

void writeEntry(LineWriter &out, const AlarmEntry &entry, int number)
{
    const QByteArray n = QByteArray::number(number);
    out.bytes() += ":-- Call Nr." + n + " start ----------\r\n";
    out.keyLine(QLatin1StringView("$CALL"), entry.call);
    out.keyLine(QLatin1StringView("$TXT"), entry.text);
    out.keyLine(QLatin1StringView("$SOUND"), entry.sound);
    out.keyLine(QLatin1StringView("$TIME"), entry.time);
    out.keyLine(QLatin1StringView("$DATE"), entry.date);
    out.keyLine(QLatin1StringView("$QRG"), entry.qrg);
    out.keyLine(QLatin1StringView("$ENABLE"), entry.enable.isEmpty() ? QStringLiteral("on") : entry.enable);
    out.keyLine(QLatin1StringView("$BLOCKTIME"), entry.blockTimeSet);
    out.bytes() += ":-- Call Nr." + n + " end ------------\r\n";
    out.line(QLatin1StringView(":"));
    out.line(QLatin1StringView(":"));
}

} // namespace

QByteArray ConfigFile::serialize(const Settings &settings, const AlarmList &list)
{
    LineWriter out;
    out.line(QLatin1StringView(": Configuration-File for VemrokAlarm"));
    out.line(QLatin1StringView(":"));
    for (Settings::Text which :
         {Settings::Text::OwnCall, Settings::Text::AlTime, Settings::Text::RmtHost, Settings::Text::RmtPort})
        out.keyLine(keyOf(which), settings.text(which));
    out.line(QLatin1StringView(":"));
    out.line(QLatin1StringView(":--User Configuration  ----------"));
    for (Settings::Switch which : kWrittenSwitches) {
        out.keyLine(keyOf(which), settings.isOn(which) ? QStringLiteral("on") : QStringLiteral("off"));
        if (which == Settings::Switch::PortMsg)
            out.keyLine(keyOf(Settings::Text::QrqSpeed), settings.qrqSpeed());
    }
    // Only with a radio set: a file without one stays exactly what older versions wrote.
    if (!settings.text(Settings::Text::RigModel).isEmpty()) {
        for (Settings::Text which :
             {Settings::Text::RigModel, Settings::Text::RigPath, Settings::Text::RigSpeed})
            out.keyLine(keyOf(which), settings.text(which));
    }
    // The same for the later keys: written only when they differ from their defaults, in this order.
    writeOptionalKeys(out, settings);
    out.line(QLatin1StringView(":"));
    // An empty list is never written as empty: slot 0 (the sample entry on a first start) stands in.
    const int last = qMax(list.lastCallNr(), 0);
    for (int i = 0; i <= last; ++i)
        writeEntry(out, list.at(i), i + 1);
    out.line(QLatin1StringView(": end of configuration file"));
    return out.bytes();
}

void ConfigFile::apply(QByteArrayView content, Settings &settings, AlarmList &list, ReadResult &result)
{
    // A byte order mark that an editor put in front would hide the first line's key.
    if (content.startsWith("\xEF\xBB\xBF"))
        content = content.sliced(3);
    ReaderState state;
    qsizetype from = 0;
    while (from < content.size()) {
        qsizetype end = content.indexOf('\n', from);
        const qsizetype next = end < 0 ? content.size() : end + 1;
        if (end < 0)
            end = content.size();
        else if (end > from && content[end - 1] == '\r')
            --end;
        const QByteArrayView bytes = content.sliced(from, end - from);
        // Every key begins with "$"; comments and stray lines need no decoding.
        if (bytes.startsWith('$'))
            applyLine(decodeLine(bytes), settings, list, state, result);
        from = next;
    }
}

ConfigFile::ReadResult ConfigFile::read(const QString &path, Settings &settings, AlarmList &list)
{
    ReadResult result;
    const auto unreadable = [&](const QString &why) {
        result.status = ReadStatus::Unreadable;
        result.error = why;
        return result;
    };
    const QString tooLarge = QStringLiteral("is larger than %1 MiB").arg(kMaxFileSize >> 20);
    const QFileInfo info(path);
    if (!info.exists()) {
        result.status = ReadStatus::Missing;
        return result;
    }
    if (info.isDir())
        return unreadable(QStringLiteral("is a folder"));
    // A pipe or device could block the start or never end.
    if (!info.isFile())
        return unreadable(QStringLiteral("is not a regular file"));
    if (info.size() > kMaxFileSize)
        return unreadable(tooLarge);

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return unreadable(file.errorString());
    const QByteArray content = file.read(kMaxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        return unreadable(file.errorString());
    if (content.size() > kMaxFileSize)
        return unreadable(tooLarge);
    file.close();

    apply(content, settings, list, result);
    return result;
}

ConfigFile::WriteResult ConfigFile::write(const QString &path, const Settings &settings,
                                          const AlarmList &list)
{
    const QByteArray bytes = serialize(settings, list);
    QSaveFile file(path);
    // Unbuffered, so that every failed write shows here: QSaveFile does not notice one that happens
    // while it flushes its buffer in commit(), and would rename a truncated file over the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return {false, file.errorString()};
    const auto fail = [&file](const QString &why) {
        file.cancelWriting();
        return WriteResult{false, why};
    };
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            return fail(file.errorString());
        done += n;
    }
#ifdef Q_OS_UNIX
    // commit() syncs too but ignores the outcome; a failed sync must not replace the old file.
    if (::fsync(file.handle()) != 0)
        return fail(QString::fromLocal8Bit(std::strerror(errno)));
#endif
    if (!file.commit())
        return {false, file.errorString()};
    return {};
}
