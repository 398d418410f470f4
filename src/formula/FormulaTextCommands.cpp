#include "formula/FormulaTextCommands.h"

#include <QUrl>

#include "base/Paths.h"
#include "formula/FormulaExport.h"
#include "formula/FormulaListModel.h"
#include "ui/Asker.h"
#include "ui/Launcher.h"
#include "ui/MainState.h"
#include "ui/ModelExport.h"
#include "ui/WorkRunner.h"

namespace varnet {

namespace {

const QString kImportTitle = QStringLiteral("读取公式文本");
const QString kExportTitle = QStringLiteral("导出");

}  // namespace

FormulaTextCommands::FormulaTextCommands(Database& db, MainState& state, std::string dataFolder,
                                         Exporter& exporter, Asker& asker, Launcher& launcher,
                                         QWidget* parent)
    : db_(db),
      state_(state),
      dataFolder_(std::move(dataFolder)),
      exporter_(exporter),
      asker_(asker),
      launcher_(launcher),
      parent_(parent) {}

std::optional<FormulaCommands::ImportResult> FormulaTextCommands::import(WorkRunner& runner) {
    const QString file = chooseTextFile(
        asker_, parent_, qs(joinPath(dataFolder_, FormulaCommands::kTextFolder)), kImportTitle,
        QStringLiteral("只能读入扩展名为 txt 的公式文本文件，公式没有改变。"));
    if (file.isEmpty()) return std::nullopt;
    FormulaCommands::ImportResult result;
    const std::string path = file.toStdString();
    const int position = state_.selectedPosition;
    const bool kill = state_.kill;
    const WorkOutcome outcome = runner.run(
        [&](Progress& work) {
            result = FormulaCommands(db_).importFile(path, dataFolder_, position, kill,
                                                     [&](long long done, long long total) {
                                                         work.step(done);
                                                         work.setTotal(total);
                                                         return !work.cancelled();
                                                     });
        },
        true);
    if (!outcome.ran) return std::nullopt;
    if (outcome.failed) {
        result.ok = false;
        result.message = "读取公式文本失败，公式没有改变：" + outcome.error;
    }
    if (!result.ok) {
        tellNotDone(asker_, parent_, kImportTitle, result.cancelled, qs(result.message));
        return std::nullopt;
    }
    return result;
}

void FormulaTextCommands::offerReport(const FormulaCommands::ImportResult& result) {
    if (result.unrecognised > 0 && asker_.confirm(parent_, qs(FormulaCommands::kUnrecognisedTitle),
                                                  qs(FormulaCommands::kImportQuestion))) {
        const QString report = qs(result.unrecognisedPath);
        if (!launcher_.open(QUrl::fromLocalFile(report)))
            asker_.warn(parent_, qs(FormulaCommands::kUnrecognisedTitle),
                        QStringLiteral("无法打开 %1。").arg(report));
    }
}

std::string FormulaTextCommands::fileName() {
    const QString issue = state_.entryIssueText;
    if (issue.contains(QLatin1Char('/')) || issue.contains(QLatin1Char('\\'))) {
        asker_.warn(
            parent_, kExportTitle,
            QStringLiteral("期号框中的“%1”含有 / 或 \\，不能用作文件名。没有导出。").arg(issue));
        return {};
    }
    return ExportNames::formulaText(issue.toStdString());
}

void FormulaTextCommands::exportListed(const FormulaListModel& model,
                                       const std::function<void()>& showChinese) {
    const std::string file = fileName();
    if (file.empty()) return;
    // The file holds the Chinese form; the list shows what is written.
    showChinese();
    std::vector<ExportedFormula> formulas;
    formulas.reserve(model.size());
    for (int row = 0; row < model.size(); ++row) {
        const int i = model.listIndex(row);
        const Score* s = model.score(i);
        formulas.push_back({model.list()[i].row.chinese, s && s->valid ? s->lastHit : 0});
    }
    exporter_.exportFile(parent_, kExportTitle, file, 0,
                         [&formulas](const std::string& path, const std::function<bool(int)>&) {
                             return writeFormulaText(path, formulas, FormulaPadding::Block);
                         });
}

void FormulaTextCommands::exportEvery(const History& history, const CountRule& rule,
                                      const std::function<void()>& showChinese) {
    const std::string file = fileName();
    if (file.empty()) return;
    showChinese();
    exporter_.exportFile(parent_, kExportTitle, file, 0,
                         [&](const std::string& path, const std::function<bool(int)>&) {
                             return writeFormulaText(path,
                                                     everyFormulaForExport(db_, history, rule),
                                                     FormulaPadding::Own);
                         });
}

}  // namespace varnet
