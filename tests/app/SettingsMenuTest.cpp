#include "GuiFixture.h"
#include "app/BuildInfo.h"

namespace varnet::test {
namespace {

using SettingsTest = GuiTest;

const QString kShowNext = "历史列表公式验算结果显示在下期(&N)";
const QString kShowCurrent = "历史列表公式验算结果显示在当期(&T)";
const QString kExclude = "检索期数前溯不含当前期";
const QString kWeighted = "正确率使用期数加权算法(&A)";
const QString kDays = "历史号码更新检索天数设置(&D)";
const QString kRestore = "恢复默认设置(&R)";
const QString kOwnCount = "前指定期";
const QString kAbout = "关于 Varnet(&V)";

TEST_F(SettingsTest, FirstStartShowsTheDefaults) {
    MainWindow& w = open();
    const MainState& s = w.state();
    EXPECT_EQ(s.days, 3);
    EXPECT_TRUE(s.computeSelected);
    EXPECT_EQ(s.resultColumn, ResultColumn::PreCanshu);
    EXPECT_TRUE(s.excludeCurrent);
    EXPECT_TRUE(s.weighted);
    EXPECT_EQ(s.issueCount, 300);
    EXPECT_EQ(s.selectedPosition, 1);
    EXPECT_TRUE(s.kill);
    EXPECT_EQ(s.formulaTable(), "Gongshi1");
    QMenu* menu = w.settingsMenu();
    EXPECT_TRUE(action(menu, kShowNext)->isChecked());
    EXPECT_FALSE(action(menu, kShowCurrent)->isChecked());
    EXPECT_TRUE(action(menu, kExclude)->isChecked());
    EXPECT_TRUE(action(menu, kWeighted)->isChecked());
    EXPECT_EQ(checkedIssueCounts(), std::vector<QString>{"前300期"});
}

TEST_F(SettingsTest, MenuHasTheEntriesInOrder) {
    QMenu* menu = open().settingsMenu();
    std::vector<QString> top;
    for (QAction* a : menu->actions()) top.push_back(a->isSeparator() ? "-" : a->text());
    ASSERT_EQ(top.size(), 12u);
    EXPECT_EQ(top[0], kShowNext);
    EXPECT_EQ(top[1], kShowCurrent);
    EXPECT_EQ(top[2], "-");
    EXPECT_EQ(top[3], "检索期数设置(&Q)");
    EXPECT_EQ(top[4], kWeighted);
    EXPECT_EQ(top[5], kDays);
    EXPECT_EQ(top[6], "开奖网站地址设置...");
    EXPECT_EQ(top[7], "公式文件地址设置...");
    EXPECT_EQ(top[8], kRestore);
    EXPECT_FALSE(menu->actions()[9]->isVisible()) << "other programs hidden without addresses";
    EXPECT_EQ(top[10], "-");
    EXPECT_EQ(top[11], kAbout);
    const auto sub = menu->actions()[3]->menu()->actions();
    ASSERT_EQ(sub.size(), 13);
    EXPECT_EQ(sub[0]->text(), kExclude);
    EXPECT_EQ(sub[1]->text(), "前所有期");
    EXPECT_EQ(sub[11]->text(), kOwnCount);
    EXPECT_TRUE(sub[12]->isSeparator());
}

TEST_F(SettingsTest, AboutShowsVersionLicenceAndDataFolder) {
    action(open().settingsMenu(), kAbout)->trigger();
    ASSERT_EQ(asker.messages.size(), 1u);
    EXPECT_EQ(asker.messages[0].title, "关于 Varnet");
    const QString text = asker.messages[0].text;
    EXPECT_TRUE(text.startsWith(QStringLiteral("Varnet ") + build::kVersion + "\n"))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("许可证：") + build::kLicense)) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("数据文件夹：") + QString::fromStdString(folder)))
        << text.toStdString();
}

TEST_F(SettingsTest, StoredSettingsAreShown) {
    storeSetting("LsXs", "True");
    storeSetting("SyBq", "False");
    storeSetting("ZqlJq", "False");
    storeSetting("JSFF", "False");
    storeSetting("IniSerchDay", "7");
    storeSetting("JSQS", "10");  // without "intJsqs"
    MainWindow& w = open();
    EXPECT_EQ(w.state().resultColumn, ResultColumn::Canshu);
    EXPECT_TRUE(action(w.settingsMenu(), kShowCurrent)->isChecked());
    EXPECT_FALSE(action(w.settingsMenu(), kExclude)->isChecked());
    EXPECT_FALSE(action(w.settingsMenu(), kWeighted)->isChecked());
    EXPECT_FALSE(w.state().computeSelected);
    EXPECT_EQ(w.state().days, 7);
    EXPECT_EQ(w.state().issueCount, 0);
    EXPECT_EQ(checkedIssueCounts(), std::vector<QString>{kOwnCount});
}

TEST_F(SettingsTest, RestoreDefaultsKeepsTheDaysUntilTheNextStart) {
    storeSetting("JSQS", "10");
    storeSetting("intJsqs", "77");
    storeSetting("LsXs", "True");
    storeSetting("SyBq", "False");
    storeSetting("IniSerchDay", "4");
    MainWindow& w = open();
    EXPECT_EQ(w.state().issueCount, 77);
    trigger(w.settingsMenu(), kRestore);
    EXPECT_EQ(checkedIssueCounts(), std::vector<QString>{"前300期"});
    EXPECT_EQ(w.state().issueCount, 300);
    EXPECT_TRUE(action(w.settingsMenu(), kShowNext)->isChecked());
    EXPECT_TRUE(action(w.settingsMenu(), kExclude)->isChecked());
    EXPECT_EQ(w.state().days, 4);
    EXPECT_EQ(storedSetting("IniSerchDay"), "6");
    EXPECT_EQ(storedSetting("JSQS"), "3");
    EXPECT_EQ(storedSetting("LsXs"), "False");

    window.reset();
    EXPECT_EQ(open().state().days, 6);
}

TEST_F(SettingsTest, DaysAcceptTwoToTenAndAskAgainOtherwise) {
    MainWindow& w = open();
    asker.answers = {QString("1"), QString("11"), QString("abc"), QString("2")};
    trigger(w.settingsMenu(), kDays);
    EXPECT_EQ(w.state().days, 2);
    EXPECT_EQ(storedSetting("IniSerchDay"), "2");
    ASSERT_EQ(asker.messages.size(), 3u);
    for (const auto& m : asker.messages) {
        EXPECT_EQ(m.title, "输入有误");
        EXPECT_EQ(
            m.text,
            "为了保证时效性和提高计算效率，软件只能统计10天以内的数据，请输入2到10中的自然数。");
    }
    ASSERT_EQ(asker.questions.size(), 4u);
    EXPECT_EQ(asker.questions[0].title, "设置天数");
    EXPECT_EQ(asker.questions[0].text, "请输入需要统计的历史号码的天数（2~10中的任意自然数）");
    EXPECT_EQ(asker.questions[0].proposal, "3");

    asker.answers = {QString("10")};
    trigger(w.settingsMenu(), kDays);
    EXPECT_EQ(w.state().days, 10);

    asker.messages.clear();
    asker.answers = {QString("0"), std::nullopt};  // rejected, then cancelled
    trigger(w.settingsMenu(), kDays);
    EXPECT_EQ(w.state().days, 10);
    EXPECT_EQ(asker.messages.size(), 1u);
    asker.answers = {QString("")};
    trigger(w.settingsMenu(), kDays);
    EXPECT_EQ(storedSetting("IniSerchDay"), "10");
}

TEST_F(SettingsTest, OwnIssueCountIsAskedAndKept) {
    store({545548, 545549, 545550});
    MainWindow& w = open();
    trigger(w.settingsMenu(), "前所有期");
    EXPECT_EQ(w.state().issueCount, 0);
    EXPECT_EQ(storedSetting("JSQS"), "0");

    asker.answers = {QString("50")};
    trigger(w.settingsMenu(), kOwnCount);
    ASSERT_FALSE(asker.questions.empty());
    EXPECT_EQ(asker.questions.back().title, "期数检索");
    EXPECT_EQ(asker.questions.back().text, "设置检索的最近期数");
    EXPECT_EQ(asker.questions.back().proposal, "3") << "all issues: propose the draw count";
    EXPECT_EQ(w.state().issueCount, 50);
    EXPECT_EQ(storedSetting("JSQS"), "10");
    EXPECT_EQ(storedSetting("intJsqs"), "50");

    trigger(w.settingsMenu(), "前1000期");
    asker.answers = {std::nullopt};
    trigger(w.settingsMenu(), kOwnCount);
    EXPECT_EQ(asker.questions.back().proposal, "1000");
    EXPECT_EQ(w.state().issueCount, 1000) << "cancel leaves the count";
    EXPECT_EQ(checkedIssueCounts(), std::vector<QString>{"前1000期"});

    asker.answers = {QString("many")};
    trigger(w.settingsMenu(), kOwnCount);
    EXPECT_EQ(w.state().issueCount, 1000);
    EXPECT_EQ(storedSetting("JSQS"), "7");
    EXPECT_FALSE(asker.messages.empty());
}

TEST_F(SettingsTest, ChecksAreStoredAsTexts) {
    MainWindow& w = open();
    trigger(w.settingsMenu(), kShowCurrent);
    EXPECT_EQ(w.state().resultColumn, ResultColumn::Canshu);
    EXPECT_FALSE(action(w.settingsMenu(), kShowNext)->isChecked());
    EXPECT_EQ(storedSetting("LsXs"), "True");
    trigger(w.settingsMenu(), kExclude);
    EXPECT_FALSE(w.state().excludeCurrent);
    EXPECT_EQ(storedSetting("SyBq"), "False");
    trigger(w.settingsMenu(), kWeighted);
    EXPECT_FALSE(w.state().weighted);
    EXPECT_EQ(storedSetting("ZqlJq"), "False");
}

}  // namespace
}  // namespace varnet::test
