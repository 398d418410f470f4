#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace varnet {

class Database;
struct Args;

// varnet-cli calc: the next-draw calculation with every formula selected.
int calcCommand(const Args& a, Database& db, std::ostream& out, std::ostream& err);
// varnet-cli steps: the calculation steps of one formula over every draw.
int stepsCommand(const Args& a, Database& db, std::ostream& out, std::ostream& err);

}  // namespace varnet
