// SPDX-License-Identifier: GPL-3.0-or-later

#include "patdata/file_list.h"

#include "support/message_recorder.h"
#include "support/pat_bytes.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace CommonFunc;

namespace {

PatBytes::Header race(const QString &course, const QString &kai, const QString &nichi, const QString &raceNo)
{
    PatBytes::Header h;
    h.course = course;
    h.kai = kai;
    h.nichi = nichi;
    h.raceNo = raceNo;
    return h;
}

// Course, meeting and race of each row, joined for easy comparison.
QStringList raceKeys(const QList<FileListRow> &rows)
{
    QStringList keys;
    for (const FileListRow &row : rows)
        keys.append(row.cells[1].trimmed() + u'|' + row.cells[2] + u'|' + row.cells[3]);
    return keys;
}

QStringList fileNames(const QList<FileListRow> &rows)
{
    QStringList names;
    for (const FileListRow &row : rows)
        names.append(row.cells[7]);
    names.sort();
    return names;
}

} // namespace

class TestFileList : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_folder;

    bool write(const QString &name, const QByteArray &bytes) { return PatBytes::write(m_folder + u'/' + name, bytes); }
    bool writeRace(const QString &name, const PatBytes::Header &h) { return write(name, PatBytes::patHeader(h)); }
    QStringList listingOrder() const { return QDir(m_folder).entryList(QDir::Files, QDir::Unsorted); }

private slots:
    void init();
    void cleanup();
    void columns();
    void kaisai_data();
    void kaisai();
    void cellsOfOneFile();
    void sortOrder();
    void numericKeysCompareByValue();
    void numberedAfterSorting();
    void progressReported();
    void whichNamesAreListed();
    void unreadableFilesAreSkipped();
    void formatMessageOncePerListing();
    void noRows_data();
    void noRows();
    void folderWithOrWithoutSeparator();
};

void TestFileList::init()
{
    // A fresh folder per test: the listing takes the whole folder.
    QVERIFY(m_dir.isValid());
    m_folder = m_dir.path() + QStringLiteral("/case");
    QVERIFY(QDir().mkpath(m_folder));
}

void TestFileList::cleanup() { QDir(m_folder).removeRecursively(); }

void TestFileList::columns()
{
    const auto columns = FileListColumns();
    QStringList headings;
    QList<int> widths;
    for (const FileListColumn &c : columns) {
        headings.append(c.heading);
        widths.append(c.widthTwips);
    }
    QCOMPARE(headings,
             (QStringList {QStringLiteral("No"), QStringLiteral(u"場名"), QStringLiteral(u"開催"),
                           QStringLiteral(u"ﾚｰｽ"), QStringLiteral(u"ﾚｰｽ名"), QStringLiteral(u"頭数"),
                           QStringLiteral(u"条件"), QStringLiteral(u"ﾌｧｲﾙ名")}));
    QCOMPARE(widths, (QList<int> {400, 700, 1000, 600, 2000, 450, 2200, 1500}));
}

void TestFileList::kaisai_data()
{
    QTest::addColumn<QString>("kai");
    QTest::addColumn<QString>("nichi");
    QTest::addColumn<QString>("expected");
    QTest::newRow("padded") << QStringLiteral(" 3") << QStringLiteral(" 5") << QStringLiteral(u"第3回 5日");
    QTest::newRow("two digits") << QStringLiteral("10") << QStringLiteral("12") << QStringLiteral(u"第10回 12日");
    QTest::newRow("leading zero") << QStringLiteral("03") << QStringLiteral("5 ") << QStringLiteral(u"第3回 5日");
    QTest::newRow("blank counts 0") << QStringLiteral("  ") << QStringLiteral("") << QStringLiteral(u"第0回 0日");
    QTest::newRow("half rounds up") << QStringLiteral("2.5") << QStringLiteral(".4") << QStringLiteral(u"第3回 0日");
    QTest::newRow("negative") << QStringLiteral("-2") << QStringLiteral("-.2") << QStringLiteral(u"第-2回 0日");
    QTest::newRow("text kept") << QStringLiteral(" A") << QStringLiteral(u"ｱ ") << QStringLiteral(u"第A回 ｱ日");
    QTest::newRow("full-width digit is text")
        << QStringLiteral(u"３") << QStringLiteral("1") << QStringLiteral(u"第３回 1日");
}

void TestFileList::kaisai()
{
    QFETCH(QString, kai);
    QFETCH(QString, nichi);
    QFETCH(QString, expected);
    QCOMPARE(FormatKaisai(kai, nichi), expected);
}

void TestFileList::cellsOfOneFile()
{
    PatBytes::Header h;
    h.course = QStringLiteral(u"ﾄｳｷ");
    h.kai = QStringLiteral(" 3");
    h.nichi = QStringLiteral(" 5");
    h.raceNo = QStringLiteral(" 9");
    h.formatCode = QStringLiteral("2");
    h.raceName = QStringLiteral(u"ジャパンカップ");
    h.conditions = QStringLiteral(u"３歳以上");
    h.horseCount = QStringLiteral(" 9");
    QVERIFY(writeRace(QStringLiteral("Zo-0315A.jra"), h));

    MessageRecorder messages;
    const QList<FileListRow> rows = BuildFileList(m_folder);
    QCOMPARE(rows.size(), 1);
    const FileListRow &row = rows.first();
    QCOMPARE(row.cells[0], QStringLiteral("1"));
    QCOMPARE(row.cells[1], QStringLiteral(u"ﾄｳｷ "));
    QCOMPARE(row.cells[2], QStringLiteral(u"第3回 5日"));
    QCOMPARE(row.cells[3], QStringLiteral("9R"));
    QCOMPARE(row.cells[4], QStringLiteral(u"ジャパンカップ") + QString(21, u' '));
    QCOMPARE(row.cells[5], QStringLiteral(" 9"));
    QCOMPARE(row.cells[6], QStringLiteral(u"３歳以上") + QString(60, u' '));
    QCOMPARE(row.cells[7], QStringLiteral("Zo-0315A.jra"));
    QVERIFY(messages.messages.isEmpty());
}

void TestFileList::sortOrder()
{
    // Written in scrambled order; the folder's own order must not matter.
    const QString tokyo = QStringLiteral(u"東京");
    const QString nakayama = QStringLiteral(u"中山");
    const QString kyoto = QStringLiteral(u"京都");
    QVERIFY(writeRace(QStringLiteral("Zo-01.jra"),
                      race(tokyo, QStringLiteral(" 5"), QStringLiteral(" 2"), QStringLiteral(" 1"))));
    QVERIFY(writeRace(QStringLiteral("Zo-02.jra"),
                      race(tokyo, QStringLiteral(" 5"), QStringLiteral(" 1"), QStringLiteral(" 2"))));
    QVERIFY(writeRace(QStringLiteral("Zo-03.jra"),
                      race(tokyo, QStringLiteral(" 5"), QStringLiteral(" 1"), QStringLiteral("12"))));
    QVERIFY(writeRace(QStringLiteral("Zo-04.jra"),
                      race(kyoto, QStringLiteral(" 4"), QStringLiteral(" 8"), QStringLiteral(" 1"))));
    QVERIFY(writeRace(QStringLiteral("Zo-05.jra"),
                      race(tokyo, QStringLiteral(" 5"), QStringLiteral(" 1"), QStringLiteral(" 1"))));
    QVERIFY(writeRace(QStringLiteral("Zo-06.jra"),
                      race(tokyo, QStringLiteral(" 5"), QStringLiteral(" 1"), QStringLiteral("10"))));
    QVERIFY(writeRace(QStringLiteral("Zo-07.jra"),
                      race(nakayama, QStringLiteral(" 5"), QStringLiteral(" 1"), QStringLiteral(" 3"))));
    QVERIFY(writeRace(QStringLiteral("Zo-08.jra"),
                      race(tokyo, QStringLiteral(" 5"), QStringLiteral(" 1"), QStringLiteral("11"))));
    QVERIFY(writeRace(QStringLiteral("Zo-09.jra"),
                      race(tokyo, QStringLiteral(" 4"), QStringLiteral("12"), QStringLiteral(" 1"))));
    QVERIFY(writeRace(QStringLiteral("Zo-10.jra"),
                      race(tokyo, QStringLiteral(" 4"), QStringLiteral(" 9"), QStringLiteral(" 1"))));

    // Courses and meetings are ordinal text too: 中 < 京 < 東, "12日" < "9日".
    const QStringList expected {
        QStringLiteral(u"中山|第5回 1日|3R"),  QStringLiteral(u"京都|第4回 8日|1R"),
        QStringLiteral(u"東京|第4回 12日|1R"), QStringLiteral(u"東京|第4回 9日|1R"),
        QStringLiteral(u"東京|第5回 1日|10R"), QStringLiteral(u"東京|第5回 1日|11R"),
        QStringLiteral(u"東京|第5回 1日|12R"), QStringLiteral(u"東京|第5回 1日|1R"),
        QStringLiteral(u"東京|第5回 1日|2R"),  QStringLiteral(u"東京|第5回 2日|1R"),
    };
    QCOMPARE(raceKeys(BuildFileList(m_folder)), expected);
}

void TestFileList::numericKeysCompareByValue()
{
    // Course texts that are numbers sort by value, "9" before "12"; against
    // a name they compare as text.
    QVERIFY(writeRace(QStringLiteral("Zo-a.jra"),
                      race(QStringLiteral("12"), QStringLiteral(" 1"), QStringLiteral(" 1"), QStringLiteral(" 1"))));
    QVERIFY(writeRace(QStringLiteral("Zo-b.jra"),
                      race(QStringLiteral("9"), QStringLiteral(" 1"), QStringLiteral(" 1"), QStringLiteral(" 1"))));
    QVERIFY(writeRace(QStringLiteral("Zo-c.jra"),
                      race(QStringLiteral(u"東京"), QStringLiteral(" 1"), QStringLiteral(" 1"), QStringLiteral(" 1"))));
    QVERIFY(writeRace(QStringLiteral("Zo-d.jra"),
                      race(QStringLiteral("1.5"), QStringLiteral(" 1"), QStringLiteral(" 1"), QStringLiteral(" 1"))));
    const QList<FileListRow> rows = BuildFileList(m_folder);
    QStringList courses;
    for (const FileListRow &row : rows)
        courses.append(row.cells[1]);
    QCOMPARE(courses,
             (QStringList {QStringLiteral("1.5 "), QStringLiteral("9   "), QStringLiteral("12  "),
                           QStringLiteral(u"東京  ")}));
}

void TestFileList::numberedAfterSorting()
{
    for (int i = 12; i >= 1; --i) {
        QVERIFY(writeRace(QStringLiteral("Zo-%1.jra").arg(i),
                          race(QStringLiteral(u"東京"), QStringLiteral(" 5"), QStringLiteral(" 1"),
                               QStringLiteral("%1").arg(i, 2))));
    }
    const QList<FileListRow> rows = BuildFileList(m_folder);
    QCOMPARE(rows.size(), 12);
    for (qsizetype i = 0; i < rows.size(); ++i)
        QCOMPARE(rows[i].cells[0], QString::number(i + 1));
    QCOMPARE(rows.first().cells[3], QStringLiteral("10R"));
    QCOMPARE(rows.last().cells[3], QStringLiteral("9R"));
}

void TestFileList::progressReported()
{
    for (int i = 1; i <= 150; ++i)
        QVERIFY(writeRace(QStringLiteral("Zo-%1.jra").arg(i),
                          race(QStringLiteral(u"東京"), QStringLiteral(" 5"), QStringLiteral(" 1"),
                               QString::number(i % 12 + 1))));
    QList<int> calls;
    const QList<FileListRow> rows = BuildFileList(m_folder, [&](int seen) { calls.append(seen); });
    QCOMPARE(rows.size(), 150);
    QCOMPARE(calls, QList<int>({64, 128}));
}

void TestFileList::whichNamesAreListed()
{
    const PatBytes::Header h;
    for (const char *name : {"Zo-1.jra", "zo-2.JRA", "ZO-3.Jra", "Zo-.jra"})
        QVERIFY(writeRace(QString::fromLatin1(name), h));
    for (const char *name : {"Uo-1.jra", "De-1.jra", "xZo-1.jra", "Zo-1.jra.bak", "Zo-1.jrb", "Zo1.jra", ".Zo-1.jra"})
        QVERIFY(writeRace(QString::fromLatin1(name), h));
    QVERIFY(QDir(m_folder).mkdir(QStringLiteral("Zo-x.jra")));
    QVERIFY(writeRace(QStringLiteral("Zo-x.jra/Zo-4.jra"), h));

    MessageRecorder messages;
    QCOMPARE(fileNames(BuildFileList(m_folder)),
             (QStringList {QStringLiteral("ZO-3.Jra"), QStringLiteral("Zo-.jra"), QStringLiteral("Zo-1.jra"),
                           QStringLiteral("zo-2.JRA")}));
    QVERIFY(messages.messages.isEmpty());
}

void TestFileList::unreadableFilesAreSkipped()
{
    const PatBytes::Header h;
    for (int i = 1; i <= 9; ++i)
        QVERIFY(writeRace(QStringLiteral("Zo-%1.jra").arg(i), h));
    // Spoil files in the middle of the folder's own order (rewriting a file
    // keeps its place there), so that files come after them.
    QStringList order = listingOrder();
    QCOMPARE(order.size(), 9);
    QVERIFY(write(order[2], PatBytes::patHeader(h).left(141)));
    QVERIFY(write(order[4], QByteArray()));
    QVERIFY(QFile::remove(m_folder + u'/' + order[6]));
    QVERIFY(QDir(m_folder).mkdir(order[6]));
    QStringList good = order;
    good.removeAt(6);
    good.removeAt(4);
    good.removeAt(2);
    good.sort();

    MessageRecorder messages;
    QCOMPARE(fileNames(BuildFileList(m_folder)), good);
    QVERIFY(messages.messages.isEmpty());
}

void TestFileList::formatMessageOncePerListing()
{
    PatBytes::Header h;
    for (int i = 1; i <= 5; ++i)
        QVERIFY(writeRace(QStringLiteral("Zo-%1.jra").arg(i), h));
    const QStringList order = listingOrder();
    QCOMPARE(order.size(), 5);
    h.formatCode = QStringLiteral("1");
    QVERIFY(writeRace(order[1], h));
    h.formatCode = QStringLiteral("A");
    QVERIFY(writeRace(order[3], h));
    QStringList good {order[0], order[2], order[4]};
    good.sort();

    MessageRecorder messages;
    QCOMPARE(fileNames(BuildFileList(m_folder)), good);
    QCOMPARE(messages.texts(), QStringList {Messages::formatMismatchText()});
    QCOMPARE(messages.messages.first().kind, Messages::Kind::Notice);
    QCOMPARE(messages.messages.first().title, Messages::programTitle());

    // The next listing tells the user again, and the filter is gone after it.
    BuildFileList(m_folder);
    QCOMPARE(messages.messages.size(), 2);
    Messages::notice(Messages::formatMismatchText());
    QCOMPARE(messages.messages.size(), 3);
}

void TestFileList::noRows_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("empty folder") << QString();
    QTest::newRow("missing folder") << QStringLiteral("/missing");
    QTest::newRow("no folder name") << QStringLiteral("<none>");
    QTest::newRow("a file, not a folder") << QStringLiteral("/Zo-1.jra");
}

void TestFileList::noRows()
{
    QFETCH(QString, folder);
    // A race file next to the folder under test must not leak in.
    QVERIFY(PatBytes::write(m_dir.path() + QStringLiteral("/Zo-1.jra"), PatBytes::patHeader(PatBytes::Header())));
    QString path = m_folder + folder;
    if (folder == u"<none>")
        path.clear();
    else if (folder == u"/Zo-1.jra")
        path = m_dir.path() + folder;
    MessageRecorder messages;
    QVERIFY(BuildFileList(path).isEmpty());
    QVERIFY(messages.messages.isEmpty());
}

void TestFileList::folderWithOrWithoutSeparator()
{
    QVERIFY(writeRace(QStringLiteral("Zo-1.jra"), PatBytes::Header()));
    const QList<FileListRow> plain = BuildFileList(m_folder);
    const QList<FileListRow> withSeparator = BuildFileList(m_folder + u'/');
    QCOMPARE(plain.size(), 1);
    QCOMPARE(withSeparator.size(), 1);
    QCOMPARE(withSeparator.first().cells, plain.first().cells);
    QCOMPARE(plain.first().cells[7], QStringLiteral("Zo-1.jra"));
}

QTEST_GUILESS_MAIN(TestFileList)
#include "test_file_list.moc"
