#pragma once

#include <QString>
#include <functional>
#include <string>

#include "base/Workbook.h"

class QAbstractItemModel;
class QWidget;

namespace varnet {

// A grid's cell as a workbook has it: row 0 is the header row, then every
// cell's text; a blue (0, 0, 255) or green (0, 255, 0) background becomes
// the cell's interior.
WorkbookCell modelCell(const QAbstractItemModel& model, int row, int column);

// Writes a grid as a workbook, cell by cell as above. The model may be read
// on a worker, so it must not change meanwhile.
WorkbookResult writeModelWorkbook(const std::string& path, const QAbstractItemModel& model,
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

    // A grid with its header row.
    bool exportGrid(QWidget* from, const QString& title, const QAbstractItemModel& grid,
                    const std::string& file);
};

}  // namespace varnet
