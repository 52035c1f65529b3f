// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/posixfilesystem.h"

#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <memory>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace zarvoni::records {

namespace {

// The record files belong to the games group and are closed to everybody else:
// the files a store creates belong to the pupil who stored, so only a directory
// that others cannot even enter keeps that pupil from rewriting them.
constexpr mode_t kFileMode = 0660;
constexpr mode_t kRecordDirectoryMode = 02770;
constexpr mode_t kParentDirectoryMode = 0755;
constexpr const char *kSharingGroup = "games";
constexpr std::chrono::milliseconds kLockPoll{10};

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
    // Hands the descriptor over: this object no longer closes it.
    int release() { return std::exchange(m_fd, -1); }

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

// Why open failed on name, telling a link, a directory or a FIFO from other errors.
FileProblem openProblem(const QByteArray &name, int error) {
    struct stat info {};
    if ((error == ELOOP || error == ENXIO || error == EISDIR) &&
        ::lstat(name.constData(), &info) == 0)
        return problemOfKind(info.st_mode);
    return FileProblem::system(error);
}

// An open description of anything but a regular file is refused.
FileProblem checkRegular(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return FileProblem::system(errno);
    if (!S_ISREG(info.st_mode))
        return problemOfKind(info.st_mode);
    return {};
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

// Gives a new record directory to the games group where this account may, and the
// installed mode, so that the group's programs can store a record in it.
FileProblem shareDirectory(const QByteArray &path) {
    if (const group *games = ::getgrnam(kSharingGroup)) {
        // Only a member of the group may give it the directory; others keep their own.
        if (::chown(path.constData(), uid_t(-1), games->gr_gid) != 0 && errno != EPERM)
            return FileProblem::system(errno);
    }
    // After the group: a change of group may clear the set-group-id bit.
    if (::chmod(path.constData(), kRecordDirectoryMode) != 0)
        return FileProblem::system(errno);
    return {};
}

// Creates name with flags and the group's mode, whatever the umask; -1 with errno
// set when it cannot, EEXIST when another made it first.
int createWithMode(const QByteArray &name, int flags) {
    const int fd = ::open(name.constData(), flags | O_CREAT | O_EXCL, kFileMode);
    if (fd >= 0 && ::fchmod(fd, kFileMode) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

// Opens the lock file, creating it when it is missing. Only a file this call
// created gets the lock's mode: an existing file keeps its own, whatever it is
// (another file's hard link, a teacher's choice).
int openLockFile(const QByteArray &name) {
    // Never a link, never a wait on a FIFO.
    constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    for (;;) {
        int fd = ::open(name.constData(), O_RDWR | kFlags);
        if (fd >= 0 || errno != ENOENT) {
            if (fd < 0 && (errno == EACCES || errno == EROFS)) {
                // Shared locks, local locks and a read-only disk need no write
                // permission; a lock over NFS does, and then the open above succeeded.
                fd = ::open(name.constData(), O_RDONLY | kFlags);
            }
            return fd;
        }
        fd = createWithMode(name, O_RDWR | kFlags);
        if (fd >= 0 || errno != EEXIST)
            return fd;
        // Another game created it first: open theirs.
    }
}

// Opens a file to append to, creating it when it is missing. Only a file this
// call created gets the group's mode; an existing one keeps its own.
int openToAppend(const QByteArray &name) {
    constexpr int kFlags = O_RDWR | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    for (;;) {
        int fd = ::open(name.constData(), kFlags);
        if (fd >= 0 || errno != ENOENT)
            return fd;
        fd = createWithMode(name, kFlags);
        if (fd >= 0 || errno != EEXIST)
            return fd;
        // Another writer created it first: open theirs.
    }
}

// Whether fd is still the file under name: a lock on a file that was removed or
// replaced meanwhile excludes nobody who opens the name now.
bool isAtName(int fd, const QByteArray &name) {
    struct stat held {};
    struct stat named {};
    return ::fstat(fd, &held) == 0 && ::lstat(name.constData(), &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

// Closing the description releases the lock; so does the kernel when the process
// dies, however it dies.
class KernelLock final : public FileSystem::Lock {
public:
    explicit KernelLock(int fd) : m_fd(fd) {}

private:
    FileDescriptor m_fd;
};

} // namespace

FileProblem readAtMost(int fd, qint64 maxBytes, QByteArray &bytes) {
    bytes.clear();
    // From the C library's allocator, whose sizes the compiler passes on, so that
    // the C library checks each read against the buffer's end.
    const std::unique_ptr<char, decltype(&std::free)> buffer(
        static_cast<char *>(std::malloc(size_t(maxBytes) + 1)), &std::free);
    if (!buffer)
        return FileProblem::system(ENOMEM);
    qint64 total = 0;
    while (total < maxBytes) {
        const ssize_t n = ::read(fd, buffer.get() + total, size_t(maxBytes - total));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return FileProblem::system(errno);
        }
        if (n == 0)
            break;
        total += n;
    }
    bytes = QByteArray(buffer.get(), total);
    return {};
}

FileProblem PosixFileSystem::makeDirectories(const QString &path) {
    QByteArray full = native(path);
    while (full.size() > 1 && full.endsWith('/'))
        full.chop(1);
    for (qsizetype i = 1; i < full.size(); ++i) {
        if (full[i] != '/')
            continue;
        if (::mkdir(full.left(i).constData(), kParentDirectoryMode) != 0 && errno != EEXIST)
            return FileProblem::system(errno);
    }
    if (::mkdir(full.constData(), kRecordDirectoryMode) == 0)
        return shareDirectory(full);
    if (errno != EEXIST)
        return FileProblem::system(errno);
    struct stat info {};
    if (::stat(full.constData(), &info) != 0)
        return FileProblem::system(errno);
    if (!S_ISDIR(info.st_mode))
        return FileProblem::system(ENOTDIR);
    return {};
}

FileProblem PosixFileSystem::makeDirectory(const QString &path) {
    // The group's alone, as the files in it: set-group-id, so that its files
    // take the folder's group on a server that keeps it.
    if (::mkdir(native(path).constData(), kRecordDirectoryMode) != 0)
        return FileProblem::system(errno);
    return {};
}

FileProblem PosixFileSystem::createEmpty(const QString &path) {
    FileDescriptor fd(::open(native(path).constData(),
                             O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kFileMode));
    if (!fd.isOpen())
        return FileProblem::system(errno);
    // The umask may have narrowed the mode.
    if (::fchmod(fd.get(), kFileMode) != 0)
        return FileProblem::system(errno);
    if (const int error = fd.close())
        return FileProblem::system(error);
    return {};
}

FileProblem PosixFileSystem::readBeginning(const QString &path, qint64 maxBytes,
                                           QByteArray &bytes) {
    bytes.clear();
    const QByteArray name = native(path);
    // Opening a device may act on it: look before opening, and check again after.
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0)
        return FileProblem::system(errno);
    if (!S_ISREG(info.st_mode))
        return problemOfKind(info.st_mode);
    FileDescriptor fd(::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!fd.isOpen())
        return openProblem(name, errno);
    if (FileProblem problem = checkRegular(fd.get()); problem.isProblem())
        return problem;

    return readAtMost(fd.get(), maxBytes, bytes);
}

FileProblem PosixFileSystem::identify(const QString &path, FileIdentity &identity) {
    struct stat info {};
    if (::lstat(native(path).constData(), &info) != 0)
        return FileProblem::system(errno);
    constexpr qint64 kNanoseconds = 1'000'000'000;
    identity = {quint64(info.st_dev), quint64(info.st_ino), qint64(info.st_size),
                qint64(info.st_mtim.tv_sec) * kNanoseconds + info.st_mtim.tv_nsec,
                qint64(info.st_ctim.tv_sec) * kNanoseconds + info.st_ctim.tv_nsec};
    return {};
}

FileProblem PosixFileSystem::writeNew(const QString &path, const QByteArray &bytes) {
    const QByteArray name = native(path);
    FileDescriptor fd(
        ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kFileMode));
    if (!fd.isOpen())
        return openProblem(name, errno);

    FileProblem problem = writeAll(fd.get(), bytes);
    if (!problem.isProblem() && ::fchmod(fd.get(), kFileMode) != 0)
        problem = FileProblem::system(errno);
    if (!problem.isProblem() && ::fsync(fd.get()) != 0)
        problem = FileProblem::system(errno);
    if (const int error = fd.close(); !problem.isProblem() && error != 0)
        problem = FileProblem::system(error);
    if (problem.isProblem())
        ::unlink(name.constData());
    return problem;
}

FileProblem PosixFileSystem::appendLine(const QString &path, const QByteArray &line) {
    const QByteArray name = native(path);
    // Opening a device may act on it: look before opening, and check again after.
    struct stat info {};
    if (::lstat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return problemOfKind(info.st_mode);
    FileDescriptor fd(openToAppend(name));
    if (!fd.isOpen())
        return openProblem(name, errno);
    if (::fstat(fd.get(), &info) != 0)
        return FileProblem::system(errno);
    if (!S_ISREG(info.st_mode))
        return problemOfKind(info.st_mode);
    char last = '\n';
    if (info.st_size > 0 && ::pread(fd.get(), &last, 1, info.st_size - 1) != 1)
        last = '\0';
    // One write: the line and, where needed, the line feed that starts it.
    FileProblem problem = writeAll(fd.get(), last == '\n' ? line : '\n' + line);
    if (!problem.isProblem() && ::fsync(fd.get()) != 0)
        problem = FileProblem::system(errno);
    if (const int error = fd.close(); !problem.isProblem() && error != 0)
        problem = FileProblem::system(error);
    return problem;
}

FileProblem PosixFileSystem::rename(const QString &from, const QString &to) {
    if (::rename(native(from).constData(), native(to).constData()) != 0)
        return FileProblem::system(errno);
    return {};
}

FileProblem PosixFileSystem::remove(const QString &path) {
    if (::unlink(native(path).constData()) != 0)
        return FileProblem::system(errno);
    return {};
}

FileProblem PosixFileSystem::syncDirectory(const QString &directory) {
    FileDescriptor fd(::open(native(directory).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.isOpen())
        return FileProblem::system(errno);
    // Some file systems cannot flush a directory on its own; they keep no other promise.
    if (::fsync(fd.get()) != 0 && errno != EINVAL && errno != ENOTSUP)
        return FileProblem::system(errno);
    return {};
}

FileProblem PosixFileSystem::listDirectory(const QString &directory, QStringList &names) {
    names.clear();
    const auto close = [](DIR *open) { ::closedir(open); };
    const std::unique_ptr<DIR, decltype(close)> entries(::opendir(native(directory).constData()),
                                                        close);
    if (!entries)
        return FileProblem::system(errno);
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(entries.get());
        if (!entry)
            break;
        const QByteArrayView name(entry->d_name);
        if (name != "." && name != "..")
            names.append(QFile::decodeName(entry->d_name));
    }
    if (errno != 0)
        return FileProblem::system(errno);
    return {};
}

std::unique_ptr<FileSystem::Lock> PosixFileSystem::lock(const QString &path, LockMode mode,
                                                        std::chrono::milliseconds wait,
                                                        FileProblem &problem) {
    const QByteArray name = native(path);
    const int operation = (mode == LockMode::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        // Opening a device may act on it: only a regular file, or nothing, is opened.
        struct stat info {};
        if (::lstat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
            problem = problemOfKind(info.st_mode);
            return nullptr;
        }
        FileDescriptor fd(openLockFile(name));
        if (!fd.isOpen()) {
            problem = openProblem(name, errno);
            return nullptr;
        }
        if (problem = checkRegular(fd.get()); problem.isProblem())
            return nullptr;
        bool taken = false;
        while (!taken) {
            if (::flock(fd.get(), operation) == 0) {
                taken = true;
            } else if (errno == EINTR) {
                continue;
            } else if (errno != EWOULDBLOCK) {
                problem = FileProblem::system(errno);
                return nullptr;
            } else if (std::chrono::steady_clock::now() >= deadline) {
                problem = FileProblem::of(FileProblem::Kind::Busy);
                return nullptr;
            } else {
                std::this_thread::sleep_for(kLockPoll);
            }
        }
        if (isAtName(fd.get(), name)) {
            problem = {};
            return std::make_unique<KernelLock>(fd.release());
        }
        // Removed or replaced while this game waited: lock what is there now.
        if (std::chrono::steady_clock::now() >= deadline) {
            problem = FileProblem::of(FileProblem::Kind::Busy);
            return nullptr;
        }
    }
}

} // namespace zarvoni::records
