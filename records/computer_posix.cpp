// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/computer.h"

#include "records/posixfilesystem.h"

#include <QFile>

#include <array>
#include <fcntl.h>
#include <pwd.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace zarvoni::records {

QString computerName() {
    utsname names{};
    if (::uname(&names) != 0)
        return {};
    return QFile::decodeName(names.nodename);
}

QString accountName() {
    passwd entry{};
    passwd *found = nullptr;
    std::array<char, 4096> buffer{};
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return {};
    return QFile::decodeName(found->pw_name);
}

QString machineIdentity() {
    const int fd = ::open("/etc/machine-id", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    QByteArray bytes;
    const FileProblem problem = readAtMost(fd, 128, bytes);
    ::close(fd);
    return problem.isProblem() ? QString() : QString::fromLatin1(bytes.trimmed());
}

} // namespace zarvoni::records
