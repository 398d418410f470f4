#pragma once

#include <string>

namespace varnet {

// What every command that can fail reports: whether it did what was asked,
// and for the user, in Chinese, why not (or a note when it did). Commands
// return a struct derived from it with their own figures; a database error
// (DbError) is thrown below the command and caught by it into this form.
struct Outcome {
    bool ok = false;
    std::string message;
};

}  // namespace varnet
