// A downloaded day page: HTML to text by the HTML parser, then the scan of
// its draw table, on any bytes. The text is UTF-8 and every draw the scan
// passes on is one a user could have entered.
#include "FuzzCheck.h"
#include "base/TextCodec.h"
#include "history/PageScan.h"
#include "net/PageText.h"

using namespace varnet;

namespace {

void checkScan(const std::string& text) {
    const PageScan::Draws read = PageScan::read(text);
    FUZZ_CHECK(read.rows >= 0 && read.rows <= PageScan::kMaxRows);
    FUZZ_CHECK(read.draws.size() + read.dropped.size() == static_cast<std::size_t>(read.rows));
    for (const Draw& d : read.draws) {
        FUZZ_CHECK(d.issue >= 1 && d.issue <= 9999999);
        FUZZ_CHECK(isValidNumbers(d.numbers));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzz::bytesOf(data, size);
    const std::string text = PageText::fromHtml(bytes);
    FUZZ_CHECK(TextCodec::isValidUtf8(text));
    checkScan(text);
    // The scan also meets text no HTML parser shaped.
    checkScan(TextCodec::decodeFile(bytes));
    return 0;
}
