#pragma once

#include <string>
#include <vector>

#include "base/Outcome.h"
#include "base/SettingKeys.h"
#include "net/Fetcher.h"

namespace varnet {

class Database;

// The online formula update: downloads the published formula file, keeps it
// as "ZO10DI.txt" in the data folder and replaces every formula with its
// lines. The file is accepted only when it is larger than 1024 bytes and
// holds at least one usable formula, so an error page never empties the
// formula tables.
class FormulaUpdate {
  public:
    static constexpr const char* kTitle = "读入历史";
    static constexpr const char* kQuestion =
        "确实要在线更新公式吗？因为北京赛车开奖频繁，该公式可能并不是当前最新的，因此自己搜索会更有"
        "时效性（软件已经设置了默认搜索的参数，也可以手动变更）。同意更新将删除软件中现有的所有公式"
        "，"
        "并可能要花费一段时间，网络不通或者我方服务器更新不及时可能都造成更新失败！";
    static constexpr const char* kUrlKey = settings::kFormulaFileUrl.name;
    static constexpr const char* kLocalCopy = "ZO10DI.txt";
    static constexpr long long kMinimumBytes = 1025;
    static constexpr long long kMaximumBytes = 64LL * 1024 * 1024;

    struct Result : Outcome {
        bool cancelled = false;
        long long bytes = 0;         // size of the download
        int formulas = 0;            // formulas stored
        int skipped = 0;             // lines that failed the character test
        bool kill = true;            // the mode the last suffix-shape line left
        std::vector<int> positions;  // tables that received formulas
        struct Stored {
            int position = 0, kill = 0, keep = 0;
        };
        std::vector<Stored> stored;  // per table that received formulas, in position order
        std::string localCopy;       // path of ZO10DI.txt
    };

    FormulaUpdate(Database& db, Fetcher& fetcher) : db_(db), fetcher_(fetcher) {}

    // `currentPosition` takes lines whose position word is none of the ten.
    Result run(const std::string& url, const std::string& dataFolder, int currentPosition,
               bool currentKill, Fetcher::Limits limits = {});

  private:
    Database& db_;
    Fetcher& fetcher_;
};

}  // namespace varnet
