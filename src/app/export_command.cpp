#include "app/export_command.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

#include "app/beat_settings.h"
#include "app/sound_list.h"
#include "app/startup.h"
#include "engine/song_plan.h"
#include "practice/settings_file.h"
#include "song/click_track.h"
#include "song/tempo_map.h"
#include "sound/sample_cache.h"
#include "sound/sample_keeper.h"
#include "sound/slot_player.h"
#include "sound/sound_slots.h"
#include "tempo/tempo_model.h"

namespace app {

CommandLine ParseCommandLine(const QStringList &args)
{
    CommandLine c;
    bool options = true;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        if (options && a == QLatin1String("--")) {
            options = false;
        } else if (options && (a == QLatin1String("--help") || a == QLatin1String("-h") ||
                               a == QLatin1String("--version") || a == QLatin1String("-V"))) {
            if (c.text.isEmpty())
                c.text = CommandLineText({a});
        } else if (options && a == QLatin1String("--export")) {
            if (i + 1 >= args.size())
                c.error = QStringLiteral("--export: die Ausgabedatei fehlt");
            else
                c.exportTo = args[++i];
        } else if (options && a == QLatin1String("--rate")) {
            bool ok = false;
            const int rate = i + 1 < args.size() ? args[i + 1].toInt(&ok) : 0;
            if (!ok)
                c.error = QStringLiteral("--rate: eine Zahl von Bildern in der Sekunde fehlt");
            else
                c.rate = rate;
            ++i;
        } else if (options && a.startsWith(QLatin1Char('-')) && a.size() > 1) {
            c.unknown << a;
        } else if (c.songFile.isEmpty()) {
            c.songFile = a;
        }
    }
    if (!c.exportTo.isEmpty() && c.songFile.isEmpty() && c.error.isEmpty())
        c.error = QStringLiteral("--export %1: die Tempokarte (FILE) fehlt").arg(c.exportTo);
    return c;
}

int RunExport(const CommandLine &line, int argc, char **argv)
{
    auto fail = [](const QString &message) {
        std::fprintf(stderr, "metronom: %s\n", qPrintable(message));
        std::fflush(stderr);
        return 1;
    };
    int coreArgc = argc > 0 ? 1 : 0;
    QCoreApplication core(coreArgc, argv); // the program's folder, for its Sounds
    InitPaths();
    const QString soundsDir = Globals().AppPath + QStringLiteral("Sounds") + QDir::separator();
    const QString klack = soundsDir + QStringLiteral("Klack.wav");
    if (!QFileInfo::exists(klack))
        return fail(QStringLiteral("Die benötigte Datei 'Klack.wav' wurde nicht gefunden !"));

    const song::ParseResult map = song::LoadTempoMap(line.songFile.toStdString());
    if (!map.map)
        return fail(QString::fromStdString(map.error));

    // The window's first-run state, or what it remembers.
    practice::Remembered values;
    auto soundExists = [&](const std::string &name) {
        return QFileInfo::exists(SoundFilePath(soundsDir, QString::fromStdString(name)));
    };
    if (QFileInfo::exists(practice::SettingsPath()))
        values = practice::ReadSettings(practice::SettingsPath(), values, soundExists).values;
    BeatChoices choices;
    choices.soundsDir = soundsDir.toStdString();
    choices.preset = values.window.preset;
    choices.click = values.window.sounds[0];
    choices.accent1 = values.window.sounds[1];
    choices.accent2 = values.window.sounds[2];
    choices.accentOn = values.window.accentOn;
    choices.pattern = values.window.pattern;
    choices.beatsPerCycle = values.window.beatsPerCycle;
    choices.phaseRate = tempo::PhaseRateForBpm(values.window.bpm, choices.swingFactor);
    choices.practice = values.practice;
    choices.practice.trainerOn = false; // the song sets the tempo
    choices.practice.gapOn = false;     // a click track sounds every bar

    sound::SampleCache cache;
    sound::SampleKeeper keeper;
    sound::SlotPlayer player(11);
    sound::SoundSlots soundSlots(cache, keeper, player);
    soundSlots.CreateBuffers(2, klack.toStdString());
    const BeatSettings beats = BuildBeatSettings(choices, cache, soundSlots);
    const engine::SongPlan plan(*map.map, 0, values.practice.countInBars);
    const std::string error = song::WriteClickTrack(line.exportTo.toStdString(), line.rate, beats.settings, plan);
    if (!error.empty())
        return fail(QString::fromStdString(error));
    return 0;
}

} // namespace app
