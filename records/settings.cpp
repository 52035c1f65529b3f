// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/settings.h"

namespace zarvoni::records {

namespace {

// No setting comes near this length; a longer line is not a setting.
constexpr qsizetype kMaxLineBytes = 4096;

} // namespace

Settings parseSettings(QByteArrayView text) {
    Settings settings;
    int number = 0;
    for (const QByteArray &rawLine : text.toByteArray().split('\n')) {
        ++number;
        const QByteArray line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QString where = QStringLiteral("riga %1: ").arg(number);
        const qsizetype equals = line.indexOf('=');
        if (equals < 0 || line.size() > kMaxLineBytes) {
            settings.problems.append(where + QStringLiteral("non è nella forma chiave = valore"));
            continue;
        }
        const QString key = QString::fromUtf8(line.first(equals).trimmed());
        const QString value = QString::fromUtf8(line.sliced(equals + 1).trimmed());
        const auto setSwitch = [&](bool &field) {
            if (value == u"yes" || value == u"no")
                field = value == u"yes";
            else
                settings.problems.append(
                    where + QStringLiteral("il valore di «%1» è yes oppure no").arg(key));
        };
        if (key == kRecordFolderKey)
            settings.recordFolder = value;
        else if (key == kTeachersGroupKey)
            settings.teachersGroup = value;
        else if (key == kResultsKey)
            setSwitch(settings.results);
        else if (key == kResultsAccountKey)
            setSwitch(settings.resultsAccount);
        else
            settings.problems.append(where + QStringLiteral("la chiave «%1» non esiste").arg(key));
    }
    return settings;
}

} // namespace zarvoni::records
