// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Why a record file or the record directory could not be used, in words a pupil reads.

#include <QString>
#include <QtGlobal>

#include <utility>

namespace zarvoni::records {

struct FileProblem {
    enum class Kind {
        None,
        System,     // the system refused: errorNumber says why
        Directory,  // a directory stands where a file should be
        Link,       // a symbolic link stands where a file should be
        NotRegular, // a FIFO, a device or a socket
        TooLarge,   // more than a record file may hold: size says how much
        Busy,       // another game holds the lock for too long
        Damaged,    // a file of the game's own that does not hold what the game writes
        Platform,   // the system refused for a reason of its own: errorNumber and text
    };

    Kind kind = Kind::None;
    int errorNumber = 0;
    qint64 size = 0;
    QString text; // the system's own words for a platform error

    static FileProblem system(int errorNumber) { return {Kind::System, errorNumber, 0, {}}; }
    static FileProblem of(Kind kind) { return {kind, 0, 0, {}}; }
    static FileProblem tooLarge(qint64 size) { return {Kind::TooLarge, 0, size, {}}; }
    // An error that has no counterpart among the C library's error numbers, so
    // that the message still says what happened.
    static FileProblem platform(int errorNumber, QString text) {
        return {Kind::Platform, errorNumber, 0, std::move(text)};
    }

    bool isProblem() const { return kind != Kind::None; }
    bool is(Kind other) const { return kind == other; }
    bool isSystem(int number) const { return kind == Kind::System && errorNumber == number; }

    // The reason in Italian, such as "permesso negato" or "è una cartella, non un file".
    QString reason() const;
};

} // namespace zarvoni::records
