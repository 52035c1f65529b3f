// SPDX-License-Identifier: GPL-3.0-or-later
// Fuzz target for the record files. Anybody can write anything into "eq.txt" and
// "neq.txt": each input is put there, read back through RecordFiles::read, then a
// new record is stored over it and read back again, with the real file system in
// a temporary directory (set ZARVONI_FUZZ_TMPDIR to keep it off the disk).
//
// Input: old "eq.txt" bytes NUL old "neq.txt" bytes NUL new score NUL new name,
// the last two in UTF-8; missing parts are empty.

#include "check.h"
#include "referencenumber.h"

#include "game/numberrules.h"
#include "records/codepage.h"
#include "records/posixfilesystem.h"
#include "records/recordfiles.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace {

using namespace zarvoni::records;
using zarvoni::fuzz::check;
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

// What a record file may hold: one byte a character, tabs and line breaks, no
// other control byte.
bool referenceIsText(const QByteArray &bytes) {
    return std::ranges::none_of(bytes, [](char byte) {
        const auto b = static_cast<unsigned char>(byte);
        return (b < 0x20 && b != '\t' && b != '\r' && b != '\n') || b == 0x7F;
    });
}

// The five bytes that Windows-1252 leaves undefined stand for themselves.
bool isUndefinedByte(unsigned char b) {
    return b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
}

QString directory() {
    static QTemporaryDir dir(qEnvironmentVariable("ZARVONI_FUZZ_TMPDIR", QDir::tempPath()) +
                             QStringLiteral("/zarvoni-fuzz-XXXXXX"));
    check(dir.isValid(), "a temporary directory can be made");
    return withTrailingSeparator(dir.path());
}

void writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
              file.write(bytes) == bytes.size(),
          "the fuzz input can be written to a record file");
}

QByteArray fileBytes(const QString &path) {
    QFile file(path);
    check(file.open(QIODevice::ReadOnly), "a record file can be opened again");
    return file.readAll();
}

// Reads a file holding bytes and checks the result; the text when it was read.
std::optional<QString> checkRead(RecordFiles &files, const QString &fileName,
                                 const QByteArray &bytes) {
    const ReadResult result = files.read(fileName);
    const bool readable = bytes.size() <= kMaxRecordFileBytes && referenceIsText(bytes);
    check(result.ok() == readable, "a record file is read exactly when it holds text");
    if (!result.ok()) {
        check(result.text.isEmpty(), "a file that was not read gives no text");
        check(result.error.contains(files.path(fileName)), "the message names the file");
        return std::nullopt;
    }

    const QString &text = result.text;
    check(text.size() == bytes.size(), "one character a byte");
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const char16_t c = text[i].unicode();
        if (b < 0x80 || b >= 0xA0 || isUndefinedByte(b))
            check(c == b, "a byte outside 0x80-0x9F is the character of the same number");
        else
            check(c >= 0x100, "a defined byte of 0x80-0x9F is a character beyond Latin-1");
    }
    check(toWindows1252(text) == bytes, "Windows-1252 gives back the bytes that were read");

    const double value = zarvoni::leadingNumber(text);
    check(std::isfinite(value), "the stored score reads as a finite number");
    check(value == reference(text), "the stored score agrees with the reference");
    return text;
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
    RecordFiles files(directory(), fileSystem);
    const QString scorePath = files.path(kScoreFile);
    const QString namePath = files.path(kNameFile);
    writeFile(scorePath, parts.oldScore);
    writeFile(namePath, parts.oldName);

    check(files.prepare().isEmpty(), "prepare accepts a directory holding both files");
    check(fileBytes(scorePath) == parts.oldScore && fileBytes(namePath) == parts.oldName,
          "prepare leaves existing files byte for byte");

    const std::optional<QString> oldScore = checkRead(files, kScoreFile, parts.oldScore);
    const std::optional<QString> oldName = checkRead(files, kNameFile, parts.oldName);

    const QString newScore = QString::fromUtf8(parts.newScore);
    const QString newName = QString::fromUtf8(parts.newName);
    const StoreResult result = files.store(newScore, newName);
    const bool unchanged =
        fileBytes(scorePath) == parts.oldScore && fileBytes(namePath) == parts.oldName;
    const QStringList names =
        QDir(files.path({})).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    check(names == QStringList{kScoreFile, kNameFile}, "a store leaves no other file behind");

    if (!oldScore || !oldName) {
        check(result.outcome == Outcome::Failed, "a file that cannot be read is not replaced");
        check(!result.error.isEmpty() && unchanged, "a failed store says why and changes nothing");
        return 0;
    }
    if (reference(newScore) <= reference(*oldScore)) {
        check(result.outcome == Outcome::NotBetter, "only a better score is stored");
        check(unchanged, "a score that is not better changes nothing");
        return 0;
    }
    check(result.outcome == Outcome::Stored, "a better score is stored");

    const ReadResult score = files.read(kScoreFile);
    const ReadResult name = files.read(kNameFile);
    check(score.ok() && name.ok(), "what the game stores, it can read back");
    checkStoredLine(score.text, newScore);
    checkStoredLine(name.text, newName);
    check(zarvoni::leadingNumber(score.text) == zarvoni::leadingNumber(newScore),
          "a score written and read back gives the same number");
    check(files.store(newScore, newName).outcome == Outcome::NotBetter,
          "the same score stored again is not better than itself");
    return 0;
}
