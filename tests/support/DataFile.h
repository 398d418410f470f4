#pragma once

#include <cstdint>

#include "base/History.h"
#include "db/Database.h"
#include "db/Schema.h"
#include "support/RandomHistory.h"
#include "support/TempDir.h"

namespace varnet::test {

// A fresh data file in a folder of its own, removed with it. Tests hold one
// or derive their fixture from it.
struct DataFile {
    TempDir dir;
    Database db = Schema::openDataFile(dir.file(Schema::kFileName));

    // Stores `rows` random draws (see randomHistory) and returns them.
    History storeRandomHistory(int rows, std::uint64_t seed) {
        History h = randomHistory(rows, seed);
        storeHistory(db, h);
        return h;
    }
};

}  // namespace varnet::test
