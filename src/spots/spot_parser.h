#pragma once

#include "spots/spot.h"

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

// Takes one decoded spot line apart. Pure: no state between lines.
//
// A line is a CW spot when it begins with "DX" and contains " CW " (both exact, case-sensitive), or when it
// begins with "DX", its frequency lies in a CW segment (isCwFrequency) and the comment after the call holds
// no mode word (FT8, RTTY, SSB, ... in any letter case): people's spots on a cluster name no mode. Such a
// spot has no speed (wpmPos 0), as its comment is free text. Anything else gives nullopt. The fields are
// found by the line's layout: the spotter field after "DX de " ends at the first blank or colon; when a colon
// ends it, the frequency is the first blank-separated field after the colon and the call the next one. This
// reads long spotter calls, frequencies one column off and lines without a blank after the colon correctly,
// and on the standard 75-character line it picks exactly columns 18-24 and the call from column 27. A line
// without that colon is read by the fixed columns: the frequency is columns 18-24, the call runs from column
// 27 to the last character before " CW ".
//
// Dropped (nullopt) as not fitting any layout: a line whose " CW " stands before the call, and a line whose
// call comes out empty. A "WPM" before column 5 leaves no room for the speed and counts as no speed marker.
std::optional<Spot> parseSpot(QStringView line);

// The same, sharing the line's text with the Spot instead of copying it.
std::optional<Spot> parseSpot(const QString &line);

// The same without copying: the view's fields point into line (the receive path's way).
std::optional<SpotView> parseSpotView(QStringView line);

// The spotted call of a received line of the "DX de SPOTTER: QRG CALL ..." form, read from its bytes before
// any decoding: the call parseSpotView would find in the decoded line, should the line be a spot. Empty for
// a line of another form or one holding, before its call's end, a byte that is neither a blank nor printable
// ASCII: decoding could change the call.
QByteArrayView spottedCallBytes(QByteArrayView line);

// Whether a frequency text in kHz lies in a CW segment of the IARU Region 1 band plan (lower bound
// included, upper excluded). Text that is not a plain decimal number is not.
bool isCwFrequency(QStringView qrg);

// Where the spot record in a received line begins, or -1 when the line holds none. A record begins at the
// start of the line; the one exception is a node prompt sent without a line end and glued to the front of a
// spot (text ending in ">" and optional blanks right before "DX de "). Talks and announcements
// (ClusterMessage) never hold a spot, whatever they quote.
qsizetype spotRecordStart(QStringView line);

// The band of a frequency text in kHz, from its whole-MHz part ("7018.20" -> 40 m, "144000.0" -> none).
// Text that is not a plain decimal number has no band.
std::optional<Band> bandOfQrg(QStringView qrg);
