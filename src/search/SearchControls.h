#pragma once

#include <QObject>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QVBoxLayout;
class QWidget;

namespace varnet {

struct HoldOutReport;

// The single search's commands and figures: start, pause, the automatic stop
// after a number of finds, the draws held out, the counts of candidates
// verified and found, the hold-out summary and the candidate being looked at.
// It builds them into one column; the window places it.
class SearchControls : public QObject {
    Q_OBJECT
  public:
    explicit SearchControls(QWidget* window);

    QVBoxLayout* layout() const { return layout_; }
    QPushButton* startButton() const { return start_; }
    QPushButton* pauseButton() const { return pause_; }

    // The automatic stop, when chosen.
    std::optional<long long> limit() const;
    void setLimit(long long finds);
    int holdOut() const;
    void focusHoldOut();

    void setVerified(long long count);
    void setQualified(long long count);
    void showCurrent(const QString& chinese);
    // A search holding out `holdOut` draws has started (0: none, hidden).
    void showHoldOutStarted(int holdOut);
    void hideHoldOut();
    // `kill`: the kind the search scored, for the chance baseline.
    void showHoldOut(const HoldOutReport& report, bool kill);
    // The summary shown could not be kept in the data file.
    void noteHoldOutNotStored(const QString& why);

  private:
    QVBoxLayout* layout_;
    QPushButton* start_;
    QPushButton* pause_;
    QCheckBox* limitCheck_;
    QLineEdit* limitBox_;
    QSpinBox* holdOutBox_;
    QLineEdit* verifiedBox_;
    QLineEdit* qualifiedBox_;
    QLabel* holdOutSummary_;
    QLineEdit* currentBox_;
};

}  // namespace varnet
