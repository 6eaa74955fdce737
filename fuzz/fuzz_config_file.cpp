// The config.txt reader on arbitrary contents: what it reads, written and read again, gives the same model,
// and written again the same bytes, but for the format's own rules: an empty Enable is written as "on", an
// empty list with its slot 0 as entry 1, the radio's lines only with a radio model.
#include "fuzz_support.h"
#include "model/alarm_list.h"
#include "model/config_file.h"
#include "model/settings.h"

namespace {

// Start-up's model (defaults, the sample entry in slot 0, no live entry), then the content applied.
struct Model {
    Settings settings;
    AlarmList list;
    ConfigFile::ReadResult result;
    explicit Model(QByteArrayView content)
    {
        settings.applyDefaults();
        list.setEntry(0, {u"TS0EST"_s, u"TS0EST, Test is calling CQ!"_s, u"trumpet1.wav"_s, u"00:00:00"_s,
                          u"01.01.2014"_s, u"3500.0"_s, u"on"_s, QString(), u"30"_s});
        list.clearLive();
        ConfigFile::apply(content, settings, list, result);
    }
};

AlarmEntry asWritten(AlarmEntry entry)
{
    entry.enable = entry.enable.isEmpty() ? u"on"_s : entry.enable;
    entry.blockTimer.clear();
    return entry;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Model first(FuzzInput{data, size}.rest());
    FUZZ_CHECK(first.list.lastCallNr() >= -1 && first.list.lastCallNr() < AlarmList::kCapacity);
    FUZZ_CHECK(first.result.status == ConfigFile::ReadStatus::Loaded);
    const QByteArray written = ConfigFile::serialize(first.settings, first.list);
    FUZZ_CHECK(written.endsWith(": end of configuration file\r\n"));
    const Model second(written);
    FUZZ_CHECK(second.result.entriesSkipped == 0 && second.result.orphanLinesSkipped == 0);
    for (int i = 0; i < Settings::kSwitchCount; ++i)
        FUZZ_CHECK(first.settings.isOn(Settings::Switch(i)) == second.settings.isOn(Settings::Switch(i)));
    const bool rig = !first.settings.text(Settings::Text::RigModel).isEmpty();
    for (int i = 0; i < Settings::kTextCount; ++i) {
        const auto which = static_cast<Settings::Text>(i);
        const bool kept = which < Settings::Text::RigModel || rig;
        FUZZ_CHECK(second.settings.text(which) == (kept ? first.settings.text(which) : QString()));
    }
    FUZZ_CHECK(second.list.lastCallNr() == qMax(first.list.lastCallNr(), 0));
    for (int i = 0; i <= second.list.lastCallNr(); ++i)
        FUZZ_CHECK(asWritten(first.list.at(i)) == asWritten(second.list.at(i)));
    FUZZ_CHECK(ConfigFile::serialize(second.settings, second.list) == written);
    return 0;
}
