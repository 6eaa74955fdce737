// Which spot lines reach the message window, and how the window restarts after 35 lines.
#include "app/app_core.h"
#include "model/settings.h"
#include "spots/message_log.h"
#include "support/fakes.h"
#include "support/test_spot_server.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Core {
    QTemporaryDir dir;
    RecordingSoundPlayer player;
    RecordingMessageSink messages;
    FakeClock clock;
    AppCore core{QDir(dir.path()), player, messages, clock};
    Core() { core.settings().applyDefaults(); }
    Settings &settings() { return core.settings(); }
    bool shows(const QString &line)
    {
        const int before = core.messageLog().lineCount();
        const bool initial = core.messageLog().showsInitialText();
        core.processLine(line);
        return core.messageLog().lineCount() != before || core.messageLog().showsInitialText() != initial;
    }
};

using Switches = QList<Settings::Switch>;

} // namespace

class TestDisplayFilter : public QObject {
    Q_OBJECT
private slots:
    void filterRules_data();
    void filterRules();
    void windowRestartsAfter35Lines();
    void oddLinesAreDroppedOrRepaired();
};

void TestDisplayFilter::filterRules_data()
{
    QTest::addColumn<Switches>("on");
    QTest::addColumn<QString>("threshold");
    QTest::addColumn<QString>("qrg");
    QTest::addColumn<QString>("call");
    QTest::addColumn<int>("wpm"); // 0 = a line without "WPM"
    QTest::addColumn<bool>("shown");

    using S = Settings::Switch;
    QTest::newRow("show all") << Switches{S::DxMsgAll} << "30"
                              << "14025.0"
                              << "TS0EST" << 25 << true;
    QTest::newRow("show all, no band") << Switches{S::DxMsgAll} << "30"
                                       << "29020.0"
                                       << "TS0EST" << 25 << true;
    QTest::newRow("nothing on") << Switches{} << "30"
                                << "14025.0"
                                << "TS0EST" << 25 << false;
    QTest::newRow("band on") << Switches{S::DxEnable20} << "30"
                             << "14025.0"
                             << "TS0EST" << 25 << true;
    QTest::newRow("other band") << Switches{S::DxEnable40} << "30"
                                << "14025.0"
                                << "TS0EST" << 25 << false;
    QTest::newRow("60m") << Switches{S::DxEnable60} << "30"
                         << "5354.0"
                         << "TS0EST" << 25 << true;
    QTest::newRow("no band, band switches") << Switches{S::DxEnable10} << "30"
                                            << "29020.0"
                                            << "TS0EST" << 25 << false;
    QTest::newRow("QRQ below") << Switches{S::DxMsgAll, S::QrqMsg} << "30"
                               << "14025.0"
                               << "TS0EST" << 25 << false;
    QTest::newRow("QRQ at threshold") << Switches{S::DxMsgAll, S::QrqMsg} << "30"
                                      << "14025.0"
                                      << "TS0EST" << 30 << true;
    QTest::newRow("QRQ 100") << Switches{S::DxMsgAll, S::QrqMsg} << "30"
                             << "14025.0"
                             << "TS0EST" << 100 << true;
    QTest::newRow("QRQ no WPM") << Switches{S::DxMsgAll, S::QrqMsg} << "30"
                                << "14025.0"
                                << "TS0EST" << 0 << true;
    QTest::newRow("QRQ cannot widen") << Switches{S::QrqMsg} << "30"
                                      << "14025.0"
                                      << "TS0EST" << 40 << false;
    QTest::newRow("QRQ bad threshold") << Switches{S::DxMsgAll, S::QrqMsg} << "fast"
                                       << "14025.0"
                                       << "TS0EST" << 10 << true;
    QTest::newRow("/P only: /P") << Switches{S::DxMsgAll, S::PortMsg} << "30"
                                 << "14025.0"
                                 << "TS0EST/P" << 25 << true;
    QTest::newRow("/P only: /p") << Switches{S::DxMsgAll, S::PortMsg} << "30"
                                 << "14025.0"
                                 << "TS0EST/p" << 25 << true;
    QTest::newRow("/P only: fixed") << Switches{S::DxMsgAll, S::PortMsg} << "30"
                                    << "14025.0"
                                    << "TS0EST" << 25 << false;
    QTest::newRow("/P only: band off") << Switches{S::PortMsg} << "30"
                                       << "14025.0"
                                       << "TS0EST/P" << 25 << false;
}

void TestDisplayFilter::filterRules()
{
    QFETCH(Switches, on);
    QFETCH(QString, threshold);
    QFETCH(QString, qrg);
    QFETCH(QString, call);
    QFETCH(int, wpm);
    QFETCH(bool, shown);

    Core c;
    for (int i = 0; i < Settings::kSwitchCount; ++i)
        c.settings().setOn(static_cast<Settings::Switch>(i), false);
    for (Settings::Switch s : on)
        c.settings().setOn(s, true);
    c.settings().setText(Settings::Text::QrqSpeed, threshold);
    QString line = rbnLine(u"DL8LAS-#", qrg, call, wpm == 0 ? 25 : wpm);
    if (wpm == 0)
        line.replace(QStringLiteral("WPM"), QStringLiteral("BPS"));
    QCOMPARE(c.shows(line), shown);
}

void TestDisplayFilter::windowRestartsAfter35Lines()
{
    Core c;
    MessageLog &log = c.core.messageLog();
    QCOMPARE(log.text(), QStringLiteral("... actual DX Info\r\n"));
    QStringList lines;
    // Lengths vary, so a line is written over a longer and a shorter one when the window restarts.
    for (int i = 0; i < 71; ++i)
        lines.append(rbnLine(u"DL8LAS-#", u"7010.0", QStringLiteral("DL%1ABC").arg(i % 10), 20 + i % 30) +
                     QString(i % 7, u'x'));
    QSignalSpy appended(&log, &MessageLog::lineAppended);
    for (int i = 0; i < 35; ++i)
        c.core.processLine(lines.at(i));
    QCOMPARE(log.lineCount(), 35);
    QCOMPARE(log.text(), QStringLiteral("... actual DX Info\r\n") +
                             lines.mid(0, 35).join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
    c.core.processLine(lines.at(35));
    QCOMPARE(log.text(), lines.at(35) + QStringLiteral("\r\n"));
    QCOMPARE(log.lineCount(), 1);
    for (int i = 36; i < 70; ++i)
        c.core.processLine(lines.at(i));
    QCOMPARE(log.lineCount(), 35);
    c.core.processLine(lines.at(70));
    QCOMPARE(log.text(), lines.at(70) + QStringLiteral("\r\n"));
    // What listeners were given is theirs: the window's reuse of its memory does not change it.
    QCOMPARE(appended.count(), 69);
    QCOMPARE(appended.first().first().toString(), lines.at(0));
    QCOMPARE(appended.last().first().toString(), lines.at(69));
}

void TestDisplayFilter::oddLinesAreDroppedOrRepaired()
{
    Core c;
    const QString spot = rbnLine(u"DL8LAS-#", u"14025.0", u"TS0EST");
    // A prompt without a line end glued to the front of a spot line: the spot is still shown, as sent.
    QVERIFY(c.shows(QStringLiteral("TE0ST de GB7XX 06-Dec-2026 1200Z dxspider >") + spot));
    QCOMPARE(c.core.messageLog().line(c.core.messageLog().lineCount() - 1), spot);
    QVERIFY(!c.shows(QStringLiteral("Hello TE0ST, this is the server")));
    QVERIFY(!c.shows(
        rbnLine(u"DL8LAS-#", u"14075.0", u"TS0EST").replace(QStringLiteral(" CW "), QStringLiteral(" cw "))));
    QVERIFY(!c.shows(QString(spot).replace(0, 2, QStringLiteral("dx"))));
    QVERIFY(!c.shows(QString()));
}

QTEST_GUILESS_MAIN(TestDisplayFilter)
#include "test_display_filter.moc"
