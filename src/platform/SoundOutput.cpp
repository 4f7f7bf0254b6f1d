#include "platform/SoundOutput.h"

#include "platform/WavFile.h"

#include <alsa/asoundlib.h>

#include <cerrno>
#include <mutex>

namespace
{

constexpr const char *deviceName = "default";
// How much sound ALSA keeps queued ahead of the speaker.
constexpr unsigned int latencyMicroseconds = 100000;

// ALSA reports its own failures on standard error; the program reports
// them (or not) itself.
void quietAlsa(const char *, int, const char *, int, const char *, ...)
{
}

void silenceAlsaMessages()
{
    static std::once_flag once;
    std::call_once(once, [] { snd_lib_error_set_handler(quietAlsa); });
}

} // namespace

namespace SoundOutput
{

bool available()
{
    silenceAlsaMessages();
    snd_pcm_t *pcm = nullptr;
    const int err = snd_pcm_open(&pcm, deviceName, SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK);
    if (err == 0)
        snd_pcm_close(pcm);
    return err == 0 || err == -EBUSY;
}

bool play(const WavPcm &wav)
{
    silenceAlsaMessages();
    if (wav.frames() == 0)
        return true;
    snd_pcm_t *pcm = nullptr;
    if (snd_pcm_open(&pcm, deviceName, SND_PCM_STREAM_PLAYBACK, 0) < 0)
        return false;
    const snd_pcm_format_t format = wav.bitsPerSample == 8 ? SND_PCM_FORMAT_U8 : SND_PCM_FORMAT_S16_LE;
    bool ok = snd_pcm_set_params(pcm, format, SND_PCM_ACCESS_RW_INTERLEAVED, unsigned(wav.channels),
                                 unsigned(wav.sampleRate), 1, latencyMicroseconds) == 0;
    const char *next = wav.samples.constData();
    snd_pcm_uframes_t left = snd_pcm_uframes_t(wav.frames());
    int failuresInARow = 0;
    while (ok && left > 0) {
        snd_pcm_sframes_t written = snd_pcm_writei(pcm, next, left);
        if (written < 0) {
            // An underrun or a suspended device is recovered; a device that
            // keeps failing ends the sound.
            ok = ++failuresInARow <= 3 && snd_pcm_recover(pcm, int(written), 1) == 0;
            continue;
        }
        failuresInARow = 0;
        next += written * wav.frameBytes();
        left -= snd_pcm_uframes_t(written);
    }
    if (ok)
        snd_pcm_drain(pcm);
    snd_pcm_close(pcm);
    return ok;
}

bool playFile(const QString &path)
{
    const auto wav = WavFile::read(path);
    return wav && play(*wav);
}

} // namespace SoundOutput
