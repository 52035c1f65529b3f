// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/announcer.h"

#include "app/accessiblefactory.h"

#include <QAccessibleWidget>

namespace zarvoni {

namespace {

// A screen reader speaks a notification when it starts to show: the name of an
// object that neither moves the focus nor needs a place on screen. A change of
// the focused control's description, the other way that does not move the
// focus, goes unspoken: Qt sends it with the control, not the new text, and the
// screen reader tries to speak the control.
QAccessibleInterface *makeNotification(QWidget *announcer) {
    return new QAccessibleWidget(announcer, QAccessible::Notification);
}

} // namespace

Announcer::Announcer(QWidget *parent) : QWidget(parent) {
    installAccessibleFactory<Announcer, &makeNotification>();
    setObjectName(QStringLiteral("annuncio"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setGeometry(0, 0, 0, 0);
    hide();
}

void Announcer::announce(const QString &text) {
    setAccessibleName(text);
    // Each announcement starts to show anew.
    hide();
    show();
}

} // namespace zarvoni
