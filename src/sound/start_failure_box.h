#pragma once
#include <string>

namespace sound {

// The box shown when the sound device cannot be started: the text, one OK button, no icon, the
// caption as its title. Returns when it has been closed. Pass it to InitDirectSound.
// Threads (see sound/threads.h): UI thread, with a QApplication.
void ShowStartFailureBox(const std::string &text, const std::string &caption);

} // namespace sound
