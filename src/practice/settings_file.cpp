#include "practice/settings_file.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/beat_rules.h"
#include "tempo/tempo_model.h"

namespace practice {

namespace {

// The keys, in the order they are written.
const char *const kKeys[] = {"preset",       "accent1Lamps", "accent2Lamps",   "accents",       "sound",
                             "accent1Sound", "accent2Sound", "beatsPerCycle",  "tempo",         "alwaysOnTop",
                             "volume",       "subdivision",  "trainer/on",     "trainer/start", "trainer/every",
                             "trainer/step", "trainer/goal", "trainer/chosen", "gap/on",        "gap/play",
                             "gap/mute",     "countIn",      "song",           "songFolder"};

QString Lamps(const engine::BeatPattern &p, engine::AccentRow row)
{
    const auto &marks = row == engine::AccentRow::Accent1 ? p.Accent1 : p.Accent2;
    QString s;
    for (int i = 0; i < engine::kLamps; ++i)
        s += marks[i] ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}

// Reads one key after the other, keeping the first-run value for any that cannot be used.
class Reader {
public:
    Reader(QSettings &file, std::vector<std::string> &ignored) : file_(file), ignored_(ignored) {}

    // The text of `key`, when it is there and a single text.
    bool Text(const char *key, QString &out)
    {
        const QVariant v = file_.value(QLatin1String(key));
        if (!v.isValid()) {
            ignored_.push_back(std::string(key) + " (missing)");
            return false;
        }
        // A file read back as text, or the values this program wrote in this run (QSettings keeps
        // them): a list or any other type is not a single value.
        const int type = v.typeId();
        if (type != QMetaType::QString && type != QMetaType::Int && type != QMetaType::Bool) {
            ignored_.push_back(std::string(key) + " (not a single value)");
            return false;
        }
        out = v.toString();
        return true;
    }
    void Int(const char *key, int &out, int lo, int hi, bool zeroAllowed = true)
    {
        QString s;
        if (!Text(key, s))
            return;
        bool ok = false;
        const int n = s.trimmed().toInt(&ok);
        if (!ok || n < lo || n > hi || (!zeroAllowed && n == 0)) {
            ignored_.push_back(std::string(key) + " (\"" + s.left(20).toStdString() + "\" out of range)");
            return;
        }
        out = n;
    }
    void Bool(const char *key, bool &out)
    {
        QString s;
        if (!Text(key, s))
            return;
        if (s != QLatin1String("true") && s != QLatin1String("false")) {
            ignored_.push_back(std::string(key) + " (\"" + s.left(20).toStdString() + "\" not true or false)");
            return;
        }
        out = s == QLatin1String("true");
    }
    void Lamps(const char *key, std::array<bool, engine::kPatternSize> &marks)
    {
        QString s;
        if (!Text(key, s))
            return;
        if (s.size() != engine::kLamps || s.count(QLatin1Char('0')) + s.count(QLatin1Char('1')) != s.size()) {
            ignored_.push_back(std::string(key) + " (not 8 lamps of 0 and 1)");
            return;
        }
        marks = {};
        for (int i = 0; i < engine::kLamps; ++i)
            marks[i] = s[i] == QLatin1Char('1');
    }
    void Sound(const char *key, std::string &out, const std::function<bool(const std::string &)> &exists)
    {
        QString s;
        if (!Text(key, s))
            return;
        const std::string name = s.toStdString();
        if (!name.empty() && (s.contains(QLatin1Char('/')) || !exists(name))) {
            ignored_.push_back(std::string(key) + " (no sound \"" + s.left(40).toStdString() + "\")");
            return;
        }
        out = name;
    }

private:
    QSettings &file_;
    std::vector<std::string> &ignored_;
};

} // namespace

QString SettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/metronom/metronom.conf");
}

ReadOutcome ReadSettings(const QString &path, const Remembered &firstRun,
                         const std::function<bool(const std::string &)> &soundExists)
{
    ReadOutcome out{firstRun, {}};
    // Only a regular file (also behind a link) is opened: a pipe or a device would make the start
    // wait on it or read it without end. It is opened without waiting and checked again once open,
    // should something else have taken its place in between, and read once: the settings are
    // parsed from a private copy, never from the path again.
    const auto everything = [&out](const char *why) {
        out.ignored.push_back(std::string("everything (") + why + ")");
        return out;
    };
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0 || S_ISDIR(st.st_mode))
        return everything("the file cannot be read");
    if (!S_ISREG(st.st_mode))
        return everything("not a plain file");
    const char *const tooLarge = "larger than 64 KiB, kept as it is";
    if (st.st_size > kMaxSettingsBytes)
        return everything(tooLarge);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return everything("the file cannot be read");
    QByteArray bytes;
    const bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    if (regular) {
        bytes.resize(kMaxSettingsBytes + 1);
        qsizetype got = 0;
        while (got < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + got, static_cast<size_t>(bytes.size() - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += n;
        }
        bytes.truncate(got);
    }
    ::close(fd);
    if (!regular)
        return everything("not a plain file");
    if (bytes.size() > kMaxSettingsBytes)
        return everything(tooLarge);
    if (bytes.isEmpty())
        return everything("the file is empty");
    QTemporaryFile copy;
    if (!copy.open() || copy.write(bytes) != bytes.size() || !copy.flush())
        return everything("no room to read the file");
    QSettings file(copy.fileName(), QSettings::IniFormat);
    if (file.status() != QSettings::NoError)
        out.ignored.push_back("lines that are not settings");

    std::vector<std::string> &ig = out.ignored;
    Reader r(file, ig);
    WindowSettings &w = out.values.window;
    QString preset;
    if (r.Text("preset", preset)) {
        if (std::find(engine::kPresetNames.begin(), engine::kPresetNames.end(), preset.toStdString()) ==
            engine::kPresetNames.end())
            ig.push_back("preset (no preset \"" + preset.left(20).toStdString() + "\")");
        else
            w.preset = preset.toStdString();
    }
    r.Lamps("accent1Lamps", w.pattern.Accent1);
    r.Lamps("accent2Lamps", w.pattern.Accent2);
    r.Bool("accents", w.accentOn);
    r.Sound("sound", w.sounds[0], soundExists);
    r.Sound("accent1Sound", w.sounds[1], soundExists);
    r.Sound("accent2Sound", w.sounds[2], soundExists);
    r.Int("beatsPerCycle", w.beatsPerCycle, 1, engine::kLamps);
    r.Int("tempo", w.bpm, tempo::kMinBpm, tempo::kMaxWeightBpm);
    r.Bool("alwaysOnTop", w.onTop);

    engine::Practice &p = out.values.practice;
    r.Int("volume", p.volume, 0, 100);
    r.Int("subdivision", p.subdivision, 1, 4);
    r.Bool("trainer/on", p.trainerOn);
    r.Int("trainer/start", p.trainerStartBpm, tempo::kMinBpm, tempo::kMaxWeightBpm);
    r.Int("trainer/every", p.trainerEveryCycles, 1, 16);
    r.Int("trainer/step", p.trainerStepBpm, -10, 10, false);
    r.Int("trainer/goal", p.trainerGoalBpm, tempo::kMinBpm, tempo::kMaxWeightBpm);
    r.Bool("trainer/chosen", out.values.trainerChosen);
    r.Bool("gap/on", p.gapOn);
    r.Int("gap/play", p.gapPlayCycles, 1, 8);
    r.Int("gap/mute", p.gapMuteCycles, 1, 8);
    // Keys added with songs: a file written before them lacks them, and says nothing of it.
    if (file.contains(QStringLiteral("countIn")))
        r.Int("countIn", p.countInBars, 0, engine::kMaxCountInBars);
    QString text;
    if (file.contains(QStringLiteral("song")) && r.Text("song", text))
        w.song = text.toStdString();
    if (file.contains(QStringLiteral("songFolder")) && r.Text("songFolder", text))
        w.songFolder = text.toStdString();

    const std::set<QString> known(std::begin(kKeys), std::end(kKeys));
    std::string examples;
    int unknown = 0;
    for (const QString &key : file.allKeys())
        if (!known.count(key) && ++unknown <= 3)
            examples += (examples.empty() ? "" : ", ") + ("\"" + key.left(40).toStdString() + "\"");
    if (unknown == 1)
        ig.push_back("unknown key " + examples);
    else if (unknown > 1)
        ig.push_back(std::to_string(unknown) + " unknown keys, e.g. " + examples);
    return out;
}

std::string IgnoredLine(const std::vector<std::string> &ignored)
{
    constexpr std::size_t kMaxBytes = 400;
    std::string line;
    for (const std::string &item : ignored) {
        for (const char c : (line.empty() ? "" : "; ") + item) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || byte == 0x7f) {
                char escaped[5];
                std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
                line += escaped;
            } else {
                line += c;
            }
        }
        if (line.size() > kMaxBytes)
            break;
    }
    if (line.size() > kMaxBytes) {
        std::size_t cut = kMaxBytes;
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xc0) == 0x80)
            --cut; // not inside a character's UTF-8 bytes
        line.resize(cut);
        line += "…";
    }
    return line;
}

bool WriteSettings(const QString &path, const Remembered &v)
{
    // What is replaced: the file at `path`, or the file a link there leads to (the link stays);
    // nothing that is not a regular file (a device, a pipe, a folder, a link leading nowhere).
    std::string target = QFile::encodeName(path).toStdString();
    struct stat st {};
    const bool existed = ::lstat(target.c_str(), &st) == 0;
    const bool missing = !existed && errno == ENOENT;
    if (existed && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (!::realpath(target.c_str(), resolved) || ::stat(resolved, &st) != 0)
            return false;
        target = resolved;
    }
    if (existed && !S_ISREG(st.st_mode))
        return false;
    if (!existed && (!missing || !QDir().mkpath(QFileInfo(path).absolutePath())))
        return false;
    // The values go to a new file beside the target, which then takes its place. QSettings writes
    // it through QSaveFile (synced to the disk, never written in place: atomic sync is required),
    // and never reads the old file, whatever it holds.
    const std::string fresh = target + ".new";
    ::unlink(fresh.c_str()); // left behind by a program that ended half way
    const QString freshPath = QFile::decodeName(QByteArray::fromStdString(fresh));
    QSettings file(freshPath, QSettings::IniFormat);
    file.setAtomicSyncRequired(true);
    file.clear();
    const WindowSettings &w = v.window;
    file.setValue("preset", QString::fromStdString(w.preset));
    file.setValue("accent1Lamps", Lamps(w.pattern, engine::AccentRow::Accent1));
    file.setValue("accent2Lamps", Lamps(w.pattern, engine::AccentRow::Accent2));
    file.setValue("accents", w.accentOn);
    file.setValue("sound", QString::fromStdString(w.sounds[0]));
    file.setValue("accent1Sound", QString::fromStdString(w.sounds[1]));
    file.setValue("accent2Sound", QString::fromStdString(w.sounds[2]));
    file.setValue("beatsPerCycle", w.beatsPerCycle);
    file.setValue("tempo", w.bpm);
    file.setValue("alwaysOnTop", w.onTop);
    const engine::Practice &p = v.practice;
    file.setValue("volume", p.volume);
    file.setValue("subdivision", p.subdivision);
    file.setValue("trainer/on", p.trainerOn);
    file.setValue("trainer/start", p.trainerStartBpm);
    file.setValue("trainer/every", p.trainerEveryCycles);
    file.setValue("trainer/step", p.trainerStepBpm);
    file.setValue("trainer/goal", p.trainerGoalBpm);
    file.setValue("trainer/chosen", v.trainerChosen);
    file.setValue("gap/on", p.gapOn);
    file.setValue("gap/play", p.gapPlayCycles);
    file.setValue("gap/mute", p.gapMuteCycles);
    file.setValue("countIn", p.countInBars);
    file.setValue("song", QString::fromStdString(w.song));
    file.setValue("songFolder", QString::fromStdString(w.songFolder));
    file.sync();
    struct stat now {};
    const bool stillRegular = ::lstat(target.c_str(), &now) == 0 ? S_ISREG(now.st_mode) : errno == ENOENT;
    if (file.status() != QSettings::NoError || !stillRegular ||
        (existed && ::chmod(fresh.c_str(), st.st_mode & 07777) != 0) || ::rename(fresh.c_str(), target.c_str()) != 0) {
        ::unlink(fresh.c_str());
        return false;
    }
    return true;
}

} // namespace practice
