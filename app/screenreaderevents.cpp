// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/screenreaderevents.h"

#include "app/surface.h"

#include <QAccessible>
#include <QString>
#include <QWidget>

namespace zarvoni {

namespace {

// The handler that was installed before ours, if any: it gets what passes.
QAccessible::UpdateHandler g_next = nullptr;

void handOn(QAccessibleEvent *event) {
    if (g_next) {
        g_next(event);
        return;
    }
    // Qt gives an event to the platform's bridge only while no handler is installed.
    const QAccessible::UpdateHandler self = QAccessible::installUpdateHandler(nullptr);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(self);
}

void filter(QAccessibleEvent *event) {
    // Nobody listens: there is nothing to hand on, and the event would be dropped anyway.
    if (!g_next && !QAccessible::isActive())
        return;
    if (reachesScreenReader(*event))
        handOn(event);
}

} // namespace

bool reachesScreenReader(const QAccessibleEvent &event) {
    auto *widget = qobject_cast<QWidget *>(event.object());
    if (!widget)
        return true;
    switch (event.type()) {
    case QAccessible::Focus:
    case QAccessible::ObjectCreated:
    case QAccessible::ObjectDestroyed:
    case QAccessible::ObjectReorder:
    case QAccessible::ParentChanged:
        return true;
    case QAccessible::NameChanged:
        if (widget->isWindow() && widget->isMinimized())
            return false;
        break;
    default:
        break;
    }
    const bool onSurface = qobject_cast<const Surface *>(widget) != nullptr ||
                           qobject_cast<const Surface *>(widget->parentWidget()) != nullptr;
    return !onSurface || widget->hasFocus();
}

void setSpokenDescription(QWidget &control, const QString &description) {
    if (control.accessibleDescription() == description)
        return;
    control.setAccessibleDescription(description);
    if (control.hasFocus() || !QAccessible::isActive())
        return;
    // The control's next accessible object, asked for by the focus as it arrives,
    // has a new identity (a new AT-SPI path): what a screen reader kept of the old
    // one, it cannot speak for the new. Nothing is announced: the old object had
    // no focus, so no screen reader was speaking it; one that asks for it again
    // learns that it is gone, and the surface lists the new one in its place.
    if (QAccessibleInterface *old = QAccessible::queryAccessibleInterface(&control))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(old));
}

void filterScreenReaderEvents() {
    static const bool installed = [] {
        g_next = QAccessible::installUpdateHandler(&filter);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace zarvoni
