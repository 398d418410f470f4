#pragma once

#include <iosfwd>

namespace varnet {

// varnet-cli: the program's operations without windows. Returns the exit code.
int runCli(int argc, char** argv);
int runCli(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace varnet
