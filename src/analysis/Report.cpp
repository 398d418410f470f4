#include "analysis/Report.h"

#include <algorithm>
#include <cmath>
#include <ctime>

#include "base/History.h"
#include "db/Database.h"
#include "engine/Significance.h"
#include "formula/Verification.h"

namespace varnet {

namespace {

std::string localNow() {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &tm);
    return text;
}

std::string escaped(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

// A number the page shows, marked with its key so that checks can find it.
std::string marked(int position, const char* key, const std::string& text) {
    return "<span data-k=\"p" + std::to_string(position) + '-' + key + "\">" + escaped(text) +
           "</span>";
}

std::string coordinate(double x) { return fixedText(x, 1); }

const char* const kStyle =
    "body{font-family:'Noto Sans CJK SC','WenQuanYi Micro Hei','Microsoft YaHei',sans-serif;"
    "margin:24px;color:#222;max-width:1160px}"
    "h1{font-size:22px}h2{font-size:18px;margin:0 0 8px}"
    "table.head td{padding:2px 12px 2px 0}"
    "section{border-top:1px solid #bbb;padding:14px 0}"
    "table.nums{border-collapse:collapse;margin:6px 0}"
    "table.nums td,table.nums th{border:1px solid #ccc;padding:3px 8px;text-align:right}"
    "table.nums th{background:#f2f2f2;font-weight:normal}"
    ".charts{display:flex;flex-wrap:wrap;gap:16px;margin:8px 0}"
    ".chart{border:1px solid #ddd;padding:4px}"
    ".chart p{margin:2px 4px;font-size:13px;color:#444}"
    ".verdict{font-weight:bold;margin:6px 0}"
    ".note{color:#8a4b00;margin:6px 0}"
    "svg text{font-size:12px;fill:#333}";

// An inline SVG of w by h with its plot area framed.
std::string plotFrame(double w, double h, const char* label, double left, double top, double plotW,
                      double plotH) {
    return "<svg width=\"" + coordinate(w) + "\" height=\"" + coordinate(h) +
           "\" role=\"img\" aria-label=\"" + label + "\"><rect x=\"" + coordinate(left) +
           "\" y=\"" + coordinate(top) + "\" width=\"" + coordinate(plotW) + "\" height=\"" +
           coordinate(plotH) + "\" fill=\"#fafafa\" stroke=\"#999\"/>";
}

// The list's p-values as bars against the flat line chance gives.
std::string histogramSvg(const ReportPosition& p) {
    const double w = 420, h = 220, left = 44, right = 12, top = 12, bottom = 36;
    const double plotW = w - left - right, plotH = h - top - bottom;
    const double flat = p.tested / static_cast<double>(kReportBins);
    int most = 1;
    for (const int c : p.histogram) most = std::max(most, c);
    const double yMax = std::max<double>(most, std::ceil(flat)) * 1.1;
    auto y = [&](double v) { return top + plotH - v / yMax * plotH; };
    std::string s = plotFrame(w, h, "p 值分布", left, top, plotW, plotH);
    const double barW = plotW / kReportBins;
    for (int b = 0; b < kReportBins; ++b) {
        const double x = left + b * barW;
        s += "<rect x=\"" + coordinate(x + 2) + "\" y=\"" + coordinate(y(p.histogram[b])) +
             "\" width=\"" + coordinate(barW - 4) + "\" height=\"" +
             coordinate(top + plotH - y(p.histogram[b])) + "\" fill=\"#4a78c2\"/>";
    }
    if (p.tested > 0)
        s += "<line x1=\"" + coordinate(left) + "\" y1=\"" + coordinate(y(flat)) + "\" x2=\"" +
             coordinate(left + plotW) + "\" y2=\"" + coordinate(y(flat)) +
             "\" stroke=\"#d03030\" stroke-width=\"2\" stroke-dasharray=\"6 4\"/>";
    for (int t = 0; t <= 10; t += 5) {
        const double x = left + plotW * t / 10.0;
        s += "<text x=\"" + coordinate(x) + "\" y=\"" + coordinate(top + plotH + 16) +
             "\" text-anchor=\"middle\">" +
             (t == 0   ? "0"
              : t == 5 ? "0.5"
                       : "1") +
             "</text>";
    }
    s += "<text x=\"" + coordinate(left + plotW / 2) + "\" y=\"" + coordinate(h - 4) +
         "\" text-anchor=\"middle\">p 值</text>";
    s += "<text x=\"" + coordinate(left - 6) + "\" y=\"" + coordinate(top + plotH + 4) +
         "\" text-anchor=\"end\">0</text>";
    s += "<text x=\"" + coordinate(left - 6) + "\" y=\"" + coordinate(y(most) + 4) +
         "\" text-anchor=\"end\">" + std::to_string(most) + "</text>";
    s += "</svg>";
    return s;
}

// The successes so far against chance's expectation over the tested draws;
// draws not counted are shaded.
std::string cumulativeSvg(const BacktestResult& r, const BacktestPosition& p) {
    const double w = 560, h = 220, left = 52, right = 14, top = 12, bottom = 36;
    const double plotW = w - left - right, plotH = h - top - bottom;
    const int n = static_cast<int>(p.cumulative.size());
    double yMax = 1;
    if (n > 0) yMax = std::max({yMax, double(p.cumulative.back()), p.cumulativeExpected.back()});
    yMax *= 1.08;
    auto x = [&](double i) { return left + (n > 1 ? i / (n - 1) : 0.5) * plotW; };
    auto y = [&](double v) { return top + plotH - v / yMax * plotH; };
    std::string s = plotFrame(w, h, "累计命中", left, top, plotW, plotH);
    // Runs of draws not counted.
    const double step = n > 1 ? plotW / (n - 1) : plotW;
    for (int i = 0; i < n;) {
        if (r.allDraws || p.clean[i]) {
            ++i;
            continue;
        }
        int j = i;
        while (j < n && !p.clean[j]) ++j;
        const double x0 = std::max(left, x(i) - step / 2),
                     x1 = std::min(left + plotW, x(j - 1) + step / 2);
        s += "<rect x=\"" + coordinate(x0) + "\" y=\"" + coordinate(top) + "\" width=\"" +
             coordinate(std::max(1.0, x1 - x0)) + "\" height=\"" + coordinate(plotH) +
             "\" fill=\"#e4e4e4\"/>";
        i = j;
    }
    // At most about 600 points a line: the page stays small for long checks.
    const int stride = std::max(1, n / 600);
    auto line = [&](auto value, const char* style) {
        std::string pts;
        for (int i = 0; i < n; i += stride)
            pts += coordinate(x(i)) + ',' + coordinate(y(value(i))) + ' ';
        if (n > 0 && (n - 1) % stride != 0)
            pts += coordinate(x(n - 1)) + ',' + coordinate(y(value(n - 1)));
        return "<polyline fill=\"none\" " + std::string(style) + " points=\"" + pts + "\"/>";
    };
    if (n > 0) {
        s += line([&](int i) { return p.cumulativeExpected[i]; },
                  "stroke=\"#d03030\" stroke-width=\"2\" stroke-dasharray=\"6 4\"");
        s += line([&](int i) { return double(p.cumulative[i]); },
                  "stroke=\"#2a5db0\" stroke-width=\"2\"");
    }
    s += "<text x=\"" + coordinate(left - 6) + "\" y=\"" + coordinate(top + plotH + 4) +
         "\" text-anchor=\"end\">0</text>";
    const int topLabel = static_cast<int>(yMax / 1.08);
    s += "<text x=\"" + coordinate(left - 6) + "\" y=\"" + coordinate(y(topLabel) + 4) +
         "\" text-anchor=\"end\">" + std::to_string(topLabel) + "</text>";
    if (!r.issues.empty()) {
        s += "<text x=\"" + coordinate(left) + "\" y=\"" + coordinate(top + plotH + 16) +
             "\" text-anchor=\"start\">" + std::to_string(r.issues.front()) + "</text>";
        s += "<text x=\"" + coordinate(left + plotW) + "\" y=\"" + coordinate(top + plotH + 16) +
             "\" text-anchor=\"end\">" + std::to_string(r.issues.back()) + "</text>";
    }
    s += "<text x=\"" + coordinate(left + plotW / 2) + "\" y=\"" + coordinate(h - 4) +
         "\" text-anchor=\"middle\">回测期号</text>";
    s += "</svg>";
    return s;
}

std::string holdOutLine(const ReportPosition& p) {
    if (!p.holdOut) return "没有保存过本位本类的留出检验搜索。";
    const HoldOutRecord& h = *p.holdOut;
    std::string s = "最近一次留出检验搜索（" + escaped(h.at) + "）：留出最后 " +
                    std::to_string(h.heldOut) + " 期（" + std::to_string(h.firstIssue) + ".." +
                    std::to_string(h.lastIssue) + "）· 试验 " + std::to_string(h.tried) +
                    " 个 · 合格 " + std::to_string(h.finds) + " 个 · 机会合格 " +
                    std::to_string(h.chanceFinds) + " 个 · ";
    const std::string mean =
        h.mean && h.standardError ? heldOutMeanText(*h.mean, *h.standardError) : "n/a";
    s += marked(p.position, "heldOutMean", "held-out mean " + mean) + "（机会基线 " +
         baselineText(h.kill) + "）· " +
         marked(p.position, "heldOutP", "p " + pValueText(h.pValue.value_or(1.0)));
    return s;
}

std::string positionSection(const ReportData& d, const ReportPosition& rp) {
    const BacktestResult& r = d.backtest;
    const BacktestPosition* found = nullptr;
    for (const BacktestPosition& bp : r.positions)
        if (bp.position == rp.position) found = &bp;
    const int pos = rp.position;
    std::string s = "<section><h2>第" + std::to_string(pos) + "位</h2>";
    s += "<p>公式 " + marked(pos, "formulas", std::to_string(rp.formulas)) + " 个，其中有 p 值的 " +
         marked(pos, "tested", std::to_string(rp.tested)) + " 个";
    if (found) s += "；参与投票 " + marked(pos, "voting", std::to_string(found->formulas)) + " 个";
    s += "。</p>";
    if (!found) return s + "</section>";
    const BacktestPosition& p = *found;
    s += "<p class=\"verdict\">结论：" + marked(pos, "verdict", reportVerdict(r, p)) + "</p>";
    if (const std::string note = cleanDrawsNote(r, p); !note.empty() && p.draws > 0)
        s += "<p class=\"note\">" + escaped(note) + "</p>";
    auto cell = [&](const char* key, const std::string& text) {
        return "<td>" + marked(pos, key, text) + "</td>";
    };
    s += "<table class=\"nums\"><tr><th>量</th><th>观测</th><th>机会期望</th><th>p</th>"
         "<th>Holm 校正 p</th></tr>";
    s += "<tr><th>检验期数（干净）</th>" + cell("draws", std::to_string(p.draws)) +
         "<td></td><td></td><td></td></tr>";
    s += "<tr><th>“保留”命中</th>" + cell("successes", std::to_string(p.successes)) +
         cell("expected", fixedText(p.expected, 1)) + cell("p", pValueText(p.pValue)) +
         cell("pHolm", pValueText(p.pHolm)) + "</tr>";
    s += "<tr><th>有保留号码的期数</th>" + cell("keptDraws", std::to_string(p.keptDraws)) +
         "<td></td><td></td><td></td></tr>";
    s += "<tr><th>结果窗口推荐号码命中</th>" + cell("claimedHits", std::to_string(p.claimedHits)) +
         cell("claimedExpected", fixedText(p.claimedExpected, 1)) +
         cell("claimedP", pValueText(p.claimedP)) + cell("claimedHolm", pValueText(p.claimedHolm)) +
         "</tr>";
    s += "<tr><th>开出号码的平均名次</th>" +
         cell("meanPlace", p.placed > 0 ? fixedText(p.meanPlace, 3) : "-") + "<td>5.5</td>" +
         cell("placeP", pValueText(p.placeP)) + cell("placeHolm", pValueText(p.placeHolm)) +
         "</tr></table>";
    s += "<div class=\"charts\"><div class=\"chart\">" + histogramSvg(rp) +
         "<p>公式列表的 p 值（10 段）；红虚线：单凭机会时每段应有的个数</p></div>";
    s += "<div class=\"chart\">" + cumulativeSvg(r, p) +
         "<p>蓝线：累计“保留”命中；红虚线：单凭机会的累计期望；灰底：公式录入之前的期号，不计入</p>"
         "</div></div>";
    s += "<p>" + holdOutLine(rp) + "</p></section>";
    return s;
}

}  // namespace

std::string reportMethodText(const CalcRequest& request) {
    return request.best ? "最优公式法（保留 " + std::to_string(request.sort.keepLimit) + " 个）"
                        : std::string("选定公式法");
}

std::string reportVerdict(const BacktestResult& result, const BacktestPosition& position) {
    if (position.draws == 0) {
        const std::string note = cleanDrawsNote(result, position);
        return note.empty() ? "没有可检验的期号。" : note;
    }
    if (position.claimedHolm < 0.05)
        return "结果窗口推荐的号码命中次数与机会有显著差别：Holm 校正后的 p 值为 " +
               pValueText(position.claimedHolm) + "。";
    return "与机会没有显著差别";
}

ReportData gatherReport(Database& db, const History& history, CalcRequest request, int draws,
                        const std::function<bool(int done, int total)>& progress) {
    ReportData d;
    d.writtenAt = localNow();
    d.dataFile = db.path();
    d.historySize = history.size();
    if (history.size() > 0) {
        d.firstIssue = history.issue(0);
        d.lastIssue = history.issue(history.size() - 1);
    }
    request.currentPosition = kPositions;
    request.issue.reset();
    d.request = request;
    d.draws = draws;
    const int total = kPositions + std::max(draws, 0);
    auto going = [&](int done) { return !progress || progress(done, total); };

    std::vector<HoldOutRecord> holdOuts = HoldOutTable(db).load();
    for (int pos = 1; pos <= kPositions; ++pos) {
        ReportPosition rp;
        rp.position = pos;
        const auto list = loadFormulaList(db, pos, request.kill, false);
        bool cancelled = false;
        const auto scores = scoreFormulaList(
            history, list, pos, request.rule, [&](int) { return going(pos - 1); }, &cancelled);
        if (cancelled || !going(pos)) {
            d.cancelled = true;
            d.message = "已取消，没有写检验报告。";
            return d;
        }
        rp.formulas = static_cast<int>(list.size());
        for (const Score& s : scores) {
            if (!s.valid || s.counted <= 0) continue;
            const double pv = chanceViewOf(s, request.kill).pValue;
            ++rp.tested;
            ++rp.histogram[std::clamp(static_cast<int>(pv * kReportBins), 0, kReportBins - 1)];
        }
        for (const HoldOutRecord& h : holdOuts)  // oldest first: the last one stays
            if (h.position == pos && h.kill == request.kill) rp.holdOut = h;
        d.positions.push_back(std::move(rp));
    }
    d.backtest = backtest(db, history, request, draws,
                          [&](int done, int) { return going(kPositions + done); });
    if (d.backtest.cancelled) {
        d.cancelled = true;
        d.message = "已取消，没有写检验报告。";
        return d;
    }
    if (!d.backtest.ok) {
        d.message = d.backtest.message;
        return d;
    }
    d.ok = true;
    return d;
}

std::string reportHtml(const ReportData& d) {
    const CalcRequest& q = d.request;
    std::string s =
        "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\">"
        "<title>检验报告</title><style>";
    s += kStyle;
    s += "</style></head><body><h1>检验报告：公式与方法对照机会</h1><table class=\"head\">";
    auto row = [&](const std::string& name, const std::string& value) {
        s += "<tr><td>" + name + "</td><td>" + value + "</td></tr>";
    };
    row("数据文件", escaped(d.dataFile));
    row("历史号码", std::to_string(d.historySize) + " 期，期号 " + std::to_string(d.firstIssue) +
                        " 至 " + std::to_string(d.lastIssue));
    row("类别", q.kill ? "杀码" : "留码");
    row("方法", reportMethodText(q));
    row("回测期数 M", std::to_string(d.draws) +
                          (d.backtest.issues.empty()
                               ? std::string()
                               : "（期号 " + std::to_string(d.backtest.issues.front()) + " 至 " +
                                     std::to_string(d.backtest.issues.back()) + "）"));
    row("写于", escaped(d.writtenAt));
    s += "</table>";
    s += "<p>每一位：公式列表中各公式命中率的 p 值分布（单凭机会时应大致平坦）；"
         "方法的逐期回测，只计公式录入之后开出的期号（干净期号），p 值对十位做 Holm 校正；"
         "最近一次留出检验搜索的小结；以及按“结果窗口推荐号码命中”的 Holm 校正 p 值（低于 0.05 "
         "才算显著）下的结论。</p>";
    for (const ReportPosition& rp : d.positions) s += positionSection(d, rp);
    s += "</body></html>\n";
    return s;
}

}  // namespace varnet
