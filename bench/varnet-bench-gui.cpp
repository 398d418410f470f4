// Speed of the desktop program with long formula lists: start-up of the real
// program to a shown, verified window (10 positions x 10,000 formulas, 100,000
// draws), and switching position on the real main window (offscreen) until
// the verified list of 10,000 formulas over 10,000 draws is shown. Prints
// `key: value` lines.
#include <unistd.h>

#include <QApplication>
#include <QCoreApplication>
#include <QSettings>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "BenchData.h"
#include "app/AppSettings.h"
#include "app/MainWindow.h"
#include "db/Schema.h"
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

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
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
    return startup < 0 ? 1 : 0;
}
