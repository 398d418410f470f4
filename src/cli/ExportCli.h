#pragma once

#include <ostream>
#include <string>

namespace varnet {

class Database;
struct Args;

// varnet-cli replay: the history query grid of a position's formulas.
int replayCommand(const Args& a, Database& db, std::ostream& out, std::ostream& err);
// varnet-cli export formulas|history.
int exportCommand(const std::string& what, const Args& a, Database& db, const std::string& dataDir,
                  std::ostream& out, std::ostream& err);

}  // namespace varnet
