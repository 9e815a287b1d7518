// SPDX-License-Identifier: GPL-3.0-or-later

#include "patdata/folder_index.h"
#include "patdata/pat_files.h"
#include "patdata/race_source.h"
#include "settings/settings_store.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

using namespace CommonFunc;
using namespace Qt::StringLiterals;

class TestPatNames : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString folder() const { return m_dir.path() + u'/'; }
    void touch(const QString &name)
    {
        QFile file(folder() + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

private slots:
    void siblings_data();
    void siblings();
    void siblingFoundIgnoringCase();
    void resultFile_data();
    void resultFile();
    void resultFileFirstInOrdinalOrder();
    void filterAndPattern();
    void wildcard_data();
    void wildcard();
    void listingFindsWhatTheSearchFinds();
    void tablesAgreeWithTheScan();
    void patFolderSource();
    void patFileNames();
};

void TestPatNames::siblings_data()
{
    QTest::addColumn<QString>("odds");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("pairs");
    QTest::newRow("plain") << QStringLiteral("/pat/Zo-0315A.jra") << QStringLiteral("/pat/De-0315A.jra")
                           << QStringLiteral("/pat/Uo-0315A.jra");
    QTest::newRow("lower case marker") << QStringLiteral("/pat/zo-0315a.JRA") << QStringLiteral("/pat/De-0315a.JRA")
                                       << QStringLiteral("/pat/Uo-0315a.JRA");
    QTest::newRow("upper case marker") << QStringLiteral("/pat/ZO-1.jra") << QStringLiteral("/pat/De-1.jra")
                                       << QStringLiteral("/pat/Uo-1.jra");
    // The folder's name plays no part, even when it holds the marker.
    QTest::newRow("folder named zo-") << QStringLiteral("/zo-data/Zo-1.jra") << QStringLiteral("/zo-data/De-1.jra")
                                      << QStringLiteral("/zo-data/Uo-1.jra");
    QTest::newRow("marker inside the name")
        << QStringLiteral("/p/xZo-zo-1") << QStringLiteral("/p/xDe-zo-1") << QStringLiteral("/p/xUo-zo-1");
    QTest::newRow("no marker in the name") << QStringLiteral("/zo-data/race.jra") << QString() << QString();
    QTest::newRow("empty") << QString() << QString() << QString();
    QTest::newRow("relative") << QStringLiteral("Zo-9.jra") << QStringLiteral("De-9.jra") << QStringLiteral("Uo-9.jra");
}

void TestPatNames::siblings()
{
    QFETCH(QString, odds);
    QFETCH(QString, entry);
    QFETCH(QString, pairs);
    QCOMPARE(GetEntryFileName(odds), entry);
    QCOMPARE(GetPairOddsFileName(odds), pairs);
}

void TestPatNames::siblingFoundIgnoringCase()
{
    touch(QStringLiteral("zo-0401b.JRA"));
    touch(QStringLiteral("de-0401b.jra"));
    touch(QStringLiteral("UO-0401B.JRA"));
    const QString odds = folder() + QStringLiteral("zo-0401b.JRA");
    QCOMPARE(GetEntryFileName(odds), folder() + QStringLiteral("de-0401b.jra"));
    QCOMPARE(GetPairOddsFileName(odds), folder() + QStringLiteral("UO-0401B.JRA"));

    // The exact name wins over a case variant.
    touch(QStringLiteral("De-0401b.JRA"));
    QCOMPARE(GetEntryFileName(odds), folder() + QStringLiteral("De-0401b.JRA"));
}

void TestPatNames::resultFile_data()
{
    QTest::addColumn<QString>("existing");
    QTest::addColumn<QString>("odds");
    QTest::addColumn<QString>("found");
    QTest::newRow("two characters after the first")
        << QStringLiteral("Ks-012315A.jra") << QStringLiteral("Zo-0315A.jra") << QStringLiteral("Ks-012315A.jra");
    QTest::newRow("case ignored") << QStringLiteral("ks-0AB315a.JRA") << QStringLiteral("Zo-0315A.jra")
                                  << QStringLiteral("ks-0AB315a.JRA");
    QTest::newRow("one character short") << QStringLiteral("Ks-01315A.jra") << QStringLiteral("Zo-0315A.jra")
                                         << QString();
    QTest::newRow("one character long") << QStringLiteral("Ks-0123315A.jra") << QStringLiteral("Zo-0315A.jra")
                                        << QString();
    QTest::newRow("first character differs")
        << QStringLiteral("Ks-112315A.jra") << QStringLiteral("Zo-0315A.jra") << QString();
    QTest::newRow("nothing after the marker") << QStringLiteral("Ks-xx") << QStringLiteral("Zo-") << QString();
    QTest::newRow("no marker") << QStringLiteral("Ks-012315A.jra") << QStringLiteral("0315A.jra") << QString();
    // Only the two added places match anything.
    QTest::newRow("star in the race's name") << QStringLiteral("Ks-012315A.jra") << QStringLiteral("Zo-0*.jra")
                                             << QString();
    QTest::newRow("question marks in the race's name")
        << QStringLiteral("Ks-0123XYZ.jra") << QStringLiteral("Zo-0???.jra") << QString();
    QTest::newRow("star matches itself") << QStringLiteral("Ks-012*.jra") << QStringLiteral("Zo-0*.jra")
                                         << QStringLiteral("Ks-012*.jra");
}

void TestPatNames::resultFile()
{
    QFETCH(QString, existing);
    QFETCH(QString, odds);
    QFETCH(QString, found);
    QTemporaryDir dir;
    const QString base = dir.path() + u'/';
    QFile file(base + existing);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QCOMPARE(FindResultFile(base + odds), found.isEmpty() ? QString() : base + found);
}

void TestPatNames::resultFileFirstInOrdinalOrder()
{
    QTemporaryDir dir;
    const QString base = dir.path() + u'/';
    QDir(dir.path()).mkdir(QStringLiteral("Ks-000001.jra")); // a folder never counts
    for (const char *name : {"Ks-0zz1.jra", "Ks-0aa1.jra", "Ks-0AB1.jra"}) {
        QFile file(base + QString::fromLatin1(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QCOMPARE(FindResultFile(base + QStringLiteral("Zo-01.jra")), base + QStringLiteral("Ks-0AB1.jra"));
    QCOMPARE(FindResultFile(base + QStringLiteral("Zo-0001.jra")), QString());
}

void TestPatNames::filterAndPattern()
{
    QCOMPARE(GetOddsFileFilter(), QString::fromUtf16(u"単複ｵｯｽﾞﾌｧｲﾙ (Zo-*.jra)|Zo-*.jra"));
    QCOMPARE(GetOddsFilePattern(), QStringLiteral("Zo-*.jra"));
}

void TestPatNames::wildcard_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matches");
    QTest::newRow("star") << QStringLiteral("Zo-0315A.jra") << QStringLiteral("Zo-*.jra") << true;
    QTest::newRow("star empty") << QStringLiteral("Zo-.jra") << QStringLiteral("Zo-*.jra") << true;
    QTest::newRow("case") << QStringLiteral("zo-1.JRA") << QStringLiteral("Zo-*.jra") << true;
    QTest::newRow("wrong ending") << QStringLiteral("Zo-1.jrb") << QStringLiteral("Zo-*.jra") << false;
    QTest::newRow("suffix after ending") << QStringLiteral("Zo-1.jra.bak") << QStringLiteral("Zo-*.jra") << false;
    QTest::newRow("backtracking") << QStringLiteral("Zo-a.jra.jra") << QStringLiteral("Zo-*.jra") << true;
    QTest::newRow("question") << QStringLiteral("Ks-0AB1") << QStringLiteral("Ks-0??1") << true;
    QTest::newRow("question needs one") << QStringLiteral("Ks-0A1") << QStringLiteral("Ks-0??1") << false;
    QTest::newRow("japanese") << QString::fromUtf16(u"Zo-東京.jra") << QStringLiteral("Zo-??.jra") << true;
}

void TestPatNames::wildcard()
{
    QFETCH(QString, name);
    QFETCH(QString, pattern);
    QFETCH(bool, matches);
    QCOMPARE(MatchesWildcard(name, pattern), matches);
}

// A folder listed once must give every race the files a search of its own
// gives: exact names first, other letter cases, the first result in
// ordinal order, names with "ks-" and wildcard characters of their own.
void TestPatNames::listingFindsWhatTheSearchFinds()
{
    QTemporaryDir dir;
    const QString base = dir.path() + u'/';
    const QStringList names {
        u"Zo-0101A.jra"_s,    u"De-0101A.jra"_s,     u"uo-0101a.JRA"_s,     u"Ks-0zz101A.jra"_s,   u"KS-0AA101a.jra"_s,
        u"Zo-0202B.jra"_s,    u"DE-0202B.jra"_s,     u"de-0202B.jra"_s,     u"ks-0xy202B.jra"_s,   u"xks-Zo-1.jra"_s,
        u"Zo-1.jra"_s,        u"Ks-1ab.jra"_s,       u"ks-Zo-1.jra"_s,      u"Zo-0*.jra"_s,        u"Ks-0ab*.jra"_s,
        u"Ks-012345.jra"_s,   u"Zo-0303.jra"_s,      u"Ks-0aa303.jra"_s,    u"Ks-0bb303.jra.bak"_s, u"zo-0404.jra"_s,
    };
    for (const QString &name : names) {
        QFile file(base + name);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QVERIFY(QDir().mkpath(base + u"Uo-0303.jra"_s)); // a folder is no sibling file
    const FolderIndex listing = FolderIndex::of(dir.path(), FolderIndex::Lookups::Many);
    for (const QString &name : names) {
        if (!name.startsWith(u"zo-"_s, Qt::CaseInsensitive))
            continue;
        const RacePaths searched = RacePathsOf(base + name);
        const RacePaths listed = RacePathsIn(listing, name);
        QCOMPARE(listed.odds, searched.odds);
        QCOMPARE(listed.entry, searched.entry);
        QCOMPARE(listed.pairs, searched.pairs);
        QCOMPARE(listed.result, searched.result);
    }
    QCOMPARE(RacePathsIn(listing, u"Zo-0101A.jra"_s).result, base + u"KS-0AA101a.jra"_s);
}

// The sorted tables of a folder of thousands of races must find what a
// scan of its entries finds, for names beyond ASCII and names that are not
// UTF-8 too (whose lookups leave the tables).
void TestPatNames::tablesAgreeWithTheScan()
{
    QTemporaryDir dir;
    const QByteArray base = QFile::encodeName(dir.path()) + '/';
    const QList<QByteArray> names {
        "Zo-0101A.jra",
        "De-0101A.jra",
        "Uo-0101A.jra",
        "Ks-0xy101A.jra",
        "ks-0AB101a.jra",
        "Zo-0202.jra",
        "de-0202.JRA",
        "\xe2\x84\xaaS-0aa202.jra", // KELVIN SIGN folds to k
        "Zo-\xe6\x9d\xb1\xe4\xba\xac.jra",
        "De-\xe6\x9d\xb1\xe4\xba\xac.jra",
        "Ks-\xe6\x9d\xb1xx\xe4\xba\xac.jra",
        "Ks-\xe6\x9d\xb1\xff\xfe\xe4\xba\xac.jra", // not UTF-8: two replacement characters
        "Zo-0303.jra",
        "UO-0303.JRA",
        "uo-0303.jra",
        "Ks-0\xc3\xa9\xc3\xa9"
        "303.jra",
        "Zo-\xff.jra",
        "De-\xff.jra",
        "Zo-0404.jra",
        "Ks-0ks-0404.jra",
        "Ks-0\xf0\x9f\x90\x8e"
        "404.jra",
        "Zo-0505.jra",
        "Ks-0\xef\xbc\xa1\xef\xbc\xa1"
        "505.jra",
        "Ks-0\xf0\x9f\x90\x8e"
        "505.jra",
    };
    for (const QByteArray &name : names) {
        const int fd = ::open((base + name).constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
    }
    const FolderIndex many = FolderIndex::of(dir.path(), FolderIndex::Lookups::Many);
    const FolderIndex few = FolderIndex::of(dir.path());
    QCOMPARE(many.count(), names.size());
    for (int i = 0; i < few.count(); ++i) {
        if (!few.isOddsFile(i) || !few.isRepresentable(i))
            continue;
        const QString name = few.name(i);
        const RacePaths a = RacePathsIn(many, name);
        const RacePaths b = RacePathsIn(few, name);
        QCOMPARE(a.entry, b.entry);
        QCOMPARE(a.pairs, b.pairs);
        QCOMPARE(a.result, b.result);
    }
    const QString folder = few.folder();
    const auto result = [&](const char *odds) { return RacePathsIn(many, QString::fromUtf8(odds)).result; };
    QCOMPARE(result("Zo-0101A.jra"), folder + u"Ks-0xy101A.jra"_s); // "K" sorts before "k"
    QCOMPARE(result("Zo-0202.jra"), folder + QString::fromUtf8("\xe2\x84\xaaS-0aa202.jra"));
    QCOMPARE(RacePathsIn(many, u"Zo-0202.jra"_s).entry, folder + u"de-0202.JRA"_s);
    QCOMPARE(RacePathsIn(many, u"Zo-0303.jra"_s).pairs, folder + u"UO-0303.JRA"_s);
    // Two characters are two UTF-16 units: an emoji is one pair of them.
    QCOMPARE(result("Zo-0303.jra"),
             folder
                 + QString::fromUtf8("Ks-0\xc3\xa9\xc3\xa9"
                                     "303.jra"));
    QCOMPARE(result("Zo-0404.jra"),
             folder
                 + QString::fromUtf8("Ks-0\xf0\x9f\x90\x8e"
                                     "404.jra"));
    // Ordinal order is UTF-16 order: U+FF21 comes after a surrogate pair.
    QCOMPARE(result("Zo-0505.jra"),
             folder
                 + QString::fromUtf8("Ks-0\xf0\x9f\x90\x8e"
                                     "505.jra"));
    // A name that is not UTF-8 is no candidate in the tables; a scan decodes
    // it, and its replacement characters sort after "xx".
    QCOMPARE(result("Zo-\xe6\x9d\xb1\xe4\xba\xac.jra"),
             folder + QString::fromUtf8("Ks-\xe6\x9d\xb1xx\xe4\xba\xac.jra"));
}

// The PAT folder as a race source: its races, their files and the files a
// follower watches, as the naming rules give them.
void TestPatNames::patFolderSource()
{
    QTemporaryDir dir;
    const QString base = dir.path() + u'/';
    for (const QString &name : {u"Zo-0101A.jra"_s, u"de-0101a.jra"_s, u"Ks-0ab101A.jra"_s, u"Zo-x.jrb"_s})
        QVERIFY(QFile(base + name).open(QIODevice::WriteOnly));
    QVERIFY(QDir().mkpath(base + u"Zo-dir.jra"_s));
    const RaceSource &source = PatFolderSource();
    const FolderIndex index = FolderIndex::of(dir.path(), FolderIndex::Lookups::Many);
    QStringList races;
    for (int i = 0; i < index.count(); ++i) {
        if (source.startsRace(index, i))
            races.append(index.name(i));
    }
    QCOMPARE(races, QStringList {u"Zo-0101A.jra"_s});
    const RacePaths files = source.filesOf(index, u"Zo-0101A.jra"_s);
    QCOMPARE(files.entry, base + u"de-0101a.jra"_s);
    QCOMPARE(files.pairs, base + u"Uo-0101A.jra"_s); // not there yet: the name it will have
    QCOMPARE(files.result, base + u"Ks-0ab101A.jra"_s);
    const RacePaths searched = source.filesOf(base + u"Zo-0101A.jra"_s);
    QCOMPARE(searched.entry, files.entry);
    QCOMPARE(searched.result, files.result);
    QCOMPARE(source.filesToFollow(base + u"Zo-0101A.jra"_s),
             (QStringList {base + u"Zo-0101A.jra"_s, files.entry, files.pairs, files.result}));
    QVERIFY(source.isOwnFileName(u"ks-1.JRA"_s));
    QVERIFY(!source.isOwnFileName(u"Zo-1.csv"_s));
}

QTEST_GUILESS_MAIN(TestPatNames)
// The names of race files, as the pattern ^(zo|uo|de|ks)-.*\.jra$ took them
// in any letter case, Unicode's foldings included.
void TestPatNames::patFileNames()
{
    const QRegularExpression pattern(QStringLiteral("^(zo|uo|de|ks)-.*\\.jra$"),
                                     QRegularExpression::CaseInsensitiveOption
                                         | QRegularExpression::DotMatchesEverythingOption);
    const QStringList names = {
        QStringLiteral("Zo-03150611.jra"), QStringLiteral("ks-0315xx0611.JRA"),
        QStringLiteral("Uo-.jra"),         QStringLiteral("DE-a b.Jra"),
        QStringLiteral("De-a\nb.jra"),     QStringLiteral("Zo-1.jr"),
        QStringLiteral("Zo_1.jra"),        QStringLiteral("xZo-1.jra"),
        QStringLiteral("Zo-1.jra.bak"),    QStringLiteral("Zo-jra"),
        QStringLiteral("zo-.jr"),          QString(),
        QStringLiteral(u"\u212As-1.jra"),  QStringLiteral(u"Ko-1.jra"),
        QStringLiteral(u"Zo-1.\u0130ra"),  QStringLiteral(u"ﾂﾞo-1.jra"),
        QStringLiteral(u"Ｚo-1.jra"),      QStringLiteral(u"Zo-1.ｊra"),
    };
    for (const QString &name : names)
        QVERIFY2(IsPatFileName(name) == pattern.match(name).hasMatch(), qPrintable(name));
}

#include "test_pat_names.moc"
