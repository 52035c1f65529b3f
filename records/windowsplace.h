// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where a Windows machine keeps the record and its results, and how its
// technician set them: read alike by the game and by the teacher's sheet.

#include "records/settings.h"

#include <QString>

namespace zarvoni::records {

// The machine's shared application-data folder, open to every user: a standard
// account cannot write the Windows directory, and a 64-bit program gets no
// virtualization, so a record kept there would never be stored. Written with "/".
QString sharedRecordDirectory();

// The user's Documents folder, where the teacher's sheet goes; empty when Windows
// names none.
QString documentsFolder();

// The technician's setting: the machine policy first, then the values the
// installer wrote, then a zarvoni.conf in programDirectory (beside a program that
// runs without installation, from a stick or a share).
Settings windowsSettings(const QString &programDirectory);

} // namespace zarvoni::records
