#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace varnet {

class Database;

// varnet-cli search: the single search (with its result limit and saving),
// `search scheme` and `search tune`.
int searchCommand(const std::vector<std::string>& raw, Database& db, std::ostream& out,
                  std::ostream& err);

}  // namespace varnet
