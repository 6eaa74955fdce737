// Synthesises the program's own alarm sounds, so a new user hears something before choosing any WAV
// files: "gong.wav" (start-up), "kukuk.wav" (portable alarm, a cuckoo's two-tone call) and
// "trumpet1.wav" (the sample entry's alarm, a short fanfare). 16-bit PCM, mono, 22050 Hz.
// Usage: make_sounds OUTPUT_FOLDER
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 22050;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

using Samples = std::vector<double>;

Samples silence(double seconds)
{
    return Samples(static_cast<std::size_t>(seconds * kRate), 0.0);
}

// Adds `from` into `into` starting at `atSeconds`, growing `into` as needed.
void mixAt(Samples &into, const Samples &from, double atSeconds)
{
    const auto start = static_cast<std::size_t>(atSeconds * kRate);
    if (into.size() < start + from.size())
        into.resize(start + from.size(), 0.0);
    for (std::size_t i = 0; i < from.size(); ++i)
        into[start + i] += from[i];
}

// A struck gong: inharmonic partials, each dying away at its own pace, higher ones faster.
Samples gong()
{
    struct Partial {
        double ratio, level, decay;
    };
    constexpr Partial partials[] = {{1.0, 1.0, 1.1},   {1.47, 0.6, 1.6},  {2.09, 0.45, 2.2}, {2.56, 0.3, 2.9},
                                    {3.43, 0.22, 3.8}, {4.18, 0.15, 5.0}, {0.5, 0.35, 0.9}};
    constexpr double base = 196.0;
    Samples out = silence(2.6);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double attack = std::min(1.0, t / 0.004);
        double v = 0.0;
        for (const Partial &p : partials) {
            // A slow beat between close partials gives the shimmer of metal.
            const double beat = 1.0 + 0.08 * std::sin(kTwoPi * 0.7 * p.ratio * t);
            v += p.level * beat * std::exp(-p.decay * t) * std::sin(kTwoPi * base * p.ratio * t);
        }
        out[i] = attack * v;
    }
    return out;
}

// One soft, flute-like note with a rounded start and end.
Samples hoot(double frequency, double seconds)
{
    Samples out = silence(seconds);
    const double fade = 0.03;
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double envelope = std::min({1.0, t / fade, (seconds - t) / fade}) * std::exp(-1.5 * t);
        const double phase = kTwoPi * frequency * t;
        out[i] = envelope * (std::sin(phase) + 0.18 * std::sin(2 * phase) + 0.05 * std::sin(3 * phase));
    }
    return out;
}

// "Ku-kuk, ku-kuk": a falling major third, twice.
Samples kukuk()
{
    constexpr double high = 740.0; // F#5
    constexpr double low = 587.3;  // D5
    Samples out = silence(0.0);
    for (double start : {0.0, 0.75}) {
        mixAt(out, hoot(high, 0.22), start);
        mixAt(out, hoot(low, 0.34), start + 0.27);
    }
    mixAt(out, silence(0.1), 1.4);
    return out;
}

// A brass note: many harmonics whose brightness swells in, with a little vibrato.
Samples brass(double frequency, double seconds)
{
    Samples out = silence(seconds);
    for (std::size_t i = 0; i < out.size(); ++i) {
        const double t = static_cast<double>(i) / kRate;
        const double attack = std::min(1.0, t / 0.035);
        const double release = std::clamp((seconds - t) / 0.06, 0.0, 1.0);
        const double brightness = 0.35 + 0.65 * std::min(1.0, t / 0.08);
        const double vibrato = 1.0 + 0.004 * std::sin(kTwoPi * 5.5 * t) * std::min(1.0, t / 0.3);
        const double phase = kTwoPi * frequency * vibrato * t;
        double v = 0.0;
        for (int n = 1; n <= 12; ++n)
            v += std::pow(brightness, n - 1) * std::sin(n * phase) / n;
        out[i] = attack * release * v;
    }
    return out;
}

// Ta-ta-ta-taaa: G4 C5 E5, then a held G5.
Samples trumpet()
{
    Samples out = silence(0.0);
    double at = 0.0;
    for (double frequency : {392.0, 523.3, 659.3}) {
        mixAt(out, brass(frequency, 0.16), at);
        at += 0.19;
    }
    mixAt(out, brass(784.0, 0.75), at);
    return out;
}

void putLe(std::string &bytes, std::uint32_t value, int count)
{
    for (int i = 0; i < count; ++i)
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

bool writeWav(const std::string &path, const Samples &samples)
{
    // Normalised to 70 % of full scale, so every sound is equally loud and none clips.
    double peak = 0.0;
    for (double s : samples)
        peak = std::max(peak, std::abs(s));
    const double gain = peak > 0.0 ? 0.7 / peak : 0.0;

    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    std::string bytes = "RIFF";
    putLe(bytes, 36 + dataBytes, 4);
    bytes += "WAVEfmt ";
    putLe(bytes, 16, 4);        // format chunk size
    putLe(bytes, 1, 2);         // PCM
    putLe(bytes, 1, 2);         // mono
    putLe(bytes, kRate, 4);     // sample rate
    putLe(bytes, kRate * 2, 4); // bytes per second
    putLe(bytes, 2, 2);         // block align
    putLe(bytes, 16, 2);        // bits per sample
    bytes += "data";
    putLe(bytes, dataBytes, 4);
    for (double s : samples) {
        const auto value = static_cast<std::int16_t>(std::lround(std::clamp(s * gain, -1.0, 1.0) * 32767.0));
        putLe(bytes, static_cast<std::uint16_t>(value), 2);
    }
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_sounds OUTPUT_FOLDER\n");
        return 2;
    }
    const std::string folder = argv[1];
    const bool ok = writeWav(folder + "/gong.wav", gong()) && writeWav(folder + "/kukuk.wav", kukuk()) &&
                    writeWav(folder + "/trumpet1.wav", trumpet());
    if (!ok) {
        std::fprintf(stderr, "make_sounds: cannot write the sounds into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
