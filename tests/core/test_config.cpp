// config.txt as the operator meets it: the first start, hand-edited lines, files from other systems,
// files that cannot be read or written, and the program's start and exit around them.
#include "app/app_core.h"
#include "link/cluster_link.h"
#include "link/server_log.h"
#include "model/alarm_list.h"
#include "model/config_file.h"
#include "model/settings.h"
#include "support/fakes.h"
#include "support/test_spot_server.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

const QByteArray kDefaultFile =
    ": Configuration-File for VemrokAlarm\r\n:\r\n"
    "$LOGIN TE0ST\r\n$ALTIME 20\r\n$RMTHOST telnet.reversebeacon.net\r\n$RMTPORT 7000\r\n"
    ":\r\n:--User Configuration  ----------\r\n$DXMSGALL on\r\n"
    "$DX160 off\r\n$DX80 off\r\n$DX60 off\r\n$DX40 off\r\n$DX30 off\r\n"
    "$DX20 off\r\n$DX17 off\r\n$DX15 off\r\n$DX12 off\r\n$DX10 off\r\n"
    "$QRQMSG off\r\n$PORTMSG off\r\n$QRQSPEED 30\r\n$ALALL on\r\n"
    "$DX160AL off\r\n$DX80AL off\r\n$DX60AL off\r\n$DX40AL off\r\n$DX30AL off\r\n"
    "$DX20AL off\r\n$DX17AL off\r\n$DX15AL off\r\n$DX12AL off\r\n$DX10AL off\r\n"
    "$SOUNDEN on\r\n$OPAL on\r\n$PORTAL off\r\n$LOGFILE off\r\n"
    ":\r\n:-- Call Nr.1 start ----------\r\n"
    "$CALL TS0EST\r\n$TXT TS0EST, Test is calling CQ!\r\n$SOUND trumpet1.wav\r\n"
    "$TIME 00:00:00\r\n$DATE 01.01.2014\r\n$QRG 3500.0\r\n$ENABLE on\r\n$BLOCKTIME 30\r\n"
    ":-- Call Nr.1 end ------------\r\n:\r\n:\r\n: end of configuration file\r\n";

// The model as start-up has it before config.txt is read: defaults, the sample entry in an empty list.
struct Model {
    Settings settings;
    AlarmList list;
    Model()
    {
        settings.applyDefaults();
        list.setEntry(0, {u"TS0EST"_qs,
                          u"TS0EST, Test is calling CQ!"_qs,
                          u"trumpet1.wav"_qs,
                          u"00:00:00"_qs,
                          u"01.01.2014"_qs,
                          u"3500.0"_qs,
                          u"on"_qs,
                          {},
                          u"30"_qs});
    }
    QByteArray bytes() const { return ConfigFile::serialize(settings, list); }
};

// The lines of the written file that content changed, "|"-separated.
QString changedLines(const QByteArray &content)
{
    Model before;
    Model after;
    ConfigFile::ReadResult result;
    ConfigFile::apply(content, after.settings, after.list, result);
    const QList<QByteArray> a = before.bytes().split('\n');
    const QList<QByteArray> b = after.bytes().split('\n');
    QStringList changed;
    for (qsizetype i = 0; i < b.size(); ++i) {
        if (i >= a.size() || a[i] != b[i])
            changed << QString::fromUtf8(b[i]).trimmed();
    }
    return changed.join(u'|');
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

struct Program {
    RecordingSoundPlayer player;
    RecordingMessageSink messages;
    FakeClock clock;
    AppCore core;
    explicit Program(const QString &folder) : core(QDir(folder), player, messages, clock)
    {
        core.setServerOverride(u"127.0.0.1"_qs, 1); // nothing listens there
    }
};

} // namespace

class TestConfig final : public QObject {
    Q_OBJECT
private slots:
    void firstStartWritesDefaultsAndSample();
    void keyLines_data();
    void keyLines();
    void everySwitchHasItsKey();
    void writtenFileReadsBackTheSame();
    void entriesBeyondTheListAndOrphanLines();
    void filesThatCannotBeRead_data();
    void filesThatCannotBeRead();
    void writesThatFail_data();
    void writesThatFail();
    void portAndServerLog();
};

void TestConfig::firstStartWritesDefaultsAndSample()
{
    QTemporaryDir dir;
    Program first(dir.path());
    first.core.startUp();
    QCOMPARE(first.messages.shown, QStringList{u"File config.txt not found, new created"_qs});
    QCOMPARE(first.player.played, QStringList{u"gong.wav"_qs});
    QCOMPARE(fileBytes(dir.filePath(u"config.txt"_qs)), kDefaultFile);
    QCOMPARE(first.core.alarmList().lastCallNr(), 0);
    QCOMPARE(AppCore::kCaption, u"VemrokAlarm V0.6.7"_qs);

    // A switch ticked during the run is written at exit; the next start finds it, silently.
    first.core.settings().setOn(Settings::Switch::DxEnable40, true);
    QVERIFY(first.core.exitSequence());
    Program second(dir.path());
    second.core.startUp();
    QVERIFY(second.messages.shown.isEmpty());
    QVERIFY(second.core.settings().isOn(Settings::Switch::DxEnable40));

    // config.txt missing and not creatable (the working folder is a file): told, and run from memory.
    const QString notAFolder = dir.filePath(u"file"_qs);
    writeFile(notAFolder, "x");
    Program nowhere(notAFolder);
    nowhere.core.startUp();
    QCOMPARE(nowhere.messages.shown.size(), 1);
    QVERIFY(nowhere.messages.shown.first().contains(u"config.txt"_qs));
    QCOMPARE(nowhere.core.alarmList().at(0).call, u"TS0EST"_qs);
    QCOMPARE(nowhere.core.alarmList().lastCallNr(), 0);
}

void TestConfig::keyLines_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("changed");
    const auto row = [](const char *content, const char *changed) {
        QTest::newRow(QByteArray(content).replace("\r\n", "|").replace('\n', '|').constData())
            << QByteArray(content) << QString::fromUtf8(changed);
    };
    row("$LOGIN DK0AB\r\n$ALTIME 45\n$RMTHOST dx.example.org\r\n$RMTPORT 7300\r\n$QRQSPEED 35",
        "$LOGIN DK0AB|$ALTIME 45|$RMTHOST dx.example.org|$RMTPORT 7300|$QRQSPEED 35");
    row("$CALL DL9XYZ\r\n$TXT Hello there\r\n$SOUND b.wav\r\n$TIME 12:34:56\r\n$DATE 24.12.2023\r\n$QRG "
        "14025.1"
        "\r\n$ENABLE off\r\n$BLOCKTIME 600",
        "$CALL DL9XYZ|$TXT Hello there|$SOUND b.wav|$TIME 12:34:56|$DATE 24.12.2023|$QRG 14025.1|$ENABLE off|"
        "$BLOCKTIME 600");
    row("$CALL A\r\n$CALL W1AW\r\n$TXT t", "$CALL A|:-- Call Nr.2 start ----------|$CALL W1AW|$TXT "
                                           "t|$SOUND|$TIME|$DATE|$QRG|$ENABLE on|$BLOCKTIME|"
                                           ":-- Call Nr.2 end ------------|:|:|: end of configuration file|");
    row("$CALLSIGN X", "$CALL IGN X");
    row("$DXMSGALL on \r\n$ALALL On\r\n$SOUNDEN", "$DXMSGALL off|$ALALL off|$SOUNDEN off");
    row("$ALALLon\r\n$OPAL:on\r\n$DX60on\r\n$DX60", "$ALALL off");
    row("$QRQSPEED35\r\n$DX160 AL", "");
    row("$LOGIN=TE1ST", "$LOGIN TE1ST");
    row("$LOGIN\tTE1ST", "$LOGIN TE1ST");
    row("$LOGIN\xC3\xA4TE1ST", "$LOGIN TE1ST");
    row("$LOGIN\xF0\x9F\x93\xBBTE1ST", "$LOGIN TE1ST");
    row("$LOGIN\xF0\x9F\x93\xBB", "$LOGIN");
    row("$LOGIN  TE1ST  ", "$LOGIN  TE1ST");
    row("$CALL X\r\n$SOUNDEN off\r\n$SOUND on", "$SOUNDEN off|$CALL X|$SOUND on");
    row("$login DK0AB\r\n: $LOGIN DK0AB\r\n $LOGIN DK0AB\r\n$COLOR red\r\n\r\n:", "");
    row("$LOGIN A1A\r\n$LOGIN B1B\r\n", "$LOGIN B1B");
    row("$LOGIN A\rB\r\n", "$LOGIN A\rB");
    row("\xEF\xBB\xBF$LOGIN DK0AB", "$LOGIN DK0AB");
    row("$CALL D\r\n$TXT Gr\xC3\xBC\xC3\x9F\r\n$SOUND Gr\xFC\xDF", "$CALL D|$TXT Grüß|$SOUND Grüß");
}

void TestConfig::keyLines()
{
    QFETCH(QByteArray, content);
    QTEST(changedLines(content), "changed");
}

void TestConfig::everySwitchHasItsKey()
{
    int checked = 0;
    for (int i = 0; i < Settings::kSwitchCount; ++i) {
        const auto which = static_cast<Settings::Switch>(i);
        for (const bool on : {true, false}) {
            Model model;
            for (int j = 0; j < Settings::kSwitchCount; ++j)
                model.settings.setOn(static_cast<Settings::Switch>(j), !on);
            model.settings.setOn(which, on);
            // The one line that says so turns it back when read on a model with every switch the other way.
            const QByteArray written = model.bytes();
            const QByteArray value = on ? " on\r" : " off\r";
            QList<QByteArray> hits;
            for (const QByteArray &line : written.split('\n')) {
                if (line.endsWith(value) && line.startsWith('$') && !line.startsWith("$ENABLE"))
                    hits << line;
            }
            QCOMPARE(hits.size(), 1);
            Model reread;
            for (int j = 0; j < Settings::kSwitchCount; ++j)
                reread.settings.setOn(static_cast<Settings::Switch>(j), !on);
            ConfigFile::ReadResult result;
            ConfigFile::apply(hits.first() + '\n', reread.settings, reread.list, result);
            QCOMPARE(reread.settings.isOn(which), on);
            QCOMPARE(reread.bytes(), written);
            ++checked;
        }
    }
    QCOMPARE(checked, 2 * Settings::kSwitchCount);
}

void TestConfig::writtenFileReadsBackTheSame()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"config.txt"_qs);
    // Each line decoded on its own: an 8-bit line from another system beside UTF-8 ones; written as UTF-8.
    writeFile(path, ": made on Windows\r\n$LOGIN DL\xE4X\r\n$CALL DL1AA\r\n$TXT M\xFCller in QRV\r\n"
                    "$SOUND b\xC3\xA4r.wav\r\n$ENABLE\r\n$CALL JA1ZZZ\r\n$ENABLE On\r\n$QRG :\r\n");
    Model model;
    QCOMPARE(ConfigFile::read(path, model.settings, model.list).status, ConfigFile::ReadStatus::Loaded);
    QCOMPARE(model.settings.ownCall(), u"DLäX"_qs);
    QCOMPARE(model.list.at(0).text, u"Müller in QRV"_qs);
    QCOMPARE(model.list.at(0).sound, u"bär.wav"_qs);
    // A line break in a value (possible from the dialog) cannot make a key line of its own.
    model.list.edit(1, [](AlarmEntry &e) { e.text = u"first\n$LOGIN HACK"_qs; });
    QVERIFY(ConfigFile::write(path, model.settings, model.list).ok);
    const QByteArray written = fileBytes(path);
    QVERIFY(written.isValidUtf8());
    QVERIFY(written.contains("\r\n$LOGIN DL\xC3\xA4X\r\n"));
    QVERIFY(written.contains("\r\n$TXT first $LOGIN HACK\r\n"));
    QVERIFY(written.contains("$SOUND b\xC3\xA4r.wav\r\n$TIME 00:00:00\r\n$DATE 01.01.2014\r\n$QRG 3500.0\r\n"
                             "$ENABLE on\r\n"));
    QVERIFY(written.contains("$QRG :\r\n$ENABLE On\r\n"));
    Model again;
    QCOMPARE(ConfigFile::read(path, again.settings, again.list).status, ConfigFile::ReadStatus::Loaded);
    QCOMPARE(again.bytes(), written);
    QCOMPARE(again.list.at(1).text, u"first $LOGIN HACK"_qs);
}

void TestConfig::entriesBeyondTheListAndOrphanLines()
{
    QTemporaryDir dir;
    QByteArray content = "$TXT orphan\r\n$QRG 1.0\r\n";
    for (int i = 0; i < AlarmList::kCapacity + 2; ++i)
        content += "$CALL C" + QByteArray::number(i) + "\r\n$TXT T" + QByteArray::number(i) + "\r\n";
    content += "$ENABLE off\r\n$ALTIME 33\r\n";
    writeFile(dir.filePath(u"config.txt"_qs), content);
    Program program(dir.path());
    program.core.startUp();
    const AlarmList &list = program.core.alarmList();
    QCOMPARE(list.lastCallNr(), 100);
    QCOMPARE(list.at(0).qrg, u"3500.0"_qs); // the orphan lines went nowhere
    QCOMPARE(list.at(100).text, u"T100"_qs);
    QCOMPARE(list.at(100).enable, QString()); // written as "on"
    QCOMPARE(program.core.settings().alTime(), u"33"_qs);
    QCOMPARE(program.messages.shown.size(), 1);
    QVERIFY(program.messages.shown.first().contains(u"2 entries"_qs));
    QVERIFY(program.core.exitSequence());
    const QByteArray written = fileBytes(dir.filePath(u"config.txt"_qs));
    QCOMPARE(written.count("$CALL "), qsizetype(AlarmList::kCapacity));
    QVERIFY(written.contains(
        "\r\n:-- Call Nr.101 end ------------\r\n:\r\n:\r\n: end of configuration file\r\n"));
}

void TestConfig::filesThatCannotBeRead_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("folder") << 0;
    QTest::newRow("pipe") << 1;
    QTest::newRow("too large") << 2;
}

// Never replaced in that run; the operator is told once, and the run goes on with the defaults.
void TestConfig::filesThatCannotBeRead()
{
    QFETCH(int, kind);
    QTemporaryDir dir;
    const QString path = dir.filePath(u"config.txt"_qs);
    if (kind == 0) {
        QVERIFY(QDir(dir.path()).mkpath(u"config.txt/inside"_qs));
    } else if (kind == 1) {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0); // opening it would block
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.write("$LOGIN DK0AB\r\n") > 0);
        QVERIFY(file.resize(ConfigFile::kMaxFileSize + 1)); // sparse, costs no disk
    }
    const QFileInfo before(path);
    Program program(dir.path());
    program.core.startUp();
    QCOMPARE(program.messages.shown.size(), 1);
    QVERIFY(program.messages.shown.first().startsWith(u"config.txt cannot be read"_qs));
    QCOMPARE(program.core.settings().ownCall(), u"TE0ST"_qs);
    QCOMPARE(program.core.alarmList().lastCallNr(), -1);
    QVERIFY(program.core.exitSequence());
    QCOMPARE(program.messages.shown.size(), 1);
    QCOMPARE(QFileInfo(path).size(), before.size());
    QCOMPARE(QFileInfo(path).isDir(), kind == 0);
}

void TestConfig::writesThatFail_data()
{
    QTest::addColumn<int>("kind");
    QTest::newRow("working folder removed") << 0;
    QTest::newRow("disk full") << 1;
}

// The old file stays whole, the operator is told, the run keeps its state, and a later exit saves it.
void TestConfig::writesThatFail()
{
    QFETCH(int, kind);
    QTemporaryDir parent;
    const QString folder = parent.filePath(u"work"_qs);
    QVERIFY(QDir().mkpath(folder));
    const QString path = folder + u"/config.txt"_qs;
    writeFile(path, "$LOGIN OLD1\r\n");
    Program program(folder);
    program.core.startUp();
    program.core.settings().setText(Settings::Text::OwnCall, u"DL9XYZ"_qs);
    program.messages.shown.clear();
    bool ok = true;
    if (kind == 0) {
        QVERIFY(QDir(folder).removeRecursively());
        ok = program.core.exitSequence();
        QVERIFY(!QFile::exists(folder));
        QVERIFY(QDir().mkpath(folder));
    } else {
        // The kernel refuses to let a file grow past this size, as on a full disk; root is no exception.
        rlimit saved{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 64;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        ok = program.core.exitSequence();
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        QCOMPARE(fileBytes(path), QByteArray("$LOGIN OLD1\r\n"));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{u"config.txt"_qs});
    }
    QVERIFY(!ok);
    QVERIFY(!program.core.hasExited());
    QCOMPARE(program.messages.shown.size(), 1);
    QVERIFY(program.messages.shown.first().startsWith(u"config.txt could not be written"_qs));
    QVERIFY(program.core.exitSequence());
    QVERIFY(fileBytes(path).contains("$LOGIN DL9XYZ\r\n"));
}

void TestConfig::portAndServerLog()
{
    QTemporaryDir dir;
    const QString config = dir.filePath(u"config.txt"_qs);
    const QString log = dir.filePath(u"log.txt"_qs);
    // A port that is not a port number: 7000 is used, the status says so, the text is kept.
    writeFile(config, "$RMTHOST 127.0.0.1\r\n$RMTPORT 7x00\r\n$LOGFILE off\r\n");
    writeFile(log, "old data");
    {
        RecordingSoundPlayer player;
        RecordingMessageSink messages;
        FakeClock clock;
        AppCore core(QDir(dir.path()), player, messages, clock);
        core.startUp();
        QCOMPARE(core.link().port(), quint16(7000));
        QVERIFY(core.statusText().contains(u"not a port number, using 7000"_qs));
        core.link().close();
        QVERIFY(core.exitSequence());
    }
    QVERIFY(fileBytes(config).contains("\r\n$RMTPORT 7x00\r\n"));
    QCOMPARE(fileBytes(log), QByteArray("old data"));

    // Switched on, log.txt is emptied at start; one that cannot be written is closed and reported once,
    // and the link goes on without it.
    writeFile(config, "$LOGFILE on\r\n$CALL TS0EST\r\n$ENABLE on\r\n");
    QVERIFY(QFile::remove(log));
    QVERIFY(QFile::link(u"/dev/full"_qs, log)); // every write fails as on a full disk
    TestSpotServer server;
    QVERIFY(server.listen());
    Program program(dir.path());
    program.core.setServerOverride(server.host(), server.port());
    program.core.startUp();
    QVERIFY(program.core.serverLog().isOpen());
    QTRY_VERIFY(!program.core.serverLog().isOpen());
    QCOMPARE(program.messages.shown.size(), 1);
    QVERIFY(program.messages.shown.first().startsWith(u"log.txt cannot be written"_qs));
    QVERIFY(server.waitForLoggedIn());
    server.send(rbnBytes(u"DL8LAS-#", u"14025.0", u"TS0EST"));
    QTRY_COMPARE(program.core.alarmList().at(0).qrg, u"14025.0"_qs);
    QVERIFY(program.core.exitSequence());
    QFile::remove(log);
    writeFile(log, "old data");
    Program emptied(dir.path());
    emptied.core.startUp();
    QCOMPARE(fileBytes(log), QByteArray());
}

QTEST_GUILESS_MAIN(TestConfig)
#include "test_config.moc"
