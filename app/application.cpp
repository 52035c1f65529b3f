// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/application.h"

#include "app/screenreaderevents.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStyleFactory>
#include <QTranslator>

namespace zarvoni {

void prepareApplication() {
    if (QStyle *style = QStyleFactory::create(QStringLiteral("Windows")))
        QApplication::setStyle(style);

    auto *translator = new QTranslator(qApp);
    if (translator->load(QLocale(QLocale::Italian), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(translator);

    QApplication::setQuitOnLastWindowClosed(false);
    // The desktop entry's name: the desktop finds the game's icon and name by it.
    QGuiApplication::setDesktopFileName(QStringLiteral(ZARVONI_APP_ID));
    filterScreenReaderEvents();
}

} // namespace zarvoni
