// config.txt as the operator meets it: the first start, hand-edited lines, files from other systems,
// files that cannot be read or written, and the program's start and exit around them.
#include "app/app_core.h"
#include "link/cluster_link.h"
#include "link/server_log.h"
#include "model/alarm_list.h"
#include "model/config_file.h"
#include "model/config_saver.h"
#include "model/settings.h"
#include "support/data_rows.h"
#include "support/fakes.h"
#include "support/test_spot_server.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using S = Settings::Switch;

namespace {

// The model as start-up has it before config.txt is read: defaults, the sample entry in an empty list.
struct Model {
    Settings settings;
    AlarmList list;
    explicit Model(const QByteArray &content = {})
    {
        settings.applyDefaults();
        list.setEntry(0, AlarmList::sampleEntry());
        ConfigFile::ReadResult result;
        ConfigFile::apply(content, settings, list, result);
    }
    QByteArray bytes() const { return ConfigFile::serialize(settings, list); }
};

struct Program {
    RecordingSoundPlayer player;
    RecordingMessageSink messages;
    FakeClock clock;
    AppCore core;
    explicit Program(const QString &folder, bool offline = true) : core(QDir(folder), player, messages, clock)
    {
        if (offline)
            core.setServerOverride(u"127.0.0.1"_s, 1); // nothing listens there
    }
};

} // namespace

class TestConfig final : public QObject {
    Q_OBJECT
private slots:
    void firstStartWritesDefaultsAndSample()
    {
        QTemporaryDir dir;
        Program first(dir.path());
        first.core.startUp();
        QCOMPARE(first.messages.shown, QStringList{u"File config.txt not found, new created"_s});
        QCOMPARE(first.player.played, QStringList{u"gong.wav"_s});
        QCOMPARE(readFile(dir.filePath(u"config.txt"_s)),
                 dataLines(u"config_first_start.txt"_s).join("\r\n"));
        QCOMPARE(first.core.alarmList().lastCallNr(), 0);
    }

    // config.txt missing and not creatable (the working folder is a file): told, and run from memory.
    void configThatCannotBeCreatedIsToldAndTheRunGoesOn()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(u"file"_s), "x");
        Program nowhere(dir.filePath(u"file"_s));
        nowhere.core.startUp();
        QCOMPARE(nowhere.messages.shown.size(), 1);
        QVERIFY(nowhere.messages.shown.first().contains(u"config.txt"_s));
        QCOMPARE(nowhere.core.alarmList().at(0).call, u"TS0EST"_s);
        QCOMPARE(nowhere.core.alarmList().lastCallNr(), 0);
    }

    void keyLines_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("changed");
        for (const DataRow &row : dataRows(u"config_key_lines.txt"_s))
            QTest::newRow(row.name.constData())
                << row.bytes(0, "\r\n") << QString::fromUtf8(row.bytes(1, "|"));
    }

    // The lines of the written file that a hand-edited content changed.
    void keyLines()
    {
        QFETCH(QByteArray, content);
        const QList<QByteArray> before = Model().bytes().split('\n');
        const QList<QByteArray> after = Model(content).bytes().split('\n');
        QStringList changed;
        for (qsizetype i = 0; i < after.size(); ++i)
            if (i >= before.size() || before[i] != after[i])
                changed << QString::fromUtf8(after[i]).trimmed();
        QTEST(changed.join(u'|'), "changed");
    }

    void eachSwitchIsWrittenAndReadBack_data()
    {
        QTest::addColumn<int>("which");
        for (int i = 0; i < Settings::kSwitchCount; ++i)
            QTest::addRow("switch %d", i) << i;
    }

    // Each switch flipped alone from the defaults changes the written file, and comes back from it.
    void eachSwitchIsWrittenAndReadBack()
    {
        QFETCH(int, which);
        Model model;
        model.settings.setOn(S(which), !model.settings.isOn(S(which)));
        QVERIFY(model.bytes() != Model().bytes());
        QCOMPARE(Model(model.bytes()).bytes(), model.bytes());
    }

    // A line break in a value (possible from the dialog) cannot make a key line of its own.
    void lineBreakInAValueMakesNoKeyLine()
    {
        Model model;
        model.list.edit(0, [](AlarmEntry &e) { e.text = u"first\n$LOGIN HACK"_s; });
        QVERIFY(model.bytes().contains("\r\n$LOGIN TE0ST\r\n"));
        QVERIFY(model.bytes().contains("\r\n$TXT first $LOGIN HACK\r\n"));
        QCOMPARE(Model(model.bytes()).bytes(), model.bytes());
    }

    void entriesBeyondTheListAndOrphanLines()
    {
        QTemporaryDir dir;
        QByteArray content = "$TXT orphan\r\n$QRG 1.0\r\n";
        for (int i = 0; i < AlarmList::kCapacity + 2; ++i)
            content += "$CALL C" + QByteArray::number(i) + "\r\n$TXT T" + QByteArray::number(i) + "\r\n";
        writeFile(dir.filePath(u"config.txt"_s), content + "$ENABLE off\r\n$ALTIME 33\r\n");
        Program program(dir.path());
        program.core.startUp();
        const AlarmList &list = program.core.alarmList();
        QCOMPARE(list.lastCallNr(), AlarmList::kCapacity - 1);
        QCOMPARE(list.at(0).qrg, u"3500.0"_s); // the orphan lines went nowhere
        QCOMPARE(list.at(100).text, u"T100"_s);
        QCOMPARE(list.at(100).enable, QString()); // written as "on"
        QCOMPARE(program.core.settings().alTime(), u"33"_s);
        QCOMPARE(program.messages.shown.size(), 1);
        QVERIFY(program.messages.shown.first().contains(u"2 entries"_s));
        QVERIFY(program.core.exitSequence());
        const QByteArray written = readFile(dir.filePath(u"config.txt"_s));
        QCOMPARE(written.count("$CALL "), qsizetype(AlarmList::kCapacity));
        QVERIFY(written.endsWith(
            "\r\n:-- Call Nr.101 end ------------\r\n:\r\n:\r\n: end of configuration file\r\n"));
    }

    // Entry lines before the first "$CALL" count as orphans; those of a call past the list's end do not.
    void orphanLinesAreCounted()
    {
        QByteArray content = "$TXT orphan\r\n$QRG 1.0\r\n$SOUND x.wav\r\n";
        for (int i = 0; i < AlarmList::kCapacity + 2; ++i)
            content += "$CALL C" + QByteArray::number(i) + "\r\n$TXT T" + QByteArray::number(i) + "\r\n";
        Settings settings;
        AlarmList list;
        ConfigFile::ReadResult result;
        ConfigFile::apply(content, settings, list, result);
        QCOMPARE(result.orphanLinesSkipped, 3);
    }

    void filesThatCannotBeRead_data()
    {
        QTest::addColumn<int>("kind");
        QTest::newRow("folder") << 0;
        QTest::newRow("pipe (opening it would block)") << 1;
        QTest::newRow("too large") << 2;
    }

    // Never replaced in that run; the operator is told once, and the run goes on with the defaults.
    void filesThatCannotBeRead()
    {
        QFETCH(int, kind);
        QTemporaryDir dir;
        const QString path = dir.filePath(u"config.txt"_s);
        if (kind == 0) {
            QVERIFY(QDir(dir.path()).mkpath(u"config.txt/inside"_s));
        } else if (kind == 1) {
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        } else {
            writeFile(path, "$LOGIN DK0AB\r\n");
            QVERIFY(QFile::resize(path, ConfigFile::kMaxFileSize + 1)); // sparse, costs no disk
        }
        const QFileInfo before(path);
        Program program(dir.path());
        program.core.startUp();
        QCOMPARE(program.messages.shown.size(), 1);
        QVERIFY(program.messages.shown.first().startsWith(u"config.txt cannot be read"_s));
        QCOMPARE(program.core.settings().ownCall(), u"TE0ST"_s);
        QCOMPARE(program.core.alarmList().lastCallNr(), -1);
        QVERIFY(program.core.exitSequence());
        QCOMPARE(program.messages.shown.size(), 1);
        QCOMPARE(QFileInfo(path).size(), before.size());
        QCOMPARE(QFileInfo(path).isDir(), kind == 0);
    }

    // A full disk at exit: the old file stays whole, the operator is told, the run keeps its state, and a
    // later exit saves it.
    void fullDiskAtExit()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"config.txt"_s);
        writeFile(path, "$LOGIN OLD1\r\n");
        Program program(dir.path());
        program.core.startUp();
        program.core.settings().setText(Settings::Text::OwnCall, u"DL9XYZ"_s);
        program.messages.shown.clear();
        // The kernel refuses to let a file grow past this size, as on a full disk; root is no exception.
        rlimit saved{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit small{64, saved.rlim_max};
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool ok = program.core.exitSequence();
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        QVERIFY(!ok);
        QVERIFY(!program.core.hasExited());
        QCOMPARE(readFile(path), QByteArray("$LOGIN OLD1\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"config.txt"_s});
        QCOMPARE(program.messages.shown.size(), 1);
        QVERIFY(program.messages.shown.first().startsWith(u"config.txt could not be written"_s));
        QVERIFY(program.core.exitSequence());
        QVERIFY(readFile(path).contains("$LOGIN DL9XYZ\r\n"));
    }

    // One that cannot be written is closed and reported once, and the link goes on without it. The core is
    // started again after an exit, as a new config.txt does.
    void serverLogThatCannotBeWrittenIsClosed()
    {
        QTemporaryDir dir;
        writeFile(dir.filePath(u"config.txt"_s), "$LOGFILE on\r\n$CALL TS0EST\r\n$ENABLE on\r\n");
        QVERIFY(
            QFile::link(u"/dev/full"_s, dir.filePath(u"log.txt"_s))); // every write fails as on a full disk
        Program program(dir.path());
        program.core.startUp();
        QVERIFY(program.core.exitSequence());
        TestSpotServer server;
        QVERIFY(server.listen());
        program.core.setServerOverride(server.host(), server.port());
        program.core.startUp();
        QVERIFY(program.core.serverLog().isOpen());
        QVERIFY(!program.core.hasExited());
        QTRY_VERIFY(!program.core.serverLog().isOpen());
        QCOMPARE(program.messages.shown.size(), 1);
        QVERIFY(program.messages.shown.first().startsWith(u"log.txt cannot be written"_s));
        QVERIFY(server.waitForLoggedIn());
        server.send(rbnBytes(u"DL8LAS-#", u"14025.0", u"TS0EST"));
        QTRY_COMPARE(program.core.alarmList().at(0).qrg, u"14025.0"_s);
    }
};

QTEST_GUILESS_MAIN(TestConfig)
#include "test_config.moc"
