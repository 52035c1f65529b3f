// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Who this computer is to the lab folder: its name, which names its folder there,
// and an identity of its own, which tells it from another computer that carries
// the same name (a copy of the same disk image).

#include "records/filesystem.h"

#include <QString>

namespace zarvoni::records {

// The identity kept in the computer's own record directory, made once.
inline const QString kComputerIdFile = QStringLiteral(".zarvoni.id");

// The computer's name as the system gives it (the host name; on Windows, the
// computer name).
QString computerName();

// What the system says tells this machine from others (the machine id, or
// Windows's machine GUID); empty when it says nothing. A disk image copied
// carelessly carries it along, a copied and prepared one does not.
QString machineIdentity();

// The account this process runs for (the real user's name; on Windows, the user
// name), empty when the system does not say.
QString accountName();

// The folder a computer's name gives in the lab folder: letters, digits, "-",
// "_" and "." as they are, in lower case (Windows tells no case apart), anything
// else as "_", 63 characters at most; "computer" for a name with none of them.
QString folderNameFor(const QString &computer);

// This computer's identity: a random number made the first time and kept in
// directory (ending in "/"), with the machine's own identity beside it, so that
// a copy of this computer's disk prepared as a new machine is told apart too.
FileProblem computerIdentity(FileSystem &fileSystem, const QString &directory, QString &identity);

} // namespace zarvoni::records
