#pragma once

#include <string>

#include "db/Database.h"

namespace varnet {

// Where formula.mdb, the folders "历史号码" and "公式文本" and every exported
// file live: --data-dir DIR if given; else $VARNET_HOME; else the program's
// own folder when a formula.mdb stands beside it (a portable install); else
// $XDG_DATA_HOME/Varnet (~/.local/share/Varnet).
class DataFolder {
  public:
    static std::string resolve(const std::string& dataDirArg, const std::string& executableDir);
    // Creates the folder and its two subfolders when missing. Returns false
    // with a message when that is not possible.
    static bool prepare(const std::string& folder, std::string* error);
    struct Opened {
        Database db;
        bool readOnly = false;
        std::string note;  // for the user when read-only
    };
    // Prepares the folder and opens its formula.mdb. A folder that cannot be
    // written but already holds the file opens read-only, with a note: the
    // history and formulas can be looked at, and every change fails with a
    // message. Throws DbError with a message when there is nothing to open.
    static Opened open(const std::string& folder);
};

}  // namespace varnet
