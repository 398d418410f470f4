#pragma once

#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "base/Workbook.h"

class QAbstractItemModel;
class QWidget;

namespace varnet {

// A grid's cell as a workbook has it: row 0 is the header row, then every
// cell's text; a blue (0, 0, 255) or green (0, 255, 0) background becomes
// the cell's interior.
WorkbookCell modelCell(const QAbstractItemModel& model, int row, int column);

// A grid's cells copied on the window's thread, so that a worker can write
// them while the window repaints or changes the model.
struct GridSnapshot {
    int rows = 0;  // with the header row
    int columns = 0;
    std::vector<WorkbookCell> cells;  // row by row

    static GridSnapshot of(const QAbstractItemModel& model);
    const WorkbookCell& at(int row, int column) const {
        return cells[static_cast<std::size_t>(row) * columns + column];
    }
};

// Writes a grid's copy as a workbook, cell by cell as above.
WorkbookResult writeGridWorkbook(const std::string& path, const GridSnapshot& grid,
                                 const std::function<bool(int)>& progress = {});

// Where the windows' exports go: a file of the data folder, written on a
// worker with progress, then opened with the desktop's program for it.
class Exporter {
  public:
    // Writes the file at `path`; `progress(done)` may return false to stop.
    using Write = std::function<WorkbookResult(const std::string& path,
                                               const std::function<bool(int)>& progress)>;

    virtual ~Exporter() = default;
    // Writes `file` of the data folder (progress out of `total`) and opens
    // it; a failure is shown under `title` and nothing is opened. False when
    // nothing was written (also while other work runs).
    virtual bool exportFile(QWidget* from, const QString& title, const std::string& file,
                            long long total, const Write& write) = 0;
    // True while work runs on the worker: grids being written must stay as they are.
    virtual bool busy() const = 0;

    // A grid with its header row, copied before the worker writes it.
    bool exportGrid(QWidget* from, const QString& title, const QAbstractItemModel& grid,
                    const std::string& file);
};

}  // namespace varnet
