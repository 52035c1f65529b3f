// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The teacher's sheet: the lines of every computer's results list, merged in the
// order of their time, as a CSV file that opens right in LibreOffice Calc and in
// an Italian Excel (UTF-8 with a byte-order mark, ";" between cells, CR LF, a
// header row in Italian). A line that is not whole is reported and left out.

#include "records/resultfiles.h"
#include "records/resultline.h"

#include <QByteArray>
#include <QDate>
#include <QStringList>

#include <vector>

namespace zarvoni::sheet {

class ResultSheet {
public:
    // Adds the whole lines of a month's file; each other line is a problem.
    void add(const records::ResultSegment &segment);

    // The sheet of the games played from first to last (days of their own time;
    // null: no bound), oldest first.
    QByteArray csv(QDate first, QDate last) const;

    qsizetype lines() const { return qsizetype(m_lines.size()); }
    // The lines left out, each as "path: riga N: why", in Italian.
    const QStringList &problems() const { return m_problems; }

private:
    std::vector<records::ResultLine> m_lines;
    QStringList m_problems;
};

} // namespace zarvoni::sheet
