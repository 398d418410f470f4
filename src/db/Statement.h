#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace varnet {

// A prepared statement with bound values (RAII). Parameters are 1-based,
// columns 0-based, as in SQLite.
class Statement {
  public:
    Statement(sqlite3* db, std::string_view sql);
    ~Statement();
    Statement(Statement&& other) noexcept;
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    Statement& operator=(Statement&&) = delete;

    Statement& bind(int index, std::int64_t value);
    Statement& bind(int index, int value) { return bind(index, static_cast<std::int64_t>(value)); }
    Statement& bind(int index, double value);
    Statement& bind(int index, std::string_view text);
    Statement& bindNull(int index);

    // Advances; true while a row is available. Throws DbError on failure.
    bool step();
    // Steps a statement that returns no rows.
    void run();
    void reset();

    int columnCount() const;
    bool isNull(int column) const;
    std::int64_t int64(int column) const;
    int integer(int column) const;
    double real(int column) const;
    std::string text(int column) const;

  private:
    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

}  // namespace varnet
