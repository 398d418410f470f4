#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace varnet {

class Database;

// The formula commands of varnet-cli: translate, score, add, import, verify,
// delete, clear. `db` opens the data file on first use.
int formulaCommand(const std::vector<std::string>& raw, const std::function<Database&()>& db,
                   const std::string& dataDir, std::ostream& out, std::ostream& err);

}  // namespace varnet
