#pragma once

#include <QString>

struct WavPcm;

// Sound through ALSA's default playback device.
namespace SoundOutput
{

// Whether there is an output to play on: the default playback device can
// be opened (one held by another program counts as present).
bool available();

// Plays the samples and returns when they have been heard to the end.
// False when the output refused them.
bool play(const WavPcm &pcm);

// Plays a PCM WAVE file the same way. Any other file, or none, plays nothing
// and gives false.
bool playFile(const QString &path);

} // namespace SoundOutput
