#pragma once
#include <QString>

namespace app {

class FrmMetronom;

// Set once during start-up, read-only afterwards.
struct AppGlobals {
    QString AppPath;   // the program's folder, ending in the folder separator
    QString SoundsDir; // AppPath + "Sounds" + separator
    QString AppTitle;  // the default title of message boxes
};
AppGlobals &Globals();

// AppPath from the program's folder (the running program's own folder when empty).
void InitPaths(const QString &programFolder = {});
// AppTitle and SoundsDir; false (after a warning box) when the required click sound is missing.
bool InitApplication();

// Lists the sound files of `soundsDir` into the three sound choosers, keeping their texts.
void FillSoundChoosers(FrmMetronom &form, const QString &soundsDir);

// The program: returns the process exit status.
int Main(int argc, char **argv);

} // namespace app
