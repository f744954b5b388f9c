#include "app/sound_list.h"

#include <QDir>

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
