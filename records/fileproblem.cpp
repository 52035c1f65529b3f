// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/fileproblem.h"

#include <cerrno>
#include <cstring>

namespace zarvoni::records {

namespace {

QString otherReason(int errorNumber, const QString &text) {
    return QStringLiteral("errore di sistema %1 (%2)").arg(errorNumber).arg(text);
}

QString systemReason(int errorNumber) {
    switch (errorNumber) {
    case ENOENT:
        return QStringLiteral("non esiste");
    case EEXIST:
        return QStringLiteral("c'è già qualcosa con questo nome");
    case EACCES:
    case EPERM:
        return QStringLiteral("permesso negato");
    case EROFS:
        return QStringLiteral("il disco è in sola lettura");
    case ENOSPC:
#ifdef EDQUOT // not every C library has disk quotas
    case EDQUOT:
#endif
        return QStringLiteral("il disco è pieno");
    case ENOTDIR:
        return QStringLiteral("una parte del percorso non è una cartella");
    case EISDIR:
        return QStringLiteral("è una cartella, non un file");
    case ELOOP:
        return QStringLiteral("è un collegamento simbolico");
    case ENXIO:
        return QStringLiteral("non è un file normale");
    case EIO:
        return QStringLiteral("errore del disco");
    case EFBIG:
        return QStringLiteral("supera la dimensione dei file concessa");
    case EMFILE:
    case ENFILE:
        return QStringLiteral("troppi file aperti");
    case ENAMETOOLONG:
        return QStringLiteral("il percorso è troppo lungo");
    default:
        return otherReason(errorNumber, QString::fromLocal8Bit(std::strerror(errorNumber)));
    }
}

} // namespace

QString FileProblem::reason() const {
    switch (kind) {
    case Kind::None:
        return {};
    case Kind::System:
        return systemReason(errorNumber);
    case Kind::Directory:
        return QStringLiteral("è una cartella, non un file");
    case Kind::Link:
        return QStringLiteral("è un collegamento simbolico, non un file");
    case Kind::NotRegular:
        return QStringLiteral("non è un file normale");
    case Kind::TooLarge:
        return QStringLiteral("sarebbe troppo grande per un file dei record (%1 byte)").arg(size);
    case Kind::Busy:
        return QStringLiteral("è occupato da un'altra partita");
    case Kind::Damaged:
        return QStringLiteral("non contiene un record intero");
    case Kind::Platform:
        return otherReason(errorNumber, text);
    }
    return {};
}

} // namespace zarvoni::records
