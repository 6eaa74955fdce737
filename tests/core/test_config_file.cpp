#include "model/alarm_list.h"
#include "model/config_file.h"
#include "model/settings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace {

// What a fresh file holds: every line as the file layout gives it, the defaults and the sample entry.
const QByteArray kDefaultFile =
    ": Configuration-File for VemrokAlarm\r\n"
    ":\r\n"
    "$LOGIN TE0ST\r\n$ALTIME 20\r\n$RMTHOST telnet.reversebeacon.net\r\n$RMTPORT 7000\r\n"
    ":\r\n"
    ":--User Configuration  ----------\r\n"
    "$DXMSGALL on\r\n"
    "$DX160 off\r\n$DX80 off\r\n$DX60 off\r\n$DX40 off\r\n$DX30 off\r\n"
    "$DX20 off\r\n$DX17 off\r\n$DX15 off\r\n$DX12 off\r\n$DX10 off\r\n"
    "$QRQMSG off\r\n$PORTMSG off\r\n$QRQSPEED 30\r\n$ALALL on\r\n"
    "$DX160AL off\r\n$DX80AL off\r\n$DX60AL off\r\n$DX40AL off\r\n$DX30AL off\r\n"
    "$DX20AL off\r\n$DX17AL off\r\n$DX15AL off\r\n$DX12AL off\r\n$DX10AL off\r\n"
    "$SOUNDEN on\r\n$OPAL on\r\n$PORTAL off\r\n$LOGFILE off\r\n"
    ":\r\n"
    ":-- Call Nr.1 start ----------\r\n"
    "$CALL TS0EST\r\n$TXT TS0EST, Test is calling CQ!\r\n$SOUND trumpet1.wav\r\n"
    "$TIME 00:00:00\r\n$DATE 01.01.2014\r\n$QRG 3500.0\r\n$ENABLE on\r\n$BLOCKTIME 30\r\n"
    ":-- Call Nr.1 end ------------\r\n"
    ":\r\n"
    ":\r\n"
    ": end of configuration file\r\n";

const QStringList kBandNames{u"160"_qs, u"80"_qs, u"60"_qs, u"40"_qs, u"30"_qs,
                             u"20"_qs,  u"17"_qs, u"15"_qs, u"12"_qs, u"10"_qs};

// Names of the switches in the order of Settings::Switch.
QStringList switchNames()
{
    QStringList names{u"DxMsgAll"_qs};
    for (const QString &band : kBandNames)
        names << u"Dx"_qs + band;
    names << u"QrqMsg"_qs << u"PortMsg"_qs << u"AlAll"_qs;
    for (const QString &band : kBandNames)
        names << u"Al"_qs + band;
    names << u"OpAl"_qs << u"PortAl"_qs << u"SoundEn"_qs << u"LogFile"_qs;
    return names;
}

AlarmEntry sampleEntry()
{
    return {.call = u"TS0EST"_qs,
            .text = u"TS0EST, Test is calling CQ!"_qs,
            .sound = u"trumpet1.wav"_qs,
            .time = u"00:00:00"_qs,
            .date = u"01.01.2014"_qs,
            .qrg = u"3500.0"_qs,
            .enable = u"on"_qs,
            .blockTimer = QString(),
            .blockTimeSet = u"30"_qs};
}

// The model as start-up has it before config.txt is read.
struct Model {
    Settings settings;
    AlarmList list;
    Model()
    {
        settings.applyDefaults();
        list.setEntry(0, sampleEntry());
    }
};

// Every value of the model as "name=value" lines, so that a comparison names the field that differs.
QStringList dump(const Model &model)
{
    QStringList out;
    const QStringList texts{u"OwnCall"_qs,  u"AlTime"_qs,   u"RmtHost"_qs, u"RmtPort"_qs,
                            u"QrqSpeed"_qs, u"RigModel"_qs, u"RigPath"_qs, u"RigSpeed"_qs};
    for (int i = 0; i < Settings::kTextCount; ++i)
        out << texts[i] + u'=' + model.settings.text(static_cast<Settings::Text>(i));
    const QStringList switches = switchNames();
    for (int i = 0; i < Settings::kSwitchCount; ++i)
        out << switches[i] + (model.settings.isOn(static_cast<Settings::Switch>(i)) ? u"=on"_qs : u"=off"_qs);
    out << u"lastCallNr="_qs + QString::number(model.list.lastCallNr());
    for (int i = 0; i < AlarmList::kCapacity; ++i) {
        const AlarmEntry &e = model.list.at(i);
        const QString n = QString::number(i);
        out << n + u".call="_qs + e.call << n + u".text="_qs + e.text << n + u".sound="_qs + e.sound
            << n + u".time="_qs + e.time << n + u".date="_qs + e.date << n + u".qrg="_qs + e.qrg
            << n + u".enable="_qs + e.enable << n + u".blockTimer="_qs + e.blockTimer
            << n + u".blockTimeSet="_qs + e.blockTimeSet;
    }
    return out;
}

QStringList withChanges(QStringList values, const QStringList &changes)
{
    for (const QString &change : changes) {
        const QString name = change.left(change.indexOf(u'=') + 1);
        const auto it =
            std::find_if(values.begin(), values.end(), [&](const QString &v) { return v.startsWith(name); });
        if (it != values.end())
            *it = change;
        else
            values << change; // an unknown name: let the comparison show it
    }
    return values;
}

void applyBytes(Model &model, const QByteArray &content, ConfigFile::ReadResult *result = nullptr)
{
    ConfigFile::ReadResult local;
    ConfigFile::apply(content, model.settings, model.list, result ? *result : local);
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<cannot open>");
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestConfigFile final : public QObject {
    Q_OBJECT
private slots:
    void firstFileHoldsDefaultsAndSampleEntry();
    void readsKeyLines_data();
    void readsKeyLines();
    void writeThenReadGivesTheSameModel();
    void windowsFileIsReadAsLatin1AndWrittenAsUtf8();
    void entriesAreFramedAndNumbered();
    void linesWithoutASlotAreSkipped();
    void nastyContentReadsStable_data();
    void nastyContentReadsStable();
    void fileThatCannotBeReadLeavesModelUntouched_data();
    void fileThatCannotBeReadLeavesModelUntouched();
    void failedWriteKeepsTheOldFile_data();
    void failedWriteKeepsTheOldFile();
};

void TestConfigFile::firstFileHoldsDefaultsAndSampleEntry()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(ConfigFile::kFileName);
    Model model;
    const QStringList before = dump(model);

    QCOMPARE(ConfigFile::read(path, model.settings, model.list).status, ConfigFile::ReadStatus::Missing);
    QCOMPARE(dump(model), before);
    const ConfigFile::WriteResult written = ConfigFile::write(path, model.settings, model.list);
    QVERIFY2(written.ok, qPrintable(written.error));
    QCOMPARE(fileBytes(path), kDefaultFile);
    QCOMPARE(model.list.lastCallNr(), -1); // the empty-list rule does not touch the list

    const ConfigFile::ReadResult read = ConfigFile::read(path, model.settings, model.list);
    QCOMPARE(read.status, ConfigFile::ReadStatus::Loaded);
    QCOMPARE(dump(model), withChanges(before, {u"lastCallNr=0"_qs}));
}

void TestConfigFile::readsKeyLines_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("changes");

    QTest::newRow("$LOGIN") << QByteArray("$LOGIN DK0AB") << QStringList{u"OwnCall=DK0AB"_qs};
    QTest::newRow("$ALTIME") << QByteArray("$ALTIME 45") << QStringList{u"AlTime=45"_qs};
    QTest::newRow("$RMTHOST") << QByteArray("$RMTHOST dx.example.org")
                              << QStringList{u"RmtHost=dx.example.org"_qs};
    QTest::newRow("$RMTPORT") << QByteArray("$RMTPORT 7300") << QStringList{u"RmtPort=7300"_qs};
    QTest::newRow("$QRQSPEED") << QByteArray("$QRQSPEED 35") << QStringList{u"QrqSpeed=35"_qs};

    QList<std::pair<QString, QString>> switchKeys{{u"$DXMSGALL "_qs, u"DxMsgAll"_qs}};
    for (const QString &band : kBandNames)
        switchKeys.append({u"$DX"_qs + band + u' ', u"Dx"_qs + band});
    switchKeys.append(
        {{u"$QRQMSG "_qs, u"QrqMsg"_qs}, {u"$PORTMSG "_qs, u"PortMsg"_qs}, {u"$ALALL "_qs, u"AlAll"_qs}});
    for (const QString &band : kBandNames)
        switchKeys.append({u"$DX"_qs + band + u"AL "_qs, u"Al"_qs + band});
    switchKeys.append({{u"$OPAL "_qs, u"OpAl"_qs},
                       {u"$PORTAL "_qs, u"PortAl"_qs},
                       {u"$LOGFILE "_qs, u"LogFile"_qs},
                       {u"$SOUNDEN "_qs, u"SoundEn"_qs}});
    for (const auto &[key, name] : switchKeys) {
        for (const QString &value : {u"on"_qs, u"off"_qs})
            QTest::addRow("%s", qPrintable(key + value))
                << (key + value).toUtf8() << QStringList{name + u'=' + value};
    }

    // Entry keys fill the entry the last "$CALL" started; fields not given keep what the slot held.
    const QByteArray call = "$CALL DL9XYZ\r\n";
    const QStringList called{u"lastCallNr=0"_qs, u"0.call=DL9XYZ"_qs};
    QTest::newRow("$CALL") << QByteArray("$CALL DL9XYZ") << called;
    QTest::newRow("$TXT") << call + "$TXT Hello there" << called + QStringList{u"0.text=Hello there"_qs};
    QTest::newRow("$SOUND") << call + "$SOUND beep.wav" << called + QStringList{u"0.sound=beep.wav"_qs};
    QTest::newRow("$TIME") << call + "$TIME 12:34:56" << called + QStringList{u"0.time=12:34:56"_qs};
    QTest::newRow("$DATE") << call + "$DATE 24.12.2023" << called + QStringList{u"0.date=24.12.2023"_qs};
    QTest::newRow("$QRG") << call + "$QRG 14025.1" << called + QStringList{u"0.qrg=14025.1"_qs};
    QTest::newRow("$ENABLE") << call + "$ENABLE off" << called + QStringList{u"0.enable=off"_qs};
    QTest::newRow("$BLOCKTIME") << call + "$BLOCKTIME 600" << called + QStringList{u"0.blockTimeSet=600"_qs};
    QTest::newRow("second $CALL") << call + "$CALL W1AW\r\n$TXT t"
                                  << QStringList{u"lastCallNr=1"_qs, u"0.call=DL9XYZ"_qs, u"1.call=W1AW"_qs,
                                                 u"1.text=t"_qs};
    QTest::newRow("$CALL empty") << QByteArray("$CALL") << QStringList{u"lastCallNr=0"_qs, u"0.call="_qs};
    QTest::newRow("$CALLSIGN is $CALL")
        << QByteArray("$CALLSIGN X") << QStringList{u"lastCallNr=0"_qs, u"0.call=IGN X"_qs};

    // Only the exact "on" switches on.
    QTest::newRow("on + blank") << QByteArray("$DXMSGALL on ") << QStringList{u"DxMsgAll=off"_qs};
    QTest::newRow("On") << QByteArray("$DXMSGALL On") << QStringList{u"DxMsgAll=off"_qs};
    QTest::newRow("no value") << QByteArray("$DXMSGALL") << QStringList{u"DxMsgAll=off"_qs};
    QTest::newRow("$ALALLon") << QByteArray("$ALALLon") << QStringList{u"AlAll=off"_qs};
    QTest::newRow("$ALALL:on") << QByteArray("$ALALL:on") << QStringList{u"AlAll=on"_qs};

    // The character after a key without a blank is skipped whatever it is; values are kept verbatim.
    QTest::newRow("$LOGIN=") << QByteArray("$LOGIN=TE1ST") << QStringList{u"OwnCall=TE1ST"_qs};
    QTest::newRow("$LOGIN tab") << QByteArray("$LOGIN\tTE1ST") << QStringList{u"OwnCall=TE1ST"_qs};
    QTest::newRow("$LOGIN umlaut") << QByteArray("$LOGIN\xC3\xA4TE1ST") << QStringList{u"OwnCall=TE1ST"_qs};
    QTest::newRow("$LOGIN emoji") << QByteArray("$LOGIN\xF0\x9F\x93\xBBTE1ST")
                                  << QStringList{u"OwnCall=TE1ST"_qs};
    QTest::newRow("two blanks") << QByteArray("$LOGIN  TE1ST") << QStringList{u"OwnCall= TE1ST"_qs};
    QTest::newRow("trailing blanks") << QByteArray("$LOGIN TE1ST  ") << QStringList{u"OwnCall=TE1ST  "_qs};
    QTest::newRow("$LOGIN alone") << QByteArray("$LOGIN") << QStringList{u"OwnCall="_qs};
    QTest::newRow("$QRQSPEED blank") << QByteArray("$QRQSPEED  35 ") << QStringList{u"QrqSpeed= 35 "_qs};
    QTest::newRow("$QRQSPEED35") << QByteArray("$QRQSPEED35") << QStringList{};

    // Keys that are prefixes of others, and keys whose blank belongs to the comparison.
    QTest::newRow("$SOUNDEN not $SOUND") << call + "$SOUNDEN on" << called + QStringList{u"SoundEn=on"_qs};
    QTest::newRow("$SOUND not $SOUNDEN") << call + "$SOUND on" << called + QStringList{u"0.sound=on"_qs};
    QTest::newRow("$DX160AL") << QByteArray("$DX160AL on") << QStringList{u"Al160=on"_qs};
    QTest::newRow("$DX160 AL") << QByteArray("$DX160 AL") << QStringList{u"Dx160=off"_qs};
    QTest::newRow("$DX60on") << QByteArray("$DX60on") << QStringList{};
    QTest::newRow("$DX60") << QByteArray("$DX60") << QStringList{};
    QTest::newRow("$DX60AL") << QByteArray("$DX60AL on") << QStringList{u"Al60=on"_qs};

    // Lines that are no key lines.
    QTest::newRow("lower case") << QByteArray("$login DK0AB\r\n$dxmsgall off") << QStringList{};
    QTest::newRow("comment") << QByteArray(":$LOGIN DK0AB") << QStringList{};
    QTest::newRow("leading blank") << QByteArray(" $LOGIN DK0AB") << QStringList{};
    QTest::newRow("comments only") << QByteArray(": a\r\n:\r\n\r\n:--\r\n") << QStringList{};
    QTest::newRow("unknown key") << QByteArray("$COLOR red\r\n") << QStringList{};

    // Line ends and text.
    QTest::newRow("last wins") << QByteArray("$LOGIN A1A\r\n$LOGIN B1B\r\n")
                               << QStringList{u"OwnCall=B1B"_qs};
    QTest::newRow("LF only") << QByteArray("$LOGIN A1A\n$ALTIME 12\n")
                             << QStringList{u"OwnCall=A1A"_qs, u"AlTime=12"_qs};
    QTest::newRow("CR inside") << QByteArray("$LOGIN A\rB\r\n") << QStringList{u"OwnCall=A\rB"_qs};
    QTest::newRow("UTF-8") << call + "$TXT Gr\xC3\xBC\xC3\x9F"
                                     "e"
                           << called + QStringList{u"0.text=Grüße"_qs};
    QTest::newRow("Latin-1") << call + "$TXT Gr\xFC\xDF"
                                       "e"
                             << called + QStringList{u"0.text=Grüße"_qs};
    QTest::newRow("BOM") << QByteArray("\xEF\xBB\xBF$LOGIN DK0AB") << QStringList{u"OwnCall=DK0AB"_qs};
}

void TestConfigFile::readsKeyLines()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, changes);
    // Once with every switch off and once with every switch on, so that each line shows what it sets.
    for (bool switchesOn : {false, true}) {
        Model model;
        for (int i = 0; i < Settings::kSwitchCount; ++i)
            model.settings.setOn(static_cast<Settings::Switch>(i), switchesOn);
        const QStringList before = dump(model);
        ConfigFile::ReadResult result;
        applyBytes(model, content, &result);
        QCOMPARE(dump(model), withChanges(before, changes));
        QCOMPARE(result.status, ConfigFile::ReadStatus::Loaded);
    }
}

void TestConfigFile::writeThenReadGivesTheSameModel()
{
    Model model;
    const QStringList names = switchNames();
    for (int i = 0; i < Settings::kSwitchCount; ++i)
        model.settings.setOn(static_cast<Settings::Switch>(i), i % 3 != 1);
    model.settings.setText(Settings::Text::OwnCall, u" DL1ABC/P "_qs);
    model.settings.setText(Settings::Text::AlTime, u""_qs);
    model.settings.setText(Settings::Text::RmtHost, u"cluster.example.net"_qs);
    model.settings.setText(Settings::Text::RmtPort, u"8000x"_qs);
    model.settings.setText(Settings::Text::QrqSpeed, u"  42"_qs);
    const QList<AlarmEntry> entries{
        {u"DL2XYZ"_qs, u"Jörg on the air!  "_qs, u"bell.wav"_qs, u"12:00:01"_qs, u"02.03.2024"_qs,
         u"7012.5"_qs, u"on"_qs, u"17"_qs, u"60"_qs},
        {u"OH0/P"_qs, QString(), u"x.wav"_qs, QString(), QString(), QString(), QString(), u"0"_qs, QString()},
        {u"JA1ZZZ"_qs, u"first\n$LOGIN HACK"_qs, QString(), u" "_qs, u"$DATE"_qs, u":"_qs, u"On"_qs,
         QString(), u"30"_qs},
    };
    for (const AlarmEntry &entry : entries) {
        QVERIFY(model.list.appendSlot());
        model.list.setEntry(model.list.lastCallNr(), entry);
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(ConfigFile::kFileName);
    QVERIFY(ConfigFile::write(path, model.settings, model.list).ok);

    Model reread;
    QCOMPARE(ConfigFile::read(path, reread.settings, reread.list).status, ConfigFile::ReadStatus::Loaded);
    // BlockTimer is never stored, an empty Enable comes back "on", and a line break cannot split a line.
    QCOMPARE(dump(reread), withChanges(dump(model), {u"0.blockTimer="_qs, u"1.blockTimer="_qs,
                                                     u"1.enable=on"_qs, u"2.text=first $LOGIN HACK"_qs}));
    QCOMPARE(ConfigFile::serialize(reread.settings, reread.list), fileBytes(path));
}

void TestConfigFile::windowsFileIsReadAsLatin1AndWrittenAsUtf8()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(ConfigFile::kFileName);
    // Each line is decoded on its own: one 8-bit line does not spoil a UTF-8 line next to it.
    QVERIFY(writeBytes(path, ": made on Windows\r\n$LOGIN DL\xE4X\r\n$CALL DL1AA\r\n$TXT M\xFCller in QRV\r\n"
                             "$SOUND b\xC3\xA4r.wav\r\n"));
    Model model;
    QCOMPARE(ConfigFile::read(path, model.settings, model.list).status, ConfigFile::ReadStatus::Loaded);
    QCOMPARE(model.settings.ownCall(), u"DLäX"_qs);
    QCOMPARE(model.list.at(0).text, u"Müller in QRV"_qs);
    QCOMPARE(model.list.at(0).sound, u"bär.wav"_qs);

    QVERIFY(ConfigFile::write(path, model.settings, model.list).ok);
    const QByteArray written = fileBytes(path);
    QVERIFY(written.contains("\r\n$LOGIN DL\xC3\xA4X\r\n"));
    QVERIFY(written.contains("\r\n$TXT M\xC3\xBCller in QRV\r\n"));
    QVERIFY(written.contains("\r\n$SOUND b\xC3\xA4r.wav\r\n"));
    QVERIFY(written.isValidUtf8());

    // A file this program wrote reads back to the same bytes.
    Model again;
    QCOMPARE(ConfigFile::read(path, again.settings, again.list).status, ConfigFile::ReadStatus::Loaded);
    QCOMPARE(ConfigFile::serialize(again.settings, again.list), written);
}

void TestConfigFile::entriesAreFramedAndNumbered()
{
    Model model;
    for (const QString &call : {u"AA1A"_qs, u"BB2B"_qs}) {
        QVERIFY(model.list.appendSlot());
        model.list.setEntry(model.list.lastCallNr(), {call, u"t"_qs, u"s.wav"_qs, QString(), QString(),
                                                      QString(), QString(), u"9"_qs, u"45"_qs});
    }
    const QByteArray bytes = ConfigFile::serialize(model.settings, model.list);
    const QByteArray tail = ":\r\n"
                            ":-- Call Nr.1 start ----------\r\n"
                            "$CALL AA1A\r\n$TXT t\r\n$SOUND s.wav\r\n$TIME \r\n$DATE \r\n$QRG \r\n"
                            "$ENABLE on\r\n$BLOCKTIME 45\r\n"
                            ":-- Call Nr.1 end ------------\r\n"
                            ":\r\n"
                            ":\r\n"
                            ":-- Call Nr.2 start ----------\r\n"
                            "$CALL BB2B\r\n$TXT t\r\n$SOUND s.wav\r\n$TIME \r\n$DATE \r\n$QRG \r\n"
                            "$ENABLE on\r\n$BLOCKTIME 45\r\n"
                            ":-- Call Nr.2 end ------------\r\n"
                            ":\r\n"
                            ":\r\n"
                            ": end of configuration file\r\n";
    QVERIFY(bytes.endsWith(tail));
    QCOMPARE(bytes.left(bytes.size() - tail.size()),
             kDefaultFile.left(kDefaultFile.indexOf(":\r\n:-- Call Nr.1")));
    QCOMPARE(model.list.at(0).enable, QString()); // written as "on", kept empty in the model

    // Numbers grow without padding up to the last slot.
    while (model.list.appendSlot()) {
    }
    const QByteArray full = ConfigFile::serialize(model.settings, model.list);
    QCOMPARE(full.count("$CALL "), qsizetype(AlarmList::kCapacity));
    QVERIFY(full.contains("\r\n:-- Call Nr.101 start ----------\r\n"));
    QVERIFY(
        full.contains("\r\n:-- Call Nr.101 end ------------\r\n:\r\n:\r\n: end of configuration file\r\n"));
}

void TestConfigFile::linesWithoutASlotAreSkipped()
{
    QByteArray content = "$TXT orphan\r\n$QRG 1.0\r\n$LOGIN DK0AB\r\n";
    for (int i = 0; i < AlarmList::kCapacity + 1; ++i)
        content += "$CALL C" + QByteArray::number(i) + "\r\n$TXT T" + QByteArray::number(i) + "\r\n";
    content += "$ENABLE off\r\n$ALTIME 33\r\n";

    Model model;
    ConfigFile::ReadResult result;
    applyBytes(model, content, &result);
    QCOMPARE(result.orphanLinesSkipped, 2);
    QCOMPARE(result.entriesSkipped, 1);
    QCOMPARE(model.list.lastCallNr(), AlarmList::kCapacity - 1);
    QCOMPARE(model.list.at(0).call, u"C0"_qs);
    QCOMPARE(model.list.at(0).qrg, sampleEntry().qrg);
    QCOMPARE(model.list.at(100).call, u"C100"_qs);
    QCOMPARE(model.list.at(100).text, u"T100"_qs); // the skipped entry's lines went nowhere
    QCOMPARE(model.list.at(100).enable, QString());
    QCOMPARE(model.settings.ownCall(), u"DK0AB"_qs);
    QCOMPARE(model.settings.alTime(), u"33"_qs);
}

void TestConfigFile::nastyContentReadsStable_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("empty") << QByteArray();
    static const char nul[] = "$LOGIN \0\0x\0\r\n$CALL \0\r\n\0$TXT \0";
    QTest::newRow("NUL bytes") << QByteArray(nul, sizeof nul - 1);
    QTest::newRow("huge line, no LF") << "$TXT " + QByteArray(qsizetype(2) * 1024 * 1024, 'x');
    QTest::newRow("huge call, no LF") << "$CALL " + QByteArray(qsizetype(2) * 1024 * 1024, '\xFF');
    QTest::newRow("only CR") << QByteArray("\r\r\r$LOGIN A\r\r");
    QTest::newRow("only LF") << QByteArray("\n\n\n\n");
    QTest::newRow("invalid UTF-8") << QByteArray(
        "$CALL \xC3\r\n$TXT \xED\xA0\x80\r\n$SOUND \xF8\x88\x80\x80\x80\r\n");
    QTest::newRow("noncharacters") << QByteArray("$CALL \xEF\xBF\xBE\xEF\xBF\xBF\r\n$TXT \xEF\xBB\xBF\r\n");
    QTest::newRow("CR at end of value") << QByteArray("$CALL A\r\r\n$TXT B\r\r\r\n$QRG \r");
    QTest::newRow("empty Enable") << QByteArray("$CALL X\r\n$ENABLE\r\n$ENABLE \r\n");
    QTest::newRow("orphans only") << QByteArray("$TXT a\r\n$ENABLE \r\n");
    QByteArray many;
    for (int i = 0; i < 300; ++i)
        many += "$CALL\n$ENABLE\n";
    QTest::newRow("300 $CALL") << many;
}

void TestConfigFile::nastyContentReadsStable()
{
    QFETCH(QByteArray, content);
    Model first;
    applyBytes(first, content);
    const QByteArray written = ConfigFile::serialize(first.settings, first.list);
    QVERIFY(written.isValidUtf8());

    Model second;
    applyBytes(second, written);
    // Reading what was written gives the model read first, apart from the writer's two documented rules.
    if (first.list.lastCallNr() < 0)
        first.list.appendSlot();
    for (int i = 0; i <= first.list.lastCallNr(); ++i) {
        first.list.edit(i, [](AlarmEntry &entry) {
            if (entry.enable.isEmpty())
                entry.enable = u"on"_qs;
        });
    }
    QCOMPARE(dump(second), dump(first));
    QCOMPARE(ConfigFile::serialize(second.settings, second.list), written);
}

void TestConfigFile::fileThatCannotBeReadLeavesModelUntouched_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("folder") << u"folder"_qs;
#ifdef Q_OS_UNIX
    QTest::newRow("pipe") << u"pipe"_qs;
#endif
    QTest::newRow("too large") << u"large"_qs;
}

void TestConfigFile::fileThatCannotBeReadLeavesModelUntouched()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(ConfigFile::kFileName);
    if (kind == u"folder") {
        QVERIFY(QDir(dir.path()).mkpath(ConfigFile::kFileName + u"/inside"_qs));
#ifdef Q_OS_UNIX
    } else if (kind == u"pipe") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0); // opening it would block
#endif
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write("$LOGIN DK0AB\r\n") > 0);
        QVERIFY(file.resize(ConfigFile::kMaxFileSize + 1)); // sparse, costs no disk
    }
    Model model;
    const QStringList before = dump(model);
    const ConfigFile::ReadResult result = ConfigFile::read(path, model.settings, model.list);
    QCOMPARE(result.status, ConfigFile::ReadStatus::Unreadable);
    QVERIFY(!result.error.isEmpty());
    QCOMPARE(dump(model), before);
}

void TestConfigFile::failedWriteKeepsTheOldFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("config.txt is a folder") << u"folder"_qs;
    QTest::newRow("working folder removed") << u"removed"_qs;
#ifdef Q_OS_UNIX
    QTest::newRow("disk full") << u"full"_qs;
#endif
}

void TestConfigFile::failedWriteKeepsTheOldFile()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString folder = dir.filePath(u"work"_qs);
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + u'/' + ConfigFile::kFileName;
    const QByteArray old = "$LOGIN OLD1\r\n";
    Model model;

    ConfigFile::WriteResult result;
    if (kind == u"folder") {
        QVERIFY(QDir().mkpath(path));
        QVERIFY(writeBytes(path + u"/keep"_qs, old));
        result = ConfigFile::write(path, model.settings, model.list);
        QCOMPARE(fileBytes(path + u"/keep"_qs), old);
    } else if (kind == u"removed") {
        QVERIFY(writeBytes(path, old));
        QVERIFY(QDir(folder).removeRecursively());
        result = ConfigFile::write(path, model.settings, model.list);
        QVERIFY(!QFile::exists(folder));
    } else {
#ifdef Q_OS_UNIX
        QVERIFY(writeBytes(path, old));
        // The kernel refuses to let a file grow past this size, as on a full disk; root is no exception.
        rlimit saved{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 64;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        result = ConfigFile::write(path, model.settings, model.list);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        QCOMPARE(fileBytes(path), old);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{ConfigFile::kFileName});
#endif
    }
    QVERIFY(!result.ok);
    QVERIFY(!result.error.isEmpty());
}

QTEST_GUILESS_MAIN(TestConfigFile)
#include "test_config_file.moc"
