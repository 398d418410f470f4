#pragma once

#include <sqlite3.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace varnet {

class Statement;

// An error of the database engine, with its message.
class DbError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The connection's last error for the user: a full disk, a disk error and a
// write-protected file or folder are said in plain Chinese first, the
// engine's own words follow in brackets.
std::string describeError(sqlite3* db, int rc);

// How long a statement waits for another program that holds the data file,
// and who hears of it: `waiting` once per wait (from the waiting thread),
// `cancelled` is asked while it waits and ends the wait when true.
struct BusyWait {
    int seconds = 60;
    std::function<void()> waiting;
    std::function<bool()> cancelled;
    std::function<void()> ended;  // after a wait that `waiting` announced
};

// One open SQLite connection (RAII). Used by one thread at a time.
class Database {
  public:
    // The wait of a new connection: $VARNET_WAIT_SECONDS when set (so tests
    // and scripts can shorten it), else the default set here (60 s).
    static int defaultWaitSeconds();
    // What every connection opened from now on starts with.
    static void setDefaultBusyWait(BusyWait wait);

    Database() = default;
    // Opens an existing file or creates a new one. Throws DbError.
    explicit Database(const std::string& path);
    ~Database();
    Database(Database&& other) noexcept;
    Database& operator=(Database&& other) noexcept;
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    bool isOpen() const { return db_ != nullptr; }
    // Whether changes can be stored: the file opened for writing and its
    // folder (where the journal goes) can be written, as the VFS reports.
    bool writable() const;
    const std::string& path() const { return path_; }
    void close();

    // Runs statements that take no parameters and return no rows.
    void exec(std::string_view sql);
    Statement prepare(std::string_view sql);
    bool tableExists(std::string_view name);
    long long changes() const;
    sqlite3* handle() const { return db_; }

    void setBusyWait(BusyWait wait);
    const BusyWait& busyWait() const { return wait_; }

    // Runs once, inside the first write transaction (after BEGIN IMMEDIATE),
    // so a file that only is read is never changed.
    void setFirstWrite(std::function<void(Database&)> hook) { firstWrite_ = std::move(hook); }
    bool hasPendingFirstWrite() const { return static_cast<bool>(firstWrite_); }

  private:
    static BusyWait& defaultWait();
    static int onBusy(void* self, int count);
    void installBusyHandler();

    sqlite3* db_ = nullptr;
    std::string path_;
    BusyWait wait_;
    std::function<void(Database&)> firstWrite_;
    // State of the wait in progress.
    long long waitStartMs_ = 0;
    bool announced_ = false;
};

}  // namespace varnet
