#include "base/TextCodec.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>
#include <vector>

namespace varnet {

namespace {

// Converts with iconv; an input byte sequence it cannot convert is replaced
// by `replacement` and skipped, so nothing throws on messy files. With
// `euroByte`, the single byte 0x80 reads as the euro sign: GBK as it is
// written (by utf8ToGbk too) holds it there, GB18030 has no such byte.
std::string convert(const char* to, const char* from, std::string_view in,
                    std::string_view replacement, std::size_t skip, bool euroByte = false) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv_open failed");
    std::string out;
    std::vector<char> buf(4096);
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    while (left > 0) {
        char* dst = buf.data();
        std::size_t room = buf.size();
        const std::size_t rc = iconv(cd, &src, &left, &dst, &room);
        out.append(buf.data(), static_cast<std::size_t>(dst - buf.data()));
        if (rc == static_cast<std::size_t>(-1)) {
            if (errno == E2BIG) continue;
            if (euroByte && *src == '\x80') {
                out.append("\u20AC");
                ++src;
                --left;
                continue;
            }
            out.append(replacement);  // EILSEQ or EINVAL: a broken character
            const std::size_t n = std::min(skip, left);
            src += n;
            left -= n;
        }
    }
    iconv_close(cd);
    return out;
}

}  // namespace

bool TextCodec::isValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t n;
        char32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            n = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            n = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            n = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + n >= s.size()) return false;
        for (std::size_t j = 1; j <= n; ++j) {
            const auto d = static_cast<unsigned char>(s[i + j]);
            if ((d & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        // Overlong forms, surrogates and values past Unicode are not UTF-8.
        if ((n == 1 && cp < 0x80) || (n == 2 && cp < 0x800) || (n == 3 && cp < 0x10000) ||
            (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF)
            return false;
        i += n + 1;
    }
    return true;
}

std::string TextCodec::decodeFile(std::string_view bytes) {
    if (isValidUtf8(bytes)) {
        if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
        return std::string(bytes);
    }
    return gbkToUtf8(bytes);
}

std::string TextCodec::gbkToUtf8(std::string_view bytes) {
    return convert("UTF-8", "GB18030", bytes, "\xEF\xBF\xBD", 1, true);
}

std::string TextCodec::utf8ToGbk(std::string_view text) {
    return convert("GBK//TRANSLIT", "UTF-8", text, "?", 1);
}

std::u32string TextCodec::toU32(std::string_view s) {
    std::u32string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : 3;
        char32_t cp = n == 0 ? c : n == 1 ? (c & 0x1F) : n == 2 ? (c & 0x0F) : (c & 0x07);
        if (n > 0 && i + n >= s.size()) {
            out.push_back(U'\uFFFD');
            break;
        }
        for (std::size_t j = 1; j <= n; ++j)
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + j]) & 0x3F);
        out.push_back(cp);
        i += n + 1;
    }
    return out;
}

}  // namespace varnet
