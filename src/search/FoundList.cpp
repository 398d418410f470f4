#include "search/FoundList.h"

#include <charconv>
#include <limits>
#include <unordered_map>

#include "base/ParameterNames.h"

namespace varnet {

namespace {

// The parameters and constant of a generated code form ("L3B+L7A+5").
bool parseSum(const std::string& code, std::vector<int>& params, int& constant) {
    static const std::unordered_map<std::string, int> index = [] {
        std::unordered_map<std::string, int> m;
        for (int k = 1; k <= 132; ++k) m.emplace(ParameterNames::code(k), k);
        return m;
    }();
    params.clear();
    std::size_t from = 0;
    for (std::size_t plus; (plus = code.find('+', from)) != std::string::npos; from = plus + 1) {
        const auto it = index.find(code.substr(from, plus - from));
        if (it == index.end()) return false;
        params.push_back(it->second);
    }
    const char* end = code.data() + code.size();
    const auto r = std::from_chars(code.data() + from, end, constant);
    return r.ec == std::errc() && r.ptr == end;
}

}  // namespace

void FoundList::add(const SearchResult& find, FormulaShape shape,
                    const std::optional<FindScores>& scores) {
    Row row;
    row.position = static_cast<std::uint8_t>(find.position);
    row.flags = (find.kill ? Kill : 0) | (shape == FormulaShape::Suffix ? Suffix : 0);
    if (scores) {
        row.flags |=
            Scored | (scores->heldOut ? HeldOut : 0) | (scores->heldOutValid ? HeldOutValid : 0);
        row.rate = scores->rate;
        row.pValue = scores->pValue;
        row.heldOutHits = scores->heldOutHits;
        row.heldOutCounted = scores->heldOutCounted;
    }
    // Kept as parameters only when both forms come back exactly from them.
    std::vector<int> params;
    int constant = 0;
    const GeneratorSettings g{0, find.position, find.kill, shape, std::nullopt};
    if (find.position >= 1 && find.position <= 10 && parseSum(find.code, params, constant) &&
        params.size() <= 255 &&
        params_.size() + params.size() <= std::numeric_limits<std::uint32_t>::max() &&
        candidateCode(params, constant) == find.code &&
        candidateChinese(params, constant, g) == find.chinese) {
        row.at = static_cast<std::uint32_t>(params_.size());
        row.operands = static_cast<std::uint8_t>(params.size());
        row.constant = constant;
        for (int k : params) params_.push_back(static_cast<std::uint8_t>(k));
    } else {
        row.flags |= Text;
        row.at = static_cast<std::uint32_t>(texts_.size());
        texts_.emplace_back(find.code, find.chinese);
    }
    rows_.push_back(row);
}

void FoundList::append(const FoundList& other) {
    const auto params = static_cast<std::uint32_t>(params_.size());
    const auto texts = static_cast<std::uint32_t>(texts_.size());
    rows_.reserve(rows_.size() + other.rows_.size());
    for (Row r : other.rows_) {
        r.at += (r.flags & Text) ? texts : params;
        rows_.push_back(r);
    }
    params_.insert(params_.end(), other.params_.begin(), other.params_.end());
    texts_.insert(texts_.end(), other.texts_.begin(), other.texts_.end());
}

void FoundList::clear() {
    rows_.clear();
    params_.clear();
    texts_.clear();
}

std::vector<int> FoundList::paramsOf(const Row& r) const {
    return std::vector<int>(params_.begin() + r.at, params_.begin() + r.at + r.operands);
}

std::string FoundList::code(std::size_t i) const {
    const Row& r = rows_[i];
    if (r.flags & Text) return texts_[r.at].first;
    return candidateCode(paramsOf(r), r.constant);
}

std::string FoundList::chinese(std::size_t i) const {
    const Row& r = rows_[i];
    if (r.flags & Text) return texts_[r.at].second;
    const GeneratorSettings g{r.operands, r.position, (r.flags & Kill) != 0,
                              (r.flags & Suffix) ? FormulaShape::Suffix : FormulaShape::Prefix,
                              std::nullopt};
    return candidateChinese(paramsOf(r), r.constant, g);
}

SearchResult FoundList::result(std::size_t i) const {
    return {rows_[i].position, (rows_[i].flags & Kill) != 0, code(i), chinese(i)};
}

std::optional<FindScores> FoundList::scores(std::size_t i) const {
    const Row& r = rows_[i];
    if (!(r.flags & Scored)) return std::nullopt;
    return FindScores{
        r.rate,        r.pValue,        (r.flags & HeldOut) != 0, (r.flags & HeldOutValid) != 0,
        r.heldOutHits, r.heldOutCounted};
}

std::size_t FoundList::bytes() const {
    std::size_t n =
        rows_.capacity() * sizeof(Row) + params_.capacity() + texts_.capacity() * sizeof(texts_[0]);
    for (const auto& [code, chinese] : texts_) n += code.capacity() + chinese.capacity();
    return n;
}

}  // namespace varnet
