#include "formula/FormulaSelection.h"

#include <deque>

namespace varnet {

namespace {

std::string contentKey(bool kill, const std::string& code, const std::string& chinese) {
    std::string key;
    key.reserve(code.size() + chinese.size() + 3);
    key += kill ? 'k' : 'g';
    key += '\x1f';
    key += code;
    key += '\x1f';
    key += chinese;
    return key;
}

}  // namespace

void FormulaSelection::setListed(int position, bool kill) {
    listed_ = true;
    position_ = position;
    kill_ = kill;
}

FormulaSelection::Carry FormulaSelection::priorWithout(const std::vector<ListedFormula>& list,
                                                       const std::vector<bool>& flags,
                                                       const std::vector<int>& deletedIndexes,
                                                       Carry::Flags how) const {
    Carry carry;
    carry.flags = how;
    std::vector<bool> deleted(list.size(), false);
    for (int i : deletedIndexes) deleted[i] = true;
    carry.prior.reserve(list.size());
    for (std::size_t i = 0; i < list.size(); ++i) {
        const bool selected = i < flags.size() && flags[i];
        if (how == Carry::Flags::ByPosition) carry.flagsByPosition.push_back(selected);
        if (deleted[i]) continue;
        Prior p;
        p.kill = list[i].row.kill;
        p.code = list[i].row.code;
        p.chinese = list[i].row.chinese;
        p.selected = selected;
        if (auto c = values_.find(list[i].row.id); c != values_.end()) p.calc = c->second;
        carry.prior.push_back(std::move(p));
    }
    return carry;
}

std::optional<FormulaSelection::Left> FormulaSelection::fill(
    const std::vector<ListedFormula>& list, int position, bool kill, const Carry& carry,
    const std::vector<ListedFormula>& shown) {
    Ids selected;
    CalcValues calc;
    selected.reserve(list.size());
    if (carry.flags == Carry::Flags::ByContent || carry.flags == Carry::Flags::ByPosition ||
        !carry.prior.empty()) {
        // Ids may have changed with the table; the formulas that stay keep
        // their order, so they are found again by content, in order.
        std::unordered_map<std::string, std::deque<const Prior*>> byContent;
        for (const Prior& p : carry.prior)
            byContent[contentKey(p.kill, p.code, p.chinese)].push_back(&p);
        for (std::size_t i = 0; i < list.size(); ++i) {
            const FormulaRow& row = list[i].row;
            const Prior* before = nullptr;
            auto it = byContent.find(contentKey(row.kill, row.code, row.chinese));
            if (it != byContent.end() && !it->second.empty()) {
                before = it->second.front();
                it->second.pop_front();
            }
            bool on = true;
            if (carry.flags == Carry::Flags::ByContent && before) on = before->selected;
            if (carry.flags == Carry::Flags::ByPosition && i < carry.flagsByPosition.size())
                on = carry.flagsByPosition[i];
            if (on && list[i].program) selected.insert(row.id);
            if (before && before->calc) calc[row.id] = *before->calc;
        }
    } else {
        const bool sameList = isListed(position, kill);
        Ids ids;
        if (sameList)
            for (const ListedFormula& f : shown) ids.insert(f.row.id);
        for (const ListedFormula& f : list) {
            const std::int64_t id = f.row.id;
            // Formulas new to the list start selected, as every fill does.
            const bool on =
                carry.flags == Carry::Flags::All || !ids.count(id) || selected_.count(id);
            if (on && f.program) selected.insert(id);
            if (sameList)
                if (auto c = values_.find(id); c != values_.end()) calc[id] = c->second;
        }
    }
    // A list that goes leaves its flags with its position; the calculation
    // reads them there until the position is listed (refilled) again.
    std::optional<Left> left;
    if (listed_ && !isListed(position, kill)) left = Left{position_, kill_, std::move(selected_)};
    selected_ = std::move(selected);
    values_.swap(calc);
    return left;
}

}  // namespace varnet
