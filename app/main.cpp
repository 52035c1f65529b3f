// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/application.h"
#include "app/gamesession.h"
#include "app/qtseams.h"
#include "app/recordplace.h"
#include "game/systemrandom.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    zarvoni::prepareApplication();

    zarvoni::SystemRandom random;
    zarvoni::QtDialogs dialogs;
    zarvoni::QtTimeSource time;
    zarvoni::QtProgramEnd end;
    zarvoni::RecordPlace record;
    // After the record's place, so that it goes first: work still running on the
    // record then ends the program before its parts are gone.
    zarvoni::ThreadBackground background;
    zarvoni::GameSession session(zarvoni::Seams{random, dialogs, time, end, record.records(),
                                                record.directory(), background, record.results()});
    session.start();
    return QApplication::exec();
}
