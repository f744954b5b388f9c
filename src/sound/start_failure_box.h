#pragma once
#include <string>

class QWidget;

namespace sound {

// The box shown when the sound device cannot be started: the text, one OK button, no icon, the
// caption as its title, in front of `window` (the program's window, which may stay on top of
// all others) when given. Returns when it has been closed. Pass it to InitDirectSound.
// Threads (see sound/threads.h): UI thread, with a QApplication.
void ShowStartFailureBox(const std::string &text, const std::string &caption, QWidget *window = nullptr);

} // namespace sound
