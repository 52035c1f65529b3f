// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Gives the widgets of one of our classes an accessible interface of our own.

#include <QAccessible>
#include <QWidget>

namespace zarvoni {

// Installs, once, a factory that gives each widget of class T the interface that
// make returns for it.
template <class T, QAccessibleInterface *(*make)(QWidget *)> void installAccessibleFactory() {
    static const bool installed = [] {
        QAccessible::installFactory(
            [](const QString &className, QObject *object) -> QAccessibleInterface * {
                if (className == QLatin1String(T::staticMetaObject.className()) && object &&
                    object->isWidgetType())
                    return make(static_cast<QWidget *>(object));
                return nullptr;
            });
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace zarvoni
