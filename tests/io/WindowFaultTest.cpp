#include <QPushButton>

#include "app/GuiFixture.h"
#include "support/FailingVfs.h"

// The window over a disk that fails: reading a history file ends in a
// warning at every failure point, with the stored draws and the window's
// list as they were; once the disk is back the same reading goes through.
namespace varnet::test {
namespace {

class WindowFaultTest : public GuiTest {
  protected:
    static void SetUpTestSuite() { FailingVfs::install(); }  // before the fixture opens
};

TEST_F(WindowFaultTest, FailedHistoryImportWarnsAndKeepsTheList) {
    store({100, 101, 102});
    open();
    using Fault = FailingVfs::Fault;
    int first = 545500;
    for (const auto fault : {Fault::Write, Fault::Sync, Fault::Full, Fault::ReadOnly}) {
        const QString file = QString::fromStdString(folder) + "/历史号码/new.txt";
        {
            QFile f(file);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            for (int i = 0; i < 40; ++i)
                f.write("0" + QByteArray::number(first + i) +
                        " 2016-03-15 03 01 07 10 05 02 04 09 08 06\r\n");
        }
        const std::vector<int> before = storedIssues();
        const QString nextIssue = issueBox()->text();
        int points = 0;
        for (int n = 1;; ++n) {
            asker.messages.clear();
            asker.confirms = {true};
            asker.files = {file};
            FailingVfs::arm(fault, n);
            QTest::mouseClick(window->findChild<QPushButton*>("cmdRead"), Qt::LeftButton);
            FailingVfs::disarm();
            if (!FailingVfs::fired()) break;
            ++points;
            ASSERT_EQ(asker.messages.size(), 1u) << "fault at " << n;
            const std::string text = asker.messages[0].text.toStdString();
            EXPECT_NE(text.find("没有改变"), std::string::npos) << text;
            EXPECT_EQ(storedIssues(), before) << "fault at " << n;
            EXPECT_EQ(window->historyModel()->rowCount(), static_cast<int>(before.size()));
            EXPECT_EQ(issueBox()->text(), nextIssue);
            if (fault == Fault::ReadOnly) break;  // fails the same way every time
        }
        EXPECT_GT(points, 0);
        if (fault != Fault::ReadOnly) {
            EXPECT_TRUE(asker.messages.empty()) << asker.messages[0].text.toStdString();
            EXPECT_EQ(storedIssues().front(), first);
            EXPECT_EQ(window->historyModel()->rowCount(), 40);
        }
        first += 100;
    }
}

}  // namespace
}  // namespace varnet::test
