#include "history/HistoryText.h"

#include <algorithm>
#include <cstdio>
#include <future>

#include "base/NumericText.h"
#include "base/TextCodec.h"

namespace varnet {

namespace {

bool isDigit(char32_t c) { return c >= U'0' && c <= U'9'; }

// "reads as a number": digits, at most one decimal point, an optional
// exponent; nothing else (the field's ends are digits by the caller's test).
bool readsAsNumber(const std::u32string& field) {
    std::size_t i = 0, digits = 0;
    while (i < field.size() && isDigit(field[i])) ++i, ++digits;
    if (i < field.size() && field[i] == U'.') {
        ++i;
        while (i < field.size() && isDigit(field[i])) ++i, ++digits;
    }
    if (digits == 0) return false;
    if (i < field.size() && (field[i] == U'e' || field[i] == U'E')) {
        ++i;
        if (i < field.size() && (field[i] == U'+' || field[i] == U'-')) ++i;
        std::size_t exp = 0;
        while (i < field.size() && isDigit(field[i])) ++i, ++exp;
        if (exp == 0) return false;
    }
    return i == field.size();
}

// A field of width w at 1-based position q is accepted when its characters
// read as a number and its first and last characters are digits; its value
// must also fit a 32-bit integer.
bool acceptField(const std::u32string& line, std::size_t q, std::size_t w, int& value) {
    if (q < 1 || q - 1 + w > line.size()) return false;
    // Digits only, as nearly every field is: their value at once (at most
    // nine of them, so exactly what the general reading below gives).
    if (w <= 9) {
        int digits = 0;
        std::size_t i = q - 1;
        for (; i < q - 1 + w && isDigit(line[i]); ++i)
            digits = digits * 10 + static_cast<int>(line[i] - U'0');
        if (i == q - 1 + w) {
            value = digits;
            return true;
        }
    }
    const std::u32string field = line.substr(q - 1, w);
    if (!isDigit(field.front()) || !isDigit(field.back()) || !readsAsNumber(field)) return false;
    std::string ascii(field.begin(), field.end());
    const auto v = toInt32(numericValue(ascii));
    if (!v) return false;
    value = *v;
    return true;
}

// Reads an accepted field at q into `target` and moves past it and the
// separator after it; otherwise moves on by one character.
bool takeField(const std::u32string& line, std::size_t& q, std::size_t w, int& target) {
    int v = 0;
    if (acceptField(line, q, w, v)) {
        target = v;
        q += w + 1;
        return true;
    }
    ++q;
    return false;
}

bool isBlank(char32_t c) { return c == U' ' || c == U'\t' || c == U'\u3000'; }

}  // namespace

std::string HistoryText::formatLine(const Draw& d) {
    char buf[96];
    std::string line;
    std::snprintf(buf, sizeof buf, "%07d %d-%02d-%02d ", d.issue, d.year, d.month, d.day);
    line = buf;
    for (int x : d.numbers) {
        std::snprintf(buf, sizeof buf, "%02d ", x);
        line += buf;
    }
    return line;
}

std::string HistoryText::format(const History& history) {
    std::string out;
    out.reserve(static_cast<std::size_t>(history.size()) * 50);
    for (int r = 0; r < history.size(); ++r) {
        out += formatLine(history.draw(r));
        out += "\r\n";
    }
    return out;
}

std::string HistoryText::exportFileName(const std::string& issueText) {
    return "更新至" + issueText + "期历史号码.txt";
}

namespace {

// Calls `fn(lineNumber, line)` for every line, without its line end.
template <typename Fn>
void forEachLine(std::string_view text, Fn fn) {
    int lineNumber = 0;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) end = text.size();
        fn(++lineNumber, text.substr(pos, end - pos));
        pos = end + 1;
        if (end < text.size() && text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
    }
}

// Reads one line; false when no issue was read. `empty` tells a line of
// blanks only.
// `set` gathers which carried fields the line gave: bit 0..2 year, month,
// day, bit 3 + k the number at k.
constexpr unsigned kAllCarried = (1u << (3 + kPositions)) - 1;

bool parseLine(std::string_view raw, HistoryText::Carry& carry, HistoryText::Line& out, bool& empty,
               unsigned* set = nullptr) {
    std::u32string line = TextCodec::toU32(raw);
    std::size_t a = 0, b = line.size();
    while (a < b && isBlank(line[a])) ++a;
    while (b > a && isBlank(line[b - 1])) --b;
    line = line.substr(a, b - a);
    empty = line.empty();

    int issue = 0, k = 0, v = 0;
    std::size_t q = 1;
    unsigned given = 0;
    takeField(line, q, 7, issue);
    if (takeField(line, q, 4, carry.year)) given |= 1u;
    if (takeField(line, q, 2, carry.month)) given |= 2u;
    if (takeField(line, q, 2, carry.day)) given |= 4u;
    while (q < line.size()) {
        if (takeField(line, q, 2, v)) {
            if (k < kPositions) {
                carry.numbers[k] = v;
                given |= 1u << (3 + k);
            }
            ++k;  // numbers past the tenth are dropped
        }
    }
    if (set) *set |= given;
    if (issue < 1) return false;
    out.draw.issue = issue;
    out.draw.numbers = carry.numbers;
    out.draw.day = carry.day;
    out.draw.month = carry.month;
    out.draw.year = carry.year;
    out.carried = k < kPositions;
    return true;
}

}  // namespace

std::vector<HistoryText::Line> HistoryText::parse(std::string_view text, Carry& carry) {
    std::vector<Line> out;
    forEachLine(text, [&](int lineNumber, std::string_view raw) {
        Line l;
        bool empty = false;
        if (!parseLine(raw, carry, l, empty)) return;
        l.lineNumber = lineNumber;
        out.push_back(l);
    });
    return out;
}

int HistoryText::Reading::skipped() const {
    return static_cast<int>(textLines.size() + badNumberLines.size() + repeatedLines.size());
}

bool HistoryText::Reading::enough() const {
    return !draws.empty() && 2 * static_cast<long long>(draws.size()) >= nonEmptyLines;
}

namespace {

// Reads the lines of `text` into `r`, numbered after `before` lines; returns
// how many lines it had.
int readLines(std::string_view text, HistoryText::Carry& carry, int before,
              HistoryText::Reading& r) {
    int count = 0;
    forEachLine(text, [&](int lineNumber, std::string_view raw) {
        count = lineNumber;
        HistoryText::Line l;
        bool empty = false;
        const bool issue = parseLine(raw, carry, l, empty);
        if (empty) return;
        ++r.nonEmptyLines;
        if (!issue) {
            r.textLines.push_back(before + lineNumber);
        } else if (!isValidNumbers(l.draw.numbers)) {
            r.badNumberLines.push_back(before + lineNumber);
        } else {
            l.lineNumber = before + lineNumber;
            r.draws.push_back(l);
        }
    });
    return count;
}

// The second half of a big text, read on a thread of its own. A line's
// draw depends on the lines before it only through the carried fields, so
// from the first line by which the half has given every one of them, the
// half reads the same whatever came before; the lines ahead of that (`head`)
// are read again in order once the first half is done.
struct LaterHalf {
    std::string_view head, rest;
    HistoryText::Carry carry;
    HistoryText::Reading reading;

    void read(std::string_view text) {
        unsigned set = 0;
        std::size_t at = text.size();
        forEachLine(text, [&](int, std::string_view raw) {
            if (set == kAllCarried) return;
            HistoryText::Line l;
            bool empty = false;
            const auto start = static_cast<std::size_t>(raw.data() - text.data());
            parseLine(raw, carry, l, empty, &set);
            if (set == kAllCarried) at = start;
        });
        head = text.substr(0, at);
        rest = text.substr(at);
        if (!rest.empty()) readLines(rest, carry, 0, reading);
    }
};

void appendShifted(std::vector<int>& to, const std::vector<int>& from, int by) {
    for (int n : from) to.push_back(n + by);
}

}  // namespace

HistoryText::Reading HistoryText::read(std::string_view text, Carry& carry, std::size_t splitFrom) {
    Reading r;
    std::size_t split = std::string_view::npos;
    if (text.size() >= splitFrom) {
        split = text.find('\n', text.size() / 2);
        if (split != std::string_view::npos) ++split;
        if (split >= text.size()) split = std::string_view::npos;
    }
    if (split == std::string_view::npos) {
        readLines(text, carry, 0, r);
    } else {
        const std::string_view later = text.substr(split);
        LaterHalf half;
        auto done = std::async(std::launch::async, [&] { half.read(later); });
        int lines = readLines(text.substr(0, split), carry, 0, r);
        done.get();
        // The head again, after the first half's carry; a half that never
        // gave every field is all head.
        lines += readLines(half.head, carry, lines, r);
        if (!half.rest.empty()) {
            const Reading& h = half.reading;
            r.nonEmptyLines += h.nonEmptyLines;
            appendShifted(r.textLines, h.textLines, lines);
            appendShifted(r.badNumberLines, h.badNumberLines, lines);
            r.draws.reserve(r.draws.size() + h.draws.size());
            for (Line l : h.draws) {
                l.lineNumber += lines;
                r.draws.push_back(l);
            }
            carry = half.carry;
        }
    }
    // In issue order, the first line of an issue ahead of its repeats.
    const auto byIssue = [](const Line& a, const Line& b) { return a.draw.issue < b.draw.issue; };
    if (!std::is_sorted(r.draws.begin(), r.draws.end(), byIssue))
        std::stable_sort(r.draws.begin(), r.draws.end(), byIssue);
    std::size_t kept = 0;
    for (std::size_t i = 0; i < r.draws.size(); ++i) {
        if (kept > 0 && r.draws[kept - 1].draw.issue == r.draws[i].draw.issue) {
            r.repeatedLines.push_back(r.draws[i].lineNumber);
            continue;
        }
        r.draws[kept++] = r.draws[i];
    }
    r.draws.resize(kept);
    std::sort(r.repeatedLines.begin(), r.repeatedLines.end());
    for (const auto& l : r.draws)
        if (l.carried) r.carriedLines.push_back(l.lineNumber);
    std::sort(r.carriedLines.begin(), r.carriedLines.end());
    return r;
}

}  // namespace varnet
