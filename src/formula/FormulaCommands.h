#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/Outcome.h"

namespace varnet {

class Database;
struct FormulaTextPlan;

// Formula entry, text import, deletion and clearing. Each command that
// changes data runs in one transaction: it completes or leaves every table
// as it was. Messages are for the user, in Chinese.
class FormulaCommands {
  public:
    // The folder of the data folder that formula text files are read from.
    static constexpr const char* kTextFolder = "公式文本";
    static constexpr const char* kUnrecognisedFile = "无法识别公式.txt";
    static constexpr const char* kEmptyEntryTitle = "添加公式失败";
    static constexpr const char* kEmptyEntryText = "请在左边文本框输入需要添加的公式";
    static constexpr const char* kUnrecognisedTitle = "无法识别公式";
    static constexpr const char* kEntryUnrecognisedText =
        "公式文本文件中含有无法识别公式，无法添加到软件";
    static constexpr const char* kImportQuestion =
        "公式文本文件中含有无法识别公式，是否查看这些公式？";

    explicit FormulaCommands(Database& db) : db_(db) {}

    struct EntryResult : Outcome {  // message (under title): why not
        std::string title;
        int position = 0;  // the table written: the text's position, else the current one
        bool kill = true;  // the formula's kind (the mode after the entry)
        int idx = 0;
    };
    // Formula entry: `text` is one Chinese-form line (entry bracket rule) or a
    // code form. A suffix-shape text names its kind, a prefix-shape text takes
    // `currentKill`; a code form is stored with its Chinese form written back
    // in suffix shape for the current position and kind. A text whose words
    // are no parameters, or that is no formula, is refused and nothing stored.
    EntryResult add(const std::string& text, int currentPosition, bool currentKill);

    struct ImportResult : Outcome {
        bool cancelled = false;
        int appended = 0;              // formulas written
        int unrecognised = 0;          // lines that failed the character test
        std::string unrecognisedPath;  // "无法识别公式.txt" in the data folder
        bool kill = true;              // the mode the last suffix-shape line left
        std::vector<int> positions;    // tables written, in order of first use
    };
    // Reads the whole file (UTF-8 or GBK) before anything is written, then
    // writes every table change in one transaction. The unrecognised lines go
    // to "无法识别公式.txt" in `dataFolder` (GBK, CR LF), written anew each time.
    // `progress(done, total)` may return false to cancel (nothing is changed).
    ImportResult importFile(const std::string& path, const std::string& dataFolder,
                            int currentPosition, bool currentKill,
                            const std::function<bool(long long, long long)>& progress = {});

    struct Result : Outcome {
        int rows = 0;
    };
    // Deletes the formulas with these `idx` values from a position's table,
    // renumbers the rest in stored order and compacts the file.
    Result deleteFormulas(int position, const std::vector<int>& idxs);
    // Empties the ten formula tables in one transaction.
    Result clearAll();

    // The online update's import: in one transaction every formula table is
    // emptied and then holds the plan's lines aimed at it, in file order and
    // numbered so, duplicates kept. `rows` is the number of formulas stored.
    Result replaceAllWith(const FormulaTextPlan& plan);

  private:
    Database& db_;
};

// What a formula text holds, taken line by line as the import reads it.
struct FormulaTextPlan {
    struct Line {
        int position = 1;
        bool kill = true;
        std::string code, chinese;
    };
    // Runs of lines aimed at one table; a table is rebuilt (duplicates dropped)
    // each time a run starts on it.
    struct Run {
        int position = 1;
        bool rebuild = true;  // false for a first run on the current table
        std::vector<Line> lines;
    };
    std::vector<Run> runs;
    std::vector<std::string> unrecognised;  // translated expressions
    bool kill = true;                       // the mode after the last line
};

// `text` is UTF-8; `currentPosition` is the first target and stays the target
// of lines whose position word is none of the ten.
FormulaTextPlan planFormulaText(const std::string& text, int currentPosition, bool currentKill,
                                const std::function<bool(long long, long long)>& progress = {});

}  // namespace varnet
