#pragma once

class QWidget;

namespace ui {

// Names and descriptions for screen readers on every visible control of the main window `form`:
// words, not the spaced letters of the captions ("START", not "S T A R T"); the lamps as check
// boxes "Akzent 1, Schlag 3"; the sliders as sliders with their value ("Tempo: 120"); the tempo
// and beat numbers with what they count. The lamps, sliders and the two big buttons can also be
// worked through the screen reader's actions.
void InstallAccessibility(QWidget &form);

} // namespace ui
