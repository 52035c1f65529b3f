// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/announcer.h"

#include <QAccessibleWidget>

namespace zarvoni {

namespace {

// A screen reader speaks a notification when it starts to show: the name of an
// object that neither moves the focus nor needs a place on screen. A change of
// the focused control's description, the other way that does not move the
// focus, goes unspoken: Qt sends it with the control, not the new text, and the
// screen reader tries to speak the control.
QAccessibleInterface *announcerAccessible(const QString &className, QObject *object) {
    if (className == QLatin1String(Announcer::staticMetaObject.className()) && object &&
        object->isWidgetType())
        return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::Notification);
    return nullptr;
}

} // namespace

Announcer::Announcer(QWidget *parent) : QWidget(parent) {
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(&announcerAccessible);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
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
