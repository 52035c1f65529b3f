// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/systemsettings.h"

#include "records/fileproblem.h"
#include "records/posixfilesystem.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zarvoni::records {

namespace {

const QString kNotUsed =
    QStringLiteral("Le impostazioni in %1 non sono usate: %2.\n\nSi usa il record di questo "
                   "computer. Chi cura i computer del laboratorio può sistemarle: il file e le "
                   "cartelle che lo contengono devono appartenere a root, e solo root deve "
                   "poterli modificare.");
// No setting file comes near this size.
constexpr qint64 kMaxSettingsBytes = qint64{64} * 1024;

// Only root may have written it: owned by root, writable by nobody else.
bool onlyRootWrites(const struct stat &info) {
    return info.st_uid == 0 && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// Why nobody but root could have put a file at path, or empty.
QString whoElseMayWrite(const QByteArray &path) {
    QByteArray directory = path;
    while (directory.size() > 1) {
        directory.truncate(directory.lastIndexOf('/'));
        if (directory.isEmpty())
            directory = "/";
        struct stat info {};
        if (::stat(directory.constData(), &info) != 0)
            return FileProblem::system(errno).reason();
        if (!onlyRootWrites(info))
            return QStringLiteral("la cartella %1 non è solo di root")
                .arg(QFile::decodeName(directory));
    }
    return {};
}

} // namespace

SystemSettings readSystemSettings(const QString &path) {
    const QByteArray name = QFile::encodeName(path);
    const auto refused = [&](const QString &why) {
        return SystemSettings{{}, kNotUsed.arg(path, why)};
    };
    const int fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT)
            return {};
        return refused(errno == ELOOP ? QStringLiteral("è un collegamento, non un file")
                                      : FileProblem::system(errno).reason());
    }
    struct stat info {};
    QByteArray bytes;
    FileProblem problem;
    if (::fstat(fd, &info) != 0)
        problem = FileProblem::system(errno);
    else if (S_ISREG(info.st_mode) && onlyRootWrites(info))
        problem = readAtMost(fd, kMaxSettingsBytes, bytes);
    ::close(fd);
    if (problem.isProblem())
        return refused(problem.reason());
    if (!S_ISREG(info.st_mode))
        return refused(QStringLiteral("non è un file normale"));
    if (info.st_uid != 0)
        return refused(QStringLiteral("il file non appartiene a root"));
    if (!onlyRootWrites(info))
        return refused(QStringLiteral("anche altri utenti, oltre a root, possono modificarlo"));
    if (const QString why = whoElseMayWrite(name); !why.isEmpty())
        return refused(why);
    return {parseSettings(bytes), {}};
}

} // namespace zarvoni::records
