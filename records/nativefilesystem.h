// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The record files' operations of the system the build is for, under one name, so
// that code meant for both systems (the tests and their doubles) names neither.

#ifdef _WIN32
#include "records/windowsfilesystem.h"
namespace zarvoni::records {
using NativeFileSystem = WindowsFileSystem;
}
#else
#include "records/posixfilesystem.h"
namespace zarvoni::records {
using NativeFileSystem = PosixFileSystem;
}
#endif
