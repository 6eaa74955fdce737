#pragma once

class Settings;
struct Spot;
struct SpotView;

// Whether a spot's line goes to the message window, by the "DX-Msg" switches alone.
bool passesDisplayFilter(const Spot &spot, const Settings &settings);
bool passesDisplayFilter(const SpotView &spot, const Settings &settings);
