#include "spots/line_framer.h"

#include <QTest>

namespace {

QList<QByteArray> frameInPieces(LineFramer &framer, const QList<QByteArray> &pieces)
{
    QList<QByteArray> lines;
    for (const QByteArray &piece : pieces)
        framer.feed(piece, [&](QByteArrayView line) { lines.append(line.toByteArray()); });
    return lines;
}

QList<QByteArray> frame(const QList<QByteArray> &pieces)
{
    LineFramer framer;
    return frameInPieces(framer, pieces);
}

} // namespace

class TestLineFramer final : public QObject {
    Q_OBJECT
private slots:
    void splitAtEveryPoint_data();
    void splitAtEveryPoint();
    void oneBytePerFeed();
    void lineEnds_data();
    void lineEnds();
    void overlongLineIsDiscarded_data();
    void overlongLineIsDiscarded();
    void clearForgetsTheTail();
    void decode_data();
    void decode();
};

void TestLineFramer::splitAtEveryPoint_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<QByteArray>>("expected");
    QTest::newRow("crlf") << QByteArray("DX de A: 1\r\nDX de B: 2\r\n")
                          << QList<QByteArray>{"DX de A: 1", "DX de B: 2"};
    QTest::newRow("bare lf") << QByteArray("one\ntwo\n\nfour\n")
                             << QList<QByteArray>{"one", "two", "", "four"};
    QTest::newRow("tail stays") << QByteArray("done\r\nnot yet") << QList<QByteArray>{"done"};
}

// Wherever the network cuts the stream, the same lines come out.
void TestLineFramer::splitAtEveryPoint()
{
    QFETCH(QByteArray, stream);
    QFETCH(QList<QByteArray>, expected);
    for (qsizetype cut = 0; cut <= stream.size(); ++cut)
        QCOMPARE(frame({stream.first(cut), stream.sliced(cut)}), expected);
    for (qsizetype a = 0; a <= stream.size(); ++a) {
        for (qsizetype b = a; b <= stream.size(); ++b)
            QCOMPARE(frame({stream.first(a), stream.sliced(a, b - a), stream.sliced(b)}), expected);
    }
}

void TestLineFramer::oneBytePerFeed()
{
    const QByteArray stream = "first\r\nsecond\r\nthird\r\n";
    QList<QByteArray> pieces;
    for (const char c : stream)
        pieces.append(QByteArray(1, c));
    LineFramer framer;
    QCOMPARE(frameInPieces(framer, pieces), (QList<QByteArray>{"first", "second", "third"}));
    QCOMPARE(framer.pendingSize(), 0);
}

void TestLineFramer::lineEnds_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QList<QByteArray>>("expected");
    QTest::newRow("only one cr dropped") << QByteArray("a\r\r\n") << QList<QByteArray>{"a\r"};
    QTest::newRow("cr alone ends nothing") << QByteArray("a\rb\n") << QList<QByteArray>{"a\rb"};
    QTest::newRow("lf cr") << QByteArray("a\n\rb\n") << QList<QByteArray>{"a", "\rb"};
    QTest::newRow("control and 8-bit bytes kept raw")
        << QByteArray("x\0y\x07\x07\xe9\xff\n", 8)
        << QList<QByteArray>{QByteArray("x\0y\x07\x07\xe9\xff", 7)};
}

void TestLineFramer::lineEnds()
{
    QFETCH(QByteArray, stream);
    QFETCH(QList<QByteArray>, expected);
    QCOMPARE(frame({stream}), expected);
}

void TestLineFramer::overlongLineIsDiscarded_data()
{
    QTest::addColumn<qsizetype>("pieceSize");
    QTest::newRow("whole") << qsizetype(1 << 20);
    QTest::newRow("1000 bytes per read") << qsizetype(1000);
    QTest::newRow("4096 bytes per read") << qsizetype(4096);
    QTest::newRow("7 bytes per read") << qsizetype(7);
}

// A server that never sends LF must not make the buffer grow; the first line after the junk survives.
void TestLineFramer::overlongLineIsDiscarded()
{
    QFETCH(qsizetype, pieceSize);
    const QByteArray longest(LineFramer::kMaxLineLength, 'x');
    const QByteArray stream =
        "before\r\n" + QByteArray(100'000, 'j') + "\r\n" + longest + "\n" + longest + "y\nafter\r\n";
    LineFramer framer;
    QList<QByteArray> lines;
    qsizetype mostPending = 0;
    for (qsizetype at = 0; at < stream.size(); at += pieceSize) {
        framer.feed(QByteArrayView(stream).sliced(at, std::min(pieceSize, stream.size() - at)),
                    [&](QByteArrayView line) { lines.append(line.toByteArray()); });
        mostPending = std::max(mostPending, framer.pendingSize());
    }
    QCOMPARE(lines, (QList<QByteArray>{"before", longest, "after"}));
    QVERIFY(mostPending <= LineFramer::kMaxLineLength);
}

void TestLineFramer::clearForgetsTheTail()
{
    LineFramer framer;
    QCOMPARE(frameInPieces(framer, {"half a li"}), QList<QByteArray>{});
    framer.clear();
    QCOMPARE(frameInPieces(framer, {"ne\r\nnew\r\n"}), (QList<QByteArray>{"ne", "new"}));

    framer.feed(QByteArray(LineFramer::kMaxLineLength + 1, 'x'), [](QByteArrayView) {});
    framer.clear(); // also ends the discarding: a new connection starts clean
    QCOMPARE(frameInPieces(framer, {"fresh\n"}), QList<QByteArray>{"fresh"});
}

void TestLineFramer::decode_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<QString>("expected");
    QTest::newRow("ascii") << QByteArray("DX de DL8LAS-#:  14025.0")
                           << QStringLiteral("DX de DL8LAS-#:  14025.0");
    QTest::newRow("bel bel appended")
        << QByteArray("DX de A: 7003.9 B CW 1200Z\x07\x07") << QStringLiteral("DX de A: 7003.9 B CW 1200Z");
    QTest::newRow("nul, esc, del removed, tab kept")
        << QByteArray("a\0b\x1b[0mc\x7f\td\r", 12) << QStringLiteral("ab[0mc\td");
    QTest::newRow("utf-8") << QByteArray("OH2BH p\xc3\xa4iv\xc3\xa4\x07") << QStringLiteral("OH2BH päivä");
    QTest::newRow("latin-1 when not utf-8") << QByteArray("caf\xe9 \xff\x07") << QStringLiteral("café ÿ");
    QTest::newRow("control inside a broken sequence") << QByteArray("\xc3\x07\xa9") << QStringLiteral("Ã©");
    QTest::newRow("empty") << QByteArray() << QString();
    // Long lines are checked sixteen bytes at a time, the last sixteen overlapping: a stray byte anywhere.
    const QByteArray spot("DX de KM3T-#:     7018.2  W1AW         CW    22 dB  25 WPM  CQ      2259Z");
    QTest::newRow("standard spot") << spot << QString::fromLatin1(spot);
    QTest::newRow("exactly sixteen") << QByteArray("DX de A: 7003.9 ") << QStringLiteral("DX de A: 7003.9 ");
    QTest::newRow("8-bit in the overlapping tail")
        << QByteArray(spot + "é") << QString::fromLatin1(spot) + QStringLiteral("é");
    QTest::newRow("control in the first block")
        << QByteArray(spot).insert(3, '') << QString::fromLatin1(spot);
    QTest::newRow("del in a middle block") << QByteArray(spot).insert(40, '') << QString::fromLatin1(spot);
}

void TestLineFramer::decode()
{
    QFETCH(QByteArray, raw);
    QFETCH(QString, expected);
    QCOMPARE(decodeLine(raw), expected);
}

QTEST_GUILESS_MAIN(TestLineFramer)
#include "test_line_framer.moc"
