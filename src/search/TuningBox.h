#pragma once

#include <QGroupBox>

class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;

namespace varnet {

// "公式参数智能设置": the two tunings, the number of samples each takes, and
// the progress and cancel of one under way.
class TuningBox : public QGroupBox {
    Q_OBJECT
  public:
    explicit TuningBox(QWidget* parent);

    QPushButton* currentButton() const { return current_; }
    QPushButton* allButton() const { return all_; }
    QPushButton* cancelButton() const { return cancel_; }
    int samples() const;

    // The progress bar and cancel button while a tuning runs; a `steps` of 0
    // shows a busy bar.
    void showProgress(int steps);
    void setProgress(int done);
    void hideProgress();

    // The end of an all-positions tuning that stored the first `done`
    // positions of the kind.
    static QString allTunedText(int done, bool kill);

  private:
    QPushButton* current_ = nullptr;
    QPushButton* all_ = nullptr;
    QSlider* samples_ = nullptr;
    QLineEdit* sampleBox_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace varnet
