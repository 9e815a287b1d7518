// SPDX-License-Identifier: GPL-3.0-or-later

#include "tools/racegen/pat_writer.h"

#include <QFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>

namespace RaceGen {

using namespace CommonFunc;

namespace {

template <typename Record, typename Text = PatText>
struct Column {
    int width;
    Text Record::*member;
};

template <typename Record, typename Text, std::size_t N>
void appendRecord(QByteArray &out, const Record &record, const Column<Record, Text> (&columns)[N])
{
    for (const Column<Record, Text> &column : columns)
        out += PatField(QString(record.*(column.member)), column.width);
}

using H = PatFileHeader;
const Column<H> kPatHeader[] = {
    {8, &H::Reserved1}, {8, &H::Reserved2}, {2, &H::Reserved3},   {8, &H::Reserved4},
    {2, &H::Reserved5}, {4, &H::Course},    {4, &H::Reserved6},   {2, &H::Kai},
    {2, &H::Nichi},     {2, &H::RaceNo},    {1, &H::Reserved7},   {1, &H::FormatCode},
    {4, &H::Reserved8}, {28, &H::RaceName}, {64, &H::Conditions}, {2, &H::HorseCount},
};

using T = TanFukuOddsRecord;
const Column<T> kTanFuku[] = {
    {1, &T::Reserved1}, {2, &T::Reserved2}, {5, &T::TanOdds}, {5, &T::FukuOddsMin}, {5, &T::FukuOddsMax},
};

using P = PairOddsRecord;
const Column<P, QString> kPair[] = {
    {2, &P::Reserved1}, {5, &P::Reserved2}, {6, &P::UmaRenOdds}, {6, &P::WideOddsMin}, {6, &P::WideOddsMax},
};

using EH = EntryHeader;
const Column<EH> kEntryHeader[] = {
    {8, &EH::Reserved1},  {4, &EH::Reserved2},  {4, &EH::Reserved3},  {2, &EH::Reserved4},
    {2, &EH::Reserved5},  {2, &EH::Reserved6},  {4, &EH::StartTime},  {8, &EH::Reserved7},
    {28, &EH::Reserved8}, {28, &EH::Reserved9}, {2, &EH::HorseCount},
};

using E = EntryRecord;
const Column<E> kEntry[] = {
    {1, &E::Reserved1},  {1, &E::Reserved2},  {2, &E::Reserved3}, {1, &E::Reserved4}, {1, &E::Reserved5},
    {18, &E::HorseName}, {18, &E::Reserved6}, {2, &E::Reserved7}, {4, &E::Reserved8},
};

using RH = ResultHeader;
const Column<RH> kResultHeader[] = {
    {8, &RH::Reserved1}, {4, &RH::Reserved2},   {4, &RH::Reserved3},   {2, &RH::Reserved4},
    {2, &RH::Reserved5}, {2, &RH::Reserved6},   {1, &RH::Reserved7},   {10, &RH::Reserved8},
    {1, &RH::Reserved9}, {28, &RH::Reserved10}, {28, &RH::Reserved11},
};

using F = ResultFinisher;
const Column<F> kFinisher[] = {
    {2, &F::Field1}, {2, &F::Field2}, {18, &F::HorseName}, {6, &F::Field4}, {12, &F::Reserved},
};

int recordCount(const QString &horseCount) { return std::clamp(PatCount(horseCount), 0, MaxHorses); }

template <int N>
void appendPayouts(QByteArray &out, const Slots<ResultPayout, N> &payouts, int combinationWidth)
{
    for (const ResultPayout &payout : payouts) {
        out += PatField(payout.Combination.text(), combinationWidth);
        out += PatField(payout.Amount.text(), 8);
    }
}

} // namespace

namespace {

bool isAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
}

} // namespace

QByteArray PatField(QStringView text, int width)
{
    if (isAscii(text)) {
        QByteArray out = text.left(width).toLatin1();
        out.append(width - out.size(), ' ');
        return out;
    }
    // Opening a converter costs far more than a field, so keep one of each
    // per thread.  Their error flags stay set once raised (and resetting
    // them drops the converter), so a character counts as encodable when it
    // decodes back to itself.
    thread_local QStringEncoder encoder("windows-31j", QStringConverter::Flag::Stateless);
    thread_local QStringDecoder decoder("windows-31j", QStringConverter::Flag::Stateless);
    QByteArray out;
    out.reserve(width);
    qsizetype i = 0;
    while (i < text.size()) {
        // One code point at a time, so that a cut never halves a character.
        qsizetype length = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            length = 2;
        const QStringView character = text.mid(i, length);
        QByteArray bytes = encoder.encode(character);
        if (bytes.isEmpty() || QString(decoder.decode(bytes)) != character)
            bytes = QByteArrayLiteral("?");
        if (out.size() + bytes.size() > width)
            break;
        out += bytes;
        i += length;
    }
    out.append(width - out.size(), ' ');
    return out;
}

QString FitField(QStringView text, int width)
{
    if (isAscii(text)) {
        QString out = text.left(width).toString();
        out.append(QString(width - out.size(), u' '));
        return out;
    }
    thread_local QStringDecoder decoder("windows-31j", QStringConverter::Flag::Stateless);
    QString decoded = decoder.decode(PatField(text, width));
    if (decoded.size() < width)
        decoded.append(QString(width - decoded.size(), u' '));
    return decoded;
}

QString RightAligned(int value, int width) { return QString::number(value).rightJustified(width, u' '); }

QString RightAligned(const QString &text, int width) { return text.rightJustified(width, u' '); }

QByteArray TanFukuOddsFileBytes(const TanFukuOddsData &data)
{
    QByteArray out;
    appendRecord(out, data.Header, kPatHeader);
    const int count = recordCount(data.Header.HorseCount);
    for (int k = 1; k <= count; ++k)
        appendRecord(out, data.Odds[k], kTanFuku);
    return out;
}

QByteArray PairOddsFileBytes(const PairOddsTable &table)
{
    QByteArray out;
    appendRecord(out, table.Header, kPatHeader);
    out += PatField(table.Reserved.text(), 2);
    const int count = recordCount(table.Header.HorseCount);
    for (int i = 1; i <= count; ++i) {
        for (int j = i + 1; j <= count; ++j)
            appendRecord(out, table.at(i, j), kPair);
    }
    return out;
}

QByteArray EntryFileBytes(const EntryData &data)
{
    QByteArray out;
    appendRecord(out, data.Header, kEntryHeader);
    const int count = recordCount(data.Header.HorseCount);
    for (int k = 1; k <= count; ++k)
        appendRecord(out, data.Horses[k], kEntry);
    return out;
}

QByteArray ResultFileBytes(const ResultData &data)
{
    QByteArray out;
    appendRecord(out, data.Header, kResultHeader);
    for (const ResultFinisher &finisher : data.Finishers)
        appendRecord(out, finisher, kFinisher);
    out += PatField(data.Reserved.text(), 5);
    appendPayouts(out, data.Tan, 2);
    appendPayouts(out, data.Fuku, 2);
    appendPayouts(out, data.WakuRen, 4);
    appendPayouts(out, data.UmaRen, 6);
    appendPayouts(out, data.Wide, 6);
    return out;
}

bool WriteBytes(const QString &path, const QByteArray &bytes, QString *error)
{
    QFile file(path);
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
    if (ok)
        ok = file.flush();
    if (!ok && error)
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
    return ok;
}

} // namespace RaceGen
