// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/recordfiles.h"

#include "game/numberrules.h"
#include "records/codepage.h"

#include <algorithm>
#include <cerrno>

namespace zarvoni::records {

namespace {

const QString kPrepareFailed =
    QStringLiteral("Non riesco a preparare i file dei record.\n%1: %2.\n\nSi gioca lo stesso, "
                   "ma il record non può essere mostrato né registrato.");
const QString kReadFailed =
    QStringLiteral("Non riesco a leggere il file dei record.\n%1: %2.\n\nSi gioca lo stesso, "
                   "ma il record non può essere mostrato.");
const QString kStoreFailed =
    QStringLiteral("Non sono riuscito a registrare il tuo record.\n%1: %2.\n\n"
                   "Il record precedente è rimasto com'era.");

const QByteArray kLineEnd = QByteArrayLiteral("\r\n");

// Record files hold one line of text: a control character other than a line
// break or a tab means something else has been put there.
bool isTextByte(char byte) {
    const auto value = static_cast<unsigned char>(byte);
    return (value >= 0x20 || value == '\t' || value == '\r' || value == '\n') && value != 0x7F;
}

bool isText(const QByteArray &bytes) {
    return std::all_of(bytes.begin(), bytes.end(), isTextByte);
}

// The one line a record file holds for text. A line feed becomes a blank, which the
// number rule skips as it skipped the line feed, and which reads naturally in a
// name. A carriage return, any other control character that a pasted name may
// bring along, and a character Windows-1252 lacks become "?", which ends a number
// where the carriage return ended it.
QByteArray recordLine(QStringView text) {
    QByteArray bytes = toWindows1252(text);
    for (char &byte : bytes) {
        if (byte == '\n')
            byte = ' ';
        else if (byte == '\r' || !isTextByte(byte))
            byte = '?';
    }
    return bytes + kLineEnd;
}

} // namespace

QString withTrailingSeparator(const QString &directory) {
    return directory.endsWith(u'/') ? directory : directory + u'/';
}

RecordFiles::RecordFiles(QString directory, FileSystem &fileSystem)
    : m_directory(std::move(directory)), m_fileSystem(fileSystem) {}

QString RecordFiles::prepare() {
    if (const FileProblem problem = m_fileSystem.makeDirectories(m_directory); problem.isProblem())
        return kPrepareFailed.arg(m_directory, problem.reason());
    if (const FileProblem problem = m_fileSystem.checkWritable(m_directory); problem.isProblem())
        return kPrepareFailed.arg(m_directory, problem.reason());
    for (const QString &fileName : {kScoreFile, kNameFile}) {
        const FileProblem problem = m_fileSystem.createEmpty(path(fileName));
        if (problem.isProblem() && !problem.isSystem(EEXIST))
            return kPrepareFailed.arg(path(fileName), problem.reason());
    }
    return {};
}

ReadResult RecordFiles::read(const QString &fileName) {
    QByteArray bytes;
    FileProblem problem = m_fileSystem.readSmallFile(path(fileName), kMaxRecordFileBytes, bytes);
    if (!problem.isProblem() && !isText(bytes))
        problem = FileProblem::of(FileProblem::Kind::NotText);
    if (problem.isProblem())
        return {{}, readError(fileName, problem)};
    return {fromWindows1252(bytes), {}};
}

StoreResult RecordFiles::store(const QString &score, const QString &name) {
    FileProblem problem;
    const auto lock = m_fileSystem.lock(path(kLockFile), problem);
    if (!lock)
        return failure(QString(), problem); // names the directory

    // Read the pair again under the lock: another game may have ended meanwhile,
    // and a file that cannot be read must not be replaced blindly.
    QByteArray oldScore;
    QByteArray oldName;
    for (const auto &[fileName, bytes] :
         {std::pair{kScoreFile, &oldScore}, {kNameFile, &oldName}}) {
        problem = m_fileSystem.readSmallFile(path(fileName), kMaxRecordFileBytes, *bytes);
        const bool missing = problem.isSystem(ENOENT);
        if (!problem.isProblem() && !isText(*bytes))
            problem = FileProblem::of(FileProblem::Kind::NotText);
        if (problem.isProblem() && !missing)
            return failure(fileName, problem);
    }
    if (leadingNumber(fromWindows1252(oldScore)) >= leadingNumber(score))
        return {StoreResult::Outcome::NotBetter, {}};

    const QByteArray newScore = recordLine(score);
    const QByteArray newName = recordLine(name);
    if (newName.size() > kMaxRecordFileBytes)
        return failure(kNameFile, FileProblem::tooLarge(newName.size()));

    QString scoreTemporary;
    QString nameTemporary;
    problem = m_fileSystem.writeTemporary(path(kScoreFile), newScore, scoreTemporary);
    if (problem.isProblem())
        return failure(kScoreFile, problem);
    problem = m_fileSystem.writeTemporary(path(kNameFile), newName, nameTemporary);
    if (problem.isProblem()) {
        m_fileSystem.remove(scoreTemporary);
        return failure(kNameFile, problem);
    }

    problem = m_fileSystem.rename(scoreTemporary, path(kScoreFile));
    if (problem.isProblem()) {
        m_fileSystem.remove(scoreTemporary);
        m_fileSystem.remove(nameTemporary);
        return failure(kScoreFile, problem);
    }
    problem = m_fileSystem.rename(nameTemporary, path(kNameFile));
    if (problem.isProblem()) {
        // Put the old score back so that it stays paired with the old name.
        m_fileSystem.remove(nameTemporary);
        QString restore;
        if (m_fileSystem.writeTemporary(path(kScoreFile), oldScore, restore).isProblem() ||
            m_fileSystem.rename(restore, path(kScoreFile)).isProblem())
            m_fileSystem.remove(restore);
        return failure(kNameFile, problem);
    }
    return {StoreResult::Outcome::Stored, {}};
}

QString RecordFiles::readError(const QString &fileName, const FileProblem &problem) const {
    return kReadFailed.arg(path(fileName), problem.reason());
}

StoreResult RecordFiles::failure(const QString &fileName, const FileProblem &problem) const {
    return {StoreResult::Outcome::Failed, kStoreFailed.arg(path(fileName), problem.reason())};
}

} // namespace zarvoni::records
