// config.txt as the operator meets it: the first start, hand-edited lines, files from other systems,
// files that cannot be read or written, and the program's start and exit around them.
#include "app/app_core.h"
#include "link/cluster_link.h"
#include "link/server_log.h"
#include "model/alarm_list.h"
#include "model/config_file.h"
#include "model/config_saver.h"
#include "model/settings.h"
#include "support/fakes.h"
#include "support/files.h"
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

// A tests/data file's lines after its '#' header.
QList<QByteArray> dataLines(const QString &path)
{
    QList<QByteArray> lines = readFile(path).split('\n');
    lines.removeIf([](const QByteArray &line) { return line.startsWith('#'); });
    return lines;
}

struct Program {
    RecordingSoundPlayer player;
    RecordingMessageSink messages;
    FakeClock clock;
    AppCore core;
    explicit Program(const QString &folder, bool offline = true) : core(QDir(folder), player, messages, clock)
    {
        if (offline)
            core.setServerOverride(u"127.0.0.1"_qs, 1); // nothing listens there
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
        QCOMPARE(first.messages.shown, QStringList{u"File config.txt not found, new created"_qs});
        QCOMPARE(first.player.played, QStringList{u"gong.wav"_qs});
        const QByteArray golden = dataLines(QFINDTESTDATA("../data/config_first_start.txt")).join("\r\n");
        QCOMPARE(readFile(dir.filePath(u"config.txt"_qs)), golden);
        QCOMPARE(first.core.alarmList().lastCallNr(), 0);

        // A switch ticked during the run is written at exit; the next start finds it, silently.
        first.core.settings().setOn(S::DxEnable40, true);
        QVERIFY(first.core.exitSequence());
        Program second(dir.path());
        second.core.startUp();
        QVERIFY(second.messages.shown.isEmpty() && second.core.settings().isOn(S::DxEnable40));

        // config.txt missing and not creatable (the working folder is a file): told, and run from memory.
        writeFile(dir.filePath(u"file"_qs), "x");
        Program nowhere(dir.filePath(u"file"_qs));
        nowhere.core.startUp();
        QCOMPARE(nowhere.messages.shown.size(), 1);
        QVERIFY(nowhere.messages.shown.first().contains(u"config.txt"_qs));
        QVERIFY(nowhere.core.alarmList().at(0).call == u"TS0EST"_qs &&
                nowhere.core.alarmList().lastCallNr() == 0);
    }

    void keyLines_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("changed");
        for (const QByteArray &row : dataLines(QFINDTESTDATA("../data/config_key_lines.txt"))) {
            const qsizetype arrow = row.indexOf(" =>");
            if (arrow > 0)
                QTest::newRow(row.left(arrow).constData())
                    << QByteArray::fromPercentEncoding(row.left(arrow).replace("|", "\r\n"))
                    << QString::fromUtf8(QByteArray::fromPercentEncoding(row.mid(arrow + 3).trimmed()));
        }
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

    // Each switch flipped alone from the defaults changes the written file, and comes back from it as it
    // was written. A line break in a value (possible from the dialog) cannot make a key line of its own.
    void writtenFileReadsBack()
    {
        for (int i = 0; i < Settings::kSwitchCount; ++i) {
            Model model;
            model.settings.setOn(S(i), !model.settings.isOn(S(i)));
            QVERIFY(model.bytes() != Model().bytes() && Model(model.bytes()).bytes() == model.bytes());
        }
        Model model;
        model.list.edit(0, [](AlarmEntry &e) { e.text = u"first\n$LOGIN HACK"_qs; });
        QVERIFY(model.bytes().contains("\r\n$LOGIN TE0ST\r\n") &&
                model.bytes().contains("\r\n$TXT first $LOGIN HACK\r\n"));
        QCOMPARE(Model(model.bytes()).bytes(), model.bytes());
    }

    void entriesBeyondTheListAndOrphanLines()
    {
        QTemporaryDir dir;
        QByteArray content = "$TXT orphan\r\n$QRG 1.0\r\n";
        for (int i = 0; i < AlarmList::kCapacity + 2; ++i)
            content += "$CALL C" + QByteArray::number(i) + "\r\n$TXT T" + QByteArray::number(i) + "\r\n";
        writeFile(dir.filePath(u"config.txt"_qs), content + "$ENABLE off\r\n$ALTIME 33\r\n");
        Program program(dir.path());
        program.core.startUp();
        const AlarmList &list = program.core.alarmList();
        QCOMPARE(list.lastCallNr(), 100);
        QCOMPARE(list.at(0).qrg, u"3500.0"_qs); // the orphan lines went nowhere
        QCOMPARE(list.at(100).text + u'|' + list.at(100).enable, u"T100|"_qs); // written as "on"
        QCOMPARE(program.core.settings().alTime(), u"33"_qs);
        QCOMPARE(program.messages.shown.size(), 1);
        QVERIFY(program.messages.shown.first().contains(u"2 entries"_qs));
        QVERIFY(program.core.exitSequence());
        const QByteArray written = readFile(dir.filePath(u"config.txt"_qs));
        QCOMPARE(written.count("$CALL "), qsizetype(AlarmList::kCapacity));
        QVERIFY(written.endsWith(
            "\r\n:-- Call Nr.101 end ------------\r\n:\r\n:\r\n: end of configuration file\r\n"));
    }

    // A folder, a pipe (opening it would block), a file too large: never replaced in that run; the operator
    // is told once, and the run goes on with the defaults.
    void filesThatCannotBeRead()
    {
        for (int kind = 0; kind < 3; ++kind) {
            QTemporaryDir dir;
            const QString path = dir.filePath(u"config.txt"_qs);
            if (kind == 0) {
                QVERIFY(QDir(dir.path()).mkpath(u"config.txt/inside"_qs));
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
            QVERIFY(program.messages.shown.first().startsWith(u"config.txt cannot be read"_qs));
            QCOMPARE(program.core.settings().ownCall() +
                         QString::number(program.core.alarmList().lastCallNr()),
                     u"TE0ST-1"_qs);
            QVERIFY(program.core.exitSequence());
            QCOMPARE(program.messages.shown.size(), 1);
            QCOMPARE(QFileInfo(path).size(), before.size());
            QCOMPARE(QFileInfo(path).isDir(), kind == 0);
        }
    }

    // A full disk at exit: the old file stays whole, the operator is told, the run keeps its state, and a
    // later exit saves it.
    void fullDiskAtExit()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"config.txt"_qs);
        writeFile(path, "$LOGIN OLD1\r\n");
        Program program(dir.path());
        program.core.startUp();
        program.core.settings().setText(Settings::Text::OwnCall, u"DL9XYZ"_qs);
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
        QVERIFY(!ok && !program.core.hasExited());
        QCOMPARE(readFile(path), QByteArray("$LOGIN OLD1\r\n"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{u"config.txt"_qs});
        QCOMPARE(program.messages.shown.size(), 1);
        QVERIFY(program.messages.shown.first().startsWith(u"config.txt could not be written"_qs));
        QVERIFY(program.core.exitSequence());
        QVERIFY(readFile(path).contains("$LOGIN DL9XYZ\r\n"));
    }

    void portAndServerLog()
    {
        QTemporaryDir dir;
        const QString config = dir.filePath(u"config.txt"_qs);
        const QString log = dir.filePath(u"log.txt"_qs);
        // A port that is not a port number: 7000 is used, the status says so, the text is kept.
        writeFile(config, "$RMTHOST 127.0.0.1\r\n$RMTPORT 7x00\r\n$LOGFILE off\r\n");
        writeFile(log, "old data");
        Program program(dir.path(), false);
        program.core.startUp();
        QCOMPARE(program.core.link().port(), quint16(7000));
        QVERIFY(program.core.statusText().contains(u"not a port number, using 7000"_qs));
        QVERIFY(program.core.exitSequence());
        QVERIFY(readFile(config).contains("\r\n$RMTPORT 7x00\r\n"));
        QCOMPARE(readFile(log), QByteArray("old data"));

        // Switched on, log.txt is emptied at start; one that cannot be written is closed and reported once,
        // and the link goes on without it.
        writeFile(config, "$LOGFILE on\r\n$CALL TS0EST\r\n$ENABLE on\r\n");
        program.core.setServerOverride(u"127.0.0.1"_qs, 1);
        program.core.startUp();
        QVERIFY(readFile(log).isEmpty() && program.core.exitSequence());
        QVERIFY(QFile::remove(log) &&
                QFile::link(u"/dev/full"_qs, log)); // every write fails as on a full disk
        TestSpotServer server;
        QVERIFY(server.listen());
        program.core.setServerOverride(server.host(), server.port());
        program.core.startUp();
        QVERIFY(program.core.serverLog().isOpen() &&
                !program.core.hasExited()); // started again after an exit
        QTRY_VERIFY(!program.core.serverLog().isOpen());
        QCOMPARE(program.messages.shown.size(), 1);
        QVERIFY(program.messages.shown.first().startsWith(u"log.txt cannot be written"_qs));
        QVERIFY(server.waitForLoggedIn());
        server.send(rbnBytes(u"DL8LAS-#", u"14025.0", u"TS0EST"));
        QTRY_COMPARE(program.core.alarmList().at(0).qrg, u"14025.0"_qs);
    }

    // News of an entry before the list's own (a listener ahead of the saver fills a new slot), or after
    // stop(): nothing is read past the entries the saver knows, and nothing is scheduled.
    void saverSkipsEntriesItDoesNotKnow()
    {
        QTemporaryDir dir;
        Model model;
        connect(&model.list, &AlarmList::structureChanged, this, [&list = model.list] {
            list.edit(list.lastCallNr(), [](AlarmEntry &e) { e.call = u"DL1AA"_qs; });
        });
        ConfigSaver saver(dir.filePath(u"config.txt"_qs), model.settings, model.list);
        saver.watch();
        QVERIFY(model.list.appendSlot() && model.list.appendSlot() && saver.isPending());
        saver.stop();
        model.list.edit(1, [](AlarmEntry &e) { e.text = u"edited"_qs; });
        QVERIFY(!saver.timer().isActive());
    }
};

QTEST_GUILESS_MAIN(TestConfig)
#include "test_config.moc"
