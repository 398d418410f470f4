// The code-form parser and both evaluators: on a history built from the
// input, the fast engine scores a formula exactly as the plain row-by-row
// evaluation does, and both call the same formulas invalid.
#include <numeric>

#include "FuzzCheck.h"
#include "base/History.h"
#include "engine/Engine.h"
#include "engine/Expression.h"
#include "engine/Reference.h"

using namespace varnet;

namespace {

void print(const char* who, const Score& s) {
    std::fprintf(stderr,
                 "%s: valid %d error '%s' hits %lld/%lld plain %lld/%lld rate %g miss %d/%d "
                 "hit %d/%d calc %d\n",
                 who, s.valid, s.error.c_str(), static_cast<long long>(s.hits),
                 static_cast<long long>(s.total), static_cast<long long>(s.plainHits),
                 static_cast<long long>(s.counted), s.rate, s.longestMiss, s.lastMiss, s.longestHit,
                 s.lastHit, s.calcValue ? *s.calcValue : -999);
}

}  // namespace

// Input: the formula, then after a line feed the bytes the history and the
// counting rule are made of (read in turn, over and over). The history runs
// past the engine's block of rows when the bytes ask for it.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view in = fuzz::bytesOf(data, size);
    const std::size_t feed = in.find('\n');
    const std::string_view formula = in.substr(0, feed);
    fuzz::ByteReader bytes(feed == std::string_view::npos ? "" : in.substr(feed + 1));

    const ParseResult parsed = parseFormula(formula);
    if (!parsed.program) {
        FUZZ_CHECK(!parsed.error.empty());
        return 0;
    }
    const Program& program = *parsed.program;

    const unsigned flags = bytes.next();
    const int position = 1 + static_cast<int>(bytes.next() % 10);
    const int retrieval = static_cast<int>(bytes.next() % 64);
    const unsigned sizeByte = bytes.next();
    const int rows = sizeByte < 0xF0 ? static_cast<int>(sizeByte % 48)
                                     : 1000 + static_cast<int>(sizeByte - 0xF0) * 8;
    std::int32_t issue = static_cast<std::int32_t>(
        (bytes.next() << 16 | bytes.next() << 8 | bytes.next()) % 9000000);
    History history;
    Numbers previous{};
    for (int r = 0; r < rows; ++r) {
        Draw d;
        issue += 1 + static_cast<std::int32_t>(bytes.next() % 3);
        d.issue = issue;
        std::iota(d.numbers.begin(), d.numbers.end(), 1);
        for (int i = kPositions - 1; i > 0; --i)
            std::swap(d.numbers[i], d.numbers[bytes.next() % (i + 1)]);
        d.year = 2000 + static_cast<int>(bytes.next() % 40);
        d.month = 1 + static_cast<int>(bytes.next() % 12);
        d.day = 1 + static_cast<int>(bytes.next() % 31);
        history.append(d.issue, computeParameters(d, previous));
        previous = d.numbers;
    }

    const CountRule rule{retrieval, (flags & 1) != 0, (flags & 2) != 0, (flags & 4) != 0};
    const bool kill = (flags & 8) != 0;
    const FormulaEngine engine(history);
    const Score want = referenceScore(program, history, position, kill, rule);
    const auto fast = engine.score({FormulaJob{&program, kill}}, position, rule, {}, 1);
    FUZZ_CHECK(fast.size() == 1);
    if (!(fast[0] == want)) {
        std::fprintf(stderr, "rows %d position %d retrieval %d flags %u\n", rows, position,
                     retrieval, flags & 15);
        print("engine", fast[0]);
        print("reference", want);
    }
    FUZZ_CHECK(fast[0] == want);
    FUZZ_CHECK(engine.scoreOne(program, position, kill, rule) == want);
    return 0;
}
