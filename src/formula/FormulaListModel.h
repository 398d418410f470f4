#pragma once

#include <QAbstractTableModel>
#include <memory>
#include <optional>
#include <vector>

#include "formula/Verification.h"

namespace varnet {

struct MainState;

// The formula list of the main window: the formulas of one position and
// kind with the scores of their last verification. Selection flags and
// calculation values live in MainState, keyed by the formula's row id, so
// sorting the rows never moves them to another formula. Cells are read on
// demand: a list of 100,000 formulas costs one row object each, no items.
class FormulaListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column {
        Number,
        Formula,
        Kind,
        Mode,
        CalcValue,
        Rate,
        LongestMiss,
        LongestHit,
        LastMiss,
        LastHit,
        Idx,  // hidden
        // What chance alone gives a formula of its kind, and how far its
        // unweighted hits stand above that (a one-sided binomial p-value).
        Baseline,
        Significance,
        // The p-value adjusted for the number of formulas listed
        // (Benjamini-Hochberg over the scored formulas of the list).
        Adjusted,
        ColumnCount
    };
    using List = std::vector<ListedFormula>;

    explicit FormulaListModel(MainState& state, QObject* parent = nullptr);

    // Widths in twips (420, 4800, 500, 420, 600, 2600, 800 x 4, hidden, then
    // the three chance columns), as pixels.
    static int columnWidth(int column);

    // A new list in `idx` order, without scores; the rate caption follows
    // `weighted`.
    void setList(List list, int position, bool weighted);
    // Scores of the whole list, in list order; selected formulas take their
    // calculation value, invalid ones lose their flag.
    void setScores(std::vector<Score> scores);
    // Scores of the formulas from list position `first` on (a block).
    void setBlockScores(int first, const std::vector<Score>& scores);

    const List& list() const { return *list_; }
    std::shared_ptr<const List> sharedList() const { return list_; }
    int size() const { return static_cast<int>(list_->size()); }
    int position() const { return position_; }
    // The list position shown in a view row (rows may be sorted).
    int listIndex(int row) const { return order_[row]; }
    const Score* score(int index) const;

    // Only formulas that parse and evaluate can be selected.
    bool selectable(int index) const;
    bool isSelected(int index) const;
    void setSelected(int index, bool on);
    void toggleRow(int row);
    void selectAll();
    void invertSelection();
    int selectedCount() const;
    // Repaints the serial numbers after flags changed through setSelected.
    void repaintSelection() { repaintColumn(Number); }

    // Column 4 of every row naming the same number as `row` turns green,
    // the others white.
    void markSameValue(int row);
    // Ascending by the statistic of column 5..9 or by the p-value of the
    // significance or adjusted column, ties by `idx`, formulas without a
    // score first; other columns keep the order.
    void sortByColumn(int column);

    bool chinese() const { return chinese_; }
    void setChinese(bool on);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    std::optional<int> calcValue(int index) const;
    // The p-value of a scored formula, worked out once per score.
    double pValue(int index) const;
    // The adjusted p-value; NaN for a formula without a p-value.
    double adjusted(int index) const;
    bool hasPValue(int index) const;
    QVariant toolTip(int index, int column) const;
    void takeCalcValues(int first, int last);
    void repaintColumn(int column);

    MainState& state_;
    std::shared_ptr<List> list_;
    std::vector<std::optional<Score>> scores_;
    mutable std::vector<double> pValues_;   // NaN until asked for
    mutable std::vector<double> adjusted_;  // empty until asked for
    std::vector<int> order_;
    int position_ = 1;
    bool weighted_ = true;
    bool chinese_ = true;
    std::optional<int> marked_;  // calculation value painted green
};

}  // namespace varnet
