// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/windowsfilesystem.h"

#include "records/recordfiles.h"

#include <QDir>

#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include <cerrno>
#include <string>
#include <thread>
#include <utility>

namespace zarvoni::records {

namespace {

using Kind = FileProblem::Kind;
using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kLockPoll{10};
// A virus scanner or an indexer may hold a file that was just written for a
// moment, and a rename over it or its removal fails meanwhile.
constexpr std::chrono::milliseconds kSharingWait{1'000};
// Another game may read, replace or remove any file the game holds open: a
// rename never waits for a reader.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Modify (read, write, execute, delete) for the built-in Users group, on the
// folder and everything created in it.
constexpr const wchar_t *kSharedFolderRights = L"D:(A;OICI;0x1301bf;;;BU)";
// Opens the entry itself: a link or a junction is never followed, and a directory
// opens too, so that it can be told from a file.
constexpr DWORD kOpenEntry = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;
// A quota's refusal, which not every set of Windows headers names.
constexpr DWORD kDiskQuotaExceeded = 1295;
// The whole file, whatever its size: the lock file holds nothing.
constexpr DWORD kWholeRange = MAXDWORD;

std::wstring native(const QString &path) {
    return QDir::toNativeSeparators(path).toStdWString();
}

// The system's own words for an error, in the language of its user.
QString systemText(DWORD error) {
    wchar_t *buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t *>(&buffer), 0, nullptr);
    QString text = QString::fromWCharArray(buffer, length).trimmed();
    LocalFree(buffer);
    // The message that shows it ends the sentence itself.
    while (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

// The error in the words the game already has for the C library's error numbers;
// one without a counterpart keeps its number and the system's text.
FileProblem windowsProblem(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
        return FileProblem::system(ENOENT);
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return FileProblem::system(EEXIST);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
        return FileProblem::system(EACCES);
    case ERROR_WRITE_PROTECT:
        return FileProblem::system(EROFS);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
    case kDiskQuotaExceeded:
        return FileProblem::system(ENOSPC);
    case ERROR_DIRECTORY:
        return FileProblem::system(ENOTDIR);
    case ERROR_CANT_RESOLVE_FILENAME: // links that lead round in a circle
        return FileProblem::system(ELOOP);
    case ERROR_TOO_MANY_OPEN_FILES:
        return FileProblem::system(EMFILE);
    case ERROR_FILENAME_EXCED_RANGE:
        return FileProblem::system(ENAMETOOLONG);
    case ERROR_FILE_TOO_LARGE:
        return FileProblem::system(EFBIG);
    case ERROR_CRC:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_IO_DEVICE:
    case ERROR_NOT_READY:
        return FileProblem::system(EIO);
    default:
        return FileProblem::platform(int(error), systemText(error));
    }
}

FileProblem lastProblem() {
    return windowsProblem(GetLastError());
}

class Handle {
public:
    explicit Handle(HANDLE handle) : m_handle(handle) {}
    ~Handle() {
        if (isOpen())
            CloseHandle(m_handle);
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;
    HANDLE get() const { return m_handle; }
    bool isOpen() const { return m_handle != INVALID_HANDLE_VALUE; }
    // Hands the handle over: this object no longer closes it.
    HANDLE release() { return std::exchange(m_handle, INVALID_HANDLE_VALUE); }
    // Closes now, reporting a failure that the close of a written file can reveal.
    FileProblem close() {
        if (CloseHandle(std::exchange(m_handle, INVALID_HANDLE_VALUE)))
            return {};
        return lastProblem();
    }

private:
    HANDLE m_handle;
};

// Anything but a plain file: a reparse point that stands for another name is
// reported as a link, whatever it points to.
FileProblem kindProblem(DWORD attributes, DWORD reparseTag) {
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return FileProblem::of(IsReparseTagNameSurrogate(reparseTag) ? Kind::Link
                                                                     : Kind::NotRegular);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return FileProblem::of(Kind::Directory);
    if (attributes & FILE_ATTRIBUTE_DEVICE)
        return FileProblem::of(Kind::NotRegular);
    return {};
}

// An open handle of anything but a file on a disk is refused.
FileProblem checkRegular(HANDLE handle) {
    if (GetFileType(handle) != FILE_TYPE_DISK)
        return FileProblem::of(Kind::NotRegular);
    FILE_ATTRIBUTE_TAG_INFO info{};
    if (!GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &info, sizeof info))
        return lastProblem();
    return kindProblem(info.FileAttributes, info.ReparseTag);
}

// Why an operation on name failed. Windows says only that the path was not found
// where one of its folders is a file: told from a missing folder, as elsewhere.
FileProblem nameProblem(const std::wstring &name, DWORD error) {
    if (error == ERROR_PATH_NOT_FOUND) {
        for (std::size_t end = name.rfind(L'\\'); end != std::wstring::npos && end > 0;
             end = name.rfind(L'\\', end - 1)) {
            const DWORD attributes = GetFileAttributesW(name.substr(0, end).c_str());
            if (attributes == INVALID_FILE_ATTRIBUTES)
                continue;
            if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
                return FileProblem::system(ENOTDIR);
            break;
        }
    }
    return windowsProblem(error);
}

// Why an open of name, or a rename onto it, failed: a directory or a link that
// stands there is told from other refusals.
FileProblem openProblem(const std::wstring &name, DWORD error) {
    if (error == ERROR_ACCESS_DENIED) {
        const Handle entry(CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                       OPEN_EXISTING, kOpenEntry, nullptr));
        if (entry.isOpen()) {
            if (FileProblem kind = checkRegular(entry.get());
                !kind.is(Kind::None) && !kind.is(Kind::System) && !kind.is(Kind::Platform))
                return kind;
        }
    }
    return nameProblem(name, error);
}

FileProblem identityOf(HANDLE handle, FileIdentity &identity) {
    BY_HANDLE_FILE_INFORMATION info{};
    FILE_BASIC_INFO times{};
    if (!GetFileInformationByHandle(handle, &info) ||
        !GetFileInformationByHandleEx(handle, FileBasicInfo, &times, sizeof times))
        return lastProblem();
    identity = {info.dwVolumeSerialNumber,
                (quint64(info.nFileIndexHigh) << 32) | info.nFileIndexLow,
                qint64((quint64(info.nFileSizeHigh) << 32) | info.nFileSizeLow),
                times.LastWriteTime.QuadPart, times.ChangeTime.QuadPart};
    return {};
}

FileProblem identityAt(const std::wstring &name, FileIdentity &identity) {
    // Attributes only: opening the entry this way reads nothing and waits for nobody.
    const Handle entry(CreateFileW(name.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                   OPEN_EXISTING, kOpenEntry, nullptr));
    if (!entry.isOpen())
        return nameProblem(name, GetLastError());
    return identityOf(entry.get(), identity);
}

FileProblem writeAll(HANDLE handle, const QByteArray &bytes) {
    constexpr qsizetype kChunk = 1 << 20;
    qsizetype done = 0;
    while (done < bytes.size()) {
        const qsizetype left = bytes.size() - done;
        DWORD written = 0;
        if (!WriteFile(handle, bytes.constData() + done, DWORD(left < kChunk ? left : kChunk),
                       &written, nullptr))
            return lastProblem();
        done += qsizetype(written);
    }
    return {};
}

// Runs attempt again, for a short while, as long as another program holds the file.
template <typename Attempt> bool whileHeld(Attempt attempt) {
    const auto deadline = Clock::now() + kSharingWait;
    for (;;) {
        if (attempt())
            return true;
        const DWORD error = GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) ||
            Clock::now() >= deadline) {
            SetLastError(error);
            return false;
        }
        std::this_thread::sleep_for(kLockPoll);
    }
}

// Where the levels a game may create begin: after the drive's root or the share
// (C:\ or \\server\share in C:\ProgramData or \\server\share\Zarvoni), which nobody
// creates; anywhere in a relative path. Nowhere in a path that is only a share.
std::size_t rootEnd(const std::wstring &path) {
    if (path.size() > 2 && path[1] == L':' && path[2] == L'\\')
        return 2;
    if (path.rfind(L"\\\\", 0) != 0)
        return 0;
    const std::size_t server = path.find(L'\\', 2);
    return server == std::wstring::npos ? server : path.find(L'\\', server + 1);
}

// One level of a directory path: created (with the given rights, or its parent's),
// or already a directory.
FileProblem makeLevel(const std::wstring &level, SECURITY_ATTRIBUTES *rights = nullptr) {
    if (CreateDirectoryW(level.c_str(), rights))
        return {};
    const DWORD error = GetLastError();
    // A level this account may not create may be there already, such as a share.
    const DWORD attributes = GetFileAttributesW(level.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return windowsProblem(error);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return FileProblem::system(ENOTDIR);
    return {};
}

// Opens the lock file, creating it when it is missing. A shared lock, or a lock on
// a read-only disk, needs no write access.
HANDLE openLockFile(const std::wstring &name) {
    HANDLE handle = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, kShareAll, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | kOpenEntry, nullptr);
    const DWORD error = GetLastError();
    if (handle != INVALID_HANDLE_VALUE ||
        (error != ERROR_ACCESS_DENIED && error != ERROR_WRITE_PROTECT))
        return handle;
    handle = CreateFileW(name.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING, kOpenEntry,
                         nullptr);
    if (handle == INVALID_HANDLE_VALUE)
        SetLastError(error); // why the file could not be made, not that it is missing
    return handle;
}

// The system drops the lock when the process ends, however it ends; a game that
// lives on unlocks at once rather than whenever the system closes the file.
class FileLock final : public FileSystem::Lock {
public:
    explicit FileLock(HANDLE handle) : m_handle(handle) {}
    ~FileLock() override {
        OVERLAPPED whole{};
        UnlockFileEx(m_handle.get(), 0, kWholeRange, kWholeRange, &whole);
    }
    HANDLE handle() const { return m_handle.get(); }

private:
    Handle m_handle;
};

// Whether the locked file is still the one under name: a lock on a file that was
// removed or replaced meanwhile excludes nobody who opens the name now.
bool isAtName(HANDLE held, const std::wstring &name) {
    FileIdentity locked;
    FileIdentity named;
    return !identityOf(held, locked).isProblem() && !identityAt(name, named).isProblem() &&
           locked.device == named.device && locked.file == named.file;
}

} // namespace

FileProblem WindowsFileSystem::makeDirectories(const QString &path) {
    std::wstring full = native(path);
    while (full.size() > 1 && full.back() == L'\\')
        full.pop_back();
    if (const std::size_t root = rootEnd(full); root != std::wstring::npos) {
        for (std::size_t end = full.find(L'\\', root + 1); end != std::wstring::npos;
             end = full.find(L'\\', end + 1)) {
            if (FileProblem problem = makeLevel(full.substr(0, end)); problem.isProblem())
                return problem;
        }
    }
    // The record folder is shared by every pupil of the machine. Under ProgramData
    // each file would be only its creator's to replace, so a folder the game makes
    // gives the Users group the right to modify what is in it, as the installer's
    // does, besides what it inherits from its parent.
    PSECURITY_DESCRIPTOR shared = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kSharedFolderRights, SDDL_REVISION_1,
                                                              &shared, nullptr))
        return windowsProblem(GetLastError());
    SECURITY_ATTRIBUTES rights{sizeof(SECURITY_ATTRIBUTES), shared, FALSE};
    FileProblem problem = makeLevel(full, &rights);
    LocalFree(shared);
    return problem;
}

FileProblem WindowsFileSystem::makeDirectory(const QString &path) {
    // No rights of its own: on a school's server, the folder's are the technician's.
    const std::wstring name = native(path);
    if (!CreateDirectoryW(name.c_str(), nullptr))
        return windowsProblem(GetLastError());
    return {};
}

FileProblem WindowsFileSystem::createEmpty(const QString &path) {
    const std::wstring name = native(path);
    Handle file(CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.isOpen())
        return nameProblem(name, GetLastError());
    return file.close();
}

FileProblem WindowsFileSystem::readBeginning(const QString &path, qint64 maxBytes,
                                             QByteArray &bytes) {
    bytes.clear();
    const std::wstring name = native(path);
    const Handle file(CreateFileW(name.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                  kOpenEntry, nullptr));
    if (!file.isOpen())
        return openProblem(name, GetLastError());
    if (FileProblem problem = checkRegular(file.get()); problem.isProblem())
        return problem;

    // A file on a disk: every read returns at once, and an empty one ends it.
    QByteArray buffer(qsizetype(maxBytes), Qt::Uninitialized);
    qint64 total = 0;
    while (total < maxBytes) {
        constexpr qint64 kChunk = 1 << 20;
        const qint64 left = maxBytes - total;
        DWORD read = 0;
        if (!ReadFile(file.get(), buffer.data() + total, DWORD(left < kChunk ? left : kChunk),
                      &read, nullptr))
            return lastProblem();
        if (read == 0)
            break;
        total += read;
    }
    buffer.truncate(qsizetype(total));
    bytes = buffer;
    return {};
}

FileProblem WindowsFileSystem::identify(const QString &path, FileIdentity &identity) {
    return identityAt(native(path), identity);
}

FileProblem WindowsFileSystem::writeNew(const QString &path, const QByteArray &bytes) {
    const std::wstring name = native(path);
    Handle file(CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.isOpen())
        return openProblem(name, GetLastError());

    FileProblem problem = writeAll(file.get(), bytes);
    if (!problem.isProblem() && !FlushFileBuffers(file.get()))
        problem = lastProblem();
    if (const FileProblem closed = file.close(); !problem.isProblem())
        problem = closed;
    if (problem.isProblem())
        DeleteFileW(name.c_str());
    return problem;
}

FileProblem WindowsFileSystem::appendLine(const QString &path, const QByteArray &line) {
    const std::wstring name = native(path);
    // The right to append alone: a pupil's account may add to a results file that
    // it may neither read nor overwrite, and every write lands at its end.
    Handle file(CreateFileW(name.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file.isOpen())
        return openProblem(name, GetLastError());
    if (FileProblem problem = checkRegular(file.get()); problem.isProblem())
        return problem;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size))
        return lastProblem();
    char last = '\n';
    if (size.QuadPart > 0) {
        // Where the account may not read the file, its last line is taken as cut.
        last = '\0';
        const Handle reader(CreateFileW(name.c_str(), GENERIC_READ, kShareAll, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
        LARGE_INTEGER end{};
        end.QuadPart = size.QuadPart - 1;
        DWORD read = 0;
        if (!reader.isOpen() || !SetFilePointerEx(reader.get(), end, nullptr, FILE_BEGIN) ||
            !ReadFile(reader.get(), &last, 1, &read, nullptr) || read != 1)
            last = '\0';
    }
    FileProblem problem = writeAll(file.get(), last == '\n' ? line : '\n' + line);
    if (!problem.isProblem() && !FlushFileBuffers(file.get()))
        problem = lastProblem();
    if (const FileProblem closed = file.close(); !problem.isProblem())
        problem = closed;
    return problem;
}

FileProblem WindowsFileSystem::rename(const QString &from, const QString &to) {
    const std::wstring source = native(from);
    const std::wstring target = native(to);
    // Renames the entry at target away, whatever it is: a link there is replaced,
    // never written through.
    if (!whileHeld([&] {
            return MoveFileExW(source.c_str(), target.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        }))
        return openProblem(target, GetLastError());
    return {};
}

FileProblem WindowsFileSystem::remove(const QString &path) {
    const std::wstring name = native(path);
    if (!whileHeld([&] { return DeleteFileW(name.c_str()); }))
        return openProblem(name, GetLastError());
    return {};
}

FileProblem WindowsFileSystem::syncDirectory(const QString &) {
    // Windows offers no way to flush a directory's entries on their own; every
    // rename was made with MOVEFILE_WRITE_THROUGH, which returns only once the move
    // is on the disk, so nothing is left here to flush.
    return {};
}

FileProblem WindowsFileSystem::listDirectory(const QString &directory, QStringList &names) {
    names.clear();
    const std::wstring pattern = native(withTrailingSeparator(directory)) + L'*';
    WIN32_FIND_DATAW entry{};
    const HANDLE found = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &entry,
                                          FindExSearchNameMatch, nullptr, 0);
    if (found == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? FileProblem{} : windowsProblem(error);
    }
    DWORD error = ERROR_SUCCESS;
    for (;;) {
        const QString name = QString::fromWCharArray(entry.cFileName);
        if (name != u"." && name != u"..")
            names.append(name);
        if (!FindNextFileW(found, &entry)) {
            error = GetLastError();
            break;
        }
    }
    FindClose(found);
    return error == ERROR_NO_MORE_FILES ? FileProblem{} : windowsProblem(error);
}

std::unique_ptr<FileSystem::Lock> WindowsFileSystem::lock(const QString &path, LockMode mode,
                                                          std::chrono::milliseconds wait,
                                                          FileProblem &problem) {
    const std::wstring name = native(path);
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY |
                        (mode == LockMode::Exclusive ? DWORD{LOCKFILE_EXCLUSIVE_LOCK} : DWORD{0});
    const auto deadline = Clock::now() + wait;
    for (;;) {
        Handle file(openLockFile(name));
        if (!file.isOpen()) {
            problem = openProblem(name, GetLastError());
            return nullptr;
        }
        if (problem = checkRegular(file.get()); problem.isProblem())
            return nullptr;
        for (;;) {
            OVERLAPPED whole{};
            if (LockFileEx(file.get(), flags, 0, kWholeRange, kWholeRange, &whole))
                break;
            const DWORD error = GetLastError();
            if (error != ERROR_LOCK_VIOLATION) {
                problem = windowsProblem(error);
                return nullptr;
            }
            if (Clock::now() >= deadline) {
                problem = FileProblem::of(Kind::Busy);
                return nullptr;
            }
            std::this_thread::sleep_for(kLockPoll);
        }
        auto held = std::make_unique<FileLock>(file.release());
        if (isAtName(held->handle(), name)) {
            problem = {};
            return held;
        }
        // Removed or replaced while this game waited: lock what is there now.
        if (Clock::now() >= deadline) {
            problem = FileProblem::of(Kind::Busy);
            return nullptr;
        }
    }
}

} // namespace zarvoni::records
