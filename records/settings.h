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
inline const QString kTeachersGroupKey = QStringLiteral("teachers-group");
inline const QString kResultsKey = QStringLiteral("results");
inline const QString kResultsAccountKey = QStringLiteral("results-account");

struct Settings {
    // The lab folder on the school's server that holds the class's record; empty
    // for the record of this computer alone.
    QString recordFolder;
    // The group whose members, besides root, read the class's results; empty for
    // root alone.
    QString teachersGroup;
    // Whether every finished game adds a line to the results list ("yes", the
    // default, or "no").
    bool results = true;
    // Whether the line names the account the game ran under ("no", the default:
    // it is personal data).
    bool resultsAccount = false;
    // Lines that were not understood, each as "line N: why", in Italian.
    QStringList problems;
};

// Reads "key = value" lines: blanks around both are dropped, "#" starts a comment
// line, an empty line is skipped; an unknown key, a switch that is neither "yes"
// nor "no", or a line without "=" is noted in problems and ignored. UTF-8.
Settings parseSettings(QByteArrayView text);

} // namespace zarvoni::records
