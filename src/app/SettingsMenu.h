#pragma once

#include <QMenu>
#include <array>
#include <string>

#include "app/AppSettings.h"
#include "base/SettingKeys.h"

class QAction;

namespace varnet {

class Asker;
class Launcher;
struct MainState;

// "软件设置(&T)": the display, retrieval and address settings, the other
// programs and the about box. Choices go to the shared state and the stored
// settings at once.
class SettingsMenu : public QMenu {
    Q_OBJECT
  public:
    class Host {
      public:
        virtual ~Host() = default;
        // The listed formulas verified again with their flags.
        virtual void verifyFormulas() = 0;
        // Draws in the history, proposed as the own retrieval count.
        virtual int historySize() const = 0;
    };

    static constexpr int kOtherPrograms = settings::kOtherPrograms;
    static QString otherProgramUrlKey(int i);   // "OtherSoft1Url" ..
    static QString otherProgramNameKey(int i);  // "OtherSoft1Name" ..
    // The entry that sets the formula file of the online update.
    static constexpr const char* kFormulaFileEntry = "公式文件地址设置...";

    // Questions are asked over `window`, the menu's parent.
    SettingsMenu(Host& host, MainState& state, AppSettings& settings, Asker& asker,
                 Launcher& launcher, std::string dataFolder, QWidget* window);

    // The checks follow the shared state.
    void syncSettingsChecks();
    // Opens a document or program address; an empty one does nothing.
    void openAddress(const QString& address);

    void setDaysToSearch();
    void restoreDefaults();
    void setHistorySiteAddress();
    void setFormulaFileAddress();

  private:
    void chooseDisplay(bool onCurrent);
    void chooseIssueCount(int index);
    void askAddress(const QString& title, const QString& key, const QString& what);

    Host& host_;
    MainState& state_;
    AppSettings& settings_;
    Asker& asker_;
    Launcher& launcher_;
    std::string dataFolder_;
    QWidget* window_;

    QAction* showNextAction_ = nullptr;
    QAction* showCurrentAction_ = nullptr;
    QAction* excludeCurrentAction_ = nullptr;
    QAction* weightedAction_ = nullptr;
    std::array<QAction*, AppSettings::kIssueCountEntries> issueCountActions_{};
};

}  // namespace varnet
