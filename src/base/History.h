#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "base/Draw.h"

namespace varnet {

// One parameter column, held in the narrowest of 8, 16 and 32 bits that
// holds every value of it (most parameters are small): a million draws take
// about a third of what 32 bits a value would. Values read back exactly.
class HistoryColumn {
  public:
    int size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::int32_t operator[](int row) const {
        switch (width_) {
            case 1:
                return narrow_[row];
            case 2:
                return middle_[row];
            default:
                return wide_[row];
        }
    }
    void push_back(std::int32_t v);
    // Appends values[0], values[stride], ... (count of them).
    void append(const std::int32_t* values, int count, int stride);
    void reserve(int rows);
    void resize(int rows);  // only shrinks
    void clear();
    // Rows [from, from + len) as doubles.
    void load(int from, int len, double* out) const;
    int width() const { return width_; }
    // The values as stored, width() bytes each in this machine's order, and
    // the way back: for a stored copy of the column.
    const void* bytes() const;
    void assignBytes(int width, const void* data, int count);

    class const_iterator {
      public:
        const_iterator(const HistoryColumn* c, int row) : c_(c), row_(row) {}
        std::int32_t operator*() const { return (*c_)[row_]; }
        const_iterator& operator++() { return ++row_, *this; }
        bool operator!=(const const_iterator& o) const { return row_ != o.row_; }
        bool operator==(const const_iterator& o) const { return row_ == o.row_; }

      private:
        const HistoryColumn* c_;
        int row_;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size_}; }

  private:
    void widen(int width);

    int width_ = 1;
    int size_ = 0;
    int reserved_ = 0;
    std::vector<std::int8_t> narrow_;
    std::vector<std::int16_t> middle_;
    std::vector<std::int32_t> wide_;
};

// The stored draw history in memory: the rows of the history table in
// ascending issue order (ties in stored order), one array per parameter
// column so that formulas can run over whole columns.
class History {
  public:
    History();

    int size() const { return static_cast<int>(issues_.size()); }
    bool empty() const { return issues_.empty(); }
    void reserve(int rows);
    void clear();
    void append(std::int32_t issue, const ParamValues& params);
    // Appends many rows at once, column by column.
    void append(const std::int32_t* issues, const ParamValues* params, int count);
    // Keeps the first `rows` rows.
    void truncate(int rows);

    std::int32_t issue(int row) const { return issues_[row]; }
    // Parameter k (1..132) of a row.
    std::int32_t param(int row, int k) const { return columns_[k - 1][row]; }
    // The number that finished at position 1..10.
    int number(int row, int position) const { return columns_[position - 1][row]; }
    Numbers numbers(int row) const;
    Draw draw(int row) const;
    ParamValues params(int row) const;

    const std::vector<std::int32_t>& issues() const { return issues_; }
    const HistoryColumn& column(int k) const { return columns_[k - 1]; }

    // The stored copy's way in: the issues, then each column filled by
    // column(k)'s assignBytes through this.
    void assignIssues(std::vector<std::int32_t> issues) { issues_ = std::move(issues); }
    HistoryColumn& columnToFill(int k) { return columns_[k - 1]; }
    // The same rows in issue order, ties in their order here.
    History sortedByIssue() const;

    // Row of the last draw with this issue, or -1.
    int findIssue(std::int32_t issue) const;

  private:
    std::vector<std::int32_t> issues_;
    std::array<HistoryColumn, kParamCount> columns_;
};

}  // namespace varnet
