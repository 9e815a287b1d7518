// SPDX-License-Identifier: GPL-3.0-or-later

#include "settings/race_options.h"

#include "settings/settings_store.h"

#include <QDir>

namespace CommonFunc {

namespace {

// Every option with its setting, once: `visit` is called with the setting
// and the field of each of `sets` that holds it.  The PAT folder, whose
// text the dialog shows with its separator, is handled apart.
template <typename Visit, typename... Sets>
void forEachOption(Visit &&visit, Sets &...sets)
{
    for (int n = 0; n <= 18; ++n)
        visit(Settings::HorseNoColor(n), sets.horseNoColor[std::size_t(n)]...);
    visit(Settings::DetectVal(), sets.detectVal...);
    visit(Settings::PriceModel(), sets.priceModel...);
    visit(Settings::WinProbability(), sets.winProbability...);
    visit(Settings::WinPowerExponent(), sets.winPowerExponent...);
    visit(Settings::PairPayoutRate(), sets.pairPayoutRate...);
    visit(Settings::DiscountLambda2(), sets.discountLambda2...);
    visit(Settings::DiscountLambda3(), sets.discountLambda3...);
    visit(Settings::ShowPlacePrice(), sets.showPlacePrice...);
    visit(Settings::CsvEncoding(), sets.csvEncoding...);
    visit(Settings::ShowExpectedValue(), sets.showExpectedValue...);
    for (const BetKind &kind : kBetKinds) {
        const BetType t = kind.type;
        for (int level = 1; level <= 5; ++level) {
            const auto i = std::size_t(level - 1);
            visit(Settings::DetectMin(t, level), sets.judge(t).detectMin[i]...);
            visit(Settings::DetectMax(t, level), sets.judge(t).detectMax[i]...);
            visit(Settings::DispChar(t, level), sets.judge(t).dispChar[i]...);
        }
        visit(Settings::DispSign(t), sets.judge(t).dispSign...);
        visit(Settings::PlusColor(t), sets.judge(t).plusColor...);
        visit(Settings::MinusColor(t), sets.judge(t).minusColor...);
        visit(Settings::IsIdealLimit(t), sets.judge(t).isIdealLimit...);
        visit(Settings::IdealLimit(t), sets.judge(t).idealLimit...);
        visit(Settings::IsRealLimit(t), sets.judge(t).isRealLimit...);
        visit(Settings::RealLimit(t), sets.judge(t).realLimit...);
        visit(Settings::IsTanRatioLimit(t), sets.judge(t).isTanRatioLimit...);
        visit(Settings::TanRatioLimit(t), sets.judge(t).tanRatioLimit...);
        visit(Settings::IsFukuRatioLimit(t), sets.judge(t).isFukuRatioLimit...);
        visit(Settings::FukuRatioLimit(t), sets.judge(t).fukuRatioLimit...);
    }
}

QString defaultPatFolderWithSeparator()
{
    QString folder = DefaultPatFolder();
    if (!folder.endsWith(QDir::separator()))
        folder += QDir::separator();
    return folder;
}

} // namespace

const RaceOptions &DefaultRaceOptions()
{
    static const RaceOptions defaults = [] {
        RaceOptions o;
        // The PAT folder's default depends on the environment: DefaultPatFolder().
        forEachOption([](const auto &setting, auto &field) { field = *setting.fallback(); }, o);
        return o;
    }();
    return defaults;
}

StoredOptions ReadStoredOptions()
{
    StoredOptions o;
    o.patFolder = GetPatFolder();
    forEachOption([](const auto &setting, auto &field) { field = setting.tryGet(); }, o);
    return o;
}

RaceOptions WithDefaults(const StoredOptions &s)
{
    RaceOptions o;
    o.patFolder = s.patFolder ? *s.patFolder : defaultPatFolderWithSeparator();
    forEachOption([](const auto &setting, auto &field,
                     const auto &stored) { field = stored ? *stored : *setting.fallback(); },
                  o, s);
    return o;
}

namespace {
std::optional<qint16> g_priceModelOverride;
std::optional<TextEncoding> g_csvEncodingOverride;
std::optional<bool> g_showPlacePriceOverride;
bool g_showExpectedValueOverride = false;
} // namespace

void OverrideShowPlacePrice(std::optional<bool> show) { g_showPlacePriceOverride = show; }
void OverrideShowExpectedValue(bool on) { g_showExpectedValueOverride = on; }

void OverridePriceModel(std::optional<qint16> model) { g_priceModelOverride = model; }

void OverrideCsvEncoding(std::optional<TextEncoding> encoding) { g_csvEncodingOverride = encoding; }

TextEncoding CsvEncodingInForce()
{
    return g_csvEncodingOverride ? *g_csvEncodingOverride : Settings::CsvEncoding().get();
}

RaceOptions ReadRaceOptions()
{
    // Reading every option costs more than analysing a race, so what the
    // store gave is taken again while it holds the same values.
    struct Read {
        quint64 generation = 0;
        QString defaultFolder;
        RaceOptions options;
    };
    thread_local Read last;
    const quint64 generation = SettingsGeneration();
    QString defaultFolder = DefaultPatFolder(); // from the environment, which tests change
    if (last.generation != generation || last.defaultFolder != defaultFolder) {
        // WithDefaults(ReadStoredOptions()) in one pass over the settings.
        RaceOptions read;
        read.patFolder = GetPatFolder();
        forEachOption([](const auto &setting, auto &field) { field = setting.get(); }, read);
        last.options = std::move(read);
        last.generation = generation;
        last.defaultFolder = std::move(defaultFolder);
    }
    RaceOptions options = last.options;
    if (g_priceModelOverride)
        options.priceModel = *g_priceModelOverride;
    if (g_showPlacePriceOverride)
        options.showPlacePrice = *g_showPlacePriceOverride;
    if (g_csvEncodingOverride)
        options.csvEncoding = *g_csvEncodingOverride;
    if (g_showExpectedValueOverride)
        options.showExpectedValue = true;
    return options;
}

void SaveOptions(const StoredOptions &o)
{
    const SettingsBatch batch; // one write of the file for every option
    if (o.patFolder)
        SetPatFolder(*o.patFolder);
    forEachOption(
        [](const auto &setting, const auto &field) {
            if (field)
                setting.set(*field);
        },
        o);
}

} // namespace CommonFunc
