// Speed of the desktop program with long formula lists: start-up of the real
// program to a shown, verified window (10 positions x 10,000 formulas, 100,000
// draws), and switching position on the real main window (offscreen) until
// the verified list of 10,000 formulas over 10,000 draws is shown, and the
// memory the search window takes for a million finds. Prints `key: value`
// lines.
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "BenchData.h"
#include "analysis/TrendWindow.h"
#include "app/AppSettings.h"
#include "app/MainWindow.h"
#include "db/Schema.h"
#include "search/SearchWindow.h"
#include "support/RandomHistory.h"
#include "ui/Asker.h"
#include "ui/Launcher.h"

using namespace varnet;
using namespace varnet::bench;
namespace fs = std::filesystem;

namespace {

fs::path makeDataFolder(const fs::path& root, const std::string& name, int draws, int positions,
                        int formulas) {
    const fs::path dir = root / name;
    fs::create_directories(dir);
    Database db = Schema::openDataFile((dir / Schema::kFileName).string());
    test::storeHistory(db, test::randomHistory(draws, 9));
    for (int p = 1; p <= positions; ++p) storeFormulas(db, p, formulas, 100 + p);
    return dir;
}

// Seconds the desktop program takes from launch to its verified window,
// rendered to a PNG and closed.
double startupSeconds(const fs::path& data, const fs::path& config) {
    const std::string command =
        "XDG_CONFIG_HOME='" + config.string() + "' QT_QPA_PLATFORM=offscreen '" +
        (fs::path(QCoreApplication::applicationDirPath().toStdString()) / "varnet").string() +
        "' --data-dir '" + data.string() + "' --screenshot '" + (data / "shot.png").string() +
        "' >/dev/null 2>&1";
    const auto start = Clock::now();
    const int rc = std::system(command.c_str());
    const double s = secondsSince(start);
    return rc == 0 ? s : -1.0;
}

// In a process of its own: the growth of the peak resident size while a
// single search on open thresholds (with draws held out, so every find has
// all its figures) puts `finds` finds into the search window. Prints MB.
int searchFinds(const fs::path& root, long long finds) {
    const fs::path data = makeDataFolder(root, "finds", 200, 0, 0);
    Database db = Schema::openDataFile((data / Schema::kFileName).string());
    AppSettings settings(std::make_unique<QSettings>(
        QString::fromStdString((root / "config" / "finds.ini").string()), QSettings::IniFormat));
    DesktopLauncher launcher;
    DialogAsker asker;
    MainWindow window(db, data.string(), settings, launcher, asker);
    window.show();
    QCoreApplication::processEvents();
    window.findChild<QPushButton*>("cmdSearch")->click();
    frmGSGL* w = window.searchWindow();
    const char* const open[10] = {"0",     "100", "0",     "32768", "0",
                                  "32768", "0",   "32768", "0",     "32768"};
    for (int i = 0; i < 10; ++i)
        w->findChild<QLineEdit*>(QStringLiteral("threshold%1").arg(i))->setText(open[i]);
    w->findChild<QSpinBox*>("holdOutBox")->setValue(40);
    w->findChild<QCheckBox*>("chkLimit")->setChecked(true);
    w->findChild<QLineEdit*>("limitBox")->setText(QString::number(finds));
    QCoreApplication::processEvents();
    const long before = peakRssKb();
    w->startSearch();
    while (w->searching()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(5);
    }
    QCoreApplication::processEvents();
    const long after = peakRssKb();
    std::printf("%.1f\n", (after - before) / 1024.0);
    return w->resultModel()->rowCount() == finds ? 0 : 1;
}

// Runs this program again with `--search-finds N` and reads its one number.
double searchFindsMb(long long finds) {
    const std::string command = "QT_QPA_PLATFORM=offscreen '" +
                                QCoreApplication::applicationFilePath().toStdString() +
                                "' --search-finds " + std::to_string(finds);
    FILE* out = ::popen(command.c_str(), "r");
    if (!out) return -1.0;
    double mb = -1.0;
    if (std::fscanf(out, "%lf", &mb) != 1) mb = -1.0;
    return ::pclose(out) == 0 ? mb : -1.0;
}

// Opening the trend window on every one of a million draws until it is
// shown, best of three (the history stands ready, as in the main window).
double trendWindowSeconds() {
    const auto h = std::make_shared<const History>(test::randomHistory(1000000, 17));
    struct NoExport : Exporter {
        bool exportFile(QWidget*, const QString&, const std::string&, long long,
                        const Write&) override {
            return false;
        }
        bool busy() const override { return false; }
    } exporter;
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        TrendWindow w(exporter, fs::temp_directory_path().string());
        w.showTrend(h, paramIndex(0, 1), 0);
        w.show();
        QCoreApplication::processEvents();
        best = std::min(best, secondsSince(start));
        if (w.trend().rows() != h->size()) return -1.0;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // `--trend`: only the trend window's figure.
    if (argc == 2 && std::string(argv[1]) == "--trend") {
        std::printf("trend_window_h1000000_s: %.3f\n", trendWindowSeconds());
        return 0;
    }
    if (argc == 3 && std::string(argv[1]) == "--search-finds") {
        const fs::path root =
            fs::temp_directory_path() / ("varnet-bench-finds-" + std::to_string(::getpid()));
        fs::create_directories(root / "config");
        const int rc = searchFinds(root, std::stoll(argv[2]));
        fs::remove_all(root);
        return rc;
    }
    const fs::path root =
        fs::temp_directory_path() / ("varnet-bench-gui-" + std::to_string(::getpid()));
    const fs::path config = root / "config";
    fs::create_directories(config);

    double switchSeconds = 1e9;
    {
        const fs::path data = makeDataFolder(root, "switch", 10000, 2, 10000);
        Database db = Schema::openDataFile((data / Schema::kFileName).string());
        AppSettings settings(std::make_unique<QSettings>(
            QString::fromStdString((config / "s.ini").string()), QSettings::IniFormat));
        DesktopLauncher launcher;
        DialogAsker asker;
        MainWindow window(db, data.string(), settings, launcher, asker);
        window.show();
        QCoreApplication::processEvents();
        // Best of a few switches back and forth.
        for (int i = 0; i < 4; ++i) {
            const auto start = Clock::now();
            window.selectPosition(i % 2 == 0 ? 2 : 1);
            QCoreApplication::processEvents();
            switchSeconds = std::min(switchSeconds, secondsSince(start));
        }
    }

    const fs::path big = makeDataFolder(root, "startup", 100000, 10, 10000);
    startupSeconds(big, config);  // the first start warms the file cache
    const double startup = startupSeconds(big, config);
    fs::remove_all(root);

    std::printf("switch_position_10000_h10000_s: %.3f\n", switchSeconds);
    std::printf("startup_10x10000_h100000_s: %.3f\n", startup);
    std::printf("trend_window_h1000000_s: %.3f\n", trendWindowSeconds());
    const double findsMb = searchFindsMb(1000000);
    std::printf("search_window_finds_1000000_rss_mb: %.1f\n", findsMb);
    return startup < 0 || findsMb < 0 ? 1 : 0;
}
