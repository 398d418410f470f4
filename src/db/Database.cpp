#include "db/Database.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <utility>

#include "db/Statement.h"

namespace varnet {

namespace {
// Whether the last wait of this thread ended by the user's cancel.
thread_local bool waitCancelled = false;
}  // namespace

std::string describeError(sqlite3* db, int rc) {
    const std::string engine = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    const char* plain = nullptr;
    switch (rc & 0xff) {
        case SQLITE_FULL:
            plain = "磁盘已满，数据文件写不下";
            break;
        case SQLITE_IOERR:
            plain = "读写磁盘出错";
            break;
        case SQLITE_READONLY:
            plain = "数据文件或它的文件夹是只读的，不能写入";
            break;
        case SQLITE_CANTOPEN:
            plain = "无法打开或建立数据文件（文件夹是否只读？）";
            break;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            // Not damage: someone else holds the file. The engine's words add nothing.
            if (waitCancelled) return "已取消等待另一个程序释放数据文件；数据没有改变。";
            return "数据文件正被另一个程序使用，等待它结束超时；数据没有改变。"
                   "请等另一个程序（Varnet 窗口或 varnet-cli）完成后再试。";
        default:
            break;
    }
    return plain ? std::string(plain) + "（" + engine + "）" : engine;
}

Database::Database(const std::string& path) : path_(path) {
    const int rc =
        sqlite3_open_v2(path.c_str(), &db_,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK) {
        std::string msg = describeError(db_, rc);
        sqlite3_close(db_);
        db_ = nullptr;
        throw DbError(msg);
    }
    sqlite3_extended_result_codes(db_, 1);
    wait_ = defaultWait();
    wait_.seconds = defaultWaitSeconds();
    installBusyHandler();
}

BusyWait& Database::defaultWait() {
    static BusyWait wait;
    return wait;
}

void Database::setDefaultBusyWait(BusyWait wait) { defaultWait() = std::move(wait); }

int Database::defaultWaitSeconds() {
    if (const char* v = std::getenv("VARNET_WAIT_SECONDS"); v && *v) {
        char* end = nullptr;
        const long s = std::strtol(v, &end, 10);
        if (end && *end == 0 && s >= 0 && s <= 24 * 3600) return static_cast<int>(s);
    }
    return defaultWait().seconds;
}

Database::~Database() { close(); }

Database::Database(Database&& other) noexcept
    : db_(std::exchange(other.db_, nullptr)),
      path_(std::move(other.path_)),
      wait_(std::move(other.wait_)),
      firstWrite_(std::move(other.firstWrite_)) {
    installBusyHandler();
}

Database& Database::operator=(Database&& other) noexcept {
    if (this != &other) {
        close();
        db_ = std::exchange(other.db_, nullptr);
        path_ = std::move(other.path_);
        wait_ = std::move(other.wait_);
        firstWrite_ = std::move(other.firstWrite_);
        installBusyHandler();
    }
    return *this;
}

void Database::setBusyWait(BusyWait wait) { wait_ = std::move(wait); }

// The handler points at this object, so it is set again after every move.
void Database::installBusyHandler() {
    if (db_) sqlite3_busy_handler(db_, &Database::onBusy, this);
}

int Database::onBusy(void* self, int count) {
    auto* d = static_cast<Database*>(self);
    using namespace std::chrono;
    const long long now =
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    if (count == 0) {
        if (d->announced_ && d->wait_.ended) d->wait_.ended();
        d->waitStartMs_ = now;
        d->announced_ = false;
        waitCancelled = false;
    }
    const long long waited = now - d->waitStartMs_;
    auto give_up = [d] {
        if (d->announced_ && d->wait_.ended) d->wait_.ended();
        d->announced_ = false;
        return 0;
    };
    if (waited >= static_cast<long long>(d->wait_.seconds) * 1000) return give_up();
    if (d->wait_.cancelled && d->wait_.cancelled()) {
        waitCancelled = true;
        return give_up();
    }
    // A commit of another program takes milliseconds; say nothing for those.
    if (!d->announced_ && waited >= 300) {
        d->announced_ = true;
        if (d->wait_.waiting) d->wait_.waiting();
    }
    std::this_thread::sleep_for(milliseconds(count < 10 ? 5 : 50));
    return 1;
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
    const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &err);
    if (announced_) {
        announced_ = false;
        if (wait_.ended) wait_.ended();
    }
    if (rc != SQLITE_OK) {
        sqlite3_free(err);
        std::string msg = describeError(db_, rc);
        throw DbError(msg);
    }
    if (firstWrite_ && text.rfind("BEGIN IMMEDIATE", 0) == 0) {
        auto hook = std::move(firstWrite_);
        firstWrite_ = nullptr;
        try {
            hook(*this);
        } catch (...) {
            // The caller's transaction object never came to be: end it here.
            sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
            firstWrite_ = std::move(hook);
            throw;
        }
    }
}

Statement Database::prepare(std::string_view sql) {
    if (!db_) throw DbError("database is not open");
    return Statement(db_, sql);
}

bool Database::tableExists(std::string_view name) {
    auto st =
        prepare("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE");
    st.bind(1, name);
    return st.step();
}

long long Database::changes() const { return db_ ? sqlite3_changes64(db_) : 0; }

}  // namespace varnet
