#pragma once

#include <QObject>
#include <cstddef>
#include <vector>

#include "search/SchemeSearch.h"

class QPushButton;
class QVBoxLayout;
class QWidget;

namespace varnet {

class Asker;
class Exporter;
class FindsModel;
class FindsView;
class FoundList;

// The search's result list and its commands ("公式追加到数据库", "公式更新到数据库",
// "公式中文导出"), and the batch: the finds since the last save or scheme
// start, the list's rows from one on. It builds them into `column`.
class ResultList : public QObject {
    Q_OBJECT
  public:
    ResultList(QWidget* window, QVBoxLayout* column);

    FindsModel* model() const { return model_; }
    QPushButton* appendButton() const { return append_; }
    QPushButton* replaceButton() const { return replace_; }
    QPushButton* exportButton() const { return export_; }

    void append(const FoundList& finds);
    std::vector<SearchResult> batch() const;
    std::size_t batchSize() const;
    // The positions the batch holds finds of, in the order first found.
    std::vector<int> batchPositions() const;
    // A new batch starts after the rows listed; answers where the old one began.
    std::size_t startBatch();
    // A batch that did not leave (its save failed) is the current one again.
    void takeBack(std::size_t start);

    // Writes every row's Chinese form to the formula text of `issue`.
    void exportText(const QString& issue, Exporter& exporter, Asker& asker, QWidget* parent);

  private:
    FindsModel* model_;
    FindsView* view_;
    QPushButton* append_;
    QPushButton* replace_;
    QPushButton* export_;
    std::size_t batchStart_ = 0;
};

}  // namespace varnet
