// SPDX-License-Identifier: GPL-3.0-or-later

#include "patdata/pat_files.h"
#include "tools/racegen/pat_writer.h"

#include <QTest>

using namespace CommonFunc;
using namespace RaceGen;

class TestPatWriter : public QObject {
    Q_OBJECT

private slots:
    void field_data();
    void field();
    void fitField_data();
    void fitField();

    void fileSizes_data();
    void fileSizes();
    void fieldOffsets();
};

void TestPatWriter::field_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<QByteArray>("hex");

    QTest::newRow("ascii padded") << QStringLiteral("AB") << 5 << QByteArray("4142202020");
    QTest::newRow("empty") << QString() << 3 << QByteArray("202020");
    QTest::newRow("ascii cut") << QStringLiteral("ABCDEFG") << 4 << QByteArray("41424344");
    QTest::newRow("scratched marker") << QStringLiteral(u"ﾄﾘｹｼ") << 5 << QByteArray("c4d8b9bc20");
    QTest::newRow("two kanji exactly") << QStringLiteral(u"東京") << 4 << QByteArray("938c8b9e");
    QTest::newRow("no half character") << QStringLiteral(u"東京") << 3 << QByteArray("938c20");
    QTest::newRow("cut after kanji") << QStringLiteral(u"東京都") << 5 << QByteArray("938c8b9e20");
    QTest::newRow("mixed widths") << QStringLiteral(u"ab東") << 3 << QByteArray("616220");
    QTest::newRow("long vowel mark") << QStringLiteral(u"ルー") << 4 << QByteArray("838b815b");
    // Code page 932, not plain Shift-JIS: its own mappings and extensions.
    QTest::newRow("full-width tilde") << QStringLiteral(u"～") << 2 << QByteArray("8160");
    QTest::newRow("circled digit") << QStringLiteral(u"①") << 2 << QByteArray("8740");
    QTest::newRow("not encodable") << QStringLiteral(u"é") << 2 << QByteArray("3f20");
    QTest::newRow("surrogate pair") << QStringLiteral(u"\U0001F40E") << 3 << QByteArray("3f2020");
}

void TestPatWriter::field()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(QByteArray, hex);
    const QByteArray bytes = PatField(text, width);
    QCOMPARE(bytes.size(), width);
    QCOMPARE(bytes.toHex(), hex);
}

void TestPatWriter::fitField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("expected");

    // What a reader makes of the field: one character per decoded
    // character, padded to as many characters as the field has bytes.
    QTest::newRow("kanji") << QStringLiteral(u"東京") << 4 << QStringLiteral(u"東京  ");
    QTest::newRow("kanji cut") << QStringLiteral(u"東京") << 3 << QStringLiteral(u"東  ");
    QTest::newRow("nine katakana") << QStringLiteral(u"オーシャンゴールド") << 18
                                   << QStringLiteral(u"オーシャンゴールド         ");
    QTest::newRow("half-width") << QStringLiteral(u"ﾄﾘｹｼ") << 6 << QStringLiteral(u"ﾄﾘｹｼ  ");
    QTest::newRow("right-aligned number") << QStringLiteral("  2.5") << 5 << QStringLiteral("  2.5");
}

void TestPatWriter::fitField()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(QString, expected);
    QCOMPARE(FitField(text, width), expected);
}

void TestPatWriter::fileSizes_data()
{
    QTest::addColumn<QString>("horseCount");
    QTest::addColumn<int>("n");

    QTest::newRow("blank") << QStringLiteral("  ") << 0;
    QTest::newRow("two") << QStringLiteral(" 2") << 2;
    QTest::newRow("nine") << QStringLiteral(" 9") << 9;
    QTest::newRow("eighteen") << QStringLiteral("18") << 18;
    QTest::newRow("above eighteen writes eighteen") << QStringLiteral("19") << 18;
}

void TestPatWriter::fileSizes()
{
    QFETCH(QString, horseCount);
    QFETCH(int, n);

    // Records left empty still take their full width.
    TanFukuOddsData tanFuku;
    tanFuku.Header.HorseCount = horseCount;
    QCOMPARE(TanFukuOddsFileBytes(tanFuku).size(), 142 + 18 * n);

    PairOddsTable pairs;
    pairs.Header.HorseCount = horseCount;
    QCOMPARE(PairOddsFileBytes(pairs).size(), 144 + 25 * n * (n - 1) / 2);

    EntryData entry;
    entry.Header.HorseCount = horseCount;
    QCOMPARE(EntryFileBytes(entry).size(), 92 + 48 * n);

    QCOMPARE(ResultFileBytes(ResultData()).size(), 687);
}

void TestPatWriter::fieldOffsets()
{
    // Offsets counted from the record layouts, not from the writer's tables.
    TanFukuOddsData tanFuku;
    tanFuku.Header.Course = QStringLiteral(u"中山");
    tanFuku.Header.FormatCode = QStringLiteral("3");
    tanFuku.Header.HorseCount = QStringLiteral(" 3");
    tanFuku.Odds[2].TanOdds = QStringLiteral(u"ﾄﾘｹｼ");
    tanFuku.Odds[3].FukuOddsMax = QStringLiteral("123.4");
    const QByteArray odds = TanFukuOddsFileBytes(tanFuku);
    QCOMPARE(odds.mid(28, 4).toHex(), QByteArray("92868e52"));
    QCOMPARE(odds.mid(43, 1), QByteArray("3"));
    QCOMPARE(odds.mid(140, 2), QByteArray(" 3"));
    QCOMPARE(odds.mid(142 + 18 + 3, 5).toHex(), QByteArray("c4d8b9bc20"));
    QCOMPARE(odds.mid(142 + 36 + 13, 5), QByteArray("123.4"));

    PairOddsTable pairs;
    pairs.Header.HorseCount = QStringLiteral(" 4");
    pairs.Reserved = QStringLiteral("01");
    pairs.at(2, 3).UmaRenOdds = QStringLiteral("  45.6");
    pairs.at(3, 4).WideOddsMax = QStringLiteral("9999.9");
    const QByteArray pairBytes = PairOddsFileBytes(pairs);
    QCOMPARE(pairBytes.mid(142, 2), QByteArray("01"));
    // (2, 3) is the fourth record: (1,2), (1,3), (1,4), (2,3).
    QCOMPARE(pairBytes.mid(144 + 3 * 25 + 7, 6), QByteArray("  45.6"));
    QCOMPARE(pairBytes.mid(144 + 5 * 25 + 19, 6), QByteArray("9999.9"));

    EntryData entry;
    entry.Header.StartTime = QStringLiteral("1535");
    entry.Header.HorseCount = QStringLiteral(" 2");
    entry.Horses[2].HorseName = QStringLiteral(u"サクラ");
    const QByteArray entryBytes = EntryFileBytes(entry);
    QCOMPARE(entryBytes.mid(22, 4), QByteArray("1535"));
    QCOMPARE(entryBytes.mid(90, 2), QByteArray(" 2"));
    QCOMPARE(entryBytes.mid(92 + 48 + 6, 18).toHex(), QByteArray("8354834e8389") + QByteArray(12, ' ').toHex());

    ResultData result;
    result.Finishers[2].HorseName = QStringLiteral("NAME");
    result.Finishers[7].Field4 = QStringLiteral("1:34.5");
    result.Tan[1].Amount = QStringLiteral("     250");
    result.WakuRen[1].Combination = QStringLiteral("3-7");
    result.UmaRen[1].Combination = QStringLiteral(" 3-11");
    result.Wide[1].Combination = QStringLiteral(" 1- 2");
    result.Wide[11].Amount = QStringLiteral("12345678");
    const QByteArray resultBytes = ResultFileBytes(result);
    QCOMPARE(resultBytes.mid(90 + 40 + 4, 4), QByteArray("NAME"));
    QCOMPARE(resultBytes.mid(90 + 6 * 40 + 22, 6), QByteArray("1:34.5"));
    QCOMPARE(resultBytes.mid(375 + 2, 8), QByteArray("     250"));
    QCOMPARE(resultBytes.mid(455, 4), QByteArray("3-7 "));
    QCOMPARE(resultBytes.mid(491, 6), QByteArray(" 3-11 "));
    QCOMPARE(resultBytes.mid(533, 6), QByteArray(" 1- 2 "));
    QCOMPARE(resultBytes.mid(687 - 8, 8), QByteArray("12345678"));
}

QTEST_GUILESS_MAIN(TestPatWriter)
#include "test_pat_writer.moc"
