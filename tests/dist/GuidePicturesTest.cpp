#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

namespace {

// The guide refers to these pictures by name; each is a window drawn at a
// fixed size. One that is missing, resized or blank (a window that failed
// to draw) breaks the guide.
TEST(GuidePictures, EveryWindowIsDrawnAtItsSize) {
    struct Picture {
        const char* name;
        int width;
        int height;
    };
    const Picture pictures[] = {
        {"main", 1100, 720},      {"filter", 520, 360},        {"sort", 520, 420},
        {"result", 900, 620},     {"details", 900, 560},       {"steps", 900, 560},
        {"parameters", 900, 600}, {"query", 1000, 600},        {"search", 1240, 720},
        {"backtest", 1000, 680},  {"backtest-all", 1000, 680}, {"votechart", 800, 520},
        {"ratechart", 900, 560},  {"numberchart", 800, 520},   {"trend", 1000, 620},
        {"report", 1000, 1250},  // drawn by chromium, which the install script brings
    };
    QTemporaryDir out;
    ASSERT_TRUE(out.isValid());
    QProcess run;
    run.setProcessChannelMode(QProcess::ForwardedChannels);
    run.start(QStringLiteral(VARNET_BIN_DIR "/varnet-guide-pictures"), {out.path()});
    ASSERT_TRUE(run.waitForFinished(120000));
    EXPECT_EQ(run.exitCode(), 0);
    for (const Picture& p : pictures) {
        SCOPED_TRACE(p.name);
        const QImage image(out.filePath(QString::fromUtf8(p.name) + ".png"));
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(p.width, p.height));
        QSet<QRgb> colours;
        for (int y = 0; y < image.height() && colours.size() < 16; y += 7)
            for (int x = 0; x < image.width(); x += 7) colours.insert(image.pixel(x, y));
        EXPECT_GE(colours.size(), 16);
    }
}

}  // namespace
