// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Which of the window's accessibility events reach a screen reader. Qt reports
// every change of every control, and a screen reader answers each report with
// queries of its own before it finds that there is nothing to say; on a slow
// machine that work, not the game's, is what the pupil waits for.

class QAccessibleEvent;
class QString;
class QWidget;

namespace zarvoni {

// Whether a screen reader is told of the event. It is, of everything outside the
// controls of the game's surface (the window, its dialogs, its menus, the
// announcer), of every move of the focus, of changes to which objects exist, and
// of what happens in the control that has the focus. It is not told of changes to
// the other controls of the surface: no label ever has the focus, a control's name
// is read when the focus reaches it, and a new description is read from a new
// object (setSpokenDescription). Nor of the title of a minimised window, which
// follows the clock for the task bar.
bool reachesScreenReader(const QAccessibleEvent &event);

// Sets what a screen reader says as the control takes the focus. A screen reader
// may keep what it learnt of a control for a while whatever it is told (Orca 48
// keeps each control's description up to two seconds), and a pupil who answers
// quickly would hear the previous exercise or verdict: so a control without the
// focus whose description changes is given a new accessible object, of which no
// screen reader knows anything yet. No event says so: the focus that arrives
// brings the new object, and a screen reader reads it then.
void setSpokenDescription(QWidget &control, const QString &description);

// Installs, once, the filter that hands on only the events reachesScreenReader
// lets through.
void filterScreenReaderEvents();

} // namespace zarvoni
