#pragma once

class QString;
class QWidget;

namespace ui {

// Names and descriptions for screen readers on every visible control of the main window `form`:
// words, not the spaced letters of the captions ("START", not "S T A R T"); the lamps as check
// boxes "Akzent 1, Schlag 3"; the sliders as sliders with their value ("Tempo: 120"); the tempo
// and beat numbers with what they count; the sound choosers by their labels ("Sound", "Akzent 1",
// "Akzent 2"), the preset chooser by its label and preset ("Presets: Normal"); the weight with the
// tempo it stands for as its value (the window sets it as the weight's property "tempo"). Lamps
// beyond the beats of a cycle, and whatever else is hidden, are not in the tree. The lamps,
// sliders, choosers and the two big buttons can also be worked through the screen reader's
// actions. A slider tells the reader its new value, a lamp its new checked state.
void InstallAccessibility(QWidget &form);

// Has a screen reader say `text` now, whatever has the focus: what appears on the status line, the
// tempo tapped; news of the same turn of the event loop is said as one ("Trainer aus (von Hand).
// Tempo 121"). It is a notification of the window that holds `inWindow` (a reader says it as such),
// shown for a few seconds to a reader and never drawn.
void Announce(QWidget &inWindow, const QString &text);

} // namespace ui
