#include "search/StatementSearch.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <stdexcept>

#include "db/Database.h"
#include "db/Statement.h"
#include "db/Transaction.h"

namespace varnet {

namespace {

// The code form is pasted into SQL, so only names, digits and the two signs
// may pass. "--" would open an SQL comment.
bool isSafeCodeForm(const std::string& code) {
    if (code.empty()) return false;
    for (unsigned char c : code) {
        if (!std::isalnum(c) && c != '+' && c != '-') return false;
    }
    return code.find("--") == std::string::npos;
}

// ((x - 1) MOD 10) + 1 with the engine's MOD: the operand rounded half to
// even, the remainder taking the sign of the dividend. None when the value
// is missing or cannot be held as an integer.
std::optional<std::int64_t> reduced(double x) {
    const double r = std::nearbyint(x - 1.0);  // default rounding: half to even
    if (!std::isfinite(r) || std::fabs(r) >= 9.0e18) return std::nullopt;
    return static_cast<std::int64_t>(r) % 10 + 1;
}

Score invalidScore(std::string why) {
    Score s;
    s.valid = false;
    s.error = std::move(why);
    return s;
}

// The statements that do not depend on the candidate, prepared once.
struct Statements {
    explicit Statements(Database& db, int position, bool kill)
        : values(db.prepare("SELECT rowid, canshu FROM Lishi ORDER BY strQQH, rowid")),
          setPre(db.prepare("UPDATE Lishi SET PreCanshu = ?1 WHERE rowid = ?2")),
          clearFlags(db.prepare("UPDATE Lishi SET GSGL = 0")),
          setFlags(db.prepare("UPDATE Lishi SET GSGL = 1 WHERE PreCanshu " +
                              std::string(kill ? "<>" : "=") + " L" +
                              std::to_string(position % 10) + "A")),
          flags(db.prepare("SELECT GSGL FROM Lishi ORDER BY strQQH, rowid")) {}

    Statement values;
    Statement setPre;
    Statement clearFlags;
    Statement setFlags;
    Statement flags;
};

void runOnce(Statement& st) {
    st.reset();
    st.run();
}

// Fills PreCanshu with the reduced value of the row two places earlier;
// returns the number of rows.
int fillPreCanshu(Statements& st) {
    std::optional<std::int64_t> twoBack, oneBack;
    int rows = 0;
    st.values.reset();
    while (st.values.step()) {
        const std::int64_t rowid = st.values.int64(0);
        std::optional<std::int64_t> current;
        if (!st.values.isNull(1)) {
            current = reduced(st.values.real(1));
            if (!current) throw std::range_error("公式的值超出范围");
        }
        ++rows;
        if (rows >= 3) {
            st.setPre.reset();
            if (twoBack) {
                st.setPre.bind(1, *twoBack);
            } else {
                st.setPre.bindNull(1);
            }
            st.setPre.bind(2, rowid);
            st.setPre.run();
        }
        twoBack = oneBack;
        oneBack = current;
    }
    return rows;
}

// Walks the hit flags of the counted rows: the last N + 1 rows (all when
// N is 0), never before the third row, which is the first with a value two
// draws back.
Score scoreFlags(Statements& st, int rows, const CountRule& rule) {
    int first = 2;  // 0-based
    if (rule.retrieval > 0) first = std::max(2, rows - rule.retrieval - 1);

    Score s;
    int curHit = 0;
    int curMiss = 0;
    std::int64_t n = 0;
    int row = 0;
    st.flags.reset();
    while (st.flags.step()) {
        if (row++ < first) continue;
        ++n;
        const std::int64_t w = rule.weighted ? n * n : 1;
        s.total += w;
        ++s.counted;
        const bool hit = !st.flags.isNull(0) && st.flags.int64(0) != 0;
        if (hit) {
            curMiss = 0;
            s.hits += w;
            ++s.plainHits;
            s.longestHit = std::max(s.longestHit, ++curHit);
        } else {
            curHit = 0;
            s.longestMiss = std::max(s.longestMiss, ++curMiss);
        }
    }
    s.lastHit = curHit;
    s.lastMiss = curMiss;
    s.rate = s.total == 0 ? 0.0f
                          : static_cast<float>(static_cast<double>(s.hits) /
                                               static_cast<double>(s.total) * 100.0);
    return s;
}

}  // namespace

std::vector<Score> statementSearchScores(Database& db, const std::vector<std::string>& codeForms,
                                         int position, bool kill, const CountRule& rule) {
    if (position < 1 || position > 10) throw std::invalid_argument("position must be 1..10");
    std::vector<Score> scores;
    scores.reserve(codeForms.size());
    if (codeForms.empty()) return scores;

    Statements st(db, position, kill);
    for (const auto& code : codeForms) {
        if (!isSafeCodeForm(code)) {
            scores.push_back(invalidScore("公式含有不允许的字符：" + code));
            continue;
        }
        Transaction tx(db);
        // An unknown name or a malformed sum is the candidate's fault, not
        // the file's: mark it invalid and go on with the next one.
        try {
            db.exec("UPDATE Lishi SET canshu = " + code);
        } catch (const DbError& e) {
            scores.push_back(invalidScore(e.what()));
            continue;  // the transaction rolls back
        }
        int rows = 0;
        try {
            rows = fillPreCanshu(st);
        } catch (const std::range_error& e) {
            st.values.reset();
            scores.push_back(invalidScore(e.what()));
            continue;
        }
        runOnce(st.clearFlags);
        runOnce(st.setFlags);
        scores.push_back(scoreFlags(st, rows, rule));
        tx.commit();
    }
    return scores;
}

}  // namespace varnet
