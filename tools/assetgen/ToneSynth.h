#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The line tones of the KAVR communicator as the sample files the program
// plays: telephone-band sound (8000 samples a second, 16-bit mono PCM),
// computed with integer arithmetic only, so every build on every machine
// writes the same bytes.
namespace ToneSynth
{

constexpr int sampleRate = 8000;

// One stretch of a tone: its length and up to two frequencies sounding
// together (a DTMF-style pair), or silence when both are 0.
struct Segment {
    int milliseconds;
    int frequency1;
    int frequency2 = 0;
};

struct Tone {
    std::string fileName;
    std::vector<Segment> segments;
};

// The eleven tones under the file names the program looks for.
const std::vector<Tone> &tones();

// The samples of a tone; every sounding stretch fades in and out over 5 ms
// so it starts and stops without a click.
std::vector<int16_t> synthesize(const std::vector<Segment> &segments);

// A complete WAVE file of the samples.
std::vector<uint8_t> waveFile(const std::vector<int16_t> &samples);

// The sine of a phase given as a fraction of a full turn in 1/2^32 steps,
// scaled to 2^30.
int32_t sine(uint32_t phase);

} // namespace ToneSynth
