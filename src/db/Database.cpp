#include "db/Database.h"

#include <filesystem>
#include <utility>

#include "db/Statement.h"

namespace varnet {

std::string describeError(sqlite3* db, int rc) {
    const std::string engine = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    const char* plain = nullptr;
    switch (rc & 0xff) {
        case SQLITE_FULL: plain = "磁盘已满，数据文件写不下"; break;
        case SQLITE_IOERR: plain = "读写磁盘出错"; break;
        case SQLITE_READONLY: plain = "数据文件或它的文件夹是只读的，不能写入"; break;
        case SQLITE_CANTOPEN: plain = "无法打开或建立数据文件（文件夹是否只读？）"; break;
        default: break;
    }
    return plain ? std::string(plain) + "（" + engine + "）" : engine;
}

Database::Database(const std::string& path) : path_(path) {
    const int rc = sqlite3_open_v2(path.c_str(), &db_,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                                   nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = describeError(db_, rc);
        sqlite3_close(db_);
        db_ = nullptr;
        throw DbError(msg);
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, 5000);
}

Database::~Database() { close(); }

Database::Database(Database&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)), path_(std::move(other.path_)) {}

Database& Database::operator=(Database&& other) noexcept {
    if (this != &other) {
        close();
        db_ = std::exchange(other.db_, nullptr);
        path_ = std::move(other.path_);
    }
    return *this;
}

bool Database::writable() const {
    if (!db_ || sqlite3_db_readonly(db_, "main") != 0) return false;
    sqlite3_vfs* vfs = nullptr;
    if (sqlite3_file_control(db_, "main", SQLITE_FCNTL_VFS_POINTER, &vfs) != SQLITE_OK || !vfs)
        return false;
    std::string folder = std::filesystem::path(path_).parent_path().string();
    if (folder.empty()) folder = ".";
    int canWrite = 0;
    return vfs->xAccess(vfs, folder.c_str(), SQLITE_ACCESS_READWRITE, &canWrite) == SQLITE_OK &&
           canWrite != 0;
}

void Database::close() {
    if (db_) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

void Database::exec(std::string_view sql) {
    if (!db_) throw DbError("database is not open");
    char* err = nullptr;
    const std::string text(sql);
    if (const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &err); rc != SQLITE_OK) {
        sqlite3_free(err);
        std::string msg = describeError(db_, rc);
        throw DbError(msg);
    }
}

Statement Database::prepare(std::string_view sql) {
    if (!db_) throw DbError("database is not open");
    return Statement(db_, sql);
}

bool Database::tableExists(std::string_view name) {
    auto st = prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE");
    st.bind(1, name);
    return st.step();
}

long long Database::changes() const { return db_ ? sqlite3_changes64(db_) : 0; }

}  // namespace varnet
