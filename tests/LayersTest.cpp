// The source tree's layers, lowest first. An include may point down this list
// or stay in its own folder, never up and never sideways into a folder of the
// same floor; and no source file grows to the line limit.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Folders on one floor sit side by side and do not include each other.
const std::vector<std::vector<std::string>> kFloors = {
    {"base"}, {"engine"}, {"db", "net"}, {"ui"}, {"history"}, {"formula"}, {"search", "analysis"},
    {"app"},  {"cli"},
};
constexpr int kLineLimit = 700;

int floorOf(const std::string& folder) {
    for (size_t i = 0; i < kFloors.size(); ++i)
        for (const auto& f : kFloors[i])
            if (f == folder) return static_cast<int>(i);
    return -1;
}

struct Finding {
    std::vector<std::string> upward;
    std::vector<std::string> tooLong;
    std::vector<std::string> unknownFolder;
};

Finding inspect(const fs::path& src) {
    Finding out;
    const std::regex include(R"(^\s*#\s*include\s*"([^"/]+)/[^"]+")");
    for (const auto& entry : fs::recursive_directory_iterator(src)) {
        if (!entry.is_regular_file()) continue;
        const auto ext = entry.path().extension().string();
        if (ext != ".h" && ext != ".cpp" && ext != ".in") continue;
        const auto rel = fs::relative(entry.path(), src);
        const std::string folder = rel.begin()->string();
        const int own = floorOf(folder);
        if (own < 0) {
            out.unknownFolder.push_back(rel.string());
            continue;
        }
        std::ifstream in(entry.path());
        std::string line;
        int lines = 0;
        while (std::getline(in, line)) {
            ++lines;
            std::smatch m;
            if (!std::regex_search(line, m, include)) continue;
            const std::string to = m[1].str();
            const int target = floorOf(to);
            if (target < 0) continue;  // generated headers and the like
            if (target > own || (target == own && to != folder))
                out.upward.push_back(rel.string() + ":" + std::to_string(lines) + " -> " + to);
        }
        if (lines >= kLineLimit)
            out.tooLong.push_back(rel.string() + " (" + std::to_string(lines) + ")");
    }
    return out;
}

std::string joined(const std::vector<std::string>& v) {
    std::string s;
    for (const auto& x : v) s += "\n  " + x;
    return s;
}

}  // namespace

TEST(LayersTest, IncludesPointDownAndFilesStaySmall) {
    const Finding f = inspect(fs::path(VARNET_SOURCE_DIR) / "src");
    EXPECT_TRUE(f.upward.empty()) << "includes that point up or sideways:" << joined(f.upward);
    EXPECT_TRUE(f.tooLong.empty())
        << "files of " << kLineLimit << " lines or more:" << joined(f.tooLong);
    EXPECT_TRUE(f.unknownFolder.empty())
        << "files in a folder with no floor:" << joined(f.unknownFolder);
}

// The check itself: a tree with one include pointing up and one long file.
TEST(LayersTest, ReportsAnUpwardIncludeAndALongFile) {
    const fs::path root =
        fs::temp_directory_path() / ("varnet-layers-" + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root / "engine");
    fs::create_directories(root / "search");
    std::ofstream(root / "engine" / "A.cpp")
        << "#include \"engine/A.h\"\n#include \"search/B.h\"\n";
    std::ofstream(root / "search" / "B.h") << "#include \"engine/A.h\"\n";
    {
        std::ofstream big(root / "search" / "C.cpp");
        for (int i = 0; i < kLineLimit; ++i) big << "\n";
    }
    const Finding f = inspect(root);
    fs::remove_all(root);
    ASSERT_EQ(f.upward.size(), 1u);
    EXPECT_EQ(f.upward[0], "engine/A.cpp:2 -> search");
    ASSERT_EQ(f.tooLong.size(), 1u);
    EXPECT_EQ(f.tooLong[0], "search/C.cpp (700)");
}
