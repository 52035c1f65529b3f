// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How the program's QApplication is set up, the same for the game, its tests and
// its benchmarks.

namespace zarvoni {

// Call once after creating the QApplication:
// - Qt's classic "Windows" style: square bevels and a sunken answer box, as the
//   window is meant to look, and cheap to draw when every exercise repaints it;
// - Qt's own Italian translations, so the dialogs' buttons read "Sì", "No", "Annulla";
// - the program ends when the window says so (closing it ends the game, while a
//   restart briefly leaves no window on screen), not when the last window closes;
// - the desktop entry's name, by which the desktop shows the game's icon and name;
// - a screen reader is told only what it can use of the window (screenreaderevents.h).
void prepareApplication();

} // namespace zarvoni
