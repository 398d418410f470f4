#pragma once

#include <QWidget>
#include <array>

#include "base/Draw.h"

class QLineEdit;

namespace varnet {

class EntryBox;

// Manual entry of a draw: ten one-number boxes and the issue box. A digit
// moves on to the next box (0 stands for 10); a digit in the tenth box asks
// for the draw to be stored. Giving box 1 the focus empties all ten.
class DrawEntry : public QWidget {
    Q_OBJECT
  public:
    explicit DrawEntry(QWidget* parent = nullptr);

    QString issueText() const;
    void setIssueText(const QString& text);
    QLineEdit* issueBox() const;
    QLineEdit* box(int position) const;  // 1..10

    // The numeric values of the ten boxes (0 for text that is not a number).
    Numbers numbers() const;
    void clearBoxes();
    // Focus on box 1, which empties the boxes.
    void focusFirstBox();

  signals:
    // A digit completed the tenth box.
    void drawComplete();
    // Some other key went into the tenth box.
    void lastBoxEdited();
    void issueTextChanged(const QString& text);

  private:
    bool handleKey(int position, const QString& text);

    std::array<EntryBox*, kPositions> boxes_{};
    QLineEdit* issueBox_ = nullptr;
};

}  // namespace varnet
