#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "base/Draw.h"
#include "base/History.h"

namespace varnet {

// The history text format: one draw per line,
// "0545550 2016-03-15 03 07 01 10 04 02 09 05 08 06 " (issue zero-padded to
// seven digits, the date, the ten numbers each followed by a blank).
class HistoryText {
  public:
    static constexpr const char* kFolder = "历史号码";
    // Issues are written with seven digits; a longer one could not be read back.
    static constexpr int kMaxIssue = 9999999;

    // One line, without its line end.
    static std::string formatLine(const Draw& draw);
    // Every draw of the history in order, lines ended by CR LF.
    static std::string format(const History& history);
    // "更新至" + issue text + "期历史号码.txt".
    static std::string exportFileName(const std::string& issueText);

    using Carry = DrawCarry;

    struct Line {
        int lineNumber = 0;    // 1-based line of the file
        Draw draw;             // numbers and date after carrying over
        bool carried = false;  // fewer than ten numbers read: the rest are the line before's
    };

    // Reads decoded (UTF-8) text line by line with the lenient field rules;
    // CR, LF and CR LF each end a line. Lines whose issue is below 1 are left
    // out. `carry` starts with the date known before the file and ends with
    // the last line's values.
    static std::vector<Line> parse(std::string_view text, Carry& carry);

    // What a file gave and which of its lines were not taken, by 1-based line
    // number in file order. Lines holding only blanks count nowhere.
    struct Reading {
        std::vector<Line> draws;  // taken, in ascending issue order
        int nonEmptyLines = 0;
        std::vector<int> textLines;       // no issue read
        std::vector<int> badNumberLines;  // numbers not 1..10 each once
        std::vector<int> repeatedLines;   // issue taken already from an earlier line
        std::vector<int> carriedLines;    // taken, with numbers of the line before
        int skipped() const;
        // A file of which fewer than half of the lines could be read is
        // likely not a history file (or not split into lines as we read them).
        bool enough() const;
    };
    // parse, then the draws to store: a line whose numbers are not 1..10 each
    // once, or whose issue an earlier line already gave, is not taken.
    // Texts of `splitFrom` bytes or more are read in two halves at once,
    // with the same result.
    static constexpr std::size_t kSplitFrom = std::size_t(1) << 22;
    static Reading read(std::string_view text, Carry& carry, std::size_t splitFrom = kSplitFrom);
};

}  // namespace varnet
