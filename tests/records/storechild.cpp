// SPDX-License-Identifier: GPL-3.0-or-later
// Another game, in a process of its own, for the record files' tests:
//   records_store_child store DIR OP NTH   stores 6 by Anna in DIR, and ends at once
//                                         before the NTH call of operation OP
//                                         (FaultyFileSystem::Op), as a killed game;
//   records_store_child hold DIR           takes the store's lock in DIR, says
//                                         "held", and keeps it until it is killed.

#include "records/faultyfilesystem.h"
#include "records/recordfiles.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv) {
    using namespace zarvoni;
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const QString directory =
        records::withTrailingSeparator(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString());
    if (mode == u"store" && argc == 5) {
        testing::FaultyFileSystem fileSystem;
        fileSystem.before(static_cast<testing::FaultyFileSystem::Op>(QByteArray(argv[3]).toInt()),
                          QByteArray(argv[4]).toInt(),
                          [] { std::_Exit(testing::kKilledExitCode); });
        records::RecordFiles(directory, fileSystem)
            .store(QStringLiteral("6"), QStringLiteral("Anna"));
        return 0;
    }
    if (mode == u"hold" && argc == 3) {
        records::NativeFileSystem fileSystem;
        records::FileProblem problem;
        const auto lock = fileSystem.lock(directory + records::kLockFile,
                                          records::FileSystem::LockMode::Exclusive,
                                          records::kStoreLockWait, problem);
        if (!lock)
            return 1;
        std::puts("held");
        std::fflush(stdout);
        // Until it is killed, or the test that started it closes its input.
        while (std::getchar() != EOF) {
        }
        return 0;
    }
    std::fputs("usage: records_store_child store DIR OP NTH | hold DIR\n", stderr);
    return 2;
}
