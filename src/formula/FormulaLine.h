#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace varnet {

// Where the closing bracket of a prefix-shape line may stand: the text
// import looks at characters 4..6 (else 7), formula entry at 5..7 (else 8).
enum class BracketRule { Import, Entry };

// A Chinese-form formula line taken apart.
struct FormulaLine {
    enum class Shape { Suffix, Prefix };
    Shape shape = Shape::Suffix;
    // Suffix lines name their kind (true: 杀); prefix lines take the current mode.
    std::optional<bool> kill;
    // 1..10 from the position word; 0 when the word is none of the ten.
    int position = 0;
    // The line cut at 连准 and trimmed: what is stored as the Chinese form.
    std::string chinese;
    // The Chinese expression, trimmed; translateChinese() gives the code form.
    std::string expression;
};

// The line up to its first 连准, trimmed.
std::string cutAtLianzhun(std::string_view line);

// Nothing when the line cannot be taken apart: a suffix line with nothing
// before 下期, or a prefix line shorter than its bracket position.
std::optional<FormulaLine> takeApartFormulaLine(std::string_view line, BracketRule rule);

}  // namespace varnet
