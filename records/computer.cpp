// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/computer.h"

#include <QCryptographicHash>
#include <QRandomGenerator>

#include <cerrno>
#include <chrono>
#include <thread>

namespace zarvoni::records {

namespace {

constexpr qsizetype kMaxFolderName = 63;
constexpr qint64 kMaxIdentityBytes = 256;

bool isKept(QChar character) {
    return (character >= u'a' && character <= u'z') || (character >= u'0' && character <= u'9') ||
           character == u'-' || character == u'_' || character == u'.';
}

} // namespace

QString folderNameFor(const QString &computer) {
    QString folder = computer.toLower().left(kMaxFolderName);
    bool any = false;
    for (QChar &character : folder) {
        if (isKept(character))
            any = any || character != u'.';
        else
            character = u'_';
    }
    // A name of dots alone would be "." or ".." or a hidden folder.
    if (!any || folder.startsWith(u'.'))
        return QStringLiteral("computer") + (any ? folder : QString());
    return folder;
}

FileProblem computerIdentity(FileSystem &fileSystem, const QString &directory, QString &identity) {
    const QString path = directory + kComputerIdFile;
    QByteArray bytes;
    FileProblem problem = fileSystem.readBeginning(path, kMaxIdentityBytes, bytes);
    if (problem.isSystem(ENOENT)) {
        const QByteArray made = QByteArray::number(QRandomGenerator::system()->generate64(), 16)
                                    .rightJustified(16, '0') +
                                QByteArray::number(QRandomGenerator::system()->generate64(), 16)
                                    .rightJustified(16, '0');
        problem = fileSystem.writeNew(path, made + "\r\n");
        // Another game made it first: theirs is the one.
        if (!problem.isProblem() || problem.isSystem(EEXIST))
            problem = fileSystem.readBeginning(path, kMaxIdentityBytes, bytes);
    }
    // Another game may be writing it this very moment: it holds a line once written.
    for (int attempt = 0; !problem.isProblem() && bytes.trimmed().isEmpty() && attempt < 5;
         ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        problem = fileSystem.readBeginning(path, kMaxIdentityBytes, bytes);
    }
    if (problem.isProblem())
        return problem;
    const QByteArray kept = bytes.trimmed();
    if (kept.isEmpty())
        return FileProblem::of(FileProblem::Kind::Damaged);
    const QByteArray machine =
        QCryptographicHash::hash(machineIdentity().toUtf8(), QCryptographicHash::Sha256)
            .toHex()
            .left(16);
    identity = QString::fromLatin1(kept + '-' + machine);
    return {};
}

} // namespace zarvoni::records
