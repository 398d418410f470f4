#include "app/SettingsMenu.h"

#include <QActionGroup>
#include <QDir>
#include <QUrl>
#include <optional>

#include "app/BuildInfo.h"
#include "base/NumericText.h"
#include "formula/FormulaUpdate.h"
#include "history/HistoryPanel.h"
#include "history/HistoryUpdate.h"
#include "ui/Asker.h"
#include "ui/Launcher.h"
#include "ui/MainState.h"

namespace varnet {

namespace {

const QString kDaysTitle = QStringLiteral("设置天数");
const QString kDaysPrompt = QStringLiteral("请输入需要统计的历史号码的天数（2~10中的任意自然数）");
const QString kDaysError = QStringLiteral(
    "为了保证时效性和提高计算效率，软件只能统计10天以内的数据，请输入2到10中的自然数。");
const QString kInputErrorTitle = QStringLiteral("输入有误");

QString aboutText(const std::string& dataFolder) {
    return QStringLiteral("Varnet %1\n北京赛车历史号码与公式分析\n\n许可证：%2\n数据文件夹：%3")
        .arg(QString::fromUtf8(build::kVersion), QString::fromUtf8(build::kLicense),
             QDir::toNativeSeparators(qs(dataFolder)));
}

}  // namespace

QString SettingsMenu::otherProgramUrlKey(int i) {
    return QString::fromLatin1(settings::kOtherProgramUrlPattern).arg(i);
}
QString SettingsMenu::otherProgramNameKey(int i) {
    return QString::fromLatin1(settings::kOtherProgramNamePattern).arg(i);
}

SettingsMenu::SettingsMenu(Host& host, MainState& state, AppSettings& settings, Asker& asker,
                           Launcher& launcher, std::string dataFolder, QWidget* window)
    : QMenu(window),
      host_(host),
      state_(state),
      settings_(settings),
      asker_(asker),
      launcher_(launcher),
      dataFolder_(std::move(dataFolder)),
      window_(window) {
    QMenu* menu = this;
    menu->setObjectName(QStringLiteral("mnuSetting"));

    auto* displayGroup = new QActionGroup(menu);
    showNextAction_ = menu->addAction(QStringLiteral("历史列表公式验算结果显示在下期(&N)"));
    showCurrentAction_ = menu->addAction(QStringLiteral("历史列表公式验算结果显示在当期(&T)"));
    for (QAction* a : {showNextAction_, showCurrentAction_}) {
        a->setCheckable(true);
        displayGroup->addAction(a);
    }
    connect(showNextAction_, &QAction::triggered, this, [this] { chooseDisplay(false); });
    connect(showCurrentAction_, &QAction::triggered, this, [this] { chooseDisplay(true); });
    menu->addSeparator();

    QMenu* countMenu = menu->addMenu(QStringLiteral("检索期数设置(&Q)"));
    countMenu->setObjectName(QStringLiteral("mnuJsqs"));
    excludeCurrentAction_ = countMenu->addAction(QStringLiteral("检索期数前溯不含当前期"));
    excludeCurrentAction_->setCheckable(true);
    connect(excludeCurrentAction_, &QAction::triggered, this, [this](bool on) {
        state_.excludeCurrent = on;
        settings_.setExcludeCurrent(on);
    });
    auto* countGroup = new QActionGroup(countMenu);
    for (int i = 0; i < AppSettings::kIssueCountEntries; ++i) {
        QAction* a = countMenu->addAction(QString::fromUtf8(AppSettings::issueCountCaption(i)));
        a->setCheckable(true);
        countGroup->addAction(a);
        connect(a, &QAction::triggered, this, [this, i] { chooseIssueCount(i); });
        issueCountActions_[i] = a;
    }
    countMenu->addSeparator();

    weightedAction_ = menu->addAction(QStringLiteral("正确率使用期数加权算法(&A)"));
    weightedAction_->setCheckable(true);
    connect(weightedAction_, &QAction::triggered, this, [this](bool on) {
        state_.weighted = on;
        settings_.setWeighted(on);
    });
    connect(menu->addAction(QStringLiteral("历史号码更新检索天数设置(&D)")), &QAction::triggered,
            this, &SettingsMenu::setDaysToSearch);
    connect(menu->addAction(QString::fromUtf8(HistoryPanel::kSiteEntry)), &QAction::triggered, this,
            &SettingsMenu::setHistorySiteAddress);
    connect(menu->addAction(QString::fromUtf8(kFormulaFileEntry)), &QAction::triggered, this,
            &SettingsMenu::setFormulaFileAddress);
    connect(menu->addAction(QStringLiteral("恢复默认设置(&R)")), &QAction::triggered, this,
            &SettingsMenu::restoreDefaults);

    QMenu* others = menu->addMenu(QStringLiteral("其他软件下载(&S)"));
    others->setObjectName(QStringLiteral("mnuSoft"));
    bool anyOther = false;
    for (int i = 1; i <= kOtherPrograms; ++i) {
        const QString address = settings_.address(otherProgramUrlKey(i));
        const QString name =
            settings_.text(otherProgramNameKey(i), QStringLiteral("其他软件%1").arg(i)).trimmed();
        QAction* a = others->addAction(name);
        a->setVisible(!address.isEmpty());
        anyOther = anyOther || !address.isEmpty();
        connect(a, &QAction::triggered, this, [this, address] { openAddress(address); });
    }
    others->menuAction()->setVisible(anyOther);

    menu->addSeparator();
    QAction* about = menu->addAction(QStringLiteral("关于 Varnet(&V)"));
    about->setObjectName(QStringLiteral("mnuAbout"));
    connect(about, &QAction::triggered, this, [this] {
        asker_.inform(window_, QStringLiteral("关于 Varnet"), aboutText(dataFolder_));
    });
    syncSettingsChecks();
}

void SettingsMenu::syncSettingsChecks() {
    const bool onCurrent = state_.resultColumn == ResultColumn::Canshu;
    showCurrentAction_->setChecked(onCurrent);
    showNextAction_->setChecked(!onCurrent);
    excludeCurrentAction_->setChecked(state_.excludeCurrent);
    weightedAction_->setChecked(state_.weighted);
    for (int i = 0; i < AppSettings::kIssueCountEntries; ++i)
        issueCountActions_[i]->setChecked(i == state_.issueCountIndex);
}

void SettingsMenu::chooseDisplay(bool onCurrent) {
    state_.resultColumn = onCurrent ? ResultColumn::Canshu : ResultColumn::PreCanshu;
    settings_.setShowOnCurrent(onCurrent);
    syncSettingsChecks();
}

void SettingsMenu::chooseIssueCount(int index) {
    if (index == 10) {
        const int proposal = state_.issueCount != 0 ? state_.issueCount : host_.historySize();
        const auto answer =
            asker_.askText(window_, QStringLiteral("期数检索"),
                           QStringLiteral("设置检索的最近期数"), QString::number(proposal));
        if (!answer) {
            syncSettingsChecks();  // cancelled: the previous entry stays checked
            return;
        }
        const auto count = wholeAnswer(answer);
        if (!count || *count < 0) {
            asker_.warn(
                window_, kInputErrorTitle,
                QStringLiteral("请输入一个不小于0的整数（0表示所有期），检索期数没有改变。"));
            syncSettingsChecks();
            return;
        }
        state_.issueCount = *count;
        // 0 (all issues) is kept too, so the next start uses what is shown now.
        settings_.setOwnIssueCount(*count);
    } else {
        state_.issueCount = AppSettings::issueCountFor(index, 0);
    }
    state_.issueCountIndex = index;
    settings_.setIssueCountIndex(index);
    syncSettingsChecks();
    host_.verifyFormulas();
}

void SettingsMenu::setDaysToSearch() {
    state_.days = settings_.days();
    for (;;) {
        const auto answer =
            asker_.askText(window_, kDaysTitle, kDaysPrompt, QString::number(state_.days));
        if (!answer || answer->trimmed().isEmpty()) return;
        if (const auto days = AppSettings::acceptDays(*answer)) {
            state_.days = *days;
            settings_.setDays(*days);
            return;
        }
        asker_.warn(window_, kInputErrorTitle, kDaysError);
    }
}

void SettingsMenu::restoreDefaults() {
    // The days held now stay until the next start, which reads the stored 6.
    settings_.restoreDefaults();
    state_.resultColumn = ResultColumn::PreCanshu;
    state_.excludeCurrent = true;
    state_.weighted = true;
    state_.issueCountIndex = 3;
    state_.issueCount = AppSettings::issueCountFor(3, 0);
    syncSettingsChecks();
}

void SettingsMenu::setHistorySiteAddress() {
    askAddress(QStringLiteral("开奖网站地址"), QLatin1String(HistoryUpdate::kSiteKey),
               QStringLiteral("请输入开奖网站的地址（以 http:// 或 https:// 开头，"
                              "每天的页面为该地址加 /draw-pk10-年月日.html）；清空则不再设置"));
}

void SettingsMenu::setFormulaFileAddress() {
    askAddress(QStringLiteral("公式文件地址"), QLatin1String(FormulaUpdate::kUrlKey),
               QStringLiteral("请输入公式文件的完整地址（以 http:// 或 https:// 开头）；"
                              "清空则不再设置"));
}

void SettingsMenu::askAddress(const QString& title, const QString& key, const QString& prompt) {
    const auto answer = asker_.askText(window_, title, prompt, settings_.address(key));
    if (!answer) return;
    const QString text = answer->trimmed();
    if (!text.isEmpty()) {
        const QUrl url(text, QUrl::StrictMode);
        const QString scheme = url.scheme().toLower();
        if (!url.isValid() ||
            (scheme != QLatin1String("http") && scheme != QLatin1String("https")) ||
            url.host().isEmpty()) {
            asker_.warn(window_, kInputErrorTitle,
                        QStringLiteral("“%1”不是以 http:// 或 https:// 开头的网址，地址没有改变。")
                            .arg(text));
            return;
        }
    }
    settings_.setText(key, text);
}

void SettingsMenu::openAddress(const QString& address) {
    if (address.isEmpty()) return;
    if (!launcher_.open(QUrl::fromUserInput(address)))
        asker_.warn(window_, QStringLiteral("打开"), QStringLiteral("无法打开 %1。").arg(address));
}

}  // namespace varnet
