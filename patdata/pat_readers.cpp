// SPDX-License-Identifier: GPL-3.0-or-later

#include "patdata/pat_files.h"

#include "patdata/cp932.h"
#include "patdata/pat_layout.h"

#include <algorithm>

namespace CommonFunc {

static_assert(Layout::pairOddsSize == 25);

namespace {

// Where each field of a pair odds record starts.
constexpr int fieldOffset(int field)
{
    int offset = 0;
    for (int k = 0; k < field; ++k)
        offset += Layout::pairOdds[k].width;
    return offset;
}

constexpr int umaRenField = 2;
static_assert(Layout::pairOdds[umaRenField].member == &PairOddsRecord::UmaRenOdds);
static_assert(Layout::pairOdds[umaRenField + 1].member == &PairOddsRecord::WideOddsMin);
static_assert(Layout::pairOdds[umaRenField + 2].member == &PairOddsRecord::WideOddsMax);

// Where the three odds fields start, each kOddsWidth bytes: read for every
// price of a race.
constexpr std::array<int, 3> kOddsOffsets = {fieldOffset(umaRenField), fieldOffset(umaRenField + 1),
                                             fieldOffset(umaRenField + 2)};
static_assert(Layout::pairOdds[umaRenField].width == PairOddsTable::kOddsWidth
              && Layout::pairOdds[umaRenField + 1].width == PairOddsTable::kOddsWidth
              && Layout::pairOdds[umaRenField + 2].width == PairOddsTable::kOddsWidth);

} // namespace

PairOddsTable::PairOddsTable() { blank(); }

PairOddsTable::PairOddsTable(const PairOddsTable &other)
    : Header(other.Header)
    , Reserved(other.Reserved)
    , m_bytes(other.m_bytes)
    , m_hasTexts(other.m_hasTexts)
{
    if (other.m_texts)
        m_texts = std::make_unique<Records>(*other.m_texts);
}

PairOddsTable &PairOddsTable::operator=(const PairOddsTable &other)
{
    if (this != &other) {
        Header = other.Header;
        Reserved = other.Reserved;
        m_bytes = other.m_bytes;
        m_hasTexts = other.m_hasTexts;
        m_texts = other.m_texts ? std::make_unique<Records>(*other.m_texts) : nullptr;
    }
    return *this;
}

void PairOddsTable::blank()
{
    for (auto &record : m_bytes)
        record.fill(' ');
    m_texts.reset();
    m_hasTexts.fill(false);
}

void PairOddsTable::setBytes(int i, int j, QByteArrayView bytes)
{
    const std::size_t k = index(i, j);
    std::copy_n(bytes.data(), kRecordSize, m_bytes[k].begin());
    if (m_hasTexts[k]) {
        (*m_texts)[k] = PairOddsRecord();
        m_hasTexts[k] = false;
    }
}

PairOddsRecord &PairOddsTable::decoded(std::size_t k) const
{
    if (!m_texts)
        m_texts = std::make_unique<Records>();
    PairOddsRecord &record = (*m_texts)[k];
    if (!m_hasTexts[k]) {
        const QByteArrayView bytes(m_bytes[k].data(), kRecordSize);
        int offset = 0;
        for (const auto &field : Layout::pairOdds) {
            record.*(field.member) = Cp932::decodePadded(bytes.sliced(offset, field.width), field.width);
            offset += field.width;
        }
        m_hasTexts[k] = true;
    }
    return record;
}

PairOddsRecord &PairOddsTable::at(int i, int j) { return decoded(index(i, j)); }

const PairOddsRecord &PairOddsTable::at(int i, int j) const { return decoded(index(i, j)); }

QStringView PairOddsTable::oddsText(int i, int j, Odds field, OddsBuffer &buffer) const
{
    const std::size_t k = index(i, j);
    const int f = umaRenField + int(field);
    if (m_hasTexts[k])
        return (*m_texts)[k].*(Layout::pairOdds[f].member);
    const QByteArrayView bytes(m_bytes[k].data() + kOddsOffsets[std::size_t(field)], kOddsWidth);
    return QStringView(buffer.data(), Cp932::decodePaddedTo(bytes, kOddsWidth, buffer.data()));
}

std::optional<float> PairOddsTable::plainOdds(int i, int j, Odds field) const
{
    const std::size_t k = index(i, j);
    if (m_hasTexts[k])
        return std::nullopt;
    const QByteArrayView bytes(m_bytes[k].data() + kOddsOffsets[std::size_t(field)], kOddsWidth);
    const std::optional<PlainDecimal> plain = ParsePlainDecimal(bytes);
    return plain ? std::optional<float>(plain->single()) : std::nullopt;
}

void TanFukuOddsData::clear()
{
    Layout::clearRecord(Header, Layout::patHeader);
    for (TanFukuOddsRecord &record : Odds)
        Layout::clearRecord(record, Layout::tanFukuOdds);
}

void EntryData::clear()
{
    Layout::clearRecord(Header, Layout::entryHeader);
    for (EntryRecord &record : Horses)
        Layout::clearRecord(record, Layout::entry);
}

void ResultData::clear()
{
    Layout::clearRecord(Header, Layout::resultHeader);
    for (ResultFinisher &finisher : Finishers)
        Layout::clearRecord(finisher, Layout::finisher);
    Reserved.clear();
    const auto clearPayouts = [](auto &payouts) {
        for (ResultPayout &payout : payouts) {
            payout.Combination.clear();
            payout.Amount.clear();
        }
    };
    clearPayouts(Tan);
    clearPayouts(Fuku);
    clearPayouts(WakuRen);
    clearPayouts(UmaRen);
    clearPayouts(Wide);
}

bool ReadTanFukuOddsFile(const QString &path, TanFukuOddsData &data)
{
    data.clear();
    PatFile file;
    if (!file.open(path, Layout::patHeaderSize + MaxHorses * Layout::tanFukuOddsSize))
        return false;
    if (!ReadPatHeader(file, data.Header))
        return false;
    const int count = PatCount(data.Header.HorseCount);
    for (int k = 1; k <= count; ++k) {
        if (k > MaxHorses)
            return false;
        if (!Layout::readRecord(file, data.Odds[k], Layout::tanFukuOdds))
            return false;
    }
    return true;
}

bool ReadPairOddsFile(const QString &path, PairOddsTable &table)
{
    PatFile file;
    constexpr int maxPairs = MaxHorses * (MaxHorses - 1) / 2;
    if (!file.open(path, Layout::patHeaderSize + Layout::pairOddsGap + maxPairs * Layout::pairOddsSize))
        return false;
    PatFileHeader header;
    if (!ReadPatHeader(file, header))
        return false;
    PatText gap;
    if (!ReadPatField(file, Layout::pairOddsGap, gap))
        return false;
    table.Header = header;
    table.Reserved = gap;
    const int count = PatCount(header.HorseCount);
    table.blank();
    for (int i = 1; i <= count; ++i) {
        for (int j = i + 1; j <= count; ++j) {
            if (i > MaxHorses || j > MaxHorses)
                return false;
            QByteArrayView record;
            if (!file.take(Layout::pairOddsSize, record))
                return false;
            table.setBytes(i, j, record);
        }
    }
    return true;
}

bool ReadEntryFile(const QString &path, EntryData &data)
{
    data.clear();
    PatFile file;
    if (!file.open(path, Layout::entryHeaderSize + MaxHorses * Layout::entrySize))
        return false;
    if (!Layout::readRecord(file, data.Header, Layout::entryHeader))
        return false;
    const int count = PatCount(data.Header.HorseCount);
    for (int k = 1; k <= count; ++k) {
        if (k > MaxHorses)
            return false;
        if (!Layout::readRecord(file, data.Horses[k], Layout::entry))
            return false;
    }
    return true;
}

namespace {

template <int N>
bool readPayouts(PatFile &file, Slots<ResultPayout, N> &payouts, int combinationWidth)
{
    for (ResultPayout &payout : payouts) {
        if (!ReadPatField(file, combinationWidth, payout.Combination)
            || !ReadPatField(file, Layout::payoutAmount, payout.Amount))
            return false;
    }
    return true;
}

} // namespace

bool ReadResultFile(const QString &path, ResultData &data)
{
    data.clear();
    PatFile file;
    if (!file.open(path, Layout::resultFileSize))
        return false;
    if (!Layout::readRecord(file, data.Header, Layout::resultHeader))
        return false;
    for (ResultFinisher &finisher : data.Finishers) {
        if (!Layout::readRecord(file, finisher, Layout::finisher))
            return false;
    }
    return ReadPatField(file, Layout::resultGap, data.Reserved) && readPayouts(file, data.Tan, Layout::tanCombination)
        && readPayouts(file, data.Fuku, Layout::fukuCombination)
        && readPayouts(file, data.WakuRen, Layout::wakuRenCombination)
        && readPayouts(file, data.UmaRen, Layout::umaRenCombination)
        && readPayouts(file, data.Wide, Layout::wideCombination);
}

} // namespace CommonFunc
