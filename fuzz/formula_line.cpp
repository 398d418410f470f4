// Taking a Chinese formula line apart and translating it, on any line: the
// pieces are slices of the line, trimmed, and the replacement that drives
// the translation agrees with replacing from the very start every time.
#include <optional>

#include "FuzzCheck.h"
#include "formula/FormulaLine.h"
#include "formula/Translate.h"

using namespace varnet;

namespace {

// The plain reading of a replacement: scan from the first character after
// every change; a replacement that holds what it replaces is one pass. Some
// pairs never end this way (the text around a replacement makes the text
// replaced again, growing without end); nothing is returned once more
// replacements were made than a text of this length could need.
std::optional<std::string> replacedPlainly(std::string text, std::string_view find,
                                           std::string_view with) {
    if (find.empty()) return text;
    if (with.find(find) != std::string_view::npos) {
        std::string out;
        std::size_t from = 0;
        for (std::size_t at; (at = text.find(find, from)) != std::string::npos;
             from = at + find.size())
            out.append(text, from, at - from).append(with);
        return out.append(text, from);
    }
    std::size_t budget = 64 + 4 * text.size();
    for (std::size_t at; (at = text.find(find)) != std::string::npos;) {
        if (budget-- == 0) return std::nullopt;
        text.replace(at, find.size(), with);
    }
    return text;
}

bool trimmed(std::string_view s) { return s.empty() || (s.front() != ' ' && s.back() != ' '); }

}  // namespace

// Input: a flag byte (bracket rule), the lengths of a find and a replacement
// text and those texts, then the line.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view in = fuzz::bytesOf(data, size);
    if (in.size() < 3) return 0;
    const auto rule = in[0] & 1 ? BracketRule::Entry : BracketRule::Import;
    const std::size_t findLength = static_cast<unsigned char>(in[1]) % 8;
    const std::size_t withLength = static_cast<unsigned char>(in[2]) % 8;
    in.remove_prefix(3);
    const std::string_view find = in.substr(0, findLength);
    in.remove_prefix(find.size());
    const std::string_view with = in.substr(0, withLength);
    in.remove_prefix(with.size());
    const std::string_view line = in;

    // The translation only replaces its own words, which always end; other
    // pairs are compared where the plain reading ends.
    const std::string_view head = line.substr(0, 256);
    if (const auto plain = replacedPlainly(std::string(head), find, with)) {
        std::string replaced(head);
        AsReplace(replaced, find, with);
        FUZZ_CHECK(replaced == *plain);
    }

    const std::string cut = cutAtLianzhun(line);
    FUZZ_CHECK(trimmed(cut) && line.find(cut) != std::string_view::npos);
    const auto parts = takeApartFormulaLine(line, rule);
    if (!parts) return 0;
    FUZZ_CHECK(parts->chinese == cut);
    FUZZ_CHECK(parts->position >= 0 && parts->position <= 10);
    FUZZ_CHECK(parts->kill.has_value() == (parts->shape == FormulaLine::Shape::Suffix));
    FUZZ_CHECK(trimmed(parts->expression) && cut.find(parts->expression) != std::string::npos);

    const std::string code = translateChinese(parts->expression);
    FUZZ_CHECK(trimmed(code));
    // Every word is replaced until none is left, so a second pass finds none.
    FUZZ_CHECK(translateChinese(code) == code);
    if (passesCharacterTest(code))
        for (char c : code) FUZZ_CHECK(static_cast<unsigned char>(c) < 0x80);
    return 0;
}
