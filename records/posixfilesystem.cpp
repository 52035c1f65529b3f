// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/posixfilesystem.h"

#include <QFile>
#include <QLockFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zarvoni::records {

namespace {

// Record files are shared by every pupil of the machine through the games group.
constexpr mode_t kFileMode = 0664;
constexpr mode_t kDirectoryMode = 02775;
constexpr int kLockWaitMs = 3000;
constexpr int kStaleLockMs = 30000;

QByteArray native(const QString &path) {
    return QFile::encodeName(path);
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    // Closes now, reporting a failure that a close of a written file can reveal.
    int close() {
        const int result = ::close(m_fd);
        m_fd = -1;
        return result == 0 ? 0 : errno;
    }

private:
    int m_fd;
};

FileProblem problemOfKind(mode_t mode) {
    if (S_ISDIR(mode))
        return FileProblem::of(FileProblem::Kind::Directory);
    if (S_ISLNK(mode))
        return FileProblem::of(FileProblem::Kind::Link);
    return FileProblem::of(FileProblem::Kind::NotRegular);
}

FileProblem writeAll(int fd, const QByteArray &bytes) {
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return FileProblem::system(errno);
        }
        done += n;
    }
    return {};
}

class QtLock final : public FileSystem::Lock {
public:
    explicit QtLock(const QString &path) : m_file(path) { m_file.setStaleLockTime(kStaleLockMs); }
    QLockFile m_file;
};

} // namespace

FileProblem PosixFileSystem::makeDirectories(const QString &path) {
    const QByteArray full = native(path);
    for (qsizetype i = 1; i <= full.size(); ++i) {
        if (i != full.size() && full[i] != '/')
            continue;
        const QByteArray prefix = full.left(i);
        if (::mkdir(prefix.constData(), kDirectoryMode) != 0 && errno != EEXIST)
            return FileProblem::system(errno);
    }
    struct stat info {};
    if (::stat(full.constData(), &info) != 0)
        return FileProblem::system(errno);
    if (!S_ISDIR(info.st_mode))
        return FileProblem::system(ENOTDIR);
    return {};
}

FileProblem PosixFileSystem::checkWritable(const QString &directory) {
    if (::access(native(directory).constData(), W_OK | X_OK) != 0)
        return FileProblem::system(errno);
    return {};
}

FileProblem PosixFileSystem::createEmpty(const QString &path) {
    FileDescriptor fd(::open(native(path).constData(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kFileMode));
    if (!fd.isOpen())
        return FileProblem::system(errno);
    // The umask may have taken the group's write permission away.
    if (::fchmod(fd.get(), kFileMode) != 0)
        return FileProblem::system(errno);
    if (const int error = fd.close())
        return FileProblem::system(error);
    return {};
}

FileProblem PosixFileSystem::readSmallFile(const QString &path, qint64 maxBytes,
                                           QByteArray &bytes) {
    bytes.clear();
    const QByteArray name = native(path);
    FileDescriptor fd(::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.isOpen()) {
        const int error = errno;
        struct stat info {};
        if ((error == ELOOP || error == ENXIO || error == EISDIR) &&
            ::lstat(name.constData(), &info) == 0)
            return problemOfKind(info.st_mode);
        return FileProblem::system(error);
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        return FileProblem::system(errno);
    if (!S_ISREG(info.st_mode))
        return problemOfKind(info.st_mode);
    if (info.st_size > maxBytes)
        return FileProblem::tooLarge(info.st_size);

    // The file may grow while it is read: never take more than maxBytes.
    bytes.resize(maxBytes + 1);
    qint64 total = 0;
    while (total <= maxBytes) {
        const ssize_t n = ::read(fd.get(), bytes.data() + total, size_t(maxBytes + 1 - total));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            bytes.clear();
            return FileProblem::system(errno);
        }
        if (n == 0)
            break;
        total += n;
    }
    if (total > maxBytes) {
        bytes.clear();
        return FileProblem::tooLarge(total);
    }
    bytes.resize(total);
    return {};
}

FileProblem PosixFileSystem::writeTemporary(const QString &path, const QByteArray &bytes,
                                            QString &temporaryPath) {
    QByteArray pattern = native(path) + ".XXXXXX";
    FileDescriptor fd(::mkostemp(pattern.data(), O_CLOEXEC));
    if (!fd.isOpen())
        return FileProblem::system(errno);
    temporaryPath = QFile::decodeName(pattern);

    FileProblem problem = writeAll(fd.get(), bytes);
    if (!problem.isProblem() && ::fchmod(fd.get(), kFileMode) != 0)
        problem = FileProblem::system(errno);
    if (!problem.isProblem() && ::fsync(fd.get()) != 0)
        problem = FileProblem::system(errno);
    if (const int error = fd.close(); !problem.isProblem() && error != 0)
        problem = FileProblem::system(error);
    if (problem.isProblem()) {
        ::unlink(pattern.constData());
        temporaryPath.clear();
    }
    return problem;
}

FileProblem PosixFileSystem::rename(const QString &from, const QString &to) {
    if (::rename(native(from).constData(), native(to).constData()) != 0)
        return FileProblem::system(errno);
    return {};
}

void PosixFileSystem::remove(const QString &path) {
    ::unlink(native(path).constData());
}

std::unique_ptr<FileSystem::Lock> PosixFileSystem::lock(const QString &path, FileProblem &problem) {
    auto held = std::make_unique<QtLock>(path);
    if (held->m_file.tryLock(kLockWaitMs)) {
        problem = {};
        return held;
    }
    switch (held->m_file.error()) {
    case QLockFile::LockFailedError:
        problem = FileProblem::of(FileProblem::Kind::Busy);
        break;
    case QLockFile::PermissionError:
        problem = FileProblem::system(EACCES);
        break;
    default:
        problem = FileProblem::system(EIO);
        break;
    }
    return nullptr;
}

} // namespace zarvoni::records
