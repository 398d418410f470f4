#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/Generator.h"
#include "search/SchemeSearch.h"

namespace varnet {

// A find's figures, as numbers: the list formats them when it shows them.
struct FindScores {
    float rate = 0.0f;     // in-sample rate, percent
    double pValue = 1.0;   // of the in-sample hits against chance
    bool heldOut = false;  // the search held draws out
    bool heldOutValid = false;
    std::int32_t heldOutHits = 0, heldOutCounted = 0;
};

// The finds of a search window, kept small: a search on loose thresholds
// finds thousands a second for hours. A generated find is its parameter
// indices, constant, position, kind and shape (both forms are rebuilt from
// them when asked); a find in any other form keeps its texts.
class FoundList {
  public:
    void add(const SearchResult& find, FormulaShape shape,
             const std::optional<FindScores>& scores = std::nullopt);
    // Appends every find of `other`.
    void append(const FoundList& other);
    void clear();

    std::size_t size() const { return rows_.size(); }
    bool empty() const { return rows_.empty(); }
    int position(std::size_t i) const { return rows_[i].position; }
    std::string code(std::size_t i) const;
    std::string chinese(std::size_t i) const;
    SearchResult result(std::size_t i) const;
    std::optional<FindScores> scores(std::size_t i) const;
    // The bytes the list holds (its capacity), for the memory checks.
    std::size_t bytes() const;

  private:
    enum Flag : std::uint8_t {
        Kill = 1,
        Suffix = 2,
        Scored = 4,
        HeldOut = 8,
        HeldOutValid = 16,
        Text = 32
    };
    struct Row {
        std::uint32_t at = 0;  // first parameter in params_, or the index in texts_
        std::int32_t constant = 0;
        float rate = 0.0f;
        std::uint8_t operands = 0, position = 0, flags = 0;
        double pValue = 1.0;
        std::int32_t heldOutHits = 0, heldOutCounted = 0;
    };
    std::vector<int> paramsOf(const Row& r) const;

    std::vector<Row> rows_;
    std::vector<std::uint8_t> params_;
    std::vector<std::pair<std::string, std::string>> texts_;  // code, Chinese
};

}  // namespace varnet
