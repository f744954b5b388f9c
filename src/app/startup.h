#pragma once
#include <QString>
#include <memory>

class QApplication;

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

// Lists the sound files of `soundsDir` into the three sound choosers, keeping their texts (again
// whenever the folder changes).
void FillSoundChoosers(FrmMetronom &form, const QString &soundsDir);

// The application object; without a display to show the window on, one line on the error
// output and the process ends with status 1 (the toolkit would abort).
std::unique_ptr<QApplication> StartToolkit(int &argc, char **argv);

// "--help" and "--version" (also "-h", "-V"): the text for the first of them among `args` (the
// program name left out), printed to standard output before anything else happens; empty when
// there is none (every other argument is ignored).
QString CommandLineText(const QStringList &args);

// The program: returns the process exit status.
int Main(int argc, char **argv);

} // namespace app
