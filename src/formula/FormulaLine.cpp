#include "formula/FormulaLine.h"

#include <vector>

#include "base/ParameterNames.h"
#include "base/TextCodec.h"
#include "formula/Translate.h"

namespace varnet {

namespace {

// The text split into characters, each a view of its bytes. A byte that does
// not start a valid UTF-8 sequence counts as one character, so broken text is
// still read by position and every piece is a slice of the input.
class Characters {
  public:
    explicit Characters(std::string_view text) : text_(text) {
        std::size_t i = 0;
        while (i < text.size()) {
            const auto c = static_cast<unsigned char>(text[i]);
            std::size_t n = c < 0x80             ? 1
                            : (c & 0xE0) == 0xC0 ? 2
                            : (c & 0xF0) == 0xE0 ? 3
                            : (c & 0xF8) == 0xF0 ? 4
                                                 : 1;
            if (n > 1 && (i + n > text.size() || !TextCodec::isValidUtf8(text.substr(i, n)))) n = 1;
            starts_.push_back(i);
            i += n;
        }
        starts_.push_back(text.size());
    }

    std::size_t size() const { return starts_.size() - 1; }

    // Characters k .. k + count - 1, 0-based; past the end they are empty.
    std::string_view at(std::size_t k, std::size_t count = 1) const {
        if (k >= size()) return {};
        const std::size_t end = std::min(k + count, size());
        return text_.substr(starts_[k], starts_[end] - starts_[k]);
    }

    // Everything from character k on.
    std::string_view from(std::size_t k) const { return k >= size() ? "" : at(k, size() - k); }

    // The index of the first character where the characters of `word` stand, or size().
    std::size_t find(std::string_view word, std::size_t wordLength) const {
        for (std::size_t k = 0; k + wordLength <= size(); ++k)
            if (at(k, wordLength) == word) return k;
        return size();
    }

  private:
    std::string_view text_;
    std::vector<std::size_t> starts_;
};

int positionOfWord(std::string_view word) {
    for (int p = 1; p <= 10; ++p)
        if (word == ParameterNames::positionName(p)) return p;
    return 0;
}

}  // namespace

std::string cutAtLianzhun(std::string_view line) {
    const Characters chars(line);
    // The formula text export pads a formula with ideographic spaces before
    // its 连准 note; they go with the note, so an exported file reads back as
    // the formulas it was written from.
    std::string cut = trimSpaces(chars.at(0, chars.find("连准", 2)));
    static const std::string kIdeographicSpace = "\u3000";
    for (;;) {
        if (cut.size() >= 3 && cut.compare(cut.size() - 3, 3, kIdeographicSpace) == 0)
            cut.erase(cut.size() - 3);
        else if (!cut.empty() && cut.back() == ' ')
            cut.pop_back();
        else
            break;
    }
    return cut;
}

std::optional<FormulaLine> takeApartFormulaLine(std::string_view line, BracketRule rule) {
    FormulaLine out;
    out.chinese = cutAtLianzhun(line);
    const Characters chars(out.chinese);

    const std::size_t next = chars.find("下期", 2);
    if (next < chars.size()) {
        if (next == 0) return std::nullopt;
        out.shape = FormulaLine::Shape::Suffix;
        // The character before 下期 (normally "=") is dropped.
        out.expression = trimSpaces(chars.at(0, next - 1));
        out.kill = chars.at(next + 2) == "杀";
        // The position word follows the kind character, or one character later
        // when something stands between them.
        const std::size_t word = chars.at(next + 3) == "第" ? next + 3 : next + 4;
        out.position = positionOfWord(chars.at(word, 2));
        return out;
    }

    // Every line without 下期 is read as a prefix line, "[" or not: a banner or
    // other text that is no formula then normally fails the character test and
    // is reported, rather than vanishing silently.
    out.shape = FormulaLine::Shape::Prefix;
    const std::size_t first = rule == BracketRule::Import ? 4 : 5;  // 1-based
    std::size_t bracket = first + 3;
    for (std::size_t k = first; k < first + 3; ++k)
        if (chars.at(k - 1) == "]") {
            bracket = k;
            break;
        }
    if (chars.size() < bracket) return std::nullopt;
    out.position = positionOfWord(chars.at(1, 2));
    out.expression = trimSpaces(chars.from(bracket));
    return out;
}

}  // namespace varnet
