#include "spots/line_framer.h"
#include "spots/spot_parser.h"
#include "support/test_spot_server.h"

#include <QTest>

namespace {

constexpr int kNoBand = -1;

int bandNumber(std::optional<Band> band)
{
    return band ? bandIndex(*band) : kNoBand;
}

} // namespace

class TestSpotParser final : public QObject {
    Q_OBJECT
private slots:
    void fields_data();
    void fields();
    void notASpot_data();
    void notASpot();
    void bands_data();
    void bands();
    void standardLineKeepsTheColumns();
    void fieldsWhereverTheyFall();
    void clusterLineWithBells();
    void sharesTheLine();
};

void TestSpotParser::fields_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("call");
    QTest::addColumn<QString>("qrg");
    QTest::addColumn<QString>("bandPrefix");
    QTest::addColumn<int>("band");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<int>("wpmPos");
    QTest::addColumn<QString>("speedText");

    const int m20 = bandIndex(Band::M20);
    const int m40 = bandIndex(Band::M40);
    QTest::newRow("standard rbn")
        << QStringLiteral("DX de DL8LAS-#:  14025.0  TS0EST         CW    25 dB  25 WPM  CQ      1200Z")
        << QStringLiteral("TS0EST") << QStringLiteral("14025.0") << QStringLiteral("14") << m20
        << QStringLiteral("ST") << 58 << QStringLiteral(" 25");
    QTest::newRow("long spotter, 76 chars")
        << QStringLiteral("DX de KO7SS-7-#:  14057.6  K7GT           CW    11 dB  22 WPM  CQ      2359Z")
        << QStringLiteral("K7GT") << QStringLiteral("14057.6") << QStringLiteral("14") << m20
        << QStringLiteral("GT") << 59 << QStringLiteral(" 22");
    QTest::newRow("cluster, frequency one column later")
        << QStringLiteral("DX de F8DGY-#:     7018.3 RW1M         CW    14 dB  26 WPM  CQ      1234Z")
        << QStringLiteral("RW1M") << QStringLiteral("7018.3") << QStringLiteral(" 7") << m40
        << QStringLiteral("1M") << 56 << QStringLiteral(" 26");
    QTest::newRow("no blank after the colon")
        << QStringLiteral("DX de W3LPL-#:7003.9  TS0EST         CW    18 dB  30 WPM  CQ      0001Z")
        << QStringLiteral("TS0EST") << QStringLiteral("7003.9") << QStringLiteral(" 7") << m40
        << QStringLiteral("ST") << 54 << QStringLiteral(" 30");
    QTest::newRow("two decimals")
        << QStringLiteral("DX de DL8LAS-#:  7018.20  TS0EST         CW    25 dB  25 WPM  CQ      1200Z")
        << QStringLiteral("TS0EST") << QStringLiteral("7018.20") << QStringLiteral("70") << m40
        << QStringLiteral("ST") << 58 << QStringLiteral(" 25");
    QTest::newRow("portable, 100 wpm")
        << QStringLiteral("DX de DL8LAS-#:  14025.0  TS0EST/P       CW    25 dB 100 WPM  CQ      1200Z")
        << QStringLiteral("TS0EST/P") << QStringLiteral("14025.0") << QStringLiteral("14") << m20
        << QStringLiteral("/P") << 58 << QStringLiteral("100");
    QTest::newRow("portable lower case")
        << QStringLiteral("DX de DL8LAS-#:  14025.0  TS0EST/p       CW    25 dB  25 WPM  CQ      1200Z")
        << QStringLiteral("TS0EST/p") << QStringLiteral("14025.0") << QStringLiteral("14") << m20
        << QStringLiteral("/p") << 58 << QStringLiteral(" 25");
    QTest::newRow("call directly before CW keeps its last character")
        << QStringLiteral("DX de DL8LAS-#:  14025.0  TS0ESTABCDEFGH CW    25 dB  25 WPM  CQ      1200Z")
        << QStringLiteral("TS0ESTABCDEFGH") << QStringLiteral("14025.0") << QStringLiteral("14") << m20
        << QStringLiteral("GH") << 58 << QStringLiteral(" 25");
    QTest::newRow("no colon: fixed columns")
        << QStringLiteral("DX de DL8LAS-#   14025.0  TS0EST         CW    25 dB  25 WPM  CQ      1200Z")
        << QStringLiteral("TS0EST") << QStringLiteral("14025.0") << QStringLiteral("14") << m20
        << QStringLiteral("ST") << 58 << QStringLiteral(" 25");
    QTest::newRow("no colon: call up to CW")
        << QStringLiteral("DX de DL8LAS-#   14025.0  TS0ESTABCDEFGH CW    25 dB  25 WPM  CQ      1200Z")
        << QStringLiteral("TS0ESTABCDEFGH") << QStringLiteral("14025.0") << QStringLiteral("14") << m20
        << QStringLiteral("GH") << 58 << QStringLiteral(" 25");
    QTest::newRow("short call")
        << QStringLiteral("DX de DL8LAS-#:  14025.0  K            CW    25 dB  25 WPM  CQ      1200Z")
        << QStringLiteral("K") << QStringLiteral("14025.0") << QStringLiteral("14") << m20
        << QStringLiteral("K") << 56 << QStringLiteral(" 25");
    QTest::newRow("no speed") << QStringLiteral(
                                     "DX de DL8LAS-#:  14025.0  TS0EST         CW    25 dB  CQ      1200Z")
                              << QStringLiteral("TS0EST") << QStringLiteral("14025.0") << QStringLiteral("14")
                              << m20 << QStringLiteral("ST") << 0 << QString();
    QTest::newRow("WPM before column 5 is no speed")
        << QStringLiteral("DX WPM           14025.0  TS0EST         CW    25 dB  CQ      1200Z")
        << QStringLiteral("TS0EST") << QStringLiteral("14025.0") << QStringLiteral("14") << m20
        << QStringLiteral("ST") << 0 << QString();
    QTest::newRow("144 MHz has no band")
        << QStringLiteral("DX de DL8LAS-#: 144000.0  TS0EST         CW    25 dB  25 WPM  CQ      1200Z")
        << QStringLiteral("TS0EST") << QStringLiteral("144000.0") << QStringLiteral("14") << kNoBand
        << QStringLiteral("ST") << 58 << QStringLiteral(" 25");
    QTest::newRow("tabs separate fields")
        << QStringLiteral("DX de DL8LAS-#:\t14025.0\tTS0EST CW 25 dB 25 WPM CQ 1200Z")
        << QStringLiteral("TS0EST") << QStringLiteral("14025.0") << QStringLiteral("14") << m20
        << QStringLiteral("ST") << 44 << QStringLiteral(" 25");
}

void TestSpotParser::fields()
{
    QFETCH(QString, line);
    const std::optional<Spot> spot = parseSpot(QStringView(line));
    QVERIFY(spot);
    QCOMPARE(spot->line, line);
    QTEST(spot->call, "call");
    QTEST(spot->qrg, "qrg");
    QTEST(spot->bandPrefix, "bandPrefix");
    QTEST(bandNumber(spot->band), "band");
    QTEST(spot->suffix, "suffix");
    QTEST(spot->wpmPos, "wpmPos");
    QTEST(spot->speedText, "speedText");
}

void TestSpotParser::notASpot_data()
{
    QTest::addColumn<QString>("line");
    QTest::newRow("rtty") << QStringLiteral(
        "DX de DL8LAS-#:  14080.0  TS0EST         RTTY  25 dB  45 BPS  CQ      1200Z");
    QTest::newRow("ft8") << QStringLiteral(
        "DX de KO7SS-#:   14074.0  TS0EST         FT8   -12 dB  CQ            1200Z");
    QTest::newRow("lower-case cw") << QStringLiteral(
        "DX de DL8LAS-#:  14075.0  TS0EST         cw    25 dB  25 WPM  CQ      1200Z");
    QTest::newRow("lower-case dx") << QStringLiteral(
        "dx de DL8LAS-#:  14025.0  TS0EST         CW    25 dB  25 WPM  CQ      1200Z");
    QTest::newRow("leading blank") << QStringLiteral(
        " DX de DL8LAS-#:  14025.0  TS0EST        CW    25 dB  25 WPM  CQ      1200Z");
    QTest::newRow("CW at the end") << QStringLiteral("DX de DL8LAS-#:  14075.0  TS0EST         CW");
    QTest::newRow("announcement") << QStringLiteral("To ALL de DL8LAS: CW contest this weekend");
    QTest::newRow("CW where the frequency is")
        << QStringLiteral("DX de DL8LAS-#: CW  14025.0  TS0EST         CW    25 dB  25 WPM  CQ      1200Z");
    QTest::newRow("CW before the call column") << QStringLiteral("DX de DL8LAS CW 14025.0 TS0EST");
    QTest::newRow("CW right at the start") << QStringLiteral("DX CW ");
    QTest::newRow("colon, then nothing") << QStringLiteral("DX de DL8LAS-#: CW ");
    QTest::newRow("blank call") << QStringLiteral(
        "DX de DL8LAS-#   14025.0                 CW    25 dB  25 WPM  CQ      1200Z");
    QTest::newRow("empty") << QString();
    QTest::newRow("DX alone") << QStringLiteral("DX");
}

void TestSpotParser::notASpot()
{
    QFETCH(QString, line);
    QVERIFY(!parseSpot(QStringView(line)));
    QVERIFY(!parseSpot(line));
}

void TestSpotParser::bands_data()
{
    QTest::addColumn<QString>("qrg");
    QTest::addColumn<int>("band");
    QTest::addColumn<QString>("bandPrefix");
    QTest::newRow("160") << QStringLiteral("1823.5") << bandIndex(Band::M160) << QStringLiteral(" 1");
    QTest::newRow("80") << QStringLiteral("3525.0") << bandIndex(Band::M80) << QStringLiteral(" 3");
    QTest::newRow("60") << QStringLiteral("5354.0") << bandIndex(Band::M60) << QStringLiteral(" 5");
    QTest::newRow("40") << QStringLiteral("7003.9") << bandIndex(Band::M40) << QStringLiteral(" 7");
    QTest::newRow("30") << QStringLiteral("10110.0") << bandIndex(Band::M30) << QStringLiteral("10");
    QTest::newRow("20") << QStringLiteral("14025.0") << bandIndex(Band::M20) << QStringLiteral("14");
    QTest::newRow("17") << QStringLiteral("18080.0") << bandIndex(Band::M17) << QStringLiteral("18");
    QTest::newRow("15") << QStringLiteral("21025.0") << bandIndex(Band::M15) << QStringLiteral("21");
    QTest::newRow("12") << QStringLiteral("24900.0") << bandIndex(Band::M12) << QStringLiteral("24");
    QTest::newRow("10") << QStringLiteral("28025.0") << bandIndex(Band::M10) << QStringLiteral("28");
    QTest::newRow("29 MHz") << QStringLiteral("29020.0") << kNoBand << QStringLiteral("29");
    QTest::newRow("6 m") << QStringLiteral("50090.0") << kNoBand << QStringLiteral("50");
    QTest::newRow("below 1 MHz") << QStringLiteral("475.0") << kNoBand << QStringLiteral("  ");
    QTest::newRow("no decimals") << QStringLiteral("7003") << bandIndex(Band::M40) << QStringLiteral("  ");
    QTest::newRow("not a number") << QStringLiteral("7O03.9") << kNoBand << QStringLiteral(" 7");
    QTest::newRow("comma") << QStringLiteral("7003,9") << kNoBand << QStringLiteral(" 7");
}

void TestSpotParser::bands()
{
    QFETCH(QString, qrg);
    const std::optional<Spot> spot = parseSpot(rbnLine(u"DL8LAS-#", qrg, u"TS0EST"));
    QVERIFY(spot);
    QCOMPARE(spot->qrg, qrg);
    QTEST(bandNumber(spot->band), "band");
    QTEST(spot->bandPrefix, "bandPrefix");
}

// On the standard line the layout rules must pick exactly what the fixed columns always picked.
void TestSpotParser::standardLineKeepsTheColumns()
{
    const QStringList spotters{QStringLiteral("DL8LAS-#"), QStringLiteral("W3LPL"),
                               QStringLiteral("K1TTT-1-#")};
    const QStringList qrgs{QStringLiteral("1823.5"), QStringLiteral("7003.9"), QStringLiteral("14025.0"),
                           QStringLiteral("28025.0"), QStringLiteral("29020.0")};
    const QStringList calls{QStringLiteral("K"), QStringLiteral("TS0EST"), QStringLiteral("TS0EST/P"),
                            QStringLiteral("VP2V/W1ABCDE")};
    int checked = 0;
    for (const QString &spotter : spotters) {
        for (const QString &qrg : qrgs) {
            for (const QString &call : calls) {
                const QString line = rbnLine(spotter, qrg, call, 25);
                const std::optional<Spot> spot = parseSpot(line);
                QVERIFY2(spot, qPrintable(line));
                QCOMPARE(spot->call, call);
                QCOMPARE(spot->qrg, qrg);
                QCOMPARE(spot->speedText, QStringLiteral(" 25"));
                if (line.size() != 75)
                    continue;
                ++checked;
                const qsizetype cwPos = line.indexOf(u" CW ") + 1;
                QCOMPARE(spot->call, line.mid(26, cwPos - 28).trimmed()); // columns 27 to CwPos - 2
                QCOMPARE(spot->qrg, line.mid(17, 7).trimmed());
                QCOMPARE(spot->bandPrefix, line.mid(17, 2));
                QCOMPARE(spot->wpmPos, static_cast<int>(line.indexOf(u"WPM") + 1));
                QCOMPARE(spot->speedText, line.mid(spot->wpmPos - 5, 3));
            }
        }
    }
    QCOMPARE(checked, 40);
}

// The line is searched sixteen characters at a time: every field start and end must be found wherever it
// falls against those steps, in lines shorter and longer than sixteen characters.
void TestSpotParser::fieldsWhereverTheyFall()
{
    int checked = 0;
    for (const QString &spotter :
         {QStringLiteral("K"), QStringLiteral("DL8LAS-#"), QStringLiteral("W3LPL-1-#")}) {
        for (int gap = 0; gap < 18; ++gap) {
            for (int tail = 0; tail < 18; ++tail) {
                const QString blanks(gap, u' ');
                const QString line = QStringLiteral("DX de ") + spotter + u':' + blanks +
                                     QStringLiteral("7003.9 ") + blanks + QStringLiteral("W1AW") +
                                     QString(tail + 1, u' ') + QStringLiteral("CW ") + QString(tail, u'W') +
                                     QStringLiteral(" 25 WPM");
                const std::optional<Spot> spot = parseSpot(line);
                QVERIFY2(spot, qPrintable(line));
                QCOMPARE(spot->call, QStringLiteral("W1AW"));
                QCOMPARE(spot->qrg, QStringLiteral("7003.9"));
                QCOMPARE(spot->speedText, QStringLiteral(" 25"));
                QCOMPARE(spot->wpmPos, static_cast<int>(line.size() - 2));
                ++checked;
            }
        }
    }
    QCOMPARE(checked, 3 * 18 * 18);
    const std::optional<Spot> shortest = parseSpot(QStringLiteral("DX de K:7 A CW "));
    QVERIFY(shortest);
    QCOMPARE(shortest->call, QStringLiteral("A"));
    QCOMPARE(shortest->qrg, QStringLiteral("7"));
}

void TestSpotParser::clusterLineWithBells()
{
    const QByteArray raw =
        "DX de F8DGY-#:     7018.3 RW1M         CW    14 dB  26 WPM  CQ      1234Z\x07\x07";
    const std::optional<Spot> spot = parseSpot(decodeLine(raw));
    QVERIFY(spot);
    QCOMPARE(spot->line,
             QStringLiteral("DX de F8DGY-#:     7018.3 RW1M         CW    14 dB  26 WPM  CQ      1234Z"));
    QCOMPARE(spot->call, QStringLiteral("RW1M"));
    QCOMPARE(spot->band, Band::M40);
}

void TestSpotParser::sharesTheLine()
{
    const QString line = rbnLine(u"DL8LAS-#", u"14025.0", u"TS0EST");
    const std::optional<Spot> spot = parseSpot(line);
    QVERIFY(spot);
    QCOMPARE(spot->line.constData(), line.constData());
}

QTEST_GUILESS_MAIN(TestSpotParser)
#include "test_spot_parser.moc"
