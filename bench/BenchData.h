#pragma once
// Histories, candidates and formula lists the benchmarks share.

#include <chrono>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "base/ParameterNames.h"
#include "db/Database.h"
#include "db/FormulaTable.h"
#include "db/Transaction.h"
#include "engine/Generator.h"

namespace varnet::bench {

using Clock = std::chrono::steady_clock;

inline double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The peak resident size of this process so far, in kB.
inline long peakRssKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    return -1;
}

struct Batch {
    int k = 8;
    std::vector<int> params;  // k per candidate
    std::vector<int> constants;
    int size() const { return static_cast<int>(constants.size()); }
    const int* at(int i) const { return params.data() + static_cast<std::size_t>(i) * k; }
};

inline Batch candidates(int count, int k, std::uint64_t seed) {
    CandidateGenerator gen(seed);
    GeneratorSettings s;
    s.operands = k;
    Batch b;
    b.k = k;
    b.params.resize(static_cast<std::size_t>(count) * k);
    b.constants.resize(count);
    for (int i = 0; i < count; ++i)
        gen.draw(s, b.params.data() + static_cast<std::size_t>(i) * k, b.constants[i]);
    return b;
}

inline std::vector<int> asVector(const Batch& b, int i) { return {b.at(i), b.at(i) + b.k}; }

// General formulas with *, /, MOD and parentheses, as users write them.
inline std::vector<std::string> generalFormulas(int count, std::uint64_t seed) {
    std::mt19937_64 rng(seed);
    // Shapes with a "%" placeholder for a random parameter name.
    const char* const shapes[] = {"(%+%)*% MOD 7+%-3", "%*%/(%+1)+%", "((%-%)*(%+%)) mod 9+4",
                                  "%+%*2-%+(% MOD 3)"};
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) {
        std::string f;
        for (const char* c = shapes[i % 4]; *c; ++c) {
            if (*c == '%')
                f.append(ParameterNames::code(1 + static_cast<int>(rng() % 132)));
            else
                f.push_back(*c);
        }
        out.push_back(std::move(f));
    }
    return out;
}

// A list of `count` formulas, sums of parameters and general formulas
// alternating, as kill formulas of `position` (code form as Chinese form).
inline void storeFormulas(Database& db, int position, int count, std::uint64_t seed) {
    const Batch sums = candidates(count / 2 + 1, 4, seed);
    const auto general = generalFormulas(count / 2 + 1, seed + 1);
    std::vector<FormulaRow> rows;
    for (int i = 0; i < count; ++i) {
        FormulaRow r;
        r.code =
            i % 2 ? general[i / 2] : candidateCode(asVector(sums, i / 2), sums.constants[i / 2]);
        r.chinese = r.code;
        rows.push_back(std::move(r));
    }
    Transaction tx(db);
    FormulaTable(db, position).appendRows(rows);
    tx.commit();
}

}  // namespace varnet::bench
