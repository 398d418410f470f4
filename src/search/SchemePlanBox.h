#pragma once

#include <QGroupBox>
#include <array>
#include <optional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace varnet {

class Asker;
class SearchSettings;

// "公式自动搜索方案设置": the planned count per position beside the count
// stored, whether the plan adds or holds, the automatic save at the end, the
// total the plan leads to, and the scheme's commands.
class SchemePlanBox : public QGroupBox {
    Q_OBJECT
  public:
    explicit SchemePlanBox(QWidget* parent);

    QPushButton* loadButton() const { return load_; }
    QPushButton* saveButton() const { return save_; }
    QPushButton* startButton() const { return start_; }
    QPushButton* pauseButton() const { return pause_; }
    QPushButton* continueButton() const { return continue_; }

    // The formulas stored per position.
    void setExisting(const std::array<int, 10>& counts);
    const std::array<int, 10>& existing() const { return existing_; }
    // The total stored, in place of the plan's.
    void showExistingTotal();

    // The planned counts (nothing: position skipped); false, with a
    // message under `title`, when a box holds text that is not a whole number.
    bool read(std::array<std::optional<int>, 10>& plan, Asker& asker, QWidget* parent,
              const QString& title);
    void load(SearchSettings& stored, bool kill);
    void save(SearchSettings& stored, bool kill, const std::array<std::optional<int>, 10>& plan);

    bool hold() const;
    bool autoAppend() const;
    bool autoReplace() const;

    // The scheme works on `p`: those before it are done.
    void markPosition(int p);
    void markAllDone();
    void clearMarks();

  private:
    void chooseMode(bool hold);
    void chooseAutoSave(QCheckBox* clicked);
    void recomputeTotal();

    std::array<QLabel*, 10> labels_{};
    std::array<QLineEdit*, 10> boxes_{};
    std::array<QLabel*, 10> existingLabels_{};
    std::array<int, 10> existing_{};
    QRadioButton* addMode_ = nullptr;
    QRadioButton* holdMode_ = nullptr;
    QCheckBox* autoReplace_ = nullptr;
    QCheckBox* autoAppend_ = nullptr;
    QLabel* total_ = nullptr;
    QPushButton* load_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* pause_ = nullptr;
    QPushButton* continue_ = nullptr;
};

}  // namespace varnet
