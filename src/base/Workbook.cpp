#include "base/Workbook.h"

#include <xlsxwriter.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>

namespace varnet {

namespace fs = std::filesystem;

namespace {

// A plain decimal number, as typed into a cell: optional sign, digits, at
// most one point. Leading zeros ("07") stay text, so nothing is lost.
bool plainNumber(const std::string& s, double* value) {
    if (s.empty() || s.size() > 15) return false;
    std::size_t i = s[0] == '-' ? 1 : 0;
    if (i == s.size()) return false;
    if (s[i] == '0' && i + 1 < s.size() && s[i + 1] != '.') return false;
    bool point = false, digit = false;
    for (; i < s.size(); ++i) {
        if (s[i] >= '0' && s[i] <= '9')
            digit = true;
        else if (s[i] == '.' && !point)
            point = true;
        else
            return false;
    }
    if (!digit || s.back() == '.') return false;
    *value = std::strtod(s.c_str(), nullptr);
    return true;
}

}  // namespace

WorkbookResult writeWorkbook(const std::string& path, int rows, int columns,
                             const std::function<WorkbookCell(int row, int column)>& cell,
                             const std::function<bool(int)>& progress) {
    WorkbookResult result;
    auto fail = [&](const std::string& why) {
        result.message = "无法写入工作簿 " + path + "：" + why;
        return result;
    };
    if (rows > 1048576 || columns > 16384) return fail("表格超出工作簿的行数或列数上限");
    const fs::path target = fs::u8path(path);
    fs::path temp = target;
    temp += ".part";
    std::error_code ec;
    fs::create_directories(target.parent_path(), ec);

    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    const std::string tmpdir = fs::temp_directory_path(ec).string();
    options.tmpdir = const_cast<char*>(tmpdir.c_str());
    lxw_workbook* book = workbook_new_opt(temp.string().c_str(), &options);
    if (!book) return fail("无法创建文件");
    lxw_worksheet* sheet = workbook_add_worksheet(book, "Sheet1");
    std::map<std::uint32_t, lxw_format*> fills;
    auto formatFor = [&](std::uint32_t colour) -> lxw_format* {
        if (colour == WorkbookCell::kNoFill) return nullptr;
        auto& f = fills[colour];
        if (!f) {
            f = workbook_add_format(book);
            format_set_pattern(f, LXW_PATTERN_SOLID);
            format_set_bg_color(f, colour);
        }
        return f;
    };
    bool stopped = false;
    for (int r = 0; r < rows && !stopped; ++r) {
        for (int c = 0; c < columns; ++c) {
            const WorkbookCell v = cell(r, c);
            lxw_format* f = formatFor(v.fill);
            double number = 0;
            if (v.text.empty()) {
                if (f) worksheet_write_blank(sheet, r, c, f);
            } else if (plainNumber(v.text, &number)) {
                worksheet_write_number(sheet, r, c, number, f);
            } else {
                worksheet_write_string(sheet, r, c, v.text.c_str(), f);
            }
        }
        if (progress && r % 1024 == 0 && !progress(r)) stopped = true;
    }
    const lxw_error closed = workbook_close(book);
    if (stopped || closed != LXW_NO_ERROR) {
        fs::remove(temp, ec);
        if (stopped) {
            result.message = "已取消导出，" + path + " 没有改变。";
            return result;
        }
        return fail(std::string(lxw_strerror(closed)) +
                    (errno ? std::string("（") + std::strerror(errno) + "）" : ""));
    }
    fs::rename(temp, target, ec);
    if (ec) {
        fs::remove(temp, ec);
        return fail(ec.message());
    }
    result.ok = true;
    return result;
}

}  // namespace varnet
