// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/resultfiles.h"

#include "records/recordfiles.h"
#include "records/resultline.h"

#include <algorithm>
#include <cerrno>
#include <utility>

namespace zarvoni::records {

namespace {

using LockMode = FileSystem::LockMode;

// No list of fewer bytes passes either bound: its lines need not be counted.
constexpr qint64 kNothingToTrim = std::min(kMaxResultsBytes, kMaxResultsLines *kShortestResultLine);

QDate firstOfMonth(QDate day) {
    return day.isValid() ? QDate(day.year(), day.month(), 1) : QDate();
}

bool isDigits(QStringView text) {
    return std::ranges::all_of(text, [](QChar c) { return c >= u'0' && c <= u'9'; });
}

} // namespace

ResultFiles::ResultFiles(QString folder, QString lockFile, FileSystem &fileSystem)
    : m_folder(std::move(folder)), m_lockFile(std::move(lockFile)), m_fileSystem(fileSystem) {}

QDate ResultFiles::monthOf(const QString &fileName) {
    if (fileName.size() != 11 || !fileName.endsWith(u".txt") || fileName[4] != u'-' ||
        !isDigits(QStringView(fileName).first(4)) || !isDigits(QStringView(fileName).sliced(5, 2)))
        return {};
    return {fileName.first(4).toInt(), fileName.sliced(5, 2).toInt(), 1};
}

QString ResultFiles::fileNameOf(QDate month) {
    return month.toString(QStringLiteral("yyyy-MM")) + QStringLiteral(".txt");
}

FileProblem ResultFiles::append(const QByteArray &line, QDate month) {
    FileProblem problem;
    const auto turn = m_fileSystem.lock(m_lockFile, LockMode::Exclusive, kResultsLockWait, problem);
    if (!turn)
        return problem;
    const QString path = m_folder + fileNameOf(month);
    FileIdentity identity;
    const FileProblem there = m_fileSystem.identify(path, identity);
    // A month's file at the bound, which this account could not trim, takes no more.
    if (!there.isProblem() && identity.size + line.size() > kMaxResultsBytes)
        return FileProblem::tooLarge(identity.size);
    problem = m_fileSystem.appendLine(path, line);
    if (problem.isSystem(ENOENT)) {
        if (problem = m_fileSystem.makeDirectories(m_folder); problem.isProblem())
            return problem;
        problem = m_fileSystem.appendLine(path, line);
    }
    if (problem.isProblem())
        return problem;
    // A new file's name must survive a power cut as its line does.
    if (there.isProblem())
        m_fileSystem.syncDirectory(m_folder);
    trim(month);
    return {};
}

FileProblem ResultFiles::months(QStringList &names) {
    QStringList all;
    if (FileProblem problem = m_fileSystem.listDirectory(m_folder, all); problem.isProblem())
        return problem;
    names.clear();
    for (const QString &name : all) {
        if (monthOf(name).isValid())
            names.append(name);
    }
    names.sort();
    return {};
}

void ResultFiles::trim(QDate month) {
    QStringList names;
    // An account that may only append (a pupil's, on Windows) leaves the trim to
    // one that may read.
    if (months(names).isProblem())
        return;
    const QDate oldest = firstOfMonth(month).addMonths(-kKeptMonths);
    QStringList kept;
    qint64 total = 0;
    for (const QString &name : names) {
        FileIdentity identity;
        if (monthOf(name) < oldest) {
            m_fileSystem.remove(m_folder + name);
        } else if (!m_fileSystem.identify(m_folder + name, identity).isProblem()) {
            kept.append(name);
            total += identity.size;
        }
    }
    if (total <= kNothingToTrim)
        return;
    // Newest first, the lines both bounds keep; the rest goes.
    qint64 lines = 0;
    qint64 bytes = 0;
    for (qsizetype i = kept.size() - 1; i >= 0; --i) {
        QByteArray content;
        if (m_fileSystem.readBeginning(m_folder + kept[i], kMaxResultsBytes + 1, content)
                .isProblem())
            return;
        qsizetype start = content.size();
        while (start > 0) {
            const qsizetype previous =
                start >= 2 ? content.lastIndexOf('\n', start - 2) : qsizetype(-1);
            const qsizetype lineStart = previous + 1;
            if (lines + 1 > kMaxResultsLines || bytes + (start - lineStart) > kMaxResultsBytes)
                break;
            ++lines;
            bytes += start - lineStart;
            start = lineStart;
        }
        if (start == 0)
            continue;
        keepEnd(kept[i], content, start);
        for (qsizetype older = 0; older < i; ++older)
            m_fileSystem.remove(m_folder + kept[older]);
        return;
    }
}

void ResultFiles::keepEnd(const QString &fileName, const QByteArray &bytes, qsizetype from) {
    if (from >= bytes.size()) {
        m_fileSystem.remove(m_folder + fileName);
        return;
    }
    const QString temporary = m_folder + temporaryName(fileName);
    m_fileSystem.remove(temporary); // a trim cut short left it, mostly not there
    if (m_fileSystem.writeNew(temporary, bytes.sliced(from)).isProblem())
        return;
    if (m_fileSystem.rename(temporary, m_folder + fileName).isProblem()) {
        m_fileSystem.remove(temporary);
        return;
    }
    m_fileSystem.syncDirectory(m_folder);
}

QStringList ResultFiles::read(QDate first, QDate last, std::vector<ResultSegment> &segments) {
    QStringList names;
    if (FileProblem problem = months(names); problem.isProblem()) {
        if (problem.isSystem(ENOENT) || problem.isSystem(ENOTDIR))
            return {};
        return {m_folder + QStringLiteral(": ") + problem.reason()};
    }
    const QDate from = firstOfMonth(first);
    const QDate to = firstOfMonth(last);
    QStringList problems;
    for (const QString &name : names) {
        const QDate month = monthOf(name);
        if ((from.isValid() && month < from) || (to.isValid() && month > to))
            continue;
        ResultSegment segment{m_folder + name, {}};
        if (FileProblem problem =
                m_fileSystem.readBeginning(segment.path, kMaxResultsBytes, segment.bytes);
            problem.isProblem())
            problems.append(segment.path + QStringLiteral(": ") + problem.reason());
        else
            segments.push_back(std::move(segment));
    }
    return problems;
}

FileProblem ResultFiles::erase() {
    QStringList all;
    if (FileProblem problem = m_fileSystem.listDirectory(m_folder, all); problem.isProblem())
        return problem.isSystem(ENOENT) || problem.isSystem(ENOTDIR) ? FileProblem{} : problem;
    FileProblem first;
    for (const QString &name : all) {
        if (!monthOf(name).isValid() && !name.startsWith(kTemporaryPrefix))
            continue;
        if (FileProblem problem = m_fileSystem.remove(m_folder + name);
            problem.isProblem() && !first.isProblem())
            first = problem;
    }
    m_fileSystem.syncDirectory(m_folder);
    return first;
}

} // namespace zarvoni::records
