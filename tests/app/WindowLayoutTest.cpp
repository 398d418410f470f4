#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTranslator>

#include "GuiFixture.h"
#include "analysis/ParameterWindow.h"
#include "app/QtTranslations.h"
#include "db/FormulaTable.h"
#include "search/SearchWindow.h"

namespace varnet::test {
namespace {

// A laptop screen less a window frame and title bar.
const QSize kLaptop(1280 - 16, 720 - 40);

class WindowLayoutTest : public GuiTest {
  protected:
    void fill() {
        std::initializer_list<int> issues = {2024001, 2024002, 2024003, 2024004, 2024005};
        store(issues);
        for (int i = 0; i < 30; ++i)
            FormulaTable(db, 1).append(true, "L1A+" + std::to_string(i), "c" + std::to_string(i));
    }
    QSplitter* splitter() { return window->findChild<QSplitter*>("mainSplitter"); }
};

TEST_F(WindowLayoutTest, MainWindowFitsALaptopScreenWithEveryControlReachable) {
    fill();
    MainWindow& w = open();
    EXPECT_LE(w.minimumSizeHint().width(), kLaptop.width());
    EXPECT_LE(w.minimumSizeHint().height(), kLaptop.height());
    EXPECT_LE(w.width(), kLaptop.width()) << "first start";
    EXPECT_LE(w.height(), kLaptop.height()) << "first start";

    w.resize(kLaptop);
    QApplication::processEvents();
    // Every shown button and box lies inside the window and apart from the others.
    QList<QWidget*> controls;
    for (QWidget* c : w.findChildren<QWidget*>())
        if (c->isVisibleTo(&w) && c->window() == &w &&
            (qobject_cast<QAbstractButton*>(c) || qobject_cast<QLineEdit*>(c)))
            controls.append(c);
    ASSERT_GT(controls.size(), 30);
    for (QWidget* c : controls) {
        const QRect at(c->mapTo(&w, QPoint(0, 0)), c->size());
        EXPECT_TRUE(w.rect().contains(at)) << c->objectName().toStdString();
        for (QWidget* other : controls)
            if (other != c && other->parentWidget() == c->parentWidget())
                EXPECT_FALSE(c->geometry().intersects(other->geometry()))
                    << c->objectName().toStdString() << " on " << other->objectName().toStdString();
    }
    auto* keep = w.findChild<QAbstractButton*>("optKeep");
    QTest::mouseClick(keep, Qt::LeftButton, {}, QPoint(5, keep->height() / 2));
    EXPECT_FALSE(w.state().kill) << "生 works there";
}

// The search window, the widest of the others, fits the same screen.
TEST_F(WindowLayoutTest, SearchWindowFitsALaptopScreen) {
    fill();
    open();
    QTest::mouseClick(window->findChild<QPushButton*>("cmdSearch"), Qt::LeftButton);
    QWidget* search = window->searchWindow();
    ASSERT_NE(search, nullptr);
    EXPECT_LE(search->minimumSizeHint().width(), kLaptop.width());
    EXPECT_LE(search->minimumSizeHint().height(), kLaptop.height());
    EXPECT_LE(search->width(), kLaptop.width()) << "first opening";
    EXPECT_LE(search->height(), kLaptop.height()) << "first opening";
    search->close();
}

TEST_F(WindowLayoutTest, WindowsComeBackWhereTheyWereLeftButOnTheScreen) {
    fill();
    open();
    const QStringList settingKeys = [&] {
        QSettings s(settingsFile, QSettings::IniFormat);
        s.beginGroup("IniSetting");
        return s.allKeys();
    }();
    // Small enough for the test screen, with room to move the splitter.
    const QSize left(window->minimumSize().width() + 100, 455);
    ASSERT_TRUE(window->screen()->availableGeometry().size().boundedTo(left) == left);
    window->resize(left);
    QApplication::processEvents();
    const QList<int> sizes{splitter()->sizes()[0] - 40, splitter()->sizes()[1] + 40};
    splitter()->setSizes(sizes);
    window->calculation()->showParameters();
    const QRect placed(30, 40, 500, 300);
    window->parameterWindow()->setGeometry(placed);
    window->close();
    window.reset();

    open();
    EXPECT_EQ(window->size(), left);
    EXPECT_EQ(splitter()->sizes(), sizes);
    window->calculation()->showParameters();
    EXPECT_EQ(window->parameterWindow()->geometry(), placed);

    // Kept in a section of their own.
    {
        QSettings s(settingsFile, QSettings::IniFormat);
        s.beginGroup("IniSetting");
        EXPECT_EQ(s.allKeys(), settingKeys);
        s.endGroup();
        s.beginGroup("WindowGeometry");
        EXPECT_TRUE(s.contains("frmMain/geometry"));
        EXPECT_TRUE(s.contains("frmMain/mainSplitter"));
        EXPECT_TRUE(s.contains("frmShuoming/geometry"));
    }

    // Left on a bigger screen than this one: back on this one, whole.
    window->parameterWindow()->setGeometry(5000, 4000, 3000, 2000);
    window->close();
    window.reset();
    open();
    window->calculation()->showParameters();
    const QRect screen = window->parameterWindow()->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(window->parameterWindow()->frameGeometry()))
        << window->parameterWindow()->frameGeometry().x() << ","
        << window->parameterWindow()->frameGeometry().y();
}

TEST(QtTranslationsTest, StandardButtonsAreChineseUnderTheCLocale) {
    const QLocale before;
    QLocale::setDefault(QLocale::c());
    QTranslator* translator = installQtTranslations(*qApp);
    ASSERT_NE(translator, nullptr) << "qtbase_zh_CN not found";
    {
        QMessageBox box(QMessageBox::Question, "读入历史", "点击'确认'读入,点击'取消'放弃该操作。",
                        QMessageBox::Ok | QMessageBox::Cancel);
        EXPECT_EQ(box.button(QMessageBox::Ok)->text(), QString("确定"));
        EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QString("取消"));
    }
    QCoreApplication::removeTranslator(translator);
    delete translator;
    QLocale::setDefault(before);
}

}  // namespace
}  // namespace varnet::test
