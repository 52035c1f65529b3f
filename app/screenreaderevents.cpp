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
    // A control's description is set before the focus reaches it, and a screen
    // reader that keeps its own copy of each control's properties would speak the
    // old one when the focus arrives. It speaks none of these while the control
    // lacks the focus, and they are few: one for each exercise and each answer.
    case QAccessible::DescriptionChanged:
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
    QAccessibleInterface *old = QAccessible::queryAccessibleInterface(&control);
    if (!old)
        return;
    QAccessibleEvent gone(&control, QAccessible::ObjectDestroyed);
    QAccessible::updateAccessibility(&gone);
    QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(old));
    QAccessibleEvent made(&control, QAccessible::ObjectCreated);
    QAccessible::updateAccessibility(&made);
}

void filterScreenReaderEvents() {
    static const bool installed = [] {
        g_next = QAccessible::installUpdateHandler(&filter);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace zarvoni
