// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the pending file: whatever stands in ".zarvoni.pending" (a
// store killed at any moment, a disk that lost sectors, a hand that edited it),
// reading the record never fails, shows either that pending pair or the record
// files' pair, finishes the one or sets the other aside, and says so only once.
//
// Input: the bytes of the pending file, beside the pair "5" and "Bruno".

#include "check.h"
#include "scratch.h"

#include "records/codepage.h"
#include "records/posixfilesystem.h"
#include "records/recordfiles.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>

namespace {

using namespace zarvoni::records;
using zarvoni::fuzz::check;
using zarvoni::fuzz::fileBytes;
using zarvoni::fuzz::writeFile;

// A line as a store writes it: no longer than a record file, one CR LF, at its end.
bool isLine(const QByteArray &line) {
    if (line.size() > kMaxRecordFileBytes || !line.endsWith("\r\n"))
        return false;
    const QByteArray body = line.chopped(2);
    return !body.contains('\r') && !body.contains('\n');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray pending(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    PosixFileSystem fileSystem;
    RecordFiles files(zarvoni::fuzz::scratchDirectory(), fileSystem);
    for (const QString &name :
         QDir(files.path({})).entryList(QDir::Files | QDir::Hidden | QDir::System))
        QFile::remove(files.path(name));
    writeFile(files.path(kScoreFile), "5\r\n");
    writeFile(files.path(kNameFile), "Bruno\r\n");
    writeFile(files.path(kPendingFile), pending);

    const qsizetype firstEnd = pending.indexOf("\r\n");
    const QByteArray scoreLine = firstEnd < 0 ? QByteArray() : pending.first(firstEnd + 2);
    const QByteArray nameLine = firstEnd < 0 ? QByteArray() : pending.sliced(firstEnd + 2);
    const bool whole = firstEnd >= 0 && isLine(scoreLine) && isLine(nameLine);

    const ReadResult record = files.read();
    check(record.ok(), "a record with a pending file beside it is always read");
    check(!QFile::exists(files.path(kPendingFile)), "the pending file is finished or set aside");
    if (whole) {
        check(record.pair.score == fromWindows1252(scoreLine) &&
                  record.pair.name == fromWindows1252(nameLine),
              "a whole pending pair is the record");
        check(record.message.isEmpty(), "a whole pending pair is no news");
        check(fileBytes(files.path(kScoreFile)) == scoreLine &&
                  fileBytes(files.path(kNameFile)) == nameLine,
              "a whole pending pair is copied into the files");
    } else {
        check(record.pair.score == u"5\r\n" && record.pair.name == u"Bruno\r\n",
              "a damaged pending file is not the record");
        check(!record.message.isEmpty(), "a damaged pending file is reported");
        check(fileBytes(files.path(kDamagedFile)) == pending, "and set aside as it was");
        check(fileBytes(files.path(kScoreFile)) == "5\r\n" &&
                  fileBytes(files.path(kNameFile)) == "Bruno\r\n",
              "the record files stay as they were");
    }
    const ReadResult again = files.read();
    check(again.ok() && again.message.isEmpty() && again.pair.score == record.pair.score &&
              again.pair.name == record.pair.name,
          "read again, the same record without a word");
    return 0;
}
