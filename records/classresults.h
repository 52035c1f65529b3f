// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The class's results as a teacher reads and erases them: every computer's list
// in the lab folder, and this computer's own beside its record (where its lines
// went before a lab folder was named, or while its folder was another's).

#include "records/filesystem.h"
#include "records/resultfiles.h"
#include "records/settings.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <vector>

namespace zarvoni::records {

struct GatheredResults {
    std::vector<ResultSegment> segments;
    // What could not be read, each as "path: why", in Italian.
    QStringList problems;
};

class ClassResults {
public:
    ClassResults(const QString &directory, const Settings &settings, FileSystem &fileSystem);

    // The months' files from first to last (null: no bound).
    GatheredResults gather(QDate first, QDate last);
    // Empties every list; what could not be removed, each as "path: why".
    QStringList erase();

private:
    // Every results folder, ending in "/"; problems gets what could not be listed.
    QStringList folders(QStringList &problems);

    QString m_directory;
    QString m_labFolder;
    FileSystem &m_fileSystem;
};

} // namespace zarvoni::records
