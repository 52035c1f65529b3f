// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/application.h"
#include "app/gamesession.h"
#include "app/qtseams.h"
#include "game/systemrandom.h"
#include "keeper/client.h"
#include "records/posixfilesystem.h"
#include "records/recordfiles.h"

#include <QApplication>

#include <memory>

int main(int argc, char *argv[]) {
    QApplication app(argc, argv);
    zarvoni::prepareApplication();

    zarvoni::SystemRandom random;
    zarvoni::QtDialogs dialogs;
    zarvoni::QtTimeSource time;
    zarvoni::QtProgramEnd end;
    // The installed game reads and stores the record through the record keeper,
    // which alone may write the record directory; without one, the game does it.
    const QString recordDirectory = QStringLiteral(ZARVONI_RECORD_DIR);
    const QString keeper = QStringLiteral(ZARVONI_KEEPER);
    zarvoni::records::PosixFileSystem fileSystem;
    std::unique_ptr<zarvoni::records::RecordStore> records;
    if (zarvoni::keeper::isInstalled(keeper))
        records = std::make_unique<zarvoni::keeper::KeeperRecords>(keeper, recordDirectory);
    else
        records = std::make_unique<zarvoni::records::InProcessRecords>(recordDirectory, fileSystem);
    zarvoni::GameSession session(
        zarvoni::Seams{random, dialogs, time, end, *records, recordDirectory});
    session.start();
    return QApplication::exec();
}
