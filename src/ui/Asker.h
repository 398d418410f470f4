#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>

class QWidget;

namespace varnet {

// A text of the logic (UTF-8) for a window.
inline QString qs(const std::string& s) { return QString::fromStdString(s); }

// An answer to a number question: a whole number in 32-bit range, else nothing.
std::optional<std::int32_t> wholeAnswer(const std::optional<QString>& answer);

// The questions and messages a window puts to the user. The program uses
// the standard dialogs; tests answer from a script.
class Asker {
  public:
    virtual ~Asker() = default;
    // A question with OK and Cancel; true for OK.
    virtual bool confirm(QWidget* parent, const QString& title, const QString& text) = 0;
    // A question with buttons of its own: the index of the one pressed,
    // `cancelButton` when the dialog is closed.
    virtual int choose(QWidget* parent, const QString& title, const QString& text,
                       const QStringList& buttons, int defaultButton, int cancelButton) = 0;
    virtual void inform(QWidget* parent, const QString& title, const QString& text) = 0;
    virtual void warn(QWidget* parent, const QString& title, const QString& text) = 0;
    // A line of text; nothing when cancelled.
    virtual std::optional<QString> askText(QWidget* parent, const QString& title,
                                           const QString& prompt, const QString& proposal) = 0;
    // A file to open; empty when cancelled.
    virtual QString openFileName(QWidget* parent, const QString& folder, const QString& filter) = 0;
};

class DialogAsker : public Asker {
  public:
    bool confirm(QWidget* parent, const QString& title, const QString& text) override;
    int choose(QWidget* parent, const QString& title, const QString& text,
               const QStringList& buttons, int defaultButton, int cancelButton) override;
    void inform(QWidget* parent, const QString& title, const QString& text) override;
    void warn(QWidget* parent, const QString& title, const QString& text) override;
    std::optional<QString> askText(QWidget* parent, const QString& title, const QString& prompt,
                                   const QString& proposal) override;
    QString openFileName(QWidget* parent, const QString& folder, const QString& filter) override;
};

// Asks for a text file to read, starting in `folder` (created when missing).
// A name that does not end in "txt" gets `refusal` and counts as no answer;
// empty when there is none.
QString chooseTextFile(Asker& asker, QWidget* parent, const QString& folder, const QString& title,
                       const QString& refusal);

// The outcome of a command that did not complete: a note when the user
// cancelled it, a warning when it failed.
void tellNotDone(Asker& asker, QWidget* parent, const QString& title, bool cancelled,
                 const QString& message);

// Before a command writes `path`: when a file of that name is there, asks
// whether to replace it. True to go on (nothing there, or OK).
bool confirmReplacing(Asker& asker, QWidget* parent, const QString& title, const QString& path);

}  // namespace varnet
