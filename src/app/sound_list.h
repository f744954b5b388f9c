#pragma once
#include <QString>
#include <QStringList>

namespace app {

// The "*.wav" files of a folder (the extension in any letter case), files only, sorted by name
// without regard to case. A missing folder gives an empty list.
QStringList ListWavFiles(const QString &folder);

// The file that a chooser's sound name stands for in `folder` (ending in a separator): name.wav,
// else the file whose extension differs from it only in letter case (name.WAV, name.Wav), as the
// choosers offer those too; name.wav when neither is there.
QString SoundFilePath(const QString &folder, const QString &name);

// The sound names that each of the three sound choosers offers. Each chooser keeps out a few names
// (compared whole and in lower case) that belong to the others.
struct ChooserLists {
    QStringList combo1; // the normal beat
    QStringList combo2; // accent 1
    QStringList combo3; // accent 2
};
ChooserLists SortIntoChoosers(const QStringList &fileNames);

} // namespace app
