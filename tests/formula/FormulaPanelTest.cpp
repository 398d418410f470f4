#include <QCheckBox>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTabBar>
#include <QTimer>
#include <functional>

#include "app/GuiFixture.h"
#include "base/Paths.h"
#include "db/FormulaTable.h"
#include "formula/FilterWindow.h"
#include "formula/FormulaCommands.h"
#include "formula/FormulaListModel.h"
#include "formula/FormulaPanel.h"
#include "formula/Verification.h"
#include "search/SchemeSearch.h"
#include "support/RandomHistory.h"

namespace varnet::test {
namespace {

using Col = FormulaListModel::Column;

class FormulaPanelTest : public GuiTest {
  protected:
    void history(int rows) { storeHistory(db, randomHistory(rows, 7)); }
    // Formulas whose Chinese form is "c:" + code, to tell them apart.
    void formulas(int position, bool kill, const std::vector<std::string>& codes) {
        for (const auto& code : codes) FormulaTable(db, position).append(kill, code, "c:" + code);
    }

    FormulaPanel& panel() { return *window->formulaPanel(); }
    FormulaListModel& model() { return *panel().model(); }
    QString cell(int row, int column, int role = Qt::DisplayRole) {
        return model().data(model().index(row, column), role).toString();
    }
    QColor background(int row, int column) {
        return model().data(model().index(row, column), Qt::BackgroundRole).value<QBrush>().color();
    }
    std::vector<std::string> codes() {
        std::vector<std::string> out;
        for (int r = 0; r < model().rowCount(); ++r)
            out.push_back(cell(r, Col::Formula).mid(2).toStdString());
        return out;
    }
    std::vector<bool> flags() {
        std::vector<bool> out;
        for (int r = 0; r < model().rowCount(); ++r)
            out.push_back(model().isSelected(model().listIndex(r)));
        return out;
    }
    QPoint at(int row, int column) {
        return panel().listView()->visualRect(model().index(row, column)).center();
    }
    void click(int row, int column) {
        QTest::mouseClick(panel().listView()->viewport(), Qt::LeftButton, {}, at(row, column));
    }
    // Right-click on a row, then the "管理" entry.
    void manage(int row, const QString& entry) {
        QWidget* viewport = panel().listView()->viewport();
        const QPoint pos = row >= 0 ? at(row, Col::Formula) : QPoint(1, viewport->height() - 2);
        QContextMenuEvent event(QContextMenuEvent::Mouse, pos, viewport->mapToGlobal(pos));
        QApplication::sendEvent(viewport, &event);
        QMenu* menu = panel().manageMenu();
        menu->hide();
        trigger(menu, entry);
    }
    void press(const char* name) {
        auto* button = window->findChild<QPushButton*>(name);
        ASSERT_NE(button, nullptr) << name;
        QTest::mouseClick(button, Qt::LeftButton);
    }
};

TEST_F(FormulaPanelTest, ListShowsScoresSelectionAndSameValues) {
    history(40);
    // L1A and L1A+10 name the same number; the third cannot be evaluated.
    formulas(1, true, {"L1A", "L2B+3", "L1A+10", "L1A/(L2A-L2A)"});
    formulas(1, false, {"L3A"});
    MainWindow& w = open();
    ASSERT_EQ(model().rowCount(), 4) << "kill formulas of position 1 only";
    EXPECT_EQ(model().headerData(Col::Rate, Qt::Horizontal, Qt::DisplayRole), "正确率（加权算法）");
    EXPECT_EQ(cell(0, Col::Kind), "第一");
    EXPECT_EQ(cell(0, Col::Mode), "杀");
    EXPECT_TRUE(cell(0, Col::Rate).contains("% (")) << cell(0, Col::Rate).toStdString();
    EXPECT_FALSE(cell(0, Col::CalcValue).isEmpty());
    EXPECT_EQ(flags(), (std::vector<bool>{true, true, true, false}));
    EXPECT_EQ(background(0, Col::Number), QColor(0, 0, 255));
    EXPECT_TRUE(cell(3, Col::Rate).startsWith("无效：")) << cell(3, Col::Rate).toStdString();
    EXPECT_EQ(model().data(model().index(3, Col::Rate), Qt::ForegroundRole).value<QBrush>().color(),
              QColor(Qt::red));
    EXPECT_TRUE(cell(3, Col::CalcValue).isEmpty());

    click(0, Col::Formula);
    EXPECT_EQ(flags(), (std::vector<bool>{false, true, true, false}));
    EXPECT_NE(background(0, Col::Number), QColor(0, 0, 255));
    press("cmdInvert");
    EXPECT_EQ(flags(), (std::vector<bool>{true, false, false, false}))
        << "invalid stays unselected";
    click(3, Col::Formula);
    EXPECT_FALSE(flags()[3]);
    press("cmdSelectAll");
    EXPECT_EQ(flags(), (std::vector<bool>{true, true, true, false}));
    EXPECT_EQ(w.state().selectedFormulas.size(), 3u);

    click(0, Col::CalcValue);
    EXPECT_EQ(background(0, Col::CalcValue), QColor(0, 255, 0));
    EXPECT_EQ(background(2, Col::CalcValue), QColor(0, 255, 0));
    EXPECT_EQ(background(3, Col::CalcValue), QColor(Qt::white));
    EXPECT_EQ(background(1, Col::CalcValue) == QColor(0, 255, 0),
              cell(1, Col::CalcValue) == cell(0, Col::CalcValue));

    w.findChild<QTabBar*>("TabStrip1")->setCurrentIndex(1);
    EXPECT_EQ(cell(1, Col::Formula), "L2B+3");
    // The formula column's tip shows the whole formula in the form shown,
    // one that cannot be scored too, and when it entered the table.
    EXPECT_TRUE(cell(1, Col::Formula, Qt::ToolTipRole).startsWith("L2B+3\n录入时最大期号 1039，"))
        << cell(1, Col::Formula, Qt::ToolTipRole).toStdString();
    w.findChild<QTabBar*>("TabStrip1")->setCurrentIndex(0);
    EXPECT_TRUE(cell(3, Col::Formula, Qt::ToolTipRole).startsWith("c:L1A/(L2A-L2A)\n"));
    db.exec("UPDATE Gongshi1 SET EnteredIssue = NULL, EnteredDate = NULL");
    panel().refresh();
    EXPECT_TRUE(cell(1, Col::Formula, Qt::ToolTipRole).contains("录入来历不明"));
}

// Another program deletes a formula while the window verifies: the deletion
// compacts the file and renumbers the row ids. The window stores no score
// on a row that changed, verifies the table as it is now, and every stored
// score is that of the formula in its row.
TEST_F(FormulaPanelTest, VerificationOverAChangedTableVerifiesAgain) {
    history(3000);
    std::vector<SearchResult> many;
    for (int i = 0; i < 30000; ++i)
        many.push_back({1, true, "L1A+L2B*L3C+" + std::to_string(i), "c:" + std::to_string(i)});
    ASSERT_TRUE(saveBatch(db, many, false).ok);
    open();
    Database other(joinPath(folder, Schema::kFileName));
    // The list is read before the work starts: the first moment the window
    // is busy is inside the verification.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!QApplication::overrideCursor()) return;
        watch.stop();
        ASSERT_TRUE(FormulaCommands(other).deleteFormulas(1, {1}).ok);
    });
    watch.start(5);
    panel().Yansuan();
    ASSERT_FALSE(watch.isActive()) << "the verification ended before the deletion came";
    EXPECT_EQ(model().rowCount(), 29999);
    EXPECT_TRUE(asker.messages.empty());
    const auto list = loadFormulaList(db, 1, true);
    ASSERT_EQ(list.size(), 29999u);
    const auto scores = scoreFormulaList(HistoryTable(db).load(), list, 1, panel().countRule());
    int wrong = 0;
    for (std::size_t i = 0; i < list.size(); ++i)
        wrong += !list[i].row.lastHit || *list[i].row.lastHit != scores[i].lastHit ||
                 list[i].row.longestMiss != scores[i].longestMiss;
    EXPECT_EQ(wrong, 0);
}

TEST_F(FormulaPanelTest, DoubleClickOnAStatisticSortsAndFlagsFollowTheirFormulas) {
    history(60);
    formulas(1, true, {"L1A+L2B", "L3C+7", "L1A/(L2A-L2A)", "L4D+L5E+1", "L2A*3", "L7A+L8B+2"});
    open();
    click(0, Col::Formula);  // deselect L1A+L2B
    const auto before = codes();
    QHeaderView* header = panel().listView()->horizontalHeader();
    QTest::mouseDClick(header->viewport(), Qt::LeftButton, {},
                       QPoint(header->sectionViewportPosition(Col::Formula) + 5, 5));
    EXPECT_EQ(codes(), before) << "only statistic columns sort";
    QTest::mouseDClick(header->viewport(), Qt::LeftButton, {},
                       QPoint(header->sectionViewportPosition(Col::LongestMiss) + 5, 5));
    EXPECT_EQ(codes()[0], "L1A/(L2A-L2A)") << "invalid first";
    for (int r = 2; r < model().rowCount(); ++r)
        EXPECT_LE(cell(r - 1, Col::LongestMiss).toInt(), cell(r, Col::LongestMiss).toInt());
    for (int r = 0; r < model().rowCount(); ++r)
        EXPECT_EQ(flags()[r], codes()[r] != "L1A+L2B" && codes()[r] != "L1A/(L2A-L2A)");
}

TEST_F(FormulaPanelTest, PositionAndKindChoicesRefillTheList) {
    history(30);
    formulas(1, true, {"L1A", "L2A"});
    formulas(2, true, {"L3A", "L4A", "L5A"});
    formulas(2, false, {"L6A", "L7A"});
    MainWindow& w = open();
    auto choose = [&](const char* name) { w.findChild<QRadioButton*>(name)->click(); };
    click(0, Col::Formula);
    w.selectPosition(2);
    EXPECT_EQ(codes(), (std::vector<std::string>{"L3A", "L4A", "L5A"}));
    EXPECT_EQ(flags(), (std::vector<bool>(3, true)));
    EXPECT_EQ(w.historyModel()->selectedPosition(), 2);
    EXPECT_TRUE(w.findChild<QRadioButton*>("optPosition2")->isChecked());

    // The kind listed is the kind chosen: selection and deletion act on it.
    choose("optKeep");
    EXPECT_FALSE(w.state().kill);
    EXPECT_EQ(codes(), (std::vector<std::string>{"L6A", "L7A"}));
    EXPECT_EQ(cell(0, Col::Mode), "生");
    click(0, Col::Formula);
    choose("optPosition2");  // the position already checked
    EXPECT_EQ(flags(), (std::vector<bool>{true, true})) << "refilled, every formula selected";
    click(0, Col::Formula);
    EXPECT_EQ(w.state().selectedFormulas.size(), 1u);
    asker.confirms = {true};
    manage(-1, "删除选中所有公式(&C)");
    EXPECT_EQ(codes(), std::vector<std::string>{"L6A"});
    EXPECT_EQ(FormulaTable(db, 2).count(), 4) << "the kill formulas stay";

    choose("optKill");
    EXPECT_EQ(codes(), (std::vector<std::string>{"L3A", "L4A", "L5A"}));
    choose("optKeep");
    choose("optPosition1");
    EXPECT_EQ(model().rowCount(), 0) << "no keep formulas at position 1";
    press("cmdSelectAll");
    press("cmdInvert");
    EXPECT_TRUE(w.state().selectedFormulas.empty());
    w.selectPosition(2);
    EXPECT_EQ(codes(), std::vector<std::string>{"L6A"});
}

TEST_F(FormulaPanelTest, SelectionSurvivesDrawEntryAndDeleteLastButNotAFill) {
    history(40);
    formulas(1, true, {"L1A+1", "L1A+2", "L1A+3", "L1A+4"});
    MainWindow& w = open();
    auto* timer = w.findChild<QTimer*>("Timer2");
    ASSERT_NE(timer, nullptr);
    const std::vector<bool> kept{true, false, true, true};
    const std::vector<bool> all(4, true);
    const struct {
        const char* what;
        std::function<void()> act;
        const std::vector<bool>& expect;
    } steps[] = {
        {"first draw entered",
         [&] {
             box(1)->setFocus();
             type("3710429586");
         },
         kept},
        {"deferred refresh after the first entry",
         [&] { EXPECT_TRUE(QTest::qWaitFor([&] { return !timer->isActive(); }, 5000)); }, all},
        {"second draw entered",
         [&] {
             box(1)->setFocus();
             type("2345678901");
         },
         kept},
        {"no second deferred refresh", [&] { QTest::qWait(700); }, kept},
        {"删除最后历史(&D)", [&] { press("cmdDelLast"); }, kept},
        {"删除所有历史(&A）",
         [&] {
             asker.confirms = {true};
             trigger(w.historyMenu(), "删除所有历史(&A）");
         },
         all},
    };
    for (const auto& step : steps) {
        if (flags()[1]) click(1, Col::Formula);
        step.act();
        EXPECT_EQ(flags(), step.expect) << step.what;
    }
    EXPECT_EQ(w.history().size(), 0);
    EXPECT_EQ(model().rowCount(), 4);
}

// The view's last row sits at the bottom of a full page.
::testing::AssertionResult showsLastPage(const char* name, HistoryView* view) {
    const int rows = view->model()->rowCount();
    const QRect last = view->visualRect(view->model()->index(rows - 1, 0));
    const int height = view->viewport()->height();
    if (view->topRow() > 0 && last.bottom() < height && last.bottom() >= height - last.height())
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << name << ": top row " << view->topRow() << ", last row's bottom " << last.bottom()
           << " in a viewport of " << height;
}

TEST_F(FormulaPanelTest, FillsShowFullPagesAndVerificationsDoNotScroll) {
    storeHistory(db, randomHistory(1200, 11));
    std::vector<std::string> many;
    for (int i = 0; i < 200; ++i) many.push_back("L1A+" + std::to_string(i));
    formulas(1, true, many);
    MainWindow& w = open();
    HistoryView* grid = w.historyView();
    HistoryView* list = panel().listView();
    EXPECT_TRUE(showsLastPage("history at start-up", grid));
    EXPECT_TRUE(showsLastPage("formulas at start-up", list));
    w.resize(w.width() + 40, w.height() + 120);
    QApplication::processEvents();
    EXPECT_TRUE(showsLastPage("history after a resize", grid));
    EXPECT_TRUE(showsLastPage("formulas after a resize", list));
    // Narrower than the list's columns: the horizontal scroll bar that comes
    // takes a row's room, and the last row still shows whole.
    w.resize(w.minimumSizeHint().width(), w.height());
    QApplication::processEvents();
    ASSERT_TRUE(list->horizontalScrollBar()->isVisible());
    EXPECT_TRUE(showsLastPage("formulas with a horizontal scroll bar", list));

    // What the user scrolled to stays through a verification.
    list->verticalScrollBar()->setValue(20);
    panel().Yansuan();
    EXPECT_EQ(list->topRow(), 20);
    box(1)->setFocus();
    type("3710429586");
    EXPECT_EQ(list->topRow(), 20) << "a draw entry verifies";
    EXPECT_TRUE(showsLastPage("history after the entry", grid));
    w.selectPosition(1);
    EXPECT_TRUE(showsLastPage("formulas after a fill", list));
}

TEST_F(FormulaPanelTest, EntryReportsWhatItCannotTakeAndFollowsTheTextsKind) {
    history(30);
    formulas(1, true, {"L1A"});
    MainWindow& w = open();
    QLineEdit* input = panel().input();
    const struct {
        QString text, title, message;
    } refused[] = {
        {"", FormulaCommands::kEmptyEntryTitle, FormulaCommands::kEmptyEntryText},
        {"   ", FormulaCommands::kEmptyEntryTitle, FormulaCommands::kEmptyEntryText},
        {"下期杀第一", FormulaCommands::kUnrecognisedTitle,
         FormulaCommands::kEntryUnrecognisedText},
    };
    for (const auto& c : refused) {
        asker.messages.clear();
        input->setText(c.text);
        press("cmdAdd");
        ASSERT_EQ(asker.messages.size(), 1u) << c.text.toStdString();
        EXPECT_EQ(asker.messages[0].title, c.title);
        EXPECT_EQ(asker.messages[0].text, c.message);
        EXPECT_EQ(FormulaTable(db, 1).count(), 1);
    }
    EXPECT_EQ(QApplication::focusWidget(), input);

    input->setText("第一码+第二码=下期生第一");
    press("cmdAdd");
    EXPECT_FALSE(w.state().kill);
    EXPECT_TRUE(w.findChild<QRadioButton*>("optKeep")->isChecked());
    EXPECT_TRUE(input->text().isEmpty());
    ASSERT_EQ(model().rowCount(), 1);
    EXPECT_EQ(cell(0, Col::Formula), "第一码+第二码=下期生第一");
    EXPECT_EQ(flags(), std::vector<bool>{true});
    EXPECT_FALSE(cell(0, Col::Rate).isEmpty()) << "verified at once";

    // A code-form text is that formula, of the current position and kind.
    input->setText("L3A+L5B+7");
    press("cmdAdd");
    ASSERT_EQ(model().rowCount(), 2);
    EXPECT_EQ(cell(1, Col::Formula), "第三码+第五大小+7=下期生第一");
    EXPECT_EQ(FormulaTable(db, 1).rows().back().code, "L3A+L5B+7");

    // A word that is no parameter is quoted as typed, and nothing is stored.
    asker.messages.clear();
    input->setText("第十一码+abc=下期杀第一");
    press("cmdAdd");
    ASSERT_EQ(asker.messages.size(), 1u);
    EXPECT_EQ(asker.messages[0].title, FormulaCommands::kUnrecognisedTitle);
    EXPECT_TRUE(asker.messages[0].text.contains("“第十一码”、“abc”"))
        << asker.messages[0].text.toStdString();
    EXPECT_FALSE(asker.messages[0].text.contains("L0"));
    EXPECT_EQ(input->text(), "第十一码+abc=下期杀第一") << "the text stays to be corrected";
    EXPECT_EQ(FormulaTable(db, 1).count(), 3);
}

TEST_F(FormulaPanelTest, ImportRefusesOtherNamesAndOffersTheUnrecognisedLines) {
    history(30);
    formulas(1, true, {"L1A"});
    open();
    asker.files = {dir.path() + "/list.csv"};
    press("cmdReadFormula");
    ASSERT_EQ(asker.fileFolders.size(), 1u);
    EXPECT_EQ(asker.fileFolders[0], QString::fromStdString(folder) + "/公式文本");
    EXPECT_TRUE(QFileInfo(asker.fileFolders[0]).isDir());
    ASSERT_EQ(asker.messages.size(), 1u);
    EXPECT_TRUE(asker.messages[0].text.contains("txt"));
    EXPECT_EQ(FormulaTable(db, 1).count(), 1);

    const QString file = dir.path() + "/list.TXT";
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write("第三码+第五大小+7=下期杀第一\r\n第一和值+3=下期杀第一\r\n");
    out.close();
    asker.files = {file};
    asker.confirms = {true};
    press("cmdReadFormula");
    ASSERT_EQ(asker.questions.size(), 1u);
    EXPECT_EQ(asker.questions[0].title, FormulaCommands::kUnrecognisedTitle);
    EXPECT_EQ(asker.questions[0].text, FormulaCommands::kImportQuestion);
    ASSERT_EQ(launcher.opened.size(), 1u);
    EXPECT_EQ(launcher.opened[0],
              QUrl::fromLocalFile(QString::fromStdString(folder) + "/无法识别公式.txt"));
    EXPECT_EQ(model().rowCount(), 2);
    EXPECT_EQ(flags(), (std::vector<bool>{true, true}));
}

TEST_F(FormulaPanelTest, DeletionsMoveTheFlagsAsEachCommandSays) {
    history(30);
    formulas(1, true, {"L1A+1", "L1A+2", "L1A+3", "L1A+4", "L1A+5"});
    formulas(1, false, {"L9A"});
    open();
    click(1, Col::Formula);
    click(3, Col::Formula);
    ASSERT_EQ(flags(), (std::vector<bool>{true, false, true, false, true}));

    manage(2, "删除该公式(&D)");  // flags go with their formulas
    EXPECT_EQ(codes(), (std::vector<std::string>{"L1A+1", "L1A+2", "L1A+4", "L1A+5"}));
    EXPECT_EQ(flags(), (std::vector<bool>{true, false, false, true}));
    EXPECT_TRUE(asker.questions.empty()) << "no confirmation";

    manage(3, "删除最后公式(&E)");  // flags stay row by row
    EXPECT_EQ(codes(), (std::vector<std::string>{"L1A+1", "L1A+2", "L1A+4"}));
    EXPECT_EQ(flags(), (std::vector<bool>{true, false, false}));

    asker.confirms = {false, true};
    manage(-1, "删除未选中公式(&X)");  // cancelled
    EXPECT_EQ(model().rowCount(), 3);
    manage(-1, "删除未选中公式(&X)");
    EXPECT_EQ(asker.questions.back().text, "确实要删除选未中的所有公式(公式列表序号灰色表示)吗?");
    EXPECT_EQ(codes(), std::vector<std::string>{"L1A+1"});

    press("cmdSelectAll");
    asker.confirms = {true};
    manage(-1, "删除选中所有公式(&C)");
    EXPECT_EQ(asker.questions.back().title, "删除公式");
    EXPECT_EQ(model().rowCount(), 0);
    const auto rest = FormulaTable(db, 1).rows();
    ASSERT_EQ(rest.size(), 1u) << "the keep formula stays";
    EXPECT_EQ(rest[0].code, "L9A");
    EXPECT_EQ(rest[0].idx, 1);
}

TEST_F(FormulaPanelTest, ClearingEveryTableKeepsThePosition) {
    history(30);
    formulas(1, true, {"L1A"});
    formulas(3, true, {"L2A", "L3A"});
    formulas(7, false, {"L4A"});
    MainWindow& w = open();
    w.selectPosition(3);
    asker.confirms = {false};
    press("cmdClearAll");
    EXPECT_EQ(model().rowCount(), 2) << "cancel changes nothing";
    asker.confirms = {true};
    press("cmdClearAll");
    EXPECT_EQ(asker.questions.back().text, "清空所有公式后将无法恢复，是否清空所有类别的公式？");
    EXPECT_EQ(asker.questions.back().title, "清空所有公式");
    for (int p = 1; p <= 10; ++p) EXPECT_EQ(FormulaTable(db, p).count(), 0);
    EXPECT_EQ(w.state().selectedPosition, 3);
    EXPECT_TRUE(w.findChild<QRadioButton*>("optPosition3")->isChecked());
    EXPECT_EQ(model().rowCount(), 0);
}

TEST_F(FormulaPanelTest, FilterShowsRangesOfTheSelectedAndOnlyClearsFlags) {
    formulas(1, true, {"L1A", "L2A", "L3A", "L4A"});
    open();
    auto score = [](float rate, int longestMiss) {
        Score s;
        s.rate = rate;
        s.longestMiss = longestMiss;
        s.longestHit = 5;
        return s;
    };
    model().setScores({score(90.5f, 2), score(93.0f, 4), score(97.25f, 3), score(99.0f, 9)});
    click(3, Col::Formula);  // not selected: outside the ranges shown
    press("cmdFilter");
    frmGSGuolv* filter = panel().filterWindow();
    ASSERT_NE(filter, nullptr);
    EXPECT_EQ(filter->windowTitle(), "公式过滤设置窗口");
    EXPECT_EQ(filter->box(0)->text(), "90.5");
    EXPECT_EQ(filter->box(1)->text(), "97.25");
    EXPECT_EQ(filter->box(2)->text(), "2");
    EXPECT_EQ(filter->box(3)->text(), "4");

    QTest::mouseClick(filter->okButton(), Qt::LeftButton);
    EXPECT_FALSE(filter->isVisible());
    EXPECT_EQ(asker.messages.back().title, "公式过滤结果");
    EXPECT_EQ(asker.messages.back().text, "过滤后公式剩余3条");
    EXPECT_EQ(flags(), (std::vector<bool>{true, true, true, false}));

    press("cmdFilter");
    filter->box(3)->setText("3.5abc");  // leading number
    QTest::mouseClick(filter->okButton(), Qt::LeftButton);
    EXPECT_EQ(asker.messages.back().text, "过滤后公式剩余2条");
    EXPECT_EQ(flags(), (std::vector<bool>{true, false, true, false}));

    press("cmdFilter");
    filter->box(0)->setText("98");
    QTest::mouseClick(filter->okButton(), Qt::LeftButton);
    EXPECT_EQ(asker.messages.back().text, "过滤后公式剩余0条");
    press("cmdFilter");
    EXPECT_EQ(filter->box(0)->text(), "100") << "nothing selected";
    EXPECT_EQ(filter->box(2)->text(), "32767");
    filter->hide();
}

TEST_F(FormulaPanelTest, PerDrawDisplayShowsBlocksOfFiveHundred) {
    history(40);
    std::vector<std::string> many;
    for (int i = 0; i < 500; ++i) many.push_back("L1A+" + std::to_string(i));
    formulas(1, true, many);
    MainWindow& w = open();
    QScrollBar* bar = panel().formulaColumnBar();
    w.findChild<QCheckBox*>("chkPerDraw")->click();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->maximum(), 1);
    formulas(1, true, many);
    formulas(1, true, std::vector<std::string>(many.begin(), many.begin() + 200));
    panel().Yansuan();  // 1200 formulas
    EXPECT_EQ(bar->maximum(), 1001);

    HistoryModel* grid = w.historyModel();
    const int first = HistoryModel::kNumberColumns;
    ASSERT_EQ(grid->columnCount(), first + 500);
    auto header = [&](int k) {
        return grid->headerData(first + k - 1, Qt::Horizontal, Qt::DisplayRole);
    };
    EXPECT_EQ(header(1), "公式1");
    EXPECT_EQ(header(99), "公式99");
    EXPECT_EQ(header(100), "式100");
    for (int row : {0, 1}) {
        EXPECT_FALSE(grid->data(grid->index(row, first), Qt::DisplayRole).isValid());
        EXPECT_EQ(grid->data(grid->index(row, first), Qt::BackgroundRole).value<QBrush>().color(),
                  QColor(Qt::white));
    }
    for (int row = 2; row < 40; ++row) {
        const QColor c =
            grid->data(grid->index(row, first), Qt::BackgroundRole).value<QBrush>().color();
        EXPECT_TRUE(c == QColor(0, 0, 255) || c == QColor(0, 255, 0)) << row;
    }
    if (qEnvironmentVariableIsSet("VARNET_SHOT_DIR")) {
        // Room and scrolling so that the formula columns and the list show.
        w.resize(1800, 720);
        w.findChild<QSplitter*>("mainSplitter")->setSizes({920, 880});
        w.historyView()->verticalScrollBar()->setValue(16);
        panel().listView()->verticalScrollBar()->setValue(0);
        QApplication::processEvents();
        w.grab().save(qEnvironmentVariable("VARNET_SHOT_DIR") + "/per-draw.png");
    }

    bar->setValue(1001);
    EXPECT_EQ(grid->columnCount(), first + 200);
    EXPECT_EQ(grid->headerData(first, Qt::Horizontal, Qt::DisplayRole), "1001式");
    w.findChild<QCheckBox*>("chkPerDraw")->click();
    EXPECT_EQ(grid->columnCount(), first);
    EXPECT_FALSE(bar->isVisible());
}

}  // namespace
}  // namespace varnet::test
