// SPDX-License-Identifier: GPL-3.0-or-later
#include "keeper/callerslots.h"

#include "records/recordfiles.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zarvoni::keeper {

namespace {
const QString kCallersFile = QStringLiteral(".zarvoni.callers");
constexpr mode_t kFileMode = 0660;
} // namespace

CallerSlot::CallerSlot(const QString &directory, uid_t caller) {
    const QByteArray name =
        QFile::encodeName(records::withTrailingSeparator(directory) + kCallersFile);
    m_fd =
        ::open(name.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, kFileMode);
    struct stat info {};
    if (m_fd < 0 || ::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        m_taken = m_fd < 0;
        return;
    }
    for (int place = 0; place < kKeepersPerCaller && !m_taken; ++place) {
        struct flock byte {};
        byte.l_type = F_WRLCK;
        byte.l_whence = SEEK_SET;
        byte.l_start = off_t(caller) * kKeepersPerCaller + place;
        byte.l_len = 1;
        m_taken = ::fcntl(m_fd, F_OFD_SETLK, &byte) == 0;
    }
}

CallerSlot::~CallerSlot() {
    if (m_fd >= 0)
        ::close(m_fd);
}

QString tooManyKeepers() {
    return QStringLiteral("Richiesta rifiutata: lo stesso utente ha già %1 richieste in corso; "
                          "riprova tra qualche secondo.")
        .arg(kKeepersPerCaller);
}

} // namespace zarvoni::keeper
