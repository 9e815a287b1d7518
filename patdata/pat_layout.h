// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "patdata/pat_files.h"

#include <cstddef>

// Field widths of the PAT record layouts, in file order.
namespace CommonFunc::Layout {

// A field of a record: PatText where the reader fills it, QString in the
// pair odds records that PairOddsTable decodes itself.
template <typename Record, typename Text = PatText>
struct Field {
    int width;
    Text Record::*member;
};

template <typename Record, typename Text, std::size_t N>
constexpr int recordSize(const Field<Record, Text> (&fields)[N])
{
    int total = 0;
    for (const Field<Record, Text> &field : fields)
        total += field.width;
    return total;
}

template <typename Record, std::size_t N>
bool readRecord(PatFile &file, Record &record, const Field<Record> (&fields)[N])
{
    for (const Field<Record> &field : fields) {
        if (!ReadPatField(file, field.width, record.*(field.member)))
            return false;
    }
    return true;
}

template <typename Record, std::size_t N>
void clearRecord(Record &record, const Field<Record> (&fields)[N])
{
    for (const Field<Record> &field : fields)
        (record.*(field.member)).clear();
}

using H = PatFileHeader;
inline constexpr Field<H> patHeader[] = {
    {8, &H::Reserved1}, {8, &H::Reserved2}, {2, &H::Reserved3},   {8, &H::Reserved4},
    {2, &H::Reserved5}, {4, &H::Course},    {4, &H::Reserved6},   {2, &H::Kai},
    {2, &H::Nichi},     {2, &H::RaceNo},    {1, &H::Reserved7},   {1, &H::FormatCode},
    {4, &H::Reserved8}, {28, &H::RaceName}, {64, &H::Conditions}, {2, &H::HorseCount},
};

using T = TanFukuOddsRecord;
inline constexpr Field<T> tanFukuOdds[] = {
    {1, &T::Reserved1}, {2, &T::Reserved2}, {5, &T::TanOdds}, {5, &T::FukuOddsMin}, {5, &T::FukuOddsMax},
};

using P = PairOddsRecord;
inline constexpr Field<P, QString> pairOdds[] = {
    {2, &P::Reserved1}, {5, &P::Reserved2}, {6, &P::UmaRenOdds}, {6, &P::WideOddsMin}, {6, &P::WideOddsMax},
};
inline constexpr int pairOddsGap = 2; // bytes between the header and the first pair

using EH = EntryHeader;
inline constexpr Field<EH> entryHeader[] = {
    {8, &EH::Reserved1},  {4, &EH::Reserved2},  {4, &EH::Reserved3},  {2, &EH::Reserved4},
    {2, &EH::Reserved5},  {2, &EH::Reserved6},  {4, &EH::StartTime},  {8, &EH::Reserved7},
    {28, &EH::Reserved8}, {28, &EH::Reserved9}, {2, &EH::HorseCount},
};

using E = EntryRecord;
inline constexpr Field<E> entry[] = {
    {1, &E::Reserved1},  {1, &E::Reserved2},  {2, &E::Reserved3}, {1, &E::Reserved4}, {1, &E::Reserved5},
    {18, &E::HorseName}, {18, &E::Reserved6}, {2, &E::Reserved7}, {4, &E::Reserved8},
};

using RH = ResultHeader;
inline constexpr Field<RH> resultHeader[] = {
    {8, &RH::Reserved1}, {4, &RH::Reserved2},   {4, &RH::Reserved3},   {2, &RH::Reserved4},
    {2, &RH::Reserved5}, {2, &RH::Reserved6},   {1, &RH::Reserved7},   {10, &RH::Reserved8},
    {1, &RH::Reserved9}, {28, &RH::Reserved10}, {28, &RH::Reserved11},
};

using F = ResultFinisher;
inline constexpr Field<F> finisher[] = {
    {2, &F::Field1}, {2, &F::Field2}, {18, &F::HorseName}, {6, &F::Field4}, {12, &F::Reserved},
};
inline constexpr int resultGap = 5; // bytes between the finishers and the payouts

// Combination widths of the payout sections; every amount is 8 bytes.
inline constexpr int payoutAmount = 8;
inline constexpr int tanCombination = 2;
inline constexpr int fukuCombination = 2;
inline constexpr int wakuRenCombination = 4;
inline constexpr int umaRenCombination = 6;
inline constexpr int wideCombination = 6;

inline constexpr int patHeaderSize = recordSize(patHeader);
inline constexpr int tanFukuOddsSize = recordSize(tanFukuOdds);
inline constexpr int pairOddsSize = recordSize(pairOdds);
inline constexpr int entryHeaderSize = recordSize(entryHeader);
inline constexpr int entrySize = recordSize(entry);
inline constexpr int resultHeaderSize = recordSize(resultHeader);
inline constexpr int finisherSize = recordSize(finisher);
inline constexpr int resultFileSize = resultHeaderSize + 7 * finisherSize + resultGap
    + 3 * (tanCombination + payoutAmount) + 5 * (fukuCombination + payoutAmount)
    + 3 * (wakuRenCombination + payoutAmount) + 3 * (umaRenCombination + payoutAmount)
    + 11 * (wideCombination + payoutAmount);

static_assert(patHeaderSize == 142);
static_assert(tanFukuOddsSize == 18);
static_assert(pairOddsSize == 25);
static_assert(entryHeaderSize == 92);
static_assert(entrySize == 48);
static_assert(resultHeaderSize == 90);
static_assert(finisherSize == 40);
static_assert(resultFileSize == 687);

} // namespace CommonFunc::Layout
