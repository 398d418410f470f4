#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace varnet {

class Database;

// "history update" and "formula update" (the online updates).
bool isUpdateCommand(const std::vector<std::string>& args);
// `args` starts with "history" or "formula"; `db` opens the data file on
// first use.
int updateCommand(const std::vector<std::string>& args, const std::function<Database&()>& db,
                  const std::string& dataDir, std::ostream& out, std::ostream& err);

}  // namespace varnet
