#include "search/SearchSettings.h"

#include <QSettings>
#include <cmath>

#include "base/NumericText.h"
#include "base/SettingKeys.h"

namespace varnet {

namespace {

QString key(int i) { return QString::number(i); }

QString decimal(double v) { return QString::fromStdString(singleText(v)); }

double number(QSettings& s, const QString& section, const QString& k, double fallback) {
    const QVariant v = s.value(section + QLatin1Char('/') + k);
    if (!v.isValid()) return fallback;
    return numericValue(v.toString().toStdString());
}

}  // namespace

Thresholds SearchSettings::thresholds(int position, bool kill) {
    Thresholds t = defaultThresholds(kill);
    for (int i = 0; i < 10; ++i)
        t.th[i] = number(store_, key(position), key(i + (kill ? 0 : 10)), t.th[i]);
    return t;
}

void SearchSettings::setThresholds(int position, bool kill, const Thresholds& t) {
    putThresholds(position, kill, t);
    store_.sync();
}

void SearchSettings::putThresholds(int position, bool kill, const Thresholds& t) {
    for (int i = 0; i < 10; ++i)
        store_.setValue(key(position) + QLatin1Char('/') + key(i + (kill ? 0 : 10)),
                        decimal(t.th[i]));
}

void SearchSettings::setThresholdsAndOperands(int position, bool kill, const Thresholds& t,
                                              int operands) {
    putThresholds(position, kill, t);
    store_.setValue(key(position) + QLatin1Char('/') + QLatin1String(settings::kOperandsName),
                    QString::number(operands));
    store_.sync();
}

int SearchSettings::operands(int position) {
    const double v =
        number(store_, key(position), QLatin1String(settings::kOperandsName), kDefaultOperands);
    const long long n = std::llround(v);
    return n >= 2 && n <= 24 ? static_cast<int>(n) : kDefaultOperands;
}

void SearchSettings::setOperands(int position, int operands) {
    store_.setValue(key(position) + QLatin1Char('/') + QLatin1String(settings::kOperandsName),
                    QString::number(operands));
    store_.sync();
}

int SearchSettings::plan(int position, bool kill) {
    const double v = number(store_, QLatin1String(settings::kPlanSection),
                            key(position + (kill ? 0 : 10)), kDefaultPlan);
    return static_cast<int>(std::max(0.0, std::min(v, 1e9)));
}

void SearchSettings::setPlan(int position, bool kill, int count) {
    store_.setValue(
        QLatin1String(settings::kPlanSection) + QLatin1Char('/') + key(position + (kill ? 0 : 10)),
        QString::number(count));
    store_.sync();
}

}  // namespace varnet
