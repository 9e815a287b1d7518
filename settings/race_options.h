// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "common/bet_type.h"
#include "common/text_encoding.h"

#include <QString>

#include <array>
#include <optional>

namespace CommonFunc {

// Every option the options dialog edits and a race's analysis reads, as one
// value.  A race is computed from one snapshot taken when it is loaded, so
// nothing in the analysis reads the settings store.
//
// The one list of fields serves two shapes: RaceOptions holds a value for
// every option; StoredOptions holds what the store gave, absent where a
// stored text does not convert (the dialog then leaves its control alone),
// and, when saving, absent where the store is to keep what it has.
template <template <typename> class Field>
struct OptionSet {
    // The options of one bet type's marks and judgement; levels 1 to 5 are
    // items 0 to 4.
    struct Judge {
        std::array<Field<qint16>, 5> detectMin;
        std::array<Field<qint16>, 5> detectMax;
        std::array<Field<QString>, 5> dispChar;
        Field<qint16> dispSign; // 0 both signs, 1 plus only, 2 minus only
        Field<qint32> plusColor;
        Field<qint32> minusColor;
        Field<bool> isIdealLimit;
        Field<float> idealLimit;
        Field<bool> isRealLimit;
        Field<float> realLimit;
        Field<bool> isTanRatioLimit;
        Field<float> tanRatioLimit;
        Field<bool> isFukuRatioLimit;
        Field<float> fukuRatioLimit;
    };

    Field<QString> patFolder; // as GetPatFolder gives it
    // Item n for horse n; item 0 colours a horse-number cell that is empty.
    std::array<Field<qint32>, 19> horseNoColor;
    Field<qint16> detectVal;
    // How the theoretical prices are made: 0 the original formula, 1 Harville,
    // 2 discounted Harville; the other four matter only to models 1 and 2.
    Field<qint16> priceModel;
    Field<qint16> winProbability;   // 0 normalised, 1 power, 2 Shin, 3 corrected power
    Field<double> winPowerExponent; // method 3: p ∝ (1 / win odds)^this
    Field<double> pairPayoutRate;
    Field<double> discountLambda2;
    Field<double> discountLambda3;
    // The theoretical place price (複理論) beside the place odds; off, the
    // analysis does not compute it.
    Field<bool> showPlacePrice;
    // The encoding of the files written for the user; no part of the
    // analysis.
    Field<TextEncoding> csvEncoding;
    // Each pair's model chance and expected value, shown beside its prices.
    Field<bool> showExpectedValue;
    std::array<Judge, kBetKindCount> judges; // by bet kind

    Judge &judge(BetType type) { return judges[IndexOf(type)]; }
    const Judge &judge(BetType type) const { return judges[IndexOf(type)]; }
};

template <typename T>
using PlainField = T;

using RaceOptions = OptionSet<PlainField>;
using StoredOptions = OptionSet<std::optional>;

// The defaults of every option: the one place they are written down.
const RaceOptions &DefaultRaceOptions();

// A snapshot of the settings store; where a stored text does not convert,
// the default.
RaceOptions ReadRaceOptions();

// Makes ReadRaceOptions give this price model whatever the store holds, for
// the rest of the run (minukuru-cli --model); nullopt ends that.
void OverridePriceModel(std::optional<qint16> model);

// Makes ReadRaceOptions give this ShowPlacePrice whatever the store holds,
// for the rest of the run (minukuru-cli show --place); nullopt ends that.
void OverrideShowPlacePrice(std::optional<bool> show);
// Makes ReadRaceOptions give ShowExpectedValue on whatever the store holds,
// for the rest of the run (minukuru-cli show --ev).
void OverrideShowExpectedValue(bool on);

// Makes ReadRaceOptions and CsvEncodingInForce give this encoding whatever
// the store holds, for the rest of the run (minukuru-cli --encoding);
// nullopt ends that.
void OverrideCsvEncoding(std::optional<TextEncoding> encoding);

// The encoding a file written for the user now takes: the run's override,
// else the store's.  Read at each save, so that a change in the options
// dialog holds for the next save of a race already on show.
TextEncoding CsvEncodingInForce();

// What the store holds, absent where a stored text does not convert.
StoredOptions ReadStoredOptions();

// Writes every present field into the store in one write of the file;
// absent fields keep what the store has.
void SaveOptions(const StoredOptions &options);

// Every field of `stored`, the default where it is absent.
RaceOptions WithDefaults(const StoredOptions &stored);

} // namespace CommonFunc
