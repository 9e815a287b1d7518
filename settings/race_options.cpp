// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/race_options.h"

#include "settings/settings_store.h"

#include <QDir>

namespace CommonFunc {

namespace {

RaceOptions makeDefaults()
{
    RaceOptions o;
    // The PAT folder's default depends on the environment: DefaultPatFolder().
    o.horseNoColor.fill(16777215);
    o.detectVal = 5;
    o.priceModel = 0;
    o.winProbability = 0;
    o.pairPayoutRate = 0.775; // umaren and wide since June 2014
    o.discountLambda2 = 0.81; // Benter's fit
    o.discountLambda3 = 0.65;

    const auto judge = [](RaceOptions::Judge &j, std::array<qint16, 5> min, std::array<qint16, 5> max,
                          float realLimit) {
        j.detectMin = min;
        j.detectMax = max;
        const char16_t *marks[5] = {u"◎", u"○", u"▲", u"△", u"×"};
        for (std::size_t i = 0; i < 5; ++i)
            j.dispChar[i] = QString::fromUtf16(marks[i]);
        j.dispSign = 0;
        j.plusColor = 0;
        j.minusColor = 255;
        j.isIdealLimit = true;
        j.idealLimit = 1000.0f;
        j.isRealLimit = true;
        j.realLimit = realLimit;
        j.isTanRatioLimit = true;
        j.tanRatioLimit = 0.04f;
        j.isFukuRatioLimit = true;
        j.fukuRatioLimit = 0.05f;
    };
    judge(o.uma, {500, 300, 200, 100, 50}, {1000, 500, 300, 200, 100}, 300.0f);
    judge(o.wide, {300, 200, 100, 50, 30}, {1000, 300, 200, 100, 50}, 100.0f);
    return o;
}

QString defaultPatFolderWithSeparator()
{
    QString folder = DefaultPatFolder();
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}

template <typename T>
T orDefault(const std::optional<T> &value, const T &fallback)
{
    return value ? *value : fallback;
}

} // namespace

const RaceOptions &DefaultRaceOptions()
{
    static const RaceOptions defaults = makeDefaults();
    return defaults;
}

StoredOptions ReadStoredOptions()
{
    StoredOptions o;
    o.patFolder = GetPatFolder();
    for (int n = 0; n <= 18; ++n)
        o.horseNoColor[std::size_t(n)] = TryGetHorseNoColor(n);
    o.detectVal = TryGetDetectVal();
    o.priceModel = TryGetPriceModel();
    o.winProbability = TryGetWinProbability();
    o.pairPayoutRate = TryGetPairPayoutRate();
    o.discountLambda2 = TryGetDiscountLambda2();
    o.discountLambda3 = TryGetDiscountLambda3();
    for (BetType type : {BetType::Umaren, BetType::Wide}) {
        StoredOptions::Judge &j = o.judge(type);
        for (int level = 1; level <= 5; ++level) {
            const auto i = std::size_t(level - 1);
            j.detectMin[i] = TryGetDetectMin(type, level);
            j.detectMax[i] = TryGetDetectMax(type, level);
            j.dispChar[i] = TryGetDispChar(type, level);
        }
        j.dispSign = TryGetDispSign(type);
        j.plusColor = TryGetPlusColor(type);
        j.minusColor = TryGetMinusColor(type);
        j.isIdealLimit = TryGetIsIdealLimit(type);
        j.idealLimit = TryGetIdealLimit(type);
        j.isRealLimit = TryGetIsRealLimit(type);
        j.realLimit = TryGetRealLimit(type);
        j.isTanRatioLimit = TryGetIsTanRatioLimit(type);
        j.tanRatioLimit = TryGetTanRatioLimit(type);
        j.isFukuRatioLimit = TryGetIsFukuRatioLimit(type);
        j.fukuRatioLimit = TryGetFukuRatioLimit(type);
    }
    return o;
}

RaceOptions WithDefaults(const StoredOptions &s)
{
    const RaceOptions &d = DefaultRaceOptions();
    RaceOptions o;
    o.patFolder = s.patFolder ? *s.patFolder : defaultPatFolderWithSeparator();
    for (std::size_t n = 0; n < o.horseNoColor.size(); ++n)
        o.horseNoColor[n] = orDefault(s.horseNoColor[n], d.horseNoColor[n]);
    o.detectVal = orDefault(s.detectVal, d.detectVal);
    o.priceModel = orDefault(s.priceModel, d.priceModel);
    o.winProbability = orDefault(s.winProbability, d.winProbability);
    o.pairPayoutRate = orDefault(s.pairPayoutRate, d.pairPayoutRate);
    o.discountLambda2 = orDefault(s.discountLambda2, d.discountLambda2);
    o.discountLambda3 = orDefault(s.discountLambda3, d.discountLambda3);
    for (BetType type : {BetType::Umaren, BetType::Wide}) {
        const StoredOptions::Judge &from = s.judge(type);
        const RaceOptions::Judge &fallback = d.judge(type);
        RaceOptions::Judge &j = o.judge(type);
        for (std::size_t i = 0; i < 5; ++i) {
            j.detectMin[i] = orDefault(from.detectMin[i], fallback.detectMin[i]);
            j.detectMax[i] = orDefault(from.detectMax[i], fallback.detectMax[i]);
            j.dispChar[i] = orDefault(from.dispChar[i], fallback.dispChar[i]);
        }
        j.dispSign = orDefault(from.dispSign, fallback.dispSign);
        j.plusColor = orDefault(from.plusColor, fallback.plusColor);
        j.minusColor = orDefault(from.minusColor, fallback.minusColor);
        j.isIdealLimit = orDefault(from.isIdealLimit, fallback.isIdealLimit);
        j.idealLimit = orDefault(from.idealLimit, fallback.idealLimit);
        j.isRealLimit = orDefault(from.isRealLimit, fallback.isRealLimit);
        j.realLimit = orDefault(from.realLimit, fallback.realLimit);
        j.isTanRatioLimit = orDefault(from.isTanRatioLimit, fallback.isTanRatioLimit);
        j.tanRatioLimit = orDefault(from.tanRatioLimit, fallback.tanRatioLimit);
        j.isFukuRatioLimit = orDefault(from.isFukuRatioLimit, fallback.isFukuRatioLimit);
        j.fukuRatioLimit = orDefault(from.fukuRatioLimit, fallback.fukuRatioLimit);
    }
    return o;
}

namespace {
std::optional<qint16> g_priceModelOverride;
} // namespace

void OverridePriceModel(std::optional<qint16> model) { g_priceModelOverride = model; }

RaceOptions ReadRaceOptions()
{
    RaceOptions options = WithDefaults(ReadStoredOptions());
    if (g_priceModelOverride)
        options.priceModel = *g_priceModelOverride;
    return options;
}

void SaveOptions(const StoredOptions &o)
{
    const SettingsBatch batch; // one write of the file for every option
    if (o.patFolder)
        SetPatFolder(*o.patFolder);
    for (int n = 0; n <= 18; ++n) {
        if (const std::optional<qint32> &colour = o.horseNoColor[std::size_t(n)])
            SetHorseNoColor(n, *colour);
    }
    if (o.detectVal)
        SetDetectVal(*o.detectVal);
    // The model keys are new: a file that never had them gets none while they
    // hold their defaults, so saving unchanged options leaves it as it was.
    const RaceOptions &d = DefaultRaceOptions();
    const auto putModelKey = [](const auto &field, const auto &fallback, const QString &key, auto setter) {
        if (field && (*field != fallback || ReadSettingText(Section::option(), key)))
            setter(*field);
    };
    putModelKey(o.priceModel, d.priceModel, QStringLiteral("PriceModel"), SetPriceModel);
    putModelKey(o.winProbability, d.winProbability, QStringLiteral("WinProbability"), SetWinProbability);
    putModelKey(o.pairPayoutRate, d.pairPayoutRate, QStringLiteral("PairPayoutRate"), SetPairPayoutRate);
    putModelKey(o.discountLambda2, d.discountLambda2, QStringLiteral("DiscountLambda2"), SetDiscountLambda2);
    putModelKey(o.discountLambda3, d.discountLambda3, QStringLiteral("DiscountLambda3"), SetDiscountLambda3);
    for (BetType type : {BetType::Umaren, BetType::Wide}) {
        const StoredOptions::Judge &j = o.judge(type);
        const auto put = [type](const auto &field, auto setter) {
            if (field)
                setter(type, *field);
        };
        for (int level = 1; level <= 5; ++level) {
            const auto i = std::size_t(level - 1);
            if (j.detectMin[i])
                SetDetectMin(type, level, *j.detectMin[i]);
            if (j.detectMax[i])
                SetDetectMax(type, level, *j.detectMax[i]);
            if (j.dispChar[i])
                SetDispChar(type, level, *j.dispChar[i]);
        }
        put(j.dispSign, SetDispSign);
        put(j.plusColor, SetPlusColor);
        put(j.minusColor, SetMinusColor);
        put(j.isIdealLimit, SetIsIdealLimit);
        put(j.idealLimit, SetIdealLimit);
        put(j.isRealLimit, SetIsRealLimit);
        put(j.realLimit, SetRealLimit);
        put(j.isTanRatioLimit, SetIsTanRatioLimit);
        put(j.tanRatioLimit, SetTanRatioLimit);
        put(j.isFukuRatioLimit, SetIsFukuRatioLimit);
        put(j.fukuRatioLimit, SetFukuRatioLimit);
    }
}

} // namespace CommonFunc
