// The history text reader on any file bytes: it never fails, keeps its line
// rules, and every draw it reads that the writer can write reads back the same.
#include "FuzzCheck.h"
#include "base/TextCodec.h"
#include "history/HistoryText.h"

using namespace varnet;

namespace {

bool writable(const Draw& d) {
    if (d.issue < 1 || d.issue > HistoryText::kMaxIssue) return false;
    if (d.year < 1000 || d.year > 9999 || d.month < 0 || d.month > 99 || d.day < 0 || d.day > 99)
        return false;
    for (int x : d.numbers)
        if (x < 0 || x > 99) return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = TextCodec::decodeFile(fuzz::bytesOf(data, size));
    HistoryText::Carry carry;
    const auto lines = HistoryText::parse(text, carry);
    int last = 0;
    for (const auto& line : lines) {
        FUZZ_CHECK(line.draw.issue >= 1);
        FUZZ_CHECK(line.lineNumber > last);
        last = line.lineNumber;
        if (!writable(line.draw)) continue;
        HistoryText::Carry fresh;
        const auto again = HistoryText::parse(HistoryText::formatLine(line.draw), fresh);
        FUZZ_CHECK(again.size() == 1);
        FUZZ_CHECK(again[0].draw == line.draw);
    }
    return 0;
}
