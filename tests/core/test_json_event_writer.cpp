// The headless event writer builds its JSON by hand: every line must be what QJsonDocument would write
// for the same object, byte for byte, and a file gets the events of one burst of work in one write.
#include "alarms/alarm_notifier.h"
#include "app/app_core.h"
#include "app/json_event_writer.h"
#include "model/alarm_list.h"
#include "model/settings.h"
#include "support/fakes.h"
#include "support/test_spot_server.h"

#include <QBuffer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

// Every line parses as one object and re-serialises to exactly the same bytes.
void verifyCanonical(const QByteArray &output)
{
    const QList<QByteArray> lines = output.split('\n');
    QVERIFY(lines.last().isEmpty());
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(lines[i], &error);
        QVERIFY2(error.error == QJsonParseError::NoError && doc.isObject(), lines[i].constData());
        QCOMPARE(compact(doc.object()), lines[i] + '\n');
    }
}

} // namespace

class TestJsonEventWriter : public QObject {
    Q_OBJECT
private slots:
    void textsAreEscapedAsQJsonDocumentDoes_data();
    void textsAreEscapedAsQJsonDocumentDoes();
    void everyEventOfTheCoreIsCanonicalJson();
    void fileGetsOneBurstInOneWriteBeforeTheLoopWaits();
};

void TestJsonEventWriter::textsAreEscapedAsQJsonDocumentDoes_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QStringLiteral("try connect server");
    QTest::newRow("empty") << QString();
    QTest::newRow("quote and backslash") << QStringLiteral("say \"hi\" C:\\dir\\");
    QTest::newRow("short escapes") << QStringLiteral("a\bb\fc\nd\re\tf");
    QString controls;
    for (char16_t c = 0; c < 0x20; ++c)
        controls += QChar(c);
    controls += QChar(char16_t(0x7F));
    QTest::newRow("every C0 control and DEL") << controls;
    QTest::newRow("Latin-1") << QString::fromLatin1("\xd6sterreich \xe9t\xe9 \xff\xa0");
    QTest::newRow("BMP") << QStringLiteral("Ω € 日本 \uFFFD \uFFFE \uFFFF");
    QTest::newRow("outside the BMP") << QString::fromUtf8("\xf0\x9f\x93\xbb radio \xf4\x8f\xbf\xbf");
    QTest::newRow("lone high surrogate")
        << (QStringLiteral("a") + QChar(char16_t(0xD83D)) + QStringLiteral("b"));
    QTest::newRow("lone low surrogate") << (QStringLiteral("a") + QChar(char16_t(0xDCBB)));
    QTest::newRow("high surrogate at the end") << (QStringLiteral("x") + QChar(char16_t(0xDBFF)));
    const QChar twoHigh[] = {QChar(char16_t(0xD800)), QChar(char16_t(0xD800)), QChar(char16_t(0xDC00))};
    QTest::newRow("two high surrogates") << QString(twoHigh, 3);
    // Long runs take the fast paths that handle several characters at once; every kind of character at
    // every position within such a run.
    const char16_t pool[] = {u'a', u'Z',  u' ', u'~',   0x7F,   u'"',   u'\\',  0x00,
                             0x1F, u'\n', 0xE9, 0x20AC, 0xFFFF, 0xD83D, 0xDCFB, 0xDBFF};
    QRandomGenerator random(20261206);
    for (int row = 0; row < 20; ++row) {
        QString mixed;
        for (int i = 0; i < 200; ++i) {
            const bool plain = random.bounded(4) != 0;
            mixed += QChar(plain ? char16_t(u'a' + random.bounded(26))
                                 : pool[random.bounded(int(std::size(pool)))]);
        }
        QTest::addRow("mixed %d", row) << mixed;
    }
    QTest::newRow("spot line") << QStringLiteral(
        "DX de DL8LAS-#:  14025.0  TS0EST         CW    25 dB  25 WPM  CQ      1200Z");
    // Plain runs end with their last sixteen characters taken once more: one special character anywhere.
    for (int at = 0; at < 40; ++at) {
        QString text(40, u'k');
        text[at] = at % 2 ? u'"' : QChar(0xE9);
        QTest::addRow("special at %d of 40", at) << text;
        QTest::addRow("special at %d of %d", at, at + 17) << text.left(at + 17);
    }
}

void TestJsonEventWriter::textsAreEscapedAsQJsonDocumentDoes()
{
    QFETCH(QString, text);
    QBuffer buffer;
    QVERIFY(buffer.open(QIODevice::ReadWrite));
    JsonEventWriter writer(buffer);
    writer.show(text);
    QCOMPARE(buffer.data(),
             compact({{QStringLiteral("event"), QStringLiteral("message")}, {QStringLiteral("text"), text}}));
}

void TestJsonEventWriter::everyEventOfTheCoreIsCanonicalJson()
{
    RecordingSoundPlayer player;
    FakeClock clock;
    QBuffer buffer;
    QVERIFY(buffer.open(QIODevice::ReadWrite));
    JsonEventWriter writer(buffer);
    TestSpotServer server;
    QVERIFY(server.listen());
    QTemporaryDir dir;
    AppCore core(QDir(dir.path()), player, writer, clock);
    writer.attach(core);
    core.setServerOverride(server.host(), server.port());
    core.startUp();
    QVERIFY(server.waitForLoggedIn());
    core.settings().setOn(Settings::Switch::PortAl, true);
    AlarmList &list = core.alarmList();
    list.appendSlot();
    list.setEntry(list.lastCallNr(), AlarmEntry{QStringLiteral("TS0EST"),
                                                QStringLiteral("\"TS0EST\" is on\t!"),
                                                QStringLiteral("trumpet1.wav"),
                                                {},
                                                {},
                                                {},
                                                QStringLiteral("on"),
                                                QStringLiteral("0"),
                                                QStringLiteral("30")});
    core.processLine(rbnLine(u"DL8LAS-#", u"14025.0", u"TS0EST"));
    core.processLine(rbnLine(u"W3LPL-#", u"7003.9", u"DL1ABC/P"));
    core.notifier().hide(AlarmNotifier::Kind::Call);
    core.notifier().hide(AlarmNotifier::Kind::Portable);
    server.dropClient();
    QTRY_VERIFY(buffer.data().contains("\"state\":\"lost\""));
    core.exitSequence();

    const QByteArray output = buffer.data();
    verifyCanonical(output);
    for (const char *event : {"status", "message", "connection", "spot", "call_alarm", "portable_alarm",
                              "sound", "heard", "alarm_hidden"})
        QVERIFY2(output.contains(QByteArray("\"event\":\"") + event + '"'), event);
    QVERIFY(output.contains("\"retry_in\":5,"));
    QVERIFY(output.contains("{\"call\":\"TS0EST\",\"entry\":1,\"event\":\"call_alarm\",\"qrg\":\"14025.0\","
                            "\"text\":\"\\\"TS0EST\\\" is on\\t!\"}\n"));
}

void TestJsonEventWriter::fileGetsOneBurstInOneWriteBeforeTheLoopWaits()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("events.jsonl"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const auto written = [&path] {
        QFile reader(path);
        return reader.open(QIODevice::ReadOnly) ? reader.readAll() : QByteArray();
    };
    QByteArray expected;
    {
        JsonEventWriter writer(file);
        for (int i = 0; i < 3; ++i) {
            writer.show(QString::number(i));
            expected += compact({{QStringLiteral("event"), QStringLiteral("message")},
                                 {QStringLiteral("text"), QString::number(i)}});
        }
        QCOMPARE(written(), QByteArray());
        // The event loop waits (here for 10 ms): before it does, the events are written.
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
        QCOMPARE(written(), expected);

        // A long burst goes out in pieces of at most kMaxGathered, whole lines each.
        const QString text(200, u'x');
        int lines = 0;
        while (written().size() - expected.size() == 0) {
            writer.show(text);
            ++lines;
        }
        QVERIFY(written().endsWith("}\n"));
        QVERIFY(written().size() - expected.size() >= JsonEventWriter::kMaxGathered);
        QVERIFY(lines * 230 < 2 * JsonEventWriter::kMaxGathered);
        writer.show(QStringLiteral("last"));
    }
    // The writer's end writes what it still holds.
    QVERIFY(written().endsWith("{\"event\":\"message\",\"text\":\"last\"}\n"));
}

QTEST_GUILESS_MAIN(TestJsonEventWriter)
#include "test_json_event_writer.moc"
