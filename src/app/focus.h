#pragma once

namespace app {

class FrmMetronom;

// Where the keyboard focus is in the window, and which keys a focused control keeps:
// - After every mouse click the focus is on the window itself, where all the window's keys act;
//   only a click into a sound chooser's text leaves the focus there, to type a name.
// - Tab and Shift+Tab go through the controls in reading order (the middle column top to bottom,
//   the 16 lamps row by row, then TAP and START). The control reached is framed while the keyboard
//   is used, and keeps its own standard keys: Space presses a button or the accent switch, Space
//   or Enter toggles a lamp, the arrows, Page Up/Down, Home and End move a slider, a list takes
//   letters and arrows, a sound chooser takes typing, spaces included. Every other key is the
//   window's.
// - Escape (and Enter in a sound chooser) gives the focus back to the window. A typed sound name
//   that names no file goes back to the sound that plays whenever the chooser loses the focus.
void InstallFocusRules(FrmMetronom &form);

} // namespace app
