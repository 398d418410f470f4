#pragma once

#include <unistd.h>

#include <sstream>
#include <string>
#include <vector>

#include "support/Process.h"

namespace varnet::test {

// A page as headless Chromium loaded it: the DOM after loading and the
// console's lines (script errors, failed loads).
struct ChromiumPage {
    int exitCode = -1;
    std::string dom;
    std::vector<std::string> console;
};

inline std::string chromiumBinary() {
    for (const char* p : {"/usr/bin/chromium", "/usr/bin/chromium-browser"})
        if (access(p, X_OK) == 0) return p;
    return {};
}

// Loads a local file in headless Chromium with a profile in `scratchDir`.
inline ChromiumPage loadInChromium(const std::string& file, const std::string& scratchDir) {
    ChromiumPage page;
    const ProcessResult r =
        run({chromiumBinary(), "--headless", "--no-sandbox", "--disable-gpu",
             "--enable-logging=stderr", "--v=0",
             "--user-data-dir=" + scratchDir + "/chromium-profile", "--dump-dom", "file://" + file},
            scratchDir);
    page.exitCode = r.exitCode;
    page.dom = r.out;
    std::istringstream err(r.err);
    for (std::string line; std::getline(err, line);)
        if (line.find(":CONSOLE") != std::string::npos) page.console.push_back(line);
    return page;
}

}  // namespace varnet::test
