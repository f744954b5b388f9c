#pragma once
#include <QString>
#include <QStringList>

namespace app {

// The command line, read by one parser: FILE opens a song, --export OUT FILE writes it as a click
// track, --rate N its rate; --help and --version answer at once. Anything else starting with '-'
// is an option the program does not know: named once on the error output, otherwise ignored, as
// are further arguments.
struct CommandLine {
    QString text;        // what --help or --version prints (the first of them); empty: none
    QString songFile;    // FILE, as given
    QString exportTo;    // OUT of --export; empty: no export
    int rate = 48000;    // --rate
    QString error;       // a value missing or unusable (--export without OUT or FILE, --rate not a number)
    QStringList unknown; // options not known, in order
};
CommandLine ParseCommandLine(const QStringList &args);

// `metronom --export OUT FILE [--rate N]`: no window, no sound device, no single-instance lock.
// The sounds and count-in are the window's first-run ones, or the remembered ones when settings
// are remembered. Returns the exit status: 0 when written, 1 (after one line on the error output,
// no file left behind) otherwise.
int RunExport(const CommandLine &line, int argc, char **argv);

} // namespace app
