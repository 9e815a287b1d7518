// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// Where the fields the program reads lie in JRA-VAN Data Lab's JV-Data
// records: byte offsets from the start of a record line, widths in bytes.
// Every record is one fixed-width code page 932 line ending in CR LF.  All
// offsets of the program's JV-Data reading and writing are in this table.
namespace CommonFunc::JvLayout {

struct Span {
    int offset;
    int width;
    constexpr int end() const { return offset + width; }
};

// clang-format off

// Every record: its head and the race key.
inline constexpr Span recordType {0, 2};   // "RA", "SE", "O1", ...
inline constexpr Span dataKind   {2, 1};   // データ区分
inline constexpr Span madeDate   {3, 8};   // データ作成年月日, yyyymmdd
inline constexpr Span raceKey    {11, 16}; // the five fields below
inline constexpr Span year       {11, 4};  // 開催年
inline constexpr Span monthDay   {15, 4};  // 開催月日, mmdd
inline constexpr Span course     {19, 2};  // 競馬場コード
inline constexpr Span kai        {21, 2};  // 開催回
inline constexpr Span nichi      {23, 2};  // 開催日目
inline constexpr Span raceNo     {25, 2};  // レース番号
inline constexpr int headSize = 27;

// RA, race details (レース詳細).
namespace Ra {
inline constexpr int size = 1272;
inline constexpr Span raceName      {32, 60};  // 競走名本題
inline constexpr Span shortName     {572, 20}; // 競走名略称10字
inline constexpr Span conditionName {637, 60}; // 競走条件名称
inline constexpr Span distance      {697, 4};  // 距離, metres
inline constexpr Span track         {705, 2};  // トラックコード
inline constexpr Span startTime     {873, 4};  // 発走時刻, hhmm
inline constexpr Span registered    {881, 2};  // 登録頭数
inline constexpr Span runners       {883, 2};  // 出走頭数
} // namespace Ra

// SE, one horse of a race (馬毎レース情報).
namespace Se {
inline constexpr int size = 555;
inline constexpr Span bracket   {27, 1};  // 枠番
inline constexpr Span horse     {28, 2};  // 馬番
inline constexpr Span name      {40, 36}; // 馬名
inline constexpr Span finish    {334, 2}; // 確定着順
inline constexpr Span time      {338, 4}; // 走破タイム, m ss t
} // namespace Se

// HR, payouts (払戻).  Pay entries: 組番, 払戻金 (9, yen), 人気順.
namespace Hr {
inline constexpr int size = 719;
inline constexpr Span registered {27, 2};
inline constexpr Span runners    {29, 2};
inline constexpr int tan = 102;     // 単勝: 3 of 馬番 2 + 9 + 2
inline constexpr int fuku = 141;    // 複勝: 5 of 馬番 2 + 9 + 2
inline constexpr int wakuRen = 206; // 枠連: 3 of 組番 2 + 9 + 2
inline constexpr int umaRen = 245;  // 馬連: 3 of 組番 4 + 9 + 3
inline constexpr int wide = 293;    // ワイド: 7 of 組番 4 + 9 + 3
inline constexpr int singleEntry = 13;
inline constexpr int pairEntry = 16;
inline constexpr int tanCount = 3;
inline constexpr int fukuCount = 5;
inline constexpr int wakuRenCount = 3;
inline constexpr int umaRenCount = 3;
inline constexpr int wideCount = 7;
inline constexpr int singleCombination = 2;
inline constexpr int pairCombination = 4;
inline constexpr int payAmount = 9;
} // namespace Hr

// O1, win, place and bracket odds (オッズ（単複枠）).
namespace O1 {
inline constexpr int size = 962;
inline constexpr Span announced  {27, 8}; // 発表月日時分, mmddhhmm
inline constexpr Span registered {35, 2}; // 登録頭数
inline constexpr Span runners    {37, 2}; // 出走頭数
inline constexpr int tan = 43;            // 28 of 馬番 2, オッズ 4, 人気順 2
inline constexpr int tanEntry = 8;
inline constexpr int fuku = 267;          // 28 of 馬番 2, 最低 4, 最高 4, 人気順 2
inline constexpr int fukuEntry = 12;
inline constexpr int entries = 28;
inline constexpr int horseWidth = 2;
inline constexpr int oddsWidth = 4;
inline constexpr int popularityWidth = 2;
} // namespace O1

// O2, umaren odds (オッズ（馬連）).
namespace O2 {
inline constexpr int size = 2042;
inline constexpr Span announced  {27, 8};
inline constexpr Span registered {35, 2};
inline constexpr int pairs = 40;          // 153 of 組番 4, オッズ 6, 人気順 3
inline constexpr int entry = 13;
inline constexpr int entries = 153;
inline constexpr int oddsWidth = 6;
inline constexpr int popularityWidth = 3;
} // namespace O2

// O3, wide odds (オッズ（ワイド）).
namespace O3 {
inline constexpr int size = 2654;
inline constexpr Span announced  {27, 8};
inline constexpr Span registered {35, 2};
inline constexpr int pairs = 40;          // 153 of 組番 4, 最低 5, 最高 5, 人気順 3
inline constexpr int entry = 17;
inline constexpr int entries = 153;
inline constexpr int oddsWidth = 5;
inline constexpr int popularityWidth = 3;
} // namespace O3

// clang-format on

inline constexpr int pairCombinationWidth = 4; // 組番 "0102": horse 1 and horse 2

static_assert(Ra::startTime.end() <= Ra::size - 2 && Se::time.end() <= Se::size - 2);
static_assert(Hr::wide + Hr::wideCount * Hr::pairEntry == 405); // then 予備, 馬単, 3連複, 3連単
static_assert(O1::fuku == O1::tan + O1::entries * O1::tanEntry);
static_assert(O1::fuku + O1::entries * O1::fukuEntry + 36 * 9 + 3 * 11 + 2 == O1::size);
static_assert(O2::pairs + O2::entries * O2::entry + 11 + 2 == O2::size);
static_assert(O3::pairs + O3::entries * O3::entry + 11 + 2 == O3::size);

} // namespace CommonFunc::JvLayout
