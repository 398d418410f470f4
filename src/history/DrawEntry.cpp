#include "history/DrawEntry.h"

#include <QFocusEvent>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <functional>

#include "base/NumericText.h"

namespace varnet {

// A number box that lets its owner see each key before the box inserts it.
class EntryBox : public QLineEdit {
  public:
    using QLineEdit::QLineEdit;
    std::function<bool(const QString&)> beforeKey;  // true: the key is used up
    std::function<void()> afterKey;
    std::function<void()> focused;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        if (beforeKey && beforeKey(event->text())) {
            event->accept();
            return;
        }
        QLineEdit::keyPressEvent(event);
        if (afterKey) afterKey();
    }
    void focusInEvent(QFocusEvent* event) override {
        if (focused) focused();
        QLineEdit::focusInEvent(event);
    }
};

DrawEntry::DrawEntry(QWidget* parent) : QWidget(parent) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(new QLabel(
        QStringLiteral("手工输入已经开出的历史号码记录下一期:（号码10输入0，自动变为10）")));

    auto* row = new QHBoxLayout;
    for (int i = 0; i < kPositions; ++i) {
        auto* b = new EntryBox(this);
        b->setObjectName(QStringLiteral("txtIpt%1").arg(i + 1));
        b->setToolTip(QStringLiteral("号码10输入0，自动变为10"));
        b->setAlignment(Qt::AlignCenter);
        b->setFixedWidth(34);
        const int position = i + 1;
        b->beforeKey = [this, position](const QString& text) { return handleKey(position, text); };
        if (position == kPositions) b->afterKey = [this] { emit lastBoxEdited(); };
        if (position == 1) b->focused = [this] { clearBoxes(); };
        boxes_[i] = b;
        row->addWidget(b);
    }
    row->addSpacing(12);
    row->addWidget(new QLabel(QStringLiteral("期号：")));
    issueBox_ = new QLineEdit(QStringLiteral("2007001"), this);
    issueBox_->setObjectName(QStringLiteral("Text1"));
    issueBox_->setFixedWidth(90);
    connect(issueBox_, &QLineEdit::textChanged, this, &DrawEntry::issueTextChanged);
    row->addWidget(issueBox_);
    row->addStretch(1);
    outer->addLayout(row);
}

QString DrawEntry::issueText() const { return issueBox_->text(); }
void DrawEntry::setIssueText(const QString& text) { issueBox_->setText(text); }
QLineEdit* DrawEntry::issueBox() const { return issueBox_; }

QLineEdit* DrawEntry::box(int position) const {
    return position >= 1 && position <= kPositions ? boxes_[position - 1] : nullptr;
}

Numbers DrawEntry::numbers() const {
    Numbers n{};
    for (int i = 0; i < kPositions; ++i)
        n[i] = toInt32(numericValue(boxes_[i]->text().toStdString())).value_or(0);
    return n;
}

void DrawEntry::clearBoxes() {
    for (auto* b : boxes_) b->clear();
}

void DrawEntry::focusFirstBox() {
    // Focus may already sit in box 1 (or the window may be inactive); the
    // boxes empty either way.
    clearBoxes();
    boxes_[0]->setFocus(Qt::OtherFocusReason);
}

bool DrawEntry::handleKey(int position, const QString& text) {
    if (text.size() != 1 || text[0] < QLatin1Char('0') || text[0] > QLatin1Char('9')) return false;
    const bool zero = text[0] == QLatin1Char('0');
    EntryBox* b = boxes_[position - 1];
    if (position < kPositions) {
        boxes_[position]->setFocus(Qt::TabFocusReason);
        if (!zero) return false;  // the box inserts the digit itself
        b->setText(QStringLiteral("10"));
        return true;
    }
    b->setText(zero ? QStringLiteral("10") : text);
    emit drawComplete();
    return true;
}

}  // namespace varnet
