#include "app/DataFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "base/Paths.h"
#include "db/Schema.h"
#include "formula/FormulaCommands.h"
#include "history/HistoryText.h"

namespace varnet {

namespace fs = std::filesystem;

namespace {
std::string env(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}
}  // namespace

std::string DataFolder::resolve(const std::string& dataDirArg, const std::string& executableDir) {
    if (!dataDirArg.empty()) return dataDirArg;
    if (auto home = env("VARNET_HOME"); !home.empty()) return home;
    std::error_code ec;
    if (!executableDir.empty() && fs::exists(fs::u8path(executableDir) / Schema::kFileName, ec))
        return executableDir;
    if (auto xdg = env("XDG_DATA_HOME"); !xdg.empty()) return (fs::u8path(xdg) / "Varnet").string();
    return (fs::u8path(env("HOME")) / ".local" / "share" / "Varnet").string();
}

bool DataFolder::prepare(const std::string& folder, std::string* error) {
    std::error_code ec;
    for (const char* sub : {"", HistoryText::kFolder, FormulaCommands::kTextFolder}) {
        const fs::path p = *sub ? fs::u8path(folder) / fs::u8path(sub) : fs::u8path(folder);
        fs::create_directories(p, ec);
        if (ec || !fs::is_directory(p)) {
            if (error) *error = "无法创建数据文件夹 " + p.string() + "：" + ec.message();
            return false;
        }
    }
    return true;
}

DataFolder::Opened DataFolder::open(const std::string& folder) {
    std::string why;
    const bool prepared = prepare(folder, &why);
    const std::string file = joinPath(folder, Schema::kFileName);
    std::error_code ec;
    if (!prepared && !fs::is_regular_file(fs::u8path(file), ec)) throw DbError(why);
    Opened opened;
    opened.db = Schema::openDataFile(file);
    opened.readOnly = !prepared || !opened.db.writable();
    if (opened.readOnly)
        opened.note = "数据文件夹 " + folder +
                      " 是只读的：历史号码和公式只能查看，不能修改，所做的修改都不会保存。";
    return opened;
}

}  // namespace varnet
