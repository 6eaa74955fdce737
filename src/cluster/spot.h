#pragma once

#include "app/band.h"

#include <QString>

#include <optional>

// One CW spot line taken apart.
struct Spot {
    QString line;       // the line as shown in the message window
    QString call;       // spotted callsign, blanks removed
    QString qrg;        // frequency text in kHz, blanks removed ("7003.9")
    QString bandPrefix; // the frequency field's first two characters on the standard line (" 7")
    std::optional<Band> band;
    QString suffix;    // last two characters of call ("/P")
    int wpmPos = 0;    // 1-based position of the first "WPM" in line, 0 = none
    QString speedText; // three characters before "WPM" (" 25"); empty when wpmPos is 0

    bool isPortableDisplay() const { return suffix == u"/P" || suffix == u"/p"; }
    bool isPortableAlarm() const { return suffix == u"/P"; }
};
