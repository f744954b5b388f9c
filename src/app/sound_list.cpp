#include "app/sound_list.h"

#include <QDir>
#include <QFileInfo>

#include "app/commands.h"

namespace app {

QStringList ListWavFiles(const QString &folder)
{
    QDir dir(folder);
    if (folder.isEmpty() || !dir.exists())
        return {};
    // Name filters compare without regard to case unless QDir::CaseSensitive is given.
    return dir.entryList({QStringLiteral("*.wav")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
}

QString SoundFilePath(const QString &folder, const QString &name)
{
    const QString plain = folder + name + QStringLiteral(".wav");
    if (name.isEmpty() || QFileInfo(plain).isFile())
        return plain;
    for (const QString &file : ListWavFiles(folder))
        if (StripExtension(file) == name)
            return folder + file;
    return plain;
}

ChooserLists SortIntoChoosers(const QStringList &fileNames)
{
    static const QStringList kNotIn1 = {"snare", "crash"};
    static const QStringList kNotIn2 = {"snare", "klack", "hihat", "sticks"};
    static const QStringList kNotIn3 = {"bassdrum", "hihat", "crash", "klack", "sticks", "triangel"};
    ChooserLists lists;
    for (const QString &file : fileNames) {
        const QString name = StripExtension(file);
        const QString low = name.toLower();
        if (!kNotIn1.contains(low))
            lists.combo1 << name;
        if (!kNotIn2.contains(low))
            lists.combo2 << name;
        if (!kNotIn3.contains(low))
            lists.combo3 << name;
    }
    return lists;
}

} // namespace app
