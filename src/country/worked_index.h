#pragma once

#include "model/band.h"

#include <QByteArrayView>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

struct AdifQso;

// Which DXCC entities the operator's log holds in CW, and on which bands: the answer to "is this station
// needed?". Entities are ADIF DXCC numbers; worked and confirmed are kept apart, so "confirmed only" can
// change without reading the log again. Built from the log on a worker thread, then only read.
class WorkedIndex final {
public:
    enum class Need { None, NewEntity, NewBand };

    // ADIF's numbers run to about 520; a log's number beyond this is junk and counts nothing.
    static constexpr int kMaxDxcc = 1023;

    // One CW QSO with the entity: on one of the ten bands, or on none of them (6 m, or no band given), which
    // still makes the entity no new one.
    void add(int dxcc, std::optional<Band> band, bool confirmed);
    // A QSO as the log gives it: counted when it is CW and has an entity, from its DXCC field, else from its
    // call through `dxccOfCall` (0 = none).
    void addQso(const AdifQso &qso, const std::function<int(QByteArrayView call)> &dxccOfCall);

    Need need(int dxcc, Band band, bool confirmedOnly) const;

    int cwQsoCount() const { return m_cwQsos; }
    // Entities with a CW QSO (a confirmed one with `confirmedOnly`).
    int entityCount(bool confirmedOnly) const;

    // The band of a QSO: its BAND field ("20m", any case), else its FREQ field in MHz.
    static std::optional<Band> bandOf(QByteArrayView band, QByteArrayView freqMhz);
    // MODE CW; CWR and CW-R are no ADIF modes, but some loggers write them for CW received in reverse.
    static bool isCw(QByteArrayView mode);

private:
    struct Slot {
        std::uint16_t worked = 0;    // a bit per band
        std::uint16_t confirmed = 0; // a bit per band
        bool anyWorked = false;
        bool anyConfirmed = false;
    };

    std::vector<Slot> m_slots; // by DXCC number, grown as numbers come
    int m_cwQsos = 0;
};
