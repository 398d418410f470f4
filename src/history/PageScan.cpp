#include "history/PageScan.h"

#include "base/TextCodec.h"
#include "history/HistoryText.h"

namespace varnet {

namespace {

bool isDigit(char32_t c) { return c >= U'0' && c <= U'9'; }

// The lenient number reading tolerates blanks, tabs, line breaks and the
// page's no-break and ideographic spaces around the digits.
bool isBlank(char32_t c) {
    return c == U' ' || c == U'\t' || c == U'\r' || c == U'\n' || c == U'\f' || c == U'\v' ||
           c == 0xA0 || c == 0x3000;
}

std::u32string_view trimBlanks(std::u32string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Sign, digits, at most one decimal point: what reads as a number.
bool readsAsNumber(std::u32string_view s) {
    if (!s.empty() && (s[0] == U'+' || s[0] == U'-')) s.remove_prefix(1);
    bool digit = false, point = false;
    for (char32_t c : s) {
        if (isDigit(c))
            digit = true;
        else if (c == U'.' && !point)
            point = true;
        else
            return false;
    }
    return digit;
}

std::int64_t wholeNumber(std::u32string_view s) {
    if (!s.empty() && s[0] == U'+') s.remove_prefix(1);
    if (s.empty()) return -1;
    std::int64_t v = 0;
    for (char32_t c : s) {
        if (!isDigit(c)) return -1;
        v = v * 10 + (c - U'0');
    }
    return v;
}

// A number field of one or two characters; 0 when it holds no number.
int fieldValue(std::u32string_view s) {
    const std::int64_t v = wholeNumber(trimBlanks(s));
    return v < 0 ? 0 : static_cast<int>(v);
}

}  // namespace

std::vector<PageScan::Row> PageScan::scan(std::string_view utf8Text) {
    const std::u32string text = TextCodec::toU32(utf8Text);
    const std::u32string_view t = text;
    const std::size_t n = t.size();
    constexpr auto npos = std::u32string_view::npos;
    std::vector<Row> rows;

    // Index of the first digit at or after i, or n.
    const auto toDigit = [&](std::size_t i) {
        while (i < n && !isDigit(t[i])) ++i;
        return i;
    };
    const std::size_t marker = t.find(TextCodec::toU32(kMarker));
    // 0-based: the marker's position + 7, or the 7th character without it.
    std::size_t p = toDigit(marker == npos ? 6 : marker + 7);
    while (p < n && static_cast<int>(rows.size()) < kMaxRows) {
        const std::u32string_view issue = trimBlanks(t.substr(p, 8));
        if (!readsAsNumber(issue)) break;
        Row row;
        for (char32_t c : issue) row.issueText += static_cast<char>(c);  // digits, sign, point
        row.issue = wholeNumber(issue);

        std::size_t lf = p + 9 < n ? t.find(U'\n', p + 9) : npos;
        if (lf == npos) break;
        p = toDigit(lf + 1);
        if (p >= n) break;

        bool sequential = false, complete = true;
        for (int m = 0; m < kPositions; ++m) {
            const std::size_t at = p + 2 * static_cast<std::size_t>(m);
            if (at >= n) {
                complete = false;
                break;
            }
            row.numbers[m] = fieldValue(t.substr(at, 2));
            if (row.numbers[m] >= 11) {
                sequential = true;
                break;
            }
        }
        if (sequential) {
            // Single digits side by side; a digit followed by "0" is "10".
            complete = true;
            for (int k = 0; k < kPositions; ++k) {
                p = toDigit(p);
                if (p >= n) {
                    complete = false;
                    break;
                }
                const int digit = static_cast<int>(t[p] - U'0');
                if (p + 1 < n && t[p + 1] == U'0') {
                    row.numbers[k] = digit * 10;
                    p += 2;
                } else {
                    row.numbers[k] = digit;
                    p += 1;
                }
            }
        }
        if (!complete) break;
        rows.push_back(std::move(row));

        lf = p + 74 < n ? t.find(U'\n', p + 74) : npos;
        if (lf == npos) break;
        p = toDigit(lf + 1);
    }
    return rows;
}

PageScan::Draws PageScan::read(std::string_view utf8Text) {
    Draws out;
    const auto rows = scan(utf8Text);
    out.rows = static_cast<int>(rows.size());
    for (const Row& row : rows) {
        if (row.issue < 1 || row.issue > HistoryText::kMaxIssue) {
            out.dropped.push_back(row.issueText + "：期号无效");
        } else if (!isValidNumbers(row.numbers)) {
            out.dropped.push_back(row.issueText + "：号码不是1到10各一次");
        } else {
            Draw d;
            d.issue = static_cast<std::int32_t>(row.issue);
            d.numbers = row.numbers;
            out.draws.push_back(d);
        }
    }
    return out;
}

}  // namespace varnet
