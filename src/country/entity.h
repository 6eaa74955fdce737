#pragma once

#include <QString>

// One entry of the country file: a DXCC entity, or a WAE-only area (marked `*` in the file) that
// counts as the DXCC entity whose number it carries (Shetland Islands: 279, Scotland).
struct Entity {
    QString name;          // "Shetland Islands"
    QString primaryPrefix; // "GM/s", without the WAE mark
    QString continent;     // "EU"
    int cqZone = 0;
    int ituZone = 0;
    int dxcc = 0; // ADIF DXCC number; 0 when the file gave none
    bool waeOnly = false;
};

// A call resolved: its entity with the zones and continent of the matching entry, which may override
// the entity's own ("AA0(4)[7]", "=KL7ABC{NA}").
struct Resolved {
    const Entity *entity = nullptr; // never null in a returned value
    QString continent;
    int cqZone = 0;
    int ituZone = 0;
};
