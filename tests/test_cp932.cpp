// SPDX-License-Identifier: GPL-3.0-or-later

#include "patdata/cp932.h"

#include <QTest>

class TestCp932 : public QObject {
    Q_OBJECT

private slots:
    void encode_data();
    void encode();
    void everyDoubleByteCharacterRoundTrips();
    void singleBytesRoundTripExactly();
    void mixedTextRoundTrips();
};

void TestCp932::encode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("ASCII, backslash and tilde kept")
        << QStringLiteral("Az09 ,\"\\~\r\n") << QByteArray("Az09 ,\"\\~\r\n");
    QTest::newRow("program title") << QStringLiteral(u"ミヌクル君Super")
                                   << QByteArray::fromHex("837e836b834e838b8c4e5375706572");
    QTest::newRow("half-width katakana") << QStringLiteral(u"ﾄﾘｹｼ｡ﾟ") << QByteArray::fromHex("c4d8b9bca1df");
    QTest::newRow("ideographic space") << QStringLiteral(u"\u3000") << QByteArray::fromHex("8140");

    // The characters where Windows' table differs from plain Shift-JIS.
    QTest::newRow("fullwidth tilde") << QStringLiteral(u"～") << QByteArray::fromHex("8160");
    QTest::newRow("fullwidth backslash") << QStringLiteral(u"＼") << QByteArray::fromHex("815f");
    QTest::newRow("parallel to") << QStringLiteral(u"∥") << QByteArray::fromHex("8161");
    QTest::newRow("fullwidth hyphen-minus") << QStringLiteral(u"－") << QByteArray::fromHex("817c");
    QTest::newRow("circled one (NEC row 13)") << QStringLiteral(u"①") << QByteArray::fromHex("8740");

    // Characters with several codes: Windows writes JIS before NEC before
    // IBM, and never the NEC-selected IBM rows.
    QTest::newRow("not sign: JIS, not NEC or IBM") << QStringLiteral(u"￢") << QByteArray::fromHex("81ca");
    QTest::newRow("because: JIS") << QStringLiteral(u"∵") << QByteArray::fromHex("81e6");
    QTest::newRow("numero: NEC, not IBM") << QStringLiteral(u"№") << QByteArray::fromHex("8782");
    QTest::newRow("small roman one: IBM, not NEC-selected") << QStringLiteral(u"ⅰ") << QByteArray::fromHex("fa40");
    QTest::newRow("kanji: IBM, not NEC-selected") << QStringLiteral(u"纊") << QByteArray::fromHex("fa5c");

    // No code: one "?" each, and never ICU's 0xFCFC.
    QTest::newRow("cent sign") << QStringLiteral(u"¢") << QByteArray("?");
    QTest::newRow("yen sign") << QStringLiteral(u"¥1") << QByteArray("?1");
    QTest::newRow("wave dash") << QStringLiteral(u"〜") << QByteArray("?");
    QTest::newRow("emoji is one character") << QStringLiteral(u"a😀b") << QByteArray("a?b");
    QTest::newRow("two emoji") << QStringLiteral(u"😀😀") << QByteArray("??");
    QTest::newRow("lone high surrogate") << QString(QChar(0xD83D)) + QStringLiteral("x") << QByteArray("?x");
    QTest::newRow("lone low surrogate") << QString(QChar(0xDE00)) + QStringLiteral(u"君")
                                        << QByteArray::fromHex("3f8c4e");
    QTest::newRow("high surrogate at the end") << QStringLiteral("x") + QString(QChar(0xD83D)) << QByteArray("x?");
    QTest::newRow("replacement character") << QStringLiteral(u"\uFFFD") << QByteArray("?");

    // Runs of ASCII are taken eight at a time: a character beyond ASCII at
    // each place of a run, one whose low byte alone would pass for ASCII
    // (U+0141, no code) and one just past it (U+0080, no code).
    const QString run = QStringLiteral("0123456789abcdefgh");
    for (qsizetype at = 0; at < run.size(); ++at) {
        for (const auto &[c, code] : {std::pair {u'Ł', QByteArray("?")}, std::pair {u'\u0080', QByteArray("?")},
                                      std::pair {u'馬', QByteArray::fromHex("946e")}}) {
            QString text = run;
            text[at] = QChar(c);
            QByteArray bytes = run.toLatin1();
            bytes.replace(at, 1, code);
            QTest::addRow("U+%04X at %d of a run", unsigned(c), int(at)) << text << bytes;
        }
    }
}

void TestCp932::encode()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(Cp932::encode(text), bytes);
}

// Whatever a double-byte code decodes to encodes to a code that decodes to
// the same character (duplicates may pick another of their codes).
void TestCp932::everyDoubleByteCharacterRoundTrips()
{
    int characters = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            const char code[2] = {char(lead), char(trail)};
            const QString decoded = Cp932::decode(QByteArrayView(code, 2));
            if (decoded.size() != 1 || decoded[0] == QChar(0xFFFD))
                continue;
            ++characters;
            const QByteArray encoded = Cp932::encode(decoded);
            if (encoded.size() != 2 || Cp932::decode(encoded) != decoded)
                QFAIL(qPrintable(QStringLiteral("%1%2 (U+%3) encodes to %4")
                                     .arg(lead, 2, 16)
                                     .arg(trail, 2, 16)
                                     .arg(decoded[0].unicode(), 4, 16, QLatin1Char('0'))
                                     .arg(QString::fromLatin1(encoded.toHex()))));
        }
    }
    // JIS X 0208, NEC row 13, the IBM extensions twice and the user area.
    QVERIFY2(characters > 9000, qPrintable(QString::number(characters)));
}

void TestCp932::singleBytesRoundTripExactly()
{
    for (int b = 0; b <= 0xFF; ++b) {
        if (!(b < 0x80 || (b >= 0xA1 && b <= 0xDF)))
            continue;
        const QByteArray byte(1, char(b));
        QCOMPARE(Cp932::encode(Cp932::decode(byte)), byte);
    }
}

void TestCp932::mixedTextRoundTrips()
{
    const QString text = QStringLiteral(u"開催 東京 第 5回  8日,\"ﾄﾘｹｼ\",①～＼纊ⅰ\r\n");
    QCOMPARE(Cp932::decode(Cp932::encode(text)), text);
}

QTEST_GUILESS_MAIN(TestCp932)
#include "test_cp932.moc"
