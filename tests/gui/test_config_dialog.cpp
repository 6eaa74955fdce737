// The Config dialog as an operator uses it, on the offscreen platform with a real config.txt: no edit is
// lost, "+" leads to the new entry, calls come out in capitals, a block time is a number.
#include "app/app_core.h"
#include "model/alarm_list.h"
#include "model/config_saver.h"
#include "support/fakes.h"
#include "support/files.h"
#include "ui/config_dialog.h"
#include "ui/main_window.h"

#include <QtTest>
#include <QtWidgets>

using namespace Qt::StringLiterals;

namespace {

// The program in a temporary folder, offline, with its Config dialog open at entry 1.
struct Program {
    explicit Program(const QStringList &entryCalls = {u"AA0A"_s, u"BB1B"_s})
    {
        QStringList lines;
        for (const QString &call : entryCalls)
            lines << u"$CALL "_s + call << u"$TXT "_s + call + u" calls"_s << u"$BLOCKTIME 30"_s;
        writeFile(dir.filePath(u"config.txt"_s), (lines.join(u"\r\n"_s) + u"\r\n"_s).toUtf8());
        core.setServerOverride(u"127.0.0.1"_s, 1); // nothing listens there
        core.startUp();
        window.showConfig();
    }
    ConfigDialog &dialog() const { return *window.configDialog(); }
    QLineEdit &field(const QString &name) const { return *dialog().findChild<QLineEdit *>(name); }
    void click(const QString &name) const
    {
        QTest::mouseClick(dialog().findChild<QPushButton *>(name), Qt::LeftButton);
    }
    // config.txt as the saver writes it after the edits.
    QStringList configLines()
    {
        core.configSaver().expire();
        return QString::fromUtf8(readFile(dir.filePath(u"config.txt"_s))).split(u"\r\n"_s);
    }
    QTemporaryDir dir;
    RecordingSoundPlayer player;
    RecordingMessageSink messages;
    FakeClock clock;
    AppCore core{QDir(dir.path()), player, messages, clock};
    MainWindow window{core, messages};
};

} // namespace

class TestConfigDialog : public QObject {
    Q_OBJECT
private slots:
    // Quit, the close box and leaving an entry store the fields; rows name the field and the config line.

    void editIsStoredBy_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("line");
        const QString quit = u"Quit"_s, closeBox = u"close box"_s, scroll = u"scroll"_s;
        QTest::newRow("Quit: alarm time") << quit << u"TxtAlTime"_s << u"30"_s << u"$ALTIME 30"_s;
        QTest::newRow("close box: alarm time") << closeBox << u"TxtAlTime"_s << u"30"_s << u"$ALTIME 30"_s;
        QTest::newRow("close box: own call")
            << closeBox << u"TxtOwnCall"_s << u"DL9NEW"_s << u"$LOGIN DL9NEW"_s;
        QTest::newRow("close box: call") << closeBox << u"TxtCall"_s << u"CC2C"_s << u"$CALL CC2C"_s;
        QTest::newRow("scroll: call") << scroll << u"TxtCall"_s << u"CC2C"_s << u"$CALL CC2C"_s;
        QTest::newRow("scroll: text") << scroll << u"TxtCallTxt"_s << u"new text"_s << u"$TXT new text"_s;
        QTest::newRow("scroll: sound") << scroll << u"TxtSoundFile"_s << u"x.wav"_s << u"$SOUND x.wav"_s;
        QTest::newRow("scroll: block time") << scroll << u"TxtBlkTime"_s << u"45"_s << u"$BLOCKTIME 45"_s;
    }

    void editIsStoredBy()
    {
        QFETCH(QString, how);
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, line);
        Program program;
        program.field(field).setText(typed);
        if (how == u"Quit"_s)
            program.click(u"ButtonConfigQuit"_s);
        else if (how == u"close box"_s)
            program.dialog().close();
        else
            program.dialog().findChild<QScrollBar *>(u"VScrollCsNr"_s)->setValue(1);
        QVERIFY(program.configLines().contains(line));
    }

    // "+" and "-" stand out from the other buttons.
    void plusAndMinusAreBold()
    {
        Program program;
        for (const QString &name : {u"ButtonAddCall"_s, u"ButtonDelCall"_s})
            QVERIFY(program.dialog().findChild<QPushButton *>(name)->font().bold());
    }

    void minusNeedsAnEntry_data()
    {
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<bool>("enabled");
        QTest::newRow("no entry") << QStringList() << false;
        QTest::newRow("one entry") << QStringList{u"AA0A"_s} << true;
    }

    void minusNeedsAnEntry()
    {
        QFETCH(QStringList, calls);
        Program program(calls);
        QTEST(program.dialog().findChild<QPushButton *>(u"ButtonDelCall"_s)->isEnabled(), "enabled");
    }

    void pushFieldsAreCaptioned_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::newRow("URL") << u"Push URL"_s;
        QTest::newRow("token") << u"Token"_s;
    }

    void pushFieldsAreCaptioned()
    {
        QFETCH(QString, caption);
        Program program;
        QStringList captions;
        for (const QLabel *label : program.dialog().findChildren<QLabel *>())
            captions << label->text();
        QVERIFY(captions.contains(caption));
    }

    void callTypedAfterPlusLeavesEntryOneAsItWas()
    {
        Program program;
        program.click(u"ButtonAddCall"_s);
        QTest::keyClicks(&program.field(u"TxtCall"_s), u"DD3D"_s);
        program.click(u"ButtonConfigQuit"_s);
        QCOMPARE(program.core.alarmList().at(0).call, u"AA0A"_s);
    }

    void plusOnAFullListSaysSo()
    {
        QStringList calls;
        for (int i = 0; i < AlarmList::kCapacity; ++i)
            calls << u"DL%1X"_s.arg(i);
        Program program(calls);
        program.click(u"ButtonAddCall"_s);
        QCOMPARE(program.window.findChild<QLabel *>(u"LabelStatus"_s)->text(), ConfigDialog::kListFull);
    }

    void lettersTypedBecomeCapitals_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("call") << u"TxtCall"_s << u"ok2xyz"_s << u"OK2XYZ"_s;
        QTest::newRow("wildcards unchanged") << u"TxtCall"_s << u"dl?a*"_s << u"DL?A*"_s;
        QTest::newRow("own call") << u"TxtOwnCall"_s << u"dk0ab"_s << u"DK0AB"_s;
        QTest::newRow("text as typed") << u"TxtCallTxt"_s << u"cq test"_s << u"cq test"_s;
    }

    void lettersTypedBecomeCapitals()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        Program program;
        program.field(field).clear();
        QTest::keyClicks(&program.field(field), typed);
        QCOMPARE(program.field(field).text(), shown);
    }

    void lowerCaseCallFromConfigIsKept()
    {
        Program program({u"ok2xyz"_s});
        program.click(u"ButtonConfigQuit"_s);
        QVERIFY(program.configLines().contains(u"$CALL ok2xyz"_s));
    }

    void blockTimeTakesWholeSecondsOnly_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("seconds") << u"45"_s << u"45"_s;
        QTest::newRow("letters refused") << u"4a5"_s << u"45"_s;
        QTest::newRow("sign refused") << u"-5"_s << u"5"_s;
        QTest::newRow("decimals refused") << u"1.5"_s << u"15"_s;
        QTest::newRow("the largest") << u"32767"_s << u"32767"_s;
        QTest::newRow("beyond refused") << u"32768"_s << u"3276"_s;
    }

    void blockTimeTakesWholeSecondsOnly()
    {
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        Program program;
        QLineEdit &field = program.field(u"TxtBlkTime"_s);
        field.clear();
        QTest::keyClicks(&field, typed);
        QCOMPARE(field.text(), shown);
    }

    void programQuitKeepsTheOpenDialogsEdit()
    {
        Program program;
        program.field(u"TxtAlTime"_s).setText(u"30"_s);
        program.window.requestExit();
        const QString written = QString::fromUtf8(readFile(program.dir.filePath(u"config.txt"_s)));
        QVERIFY(written.split(u"\r\n"_s).contains(u"$ALTIME 30"_s));
    }
};

QTEST_MAIN(TestConfigDialog)
#include "test_config_dialog.moc"