#pragma once

#include <algorithm>
#include <numeric>
#include <random>

#include "base/Draw.h"
#include "base/History.h"
#include "db/Database.h"
#include "db/HistoryTable.h"
#include "db/Transaction.h"

namespace varnet::test {

// `rows` draws with random finishing orders and consecutive issues.
inline History randomHistory(int rows, std::uint64_t seed, std::int32_t firstIssue = 1000) {
    std::mt19937_64 rng(seed);
    History h;
    Numbers prev{};
    for (int i = 0; i < rows; ++i) {
        Draw d;
        d.issue = firstIssue + i;
        std::iota(d.numbers.begin(), d.numbers.end(), 1);
        std::shuffle(d.numbers.begin(), d.numbers.end(), rng);
        d.year = 2016 + i / 400;
        d.month = 1 + i / 30 % 12;
        d.day = 1 + i % 28;
        h.append(d.issue, computeParameters(d, prev));
        prev = d.numbers;
    }
    return h;
}

// Stores every draw of `h` in the history table of `db`, in one transaction
// (a commit per row would sync the file thousands of times).
inline void storeHistory(Database& db, const History& h) {
    std::vector<Draw> draws;
    std::vector<ParamValues> params;
    for (int r = 0; r < h.size(); ++r) {
        draws.push_back(h.draw(r));
        params.push_back(h.params(r));
    }
    Transaction t(db);
    HistoryTable(db).appendAll(draws, params);
    t.commit();
}

}  // namespace varnet::test
