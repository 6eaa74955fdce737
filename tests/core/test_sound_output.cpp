// Sounds that cannot be heard are said once each, so a watched call spotted all evening does not repeat it.
#include "alarms/sound_output.h"

#include <QHash>
#include <QSignalSpy>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// A player whose files each have a known problem; every other file plays.
class ProblemPlayer final : public SoundPlayer {
public:
    QHash<QString, Problem> problems{{u"nosuchfile.wav"_s, Problem::FileMissing},
                                     {u"other.wav"_s, Problem::FileMissing},
                                     {u"gong.wav"_s, Problem::NoDevice},
                                     {u"kukuk.wav"_s, Problem::NoDevice}};
    void play(const QString &) override {}
    Problem problemWith(const QString &fileName) const override
    {
        return problems.value(fileName, Problem::None);
    }
};

} // namespace

class TestSoundOutput : public QObject {
    Q_OBJECT
private slots:
    void problemIsToldOnce_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("told");
        QTest::newRow("a file that plays") << QStringList{u"trumpet1.wav"_s} << 0;
        QTest::newRow("a missing file, again") << QStringList{u"nosuchfile.wav"_s, u"nosuchfile.wav"_s} << 1;
        QTest::newRow("two missing files") << QStringList{u"nosuchfile.wav"_s, u"other.wav"_s} << 2;
        QTest::newRow("no device, for any file") << QStringList{u"gong.wav"_s, u"kukuk.wav"_s} << 1;
    }

    void problemIsToldOnce()
    {
        QFETCH(QStringList, files);
        QFETCH(int, told);
        ProblemPlayer player;
        SoundOutput output(player);
        QSignalSpy problems(&output, &SoundOutput::problemFound);
        for (const QString &file : files)
            output.play(file);
        QCOMPARE(problems.count(), told);
    }
};

QTEST_GUILESS_MAIN(TestSoundOutput)
#include "test_sound_output.moc"