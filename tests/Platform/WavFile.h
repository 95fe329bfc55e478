#pragma once
// Writes a short tone for tests of the sound layer: a 16-bit WAV unless
// another libsndfile format is named.
#include <sndfile.h>

#include <cmath>
#include <string>
#include <vector>

namespace Vexa::Testing {

inline bool writeToneWav(const std::string& path, int frames, int rate, int channels,
                         int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    std::vector<float> samples(static_cast<std::size_t>(frames) * channels);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = 0.25f * std::sin(static_cast<float>(i / channels) * 0.05f);
    const bool written = sf_writef_float(file, samples.data(), frames) == frames;
    return sf_close(file) == 0 && written;
}

}  // namespace Vexa::Testing
