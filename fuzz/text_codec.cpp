// GBK and UTF-8 decoding of file bytes. The UTF-8 test and the reading by
// code points are held against iconv's own UTF-8 decoder; decoding always
// gives UTF-8; writing GBK and reading it back changes nothing more.
#include <iconv.h>

#include <optional>

#include "FuzzCheck.h"
#include "base/TextCodec.h"

using namespace varnet;

namespace {

// The code points of valid UTF-8 as iconv reads them; nothing when invalid.
std::optional<std::u32string> iconvCodePoints(std::string_view bytes) {
    iconv_t cd = iconv_open("UTF-32LE", "UTF-8");
    FUZZ_CHECK(cd != reinterpret_cast<iconv_t>(-1));
    std::u32string out(bytes.size(), U'\0');
    char* src = const_cast<char*>(bytes.data());
    std::size_t left = bytes.size();
    char* dst = reinterpret_cast<char*>(out.data());
    std::size_t room = out.size() * sizeof(char32_t);
    const std::size_t rc = iconv(cd, &src, &left, &dst, &room);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1)) return std::nullopt;
    out.resize(out.size() - room / sizeof(char32_t));
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes = fuzz::bytesOf(data, size);
    const bool valid = TextCodec::isValidUtf8(bytes);
    const auto points = iconvCodePoints(bytes);
    FUZZ_CHECK(valid == points.has_value());
    if (valid) FUZZ_CHECK(TextCodec::toU32(bytes) == *points);

    const std::string text = TextCodec::decodeFile(bytes);
    FUZZ_CHECK(TextCodec::isValidUtf8(text));
    if (valid) FUZZ_CHECK(text == (bytes.substr(0, 3) == "\xEF\xBB\xBF" ? bytes.substr(3) : bytes));

    // An exported file read back and exported again is the same file.
    const std::string gbk = TextCodec::utf8ToGbk(text);
    const std::string back = TextCodec::gbkToUtf8(gbk);
    FUZZ_CHECK(TextCodec::utf8ToGbk(back) == gbk);
    return 0;
}
