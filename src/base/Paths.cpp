#include "base/Paths.h"

#include <filesystem>
#include <fstream>

namespace varnet {

namespace fs = std::filesystem;

std::string joinPath(const std::string& folder, const std::string& name) {
    return (fs::u8path(folder) / fs::u8path(name)).string();
}

bool writeReplacing(const std::string& path, const std::string& bytes) {
    const fs::path target = fs::u8path(path);
    fs::path temp = target;
    temp += ".part";
    std::error_code ec;
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << bytes;
        out.close();
        if (!out) {
            fs::remove(temp, ec);
            return false;
        }
    }
    fs::rename(temp, target, ec);
    if (!ec) return true;
    // The rename's failure is the answer, whatever the clean-up gives.
    std::error_code ignored;
    fs::remove(temp, ignored);
    return false;
}

std::string ExportNames::formulaText(const std::string& entryIssueText) {
    return entryIssueText + "期北京赛车公式.txt";
}

}  // namespace varnet
