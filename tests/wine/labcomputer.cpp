// SPDX-License-Identifier: GPL-3.0-or-later
// A computer of a lab, for the tests under Wine: reads or stores the record as
// zarvoni.exe does, through the same place (the technician's setting, the lab
// folder on the server), and prints what it got.
//   lab_computer read              -> the outcome, then "SCORE<TAB>NAME", then the message
//   lab_computer store SCORE NAME  -> the outcome, then the message
#include "app/recordplace.h"

#include <QCoreApplication>
#include <QTextStream>

namespace {

using zarvoni::records::ReadResult;
using zarvoni::records::StoreResult;

QString withoutLineEnd(QString text) {
    while (text.endsWith(u'\n') || text.endsWith(u'\r'))
        text.chop(1);
    return text;
}

QString outcomeOf(ReadResult::Outcome outcome) {
    switch (outcome) {
    case ReadResult::Outcome::Read:
        return QStringLiteral("read");
    case ReadResult::Outcome::Failed:
        return QStringLiteral("failed");
    case ReadResult::Outcome::Busy:
        return QStringLiteral("busy");
    case ReadResult::Outcome::Unreachable:
        return QStringLiteral("unreachable");
    }
    return {};
}

QString outcomeOf(StoreResult::Outcome outcome) {
    switch (outcome) {
    case StoreResult::Outcome::Stored:
        return QStringLiteral("stored");
    case StoreResult::Outcome::Pending:
        return QStringLiteral("pending");
    case StoreResult::Outcome::NotBetter:
        return QStringLiteral("not-better");
    case StoreResult::Outcome::Failed:
        return QStringLiteral("failed");
    case StoreResult::Outcome::Busy:
        return QStringLiteral("busy");
    case StoreResult::Outcome::Unknown:
        return QStringLiteral("unknown");
    }
    return {};
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    QTextStream out(stdout);
    out.setEncoding(QStringConverter::Utf8);
    zarvoni::RecordPlace place;
    if (arguments == QStringList{QStringLiteral("read")}) {
        const ReadResult record = place.records().read();
        out << outcomeOf(record.outcome) << '\n'
            << withoutLineEnd(record.pair.score) << '\t' << withoutLineEnd(record.pair.name) << '\n'
            << record.message << '\n';
        return 0;
    }
    if (arguments.size() == 3 && arguments[0] == u"store") {
        const StoreResult result = place.records().store(arguments[1], arguments[2]);
        out << outcomeOf(result.outcome) << '\n' << result.message << '\n';
        return 0;
    }
    out << "usage: lab_computer read | store SCORE NAME\n";
    return 2;
}
