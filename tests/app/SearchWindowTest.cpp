#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTimer>

#include "GuiFixture.h"
#include "db/FormulaTable.h"
#include "formula/FormulaListModel.h"
#include "formula/FormulaPanel.h"
#include "formula/Reference.h"
#include "formula/Verification.h"
#include "history/ParameterNames.h"
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
    EXPECT_EQ(child<QLabel>("totalLabel")->text(), "0");  // the update box: planned total alone
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
    EXPECT_EQ(rows[0].chinese, w.resultModel()->stringList()[0].toStdString());
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
    ResultLines* m = w.resultModel();
    ASSERT_EQ(m->rowCount(), 6);
    const CountRule lastForty{39, true, false, true};
    for (int row = 0; row < 6; ++row) {
        const Score s = referenceScore(*parseFormula(w.batch()[row].code).program, h, 1, true,
                                       lastForty);
        EXPECT_EQ(m->index(row, ResultLines::HeldOut).data().toString(),
                  QString::asprintf("%.2f%% (%lld/40)", 2.5 * s.plainHits,
                                    static_cast<long long>(s.plainHits)));
        EXPECT_FALSE(m->index(row, ResultLines::Significance).data().toString().isEmpty());
    }
    auto* summary = child<QLabel>("holdOutSummary");
    EXPECT_TRUE(summary->isVisible());
    // Every candidate qualifies on open thresholds, shuffled or not.
    const QString tried = QRegularExpression(QStringLiteral("试验 (\\d+) 个"))
                              .match(summary->text())
                              .captured(1);
    EXPECT_TRUE(summary->text().contains(QStringLiteral("合格 6 个"))) << summary->text().toStdString();
    EXPECT_TRUE(summary->text().contains(QStringLiteral("机会合格 %1 个").arg(tried)))
        << summary->text().toStdString();
    EXPECT_EQ(tried, "6");
    if (const QByteArray dir = qgetenv("VARNET_SHOT_DIR"); !dir.isEmpty())
        w.grab().save(QString::fromLocal8Bit(dir) + "/search-holdout.png");
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

// Kill thresholds every candidate meets, stored for every position.
void storeOpenThresholds(const QString& settingsFile) {
    QSettings s(settingsFile, QSettings::IniFormat);
    for (int p = 1; p <= 10; ++p)
        for (int i = 0; i < 10; ++i)
            s.setValue(QStringLiteral("%1/%2").arg(p).arg(i), i % 2 ? "32768" : "0");
}

// Replacing asks first, naming per position the stored formulas of each
// kind it deletes; Cancel changes nothing. A scheme that replaces at its
// end asks at its start, and its Cancel leaves it unstarted.
TEST_F(SearchWindowTest, ReplaceAsksFirst) {
    storeHistory(db, randomHistory(80, 5));
    storeOpenThresholds(settingsFile);
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
    storeOpenThresholds(settingsFile);
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
    QElapsedTimer busyFor;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (!QApplication::overrideCursor()) return;
        if (!busyFor.isValid()) busyFor.start();
        if (busyFor.elapsed() < 80) return;
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

}  // namespace
}  // namespace varnet::test
