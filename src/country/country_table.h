#pragma once

#include "country/entity.h"

#include <QHash>
#include <QString>
#include <QStringView>

#include <optional>
#include <vector>

// The country file in memory, immutable once CountryFile has built it, so it can be built on another
// thread and shared. Resolution is the loggers' rule set:
// - an exact call (`=CALL`) wins over every prefix, with its own overrides;
// - otherwise the longest matching prefix;
// - `PREFIX/CALL`, `CALL/PREFIX`: the part that is a prefix and not a whole call decides;
// - `/P`, `/M`, `/QRP`, `/A`, `/LH`, `/J` and similar, and a one-digit suffix, keep the home call's entity;
// - `/MM` and `/AM` belong to no entity.
class CountryTable final {
public:
    // Looked up by hashing views of the call: a spot costs no allocation here.
    std::optional<Resolved> resolve(QStringView call) const;
    // The DXCC entity (never a WAE-only area) with this ADIF number, or null.
    const Entity *entityForDxcc(int dxcc) const;

    const std::vector<Entity> &entities() const { return m_entities; }
    // Lines (cty.csv) or entries (cty.dat) the loader could not use and skipped.
    int malformedCount() const { return m_malformed; }
    QString path() const { return m_path; }

    // Up to kPackedLength characters of [0-9A-Z/] packed 6 bits each, the first highest, so the code of a
    // call's prefix is the call's code masked. With $SPOTTERCONT the drain resolves every spot's spotter:
    // an integer hash is a third of a string's.
    // A call that packs whole (length == size) has a code no other call has.
    struct Packed {
        quint64 code = 0;
        qsizetype length = 0; // characters packed: up to the first one outside the set, at most kPackedLength
    };
    static constexpr qsizetype kPackedLength = 10;
    static Packed pack(QStringView upperCall);

private:
    friend class CountryFile;
    friend class CountryTableBuilder;

    struct Match {
        int entity = -1;
        int cqZone = 0;
        int ituZone = 0;
        QString continent;
    };

    static constexpr quint64 prefixCode(quint64 code, qsizetype length)
    {
        return length >= kPackedLength ? code : code & ~(~quint64{0} >> (6 * length + 4));
    }

    std::optional<Resolved> resolveSingle(QStringView part, bool exactFirst) const;
    std::optional<Resolved> fromMatch(const Match &match) const;
    bool isPrefixKey(QStringView part) const;
    const Match *findExact(QStringView call) const;

    std::vector<Entity> m_entities;
    QHash<quint64, Match> m_prefixes;
    QHash<quint64, Match> m_exactCalls;
    // Exact calls too long to pack, with the texts their keys view (QString data does not move when the
    // vector grows).
    std::vector<QString> m_keyTexts;
    QHash<QStringView, Match> m_longExactCalls;
    QHash<int, int> m_byDxcc;
    qsizetype m_longestPrefix = 0;
    int m_malformed = 0;
    QString m_path;
};
