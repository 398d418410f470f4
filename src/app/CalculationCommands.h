#pragma once

#include <QObject>
#include <memory>
#include <vector>

#include "analysis/Calculation.h"
#include "base/History.h"

class QLayout;
class QLineEdit;
class QRadioButton;
class QWidget;

namespace varnet {

class Asker;
class Database;
class Exporter;
class FormulaPanel;
class WorkRunner;
class frmErrarrLei;
class frmGsCsArr;
class frmGsbz;
class frmLslb;
class frmShuoming;
struct MainState;

// The calculation row of the main window ("计算/验算选择", "计算方法",
// "计算公式(&C)" and its neighbours) and the windows its commands open: the
// result, detail, steps, parameter and history query windows.
class CalculationCommands : public QObject {
    Q_OBJECT
  public:
    class Host {
      public:
        virtual ~Host() = default;
        virtual std::shared_ptr<const History> currentHistory() const = 0;
        virtual FormulaPanel& formulas() = 0;
        // "计算方法" was clicked: keep the choice.
        virtual void methodChosen(bool computeSelected) = 0;
        // "公式搜索(&F)".
        virtual void openSearch() = 0;
    };

    // The windows open over `window`.
    CalculationCommands(Host& host, Database& db, MainState& state, WorkRunner& runner,
                        Exporter& exporter, Asker& asker, QWidget* window);
    ~CalculationCommands() override;

    // The row of choices and buttons, its widgets made children of `area`.
    QLayout* buildRow(QWidget* area);

    QLineEdit* verificationBox() const { return verificationBox_; }
    frmErrarrLei* resultWindow() const { return result_; }
    frmGsCsArr* sortWindow() const { return sort_; }
    frmShuoming* parameterWindow() const { return parameters_; }
    frmGsbz* stepsWindow() const { return steps_; }
    frmLslb* queryWindow() const { return query_; }

    // "计算公式(&C)": the votes of positions 1..current for the next draw or
    // a stored one, shown in the result window.
    void computeFormulas();
    void showParameters();
    void showSteps(const QString& code, const QString& chinese);
    void showDetails();
    // "公式往期位置值结果列表": the listed formulas replayed over every draw,
    // shown in the history query window.
    void showPastResults();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    Host& host_;
    Database& db_;
    MainState& state_;
    WorkRunner& runner_;
    Exporter& exporter_;
    Asker& asker_;
    QWidget* window_;

    QRadioButton* nextDrawButton_ = nullptr;
    QRadioButton* givenIssueButton_ = nullptr;
    QRadioButton* bestButton_ = nullptr;
    QRadioButton* selectedButton_ = nullptr;
    QLineEdit* verificationBox_ = nullptr;

    frmErrarrLei* result_ = nullptr;
    frmGsCsArr* sort_ = nullptr;
    frmShuoming* parameters_ = nullptr;
    frmGsbz* steps_ = nullptr;
    frmLslb* query_ = nullptr;
    // The voters of the current position in the last selected-formula
    // calculation, for the detail list.
    std::vector<VotingFormula> detailVoters_;
};

}  // namespace varnet
