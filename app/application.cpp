// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/application.h"

#include "app/images.h"
#include "app/screenreaderevents.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QStyleFactory>
#include <QTranslator>

#include <cstdio>

namespace zarvoni {

namespace {

// For whoever set the machine up: the game still plays, but with empty buttons.
constexpr const char *kNoPictures =
    "zarvoni: Qt non riesce a disegnare le immagini del gioco: manca il suo modulo "
    "SVG (su Debian, il pacchetto qt6-svg-plugins o libqt6svg6)\n";

} // namespace

void prepareApplication() {
    if (QStyle *style = QStyleFactory::create(QStringLiteral("Windows")))
        QApplication::setStyle(style);

    // From Qt's installation where it has one; a static Qt has none, and its program
    // carries the translation among its resources instead.
    auto *translator = new QTranslator(qApp);
    const QLocale italian(QLocale::Italian);
    const QString name = QStringLiteral("qtbase");
    const QString separator = QStringLiteral("_");
    if (translator->load(italian, name, separator,
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        translator->load(italian, name, separator, QStringLiteral(":/translations")))
        QCoreApplication::installTranslator(translator);

    QApplication::setQuitOnLastWindowClosed(false);
    // The desktop entry's name: the desktop finds the game's icon and name by it.
    QGuiApplication::setDesktopFileName(QStringLiteral(ZARVONI_APP_ID));
    filterScreenReaderEvents();
    // Qt draws SVG pictures through plugins that are packaged apart from it, and
    // without them it draws nothing, silently.
    if (pictureAt(svgIcon(":/images/zarvoni.svg"), 16, 1.0).isNull())
        std::fputs(kNoPictures, stderr);
}

} // namespace zarvoni
