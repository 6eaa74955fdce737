#pragma once

#include <QObject>
#include <QStringView>

#include <array>
#include <vector>

class CountryLoader;
class Settings;

// $SPOTTERCONT: only spots whose spotter works from one of the listed continents pass ("EU,AF"; empty
// passes all). A spotter that resolves to nothing passes, and so does every spot while no country file
// is loaded: the filter narrows what the operator sees, it never hides a spot it cannot judge.
class SpotterFilter final : public QObject {
    Q_OBJECT
public:
    SpotterFilter(const Settings &settings, CountryLoader &countries, QObject *parent = nullptr);

    // `line` is a spot line starting "DX de ".
    bool passes(QStringView line) const;

    // The spotter's call of a spot line, without a skimmer's "-#" or a node's "-<digit>".
    static QStringView spotterOf(QStringView line);
    // The continents of a $SPOTTERCONT text as bits; words that are no continent are ignored, so a text
    // of only such words passes all.
    static unsigned continentMask(QStringView text);

private:
    // The continents of the last spotters seen, by a hash of the call: a few hundred skimmers spot
    // everything, and resolving each spot's spotter afresh cost the drain a fifth of its time. A slot holds
    // the call itself, 16 bytes in all, so the cache stays in the processor's cache beside the pipeline.
    struct Slot {
        std::array<char, 14> call{};
        quint8 length = 0;
        quint8 continent = 0; // a bit of the continent; 0 = resolves to nothing
    };
    static constexpr std::size_t kSlots = 4096;

    CountryLoader &m_countries;
    unsigned m_mask = 0; // 0 = all
    mutable std::vector<Slot> m_slots = std::vector<Slot>(kSlots);
    unsigned continentOf(QStringView spotter) const;
};
