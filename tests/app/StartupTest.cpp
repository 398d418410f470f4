#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include "db/Database.h"

namespace {

// Runs the desktop program with an environment of its own.
int runProgram(const QStringList& args, const QString& home, QString* err = nullptr) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", home + "/config");
    env.remove("VARNET_HOME");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(VARNET_BIN_DIR "/varnet"), args);
    if (!p.waitForFinished(30000)) return -1;
    if (err) *err = QString::fromUtf8(p.readAllStandardError());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

TEST(Startup, ScreenshotOfAFreshDataFolder) {
    QTemporaryDir dir;
    const QString shot = dir.path() + "/shot.png";
    ASSERT_EQ(runProgram({"--data-dir", dir.path() + "/data", "--screenshot", shot}, dir.path()),
              0);
    const QImage image(shot);
    EXPECT_GT(image.width(), 400);
    EXPECT_GT(image.height(), 300);
    EXPECT_TRUE(QFile::exists(dir.path() + "/data/formula.mdb"));
    EXPECT_TRUE(QFile::exists(dir.path() + "/data/历史号码"));
}

TEST(Startup, RefusesAFileThatIsNotItsDatabase) {
    QTemporaryDir dir;
    const QString data = dir.path() + "/data";
    ASSERT_TRUE(QDir().mkpath(data));
    // An Access file, and another program's SQLite file.
    const QString sqlite = dir.path() + "/other.db";
    {
        varnet::Database other(sqlite.toStdString());
        other.exec("CREATE TABLE Lishi (strQQH INTEGER, note TEXT)");
    }
    QFile otherFile(sqlite);
    ASSERT_TRUE(otherFile.open(QIODevice::ReadOnly));
    for (const QByteArray& foreign :
         {QByteArray("\0\1\0\0Standard Jet DB", 19), otherFile.readAll()}) {
        {
            QFile f(data + "/formula.mdb");
            ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(foreign);
        }
        QString err;
        EXPECT_NE(runProgram({"--data-dir", data, "--screenshot", dir.path() + "/s.png"},
                             dir.path(), &err),
                  0);
        EXPECT_TRUE(err.contains("formula.mdb")) << err.toStdString();
        EXPECT_FALSE(QFile::exists(dir.path() + "/s.png"));
        QFile f(data + "/formula.mdb");
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), foreign) << "the file is left as it was";
    }
}

}  // namespace
