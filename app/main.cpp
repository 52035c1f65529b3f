#include "app/gamesession.h"
#include "app/qtseams.h"
#include "game/systemrandom.h"
#include "records/posixfilesystem.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    // The window decides when the program ends: closing it ends the game, while a
    // restart briefly leaves no window on screen.
    QApplication::setQuitOnLastWindowClosed(false);
    zarvoni::installItalianTranslations();

    zarvoni::SystemRandom random;
    zarvoni::QtDialogs dialogs;
    zarvoni::QtTimeSource time;
    zarvoni::QtProgramEnd end;
    zarvoni::records::PosixFileSystem fileSystem;
    zarvoni::GameSession session(
        zarvoni::Seams{random, dialogs, time, end, fileSystem, QStringLiteral(ZARVONI_RECORD_DIR)});
    session.start();
    return QApplication::exec();
}
