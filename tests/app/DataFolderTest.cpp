#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "app/DataFolder.h"
#include "support/SettingsFolder.h"
#include "support/TempDir.h"

namespace varnet {
namespace {

using test::ScopedEnv;
using test::TempDir;

TEST(DataFolder, ChoosesTheFolderInOrder) {
    TempDir exe, home;
    ScopedEnv varnetHome("VARNET_HOME", nullptr);
    ScopedEnv xdg("XDG_DATA_HOME", home.path().c_str());

    EXPECT_EQ(DataFolder::resolve("", exe.path()), home.path() + "/Varnet");
    test::writeFile(exe.file("formula.mdb"), "");
    EXPECT_EQ(DataFolder::resolve("", exe.path()), exe.path()) << "portable install";
    {
        ScopedEnv set("VARNET_HOME", "/somewhere/else");
        EXPECT_EQ(DataFolder::resolve("", exe.path()), "/somewhere/else");
        EXPECT_EQ(DataFolder::resolve("/given", exe.path()), "/given");
    }
}

TEST(DataFolder, PrepareCreatesTheSubfoldersOrSaysWhyNot) {
    TempDir dir;
    std::string why;
    ASSERT_TRUE(DataFolder::prepare(dir.file("a/b"), &why)) << why;
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::u8path(dir.file("a/b/历史号码"))));
    EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::u8path(dir.file("a/b/公式文本"))));
    test::writeFile(dir.file("file"), "x");
    EXPECT_FALSE(DataFolder::prepare(dir.file("file/sub"), &why));
    EXPECT_FALSE(why.empty());
}

}  // namespace
}  // namespace varnet
