#pragma once

#include "model/band.h"

#include <QString>
#include <QStringView>

#include <optional>

// A spot line taken apart without copying anything: the fields are views into the line and valid only as
// long as the line's text is. The receive path decides on these, so a spot costs no allocation until a
// field is kept (a stamp, an alarm).
struct SpotView {
    QStringView line;
    QStringView call;
    QStringView qrg;
    std::optional<Band> band;
    QStringView suffix;
    int wpmPos = 0;
    QStringView speedText;

    bool isPortableDisplay() const { return isPortableAlarm() || (isSlash() && suffix[1] == u'p'); }
    bool isPortableAlarm() const { return isSlash() && suffix[1] == u'P'; }

private:
    bool isSlash() const { return suffix.size() == 2 && suffix[0] == u'/'; }
};

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

    bool isPortableDisplay() const { return view().isPortableDisplay(); }
    bool isPortableAlarm() const { return view().isPortableAlarm(); }
    SpotView view() const { return {line, call, qrg, band, suffix, wpmPos, speedText}; }
};
