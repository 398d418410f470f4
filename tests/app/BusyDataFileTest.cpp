#include <QApplication>
#include <QProgressDialog>

#include "GuiFixture.h"
#include "app/BusyNotice.h"
#include "base/Paths.h"
#include "db/FormulaTable.h"
#include "formula/FormulaListModel.h"
#include "formula/FormulaPanel.h"
#include "support/RandomHistory.h"

namespace varnet::test {
namespace {

class BusyDataFileTest : public GuiTest {};

// A start that cannot read the formula table (another program is writing it)
// shows the wait, says the list could not be read, and reads it again once
// the file is free: it never passes an empty list off as the table.
TEST_F(BusyDataFileTest, AFormulaTableThatCannotBeReadIsSaidAndReadAgain) {
    storeHistory(db, randomHistory(40, 7));
    FormulaTable(db, 1).append(true, "L1A", "c:L1A");
    FormulaTable(db, 1).append(true, "L2A", "c:L2A");
    BusyNotice notice(1);
    db.setBusyWait(notice.wait());
    Database holder(joinPath(folder, Schema::kFileName));
    holder.exec("BEGIN EXCLUSIVE");

    open();
    auto& model = *window->formulaPanel()->model();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(window->history().size(), 0);
    ASSERT_EQ(asker.messages.size(), 2u);
    EXPECT_TRUE(asker.messages[0].text.contains(QStringLiteral("无法读取历史号码")));
    EXPECT_TRUE(asker.messages[1].text.contains(QStringLiteral("无法读取公式表")));
    EXPECT_TRUE(asker.messages[1].text.contains(QStringLiteral("数据文件正被另一个程序使用")));
    EXPECT_TRUE(asker.messages[1].text.contains(QStringLiteral("重新读取")));
    bool boxSeen = false;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QProgressDialog*>(w);
            box && box->objectName() == "busyNotice") {
            boxSeen = true;
            EXPECT_TRUE(
                box->labelText().contains(QStringLiteral("数据文件正被另一个程序使用，等待中…")));
        }
    EXPECT_TRUE(boxSeen);

    holder.exec("ROLLBACK");
    for (int i = 0; i < 100 && (model.rowCount() == 0 || window->history().size() == 0); ++i)
        QTest::qWait(100);
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(window->history().size(), 40);
    EXPECT_EQ(asker.messages.size(), 2u) << "said once, not at every try";
}

}  // namespace
}  // namespace varnet::test
