#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/ParameterNames.h"
#include "db/Database.h"
#include "db/HistoryTable.h"
#include "db/Schema.h"
#include "engine/Bounds.h"
#include "engine/Engine.h"
#include "engine/Evaluation.h"
#include "engine/Expression.h"
#include "engine/Generator.h"
#include "engine/Reference.h"
#include "search/StatementSearch.h"
#include "support/DataFile.h"
#include "support/RandomHistory.h"
#include "support/TempDir.h"

namespace varnet {
namespace {

// Random formulas of every kind users and the search write.
class FormulaMaker {
  public:
    explicit FormulaMaker(std::uint64_t seed) : rng_(seed) {}

    std::string general(int depth = 0) {
        const int pick = static_cast<int>(rng_() % (depth > 4 ? 3 : 10));
        switch (pick) {
            case 0:
            case 1:
                return name();
            case 2:
                return constant();
            case 3:
                return std::string("(") + general(depth + 1) + ")";
            case 4:
                return std::string("-") + general(depth + 1);
            default: {
                static const char* const ops[] = {"+", "-", "*", "/", " MOD ", " mod "};
                const int op = static_cast<int>(rng_() % 6);
                // Divisors that are never zero keep most of these formulas valid,
                // so that halves and fractions reach the scoring.
                const bool safe = op >= 3 && rng_() % 4 != 0;
                return general(depth + 1) + ops[op] + (safe ? nonZero() : general(depth + 1));
            }
        }
    }

    // Sums of parameters and a constant, some negative or past 10.
    std::string sum() {
        const int k = 1 + static_cast<int>(rng_() % 24);
        std::string s;
        for (int i = 0; i < k; ++i) {
            if (i) s += '+';
            s += name();
        }
        const int c = static_cast<int>(rng_() % 40) - 15;
        if (c < 0)
            return s + (rng_() % 2 ? std::string("-") + std::to_string(-c)
                                   : std::string("+-") + std::to_string(-c));
        return s + std::string("+") + std::to_string(c);
    }

    std::string deep() {
        std::string s = name();
        for (int i = 0; i < 30; ++i)
            s = std::string("(") + s + (rng_() % 2 ? "+" : "*") + constant() + ")";
        return s + " MOD 11";
    }

  private:
    std::string nonZero() {
        // Numbers, segments, squares, powers of two, cubes, issue and date.
        static const int letters[] = {0, 5, 6, 8, 9};
        switch (rng_() % 3) {
            case 0:
                return ParameterNames::code(letters[rng_() % 5] * 10 + 1 +
                                            static_cast<int>(rng_() % 10));
            case 1:
                return ParameterNames::code(125 + static_cast<int>(rng_() % 6));
            default:
                return std::to_string(1 + rng_() % 12);
        }
    }

    std::string name() {
        std::string n = ParameterNames::code(1 + static_cast<int>(rng_() % 132));
        if (rng_() % 4 == 0)
            for (char& c : n) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return n;
    }
    std::string constant() {
        const auto r = rng_() % 10;
        if (r == 0) return "0";
        if (r == 1) return std::to_string(rng_() % 3000000000ULL);
        return std::to_string(rng_() % 25);
    }

    std::mt19937_64 rng_;
};

// Thousands of formulas, each history length, every combination of the
// retrieval count, the exclude flag, weighting, kind and rule set: the fast
// engine equals the plain evaluation in every field.
TEST(Differential, EngineEqualsReference) {
    FormulaMaker make(2024);
    std::vector<std::string> texts;
    for (int i = 0; i < 160; ++i) texts.push_back(make.general());
    for (int i = 0; i < 60; ++i) texts.push_back(make.sum());
    for (int i = 0; i < 10; ++i) texts.push_back(make.deep());
    for (const char* t : {"L1A/2", "(L2A+L3A)/2+1", "L1A/4*2", "0-L1A/2", "L7M/2"})
        texts.push_back(t);
    std::vector<Program> programs;
    for (const auto& t : texts) {
        auto p = parseFormula(t);
        ASSERT_TRUE(p.program) << t << ": " << p.error;
        programs.push_back(std::move(*p.program));
    }
    int compared = 0, invalid = 0;
    for (int rows : {0, 1, 2, 3, 1500}) {
        const History h = test::randomHistory(rows, 500 + rows);
        const FormulaEngine engine(h);
        for (int retrieval : {0, 1, 100, 1400, 2000}) {
            for (int flags = 0; flags < 16; ++flags) {
                const CountRule rule{retrieval, (flags & 1) != 0, (flags & 2) != 0,
                                     (flags & 4) != 0};
                const bool kill = (flags & 8) != 0;
                const int position = 1 + (flags + retrieval) % 10;
                std::vector<FormulaJob> jobs;
                for (const auto& p : programs) jobs.push_back({&p, kill});
                const auto fast = engine.score(jobs, position, rule);
                for (std::size_t i = 0; i < programs.size(); ++i) {
                    const Score want = referenceScore(programs[i], h, position, kill, rule);
                    ASSERT_EQ(fast[i], want)
                        << texts[i] << " rows " << rows << " R " << retrieval << " flags " << flags;
                    ++compared;
                    invalid += !want.valid;
                }
            }
        }
    }
    // Both valid and invalid formulas were compared.
    EXPECT_GT(invalid, 100);
    EXPECT_GT(compared - invalid, 10000);
}

// The statement-per-candidate way on a data file gives the same scores as
// the plain in-memory evaluation under the search rules.
TEST(Differential, StatementWayEqualsReference) {
    test::DataFile file;
    Database& db = file.db;
    const History h = file.storeRandomHistory(150, 77);
    CandidateGenerator gen(3);
    GeneratorSettings gs;
    gs.operands = 5;
    std::vector<std::string> codes;
    for (int i = 0; i < 12; ++i) codes.push_back(gen.next(gs).code);
    for (const CountRule rule :
         {CountRule{0, true, true, true}, CountRule{40, true, false, true}}) {
        for (bool kill : {true, false}) {
            const auto scores = statementSearchScores(db, codes, 10, kill, rule);
            for (std::size_t i = 0; i < codes.size(); ++i) {
                Score want = referenceScore(*parseFormula(codes[i]).program, h, 10, kill, rule);
                want.calcValue.reset();
                EXPECT_EQ(scores[i], want) << codes[i];
            }
        }
    }
}

// What the bounds prove holds on every row: such a formula evaluates, into
// the 32-bit range, everywhere. (The engine then reads only the tail of the
// history for it.)
TEST(Differential, ProvedFormulasEvaluateOnEveryRow) {
    const History h = test::randomHistory(700, 31);
    const ColumnRanges ranges(h);
    FormulaMaker maker(77);
    int proved = 0, unproved = 0;
    for (int i = 0; i < 3000; ++i) {
        const auto parsed = parseFormula(i % 5 ? maker.general() : maker.deep());
        if (!parsed.program) continue;
        if (!evaluableEverywhere(*parsed.program, ranges)) {
            ++unproved;
            continue;
        }
        ++proved;
        for (int r = 0; r < h.size(); ++r) {
            std::string error;
            const auto v = evaluateRow(*parsed.program, h, r, &error);
            ASSERT_TRUE(v && roundToInt32(*v)) << "row " << r << ": " << error;
        }
    }
    EXPECT_GT(proved, 500);
    EXPECT_GT(unproved, 100);
}

}  // namespace
}  // namespace varnet
