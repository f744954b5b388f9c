// The Sounds folder that the build lays beside the program: every shipped file against what a
// listener needs of it (measured as tools/sound_level.h says).
#include <gtest/gtest.h>

#include <SDL.h>
#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <numeric>

#include "engine/beat_rules.h"
#include "engine/metronome.h"
#include "sound_level.h"

namespace {

namespace fs = std::filesystem;
using sound_level::Measures;

bool IsVoice(const std::string &f) { return f.rfind("Count/", 0) == 0; }
bool IsAccent(const std::string &f) { return f.size() > 5 && f[f.size() - 5] == 'a'; }
std::string Voice(const std::string &f) { return f.substr(0, f.rfind('/')); }
std::string Plain(const std::string &accent) { return accent.substr(0, accent.size() - 5) + ".wav"; }

// Every file of the folder by its path in it ("Klack.wav", "Count/Long/3a.wav"), and the levels
// the rules compare with.
struct Folder {
    std::map<std::string, Measures> files;
    double percussion = 0;                // mean loudness of the percussion sounds
    std::map<std::string, double> voices; // mean loudness of each voice's plain numbers
    double quietestVoice = 0;
    // Of each preset's first accent, the least it lifts its preset's beat in 500 Hz-5 kHz (dB).
    std::map<std::string, double> accentLift;
    std::vector<std::string> presetFiles;        // every sound preset's first accent and normal beat
    std::map<std::string, double> beatSpeakerDb; // each preset's normal beat in 500 Hz-5 kHz (dB)
};

Folder MeasureFolder()
{
    Folder folder;
    std::map<std::string, std::vector<double>> mono, levels; // levels: the percussion's (""), each voice's
    for (const auto &e : fs::recursive_directory_iterator(METRONOM_SOUNDS_DIR)) {
        const std::string name = fs::relative(e.path(), METRONOM_SOUNDS_DIR).generic_string();
        SDL_AudioSpec spec{};
        Uint8 *buf = nullptr;
        Uint32 len = 0;
        if (e.path().extension() != ".wav")
            continue;
        if (!SDL_LoadWAV(e.path().c_str(), &spec, &buf, &len) || spec.freq != 44100 || spec.channels != 2 ||
            spec.format != AUDIO_S16LSB) {
            ADD_FAILURE() << name << " is not 16-bit stereo at 44100 Hz: " << SDL_GetError();
            continue;
        }
        const auto *samples = reinterpret_cast<const Sint16 *>(buf);
        const Measures m = folder.files[name] = sound_level::Measure(samples, len / 4, 2, 32768.0);
        mono[name] = sound_level::Mono(samples, len / 4, 2, 32768.0);
        SDL_FreeWAV(buf);
        if (!IsVoice(name) || !IsAccent(name))
            levels[IsVoice(name) ? Voice(name) : ""].push_back(IsVoice(name) ? m.loudestDb : m.loudnessDb);
    }
    for (const auto &[group, l] : levels) {
        const double mean = std::accumulate(l.begin(), l.end(), 0.0) / double(l.size());
        (group.empty() ? folder.percussion : folder.voices[group]) = mean;
        folder.quietestVoice = group.empty() ? folder.quietestVoice : std::min(folder.quietestVoice, mean);
    }
    // The accented beat (the bar's first) as the program plays it: both files from the same frame at
    // the same gain.
    for (const char *preset : engine::kPresetNames) {
        const auto sounds = engine::PresetFor(preset).sounds;
        if (!sounds)
            continue;
        const std::string accent = (*sounds)[1] + ".wav", beat = (*sounds)[0] + ".wav";
        folder.presetFiles.insert(folder.presetFiles.end(), {accent, beat});
        folder.beatSpeakerDb[beat] = sound_level::SpeakerDb(mono[beat].data(), mono[beat].size());
        std::vector<double> both = mono[beat];
        both.resize(std::max(both.size(), mono[accent].size()));
        for (std::size_t i = 0; i < mono[accent].size(); ++i)
            both[i] += mono[accent][i];
        const double lift = sound_level::SpeakerDb(both.data(), both.size()) -
                            sound_level::SpeakerDb(mono[beat].data(), mono[beat].size());
        folder.accentLift[accent] = std::min(folder.accentLift.count(accent) ? folder.accentLift[accent] : lift, lift);
    }
    return folder;
}

// How late a word swells after its beat at `bpm` (ms): the program starts it early by its swell,
// but never more than it allows at that tempo.
double LateMs(const Measures &m, double bpm)
{
    const auto swell = std::int64_t(m.swellMs * 44.1);
    return double(swell - engine::PreRollFrames(swell, 44100 * 60 / bpm)) / 44.1;
}

// The files a rule applies to.
bool All(const std::string &) { return true; }
bool Percussion(const std::string &f) { return !IsVoice(f); }
bool Click(const std::string &f) { return f == "Klack.wav"; }
bool PlainWord(const std::string &f) { return IsVoice(f) && !IsAccent(f); }
bool AccentedWord(const std::string &f) { return IsVoice(f) && IsAccent(f); }

struct Rule {
    bool (*applies)(const std::string &file);
    const char *what;
    std::function<bool(const Folder &, const std::string &, const Measures &)> holds;
};

// One table of rules, each checked on every file it applies to; a failure names the file and the
// rule. Loudness: K-weighted RMS of a percussion sound's first 100 ms, of a word's loudest 100 ms.
TEST(SoundsFolder, EveryShippedFileKeepsEveryRuleThatAppliesToIt)
{
    const Folder folder = MeasureFolder();
    // (Every spoken number is there: PracticeTest.EveryShippedNumberSwellsOnItsBeat loads them all.)
    for (const char *required : {"Klack.wav", "Bassdrum.wav", "Snare.wav", "HiHat.wav", "HandClaps.wav"})
        ASSERT_TRUE(folder.files.count(required)) << required;
    for (const std::string &file : folder.presetFiles)
        ASSERT_TRUE(folder.files.count(file)) << file;

    const Rule rules[] = {
        {All, "no peak above -1 dBFS", [](auto &, auto &, auto &m) { return m.peakDb <= -0.999; }},
        {Percussion, "sounds from its first millisecond", [](auto &, auto &, auto &m) { return m.onsetMs <= 1.0; }},
        {Percussion, "rises within 2 ms", [](auto &, auto &, auto &m) { return m.attackMs <= 2.0; }},
        {Percussion, "dies away, 40 dB down at its end", [](auto &, auto &, auto &m) { return m.endDb <= -40; }},
        {Percussion, "rings no longer than 2 s", [](auto &, auto &, auto &m) { return m.lengthMs < 2000; }},
        {Percussion, "as loud as the set (1.5 dB)",
         [](auto &f, auto &, auto &m) { return std::abs(m.loudnessDb - f.percussion) <= 1.5; }},
        {Percussion, "the set at -18 dB or louder", [](auto &f, auto &, auto &) { return f.percussion >= -18; }},
        {Click, "rises within 1 ms", [](auto &, auto &, auto &m) { return m.attackMs <= 1.0; }},
        {Click, "15 to 40 ms long", [](auto &, auto &, auto &m) { return m.lengthMs >= 15 && m.lengthMs <= 40; }},
        {Click, "60 % of its energy in 1-5 kHz", [](auto &, auto &, auto &m) { return m.share1to5k >= 0.60; }},
        {Click, "10 % at most above 8 kHz", [](auto &, auto &, auto &m) { return m.shareAbove8k <= 0.10; }},
        {Click, "2 % at most above 16 kHz", [](auto &, auto &, auto &m) { return m.shareAbove16k <= 0.02; }},
        {Click, "-22 dB or more in 200 Hz-8 kHz", [](auto &, auto &, auto &m) { return m.bandDb >= -22; }},
        // A laptop's speaker plays little below 500 Hz: there an accent that is all bass is not heard.
        {All, "as a preset's first accent, lifts its beat 2.5 dB in 500 Hz-5 kHz",
         [](auto &f, auto &s, auto &) { return !f.accentLift.count(s) || f.accentLift.at(s) >= 2.5; }},
        // ... and a beat that is all sizzle above 8 kHz leaves only the accents (Klack: Normal's beat).
        {All, "as a preset's beat, within 10 dB of Klack in 500 Hz-5 kHz",
         [](auto &f, auto &s, auto &) {
             return !f.beatSpeakerDb.count(s) || f.beatSpeakerDb.at(s) >= f.beatSpeakerDb.at("Klack.wav") - 10;
         }},
        {IsVoice, "swells within 5 ms of its beat at 200 BPM",
         [](auto &, auto &, auto &m) { return LateMs(m, 200) <= 5; }},
        {IsVoice, "swells within 20 ms of its beat at 271 BPM",
         [](auto &, auto &, auto &m) { return LateMs(m, 271) <= 20; }},
        {PlainWord, "as loud as the percussion (1.5 dB)",
         [](auto &f, auto &, auto &m) { return std::abs(m.loudestDb - f.percussion) <= 1.5; }},
        {PlainWord, "its voice as loud as the others (1.5 dB)",
         [](auto &f, auto &s, auto &) { return f.voices.at(Voice(s)) - f.quietestVoice <= 1.5; }},
        {PlainWord, "fits between fast beats (0.7 s)", [](auto &, auto &, auto &m) { return m.lengthMs <= 700; }},
        {AccentedWord, "2 dB louder than the plain word",
         [](auto &f, auto &s, auto &m) { return m.loudestDb - f.files.at(Plain(s)).loudestDb >= 2.0; }},
    };
    for (const auto &[file, m] : folder.files)
        for (const Rule &rule : rules)
            EXPECT_TRUE(!rule.applies(file) || rule.holds(folder, file, m)) << file << ": " << rule.what;
}

} // namespace
