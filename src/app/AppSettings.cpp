#include "app/AppSettings.h"

#include "base/NumericText.h"
#include "base/SettingKeys.h"

namespace varnet {

namespace {
const QString kSection = QString::fromLatin1(settings::kMain);
const char* const kCaptions[AppSettings::kIssueCountEntries] = {
    "前所有期", "前100期",  "前200期",  "前300期",  "前500期", "前600期",
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

bool AppSettings::boolean(const SettingKey<bool>& key) {
    return boolean(QString::fromLatin1(key.name), key.fallback);
}

int AppSettings::integer(const SettingKey<int>& key) {
    return integer(QString::fromLatin1(key.name), key.fallback);
}

void AppSettings::setBool(const QString& key, bool v) {
    setText(key, v ? QStringLiteral("True") : QStringLiteral("False"));
}

void AppSettings::setInt(const QString& key, int v) { setText(key, QString::number(v)); }

AppSettings::Values AppSettings::load() {
    Values v;
    v.days = integer(settings::kSearchDays);
    v.computeSelected = boolean(settings::kComputeSelected);
    v.showOnCurrent = boolean(settings::kShowOnCurrent);
    v.excludeCurrent = boolean(settings::kExcludeCurrent);
    v.weighted = boolean(settings::kWeighted);
    v.issueCountIndex = integer(settings::kIssueCountIndex);
    v.ownIssueCount = v.issueCountIndex == 10 ? integer(settings::kOwnIssueCount) : 0;
    return v;
}

int AppSettings::days() { return integer(settings::kSearchDays); }

int AppSettings::waitSeconds() {
    const int s = integer(settings::kDbWaitSeconds);
    return s < 0 || s > 3600 ? settings::kDbWaitSeconds.fallback : s;
}
void AppSettings::setDays(int days) { setInt(settings::kSearchDays.name, days); }
void AppSettings::setComputeSelected(bool v) { setBool(settings::kComputeSelected.name, v); }
void AppSettings::setShowOnCurrent(bool v) { setBool(settings::kShowOnCurrent.name, v); }
void AppSettings::setExcludeCurrent(bool v) { setBool(settings::kExcludeCurrent.name, v); }
void AppSettings::setWeighted(bool v) { setBool(settings::kWeighted.name, v); }
void AppSettings::setIssueCountIndex(int index) { setInt(settings::kIssueCountIndex.name, index); }
void AppSettings::setOwnIssueCount(int count) { setInt(settings::kOwnIssueCount.name, count); }

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
