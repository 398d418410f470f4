// The formula text import, whole: file bytes on disk, decoding, the line
// plan and the transaction, into a fresh database in memory. It never fails
// on any file, writes what the plan holds, and stores only formulas that
// pass the character test.
#include <unistd.h>

#include <fstream>
#include <set>
#include <tuple>

#include "FuzzCheck.h"
#include "base/TextCodec.h"
#include "db/Database.h"
#include "db/FormulaTable.h"
#include "db/Schema.h"
#include "formula/FormulaCommands.h"
#include "formula/Translate.h"

using namespace varnet;

namespace {

const std::string& folder() {
    static const std::string path = [] {
        char name[] = "/tmp/varnet-fuzz-import-XXXXXX";
        FUZZ_CHECK(mkdtemp(name) != nullptr);
        return std::string(name);
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzz::bytesOf(data, size);
    const std::string file = folder() + "/公式.txt";
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        FUZZ_CHECK(out.good());
    }
    const int current = 1 + static_cast<int>(size % 10);
    const bool kill = size % 2 == 0;

    Database db(":memory:");
    Schema::ensureTables(db);
    // A formula already stored, so that the import meets a table to keep.
    const int kept = current % 10 + 1;
    FormulaTable(db, kept).append(true, "L1A+L2A", "第一码+第二码=下期杀第三名");

    const auto result = FormulaCommands(db).importFile(file, folder(), current, kill);
    FUZZ_CHECK(result.ok);
    const FormulaTextPlan plan = planFormulaText(TextCodec::decodeFile(bytes), current, kill);
    std::size_t planned = 0;
    for (const auto& run : plan.runs) planned += run.lines.size();
    FUZZ_CHECK(static_cast<std::size_t>(result.appended) == planned);
    FUZZ_CHECK(static_cast<std::size_t>(result.unrecognised) == plan.unrecognised.size());
    FUZZ_CHECK(result.kill == plan.kill);

    // Dropping duplicates keeps one of each: every planned formula and the
    // one stored before are in their tables, and nothing else is.
    std::set<std::tuple<int, bool, std::string, std::string>> stored;
    std::size_t rows = 0;
    for (int p = 1; p <= 10; ++p) {
        for (const FormulaRow& row : FormulaTable(db, p).rows()) {
            ++rows;
            FUZZ_CHECK(!row.code.empty() && passesCharacterTest(row.code));
            stored.emplace(p, row.kill, row.code, row.chinese);
        }
    }
    FUZZ_CHECK(rows <= planned + 1);
    FUZZ_CHECK(stored.count({kept, true, "L1A+L2A", "第一码+第二码=下期杀第三名"}) == 1);
    for (const auto& run : plan.runs)
        for (const auto& line : run.lines)
            FUZZ_CHECK(stored.count({line.position, line.kill, line.code, line.chinese}) == 1);
    return 0;
}
