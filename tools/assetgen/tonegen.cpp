// Writes the eleven tone sample files into the folder given (the shipped ones
// live in assets/program; the build target tone_samples refreshes them).

#include "ToneSynth.h"

#include <cstdio>
#include <fstream>

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];
    for (const ToneSynth::Tone &tone : ToneSynth::tones()) {
        const std::vector<uint8_t> bytes = ToneSynth::waveFile(ToneSynth::synthesize(tone.segments));
        const std::string path = folder + "/" + tone.fileName;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
        if (!out) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
