#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/Draw.h"
#include "base/History.h"
#include "base/Outcome.h"
#include "base/Progress.h"
#include "history/HistoryText.h"

namespace varnet {

class Database;

// The commands that change or write the draw history. Each command that
// changes data runs in one transaction: it completes or leaves the data as
// it was. Messages are for the user, in Chinese.
class HistoryCommands {
  public:
    explicit HistoryCommands(Database& db) : db_(db) {}

    struct Result : Outcome {
        int rows = 0;  // rows stored or deleted
    };

    // Manual entry: stores a draw. The numbers must be 1..10 each once and the
    // issue a new positive number; the previous draw is the stored draw with
    // the greatest issue (none for an empty history). Both are read from the
    // file inside the transaction, so another writer cannot slip in between.
    // `stored`, when given, receives the parameters written with the draw.
    Result addDraw(const Draw& draw, ParamValues* stored = nullptr);

    struct ImportResult : Result {
        HistoryText::Carry carry;    // values of the last line read
        HistoryText::Reading lines;  // the lines not taken; `draws` left empty
        bool refused = false;        // too few lines could be read
        bool cancelled = false;
    };
    // Reads the whole file, then replaces the stored history with its draws
    // in issue order in one transaction, each issue once. A file that cannot
    // be read, or of which fewer than half of the lines could be read,
    // changes nothing. `carry` is the date known before it.
    ImportResult importFile(const std::string& path, const HistoryText::Carry& carry,
                            const ProgressCallback& progress = {});
    // The import's report: draws read, and the lines not taken by kind and
    // line number, at most `named` numbers a kind. Empty for a clean file.
    static std::string importReport(const ImportResult& result, const std::string& path,
                                    std::size_t named);

    // Writes the history text file (GBK, CR LF), creating its folder. The file
    // is written beside and renamed over, so an old file is never half
    // overwritten.
    static Result exportFile(const History& history, const std::string& path);

    Result deleteLast();
    Result deleteAll();
    // Deletes every draw whose issue is greater than `issue`, then compacts.
    // The issue kept must be stored: one that is not (a typo) deletes nothing.
    Result deleteDownTo(std::int32_t issue);
    // Deletes the n draws with the greatest issues, then compacts.
    Result deleteLastN(int n);

    // What a deletion would take, for the question before it: `rows` draws,
    // issues `first` to `last`. Not ok, with the message, where the deletion
    // itself would refuse.
    struct Span : Result {
        std::int32_t first = 0;
        std::int32_t last = 0;
    };
    Span spanDownTo(std::int32_t issue);
    Span spanLastN(int n);
    Span spanAll();

  private:
    Database& db_;
};

}  // namespace varnet
