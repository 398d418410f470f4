#pragma once

#include <ostream>
#include <string>

namespace varnet {

class Database;
struct Args;

// varnet-cli report: writes the check report (HTML) and prints its path.
int reportCommand(const Args& a, Database& db, const std::string& dataDir, std::ostream& out,
                  std::ostream& err);

}  // namespace varnet
