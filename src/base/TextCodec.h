#pragma once

#include <string>
#include <string_view>

namespace varnet {

// Text files are read as UTF-8 when they are valid UTF-8 (a BOM is dropped)
// and as GBK otherwise; files written for exchange are GBK.
class TextCodec {
  public:
    static bool isValidUtf8(std::string_view bytes);
    // Decodes file bytes to UTF-8.
    static std::string decodeFile(std::string_view bytes);
    static std::string gbkToUtf8(std::string_view bytes);
    // Characters GBK cannot hold become '?'.
    static std::string utf8ToGbk(std::string_view text);
    // UTF-8 to code points, so that texts can be read by character position.
    static std::u32string toU32(std::string_view utf8);
};

}  // namespace varnet
