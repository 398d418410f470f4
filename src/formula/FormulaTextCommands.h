#pragma once

#include <functional>
#include <optional>
#include <string>

#include "engine/Scoring.h"
#include "formula/FormulaCommands.h"

class QWidget;

namespace varnet {

class Asker;
class Database;
class Exporter;
class FormulaListModel;
class History;
class Launcher;
class WorkRunner;
struct MainState;

// The formula half's text file commands: reading a formula text file into
// the selected position and kind, and writing the Chinese form of the
// listed formulas or of every formula. The user is told what went wrong.
class FormulaTextCommands {
  public:
    FormulaTextCommands(Database& db, MainState& state, std::string dataFolder, Exporter& exporter,
                        Asker& asker, Launcher& launcher, QWidget* parent);

    // Reads a file the user chooses, on `runner`; the result when it was read.
    std::optional<FormulaCommands::ImportResult> import(WorkRunner& runner);
    // Offers to open the report of the lines that were no formulas.
    void offerReport(const FormulaCommands::ImportResult& result);

    // `showChinese` switches the list to the form the file holds.
    void exportListed(const FormulaListModel& model, const std::function<void()>& showChinese);
    void exportEvery(const History& history, const CountRule& rule,
                     const std::function<void()>& showChinese);

  private:
    // The file's name, from the entry issue box; empty when that text
    // cannot be part of a file name (the user has been told).
    std::string fileName();

    Database& db_;
    MainState& state_;
    std::string dataFolder_;
    Exporter& exporter_;
    Asker& asker_;
    Launcher& launcher_;
    QWidget* parent_;
};

}  // namespace varnet
