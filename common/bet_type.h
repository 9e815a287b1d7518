// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QLatin1StringView>
#include <QStringView>

#include <array>
#include <cstddef>

namespace CommonFunc {

// The kinds of bet the program prices, each a row of BetKinds(); a BetType
// is a row's index.  Code that handles the kinds loops over the rows and
// keeps arrays indexed by them, so a new kind is a new row (CONTRIBUTING.md).
enum class BetType { Umaren, Wide };
constexpr int kBetKindCount = 2;

struct BetKind {
    BetType type;
    QStringView name;                 // "馬連": the ledger, the result list, the report tables
    QStringView shortName;            // "ﾜｲﾄﾞ": the CSV head, the history, watch and the alerts
    QStringView gridHead;             // the pair grid's first head
    QStringView betPrefix;            // the recommended-bets list: "馬 " and the pair
    QStringView hitMark;              // put before a recommended bet the result pays
    QLatin1StringView key;            // "umaren": the JSON keys
    QLatin1StringView settingsSuffix; // "Uma": the options' keys end in it
    int horses;                       // per bet
    bool ordered;                     // whether the horses' order counts
    int places;                       // the first places a bet's horses must fill: 2, or 3 for wide
    int paying;                       // the pairs a result pays: 1, or 3 for wide
    double priceConstant;             // K of the original price formula, over the pair's probability
    double supportDivisor;            // the actual price's support rate: 0.75 / price / this
    QStringView rateLimitWord;        // the options' support-rate limits: 単 and 複 before it
};

inline constexpr std::array<BetKind, kBetKindCount> kBetKinds {{
    {BetType::Umaren, u"馬連", u"馬連", u"馬連 ", u"馬 ", u" ◎", QLatin1StringView("umaren"), QLatin1StringView("Uma"),
     2, false, 2, 1, 0.75, 1.0, u"指示率"},
    {BetType::Wide, u"ワイド", u"ﾜｲﾄﾞ", u"ﾜｲﾄﾞ ", u"ワ ", u" ○", QLatin1StringView("wide"), QLatin1StringView("Wide"),
     2, false, 3, 3, 0.75 / 3.0, 3.0, u"支持率"},
}};

constexpr const BetKind &KindOf(BetType type) { return kBetKinds[std::size_t(type)]; }
constexpr std::size_t IndexOf(BetType type) { return std::size_t(type); }

} // namespace CommonFunc
