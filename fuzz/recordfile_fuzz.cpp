// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the record files. Anybody can write anything into "eq.txt" and
// "neq.txt": each input is put there, read back as a pair through RecordFiles::read,
// then a new record is stored over it and read back again, with the real file
// system in a temporary directory (set ZARVONI_FUZZ_TMPDIR to keep it off the disk).
//
// Input: old "eq.txt" bytes NUL old "neq.txt" bytes NUL new score NUL new name,
// the last two in UTF-8; missing parts are empty.

#include "check.h"
#include "referencenumber.h"
#include "scratch.h"

#include "game/numberrules.h"
#include "records/codepage.h"
#include "records/posixfilesystem.h"
#include "records/recordfiles.h"

#include <QByteArray>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using namespace zarvoni::records;
using zarvoni::fuzz::check;
using zarvoni::fuzz::fileBytes;
using zarvoni::fuzz::writeFile;
using Outcome = StoreResult::Outcome;

struct Parts {
    QByteArray oldScore;
    QByteArray oldName;
    QByteArray newScore;
    QByteArray newName;
};

Parts split(const std::uint8_t *data, std::size_t size) {
    const QByteArray all(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QList<QByteArray> pieces = all.split('\0');
    Parts parts;
    const std::array fields = {&parts.oldScore, &parts.oldName, &parts.newScore, &parts.newName};
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i < qsizetype(fields.size()))
            *fields[std::size_t(i)] = pieces[i];
        else // a fourth NUL and what follows belong to the name
            parts.newName += '\0' + pieces[i];
    }
    return parts;
}

double reference(const QString &text) {
    return zarvoni::fuzz::referenceLeadingNumber(
        std::u16string_view(QStringView(text).utf16(), static_cast<std::size_t>(text.size())));
}

// The five bytes that Windows-1252 leaves undefined stand for themselves.
bool isUndefinedByte(unsigned char b) {
    return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
}

// Checks the text read from a record file that holds bytes: its beginning, one
// character a byte, and a score that agrees with the reference rule.
void checkRead(const QString &text, const QByteArray &bytes) {
    const QByteArray shown = bytes.first(std::min<qsizetype>(bytes.size(), kMaxRecordFileBytes));
    check(text.size() == shown.size(), "one character a byte, up to the cap");
    for (qsizetype i = 0; i < shown.size(); ++i) {
        const auto b = static_cast<unsigned char>(shown[i]);
        const char16_t c = text[i].unicode();
        if (b < 0x80 || b >= 0xA0 || isUndefinedByte(b))
            check(c == b, "a byte outside 0x80-0x9F is the character of the same number");
        else
            check(c >= 0x100, "a defined byte of 0x80-0x9F is a character beyond Latin-1");
    }
    check(toWindows1252(text) == shown, "Windows-1252 gives back the bytes that were read");

    const double value = zarvoni::leadingNumber(text);
    check(std::isfinite(value), "the stored score reads as a finite number");
    check(value == reference(text), "the stored score agrees with the reference");
}

// A line read back from a record file: what was stored, with a blank for each line
// feed and a "?" for each other character (code point) the line cannot hold, then
// CR LF.
void checkStoredLine(const QString &line, const QString &stored) {
    check(line.endsWith(QStringLiteral("\r\n")), "a stored line ends with CR LF");
    const QList<uint> wanted = stored.toUcs4();
    const QString body = line.chopped(2);
    check(body.size() == wanted.size(), "one character a code point");
    check(!body.contains(u'\r') && !body.contains(u'\n'), "a stored line is one line");
    for (qsizetype i = 0; i < body.size(); ++i)
        check(body[i].unicode() == wanted[i] || body[i] == u'?' ||
                  (wanted[i] == '\n' && body[i] == u' '),
              "each character is kept, or becomes '?', or a blank for a line feed");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const Parts parts = split(data, size);
    PosixFileSystem fileSystem;
    RecordFiles files(zarvoni::fuzz::scratchDirectory(), fileSystem);
    const QString scorePath = files.path(kScoreFile);
    const QString namePath = files.path(kNameFile);
    writeFile(scorePath, parts.oldScore);
    writeFile(namePath, parts.oldName);

    files.prepare();
    check(fileBytes(scorePath) == parts.oldScore && fileBytes(namePath) == parts.oldName,
          "prepare leaves existing files byte for byte");

    const ReadResult old = files.read();
    check(old.ok(), "regular record files are always read");
    checkRead(old.pair.score, parts.oldScore);
    checkRead(old.pair.name, parts.oldName);

    const QString newScore = QString::fromUtf8(parts.newScore);
    const QString newName = QString::fromUtf8(parts.newName);
    const StoreResult result = files.store(newScore, newName);
    const bool unchanged =
        fileBytes(scorePath) == parts.oldScore && fileBytes(namePath) == parts.oldName;
    const QStringList names =
        QDir(files.path({})).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    // The locks exist only once a store has taken them (a better score is kept
    // under the kept scores' lock first): a score that changes nothing takes none.
    check(names == QStringList{kKeptLock, kLockFile, kScoreFile, kNameFile} ||
              names == QStringList{kScoreFile, kNameFile},
          "a store leaves nothing but the pair and the lock behind");

    if (reference(newScore) <= reference(old.pair.score)) {
        check(result.outcome == Outcome::NotBetter, "only a better score is stored");
        check(unchanged, "a score that is not better changes nothing");
        return 0;
    }
    // The longest line a name of the input can give: one byte a code point, CR LF.
    if (newScore.toUcs4().size() + 2 > kMaxRecordFileBytes ||
        newName.toUcs4().size() + 2 > kMaxRecordFileBytes) {
        check(result.outcome == Outcome::Failed && unchanged,
              "a line over the cap is never written");
        return 0;
    }
    check(result.outcome == Outcome::Stored, "a better score is stored");

    const ReadResult stored = files.read();
    check(stored.ok(), "what the game stores, it can read back");
    checkStoredLine(stored.pair.score, newScore);
    checkStoredLine(stored.pair.name, newName);
    check(zarvoni::leadingNumber(stored.pair.score) == zarvoni::leadingNumber(newScore),
          "a score written and read back gives the same number");
    check(files.store(newScore, newName).outcome == Outcome::NotBetter,
          "the same score stored again is not better than itself");
    return 0;
}
