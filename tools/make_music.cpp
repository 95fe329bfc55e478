// make_music: synthesises the example production's music and writes it as
// Ogg Vorbis (or WAV) through libsndfile.
//
// Everything is made here from oscillators, filters and a fixed noise
// sequence, so the same program writes the same samples on every run. The
// beat is steady, so scenes can cut on it: see kHelp for the times.
//
//   cmake --build build/release --target make_music
//   build/release/tools/make_music demo/data/music.ogg
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;
constexpr double kBeat = 0.5;  // 120 beats per minute
constexpr double kBar = 4 * kBeat;
constexpr double kEighth = kBeat / 2;
constexpr double kSixteenth = kBeat / 4;
constexpr double kLength = 75.0;
constexpr double kVorbisQuality = 0.4;
constexpr sf_count_t kWriteBlock = 4096;

const char* const kUsage = "usage: make_music [--wav] [--seconds S] OUTPUT\n";

const char* const kHelp =
    "Synthesises the example production's music (kick, snare, hats, bass, pad and a\n"
    "lead with echoes) and writes it as Ogg Vorbis, 44.1 kHz stereo, or as 16-bit\n"
    "WAV with --wav. The samples are the same on every run.\n"
    "\n"
    "  --wav        write 16-bit WAV instead of Ogg Vorbis\n"
    "  --seconds S  stop after S seconds (default 75)\n"
    "\n"
    "Tempo 120 beats per minute in 4/4: a beat every 0.5 s, a bar every 2 s, a\n"
    "four-bar phrase (Am F C G) every 8 s. Kicks fall on every beat, snares on\n"
    "beats 2 and 4. Sections, by the time they start:\n"
    "   0 s  intro: pad alone           40 s  break: pad and bass\n"
    "   4 s  hats join                  46 s  snare roll\n"
    "   8 s  groove: kick and bass      48 s  peak: lead an octave up\n"
    "  24 s  theme: snare and lead      64 s  outro: the lead stops\n"
    "  72 s  last chord and a crash, fading out until 75 s\n";

// The parts of the arrangement.
enum Part : unsigned {
    kPad = 1,
    kHat = 2,
    kKick = 4,
    kBass = 8,
    kSnare = 16,
    kLead = 32,
    kLeadHigh = 64,
    kRoll = 128,
};

struct Section {
    int firstBar;
    int endBar;
    unsigned parts;
};

const Section kSections[] = {
    {0, 2, kPad},
    {2, 4, kPad | kHat},
    {4, 12, kPad | kHat | kKick | kBass},
    {12, 20, kPad | kHat | kKick | kBass | kSnare | kLead},
    {20, 23, kPad | kBass},
    {23, 24, kPad | kBass | kRoll},
    {24, 32, kPad | kHat | kKick | kBass | kSnare | kLead | kLeadHigh},
    {32, 36, kPad | kHat | kKick | kBass | kSnare},
};
constexpr int kFinalBar = 36;

// One chord a bar, repeating every four bars: A minor, F, C, G. MIDI notes.
const int kBassRoots[4] = {45, 41, 48, 43};
const int kChords[4][3] = {{57, 60, 64}, {53, 57, 60}, {55, 60, 64}, {55, 59, 62}};
// The bass line per bar in eighths, as steps above the root.
const int kBassSteps[8] = {0, 0, 12, 0, 0, 12, 7, 12};
// The lead, eight eighths per bar over the four bars; 0 rests.
const int kMelody[4][8] = {
    {69, 0, 72, 0, 76, 74, 72, 0},
    {69, 0, 72, 74, 72, 0, 69, 0},
    {67, 0, 72, 0, 76, 0, 79, 76},
    {74, 0, 71, 0, 67, 69, 71, 0},
};

double frequencyOf(int note) { return 440.0 * std::pow(2.0, (note - 69) / 12.0); }

// A fixed noise sequence in -1 to 1 (a 32-bit linear congruential generator).
class Noise {
public:
    explicit Noise(std::uint32_t seed) : m_state(seed) {}
    double next() {
        m_state = m_state * 1664525u + 1013904223u;
        return static_cast<double>(m_state >> 8) / 8388608.0 - 1.0;
    }

private:
    std::uint32_t m_state;
};

// State-variable filter; the cutoff may change every sample.
class Filter {
public:
    explicit Filter(double resonance) : m_damping(1.0 / resonance) {}
    void run(double input, double cutoff) {
        const double f = 2.0 * std::sin(kPi * std::min(cutoff, kRate / 6.0) / kRate);
        m_low += f * m_band;
        m_high = input - m_low - m_damping * m_band;
        m_band += f * m_high;
    }
    double low() const { return m_low; }
    double high() const { return m_high; }

private:
    double m_damping;
    double m_low = 0.0, m_band = 0.0, m_high = 0.0;
};

// Smooths the jump of a sawtooth or pulse at phase 0 (polynomial band-limited step).
double blep(double phase, double step) {
    if (phase < step) {
        const double t = phase / step;
        return t + t - t * t - 1.0;
    }
    if (phase > 1.0 - step) {
        const double t = (phase - 1.0) / step;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

class Oscillator {
public:
    explicit Oscillator(double frequency) : m_step(frequency / kRate) {}
    double saw() {
        const double value = 2.0 * m_phase - 1.0 - blep(m_phase, m_step);
        advance(m_step);
        return value;
    }
    double pulse(double stepScale) {
        const double step = m_step * stepScale;
        const double half = std::fmod(m_phase + 0.5, 1.0);
        const double value = (m_phase < 0.5 ? 1.0 : -1.0) + blep(m_phase, step) - blep(half, step);
        advance(step);
        return value;
    }

private:
    void advance(double step) { m_phase = std::fmod(m_phase + step, 1.0); }
    double m_step;
    double m_phase = 0.0;
};

class Mix {
public:
    explicit Mix(double seconds)
        : m_left(static_cast<std::size_t>(seconds * kRate)), m_right(m_left.size()) {}
    std::size_t frames() const { return m_left.size(); }
    // Adds `voice(i)` for i = 0 .. frames-1 from `start`, panned 0 left to 1 right.
    template <typename Voice>
    void add(double start, double seconds, double pan, Voice voice) {
        const long first = std::lround(start * kRate);
        const long count = std::lround(seconds * kRate);
        const double left = std::cos(pan * kPi / 2), right = std::sin(pan * kPi / 2);
        for (long i = 0; i < count && first + i < static_cast<long>(frames()); ++i) {
            const double value = voice(static_cast<double>(i) / kRate);
            m_left[first + i] += left * value;
            m_right[first + i] += right * value;
        }
    }
    std::vector<double>& left() { return m_left; }
    std::vector<double>& right() { return m_right; }

private:
    std::vector<double> m_left, m_right;
};

void kick(Mix& mix, double at) {
    Noise click(7);
    mix.add(at, 0.6, 0.5, [&](double t) {
        const double phase = 2 * kPi * (45 * t + 110.0 / 30 * (1 - std::exp(-30 * t)));
        return 0.7 * std::sin(phase) * std::exp(-7 * t) + 0.25 * click.next() * std::exp(-300 * t);
    });
}

void snare(Mix& mix, double at, double level) {
    Noise noise(11);
    Filter bright(0.7);
    mix.add(at, 0.3, 0.45, [&](double t) {
        bright.run(noise.next(), 1200);
        const double body = std::sin(2 * kPi * 185 * t) * std::exp(-25 * t);
        return level * (0.5 * bright.high() * std::exp(-18 * t) + 0.4 * body);
    });
}

void hat(Mix& mix, double at, bool open) {
    Noise noise(open ? 13 : 17);
    Filter thin(0.8);
    const double decay = open ? 14 : 60, level = open ? 0.10 : 0.14;
    mix.add(at, open ? 0.3 : 0.08, 0.65, [&](double t) {
        thin.run(noise.next(), 7000);
        return level * thin.high() * std::exp(-decay * t);
    });
}

void crash(Mix& mix, double at, double seconds) {
    for (const double pan : {0.1, 0.9}) {
        Noise noise(pan < 0.5 ? 19 : 23);
        Filter thin(0.9);
        mix.add(at, seconds, pan, [&](double t) {
            thin.run(noise.next(), 5000);
            return 0.22 * thin.high() * std::exp(-1.6 * t);
        });
    }
}

void bass(Mix& mix, double at, int note, double seconds) {
    Oscillator a(frequencyOf(note)), b(frequencyOf(note) * 1.004);
    Filter tone(2.5);
    mix.add(at, seconds + 0.05, 0.5, [&](double t) {
        tone.run(0.5 * (a.saw() + b.saw()), 180 + 1600 * std::exp(-12 * t));
        const double gate = t < seconds ? 1.0 : std::exp(-80 * (t - seconds));
        return 0.32 * tone.low() * std::min(1.0, t * 200) * gate;
    });
}

// A chord of detuned sawtooth pairs, one of each pair to each side.
void pad(Mix& mix, double at, const int (&chord)[3], double seconds, double brightness) {
    for (const int note : chord)
        for (const double detune : {-1.0, 1.0}) {
            Oscillator osc(frequencyOf(note) * std::pow(2.0, detune * 7 / 1200));
            Filter soft(0.9);
            mix.add(at, seconds + 0.6, detune < 0 ? 0.2 : 0.8, [&](double t) {
                soft.run(osc.saw(), brightness * (1 + 0.3 * std::sin(2 * kPi * 0.25 * t)));
                const double rise = std::min(1.0, t / 0.3);
                const double fall = t < seconds ? 1.0 : std::exp(-6 * (t - seconds));
                return 0.05 * soft.low() * rise * fall;
            });
        }
}

void lead(Mix& mix, double at, int note) {
    Oscillator osc(frequencyOf(note));
    Filter tone(1.2);
    const double length = 0.24;
    mix.add(at, length, 0.5, [&](double t) {
        const double vibrato = t > 0.08 ? 1 + 0.004 * std::sin(2 * kPi * 5.5 * t) : 1.0;
        tone.run(osc.pulse(vibrato), 3200);
        // A short attack and release, so notes start and stop without a click.
        const double edges = std::min({1.0, t * 300, (length - t) * 50});
        return 0.24 * tone.low() * edges * std::exp(-4 * t);
    });
}

unsigned partsAt(int bar) {
    for (const Section& section : kSections)
        if (bar >= section.firstBar && bar < section.endBar) return section.parts;
    return 0;
}

// Plays the arrangement bar by bar; the lead goes into its own mix so that
// it alone gets the echoes.
void arrange(Mix& mix, Mix& leadMix) {
    for (int bar = 0; bar < kFinalBar; ++bar) {
        const unsigned parts = partsAt(bar);
        const double start = bar * kBar;
        const int chord = bar % 4;
        if (parts & kPad) {
            // The pad opens up through the break towards the peak.
            const double brightness = bar >= 20 && bar < 24 ? 700 + 450 * (bar - 20) : 900;
            pad(mix, start, kChords[chord], kBar, brightness);
        }
        for (int beat = 0; beat < 4; ++beat) {
            const double at = start + beat * kBeat;
            if (parts & kKick) kick(mix, at);
            if ((parts & kSnare) && beat % 2 == 1) snare(mix, at, 0.8);
            if (parts & kHat) {
                hat(mix, at, false);
                hat(mix, at + kEighth, beat == 3);
            }
        }
        if (parts & kRoll)
            for (int i = 0; i < 16; ++i) snare(mix, start + i * kSixteenth, 0.25 + 0.04 * i);
        if (parts & kBass)
            for (int i = 0; i < 8; ++i) {
                // In the break the bass holds each root for the whole bar.
                const bool held = !(parts & kKick);
                if (held && i > 0) break;
                bass(mix, start + i * kEighth, kBassRoots[chord] + (held ? 0 : kBassSteps[i]),
                     held ? kBar - 0.05 : kEighth * 0.8);
            }
        if (parts & kLead)
            for (int i = 0; i < 8; ++i)
                if (kMelody[chord][i] != 0)
                    lead(leadMix, start + i * kEighth,
                         kMelody[chord][i] + ((parts & kLeadHigh) ? 12 : 0));
    }
    const double end = kFinalBar * kBar;
    kick(mix, end);
    crash(mix, end, kLength - end);
    pad(mix, end, kChords[0], kLength - end - 0.6, 1100);
    bass(mix, end, kBassRoots[0], kLength - end - 0.3);
}

// Echoes a dotted eighth apart, alternating sides, added to the main mix.
void addEchoes(Mix& leadMix, Mix& mix) {
    const std::size_t delay = static_cast<std::size_t>(0.375 * kRate);
    std::vector<double>& l = leadMix.left();
    std::vector<double>& r = leadMix.right();
    std::vector<double> echoL(l.size()), echoR(l.size());
    for (std::size_t i = delay; i < l.size(); ++i) {
        echoL[i] = 0.4 * (r[i - delay] + echoR[i - delay]);
        echoR[i] = 0.4 * (l[i - delay] + echoL[i - delay]);
    }
    for (std::size_t i = 0; i < l.size(); ++i) {
        mix.left()[i] += l[i] + echoL[i];
        mix.right()[i] += r[i] + echoR[i];
    }
}

// Gentle saturation, the fade at the end, and the level set so the loudest
// sample reaches 0.9.
std::vector<float> master(Mix& mix) {
    const double fadeFrom = kLength - 1.5;
    double peak = 1e-9;
    for (std::vector<double>* side : {&mix.left(), &mix.right()})
        for (std::size_t i = 0; i < side->size(); ++i) {
            const double t = static_cast<double>(i) / kRate;
            const double fade = t < fadeFrom ? 1.0 : std::max(0.0, (kLength - t) / 1.5);
            (*side)[i] = std::tanh(1.2 * (*side)[i]) * fade;
            peak = std::max(peak, std::fabs((*side)[i]));
        }
    std::vector<float> frames(2 * mix.frames());
    for (std::size_t i = 0; i < mix.frames(); ++i) {
        frames[2 * i] = static_cast<float>(0.9 * mix.left()[i] / peak);
        frames[2 * i + 1] = static_cast<float>(0.9 * mix.right()[i] / peak);
    }
    return frames;
}

bool write(const std::string& path, const std::vector<float>& frames, bool wav) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = wav ? (SF_FORMAT_WAV | SF_FORMAT_PCM_16) : (SF_FORMAT_OGG | SF_FORMAT_VORBIS);
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        std::fprintf(stderr, "make_music: cannot write %s: %s\n", path.c_str(),
                     sf_strerror(nullptr));
        return false;
    }
    double quality = kVorbisQuality;
    if (!wav) sf_command(file, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof quality);
    // In blocks: the Vorbis encoder fails on one very large write.
    const sf_count_t total = static_cast<sf_count_t>(frames.size() / 2);
    bool written = true;
    for (sf_count_t done = 0; written && done < total; done += kWriteBlock) {
        const sf_count_t count = std::min(kWriteBlock, total - done);
        written = sf_writef_float(file, frames.data() + 2 * done, count) == count;
    }
    if (!written)
        std::fprintf(stderr, "make_music: cannot write %s: %s\n", path.c_str(), sf_strerror(file));
    return sf_close(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    bool wav = false;
    double seconds = kLength;
    std::string output;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help") {
            std::printf("%s\n%s", kUsage, kHelp);
            return 0;
        } else if (arg == "--wav") {
            wav = true;
        } else if (arg == "--seconds" && i + 1 < argc) {
            seconds = std::atof(argv[++i]);
            if (!(seconds > 0 && seconds <= kLength)) {
                std::fprintf(stderr, "make_music: --seconds takes a number above 0, up to 75\n");
                return 2;
            }
        } else if (output.empty() && arg[0] != '-') {
            output = arg;
        } else {
            std::fprintf(stderr, "make_music: unexpected argument %s\n%s", arg.c_str(), kUsage);
            return 2;
        }
    }
    if (output.empty()) {
        std::fprintf(stderr, "%s", kUsage);
        return 2;
    }
    Mix mix(kLength), leadMix(kLength);
    arrange(mix, leadMix);
    addEchoes(leadMix, mix);
    std::vector<float> frames = master(mix);
    frames.resize(2 * static_cast<std::size_t>(std::lround(seconds * kRate)));
    return write(output, frames, wav) ? 0 : 1;
}
