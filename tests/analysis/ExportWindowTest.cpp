#include <QContextMenuEvent>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <functional>
#include <random>
#include <thread>

#include "analysis/DetailListWindow.h"
#include "analysis/Exports.h"
#include "analysis/QueryWindow.h"
#include "analysis/Replay.h"
#include "analysis/ResultWindow.h"
#include "analysis/StepsWindow.h"
#include "app/GuiFixture.h"
#include "base/ParameterNames.h"
#include "base/Paths.h"
#include "db/FormulaTable.h"
#include "formula/FormulaListModel.h"
#include "formula/FormulaPanel.h"
#include "formula/Verification.h"
#include "support/RandomHistory.h"
#include "ui/ModelExport.h"

namespace varnet::test {
namespace {

class ExportWindowTest : public GuiTest {
  protected:
    // `rows` random draws and `count` random kill formulas at `position`
    // (sums of two parameters and a constant).
    void data(int rows, int position, int count) {
        storeHistory(db, randomHistory(rows, 23));
        std::mt19937_64 rng(7);
        for (int i = 0; i < count; ++i) {
            const int a = 1 + static_cast<int>(rng() % 120), b = 1 + static_cast<int>(rng() % 120);
            const std::string c = std::to_string(rng() % 20);
            FormulaTable(db, position)
                .append(true, ParameterNames::code(a) + "+" + ParameterNames::code(b) + "+" + c,
                        ParameterNames::chinese(a) + "+" + ParameterNames::chinese(b) + "+" + c);
        }
    }
    void press(QWidget* in, const char* name) {
        auto* button = in->findChild<QPushButton*>(name);
        ASSERT_NE(button, nullptr) << name;
        QTest::mouseClick(button, Qt::LeftButton);
    }
    frmLslb* replay() {
        asker.confirms = {true};
        press(window.get(), "Command12");
        return window->queryWindow();
    }
    std::string pathOf(const std::string& file) { return joinPath(folder, file); }
    static QString text(const QAbstractItemModel* m, int r, int c) {
        return m->data(m->index(r, c)).toString();
    }
};

TEST_F(ExportWindowTest, ReplayAsksFirstAndCancelComputesNothing) {
    data(20, 1, 3);
    MainWindow& w = open();
    asker.confirms = {false};
    press(&w, "Command12");
    ASSERT_EQ(asker.questions.size(), 1u);
    EXPECT_EQ(asker.questions[0].title, "查询等待确认");
    EXPECT_TRUE(asker.questions[0].text.startsWith("往期结果对照需要计算每一期的运算结果"));
    EXPECT_EQ(w.queryWindow(), nullptr);
}

// The grid against the replay of the selected formulas, first for the
// current position, then for a position chosen in the window.
TEST_F(ExportWindowTest, QueryWindowComparesRankingsWithTheChosenPosition) {
    data(60, 2, 12);
    MainWindow& w = open();
    w.selectPosition(2);
    w.formulaPanel()->model()->toggleRow(0);  // the first formula does not take part

    const History h = HistoryTable(db).load();
    const auto list = loadFormulaList(db, 2, true, false);
    const Replay expected =
        replayFormulas(h, list, [&](const ListedFormula& f) { return f.row.id != list[0].row.id; });
    const auto [smallest, largest] = errorRange(expected);
    ASSERT_LT(smallest, largest) << "the data should give several error values";

    frmLslb* q = replay();
    ASSERT_NE(q, nullptr);
    EXPECT_TRUE(q->isVisible());
    EXPECT_EQ(q->note()->text(), "参与排序的公式11条。");
    const QAbstractItemModel* m = q->grid()->model();
    const auto check = [&](int position) {
        const std::vector<QueryRow> rows = queryRows(expected, position);
        ASSERT_EQ(m->rowCount(), h.size() - 1);
        ASSERT_EQ(m->columnCount(), frmLslb::kFixedColumns + (largest - smallest + 1));
        EXPECT_EQ(text(m, 0, 1).toInt(), h.number(1, position)) << "the following draw's number";
        for (int e = smallest; e <= largest; ++e)
            EXPECT_EQ(modelCell(*m, 0, frmLslb::kFixedColumns + e - smallest).text,
                      std::to_string(e) + "次");
        for (int r = 0; r < m->rowCount(); ++r) {
            const QueryRow& row = rows[r];
            const auto placed = [&](long long v) { return row.place ? QString::number(v) : ""; };
            QStringList want{QString::number(row.issue),  QString::number(row.drawn),
                             placed(row.place),           placed(row.error),
                             QString::number(row.levels), QString::number(row.level),
                             QString::number(row.onLevel)};
            for (int k = 0; k < 10; ++k) want << QString::number(row.ranking->ranked[k]);
            for (int k = 0; k < 10; ++k) want << QString::number(row.ranking->rankedErrors[k]);
            for (int e = smallest; e <= largest; ++e)
                want << QString::fromStdString(numbersWithError(*row.ranking, e));
            for (int c = 0; c < m->columnCount(); ++c) {
                const WorkbookCell cell = modelCell(*m, r + 1, c);
                ASSERT_EQ(QString::fromStdString(cell.text), want[c])
                    << "row " << r << " col " << c;
                const bool blue = c == 6 + row.place || c == 16 + row.place;
                ASSERT_EQ(cell.fill, blue ? 0x0000FFu : WorkbookCell::kNoFill) << r << "," << c;
            }
        }
    };
    EXPECT_EQ(q->comparedPosition(), 2);
    EXPECT_TRUE(q->option(2)->isChecked());
    check(2);

    q->option(5)->click();
    EXPECT_EQ(text(m, 0, 1).toInt(), h.number(1, 2)) << "a choice alone changes nothing";
    press(q, "Command2");
    EXPECT_EQ(q->comparedPosition(), 5);
    check(5);
}

// Each export command writes its file into the data folder and opens it.
TEST_F(ExportWindowTest, EveryExportWritesItsFileAndOpensIt) {
    data(40, 1, 6);
    MainWindow& w = open();
    press(&w, "Command23");  // the result window and its detail list
    frmLslb* q = replay();
    ASSERT_NE(q, nullptr);
    FormulaPanel* panel = w.formulaPanel();
    const auto manage = [&](const QString& item) {
        HistoryView* view = panel->listView();
        const QPoint at = view->visualRect(panel->model()->index(0, 1)).center();
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
        QApplication::sendEvent(view->viewport(), &event);
        panel->manageMenu()->hide();
        trigger(panel->manageMenu(), item);
    };
    manage("查询该公式历史计算式(&U)");
    ASSERT_NE(w.stepsWindow(), nullptr);
    QTableView* steps = w.stepsWindow()->grid();
    const std::string text = ExportNames::formulaText(w.state().entryIssueText.toStdString());

    const struct {
        const char* what;
        std::function<void()> act;
        std::string file;  // empty: nothing is written
    } cases[] = {
        {"cmdDcexl", [&] { press(&w, "cmdDcexl"); }, ExportNames::kHistory},
        {"mnuDcls", [&] { trigger(w.historyMenu(), "导出历史号码(&O)"); }, ExportNames::kHistory},
        {"mnuExl", [&] { manage("导出到EXCEL表格(&E)"); }, ExportNames::kFormulas},
        {"detail list",
         [&] {
             QTimer::singleShot(0, [&] {
                 auto* details = w.resultWindow()->findChild<frmXxlb*>();
                 ASSERT_NE(details, nullptr);
                 details->exportButton()->click();
                 details->accept();
             });
             w.resultWindow()->detailsButton()->click();
         },
         ExportNames::kFormulas},
        {"steps grid",
         [&] {
             QTest::mouseClick(steps->viewport(), Qt::LeftButton, {},
                               steps->visualRect(steps->model()->index(2, 1)).center());
         },
         ExportNames::kSteps},
        {"steps scroll bar",
         [&] {
             QScrollBar* bar = steps->verticalScrollBar();
             QTest::mouseClick(bar, Qt::LeftButton, {},
                               QPoint(bar->width() / 2, bar->height() / 2));
         },
         ""},
        {"query Command1", [&] { press(q, "Command1"); }, ExportNames::kQuery},
        {"query double-click",
         [&] {
             QTableView* grid = q->grid();
             const QPoint at = grid->visualRect(grid->model()->index(0, 0)).center();
             // The view takes a double-click on the cell it saw pressed.
             QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
             QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
         },
         ExportNames::kQueryGrid},
        {"result Command1", [&] { press(w.resultWindow(), "Command1"); }, ExportNames::kResult},
        {"Command20", [&] { press(&w, "Command20"); }, text},
        {"Command11", [&] { press(&w, "Command11"); }, text},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (!c.file.empty()) QFile::remove(QString::fromStdString(pathOf(c.file)));
        launcher.opened.clear();
        c.act();
        EXPECT_TRUE(asker.messages.empty()) << asker.messages.back().text.toStdString();
        if (c.file.empty()) {
            EXPECT_TRUE(launcher.opened.empty());
            continue;
        }
        const QString path = QString::fromStdString(pathOf(c.file));
        ASSERT_EQ(launcher.opened.size(), 1u);
        EXPECT_EQ(launcher.opened[0], QUrl::fromLocalFile(path));
        EXPECT_TRUE(QFileInfo(path).isFile());
    }
}

// An export over a file of the same name asks first, naming the file:
// Cancel leaves the old file and opens nothing, OK replaces it.
TEST_F(ExportWindowTest, ASecondExportOfTheSameNameAsksFirst) {
    data(30, 1, 4);
    MainWindow& w = open();
    const QString historyText = QString::fromStdString(folder) + "/历史号码/更新至" +
                                QString::number(w.history().issue(29)) + "期历史号码.txt";
    const struct {
        const char* button;
        QString path;
    } cases[] = {
        {"cmdDcexl", QString::fromStdString(pathOf(ExportNames::kHistory))},
        {"Command20", QString::fromStdString(pathOf(
                          ExportNames::formulaText(w.state().entryIssueText.toStdString())))},
        {"cmdExport", historyText},
    };
    const auto contents = [](const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        QFile::remove(c.path);
        asker.questions.clear();
        launcher.opened.clear();
        press(&w, c.button);
        EXPECT_TRUE(asker.questions.empty()) << "nothing to replace";
        ASSERT_EQ(launcher.opened.size(), 1u);

        QFile old(c.path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
        old.write("earlier");
        old.close();
        asker.confirms = {false};
        press(&w, c.button);
        ASSERT_EQ(asker.questions.size(), 1u);
        EXPECT_TRUE(asker.questions[0].text.contains(QFileInfo(c.path).fileName()))
            << asker.questions[0].text.toStdString();
        EXPECT_EQ(contents(c.path), "earlier");
        EXPECT_EQ(launcher.opened.size(), 1u);

        asker.confirms = {true};
        press(&w, c.button);
        EXPECT_NE(contents(c.path), "earlier");
        EXPECT_EQ(launcher.opened.size(), 2u);
        EXPECT_TRUE(asker.messages.empty());
    }
}

// The per-draw question stops on Cancel; a file that cannot be written, or
// a name that cannot be one, says so and opens nothing.
TEST_F(ExportWindowTest, RefusedOrFailedExportsOpenNothing) {
    data(30, 1, 4);
    MainWindow& w = open();
    w.formulaPanel()->setPerDrawDisplay(true);
    const QString history = QString::fromStdString(pathOf(ExportNames::kHistory));

    asker.confirms = {false};
    press(&w, "cmdDcexl");
    ASSERT_EQ(asker.questions.size(), 1u);
    EXPECT_EQ(asker.questions[0].title, "查询等待确认");
    EXPECT_FALSE(QFileInfo::exists(history));

    QDir().mkpath(history);  // the workbook's name is taken by a folder
    asker.confirms = {true};
    press(&w, "cmdDcexl");
    ASSERT_EQ(asker.messages.size(), 1u);
    EXPECT_EQ(asker.messages[0].title, "导出");
    EXPECT_TRUE(asker.messages[0].text.contains(QString::fromUtf8(ExportNames::kHistory)));
    EXPECT_TRUE(QFileInfo(history).isDir());
    EXPECT_EQ(QDir(QString::fromStdString(folder)).entryList({"*.part"}, QDir::Files).size(), 0);

    issueBox()->setText("2024/001");
    press(&w, "Command20");
    ASSERT_EQ(asker.messages.size(), 2u);
    EXPECT_TRUE(asker.messages[1].text.contains("2024/001"));
    EXPECT_TRUE(launcher.opened.empty());
}

// A grid export copies the cells on the window's thread; the worker writes
// the copy and never reads the model, which the window may repaint or change.
TEST_F(ExportWindowTest, GridExportsWriteACopyOfTheModel) {
    struct WatchedModel : QStandardItemModel {
        using QStandardItemModel::QStandardItemModel;
        mutable std::atomic<int> offThread{0};
        QVariant data(const QModelIndex& at, int role) const override {
            if (QThread::currentThread() != thread()) ++offThread;
            return QStandardItemModel::data(at, role);
        }
        QVariant headerData(int s, Qt::Orientation o, int role) const override {
            if (QThread::currentThread() != thread()) ++offThread;
            return QStandardItemModel::headerData(s, o, role);
        }
    };
    struct WorkerExporter : Exporter {
        bool exportFile(QWidget*, const QString&, const std::string& path, long long,
                        const Write& write) override {
            WorkbookResult result;
            std::thread worker([&] { result = write(path, {}); });
            worker.join();
            return result.ok;
        }
        bool busy() const override { return false; }
    };
    WatchedModel model(3, 2);
    model.setHorizontalHeaderLabels({"期号", "号码"});
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 2; ++c) model.setItem(r, c, new QStandardItem(QString::number(r * c)));
    model.item(1, 1)->setBackground(QColor(0, 0, 255));
    WorkerExporter exporter;
    EXPECT_TRUE(exporter.exportGrid(nullptr, "导出", model, pathOf("grid.xlsx")));
    EXPECT_EQ(model.offThread.load(), 0);
    EXPECT_TRUE(QFileInfo::exists(QString::fromStdString(pathOf("grid.xlsx"))));
}

}  // namespace
}  // namespace varnet::test
