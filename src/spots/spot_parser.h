#pragma once

#include "spots/spot.h"

#include <QString>
#include <QStringView>

#include <optional>

// Takes one decoded spot line apart. Pure: no state between lines.
//
// A line is a CW spot when it begins with "DX" and contains " CW " (both exact, case-sensitive); anything
// else gives nullopt. The fields are found by the line's layout: the spotter field after "DX de " ends at
// the first blank or colon; when a colon ends it, the frequency is the first blank-separated field after
// the colon and the call the next one. This reads long spotter calls, frequencies one column off and lines
// without a blank after the colon correctly, and on the standard 75-character line it picks exactly
// columns 18-24 and the call from column 27. A line without that colon is read by the fixed columns: the
// frequency is columns 18-24, the call runs from column 27 to the last character before " CW ".
//
// Dropped (nullopt) as not fitting any layout: a line whose " CW " stands before the call, and a line whose
// call comes out empty. A "WPM" before column 5 leaves no room for the speed and counts as no speed marker.
std::optional<Spot> parseSpot(QStringView line);

// The same, sharing the line's text with the Spot instead of copying it.
std::optional<Spot> parseSpot(const QString &line);

// The same without copying: the view's fields point into line (the receive path's way).
std::optional<SpotView> parseSpotView(QStringView line);

// The band of a frequency text in kHz, from its whole-MHz part ("7018.20" -> 40 m, "144000.0" -> none).
// Text that is not a plain decimal number has no band.
std::optional<Band> bandOfQrg(QStringView qrg);
