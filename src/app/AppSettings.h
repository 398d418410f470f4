#pragma once

#include <QSettings>
#include <QString>
#include <memory>
#include <optional>

#include "base/SettingKeys.h"

namespace varnet {

// The main window's settings: application "ZO10DI", section "IniSetting",
// values as texts ("True"/"False", decimal integers), absent keys taking
// their defaults.
class AppSettings {
  public:
    // The settings of the issue-count menu ("检索期数设置(&Q)").
    static constexpr int kIssueCountEntries = 11;
    static const char* issueCountCaption(int index);
    // Issues for entry 0..9; entry 10 uses "intJsqs"; anything else 0.
    static int issueCountFor(int index, int ownCount);

    struct Values {
        int days = 3;                 // "IniSerchDay"
        bool computeSelected = true;  // "JSFF"
        bool showOnCurrent = false;   // "LsXs"
        bool excludeCurrent = true;   // "SyBq"
        bool weighted = true;         // "ZqlJq"
        int issueCountIndex = 3;      // "JSQS"
        int ownIssueCount = 0;        // "intJsqs"
        int issueCount() const { return issueCountFor(issueCountIndex, ownIssueCount); }
    };

    // The per-user store (INI) of application "ZO10DI".
    AppSettings();
    // A given store, for tests.
    explicit AppSettings(std::unique_ptr<QSettings> store);

    Values load();

    int days();
    void setDays(int days);
    // "DbWaitSeconds": how long a change waits for another program that holds
    // the data file, 0..3600, default 60.
    int waitSeconds();
    void setComputeSelected(bool v);
    void setShowOnCurrent(bool v);
    void setExcludeCurrent(bool v);
    void setWeighted(bool v);
    void setIssueCountIndex(int index);
    void setOwnIssueCount(int count);

    // "恢复默认设置(&R)": stores LsXs, SyBq, ZqlJq, IniSerchDay = 6, JSQS = 3,
    // and returns the values the window then holds (days unchanged).
    void restoreDefaults();

    // An answer to the days question: a whole number 2..10, else nothing.
    static std::optional<int> acceptDays(const QString& answer);

    // Addresses of the documents and of the other programs; empty hides them.
    QString address(const QString& key);

    QString text(const QString& key, const QString& fallback);
    void setText(const QString& key, const QString& value);
    QSettings& store() { return *store_; }

  private:
    bool boolean(const QString& key, bool fallback);
    int integer(const QString& key, int fallback);
    bool boolean(const SettingKey<bool>& key);
    int integer(const SettingKey<int>& key);
    void setBool(const QString& key, bool v);
    void setInt(const QString& key, int v);

    std::unique_ptr<QSettings> store_;
};

}  // namespace varnet
