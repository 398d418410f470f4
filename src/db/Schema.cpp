#include "db/Schema.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>

#include "base/Draw.h"
#include "base/ParameterNames.h"
#include "db/Database.h"
#include "db/HistoryTable.h"
#include "db/Statement.h"
#include "db/Transaction.h"

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

std::set<std::string> ourTables() {
    std::set<std::string> names{"lishi", "errarr", "errarrlei", "tmp", "lishicopy", "holdoutruns"};
    for (int p = 1; p <= 10; ++p) names.insert(lower(Schema::formulaTable(p)));
    return names;
}

long long pragmaValue(Database& db, const char* pragma) {
    auto st = db.prepare(std::string("PRAGMA ") + pragma);
    return st.step() ? st.integer(0) : 0;
}

void markOurs(Database& db) {
    db.exec("PRAGMA application_id = " + std::to_string(Schema::kApplicationId));
    db.exec("PRAGMA user_version = " + std::to_string(Schema::kSchemaVersion));
}

std::string foreignMessage(const std::string& path, const std::string& why) {
    return "文件 " + path + " 是另一个程序的 SQLite 数据库（" + why +
           "），不是本程序的数据文件。为了保护其中的数据，程序不会打开或改动它。"
           "请将它移走或改名，或用 --data-dir 选择另一个数据文件夹。";
}

}  // namespace

std::string Schema::formulaTableSql(const std::string& table) {
    return "CREATE TABLE " + table +
           " (bolKill BOOLEAN, gongshi TEXT, gongshiCN TEXT, idx INTEGER, sglGsRate REAL,"
           " intGsErrCon INTEGER, intGsTrueCon INTEGER, intGsErrLst INTEGER, intGsTrueLst INTEGER,"
           " EnteredIssue INTEGER, EnteredDate INTEGER)";
}

bool Schema::hasOriginColumns(Database& db, const std::string& table) {
    const auto have = columnsOf(db, table);
    return have.count(lower(kEnteredIssue)) && have.count(lower(kEnteredDate));
}

std::string Schema::formulaTable(int position) { return "Gongshi" + std::to_string(position); }

const std::vector<std::string>& Schema::formulaColumns() {
    static const std::vector<std::string> cols{"bolKill",      "gongshi",     "gongshiCN",
                                               "idx",          "sglGsRate",   "intGsErrCon",
                                               "intGsTrueCon", "intGsErrLst", "intGsTrueLst"};
    return cols;
}

void Schema::ensureTables(Database& db) {
    if (!db.tableExists("Lishi")) {
        db.exec(lishiSql());
    }
    db.exec("CREATE INDEX IF NOT EXISTS LishiIssue ON Lishi (strQQH)");
    for (int p = 1; p <= 10; ++p) {
        const std::string table = formulaTable(p);
        if (!db.tableExists(table)) {
            db.exec(formulaTableSql(table));
        } else {
            // Older tables: their rows keep an unknown entry (NULL).
            const auto have = columnsOf(db, table);
            for (const char* c : {kEnteredIssue, kEnteredDate})
                if (!have.count(lower(c)))
                    db.exec("ALTER TABLE " + table + " ADD COLUMN " + c + " INTEGER");
        }
    }
    if (!db.tableExists("Errarr")) {
        db.exec(errarrSql("Errarr"));
        auto ins = db.prepare(
            "INSERT INTO Errarr (Num, ETrrcount, Errcount, Trrcount) VALUES (?1, 0, 0, 0)");
        for (int n = 1; n <= 10; ++n) {
            ins.bind(1, n);
            ins.run();
            ins.reset();
        }
    }
    if (!db.tableExists("ErrarrLei")) db.exec(errarrSql("ErrarrLei"));
    HistoryTable::ensureCopy(db);
}

Database Schema::openDataFile(const std::string& path) {
    if (isForeignFile(path)) {
        throw DbError("文件 " + path +
                      " 不是本程序能识别的数据库文件（不是 SQLite 数据库）。为了保护其中的数据，"
                      "程序不会打开或覆盖它。请将它移走或改名后再启动程序。");
    }
    std::error_code ec;
    const bool fresh =
        !std::filesystem::exists(path, ec) || std::filesystem::file_size(path, ec) == 0;
    Database db;
    std::vector<std::string> tables;
    long long appId = 0, version = 0;
    try {
        db = Database(path);
        db.exec("PRAGMA foreign_keys = OFF");
        if (fresh) {
            Transaction tx(db);
            ensureTables(db);
            markOurs(db);
            tx.commit();
            return db;
        }
        // Only reads from here on: whatever the file turns out to be, it is
        // left as it was.
        appId = pragmaValue(db, "application_id");
        version = pragmaValue(db, "user_version");
        auto st = db.prepare(
            "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite!_%' "
            "ESCAPE '!'");
        while (st.step()) tables.push_back(st.text(0));
    } catch (const DbError& e) {
        throw DbError("无法打开数据库文件 " + path + "：" + e.what());
    }
    if (appId != 0 && appId != kApplicationId)
        throw DbError(foreignMessage(path, "它的文件头标明属于另一个程序"));
    if (appId == kApplicationId && version > kSchemaVersion)
        throw DbError("数据库文件 " + path +
                      " 是较新版本的本程序建立的，这个版本不能使用它。请使用较新的版本。");
    std::set<std::string> have;
    for (const auto& t : tables) have.insert(lower(t));
    if (appId == 0) {
        // Files from before the mark: ours only when every table is one of ours.
        const auto ours = ourTables();
        for (const auto& t : tables)
            if (!ours.count(lower(t))) throw DbError(foreignMessage(path, "其中有表 " + t));
        if (!have.count("lishi")) throw DbError(foreignMessage(path, "其中没有历史号码表 Lishi"));
        try {
            requireColumns(db, "Lishi", lishiColumns());
        } catch (const DbError&) {
            throw DbError(foreignMessage(path, "它的 Lishi 表不是本程序的历史号码表"));
        }
    }
    requireColumns(db, "Lishi", lishiColumns());
    bool complete = have.count("lishi") && have.count("errarr") && have.count("errarrlei") &&
                    HistoryTable::hasCopy(db);
    for (int p = 1; p <= 10; ++p) {
        if (have.count(lower(formulaTable(p)))) {
            requireColumns(db, formulaTable(p), formulaColumns());
            complete = complete && hasOriginColumns(db, formulaTable(p));
        } else {
            complete = false;
        }
    }
    if (appId == 0 || version < kSchemaVersion || !complete) {
        db.setFirstWrite([](Database& d) {
            ensureTables(d);
            markOurs(d);
        });
    }
    return db;
}

}  // namespace varnet
