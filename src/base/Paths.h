#pragma once

#include <string>

namespace varnet {

// `folder`/`name` in the file system's own form (UTF-8 names).
std::string joinPath(const std::string& folder, const std::string& name);

// Writes a whole file beside `path` and renames it over, so an old file is
// never left half overwritten and a failed write leaves nothing.
bool writeReplacing(const std::string& path, const std::string& bytes);

// The exported files, in the data folder.
struct ExportNames {
    static constexpr const char* kHistory = "lishi.xlsx";
    static constexpr const char* kFormulas = "gongshi.xlsx";
    static constexpr const char* kSteps = "LSJS.xlsx";
    static constexpr const char* kQuery = "Print.xlsx";
    static constexpr const char* kQueryGrid = "Jieguo.xlsx";
    static constexpr const char* kResult = "ErrarrLei.xlsx";
    // "545551期北京赛车公式.txt" for the entry issue text 545551.
    static std::string formulaText(const std::string& entryIssueText);
};

}  // namespace varnet
