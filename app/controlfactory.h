// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Turns the control and menu tables into widgets.

#include "app/controltable.h"

#include <QFont>
#include <QRect>

class QMenuBar;
class QObject;
class QWidget;

namespace zarvoni {

QRect pixelRect(const TwipRect &rect);

// The font of a table row; families that this machine lacks fall back to
// metric-compatible ones. Sizes are pixels at 96 dpi, like the layout.
QFont fontFor(const FontSpec &style);

// Creates every control of the table on the surface, named after its row, with
// the first row on top and the text box and buttons above every label; timers
// become children of timerOwner.
void buildControls(QWidget *surface, QObject *timerOwner);

// Creates the menu tree on the bar, each menu and item named after its row.
void buildMenus(QMenuBar *bar);

} // namespace zarvoni
