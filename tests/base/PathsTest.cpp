#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/Paths.h"

namespace fs = std::filesystem;

namespace {

std::string contents(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A write either replaces the file or says it failed and leaves what stood
// there, with no part file left behind.
TEST(Paths, WriteReplacingSucceedsOrSaysSo) {
    const fs::path root = fs::temp_directory_path() / "varnet-paths-test";
    fs::remove_all(root);
    fs::create_directories(root / "a folder");
    std::ofstream(root / "old.txt") << "old";

    struct Case {
        fs::path target;
        bool written;
    };
    const Case cases[] = {
        {root / "new.txt", true},
        {root / "old.txt", true},
        {root / "a folder", false},           // a folder stands there
        {root / "missing" / "x.txt", false},  // no such folder
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target.string());
        EXPECT_EQ(varnet::writeReplacing(c.target.string(), "text"), c.written);
        if (c.written) EXPECT_EQ(contents(c.target), "text");
        EXPECT_FALSE(fs::exists(fs::path(c.target) += ".part"));
    }
    EXPECT_TRUE(fs::is_directory(root / "a folder"));
    fs::remove_all(root);
}

}  // namespace
