#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "base/Draw.h"
#include "db/Schema.h"
#include "engine/ScoreStat.h"

namespace varnet {

// Which `Lishi` column the history grid shows as a formula's verification
// result: the value for the following issue or for the issue itself.
enum class ResultColumn { PreCanshu, Canshu };

// What the main window holds for the other windows to read.
struct MainState {
    int selectedPosition = 1;
    bool kill = true;             // list kill formulas (else keep formulas)
    int days = 3;                 // days the online update searches back
    bool computeSelected = true;  // "计算选中公式" (else "最优公式法")
    ResultColumn resultColumn = ResultColumn::PreCanshu;
    bool excludeCurrent = true;  // look-back excludes the current issue
    bool weighted = true;        // issue-weighted hit rate
    int issueCountIndex = 3;     // entry of the issue-count menu
    int issueCount = 300;        // issues verification looks at; 0 = all
    QString entryIssueText = QStringLiteral("2007001");
    QString verificationIssueText = QStringLiteral("2007001");
    // Date and numbers of the last draw an import handled in this run.
    DrawCarry carry;
    bool dateFromImport = false;

    // State of the formulas now listed (selected position and kind), keyed
    // by the formula's row id: ids are only unique within one table.
    // Selected formulas vote and are what the deletions act on; the
    // calculation value is each formula's number for the next draw.
    std::unordered_set<std::int64_t> selectedFormulas;
    std::unordered_map<std::int64_t, int> calcValues;

    // The flags a position had when the list last left it (index 1..10). A
    // position with no record, or a record of the other kind, has every
    // formula selected: each refill selects all of its list.
    struct PositionSelection {
        bool kill = true;
        std::unordered_set<std::int64_t> ids;
    };
    std::array<std::optional<PositionSelection>, 11> leftSelections;

    // The sort window's choice for the best-formula method, kept for the
    // run; the method stops until it has been confirmed once.
    SortSettings sort;
    bool sortConfirmed = false;

    std::string formulaTable() const { return Schema::formulaTable(selectedPosition); }
};

}  // namespace varnet
