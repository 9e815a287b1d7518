// SPDX-License-Identifier: GPL-3.0-or-later

#include "analysis/pair_prices.h"
#include "common/text_convert.h"
#include "common/text_util.h"
#include "patdata/cp932.h"
#include "patdata/pat_files.h"
#include "support/message_recorder.h"
#include "support/pat_bytes.h"

#include <QTemporaryDir>
#include <QTest>

using namespace CommonFunc;
using namespace Qt::StringLiterals;

namespace {

QString u16(const char16_t *text) { return QString::fromUtf16(text); }

QByteArray tanFukuFile(const PatBytes::Header &header, int records)
{
    QByteArray b = PatBytes::patHeader(header);
    for (int k = 1; k <= records; ++k)
        b += PatBytes::tanFukuRecord(QString::number(k + 0.5), QString::number(k) + QStringLiteral(".1"),
                                     QString::number(k) + QStringLiteral(".9"));
    return b;
}

QByteArray pairFile(const PatBytes::Header &header, int horses)
{
    QByteArray b = PatBytes::patHeader(header) + PatBytes::raw("00", 2);
    for (int i = 1; i <= horses; ++i) {
        for (int j = i + 1; j <= horses; ++j)
            b += PatBytes::pairRecord(QString::number(i * 100 + j), QString::number(i) + QStringLiteral(".0"),
                                      QString::number(j) + QStringLiteral(".5"));
    }
    return b;
}

QByteArray resultFile()
{
    using PatBytes::field;
    using PatBytes::raw;
    QByteArray b = raw("20261129", 8) + raw("0505", 4) + raw("0311", 4) + raw("01", 2) + raw("02", 2) + raw("03", 2)
        + raw("1", 1) + raw("1535000000", 10) + raw("2", 1) + field(u16(u"東京"), 28)
        + field(u16(u"ジャパンカップ"), 28);
    for (int place = 1; place <= 7; ++place)
        b += field(QString::number(place), 2) + field(QString::number(place + 2), 2)
            + field(u16(u"ウマ") + QString::number(place), 18) + field(QStringLiteral("2.24.1"), 6)
            + raw("hidden123456", 12);
    b += raw("-----", 5);
    b += field(QStringLiteral(" 3"), 2) + field(QStringLiteral("     350"), 8) + QByteArray(20, ' ');
    b += field(QStringLiteral(" 3"), 2) + field(QStringLiteral("     130"), 8) + QByteArray(40, ' ');
    b += field(QStringLiteral(" 2 3"), 4) + field(QStringLiteral("     990"), 8) + QByteArray(24, ' ');
    b += field(QStringLiteral(" 3- 4"), 6) + field(QStringLiteral("    1230"), 8) + QByteArray(28, ' ');
    b += field(QStringLiteral(" 3- 4"), 6) + field(QStringLiteral("     410"), 8);
    b += field(QStringLiteral(" 3- 5"), 6) + field(QStringLiteral("     520"), 8);
    b += field(QStringLiteral(" 4- 5"), 6) + field(QStringLiteral("     880"), 8);
    b += QByteArray(8 * 14, ' ');
    Q_ASSERT(b.size() == 687);
    return b;
}

} // namespace

class TestPatReaders : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString write(const QString &name, const QByteArray &bytes)
    {
        const QString p = path(name);
        if (!PatBytes::write(p, bytes))
            qFatal("cannot write fixture");
        return p;
    }

private slots:
    void decode_data();
    void decode();
    void fieldsArePaddedToTheirWidth();
    void fieldBytesGiveTheEagerText_data();
    void fieldBytesGiveTheEagerText();
    void writtenFieldsKeepTheirText();

    void headerFormatCode_data();
    void headerFormatCode();
    void headerTooShortFailsSilently();

    void tanFukuHorseCount_data();
    void tanFukuHorseCount();
    void tanFukuFieldsAndScratched();
    void notARegularFile();

    void pairOddsBoundaries_data();
    void pairOddsBoundaries();
    void pairOddsNineteenHorsesReadsUpToTheFirstBadPair();
    void pairOddsFailureBeforeBlankingKeepsTheTable();
    void pairOddsTextsAgreeWithTheBytes();
    void plainOddsReadAsTheirTexts_data();
    void plainOddsReadAsTheirTexts();

    void entryFile();
    void entryHorseCountIndependentAndCapped();

    void resultFile();
};

void TestPatReaders::decode_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("ascii") << QByteArray("Ab 12.3") << QStringLiteral("Ab 12.3");
    QTest::newRow("backslash stays") << QByteArray("\\") << QStringLiteral("\\");
    QTest::newRow("scratched marker") << QByteArray::fromHex("C4D8B9BC20") << u16(u"ﾄﾘｹｼ ");
    QTest::newRow("hiragana") << QByteArray::fromHex("82A0") << u16(u"あ");
    QTest::newRow("NEC row 13 circled one") << QByteArray::fromHex("8740") << u16(u"①");
    QTest::newRow("NEC-selected IBM") << QByteArray::fromHex("ED40") << u16(u"纊");
    QTest::newRow("IBM extension") << QByteArray::fromHex("FA40") << u16(u"ⅰ");
    QTest::newRow("wave dash as Windows") << QByteArray::fromHex("8160") << u16(u"\uFF5E");
    QTest::newRow("full-width backslash") << QByteArray::fromHex("815F") << u16(u"\uFF3C");
    QTest::newRow("lone lead byte at end") << QByteArray::fromHex("4182") << u16(u"A\uFFFD");
    QTest::newRow("lead byte before a space") << QByteArray::fromHex("822041") << u16(u"\uFFFD A");
    QTest::newRow("unassigned double-byte") << QByteArray::fromHex("854041") << u16(u"\uFFFDA");
    QTest::newRow("undefined single bytes")
        << QByteArray::fromHex("80A0FDFEFF") << u16(u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD");
    QTest::newRow("control bytes pass") << QByteArray::fromHex("001A") << QString(QChar(0)) + QChar(0x1A);
}

void TestPatReaders::decode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(Cp932::decode(bytes), text);
}

void TestPatReaders::fieldsArePaddedToTheirWidth()
{
    const QString p = write(QStringLiteral("fields.bin"),
                            PatBytes::sjis(u16(u"東京")) + QByteArray::fromHex("82") + "xy");
    PatFile file;
    QVERIFY(file.open(p, 100));
    PatText slot;
    QVERIFY(ReadPatField(file, 4, slot)); // two characters in four bytes: two spaces follow
    QCOMPARE(slot, u16(u"東京  "));
    QVERIFY(ReadPatField(file, 1, slot)); // half a character: replaced, still one slot
    QCOMPARE(slot, u16(u"\uFFFD"));
    QVERIFY(ReadPatField(file, 2, slot));
    QCOMPARE(slot, QStringLiteral("xy"));
    QVERIFY(!ReadPatField(file, 1, slot));

    const QString q = write(QStringLiteral("pad.bin"), PatBytes::sjis(u16(u"ウマ")) + "  ");
    QVERIFY(file.open(q, 100));
    QVERIFY(ReadPatField(file, 6, slot));
    QCOMPARE(slot, u16(u"ウマ    "));
    QCOMPARE(slot.size(), 6);
}

// A field keeps its bytes and decodes them when asked: every way of asking
// gives what decoding at once gave.
void TestPatReaders::fieldBytesGiveTheEagerText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("blank") << QByteArray(18, ' ');
    QTest::newRow("one character") << QByteArray("3");
    QTest::newRow("two characters") << QByteArray(" 9");
    QTest::newRow("odds") << QByteArray("  2.3");
    QTest::newRow("name") << PatBytes::sjis(u16(u"ウマ")) + QByteArray(14, ' ');
    QTest::newRow("half a character") << QByteArray::fromHex("8220");
    QTest::newRow("widest") << PatBytes::sjis(u16(u"３歳以上オープン")) + QByteArray(48, ' ');
    QTest::newRow("scratched") << PatBytes::sjis(u16(u" ﾄﾘｹｼ"));
}

void TestPatReaders::fieldBytesGiveTheEagerText()
{
    QFETCH(QByteArray, bytes);
    const QString eager = Cp932::decodePadded(bytes, bytes.size());
    PatText field;
    field.setBytes(bytes);
    QCOMPARE(field.text(), eager);
    PatText::Buffer buffer;
    QCOMPARE(field.view(buffer).toString(), eager);
    QCOMPARE(field.size(), eager.size());
    QVERIFY(field == eager);
    QVERIFY(!(field != eager));
    QCOMPARE(TrimSpaces(field), TrimSpaces(eager));
    const PatText copy = field;
    QVERIFY(copy == field);
    field.clear();
    QVERIFY(field.isEmpty());
    QVERIFY(field.text().isNull());
    QCOMPARE(copy.text(), eager);
}

void TestPatReaders::writtenFieldsKeepTheirText()
{
    PatText field;
    QVERIFY(field.text().isEmpty());
    field.setBytes("  1.5");
    field = QStringLiteral(u"ﾄﾘｹｼ"); // a text written over bytes read
    QCOMPARE(field.text(), QStringLiteral(u"ﾄﾘｹｼ"));
    QCOMPARE(field.size(), 4);
    QCOMPARE(PatCount(PatText(QStringLiteral(" 12"))), 12);
    field.setBytes("12");
    QCOMPARE(PatCount(field), 12);
    QVERIFY(field != PatText(QStringLiteral("13")));
}

void TestPatReaders::headerFormatCode_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("blank") << QStringLiteral(" ") << true;
    QTest::newRow("2") << QStringLiteral("2") << true;
    QTest::newRow("3") << QStringLiteral("3") << true;
    QTest::newRow("1") << QStringLiteral("1") << false;
    QTest::newRow("A") << QStringLiteral("A") << false;
    QTest::newRow("0") << QStringLiteral("0") << false;
}

void TestPatReaders::headerFormatCode()
{
    QFETCH(QString, code);
    QFETCH(bool, accepted);
    PatBytes::Header h;
    h.formatCode = code;
    h.horseCount = QStringLiteral(" 9");
    const QString p = write(QStringLiteral("Zo-hdr.jra"), tanFukuFile(h, 9));
    MessageRecorder recorder;

    PatFileHeader header;
    QCOMPARE(ReadPatFileHeader(p, header), accepted);
    TanFukuOddsData data;
    QCOMPARE(ReadTanFukuOddsFile(p, data), accepted);
    PairOddsTable table;
    const QString pairs = write(QStringLiteral("Uo-hdr.jra"), pairFile(h, 9));
    QCOMPARE(ReadPairOddsFile(pairs, table), accepted);

    if (accepted) {
        QVERIFY(recorder.messages.isEmpty());
        QCOMPARE(header.Course, u16(u"東京  "));
        QCOMPARE(header.Kai, QStringLiteral(" 3"));
        QCOMPARE(header.Nichi, QStringLiteral(" 5"));
        QCOMPARE(header.RaceNo, QStringLiteral("11"));
        QCOMPARE(header.RaceName, u16(u"ジャパンカップ") + QString(21, u' ')); // 28 characters
        QCOMPARE(header.Conditions.size(), 64);
        QVERIFY(header.Conditions.text().startsWith(u16(u"３歳以上オープン  ")));
        QCOMPARE(header.HorseCount, QStringLiteral(" 9"));
        QCOMPARE(header.Reserved1, QStringLiteral("20261129"));
        QCOMPARE(header.Reserved8, QStringLiteral("YYYY"));
        QCOMPARE(PatCount(header.HorseCount), 9);
    } else {
        // Once per read attempt, as a plain notice.
        QCOMPARE(recorder.texts(), QStringList(3, u16(u"ファイル形式が違います。")));
        QCOMPARE(recorder.messages.first().kind, Messages::Kind::Notice);
        QCOMPARE(recorder.messages.first().title, u16(u"ミヌクル君super"));
    }
}

void TestPatReaders::headerTooShortFailsSilently()
{
    MessageRecorder recorder;
    PatBytes::Header h;
    h.formatCode = QStringLiteral("1"); // would be refused, but the file ends first
    const QString p = write(QStringLiteral("Zo-short.jra"), PatBytes::patHeader(h).left(141));
    PatFileHeader header;
    QVERIFY(!ReadPatFileHeader(p, header));
    QVERIFY(!ReadPatFileHeader(write(QStringLiteral("Zo-empty.jra"), QByteArray()), header));
    QVERIFY(!ReadPatFileHeader(path(QStringLiteral("Zo-missing.jra")), header));
    QVERIFY(!ReadPatFileHeader(QString(), header));
    QVERIFY(recorder.messages.isEmpty());
}

void TestPatReaders::tanFukuHorseCount_data()
{
    QTest::addColumn<QString>("count");
    QTest::addColumn<int>("records");
    QTest::addColumn<int>("extraBytes");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("horses");
    QTest::newRow("18 of 18") << QStringLiteral("18") << 18 << 0 << true << 18;
    QTest::newRow("trailing bytes ignored") << QStringLiteral("12") << 12 << 7 << true << 12;
    QTest::newRow("19 fails even when present") << QStringLiteral("19") << 19 << 0 << false << 0;
    QTest::newRow("blank count") << QStringLiteral("  ") << 0 << 0 << true << 0;
    QTest::newRow("zero") << QStringLiteral("0 ") << 0 << 0 << true << 0;
    QTest::newRow("leading space") << QStringLiteral(" 2") << 2 << 0 << true << 2;
    QTest::newRow("ends inside last record") << QStringLiteral("10") << 10 << -1 << false << 0;
    QTest::newRow("one record short") << QStringLiteral("10") << 9 << 0 << false << 0;
}

void TestPatReaders::tanFukuHorseCount()
{
    QFETCH(QString, count);
    QFETCH(int, records);
    QFETCH(int, extraBytes);
    QFETCH(bool, ok);
    QFETCH(int, horses);
    PatBytes::Header h;
    h.horseCount = count;
    QByteArray bytes = tanFukuFile(h, records);
    if (extraBytes < 0)
        bytes.chop(-extraBytes);
    else
        bytes += QByteArray(extraBytes, 'x');
    TanFukuOddsData data;
    QCOMPARE(ReadTanFukuOddsFile(write(QStringLiteral("Zo-count.jra"), bytes), data), ok);
    if (!ok)
        return;
    QCOMPARE(data.Header.HorseCount, count);
    for (int k = 1; k <= MaxHorses; ++k) {
        if (k <= horses) {
            QCOMPARE(data.Odds[k].TanOdds, (QString::number(k + 0.5) + QStringLiteral("     ")).left(5));
            QCOMPARE(data.Odds[k].FukuOddsMax, (QString::number(k) + QStringLiteral(".9   ")).left(5));
        } else {
            QCOMPARE(data.Odds[k].TanOdds, QString());
        }
    }
}

void TestPatReaders::tanFukuFieldsAndScratched()
{
    PatBytes::Header h;
    h.horseCount = QStringLiteral(" 3");
    h.formatCode = QStringLiteral("3");
    QByteArray bytes = PatBytes::patHeader(h);
    bytes += PatBytes::tanFukuRecord(QStringLiteral("2.5"), QStringLiteral("1.2"), QStringLiteral("1.6"));
    bytes += PatBytes::tanFukuRecord(u16(u"ﾄﾘｹｼ"), QStringLiteral("0.0"), QStringLiteral("0.0"));
    bytes += PatBytes::tanFukuRecord(QStringLiteral("999.9"), QStringLiteral("99.9"), QStringLiteral("123.4"));
    QCOMPARE(bytes.size(), 142 + 3 * 18);
    TanFukuOddsData data;
    QVERIFY(ReadTanFukuOddsFile(write(QStringLiteral("Zo-fields.jra"), bytes), data));
    QCOMPARE(data.Odds[1].Reserved1, QStringLiteral("1"));
    QCOMPARE(data.Odds[1].Reserved2, QStringLiteral("01"));
    QCOMPARE(data.Odds[1].TanOdds, QStringLiteral("2.5  "));
    QCOMPARE(data.Odds[1].FukuOddsMin, QStringLiteral("1.2  "));
    QCOMPARE(data.Odds[1].FukuOddsMax, QStringLiteral("1.6  "));
    QCOMPARE(data.Odds[2].TanOdds, u16(u"ﾄﾘｹｼ "));
    QCOMPARE(data.Odds[2].FukuOddsMin, QStringLiteral("0.0  "));
    QCOMPARE(data.Odds[3].TanOdds, QStringLiteral("999.9"));
    QCOMPARE(data.Odds[3].FukuOddsMax, QStringLiteral("123.4"));
}

void TestPatReaders::notARegularFile()
{
    QDir(m_dir.path()).mkpath(QStringLiteral("Zo-folder.jra"));
    TanFukuOddsData data;
    QVERIFY(!ReadTanFukuOddsFile(path(QStringLiteral("Zo-folder.jra")), data));
    QVERIFY(!ReadTanFukuOddsFile(path(QStringLiteral("Zo-none.jra")), data));
    PairOddsTable table;
    QVERIFY(!ReadPairOddsFile(QString(), table));
    EntryData entry;
    QVERIFY(!ReadEntryFile(QString(), entry));
    ResultData result;
    QVERIFY(!ReadResultFile(path(QStringLiteral("Zo-folder.jra")), result));
}

void TestPatReaders::pairOddsBoundaries_data()
{
    QTest::addColumn<int>("horses");
    QTest::addColumn<int>("chop");
    QTest::addColumn<bool>("ok");
    QTest::newRow("2 horses, 169 bytes") << 2 << 0 << true;
    QTest::newRow("18 horses, 3969 bytes") << 18 << 0 << true;
    QTest::newRow("18 horses, one byte short") << 18 << 1 << false;
    QTest::newRow("2 horses, no pair") << 2 << 25 << false;
    QTest::newRow("header only") << 5 << 25 * 10 + 2 << false;
}

void TestPatReaders::pairOddsBoundaries()
{
    QFETCH(int, horses);
    QFETCH(int, chop);
    QFETCH(bool, ok);
    PatBytes::Header h;
    h.horseCount = QString::number(horses);
    QByteArray bytes = pairFile(h, horses);
    QCOMPARE(bytes.size(), 144 + 25 * horses * (horses - 1) / 2);
    bytes.chop(chop);
    PairOddsTable table;
    QCOMPARE(ReadPairOddsFile(write(QStringLiteral("Uo-b.jra"), bytes), table), ok);
    if (!ok)
        return;
    QCOMPARE(table.Reserved, QStringLiteral("00"));
    for (int i = 1; i <= MaxHorses; ++i) {
        for (int j = 1; j <= MaxHorses; ++j) {
            const PairOddsRecord &r = table.at(i, j);
            if (i < j && j <= horses) {
                QCOMPARE(r.UmaRenOdds, (QString::number(i * 100 + j) + QStringLiteral("      ")).left(6));
                QCOMPARE(r.WideOddsMin, (QString::number(i) + QStringLiteral(".0     ")).left(6));
                QCOMPARE(r.WideOddsMax, (QString::number(j) + QStringLiteral(".5     ")).left(6));
                QCOMPARE(r.Reserved2, QStringLiteral("00102"));
            } else {
                QCOMPARE(r.UmaRenOdds, QString(6, u' '));
                QCOMPARE(r.Reserved1, QString(2, u' '));
            }
        }
    }
}

// The prices are read from the records' bytes, the texts made on demand:
// both must give the same text for every field, and what a tool writes into
// a record is what the prices see, in a copy of the table too.
void TestPatReaders::pairOddsTextsAgreeWithTheBytes()
{
    PatBytes::Header h;
    h.horseCount = QStringLiteral("4");
    QByteArray bytes = PatBytes::patHeader(h) + PatBytes::raw("00", 2);
    const QString odds[] = {u"ﾄﾘｹｼ"_s, u"１２．"_s, u"  12.3"_s, u"9999.9"_s, u"東"_s, QString()};
    int k = 0;
    for (int i = 1; i <= 4; ++i) {
        for (int j = i + 1; j <= 4; ++j, ++k)
            bytes += PatBytes::pairRecord(odds[k % 6], odds[(k + 1) % 6], odds[(k + 2) % 6]);
    }
    PairOddsTable table;
    QVERIFY(ReadPairOddsFile(write(QStringLiteral("Uo-t.jra"), bytes), table));
    PairOddsTable fresh = table; // no record decoded yet
    using Odds = PairOddsTable::Odds;
    for (int i = 1; i <= MaxHorses; ++i) {
        for (int j = 1; j <= MaxHorses; ++j) {
            PairOddsTable::OddsBuffer a;
            PairOddsTable::OddsBuffer b;
            PairOddsTable::OddsBuffer c;
            const QString umaren = fresh.oddsText(i, j, Odds::UmaRen, a).toString();
            const QString low = fresh.oddsText(i, j, Odds::WideMin, b).toString();
            const QString high = fresh.oddsText(i, j, Odds::WideMax, c).toString();
            const PairOddsRecord &r = table.at(i, j);
            QCOMPARE(umaren, r.UmaRenOdds);
            QCOMPARE(low, r.WideOddsMin);
            QCOMPARE(high, r.WideOddsMax);
        }
    }
    QCOMPARE(table.at(1, 2).UmaRenOdds, u"ﾄﾘｹｼ  "_s);
    QCOMPARE(table.at(1, 2).WideOddsMin, u"１２．   "_s); // six bytes, three characters, padded to six

    table.at(1, 3).WideOddsMax = u"7.7"_s;
    const PairOddsTable copy = table;
    PairOddsTable::OddsBuffer buffer;
    QCOMPARE(copy.oddsText(1, 3, Odds::WideMax, buffer).toString(), u"7.7"_s);
    QCOMPARE(ActualPrice(copy, BetType::Wide, 1, 3), ActualPrice(table, BetType::Wide, 1, 3));
    // Read again, the file's bytes win over what was written.
    QVERIFY(ReadPairOddsFile(write(QStringLiteral("Uo-t.jra"), bytes), table));
    PairOddsTable::OddsBuffer other;
    QCOMPARE(table.oddsText(1, 3, Odds::WideMax, buffer).toString(),
             fresh.oddsText(1, 3, Odds::WideMax, other).toString());
}

void TestPatReaders::plainOddsReadAsTheirTexts_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("plain"); // read from the bytes, not from a text
    QTest::newRow("right-aligned") << u"  12.3"_s << true;
    QTest::newRow("left-aligned") << u"5.0   "_s << true;
    QTest::newRow("six digits") << u"999999"_s << true;
    QTest::newRow("four decimals") << u"0.0001"_s << true;
    QTest::newRow("leading zeros") << u"0012.5"_s << true;
    QTest::newRow("point last") << u" 12.  "_s << false;
    QTest::newRow("point first") << u"  .5  "_s << false;
    QTest::newRow("two numbers") << u"1 2   "_s << false;
    QTest::newRow("two points") << u"1.2.3 "_s << false;
    QTest::newRow("blank") << u"      "_s << false;
    QTest::newRow("negative") << u"-1.0  "_s << false;
    QTest::newRow("exponent") << u"1e5   "_s << false;
    QTest::newRow("full-width") << u"１２．"_s << false;
    QTest::newRow("scratched") << u"ﾄﾘｹｼ"_s << false;
    // Right-aligned with one decimal, the terminal's own shape, is read from
    // its end: the same answers there.
    QTest::newRow("right-aligned, five whole digits") << u"9999.9"_s << true;
    QTest::newRow("right-aligned, below one") << u"   0.5"_s << true;
    QTest::newRow("right-aligned, a space inside") << u" 1 2.3"_s << false;
    QTest::newRow("right-aligned, a sign") << u" -12.3"_s << false;
    QTest::newRow("right-aligned, no whole digit") << u"    .5"_s << false;
    QTest::newRow("right-aligned, a letter before") << u"x 12.3"_s << false;
}

// The byte reading is a shortcut: where it answers, the text's parse must
// give the same float.
void TestPatReaders::plainOddsReadAsTheirTexts()
{
    QFETCH(QString, field);
    QFETCH(bool, plain);
    PatBytes::Header h;
    h.horseCount = QStringLiteral("2");
    const QByteArray bytes = PatBytes::patHeader(h) + PatBytes::raw("00", 2)
        + PatBytes::pairRecord(field, field, field);
    PairOddsTable table;
    QVERIFY(ReadPairOddsFile(write(QStringLiteral("Uo-t.jra"), bytes), table));
    using Odds = PairOddsTable::Odds;
    for (const Odds kind : {Odds::UmaRen, Odds::WideMin, Odds::WideMax}) {
        const std::optional<float> quick = table.plainOdds(1, 2, kind);
        QCOMPARE(quick.has_value(), plain);
        PairOddsTable::OddsBuffer buffer;
        if (quick)
            QCOMPARE(quick, ParseSingle(table.oddsText(1, 2, kind, buffer)));
    }
    // Once texts are written, they alone count.
    table.at(1, 2).UmaRenOdds = u"7.7"_s;
    QVERIFY(!table.plainOdds(1, 2, Odds::UmaRen));

    // The win and place odds take the same shortcut, in float and in double.
    PatText odds;
    odds.setBytes(Cp932::encode(field));
    const std::optional<PlainDecimal> decimal = PlainDecimalOf(odds);
    QCOMPARE(decimal.has_value(), plain);
    if (decimal) {
        QCOMPARE(decimal->single(), OddsNumericValueSingle(TrimSpaces(odds)));
        QCOMPARE(decimal->number(), OddsNumericValue(TrimSpaces(odds)));
        QCOMPARE(std::optional<double>(decimal->number()), ParseNumber(odds.text()));
    }
    odds = field;
    QVERIFY(!PlainDecimalOf(odds));
}

void TestPatReaders::pairOddsNineteenHorsesReadsUpToTheFirstBadPair()
{
    PatBytes::Header h;
    h.horseCount = QStringLiteral("19");
    PairOddsTable table;
    QVERIFY(!ReadPairOddsFile(write(QStringLiteral("Uo-19.jra"), pairFile(h, 19)), table));
    QCOMPARE(table.at(1, 18).UmaRenOdds, QStringLiteral("118   "));
    QCOMPARE(table.at(2, 3).UmaRenOdds, QString(6, u' '));
}

void TestPatReaders::pairOddsFailureBeforeBlankingKeepsTheTable()
{
    PatBytes::Header h;
    h.horseCount = QStringLiteral("3");
    PairOddsTable table;
    QVERIFY(ReadPairOddsFile(write(QStringLiteral("Uo-ok.jra"), pairFile(h, 3)), table));
    MessageRecorder recorder;
    h.formatCode = QStringLiteral("9");
    QVERIFY(!ReadPairOddsFile(write(QStringLiteral("Uo-bad.jra"), pairFile(h, 3)), table));
    QCOMPARE(recorder.messages.size(), 1);
    QCOMPARE(table.at(2, 3).UmaRenOdds, QStringLiteral("203   "));
}

void TestPatReaders::entryFile()
{
    QByteArray bytes = PatBytes::entryHeader(QStringLiteral("1535"), QStringLiteral(" 2"));
    bytes += PatBytes::entryRecord(u16(u"アイウエオカキクケ")); // nine double-byte characters: 18 bytes
    bytes += PatBytes::entryRecord(QStringLiteral("ABC"));
    QCOMPARE(bytes.size(), 92 + 2 * 48);
    EntryData data;
    QVERIFY(ReadEntryFile(write(QStringLiteral("De-1.jra"), bytes + "trailing"), data));
    QCOMPARE(data.Header.StartTime, QStringLiteral("1535"));
    QCOMPARE(data.Header.HorseCount, QStringLiteral(" 2"));
    QCOMPARE(data.Header.Reserved8, u16(u"東京") + QString(26, u' '));
    QCOMPARE(data.Horses[1].HorseName, u16(u"アイウエオカキクケ") + QString(9, u' '));
    QCOMPARE(data.Horses[2].HorseName, QStringLiteral("ABC") + QString(15, u' '));
    QCOMPARE(data.Horses[2].Reserved6, u16(u"キシュ") + QString(15, u' '));
    QCOMPARE(data.Horses[2].Reserved8, QStringLiteral("0480"));
    QCOMPARE(data.Horses[3].HorseName, QString());

    QVERIFY(!ReadEntryFile(write(QStringLiteral("De-2.jra"), bytes.left(bytes.size() - 1)), data));
}

void TestPatReaders::entryHorseCountIndependentAndCapped()
{
    QByteArray bytes = PatBytes::entryHeader(QStringLiteral("0950"), QStringLiteral("19"));
    for (int k = 1; k <= 19; ++k)
        bytes += PatBytes::entryRecord(QStringLiteral("H") + QString::number(k));
    EntryData data;
    QVERIFY(!ReadEntryFile(write(QStringLiteral("De-19.jra"), bytes), data));

    bytes = PatBytes::entryHeader(QStringLiteral("0950"), QStringLiteral("  "));
    QVERIFY(ReadEntryFile(write(QStringLiteral("De-0.jra"), bytes), data));
    QCOMPARE(data.Horses[1].HorseName, QString());
}

void TestPatReaders::resultFile()
{
    const QByteArray bytes = ::resultFile();
    ResultData data;
    QVERIFY(ReadResultFile(write(QStringLiteral("Ks-full.jra"), bytes + "more"), data));
    QCOMPARE(data.Header.Reserved10, u16(u"東京") + QString(26, u' '));
    QCOMPARE(data.Finishers[1].Field1, QStringLiteral("1 "));
    QCOMPARE(data.Finishers[1].Field2, QStringLiteral("3 "));
    QCOMPARE(data.Finishers[1].HorseName, u16(u"ウマ1") + QString(15, u' '));
    QCOMPARE(data.Finishers[7].Field4, QStringLiteral("2.24.1"));
    QCOMPARE(data.Finishers[7].Reserved, QStringLiteral("hidden123456"));
    QCOMPARE(data.Reserved, QStringLiteral("-----"));
    QCOMPARE(data.Tan[1].Combination, QStringLiteral(" 3"));
    QCOMPARE(data.Tan[1].Amount, QStringLiteral("     350"));
    QCOMPARE(data.Tan[3].Amount, QString(8, u' '));
    QCOMPARE(data.Fuku[1].Amount, QStringLiteral("     130"));
    QCOMPARE(data.WakuRen[1].Combination, QStringLiteral(" 2 3"));
    QCOMPARE(data.UmaRen[1].Combination, QStringLiteral(" 3- 4 "));
    QCOMPARE(data.UmaRen[1].Amount, QStringLiteral("    1230"));
    QCOMPARE(data.Wide[1].Combination, QStringLiteral(" 3- 4 "));
    QCOMPARE(data.Wide[3].Combination, QStringLiteral(" 4- 5 "));
    QCOMPARE(data.Wide[3].Amount, QStringLiteral("     880"));
    QCOMPARE(data.Wide[11].Combination, QString(6, u' '));

    QVERIFY(!ReadResultFile(write(QStringLiteral("Ks-short.jra"), bytes.left(686)), data));
}

QTEST_GUILESS_MAIN(TestPatReaders)
#include "test_pat_readers.moc"
