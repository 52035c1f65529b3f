// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The technician's setting: a few "key = value" lines, the same on every system,
// of which each system reads its own copy (a file that only root may change on
// Linux; a policy value, the installer's value or a file beside the program on
// Windows).

#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace zarvoni::records {

inline const QString kRecordFolderKey = QStringLiteral("record-folder");

struct Settings {
    // The lab folder on the school's server that holds the class's record; empty
    // for the record of this computer alone.
    QString recordFolder;
    // Lines that were not understood, each as "line N: why", in Italian.
    QStringList problems;
};

// Reads "key = value" lines: blanks around both are dropped, "#" starts a comment
// line, an empty line is skipped; an unknown key or a line without "=" is noted in
// problems and ignored. UTF-8.
Settings parseSettings(QByteArrayView text);

} // namespace zarvoni::records
