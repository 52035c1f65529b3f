// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Windows-1252, the code page of the record files: one byte a character.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace zarvoni::records {

// Every byte has a character; the five bytes that Windows-1252 leaves undefined
// stand for the control characters of the same number, so every byte round-trips.
QString fromWindows1252(QByteArrayView bytes);

// A character that Windows-1252 cannot hold becomes "?" (one per character,
// whatever its length in UTF-16).
QByteArray toWindows1252(QStringView text);

} // namespace zarvoni::records
