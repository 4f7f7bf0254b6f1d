#include "ToneSynth.h"

#include <algorithm>

namespace ToneSynth
{

namespace
{

constexpr int64_t one = int64_t(1) << 30; // fixed-point 1.0

// Peak level of a single tone and of each half of a pair: about -9 dBFS and
// -12 dBFS, loud enough to hear, far from clipping.
constexpr int64_t singleLevel = 11600;
constexpr int64_t pairLevel = 8200;

constexpr int rampSamples = sampleRate * 5 / 1000;

// Coefficients of sin(pi/2 * u) = u * (c1 + u^2 * (c3 + u^2 * (c5 + u^2 * (c7 + u^2 * c9))))
// for u in [0, 1], fixed point 2^30; the error stays below one part in 2^18.
constexpr int64_t c1 = 1686629713; // pi/2
constexpr int64_t c3 = -693598668; // -(pi/2)^3 / 3!
constexpr int64_t c5 = 85569306;   // (pi/2)^5 / 5!
constexpr int64_t c7 = -5026995;   // -(pi/2)^7 / 7!
constexpr int64_t c9 = 172272;     // (pi/2)^9 / 9!

int64_t mul(int64_t a, int64_t b)
{
    return (a * b) >> 30;
}

uint32_t phaseStep(int frequency)
{
    return uint32_t((uint64_t(frequency) << 32) / sampleRate);
}

void putLe(std::vector<uint8_t> &out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

} // namespace

int32_t sine(uint32_t phase)
{
    // Fold the turn onto the first quarter and remember the sign.
    const bool negative = phase >= 0x80000000u;
    uint32_t half = phase & 0x7FFFFFFFu; // [0, pi)
    if (half > 0x40000000u)
        half = 0x80000000u - half;   // [0, pi/2]
    const int64_t u = int64_t(half); // 2^30 is a quarter turn
    const int64_t u2 = mul(u, u);
    int64_t s = c9;
    s = c7 + mul(u2, s);
    s = c5 + mul(u2, s);
    s = c3 + mul(u2, s);
    s = c1 + mul(u2, s);
    s = mul(u, s);
    if (s > one)
        s = one;
    return int32_t(negative ? -s : s);
}

std::vector<int16_t> synthesize(const std::vector<Segment> &segments)
{
    std::vector<int16_t> out;
    for (const Segment &seg : segments) {
        const int count = seg.milliseconds * sampleRate / 1000;
        if (seg.frequency1 == 0 && seg.frequency2 == 0) {
            out.insert(out.end(), size_t(count), 0);
            continue;
        }
        const int64_t level = seg.frequency2 ? pairLevel : singleLevel;
        const uint32_t step1 = phaseStep(seg.frequency1);
        const uint32_t step2 = phaseStep(seg.frequency2);
        uint32_t phase1 = 0;
        uint32_t phase2 = 0;
        for (int i = 0; i < count; ++i) {
            int64_t v = level * sine(phase1);
            if (seg.frequency2)
                v += level * sine(phase2);
            const int edge = std::min(i + 1, count - i);
            if (edge < rampSamples)
                v = v * edge / rampSamples;
            // Round to the nearest sample value, halves away from zero.
            const int64_t rounded = v >= 0 ? (v + (one >> 1)) >> 30 : -((-v + (one >> 1)) >> 30);
            out.push_back(int16_t(rounded));
            phase1 += step1;
            phase2 += step2;
        }
    }
    return out;
}

std::vector<uint8_t> waveFile(const std::vector<int16_t> &samples)
{
    const uint32_t dataBytes = uint32_t(samples.size() * 2);
    std::vector<uint8_t> out;
    out.reserve(44 + dataBytes);
    for (char c : std::string("RIFF"))
        out.push_back(uint8_t(c));
    putLe(out, 36 + dataBytes, 4);
    for (char c : std::string("WAVEfmt "))
        out.push_back(uint8_t(c));
    putLe(out, 16, 4); // format chunk length
    putLe(out, 1, 2);  // PCM
    putLe(out, 1, 2);  // mono
    putLe(out, sampleRate, 4);
    putLe(out, sampleRate * 2, 4); // bytes a second
    putLe(out, 2, 2);              // bytes a frame
    putLe(out, 16, 2);             // bits a sample
    for (char c : std::string("data"))
        out.push_back(uint8_t(c));
    putLe(out, dataBytes, 4);
    for (int16_t s : samples)
        putLe(out, uint16_t(s), 2);
    return out;
}

const std::vector<Tone> &tones()
{
    // 425 Hz is the European exchange tone; the pairs are DTMF keys (row and
    // column frequency); the 950/1400/1800 Hz steps are the special
    // information tone every operator plays for a call that failed.
    static const std::vector<Tone> all{
        // Line connected after power-on or reset: a rising three-note chime.
        {"PowerOn.WAV", {{120, 600}, {30, 0}, {120, 900}, {30, 0}, {200, 1200}}},
        // Entry into programming from a telephone: the keys * and #.
        {"OnProgram.WAV", {{150, 941, 1209}, {80, 0}, {150, 941, 1477}}},
        // Line seized: one steady exchange tone.
        {"PickUp.WAV", {{500, 425}}},
        // Waiting for the next programming step: three short high pips.
        {"Programming.WAV", {{80, 1400}, {80, 0}, {80, 1400}, {80, 0}, {80, 1400}}},
        // Line released: the busy cadence, 330 ms on and off.
        {"HangUp.WAV", {{330, 425}, {330, 0}, {330, 425}, {330, 0}, {330, 425}}},
        // A code was accepted: two notes rising.
        {"Confirm.WAV", {{150, 800}, {40, 0}, {200, 1200}}},
        // The alarm button's number memory is empty: three notes falling.
        {"Buttonerror.WAV", {{120, 1200}, {30, 0}, {120, 900}, {30, 0}, {200, 600}}},
        // A code or value was refused: the special information tone.
        {"Error.WAV", {{330, 950}, {30, 0}, {330, 1400}, {30, 0}, {330, 1800}}},
        // Fault call for input IN1: an alarm warble.
        {"Input1.WAV",
         {{125, 650}, {125, 850}, {125, 650}, {125, 850}, {125, 650}, {125, 850}, {125, 650}, {125, 850}}},
        // Periodic service call: the keys 1, 5 and 9.
        {"SysTime.WAV", {{100, 697, 1209}, {70, 0}, {100, 770, 1336}, {70, 0}, {100, 852, 1477}}},
        // The call is about to end: three slow pips.
        {"Allert.WAV", {{200, 1000}, {150, 0}, {200, 1000}, {150, 0}, {200, 1000}}},
    };
    return all;
}

} // namespace ToneSynth
