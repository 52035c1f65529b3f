// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/application.h"

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
}

} // namespace zarvoni
