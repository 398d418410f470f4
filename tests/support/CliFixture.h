#pragma once

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/Process.h"
#include "support/TempDir.h"

namespace varnet::test {

// varnet-cli on a data folder of its own, started in a scratch folder.
class CliFixture : public ::testing::Test {
  protected:
    std::vector<std::string> cliArgs(std::vector<std::string> args) const {
        args.insert(args.begin(),
                    {std::string(VARNET_BIN_DIR) + "/varnet-cli", "--data-dir", data.path()});
        return args;
    }
    ProcessResult cli(const std::vector<std::string>& args) const {
        return run(cliArgs(args), scratch.path());
    }

    static std::vector<std::string> lines(const std::string& text) {
        std::vector<std::string> out;
        std::istringstream in(text);
        for (std::string l; std::getline(in, l);) out.push_back(l);
        return out;
    }

    TempDir data, scratch;
};

}  // namespace varnet::test
