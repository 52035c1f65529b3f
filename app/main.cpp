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
    zarvoni::GameSession session(
        zarvoni::Seams{random, dialogs, time, end, record.records(), record.directory()});
    session.start();
    return QApplication::exec();
}
