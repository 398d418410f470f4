#pragma once

#include <sqlite3.h>

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

// One open SQLite connection (RAII). Used by one thread at a time.
class Database {
public:
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

private:
    sqlite3* db_ = nullptr;
    std::string path_;
};

}  // namespace varnet
