// varnet-guide-pictures OUTDIR: draws the user guide's pictures. Each window
// is reached through the main window's commands over a generated history and
// formula set (fixed seeds), drawn offscreen at a fixed size and written to
// OUTDIR/<name>.png. Not installed; `make guide-pictures` runs it.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>

#include "analysis/BacktestWindow.h"
#include "analysis/DetailListWindow.h"
#include "analysis/ParameterWindow.h"
#include "analysis/QueryWindow.h"
#include "analysis/ResultWindow.h"
#include "analysis/StepsWindow.h"
#include "analysis/TrendWindow.h"
#include "analysis/VoteChartWindow.h"
#include "app/AppIdentity.h"
#include "app/AppSettings.h"
#include "app/DataFolder.h"
#include "app/MainWindow.h"
#include "app/QtTranslations.h"
#include "db/Statement.h"
#include "formula/FilterWindow.h"
#include "formula/FormulaListModel.h"
#include "formula/RateChartWindow.h"
#include "history/NumberChartWindow.h"
#include "search/SearchWindow.h"
#include "search/SortWindow.h"
#include "ui/Asker.h"
#include "ui/Launcher.h"

using namespace varnet;

namespace {

// The generated history: the formulas enter after the first part, so the
// last draws are clean for "方法回测".
// The generated history has 179 draws a day from 2016-01-01: the formulas
// enter at the end of the 15th day, so the draws of the next days are clean
// (a later issue and a later day).
constexpr int kDraws = 3000;
constexpr int kDrawsBeforeFormulas = 15 * 179;
constexpr int kFormulaDay = 20160115;
constexpr int kFormulaPositions = 5;
constexpr int kBacktestDraws = 400;
constexpr int kPositionShown = 3;
const char* const kSeed = "25";

// Nobody answers: questions are confirmed, numbers come from a script, and
// messages go to stderr (a warning there means a picture may be wrong).
class ScriptAsker : public DialogAsker {
  public:
    std::deque<QString> answers;
    int warnings = 0;

    bool confirm(QWidget*, const QString& title, const QString& text) override {
        print(title, text);
        return true;
    }
    int choose(QWidget*, const QString& title, const QString& text, const QStringList&,
               int defaultButton, int) override {
        print(title, text);
        return defaultButton;
    }
    void inform(QWidget*, const QString& title, const QString& text) override {
        print(title, text);
    }
    void warn(QWidget*, const QString& title, const QString& text) override {
        ++warnings;
        print(title, text);
    }
    std::optional<QString> askText(QWidget*, const QString& title, const QString& prompt,
                                   const QString&) override {
        print(title, prompt);
        if (answers.empty()) return std::nullopt;
        const QString a = answers.front();
        answers.pop_front();
        return a;
    }
    QString openFileName(QWidget*, const QString&, const QString&) override { return {}; }

  private:
    static void print(const QString& title, const QString& text) {
        std::fprintf(stderr, "%s: %s\n", title.toUtf8().constData(), text.toUtf8().constData());
    }
};

class NoLauncher : public Launcher {
  public:
    bool open(const QUrl&) override { return true; }
};

void chooseFont(QApplication& app) {
    const QStringList families = QFontDatabase::families();
    for (const char* name : {"WenQuanYi Micro Hei", "Noto Sans CJK SC", "Noto Sans SC"}) {
        if (families.contains(QString::fromUtf8(name))) {
            QFont font(QString::fromUtf8(name));
            font.setPointSize(10);
            app.setFont(font);
            return;
        }
    }
    std::fprintf(stderr, "varnet-guide-pictures: no CJK font found\n");
}

// Lets layouts, charts and workers finish: events for at least `ms`, and on
// while a worker's cancel button shows (at most a minute).
void settle(int ms = 150) {
    QElapsedTimer t;
    t.start();
    for (;;) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        bool working = false;
        for (QWidget* w : QApplication::allWidgets())
            if (w->objectName() == QLatin1String("cmdCancel") && w->isVisible()) working = true;
        if ((t.elapsed() >= ms && !working) || t.elapsed() > 60000) return;
        QThread::msleep(5);
    }
}

// The offscreen platform's notes on what it cannot do are no news here.
void quietPlatform(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (text.startsWith(QLatin1String("This plugin does not support"))) return;
    std::fprintf(stderr, "%s\n", qFormatLogMessage(type, context, text).toUtf8().constData());
}

class Pictures {
  public:
    explicit Pictures(QString folder) : folder_(std::move(folder)) {}
    int failures = 0;

    // Sizes `w`, lets it lay out and writes it as `name`.png.
    void shoot(QWidget* w, const char* name, QSize size) {
        if (!w) {
            std::fprintf(stderr, "varnet-guide-pictures: no window for %s\n", name);
            ++failures;
            return;
        }
        w->resize(size);
        settle();
        const QString file = QDir(folder_).filePath(QString::fromUtf8(name) + ".png");
        // A palette keeps the files small (text and flat colours lose
        // nothing visible); optipng does the rest.
        const QImage image = w->grab().toImage().convertToFormat(
            QImage::Format_Indexed8, Qt::AvoidDither | Qt::ThresholdAlphaDither);
        if (!image.save(file, "PNG")) {
            std::fprintf(stderr, "varnet-guide-pictures: cannot write %s\n",
                         file.toUtf8().constData());
            ++failures;
        }
    }

  private:
    QString folder_;
};

// Runs varnet-cli (beside this program) on the data folder.
bool cli(const QString& data, QStringList args) {
    QProcess p;
    args.prepend(data);
    args.prepend(QStringLiteral("--data-dir"));
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(QCoreApplication::applicationDirPath() + "/varnet-cli", args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode()) {
        std::fprintf(stderr, "varnet-guide-pictures: varnet-cli %s failed\n",
                     args.join(' ').toUtf8().constData());
        return false;
    }
    return true;
}

// The history (kDraws draws) and kill formulas of positions 1..5 found by a
// short seeded search on the first kDrawsBeforeFormulas draws.
bool makeData(const QString& root, const QString& data) {
    const QString all = root + "/all.txt", first = root + "/first.txt";
    if (!cli(data, {"history", "generate", "--draws", QString::number(kDraws), "--seed", kSeed,
                    "--out", all}))
        return false;
    QFile in(all), out(first);
    if (!in.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)) return false;
    for (int i = 0; i < kDrawsBeforeFormulas && !in.atEnd(); ++i) out.write(in.readLine());
    out.close();
    if (!cli(data, {"history", "import", first})) return false;
    for (int p = 1; p <= kFormulaPositions; ++p) {
        if (!cli(data,
                 {"search", "--position", QString::number(p), "--kind", "kill", "--operands", "3",
                  "--constant", "random", "--candidates", "20000", "--seed",
                  QString::number(100 + p), "--thresholds", "91.5,100,0,4,0,32768,0,32768,0,32768",
                  "--limit", "30", "--save", "append"}))
            return false;
    }
    // One hold-out search, so that the report has a summary to show.
    if (!cli(data, {"search", "--position", "1", "--kind", "kill", "--operands", "3", "--constant",
                    "random", "--candidates", "20000", "--seed", "99", "--holdout", "300",
                    "--thresholds", "91.5,100,0,4,0,32768,0,32768,0,32768", "--limit", "30"}))
        return false;
    return cli(data, {"history", "import", all});
}

// The report as `varnet-cli report` writes it, drawn by headless chromium.
// Without chromium the picture is left out and said so.
bool shootReport(const QString& data, const QString& root, const QString& outDir) {
    const QString page = root + "/report.html";
    if (!cli(data, {"report", page})) return false;
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (chromium.isEmpty()) {
        std::fprintf(stderr, "varnet-guide-pictures: chromium not found, report.png not drawn\n");
        return true;
    }
    const QString png = QDir(outDir).absoluteFilePath(QStringLiteral("report.png"));
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(chromium, {"--headless", "--no-sandbox", "--disable-gpu", "--hide-scrollbars",
                       "--window-size=1000,1250", "--screenshot=" + png,
                       QUrl::fromLocalFile(page).toString()});
    if (!p.waitForFinished(120000) || p.exitCode() || !QFileInfo::exists(png)) {
        std::fprintf(stderr, "varnet-guide-pictures: chromium could not draw the report\n");
        return false;
    }
    return true;
}

QAction* actionNamed(QMenu* menu, const char* name) {
    for (QAction* a : menu->actions())
        if (a->objectName() == QLatin1String(name)) return a;
    return nullptr;
}

template <class T>
T* child(QWidget* w, const char* name) {
    return w->findChild<T*>(QString::fromUtf8(name));
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: varnet-guide-pictures OUTDIR\n");
        return 2;
    }
    // Drawn offscreen whatever the session, the searches seeded.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("VARNET_SEED", kSeed);
    qInstallMessageHandler(quietPlatform);
    QApplication app(argc, argv);
    presentApplication();
    installQtTranslations(app);
    chooseFont(app);

    const QString outDir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(outDir)) {
        std::fprintf(stderr, "varnet-guide-pictures: cannot create %s\n", argv[1]);
        return 1;
    }
    QTemporaryDir tmp;
    const QString data = tmp.path() + "/data";
    if (!tmp.isValid() || !makeData(tmp.path(), data)) return 1;

    DataFolder::Opened opened = DataFolder::open(data.toStdString());
    // Entered on that day rather than today: the same pictures every day.
    for (int p = 1; p <= kFormulaPositions; ++p)
        opened.db.prepare("UPDATE Gongshi" + std::to_string(p) + " SET EnteredDate = ?1")
            .bind(1, kFormulaDay)
            .run();
    AppSettings settings(
        std::make_unique<QSettings>(tmp.path() + "/settings.ini", QSettings::IniFormat));
    NoLauncher launcher;
    ScriptAsker asker;
    Pictures pictures(outDir);

    MainWindow w(opened.db, data.toStdString(), settings, launcher, asker);
    w.setClock([] { return QDate(2024, 6, 1); });
    w.resize(1100, 720);
    w.show();
    settle();
    w.selectPosition(kPositionShown);
    pictures.shoot(&w, "main", {1100, 720});

    child<QPushButton>(&w, "cmdFilter")->click();
    pictures.shoot(w.formulaPanel()->filterWindow(), "filter", {520, 360});
    if (w.formulaPanel()->filterWindow()) w.formulaPanel()->filterWindow()->close();

    // "计算选中公式", then the details of its voters.
    child<QRadioButton>(&w, "Option6_1")->click();
    child<QPushButton>(&w, "Command23")->click();
    settle();
    if (frmErrarrLei* result = w.resultWindow()) {
        QTimer::singleShot(0, [&] {
            auto* details = result->findChild<frmXxlb*>();
            pictures.shoot(details, "details", {900, 560});
            if (details) details->accept();
        });
        result->detailsButton()->click();
        result->close();
    }

    // "最优公式法": the sort window first, then the result and its checks.
    child<QRadioButton>(&w, "Option6_0")->click();
    QTimer::singleShot(0, [&] {
        pictures.shoot(w.sortWindow(), "sort", {520, 420});
        if (w.sortWindow()) w.sortWindow()->okButton()->click();
    });
    child<QPushButton>(&w, "Command23")->click();
    settle();
    frmErrarrLei* result = w.resultWindow();
    pictures.shoot(result, "result", {900, 620});
    if (result) {
        asker.answers = {QString::number(kBacktestDraws)};
        result->backtestButton()->click();
        settle();
        BacktestWindow* check = result->backtestWindow();
        pictures.shoot(check, "backtest", {1000, 680});
        if (check) {
            check->allDrawsBox()->click();
            pictures.shoot(check, "backtest-all", {1000, 680});
            check->close();
        }
        result->voteChartButton()->click();
        pictures.shoot(result->voteChartWindow(), "votechart", {800, 520});
        if (result->voteChartWindow()) result->voteChartWindow()->close();
        result->close();
    }

    const FormulaListModel& formulas = *w.formulaPanel()->model();
    if (formulas.size() > 0) {
        const FormulaRow& row = formulas.list()[formulas.listIndex(0)].row;
        w.calculation()->showSteps(qs(row.code), qs(row.chinese));
        pictures.shoot(w.stepsWindow(), "steps", {900, 560});
        if (w.stepsWindow()) w.stepsWindow()->close();
        w.formulaPanel()->showRateChart(0);
        auto* rate = w.findChild<RateChartWindow*>();
        pictures.shoot(rate, "ratechart", {900, 560});
        if (rate) rate->close();
    }

    child<QPushButton>(&w, "Command4")->click();
    pictures.shoot(w.parameterWindow(), "parameters", {900, 600});
    if (w.parameterWindow()) w.parameterWindow()->close();

    child<QPushButton>(&w, "Command12")->click();
    settle();
    pictures.shoot(w.queryWindow(), "query", {1000, 600});
    if (w.queryWindow()) w.queryWindow()->close();

    if (QAction* a = actionNamed(w.historyMenu(), "mnuNumberChart")) a->trigger();
    auto* numbers = w.findChild<NumberChartWindow*>();
    pictures.shoot(numbers, "numberchart", {800, 520});
    if (numbers) numbers->close();

    if (QAction* a = actionNamed(w.historyMenu(), "mnuTrend")) a->trigger();
    auto* trend = w.findChild<TrendWindow*>();
    pictures.shoot(trend, "trend", {1000, 620});
    if (trend) trend->close();

    // A short single search on the shown position that finds formulas.
    child<QPushButton>(&w, "cmdSearch")->click();
    if (frmGSGL* search = w.searchWindow()) {
        const char* const open[10] = {"92",    "100", "0",     "4", "0",
                                      "32768", "0",   "32768", "0", "32768"};
        for (int i = 0; i < 10; ++i)
            search->findChild<QLineEdit*>(QStringLiteral("threshold%1").arg(i))->setText(open[i]);
        child<QCheckBox>(search, "chkLimit")->setChecked(true);
        child<QLineEdit>(search, "limitBox")->setText(QStringLiteral("20"));
        search->startSearch();
        QElapsedTimer t;
        t.start();
        while (search->searching() && t.elapsed() < 60000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(5);
        }
        pictures.shoot(search, "search", {1240, 720});
        search->close();
    } else {
        pictures.shoot(nullptr, "search", {});
    }

    w.close();
    if (!shootReport(data, tmp.path(), outDir)) ++pictures.failures;
    return pictures.failures == 0 ? 0 : 1;
}
