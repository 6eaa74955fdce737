#pragma once

class Settings;
struct ClusterMessage;
struct Spot;
struct SpotView;

// Whether a spot's line goes to the message window, by the "DX-Msg" switches alone.
bool passesDisplayFilter(const Spot &spot, const Settings &settings);
bool passesDisplayFilter(const SpotView &spot, const Settings &settings);

// Whether any spot at all could pass: "show all" or one band's switch is on.
bool mayShowSpots(const Settings &settings);

// Whether a talk or announcement goes to the message window: a talk addressed to the operator's own call
// (letter case aside) always, whatever the switches say; an announcement when "show all" is on.
bool passesMessageFilter(const ClusterMessage &message, const Settings &settings);
