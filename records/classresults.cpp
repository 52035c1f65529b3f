// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/classresults.h"

#include "records/recordfiles.h"

namespace zarvoni::records {

ClassResults::ClassResults(const QString &directory, const Settings &settings,
                           FileSystem &fileSystem)
    : m_directory(withTrailingSeparator(directory)), m_labFolder(settings.recordFolder),
      m_fileSystem(fileSystem) {}

QStringList ClassResults::folders(QStringList &problems) {
    QStringList found{m_directory + kResultsFolder + u'/'};
    if (m_labFolder.isEmpty())
        return found;
    const QString lab = withTrailingSeparator(m_labFolder);
    QStringList names;
    if (const FileProblem problem = m_fileSystem.listDirectory(lab, names); problem.isProblem()) {
        problems.append(lab + QStringLiteral(": ") + problem.reason());
        return found;
    }
    names.sort();
    for (const QString &name : names) {
        if (!name.startsWith(u'.'))
            found.append(lab + name + u'/' + kResultsFolder + u'/');
    }
    return found;
}

GatheredResults ClassResults::gather(QDate first, QDate last) {
    GatheredResults gathered;
    for (const QString &folder : folders(gathered.problems)) {
        ResultFiles list(folder, {}, m_fileSystem);
        gathered.problems += list.read(first, last, gathered.segments);
    }
    return gathered;
}

QStringList ClassResults::erase() {
    QStringList problems;
    for (const QString &folder : folders(problems)) {
        ResultFiles list(folder, {}, m_fileSystem);
        if (const FileProblem problem = list.erase(); problem.isProblem())
            problems.append(folder + QStringLiteral(": ") + problem.reason());
    }
    return problems;
}

} // namespace zarvoni::records
