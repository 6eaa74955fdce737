#pragma once

#include <QObject>
#include <QString>
#include <QStringView>

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
    // everything, and resolving each spot's spotter afresh cost the drain half its time.
    struct Slot {
        QString spotter;
        unsigned continent = 0; // 0 = resolves to nothing
    };
    static constexpr std::size_t kSlots = 1024;

    CountryLoader &m_countries;
    unsigned m_mask = 0; // 0 = all
    mutable std::vector<Slot> m_slots = std::vector<Slot>(kSlots);
};
