#pragma once

#include <ostream>

namespace varnet {

class Database;
struct Args;

// varnet-cli trend: a parameter's omissions per draw and its figures per value.
int trendCommand(const Args& a, Database& db, std::ostream& out, std::ostream& err);

}  // namespace varnet
