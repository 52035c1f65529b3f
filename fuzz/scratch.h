// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The record directory of a fuzz target that works on real files: one temporary
// directory for the whole run (set ZARVONI_FUZZ_TMPDIR to keep it off the disk),
// and the files in it as bytes.

#include "check.h"

#include "records/recordfiles.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace zarvoni::fuzz {

inline QString scratchDirectory() {
    static QTemporaryDir dir(qEnvironmentVariable("ZARVONI_FUZZ_TMPDIR", QDir::tempPath()) +
                             QStringLiteral("/zarvoni-fuzz-XXXXXX"));
    check(dir.isValid(), "a temporary directory can be made");
    return records::withTrailingSeparator(dir.path());
}

inline void writeFile(const QString &path, const QByteArray &bytes) {
    QFile file(path);
    check(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
              file.write(bytes) == bytes.size(),
          "the fuzz input can be written to a file");
}

inline QByteArray fileBytes(const QString &path) {
    QFile file(path);
    check(file.open(QIODevice::ReadOnly), "a file written can be opened again");
    return file.readAll();
}

} // namespace zarvoni::fuzz
