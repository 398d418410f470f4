#include "app/AppSettings.h"

#include "base/NumericText.h"

namespace varnet {

namespace {
const QString kSection = QStringLiteral("IniSetting");
const char* const kCaptions[AppSettings::kIssueCountEntries] = {
    "前所有期", "前100期", "前200期", "前300期", "前500期", "前600期",
    "前800期",  "前1000期", "前1500期", "前3000期", "前指定期"};
const int kCounts[10] = {0, 100, 200, 300, 500, 600, 800, 1000, 1500, 3000};
}  // namespace

const char* AppSettings::issueCountCaption(int index) {
    return index >= 0 && index < kIssueCountEntries ? kCaptions[index] : "";
}

int AppSettings::issueCountFor(int index, int ownCount) {
    if (index >= 0 && index < 10) return kCounts[index];
    if (index == 10) return ownCount;
    return 0;
}

AppSettings::AppSettings()
    : store_(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                         QStringLiteral("ZO10DI"), QStringLiteral("ZO10DI"))) {}

AppSettings::AppSettings(std::unique_ptr<QSettings> store) : store_(std::move(store)) {}

QString AppSettings::text(const QString& key, const QString& fallback) {
    return store_->value(kSection + "/" + key, fallback).toString();
}

void AppSettings::setText(const QString& key, const QString& value) {
    store_->setValue(kSection + "/" + key, value);
    store_->sync();
}

bool AppSettings::boolean(const QString& key, bool fallback) {
    const QString v = text(key, QString()).trimmed();
    if (v.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0) return true;
    if (v.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0) return false;
    if (v.isEmpty()) return fallback;
    // A number stands for a boolean as it does elsewhere: zero is false.
    return numericValue(v.toStdString()) != 0.0;
}

int AppSettings::integer(const QString& key, int fallback) {
    const QString v = text(key, QString());
    if (v.trimmed().isEmpty()) return fallback;
    return toInt32(numericValue(v.toStdString())).value_or(fallback);
}

void AppSettings::setBool(const QString& key, bool v) {
    setText(key, v ? QStringLiteral("True") : QStringLiteral("False"));
}

void AppSettings::setInt(const QString& key, int v) { setText(key, QString::number(v)); }

AppSettings::Values AppSettings::load() {
    Values v;
    v.days = integer("IniSerchDay", 3);
    v.computeSelected = boolean("JSFF", true);
    v.showOnCurrent = boolean("LsXs", false);
    v.excludeCurrent = boolean("SyBq", true);
    v.weighted = boolean("ZqlJq", true);
    v.issueCountIndex = integer("JSQS", 3);
    v.ownIssueCount = v.issueCountIndex == 10 ? integer("intJsqs", 0) : 0;
    return v;
}

int AppSettings::days() { return integer("IniSerchDay", 3); }

int AppSettings::waitSeconds() {
    const int s = integer("DbWaitSeconds", 60);
    return s < 0 || s > 3600 ? 60 : s;
}
void AppSettings::setDays(int days) { setInt("IniSerchDay", days); }
void AppSettings::setComputeSelected(bool v) { setBool("JSFF", v); }
void AppSettings::setShowOnCurrent(bool v) { setBool("LsXs", v); }
void AppSettings::setExcludeCurrent(bool v) { setBool("SyBq", v); }
void AppSettings::setWeighted(bool v) { setBool("ZqlJq", v); }
void AppSettings::setIssueCountIndex(int index) { setInt("JSQS", index); }
void AppSettings::setOwnIssueCount(int count) { setInt("intJsqs", count); }

void AppSettings::restoreDefaults() {
    setShowOnCurrent(false);
    setExcludeCurrent(true);
    setWeighted(true);
    setDays(6);
    setIssueCountIndex(3);
}

std::optional<int> AppSettings::acceptDays(const QString& answer) {
    const auto n = parseWholeInteger(answer.toStdString());
    if (!n || *n < 2 || *n > 10) return std::nullopt;
    return static_cast<int>(*n);
}

QString AppSettings::address(const QString& key) { return text(key, QString()).trimmed(); }

}  // namespace varnet
