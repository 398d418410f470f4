#include "analysis/ResultSummary.h"

#include <algorithm>
#include <map>

namespace varnet {

namespace {

std::int64_t keyOf(const PositionSummary::Row& r, int column) {
    switch (column) {
        case 1:
            return r.number;
        case 2:
            return r.total;
        case 3:
            return r.kill;
        default:
            return r.keep;
    }
}

// Sorted by one column; equal values stay in number order either way.
void sortRows(std::vector<PositionSummary::Row>& rows, int column, bool descending) {
    std::sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) {
        const auto x = keyOf(a, column), y = keyOf(b, column);
        if (x != y) return descending ? x > y : x < y;
        return a.number < b.number;
    });
}

}  // namespace

ResultSummary summarise(const CalcResult& result, bool kill) {
    ResultSummary out;
    std::array<bool, 11> claimed{};
    const int quota = result.keepQuota;
    for (const PositionVotes& votes : result.positions) {
        PositionSummary s;
        s.position = votes.position;
        if (votes.noFormulas) {
            s.noFormulas = true;
            out.arrangement += "- ";
            out.positions.push_back(std::move(s));
            continue;
        }
        for (int n = 1; n <= 10; ++n) {
            PositionSummary::Row r;
            r.number = n;
            r.total = votes.total[n];
            r.kill = votes.kill[n];
            r.keep = votes.keep[n];
            // With kill votes a number is filtered out; with keep votes it stays.
            r.keepMark = (r.total == 0) == kill;
            s.rows.push_back(r);
        }
        sortRows(s.rows, 2, !kill);

        // Claim the first numbers no earlier position claimed, up to the quota.
        int counted = 0;
        bool complete = false;
        for (auto& r : s.rows) {
            if (complete) break;
            if (counted < quota && claimed[r.number]) {
                r.grey = true;
                s.grey.push_back(r.number);
                continue;
            }
            if (counted < quota) {
                claimed[r.number] = true;
                s.claimed.push_back(r.number);
            } else {
                complete = true;
            }
            if (counted++ == 0) out.arrangement += std::to_string(r.number) + ' ';
        }

        std::map<std::int64_t, PositionSummary::CountRow> byCount;
        for (const auto& r : s.rows) {
            auto& c = byCount[r.total];
            c.count = r.total;
            ++c.numbers;
            c.list += std::to_string(r.number) + ' ';
        }
        for (const auto& [count, row] : byCount) s.counts.push_back(row);
        if (!kill) std::reverse(s.counts.begin(), s.counts.end());
        out.positions.push_back(std::move(s));
    }
    return out;
}

std::vector<PositionSummary::Row> resort(const std::vector<PositionSummary::Row>& rows, int column,
                                         bool reversed, bool kill) {
    std::vector<PositionSummary::Row> out = rows;
    sortRows(out, column >= 1 && column <= 4 ? column : 2, kill == reversed);
    return out;
}

std::string resultNote(std::int32_t targetIssue) {
    return "注:当前计算" + std::to_string(targetIssue) +
           "期结果，赛车公式采用隔期计算(计算当前的下2期)";
}

}  // namespace varnet
