#include "search/SortWindow.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "base/NumericText.h"
#include "ui/Asker.h"

namespace varnet {

namespace {

const char* const kFrames[frmGsCsArr::kLevels] = {"第一排序", "第二排序", "第三排序"};
constexpr int kMaxLimit = 32767;

int optionOf(const std::string& column) {
    const auto& columns = SortSettings::columns();
    for (int i = 0; i < frmGsCsArr::kOptions; ++i)
        if (column == columns[i]) return i;
    return 0;
}

}  // namespace

frmGsCsArr::frmGsCsArr(SortSettings& settings, bool& confirmed, Asker& asker, QWidget* parent)
    : QDialog(parent), settings_(settings), confirmed_(confirmed), asker_(asker) {
    setObjectName(QStringLiteral("frmGsCsArr"));
    setWindowTitle(QStringLiteral("公式排序设置"));
    setModal(true);

    auto* layout = new QVBoxLayout(this);
    auto* levels = new QHBoxLayout;
    for (int level = 0; level < kLevels; ++level) {
        auto* frame = new QGroupBox(QString::fromUtf8(kFrames[level]), this);
        frame->setObjectName(QStringLiteral("Frame%1").arg(level + 1));
        auto* frameLayout = new QVBoxLayout(frame);
        groups_[level] = new QButtonGroup(frame);
        for (int i = 0; i < kOptions; ++i) {
            auto* option = new QRadioButton(QString::fromUtf8(SortSettings::captions()[i]), frame);
            option->setObjectName(QStringLiteral("optSort%1_%2").arg(level + 1).arg(i));
            groups_[level]->addButton(option, i);
            frameLayout->addWidget(option);
            options_[level][i] = option;
        }
        directions_[level] = new QLabel(frame);
        directions_[level]->setObjectName(QStringLiteral("lblDirection%1").arg(level + 1));
        frameLayout->addWidget(directions_[level]);
        connect(groups_[level], &QButtonGroup::idToggled, this, [this, level](int, bool on) {
            if (on) showDirection(level);
        });
        levels->addWidget(frame);
    }
    layout->addLayout(levels);

    auto* limitRow = new QHBoxLayout;
    limitRow->addWidget(new QLabel(QStringLiteral("设置需要保留的项目个数限额(少于或等于)"), this));
    limit_ = new QLineEdit(this);
    limit_->setObjectName(QStringLiteral("txtLimit"));
    limit_->setMaximumWidth(80);
    limitRow->addWidget(limit_);
    limitRow->addStretch(1);
    layout->addLayout(limitRow);

    ok_ = new QPushButton(QStringLiteral("确定(&O)"), this);
    ok_->setObjectName(QStringLiteral("cmdOk"));
    ok_->setAutoDefault(false);
    connect(ok_, &QPushButton::clicked, this, [this] {
        if (confirm()) accept();
    });
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(ok_);
    layout->addLayout(buttonRow);

    showSettings();
}

void frmGsCsArr::showEvent(QShowEvent* event) {
    showSettings();
    QDialog::showEvent(event);
}

void frmGsCsArr::showSettings() {
    for (int level = 0; level < kLevels; ++level) {
        options_[level][optionOf(settings_.keys[level].column)]->setChecked(true);
        showDirection(level);
    }
    limit_->setText(QString::number(settings_.keepLimit));
}

int frmGsCsArr::chosen(int level) const { return std::max(0, groups_[level]->checkedId()); }

void frmGsCsArr::showDirection(int level) {
    const bool descending = SortSettings::defaultDescending(SortSettings::columns()[chosen(level)]);
    directions_[level]->setText(descending ? QStringLiteral("降序（大的在前）")
                                           : QStringLiteral("升序（小的在前）"));
}

bool frmGsCsArr::confirm() {
    const auto limit = parseWholeInteger(limit_->text().toStdString());
    if (!limit || *limit < 0 || *limit > kMaxLimit) {
        asker_.warn(this, windowTitle(),
                    QStringLiteral("保留的项目个数限额应为0到%1之间的整数，排序设置没有改变。")
                        .arg(kMaxLimit));
        limit_->setFocus();
        limit_->selectAll();
        return false;
    }
    for (int level = 0; level < kLevels; ++level) {
        const std::string column = SortSettings::columns()[chosen(level)];
        settings_.keys[level] = SortKey{column, SortSettings::defaultDescending(column)};
    }
    settings_.keepLimit = static_cast<int>(*limit);
    confirmed_ = true;
    return true;
}

}  // namespace varnet
