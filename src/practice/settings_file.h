#pragma once
#include <QString>
#include <array>
#include <functional>
#include <string>
#include <vector>

#include "engine/beat_pattern.h"
#include "engine/metronome.h"

// The remembered settings ("Einstellungen merken"): one QSettings file in the user's configuration
// folder, written only while the user wants it. UI thread only.
namespace practice {

// What the window remembers, with the values it has after its first-run set-up.
struct WindowSettings {
    std::string preset = "Normal";
    engine::BeatPattern pattern = engine::BeatPattern::Initial(); // the lamps of both rows
    bool accentOn = false;
    std::array<std::string, 3> sounds{"Klack", "Bassdrum", "Snare"}; // normal beat, accent 1, accent 2
    int beatsPerCycle = 4;
    int bpm = 120;
    bool onTop = true;
    std::string song;       // the song last opened (a path; empty: none)
    std::string songFolder; // the setlist's folder (empty: ~/.local/share/metronom/Lieder)
};

struct Remembered {
    WindowSettings window;
    engine::Practice practice;
    bool trainerChosen = false; // the trainer's start and goal were set in its dialog
};

struct ReadOutcome {
    Remembered values;                // the first-run value for everything that could not be used
    std::vector<std::string> ignored; // what was not used and why, one entry each
};

// The file in the per-user configuration folder ($XDG_CONFIG_HOME/metronom/metronom.conf).
QString SettingsPath();

// A settings file is a few hundred bytes: a larger one is not read (nor replaced unless a setting
// changes).
constexpr qint64 kMaxSettingsBytes = 64 * 1024;

// Reads the file at `path`, when it is (or a link leads to) a regular file of at most
// kMaxSettingsBytes; opening it never waits. Whatever is missing, unreadable, of the wrong type or out of range, a
// key it does not know and a sound for which `soundExists` says no leave the value of `firstRun`
// and are named in `ignored`.
ReadOutcome ReadSettings(const QString &path, const Remembered &firstRun,
                         const std::function<bool(const std::string &)> &soundExists);

// What `ignored` names, as one line of bounded length with control characters escaped.
std::string IgnoredLine(const std::vector<std::string> &ignored);

// Writes all values to `path` at once: the old file stays whole until the new one has been written
// and synced, then takes its place. A link at `path` stays and the file it leads to is replaced.
// False, touching nothing there, when `path` is neither missing nor a regular file nor a link to
// one, or when it cannot be written.
bool WriteSettings(const QString &path, const Remembered &values);

} // namespace practice
