#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QTemporaryDir>
#include <map>

#include "app/AppIdentity.h"
#include "app/BuildInfo.h"
#include "app/MainWindow.h"
#include "app/ProgramFiles.h"

namespace varnet::test {
namespace {

// The keys of the [Desktop Entry] group of a desktop file.
std::map<QString, std::string> desktopEntry(const QString& path) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    std::map<QString, std::string> keys;
    bool inEntry = false;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith('[')) inEntry = line == "[Desktop Entry]";
        const qsizetype eq = line.indexOf('=');
        if (inEntry && eq > 0) keys[line.left(eq)] = line.mid(eq + 1).toStdString();
    }
    return keys;
}

// A desktop shows the window under its menu entry only when the window's
// class (X11) or app id (Wayland) names that entry.
TEST(Desktop, EntryNamesTheProgramAndItsWindow) {
    presentApplication();
    const QString id = QString::fromUtf8(build::kAppId);
    auto entry = desktopEntry(QStringLiteral(VARNET_BIN_DIR "/") + id + ".desktop");
    EXPECT_EQ(entry["Exec"], "varnet");
    EXPECT_EQ(entry["StartupWMClass"], QCoreApplication::applicationName().toStdString());
    EXPECT_EQ(QGuiApplication::desktopFileName(), id);
    EXPECT_EQ(entry["Icon"], id.toStdString());
    EXPECT_EQ(entry["Categories"], "Office;");
}

TEST(Desktop, WindowIconIsTheInstalledDrawingInEverySize) {
    presentApplication();
    const QIcon icon = QGuiApplication::windowIcon();
    ASSERT_FALSE(icon.isNull()) << "icon resource not linked into the program";
    const QStringList pngs = QDir(VARNET_BIN_DIR "/icon").entryList({"*.png"});
    ASSERT_EQ(pngs.size(), 7);
    for (const QString& png : pngs) {
        const QImage installed(VARNET_BIN_DIR "/icon/" + png);
        ASSERT_FALSE(installed.isNull()) << png.toStdString();
        const QSize size = installed.size();
        EXPECT_EQ(png, QString("%1.png").arg(size.width()));
        EXPECT_TRUE(icon.availableSizes().contains(size)) << png.toStdString();
        EXPECT_EQ(icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied),
                  installed.convertToFormat(QImage::Format_ARGB32_Premultiplied))
            << png.toStdString();
    }
}

TEST(Desktop, GuideIsFoundBesideTheProgramOrInItsShareFolder) {
    QTemporaryDir dir;
    const QString bin = dir.path() + "/usr/bin";
    const QString share = dir.path() + "/usr/share/varnet";
    ASSERT_TRUE(QDir().mkpath(bin) && QDir().mkpath(share));
    const QString name = QString::fromUtf8(MainWindow::kGuideFile);
    auto place = [&](const QString& path) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<html></html>");
    };

    EXPECT_EQ(ProgramFiles::find(bin, name), QString());
    place(share + "/" + name);
    EXPECT_EQ(ProgramFiles::find(bin, name), share + "/" + name);
    place(bin + "/" + name);
    EXPECT_EQ(ProgramFiles::find(bin, name), bin + "/" + name) << "a portable copy comes first";
    EXPECT_EQ(ProgramFiles::find(bin, "other.html"), QString());
}

}  // namespace
}  // namespace varnet::test
