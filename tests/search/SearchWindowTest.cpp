#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSet>
#include <QSpinBox>
#include <QTimer>

#include "app/GuiFixture.h"
#include "base/ParameterNames.h"
#include "db/FormulaTable.h"
#include "db/HoldOutTable.h"
#include "engine/Reference.h"
#include "formula/FormulaListModel.h"
#include "formula/FormulaPanel.h"
#include "formula/Verification.h"
#include "search/FoundList.h"
#include "search/SearchWindow.h"
#include "support/RandomHistory.h"

namespace varnet::test {
namespace {

class SearchWindowTest : public GuiTest {
  protected:
    void formulas(int position, int count) {
        for (int i = 0; i < count; ++i)
            FormulaTable(db, position)
                .append(true, "L1A+" + std::to_string(i), "第一码+" + std::to_string(i));
    }
    frmGSGL& openSearch() {
        open();
        auto* button = window->findChild<QPushButton*>("cmdSearch");
        EXPECT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        frmGSGL* w = window->searchWindow();
        EXPECT_NE(w, nullptr);
        EXPECT_EQ(w->objectName(), "frmGSGL");
        EXPECT_EQ(w->windowTitle(), "公式搜索设置以及搜索结果");
        EXPECT_TRUE(w->isModal() || w->windowModality() == Qt::ApplicationModal);
        return *w;
    }
    template <class T>
    T* child(const QString& name) {
        T* c = window->searchWindow()->findChild<T*>(name);
        EXPECT_NE(c, nullptr) << name.toStdString();
        return c;
    }
    void click(const QString& name) {
        QTest::mouseClick(child<QAbstractButton>(name), Qt::LeftButton);
    }
    QLineEdit* boxNamed(const QString& name) { return child<QLineEdit>(name); }
    QStringList thresholdTexts() {
        QStringList texts;
        for (int i = 0; i < 10; ++i)
            texts << boxNamed(QStringLiteral("threshold%1").arg(i))->text();
        return texts;
    }
    void setPlan(const QStringList& plan) {
        for (int p = 1; p <= 10; ++p) {
            QLineEdit* b = boxNamed(QStringLiteral("plan%1").arg(p));
            b->setText(p <= plan.size() ? plan[p - 1] : QString());
            emit b->editingFinished();
        }
    }
    QString stored(const QString& key) {
        QSettings s(settingsFile, QSettings::IniFormat);
        return s.value(key).toString();
    }
    QStringList storedKeys(const QString& group) {
        QSettings s(settingsFile, QSettings::IniFormat);
        s.beginGroup(group);
        return s.childKeys();
    }
    void storeOpenThresholds(int position) {
        QSettings s(settingsFile, QSettings::IniFormat);
        for (int i = 0; i < 10; ++i)
            s.setValue(QStringLiteral("%1/%2").arg(position).arg(i), i % 2 ? "32768" : "0");
        s.setValue(QStringLiteral("%1/1").arg(position), "100");
    }
    void expectOptionsEnabled(bool enabled) {
        QStringList names{"optKill", "optKeep"};
        for (int p = 1; p <= 10; ++p) names << QStringLiteral("optPosition%1").arg(p);
        for (const QString& name : names)
            EXPECT_EQ(child<QRadioButton>(name)->isEnabled(), enabled) << name.toStdString();
    }
    bool waitIdle(frmGSGL& w, int ms = 20000) {
        QElapsedTimer t;
        t.start();
        while (w.searching() && t.elapsed() < ms) QTest::qWait(20);
        return !w.searching();
    }
};

TEST_F(SearchWindowTest, FreshSettingsAndKindSelection) {
    formulas(1, 3);
    formulas(4, 2);
    {
        QSettings s(settingsFile, QSettings::IniFormat);
        s.setValue("3/text2", "5");
    }
    frmGSGL& w = openSearch();
    EXPECT_EQ(thresholdTexts(),
              (QStringList{"93.6", "100", "0", "1", "32", "32768", "0", "0", "24", "32768"}));
    EXPECT_EQ(boxNamed("operandBox")->text(), "8");
    EXPECT_TRUE(child<QRadioButton>("optPosition1")->isChecked());
    EXPECT_TRUE(child<QRadioButton>("optKill")->isChecked());
    for (int p = 1; p <= 10; ++p)
        EXPECT_TRUE(boxNamed(QStringLiteral("plan%1").arg(p))->text().isEmpty());
    EXPECT_EQ(child<QLabel>("existing1")->text(), "3");
    EXPECT_EQ(child<QLabel>("existing4")->text(), "2");
    EXPECT_EQ(child<QLabel>("totalLabel")->text(), "5");  // the stored formulas at opening
    click("chkAutoAppend");
    EXPECT_EQ(child<QLabel>("totalLabel")->text(), "5");  // with the stored formulas
    EXPECT_FALSE(child<QCheckBox>("chkAutoReplace")->isChecked());
    click("chkAutoAppend");  // clicking the checked box leaves both unchecked
    EXPECT_FALSE(child<QCheckBox>("chkAutoAppend")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("chkAutoReplace")->isChecked());

    click("optPosition3");
    click("optKeep");
    EXPECT_EQ(thresholdTexts(),
              (QStringList{"12", "100", "0", "36", "2", "32768", "0", "0", "2", "32768"}));
    EXPECT_EQ(boxNamed("operandBox")->text(), "5");
    // Showing the settings stored nothing.
    EXPECT_TRUE(storedKeys("1").isEmpty());
    (void)w;
}

TEST_F(SearchWindowTest, SettingsAreStoredUnderTheirKeys) {
    frmGSGL& w = openSearch();
    click("cmdLoadPlan");  // fresh store
    for (int p = 1; p <= 10; ++p)
        EXPECT_EQ(boxNamed(QStringLiteral("plan%1").arg(p))->text(), "80");

    click("optPosition10");
    click("optKeep");
    boxNamed("threshold0")->setText("15.5");
    click("cmdSaveThresholds");
    QStringList keys = storedKeys("10");
    keys.sort();
    QStringList expected{"text2"};
    for (int k = 10; k <= 19; ++k) expected << QString::number(k);
    expected.sort();
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(stored("10/10"), "15.5");
    EXPECT_EQ(stored("10/13"), "36");

    // The operand slider stores its count at once.
    child<QSlider>("operandSlider")->setValue(12);
    EXPECT_EQ(stored("10/text2"), "12");

    setPlan({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"});
    click("cmdSavePlan");  // 生
    click("optKill");
    click("cmdSavePlan");
    keys = storedKeys("SSSZ");
    EXPECT_EQ(keys.size(), 20);
    EXPECT_EQ(stored("SSSZ/1"), "1");
    EXPECT_EQ(stored("SSSZ/20"), "10");

    // Bad numbers are named and nothing is stored.
    boxNamed("threshold4")->setText("3x");
    click("cmdSaveThresholds");
    ASSERT_EQ(asker.messages.size(), 1u);
    EXPECT_TRUE(asker.messages[0].text.contains("最大连对"))
        << asker.messages[0].text.toStdString();
    EXPECT_TRUE(asker.messages[0].text.contains("3x"));
    EXPECT_TRUE(storedKeys("10").contains("13"));
    EXPECT_FALSE(storedKeys("10").contains("4"));
    boxNamed("plan3")->setText("abc");
    click("cmdSavePlan");
    ASSERT_EQ(asker.messages.size(), 2u);
    EXPECT_TRUE(asker.messages[1].text.contains("第三"));
    EXPECT_EQ(stored("SSSZ/3"), "3");
    (void)w;
}

TEST_F(SearchWindowTest, PlannedTotalInBothModes) {
    formulas(1, 120);
    formulas(2, 30);
    openSearch();
    setPlan({"100", "100"});
    EXPECT_EQ(child<QLabel>("totalLabel")->text(), "200");  // add mode, update box
    click("optHoldMode");
    EXPECT_TRUE(child<QCheckBox>("chkAutoAppend")->isChecked());
    EXPECT_FALSE(child<QCheckBox>("chkAutoReplace")->isChecked());
    EXPECT_EQ(child<QLabel>("totalLabel")->text(), "220");  // 0 + 70, plus the 150 stored
    click("chkAutoAppend");
    EXPECT_EQ(child<QLabel>("totalLabel")->text(), "70");
}

// A search stops at exactly its limit; the finds keep the kind they were
// found under when saved after the kind changed.
TEST_F(SearchWindowTest, LimitedSearchAndAppend) {
    storeHistory(db, randomHistory(80, 5));
    frmGSGL& w = openSearch();
    click("optKeep");
    const QStringList open{"0", "100", "0", "32768", "0", "32768", "0", "32768", "0", "32768"};
    for (int i = 0; i < 10; ++i) boxNamed(QStringLiteral("threshold%1").arg(i))->setText(open[i]);
    child<QCheckBox>("chkLimit")->setChecked(true);
    boxNamed("limitBox")->setText("5");
    click("cmdStart");
    ASSERT_TRUE(waitIdle(w));
    EXPECT_EQ(w.batch().size(), 5u);
    EXPECT_EQ(w.resultModel()->rowCount(), 5);
    EXPECT_EQ(boxNamed("qualifiedBox")->text(), "5");
    EXPECT_GT(boxNamed("verifiedBox")->text().toLongLong(), 4);
    // Restarting with a full batch finds nothing more.
    click("cmdStart");
    ASSERT_TRUE(waitIdle(w));
    EXPECT_EQ(w.batch().size(), 5u);

    click("optKill");
    click("cmdAppend");
    const auto rows = FormulaTable(db, 1).storedRows();
    ASSERT_EQ(rows.size(), 5u);
    for (const auto& r : rows) EXPECT_FALSE(r.kill);
    EXPECT_EQ(rows[0].chinese, w.resultModel()->finds().chinese(0));
    ASSERT_FALSE(asker.messages.empty());
    EXPECT_EQ(asker.messages.back().title, "追加公式");
    EXPECT_EQ(asker.messages.back().text, "公式追加完毕！");
    EXPECT_TRUE(w.batch().empty());
    EXPECT_EQ(w.resultModel()->rowCount(), 5);
    EXPECT_EQ(child<QLabel>("existing1")->text(), "5");
}

// With the last draws held out, each find shows its hits there (as the
// plain score of those draws gives them) and the summary its chance count;
// a hold-out that leaves nothing to search on is refused.
TEST_F(SearchWindowTest, HeldOutDrawsBesideEachFind) {
    const History h = randomHistory(300, 12);
    storeHistory(db, h);
    frmGSGL& w = openSearch();
    const QStringList open{"0", "100", "0", "32768", "0", "32768", "0", "32768", "0", "32768"};
    for (int i = 0; i < 10; ++i) boxNamed(QStringLiteral("threshold%1").arg(i))->setText(open[i]);
    auto* holdOut = child<QSpinBox>("holdOutBox");
    EXPECT_EQ(holdOut->value(), 0);
    holdOut->setValue(298);
    click("cmdStart");
    EXPECT_FALSE(w.searching());
    ASSERT_EQ(asker.messages.size(), 1u);
    EXPECT_TRUE(asker.messages[0].text.contains("298"));

    holdOut->setValue(40);
    child<QCheckBox>("chkLimit")->setChecked(true);
    boxNamed("limitBox")->setText("6");
    click("cmdStart");
    ASSERT_TRUE(waitIdle(w));
    FindsModel* m = w.resultModel();
    ASSERT_EQ(m->rowCount(), 6);
    const CountRule lastForty{39, true, false, true};
    for (int row = 0; row < 6; ++row) {
        const Score s =
            referenceScore(*parseFormula(w.batch()[row].code).program, h, 1, true, lastForty);
        EXPECT_EQ(m->index(row, FindsModel::HeldOut).data().toString(),
                  QString::asprintf("%.2f%% (%lld/40)", 2.5 * s.plainHits,
                                    static_cast<long long>(s.plainHits)));
        EXPECT_FALSE(m->index(row, FindsModel::Significance).data().toString().isEmpty());
    }
    auto* summary = child<QLabel>("holdOutSummary");
    EXPECT_TRUE(summary->isVisible());
    // Every candidate qualifies on open thresholds, shuffled or not.
    const QString tried =
        QRegularExpression(QStringLiteral("试验 (\\d+) 个")).match(summary->text()).captured(1);
    EXPECT_TRUE(summary->text().contains(QStringLiteral("合格 6 个")))
        << summary->text().toStdString();
    EXPECT_TRUE(summary->text().contains(QStringLiteral("机会合格 %1 个").arg(tried)))
        << summary->text().toStdString();
    EXPECT_EQ(tried, "6");
    // The summary shown is kept in the data file once the main window may write.
    std::vector<HoldOutRecord> stored;
    for (int i = 0; i < 200 && stored.empty(); ++i) {
        QTest::qWait(10);
        stored = HoldOutTable(db).load();
    }
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].position, 1);
    EXPECT_TRUE(stored[0].kill);
    EXPECT_EQ(stored[0].heldOut, 40);
    EXPECT_EQ(stored[0].firstIssue, h.issue(260));
    EXPECT_EQ(stored[0].lastIssue, h.issue(299));
    EXPECT_EQ(stored[0].finds, 6);
    ASSERT_TRUE(stored[0].mean.has_value());
    EXPECT_TRUE(summary->text().contains(QString::number(*stored[0].mean, 'f', 2)))
        << summary->text().toStdString();
    if (const QByteArray dir = qgetenv("VARNET_SHOT_DIR"); !dir.isEmpty())
        w.grab().save(QString::fromLocal8Bit(dir) + "/search-holdout.png");
}

// The total shows the stored formulas at every opening; Enter in a box
// presses no button.
TEST_F(SearchWindowTest, TotalAtEveryOpeningAndEnterPressesNothing) {
    formulas(1, 3);
    frmGSGL& w = openSearch();
    EXPECT_EQ(child<QLabel>("totalLabel")->text(), "3");
    w.close();
    formulas(2, 4);  // behind the window's back
    QTest::mouseClick(window->findChild<QPushButton*>("cmdSearch"), Qt::LeftButton);
    ASSERT_TRUE(w.isVisible());
    EXPECT_EQ(child<QLabel>("existing2")->text(), "4");
    EXPECT_EQ(child<QLabel>("totalLabel")->text(), "7");
    for (const char* name : {"threshold0", "operandBox", "constantBox", "limitBox", "plan1"}) {
        QLineEdit* box = boxNamed(name);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClick(box, Qt::Key_Enter);
    }
    EXPECT_FALSE(w.searching());
    EXPECT_TRUE(asker.messages.empty());
    EXPECT_TRUE(asker.questions.empty());
    EXPECT_TRUE(storedKeys("1").isEmpty());
    EXPECT_TRUE(storedKeys("SSSZ").isEmpty());
    EXPECT_TRUE(w.isVisible());
}

// Scheme finds show their scores as a single search's do, held-out draws
// too; a single search after the unsaved scheme adds to the same batch.
TEST_F(SearchWindowTest, SchemeFindsCarryScoresAndASingleSearchJoinsThem) {
    storeHistory(db, randomHistory(300, 12));
    storeOpenThresholds(2);
    frmGSGL& w = openSearch();
    click("chkAutoReplace");  // the batch stays in the window
    child<QSpinBox>("holdOutBox")->setValue(40);
    setPlan({"", "3"});
    click("cmdScheme");
    ASSERT_TRUE(waitIdle(w));
    FindsModel* m = w.resultModel();
    ASSERT_EQ(m->rowCount(), 3);
    for (int row = 0; row < 3; ++row)
        for (int c : {FindsModel::Rate, FindsModel::HeldOut, FindsModel::Significance})
            EXPECT_FALSE(m->index(row, c).data().toString().isEmpty()) << row << " " << c;
    EXPECT_TRUE(m->index(0, FindsModel::HeldOut).data().toString().endsWith("/40)"));

    child<QCheckBox>("chkLimit")->setChecked(true);
    boxNamed("limitBox")->setText("5");
    click("cmdStart");
    ASSERT_TRUE(waitIdle(w));
    EXPECT_TRUE(asker.messages.empty());
    EXPECT_EQ(w.batch().size(), 5u);
    EXPECT_EQ(boxNamed("qualifiedBox")->text(), "5");
    click("cmdAppend");
    EXPECT_EQ(FormulaTable(db, 2).count(), 5);
}

// A save while the scheme is paused leaves its position and count: it goes
// on counting from there. The position and kind stay put while it runs.
TEST_F(SearchWindowTest, SaveDuringAPauseKeepsTheSchemeWhereItWas) {
    storeHistory(db, randomHistory(3000, 17));
    storeOpenThresholds(1);
    frmGSGL& w = openSearch();
    click("chkAutoReplace");
    setPlan({"100000000"});
    auto qualified = [&] { return boxNamed("qualifiedBox")->text().toLongLong(); };
    auto waitFinds = [&] {
        QElapsedTimer t;
        t.start();
        while (w.batch().empty() && t.elapsed() < 10000) QTest::qWait(10);
        return !w.batch().empty();
    };
    click("cmdScheme");
    ASSERT_TRUE(waitFinds());
    expectOptionsEnabled(false);
    click("cmdSchemePause");
    ASSERT_TRUE(waitIdle(w, 5000));
    expectOptionsEnabled(true);
    const long long counted = qualified();
    ASSERT_GT(counted, 0);
    click("cmdAppend");
    EXPECT_EQ(FormulaTable(db, 1).count(), counted);
    EXPECT_EQ(qualified(), counted);
    EXPECT_EQ(child<QLabel>("planLabel1")->styleSheet(), "color: red");
    click("cmdSchemeContinue");
    ASSERT_TRUE(waitFinds());
    EXPECT_EQ(qualified(), counted + static_cast<long long>(w.batch().size()));
    w.close();
    EXPECT_FALSE(w.searching());
}

// Hold mode with every plan at or below the stored counts: nothing to find,
// and the automatic saving still refreshes the main window.
TEST_F(SearchWindowTest, SchemeWithNothingToFindStillSavesAndRefreshes) {
    storeHistory(db, randomHistory(40, 9));
    formulas(1, 3);
    frmGSGL& w = openSearch();
    EXPECT_EQ(window->formulaPanel()->model()->size(), 3);
    click("optHoldMode");
    setPlan({"3", "0", "", "0"});
    formulas(1, 1);  // behind the main window's back
    click("cmdScheme");
    ASSERT_TRUE(waitIdle(w));
    ASSERT_FALSE(asker.messages.empty());
    EXPECT_EQ(asker.messages.back().title, "追加公式");
    EXPECT_EQ(asker.messages.back().text, "公式追加完毕！");
    EXPECT_EQ(window->formulaPanel()->model()->size(), 4);
    EXPECT_EQ(child<QLabel>("existing1")->text(), "4");
    EXPECT_EQ(child<QLabel>("planLabel10")->styleSheet(), "color: blue");
}

// Replacing asks first, naming per position the stored formulas of each
// kind it deletes; Cancel changes nothing. A scheme that replaces at its
// end asks at its start, and its Cancel leaves it unstarted.
TEST_F(SearchWindowTest, ReplaceAsksFirst) {
    storeHistory(db, randomHistory(80, 5));
    for (int p = 1; p <= 10; ++p) storeOpenThresholds(p);
    formulas(1, 3);
    FormulaTable(db, 1).append(false, "L2A+1", "第二码+1");
    formulas(3, 2);
    frmGSGL& w = openSearch();
    child<QCheckBox>("chkLimit")->setChecked(true);
    boxNamed("limitBox")->setText("4");
    click("cmdStart");
    ASSERT_TRUE(waitIdle(w));
    ASSERT_EQ(w.batch().size(), 4u);

    click("cmdReplace");
    ASSERT_EQ(asker.questions.size(), 1u);
    EXPECT_TRUE(asker.questions[0].text.contains(QStringLiteral("第一位：杀 3 条，生 1 条")))
        << asker.questions[0].text.toStdString();
    EXPECT_FALSE(asker.questions[0].text.contains(QStringLiteral("第三位")));
    EXPECT_EQ(FormulaTable(db, 1).count(), 4);
    EXPECT_EQ(w.batch().size(), 4u);
    EXPECT_TRUE(asker.messages.empty());

    setPlan({"2", "", "1"});
    click("cmdScheme");
    EXPECT_FALSE(w.searching());
    ASSERT_EQ(asker.questions.size(), 2u);
    const QString& q = asker.questions[1].text;
    EXPECT_TRUE(q.contains(QStringLiteral("第一位：杀 3 条，生 1 条")) &&
                q.contains(QStringLiteral("第三位：杀 2 条，生 0 条")) &&
                !q.contains(QStringLiteral("第二位")))
        << q.toStdString();
    EXPECT_EQ(w.batch().size(), 4u) << "the unsaved finds stay";
    EXPECT_EQ(FormulaTable(db, 3).count(), 2);

    // Confirmed at the start, the scheme replaces at its end without asking.
    asker.confirms.push_back(true);
    click("cmdScheme");
    ASSERT_TRUE(waitIdle(w));
    EXPECT_EQ(asker.questions.size(), 3u);
    ASSERT_FALSE(asker.messages.empty());
    EXPECT_EQ(asker.messages.back().text, "公式追加完毕！");
    EXPECT_EQ(FormulaTable(db, 3).count(), 1);
    EXPECT_LE(FormulaTable(db, 1).count(), 2);
}

// A scheme's automatic replacement comes while the main window verifies
// after a formula was typed in and stored: the save waits for it, and every
// stored score is the score of its own formula.
TEST_F(SearchWindowTest, SaveWaitsForTheRefreshUnderWay) {
    const History h = randomHistory(3000, 21);
    storeHistory(db, h);
    for (int p = 1; p <= 10; ++p) storeOpenThresholds(p);
    std::vector<SearchResult> many;
    for (int i = 0; i < 30000; ++i)
        many.push_back({1, true, "L1A+L2B+L3C+L4D+L5E+L6F+L7G+L8H+L9I+L1J+" + std::to_string(i),
                        "f" + std::to_string(i)});
    ASSERT_TRUE(saveBatch(db, many, false).ok);
    frmGSGL& w = openSearch();
    setPlan({"3"});
    click("chkAutoReplace");  // kept for the moment chosen below
    click("cmdScheme");
    ASSERT_TRUE(waitIdle(w));
    ASSERT_EQ(w.batch().size(), 3u);

    // Once the verification has read its list and works on it, the
    // replacement runs as the scheme's end runs it (confirmed at its start).
    // The list is read before the work starts, so the first moment the
    // window shows it busy is already inside the verification.
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!QApplication::overrideCursor()) return;
        watch.stop();
        w.saveResults(true, true);
    });
    watch.start(5);
    window->findChild<QLineEdit*>("txtIpt")->setText("第一码+第二码=下期杀第一");
    QTest::mouseClick(window->findChild<QPushButton*>("cmdAdd"), Qt::LeftButton);
    QElapsedTimer t;
    t.start();
    while (asker.messages.empty() && t.elapsed() < 20000) QTest::qWait(20);
    ASSERT_FALSE(watch.isActive()) << "the verification ended before the save came";
    ASSERT_EQ(asker.messages.size(), 1u);
    EXPECT_EQ(asker.messages[0].text, "公式追加完毕！");

    const auto list = loadFormulaList(db, 1, true);
    ASSERT_EQ(list.size(), 3u) << "the scheme's finds replaced position 1";
    const auto scores = scoreFormulaList(h, list, 1, window->formulaPanel()->countRule());
    for (std::size_t i = 0; i < list.size(); ++i) {
        ASSERT_TRUE(list[i].row.rate.has_value()) << list[i].row.chinese;
        EXPECT_FLOAT_EQ(*list[i].row.rate, scores[i].rate) << list[i].row.chinese;
        EXPECT_EQ(list[i].row.longestMiss, scores[i].longestMiss);
        EXPECT_EQ(list[i].row.lastHit, scores[i].lastHit);
    }
    EXPECT_EQ(window->formulaPanel()->model()->size(), 3);
}

// The window answers while a scheme runs; pause and continue stay at the
// position being searched.
TEST_F(SearchWindowTest, SchemeRunsOffTheWindowThread) {
    storeHistory(db, randomHistory(3000, 17));
    frmGSGL& w = openSearch();
    w.resize(w.sizeHint());
    // The last position looks for more than the test waits for.
    setPlan({"200", "200", "200", "200", "200", "200", "200", "200", "200", "1000000"});
    asker.confirms.push_back(true);  // the replacement at its end
    click("cmdScheme");
    ASSERT_TRUE(w.searching());

    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, worst = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        worst = std::max(worst, now - last);
        last = now;
    });
    tick.start(5);
    while (clock.elapsed() < 1500) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    tick.stop();
    // A scheme run on the window's thread would hold it for the whole wait;
    // the margin is for a machine busy with other tests.
    EXPECT_LT(worst, 200);
    EXPECT_GT(boxNamed("verifiedBox")->text().toLongLong(), 0);
    EXPECT_FALSE(boxNamed("currentBox")->text().isEmpty());

    if (const QByteArray dir = qgetenv("VARNET_SHOT_DIR"); !dir.isEmpty())
        w.grab().save(QString::fromLocal8Bit(dir) + "/search-scheme.png");

    click("cmdSchemePause");
    ASSERT_TRUE(waitIdle(w, 2000));
    auto redLabel = [&] {
        int red = 0;
        for (int p = 1; p <= 10; ++p)
            if (child<QLabel>(QStringLiteral("planLabel%1").arg(p))->styleSheet() == "color: red")
                red = p;
        return red;
    };
    const int red = redLabel();
    ASSERT_GE(red, 1);
    const std::size_t found = w.batch().size();
    click("cmdSchemeContinue");
    EXPECT_TRUE(w.searching());
    QTest::qWait(200);
    // It goes on from the paused position (which may have met its plan
    // meanwhile on a fast machine), never from the first one.
    EXPECT_GE(redLabel(), red);
    w.close();
    EXPECT_FALSE(w.searching());
    EXPECT_GE(w.batch().size(), found);
}

// ---- thresholds as typed, and the tuning's progress ----

// Each text goes into one box and is saved: a bound that cannot stand is
// named and nothing is stored (nor does a search start); a value that can is
// stored as typed and shown as typed when the settings are read again.
TEST_F(SearchWindowTest, ThresholdTextsAsTyped) {
    struct Case {
        int box;
        QString text;
        QString fault;  // empty: stored
    };
    const Case cases[] = {
        {0, "93.6", {}},
        {0, "92.662445", {}},
        {0, "87.34375", {}},
        {0, "0.1", {}},
        {3, "2.5", {}},
        {0, "101", "正确率的下限“101”不在0到100之间"},
        {1, "-0.5", "正确率的上限“-0.5”不在0到100之间"},
        {0, "99.9", {}},
        {1, "99.5", "正确率的下限“99.9”大于上限“99.5”"},
        {4, "40000", "最大连对的下限“40000”大于上限“32768”"},
        {6, "1", "最后连错的下限“1”大于上限“0”"},
    };
    frmGSGL& w = openSearch();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        click("optPosition1");  // the stored values again
        const QString key = QStringLiteral("1/%1").arg(c.box);
        const QString storedBefore = stored(key);
        QLineEdit* box = boxNamed(QStringLiteral("threshold%1").arg(c.box));
        box->setText(c.text);
        asker.messages.clear();
        click("cmdSaveThresholds");
        if (c.fault.isEmpty()) {
            EXPECT_TRUE(asker.messages.empty());
            EXPECT_EQ(stored(key), c.text);
            click("optPosition2");
            click("optPosition1");  // read again from the settings
            EXPECT_EQ(box->text(), c.text);
            // The whole value in view: the leading digits first, and room for the rest
            // (frame and margins take 4 pixels a side).
            EXPECT_EQ(box->cursorPosition(), 0);
            EXPECT_LE(box->fontMetrics().horizontalAdvance(c.text), box->width() - 8);
            continue;
        }
        ASSERT_EQ(asker.messages.size(), 1u);
        EXPECT_TRUE(asker.messages[0].text.startsWith(c.fault))
            << asker.messages[0].text.toStdString();
        EXPECT_EQ(stored(key), storedBefore);
        click("cmdStart");
        EXPECT_FALSE(w.searching());
        ASSERT_EQ(asker.messages.size(), 2u);
        EXPECT_TRUE(asker.messages[1].text.startsWith(c.fault));
    }
}

// Every sample shows its count and statistics; the end says so.
TEST_F(SearchWindowTest, TuningShowsItsSamplesAndItsEnd) {
    storeHistory(db, randomHistory(200, 7));
    frmGSGL& w = openSearch();
    child<QSlider>("sampleSlider")->setValue(40);
    for (int s = 0; s < 5; ++s)
        EXPECT_TRUE(boxNamed(QStringLiteral("stat%1").arg(s))->text().isEmpty());
    click("cmdTuneCurrent");
    ASSERT_TRUE(waitIdle(w));
    EXPECT_EQ(boxNamed("verifiedBox")->text(), "40");
    for (int s = 0; s < 5; ++s)
        EXPECT_FALSE(boxNamed(QStringLiteral("stat%1").arg(s))->text().isEmpty()) << s;
    EXPECT_TRUE(boxNamed("currentBox")->text().isEmpty());
    ASSERT_EQ(asker.messages.size(), 1u);
    EXPECT_TRUE(asker.messages[0].text.startsWith("参数检索完毕"))
        << asker.messages[0].text.toStdString();
}

// A cancelled all-positions tuning names the positions it already stored,
// and only those were stored. The count of samples moves while it runs.
TEST_F(SearchWindowTest, CancelledTuningOfAllPositionsNamesThoseChanged) {
    storeHistory(db, randomHistory(3000, 8));
    frmGSGL& w = openSearch();
    child<QSlider>("sampleSlider")->setValue(1000);
    asker.confirms = {true};
    click("cmdTuneAll");
    auto* progress = child<QProgressBar>("tuneProgress");
    QSet<QString> counts;
    QElapsedTimer t;
    t.start();
    while (w.searching() && progress->value() < 1 && t.elapsed() < 60000) {
        counts.insert(boxNamed("verifiedBox")->text());
        QTest::qWait(5);
    }
    click("cmdTuneCancel");
    ASSERT_TRUE(waitIdle(w));
    EXPECT_GE(counts.size(), 2);  // more than the empty box
    ASSERT_EQ(asker.messages.size(), 1u);
    const QString text = asker.messages[0].text;
    EXPECT_TRUE(text.startsWith("参数检索已取消。第一")) << text.toStdString();
    int changed = 0;
    for (int p = 1; p <= 10; ++p) {
        const bool named = text.contains(QString::fromStdString(ParameterNames::positionName(p)));
        EXPECT_EQ(storedKeys(QString::number(p)).contains("0"), named) << p;
        changed += named;
    }
    EXPECT_LT(changed, 10);
}

// The result list shows each find as it was found (its Chinese form in either
// shape, its figures formatted from the numbers kept) and hands the same
// finds back for saving; a million finds take a few dozen bytes each.
TEST(FindsModel, ShowsWhatTheFindsHoldAndStaysCompact) {
    struct Case {
        std::vector<int> params;
        int constant, position;
        bool kill;
        FormulaShape shape;
        std::optional<FindScores> scores;
        QString rate, heldOut, significance;
    };
    const std::vector<Case> cases{
        {{23, 7, 121},
         5,
         1,
         true,
         FormulaShape::Prefix,
         FindScores{93.25f, 0.5, true, true, 37, 40},
         "93.2500%",
         "92.50% (37/40)",
         "0.5"},
        {{132, 10},
         -3,
         10,
         false,
         FormulaShape::Suffix,
         FindScores{12.5f, 1e-301, true, false, 0, 0},
         "12.5000%",
         "无效",
         "<1e-300"},
        {{1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23},
         0,
         4,
         true,
         FormulaShape::Prefix,
         FindScores{100.0f, 0.0001234, false, false, 0, 0},
         "100.0000%",
         "",
         "0.0001234"},
        {{50, 60}, 9, 2, true, FormulaShape::Suffix, std::nullopt, "", "", ""},  // a scheme's
    };
    FoundList finds;
    std::vector<SearchResult> expected;
    for (const Case& c : cases) {
        const GeneratorSettings g{0, c.position, c.kill, c.shape, std::nullopt};
        expected.push_back({c.position, c.kill, candidateCode(c.params, c.constant),
                            candidateChinese(c.params, c.constant, g)});
        finds.add(expected.back(), c.shape, c.scores);
    }
    // A form the generator does not make keeps its texts.
    expected.push_back({3, false, "L1A*2+1", "[第三生]第一码*2+1"});
    finds.add(expected.back(), FormulaShape::Prefix);

    FindsModel model;
    model.append(finds);
    ASSERT_EQ(model.rowCount(), static_cast<int>(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const SearchResult r = model.finds().result(i);
        EXPECT_EQ(r.code, expected[i].code);
        EXPECT_EQ(r.chinese, expected[i].chinese);
        EXPECT_EQ(r.position, expected[i].position);
        EXPECT_EQ(r.kill, expected[i].kill);
        const int row = static_cast<int>(i);
        EXPECT_EQ(model.index(row, FindsModel::Formula).data().toString().toStdString(),
                  expected[i].chinese);
        if (i < cases.size()) {
            EXPECT_EQ(model.index(row, FindsModel::Rate).data().toString(), cases[i].rate);
            EXPECT_EQ(model.index(row, FindsModel::HeldOut).data().toString(), cases[i].heldOut);
            EXPECT_EQ(model.index(row, FindsModel::Significance).data().toString(),
                      cases[i].significance);
        }
    }

    FoundList many;
    for (int i = 0; i < 4; ++i) many.add(expected[i], cases[i].shape, cases[i].scores);
    while (many.size() < 1000000) {
        const FoundList copy = many;
        many.append(copy);
    }
    EXPECT_EQ(many.chinese(many.size() - 1), expected[3].chinese);
    EXPECT_LE(many.bytes() / many.size(), 64u);
}

}  // namespace
}  // namespace varnet::test
