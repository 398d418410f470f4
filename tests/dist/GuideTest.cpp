// The user guide against the program: what it quotes as the program's own
// caption is spelt as the program spells it, every window the program can
// open has its section, and every picture it shows is there.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const fs::path kSource = VARNET_SOURCE_DIR;
const fs::path kGuide = kSource / "docs" / "使用说明.html";

// Qt draws these buttons itself; the program's sources never spell them.
const std::set<std::string> kQtButtons = {"确定", "取消", "是", "否"};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string unescapeHtml(std::string s) {
    const std::pair<const char*, const char*> entities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&nbsp;", " "}, {"&amp;", "&"}};
    for (const auto& [from, to] : entities)
        for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + 1))
            s.replace(at, std::strlen(from), to);
    return s;
}

std::vector<std::string> matches(const std::string& text, const std::regex& re) {
    std::vector<std::string> out;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator();
         ++it)
        out.push_back((*it)[1].str());
    return out;
}

struct Sources {
    std::string all;                 // every file under src/, one after the other
    std::set<std::string> captions;  // every window's caption
};

Sources readSources() {
    Sources out;
    // setWindowTitle(QStringLiteral("...")) and the caption constants (kTitle).
    const std::regex title(R"re(setWindowTitle\(QStringLiteral\("([^"]+)"\)\))re");
    const std::regex constant(R"re(\bkTitle\s*=\s*QStringLiteral\("([^"]+)"\))re");
    for (const auto& entry : fs::recursive_directory_iterator(kSource / "src")) {
        if (!entry.is_regular_file()) continue;
        const std::string text = readFile(entry.path());
        out.all += text;
        for (const auto* re : {&title, &constant})
            for (const auto& caption : matches(text, *re)) out.captions.insert(caption);
    }
    return out;
}

TEST(Guide, QuotesTheProgramsCaptionsAndShowsEveryWindow) {
    const std::string guide = readFile(kGuide);
    ASSERT_FALSE(guide.empty()) << kGuide;
    const Sources sources = readSources();
    ASSERT_GE(sources.captions.size(), 10u) << "no window captions found in src/";

    for (const auto& quoted : matches(guide, std::regex("「([^」]*)」"))) {
        const std::string caption = unescapeHtml(quoted);
        if (kQtButtons.count(caption)) continue;
        EXPECT_NE(sources.all.find(caption), std::string::npos)
            << "the guide quotes 「" << caption << "」, which no source under src/ spells";
    }

    std::vector<std::string> headings;
    for (const auto& h : matches(guide, std::regex(R"(<h[23][^>]*>([\s\S]*?)</h[23]>)")))
        headings.push_back(unescapeHtml(h));
    for (const auto& caption : sources.captions) {
        bool found = false;
        for (const auto& h : headings) found = found || h.find(caption) != std::string::npos;
        EXPECT_TRUE(found) << "no section of the guide is headed with the window caption \""
                           << caption << "\"";
    }
}

TEST(Guide, EveryPictureIsThere) {
    const std::string guide = readFile(kGuide);
    ASSERT_FALSE(guide.empty()) << kGuide;
    const auto pictures = matches(guide, std::regex(R"re(<img[^>]*\ssrc="([^"]+)")re"));
    EXPECT_FALSE(pictures.empty()) << "the guide shows no picture";
    for (const auto& src : pictures) {
        EXPECT_EQ(src.find("://"), std::string::npos) << src << " is not beside the guide";
        EXPECT_TRUE(fs::is_regular_file(kGuide.parent_path() / src)) << src << " is missing";
    }
}

}  // namespace
