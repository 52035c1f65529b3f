// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/application.h"
#include "app/gamesession.h"
#include "app/qtseams.h"
#include "game/systemrandom.h"
#include "records/posixfilesystem.h"
#include "records/recordfiles.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    zarvoni::prepareApplication();

    zarvoni::SystemRandom random;
    zarvoni::QtDialogs dialogs;
    zarvoni::QtTimeSource time;
    zarvoni::QtProgramEnd end;
    const QString recordDirectory = QStringLiteral(ZARVONI_RECORD_DIR);
    zarvoni::records::PosixFileSystem fileSystem;
    zarvoni::records::InProcessRecords records(recordDirectory, fileSystem);
    zarvoni::GameSession session(
        zarvoni::Seams{random, dialogs, time, end, records, recordDirectory});
    session.start();
    return QApplication::exec();
}
