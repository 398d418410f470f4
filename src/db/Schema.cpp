#include "db/Schema.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>

#include "db/Database.h"
#include "db/Statement.h"
#include "db/Transaction.h"
#include "history/Draw.h"
#include "history/ParameterNames.h"

namespace varnet {

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

std::string lishiSql() {
    std::string sql = "CREATE TABLE Lishi (strQQH INTEGER";
    for (int k = 1; k <= kParamCount; ++k) sql += ", " + ParameterNames::code(k) + " INTEGER";
    sql += ", canshu REAL, PreCanshu INTEGER, GSGL BOOLEAN, GSCS BOOLEAN, GSZCS INTEGER)";
    return sql;
}

std::string errarrSql(const std::string& table) {
    return "CREATE TABLE " + table +
           " (Num INTEGER, ETrrcount INTEGER, Errcount INTEGER, Trrcount INTEGER)";
}

std::set<std::string> columnsOf(Database& db, const std::string& table) {
    std::set<std::string> names;
    auto st = db.prepare("SELECT name FROM pragma_table_info(?1)");
    st.bind(1, table);
    while (st.step()) names.insert(lower(st.text(0)));
    return names;
}

void requireColumns(Database& db, const std::string& table,
                    const std::vector<std::string>& wanted) {
    const auto have = columnsOf(db, table);
    for (const auto& c : wanted) {
        if (!have.count(lower(c))) {
            throw DbError("数据库文件 " + db.path() + " 的表 " + table + " 缺少列 " + c +
                          "，程序不能使用这个文件。");
        }
    }
}

std::vector<std::string> lishiColumns() {
    std::vector<std::string> cols{"strQQH"};
    for (int k = 1; k <= kParamCount; ++k) cols.push_back(ParameterNames::code(k));
    return cols;
}

// What stands at the start of the file: an empty or missing file is fine, an
// SQLite file begins with its magic text, anything else is someone else's.
bool isForeignFile(const std::string& path) {
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return false;
    if (std::filesystem::file_size(path, ec) == 0 && !ec) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return true;
    char head[16] = {};
    in.read(head, sizeof head);
    static const char magic[16] = "SQLite format 3";  // with its closing NUL
    return in.gcount() != 16 || !std::equal(head, head + 16, magic);
}

}  // namespace

std::string Schema::formulaTableSql(const std::string& table) {
    return "CREATE TABLE " + table +
           " (bolKill BOOLEAN, gongshi TEXT, gongshiCN TEXT, idx INTEGER, sglGsRate REAL,"
           " intGsErrCon INTEGER, intGsTrueCon INTEGER, intGsErrLst INTEGER, intGsTrueLst INTEGER)";
}

std::string Schema::formulaTable(int position) { return "Gongshi" + std::to_string(position); }

const std::vector<std::string>& Schema::formulaColumns() {
    static const std::vector<std::string> cols{"bolKill",      "gongshi",      "gongshiCN",
                                               "idx",          "sglGsRate",    "intGsErrCon",
                                               "intGsTrueCon", "intGsErrLst",  "intGsTrueLst"};
    return cols;
}

void Schema::ensureTables(Database& db) {
    if (!db.tableExists("Lishi")) {
        db.exec(lishiSql());
    }
    db.exec("CREATE INDEX IF NOT EXISTS LishiIssue ON Lishi (strQQH)");
    for (int p = 1; p <= 10; ++p) {
        if (!db.tableExists(formulaTable(p))) db.exec(formulaTableSql(formulaTable(p)));
    }
    if (!db.tableExists("Errarr")) {
        db.exec(errarrSql("Errarr"));
        auto ins = db.prepare("INSERT INTO Errarr (Num, ETrrcount, Errcount, Trrcount) VALUES (?1, 0, 0, 0)");
        for (int n = 1; n <= 10; ++n) {
            ins.bind(1, n);
            ins.run();
            ins.reset();
        }
    }
    if (!db.tableExists("ErrarrLei")) db.exec(errarrSql("ErrarrLei"));
}

Database Schema::openDataFile(const std::string& path) {
    if (isForeignFile(path)) {
        throw DbError("文件 " + path +
                      " 不是本程序能识别的数据库文件（不是 SQLite 数据库）。为了保护其中的数据，"
                      "程序不会打开或覆盖它。请将它移走或改名后再启动程序。");
    }
    Database db;
    try {
        db = Database(path);
        db.exec("PRAGMA foreign_keys = OFF");
        {
            Transaction tx(db);
            ensureTables(db);
            tx.commit();
        }
    } catch (const DbError& e) {
        throw DbError("无法打开数据库文件 " + path + "：" + e.what());
    }
    requireColumns(db, "Lishi", lishiColumns());
    for (int p = 1; p <= 10; ++p) requireColumns(db, formulaTable(p), formulaColumns());
    return db;
}

}  // namespace varnet
