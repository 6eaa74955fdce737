// The config.txt reader on arbitrary file contents. What it reads, written and read again, must give the
// same model; written again, the same bytes. The only differences allowed are the file format's own: an
// empty Enable is written as "on", an empty list is written with its slot 0 as entry 1, and the radio's
// lines are written only with a radio model.
#include "fuzz_support.h"
#include "model/alarm_list.h"
#include "model/config_file.h"
#include "model/settings.h"

namespace {

// The model as start-up has it before config.txt is read: defaults, the sample entry in slot 0, no live
// entry.
struct Model {
    Settings settings;
    AlarmList list;
    ConfigFile::ReadResult result;

    Model()
    {
        settings.applyDefaults();
        list.setEntry(0, AlarmEntry{QStringLiteral("TS0EST"), QStringLiteral("TS0EST, Test is calling CQ!"),
                                    QStringLiteral("trumpet1.wav"), QStringLiteral("00:00:00"),
                                    QStringLiteral("01.01.2014"), QStringLiteral("3500.0"),
                                    QStringLiteral("on"), QString(), QStringLiteral("30")});
        list.clearLive();
    }
    explicit Model(QByteArrayView content) : Model() { ConfigFile::apply(content, settings, list, result); }
};

AlarmEntry asWritten(AlarmEntry entry)
{
    if (entry.enable.isEmpty())
        entry.enable = QStringLiteral("on");
    entry.blockTimer.clear();
    return entry;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    startFuzzApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Model first(QByteArrayView(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size)));
    FUZZ_CHECK(first.list.lastCallNr() >= -1 && first.list.lastCallNr() < AlarmList::kCapacity);
    FUZZ_CHECK(first.result.status == ConfigFile::ReadStatus::Loaded);

    const QByteArray written = ConfigFile::serialize(first.settings, first.list);
    FUZZ_CHECK(written.endsWith(": end of configuration file\r\n"));
    const Model second(written);
    FUZZ_CHECK(second.result.entriesSkipped == 0 && second.result.orphanLinesSkipped == 0);

    for (int i = 0; i < Settings::kSwitchCount; ++i) {
        const auto which = static_cast<Settings::Switch>(i);
        FUZZ_CHECK(first.settings.isOn(which) == second.settings.isOn(which));
    }
    for (int i = 0; i < Settings::kTextCount; ++i) {
        const auto which = static_cast<Settings::Text>(i);
        const bool kept =
            which < Settings::Text::RigModel || !first.settings.text(Settings::Text::RigModel).isEmpty();
        FUZZ_CHECK(second.settings.text(which) == (kept ? first.settings.text(which) : QString()));
    }
    FUZZ_CHECK(second.list.lastCallNr() == qMax(first.list.lastCallNr(), 0));
    for (int i = 0; i <= second.list.lastCallNr(); ++i)
        FUZZ_CHECK(asWritten(first.list.at(i)) == asWritten(second.list.at(i)));

    FUZZ_CHECK(ConfigFile::serialize(second.settings, second.list) == written);
    return 0;
}
