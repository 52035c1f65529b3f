// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where this machine keeps the record and the results list, and what reads and
// writes them there: each system's build compiles its own choice.

#include "records/recordstore.h"
#include "records/resultslist.h"

#include <QString>

#include <memory>

namespace zarvoni {

class RecordPlace {
public:
    RecordPlace();
    ~RecordPlace();
    RecordPlace(const RecordPlace &) = delete;
    RecordPlace &operator=(const RecordPlace &) = delete;

    // The one directory that holds the record files, written with "/".
    const QString &directory() const;
    records::RecordStore &records();
    // The results list beside the record.
    records::ResultsList &results();

private:
    // What the store needs kept alive, which differs from system to system.
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

} // namespace zarvoni
