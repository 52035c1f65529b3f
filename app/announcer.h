// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Tells a screen reader something without moving the focus: a notification that
// a screen reader speaks as it appears. It has no size and draws nothing, so the
// window looks exactly as it did.

#include <QWidget>

namespace zarvoni {

class Announcer : public QWidget {
    Q_OBJECT
public:
    explicit Announcer(QWidget *parent);

    // A screen reader speaks the text now, whatever has the focus.
    void announce(const QString &text);
};

} // namespace zarvoni
