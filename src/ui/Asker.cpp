#include "ui/Asker.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <algorithm>
#include <vector>

#include "base/NumericText.h"

namespace varnet {

std::optional<std::int32_t> wholeAnswer(const std::optional<QString>& answer) {
    if (!answer) return std::nullopt;
    const auto n = parseWholeInteger(answer->toStdString());
    if (!n || *n < INT32_MIN || *n > INT32_MAX) return std::nullopt;
    return static_cast<std::int32_t>(*n);
}

bool DialogAsker::confirm(QWidget* parent, const QString& title, const QString& text) {
    return QMessageBox::question(parent, title, text, QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Ok) == QMessageBox::Ok;
}

int DialogAsker::choose(QWidget* parent, const QString& title, const QString& text,
                        const QStringList& buttons, int defaultButton, int cancelButton) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    std::vector<QPushButton*> pushed;
    for (int i = 0; i < buttons.size(); ++i)
        pushed.push_back(box.addButton(
            buttons[i], i == cancelButton ? QMessageBox::RejectRole : QMessageBox::AcceptRole));
    if (defaultButton >= 0 && defaultButton < buttons.size())
        box.setDefaultButton(pushed[defaultButton]);
    if (cancelButton >= 0 && cancelButton < buttons.size())
        box.setEscapeButton(pushed[cancelButton]);
    box.exec();
    const auto it = std::find(pushed.begin(), pushed.end(), box.clickedButton());
    return it == pushed.end() ? cancelButton : static_cast<int>(it - pushed.begin());
}

void DialogAsker::inform(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::information(parent, title, text);
}

void DialogAsker::warn(QWidget* parent, const QString& title, const QString& text) {
    QMessageBox::warning(parent, title, text);
}

std::optional<QString> DialogAsker::askText(QWidget* parent, const QString& title,
                                            const QString& prompt, const QString& proposal) {
    bool ok = false;
    const QString answer =
        QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, proposal, &ok);
    if (!ok) return std::nullopt;
    return answer;
}

QString DialogAsker::openFileName(QWidget* parent, const QString& folder, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, QString(), folder, filter);
}

QString chooseTextFile(Asker& asker, QWidget* parent, const QString& folder, const QString& title,
                       const QString& refusal) {
    QDir().mkpath(folder);
    const QString file = asker.openFileName(parent, folder, QStringLiteral("Text(*.txt)"));
    if (file.isEmpty()) return {};
    if (file.right(3).compare(QLatin1String("txt"), Qt::CaseInsensitive) != 0) {
        asker.warn(parent, title, refusal);
        return {};
    }
    return file;
}

void tellNotDone(Asker& asker, QWidget* parent, const QString& title, bool cancelled,
                 const QString& message) {
    if (cancelled)
        asker.inform(parent, title, message);
    else
        asker.warn(parent, title, message);
}

bool confirmReplacing(Asker& asker, QWidget* parent, const QString& title, const QString& path) {
    const QFileInfo file(path);
    if (!file.isFile()) return true;
    return asker.confirm(
        parent, title,
        QStringLiteral("%1 已经存在（修改于 %2），导出将替换它。\n"
                       "点击“确定”替换原文件，点击“取消”不导出。")
            .arg(QDir::toNativeSeparators(file.absoluteFilePath()),
                 file.lastModified().toString(QStringLiteral("yyyy-MM-dd HH:mm"))));
}

}  // namespace varnet
