// SPDX-License-Identifier: GPL-3.0-or-later
// zarvoni-risultati.exe, the Start menu's "Risultati di Zarvoni": every
// computer's results list merged into one sheet in the teacher's Documents
// folder, which it then opens; with /cancella, every list emptied. No console:
// what goes wrong is said in a box.
// Windows has no record keeper: the folder's access rights decide who reads the
// lists (the installer lets administrators alone read them).

#include "records/classresults.h"
#include "records/windowsfilesystem.h"
#include "records/windowsplace.h"
#include "sheet/resultsheet.h"

#include <QCoreApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <shlobj.h>
#include <windows.h>

namespace {

using namespace zarvoni;

const QString kTitle = QStringLiteral("Risultati di Zarvoni");
const QString kFileName = QStringLiteral("Risultati di Zarvoni %1.csv");
const QString kLeftOut = QStringLiteral(
    "Il foglio dei risultati è in %1, ma alcune righe o alcuni elenchi sono rimasti fuori:\n\n%2");
const QString kMore = QStringLiteral("\n… e altri %1.");
const QString kAccessDenied =
    QStringLiteral("\n\nUn elenco che non si legge per un accesso negato si legge avviando "
                   "«Risultati di Zarvoni» come amministratore.");
const QString kCannotWrite =
    QStringLiteral("Non riesco a scrivere il foglio dei risultati in %1: %2.");
const QString kNotOpened = QStringLiteral(
    "Il foglio dei risultati è in %1, ma Windows non sa con quale programma aprirlo.");
const QString kErased = QStringLiteral("Gli elenchi dei risultati sono vuoti.");
const QString kNotErased =
    QStringLiteral("Non tutti gli elenchi dei risultati sono stati svuotati:\n\n");
constexpr qsizetype kShownProblems = 12;
// What ShellExecute returns above this is success.
constexpr INT_PTR kShellExecuteFailed = 32;

enum Status { kComplete = 0, kWithProblems = 1, kNotWritten = 2 };

const wchar_t *wide(const QString &text) {
    return reinterpret_cast<const wchar_t *>(text.utf16());
}

void tell(const QString &text, UINT icon) {
    MessageBoxW(nullptr, wide(text), wide(kTitle), MB_OK | icon | MB_SETFOREGROUND);
}

bool open(const QString &path) {
    const QString native = QDir::toNativeSeparators(path);
    return reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", wide(native), nullptr, nullptr,
                                                   SW_SHOWNORMAL)) > kShellExecuteFailed;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication application(argc, argv);
    const records::Settings settings =
        records::windowsSettings(QCoreApplication::applicationDirPath());
    records::WindowsFileSystem fileSystem;
    records::ClassResults results(records::sharedRecordDirectory(), settings, fileSystem);
    if (QCoreApplication::arguments().mid(1) == QStringList{QStringLiteral("/cancella")}) {
        const QStringList problems = results.erase();
        if (problems.isEmpty())
            tell(kErased, MB_ICONINFORMATION);
        else
            tell(kNotErased + problems.join(u'\n'), MB_ICONWARNING);
        return problems.isEmpty() ? kComplete : kNotWritten;
    }
    const records::GatheredResults gathered = results.gather({}, {});
    sheet::ResultSheet sheet;
    for (const records::ResultSegment &segment : gathered.segments)
        sheet.add(segment);
    const QByteArray csv = sheet.csv({}, {});

    const QString path = QDir(records::documentsFolder())
                             .filePath(kFileName.arg(QDate::currentDate().toString(Qt::ISODate)));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(csv) != csv.size() ||
        !file.flush()) {
        tell(kCannotWrite.arg(QDir::toNativeSeparators(path), file.errorString()), MB_ICONERROR);
        return kNotWritten;
    }
    file.close();

    const QStringList problems = gathered.problems + sheet.problems();
    if (!problems.isEmpty()) {
        QString shown = problems.first(std::min(problems.size(), kShownProblems)).join(u'\n');
        if (problems.size() > kShownProblems)
            shown += kMore.arg(problems.size() - kShownProblems);
        tell(kLeftOut.arg(QDir::toNativeSeparators(path), shown) +
                 (gathered.problems.isEmpty() ? QString() : kAccessDenied),
             MB_ICONWARNING);
    }
    // Where no program opens a sheet, the folder that holds it.
    if (!open(path) && !open(QFileInfo(path).path()))
        tell(kNotOpened.arg(QDir::toNativeSeparators(path)), MB_ICONINFORMATION);
    return problems.isEmpty() ? kComplete : kWithProblems;
}
