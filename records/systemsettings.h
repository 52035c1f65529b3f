// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The technician's setting on a Linux machine: a file that only root may change,
// read by the record keeper, which runs as its own user on behalf of any pupil.
// A file that someone else could have written is not used: the machine keeps its
// own record, and the game says why.

#include "records/settings.h"

#include <QString>

namespace zarvoni::records {

struct SystemSettings {
    Settings settings;
    // Why the file was not used, in Italian; empty when it was, or when there is none.
    QString refusal;
};

// The settings in path, used only when path and every directory above it belong
// to root and may be written by nobody else; no file there means no settings.
SystemSettings readSystemSettings(const QString &path);

} // namespace zarvoni::records
