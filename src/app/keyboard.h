#pragma once

class QWidget;

namespace app {

class FrmMetronom;

// The window's keys, each doing what a click on its control does: Space START/STOP, "+"/"-" and
// Right/Left the single steps, Page Up/Page Down the steps of ten, T a tap (Shift+T a new series),
// 1 to 8 the beats of a cycle, A the accent switch, L Link. They work wherever the focus is,
// except for the keys a control reached with Tab keeps as its own (see focus.h, installed here).
void InstallKeyboard(FrmMetronom &form);

} // namespace app
