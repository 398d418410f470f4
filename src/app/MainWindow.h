#pragma once

#include <QDate>
#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AppSettings.h"
#include "app/CalculationCommands.h"
#include "app/SettingsMenu.h"
#include "base/History.h"
#include "formula/FormulaPanel.h"
#include "history/HistoryPanel.h"
#include "search/SearchWindow.h"
#include "ui/MainState.h"
#include "ui/ModelExport.h"
#include "ui/WorkRunner.h"

class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;

namespace varnet {

class Asker;
class Database;
class DrawEntry;
class Fetcher;
class HistoryModel;
class HistoryView;
class Launcher;

// The main window: owns the shared state, the work runner and the database,
// and composes the history half, the formula panel, the calculation row and
// the settings menu, giving each what it needs.
class MainWindow : public QMainWindow,
                   private FormulaPanel::Host,
                   private Exporter,
                   private frmGSGL::Host,
                   private HistoryPanel::Host,
                   private SettingsMenu::Host,
                   private CalculationCommands::Host {
    Q_OBJECT
  public:
    // Settings keys of the addresses behind the document buttons; an empty
    // address hides its button.
    static constexpr const char* kSlidesUrlKey = settings::kSlideDocUrl.name;
    static constexpr const char* kVideoUrlKey = settings::kVideoDocUrl.name;
    static constexpr const char* kGuideFile = "使用说明.html";

    MainWindow(Database& db, std::string dataFolder, AppSettings& settings, Launcher& launcher,
               Asker& asker, QWidget* parent = nullptr);
    ~MainWindow() override;

    // Reloads the history from the database into the grid, shows its end and
    // proposes the next issue.
    void AddHaoma() { history_->AddHaoma(); }
    // Sets the verification issue to the greatest stored issue and the entry
    // issue box to the one after it; an empty history changes neither.
    void QihaoXianshi() { history_->QihaoXianshi(); }

    const MainState& state() const { return state_; }
    const History& history() const { return *history_->history(); }
    HistoryPanel* historyPanel() const { return history_; }
    HistoryModel* historyModel() const { return history_->model(); }
    HistoryView* historyView() const { return history_->view(); }
    DrawEntry* drawEntry() const { return history_->entry(); }
    QMenu* settingsMenu() const { return settingsMenu_; }
    QMenu* historyMenu() const { return history_->menu(); }
    FormulaPanel* formulaPanel() const { return panel_; }
    CalculationCommands* calculation() const { return calculation_; }
    QLineEdit* verificationBox() const { return calculation_->verificationBox(); }
    // The secondary windows, once they have been opened.
    frmErrarrLei* resultWindow() const { return calculation_->resultWindow(); }
    frmGsCsArr* sortWindow() const { return calculation_->sortWindow(); }
    frmShuoming* parameterWindow() const { return calculation_->parameterWindow(); }
    frmGsbz* stepsWindow() const { return calculation_->stepsWindow(); }
    frmLslb* queryWindow() const { return calculation_->queryWindow(); }
    frmGSGL* searchWindow() const { return search_; }

    // Lists a position's formulas, all selected, and returns once they are
    // verified and shown.
    void selectPosition(int position) { panel_->selectPosition(position); }

    // The commands.
    void openGuide();
    // "导出列表到Excel": the history grid, with the per-draw formula columns
    // when they are shown, to a workbook.
    void exportHistoryList() override;
    // "公式搜索(&F)": the search window, modal.
    void openSearch() override;
    // "公式在线更新（&W)": every formula replaced by the published file.
    void updateFormulasOnline();

    // Where "today" comes from (the manual entry's date, the last day page
    // of an online update); tests give a fixed day.
    void setClock(std::function<QDate()> today) { history_->setClock(std::move(today)); }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void loadSettings();
    void buildWindow();
    QPushButton* addressButton(const QString& caption, const QString& key);

    // FormulaPanel::Host, frmGSGL::Host, CalculationCommands::Host
    std::shared_ptr<const History> currentHistory() const override { return history_->history(); }
    WorkRunner& runner() override { return runner_; }
    // Exporter
    bool busy() const override { return runner_.busy(); }
    bool exportFile(QWidget* from, const QString& title, const std::string& file, long long total,
                    const Exporter::Write& write) override;
    // frmGSGL::Host
    CountRule searchCountRule() const override;
    QString entryIssueText() const override { return state_.entryIssueText; }
    void saveFormulas(std::vector<SearchResult> batch, bool replace,
                      std::function<void(const BatchSaveResult&)> done) override;
    void storeHoldOut(HoldOutRecord record, std::function<void(const std::string&)> done) override;
    // The formula tables of these positions were rewritten: list and verify
    // again.
    void formulasSaved(const std::vector<int>& positions);
    // HistoryPanel::Host, SettingsMenu::Host
    void refillFormulas() override { panel_->refresh(); }
    void verifyFormulas() override { panel_->Yansuan(); }
    void lastIssueShown(qint64 issue) override;
    std::string historySite() const override;
    int historySize() const override { return history_->history()->size(); }
    // CalculationCommands::Host
    FormulaPanel& formulas() override { return *panel_; }
    void methodChosen(bool computeSelected) override {
        settings_.setComputeSelected(computeSelected);
    }

    Database& db_;
    std::string dataFolder_;
    AppSettings& settings_;
    Launcher& launcher_;
    Asker& asker_;

    MainState state_;

    HistoryPanel* history_ = nullptr;
    FormulaPanel* panel_ = nullptr;
    CalculationCommands* calculation_ = nullptr;
    SettingsMenu* settingsMenu_ = nullptr;
    QWidget* commandArea_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    frmGSGL* search_ = nullptr;

    // Downloads for the online updates; the cancel button stops the one under way.
    std::unique_ptr<Fetcher> fetcher_;

    // Runs every job off the window's thread; saves from the search window
    // wait in its queue for the work under way (a verification, or an
    // earlier save with its refresh).
    WorkRunner runner_;
};

}  // namespace varnet
