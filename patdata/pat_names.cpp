// SPDX-License-Identifier: GPL-3.0-or-later

#include "patdata/pat_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace CommonFunc {

namespace {

struct SplitPath {
    QString folder; // with its trailing separator, or ""
    QString name;
};

SplitPath splitPath(const QString &path)
{
    qsizetype cut = path.lastIndexOf(u'/');
#ifdef Q_OS_WIN
    cut = std::max({cut, path.lastIndexOf(u'\\'), path.lastIndexOf(u':')});
#endif
    return {path.left(cut + 1), path.mid(cut + 1)};
}

void sortOrdinal(QStringList &names)
{
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return QString::compare(a, b, Qt::CaseSensitive) < 0; });
}

// Names of the files in a folder (anything but a folder), in ordinal order.
QStringList folderFiles(const QString &folder)
{
    QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    sortOrdinal(names);
    return names;
}

// Whether the raw bytes of a name hold "ks-" in any letter case: only such a
// name can be a result file's, and most names of a PAT folder are not.
bool mayHoldResultMarker(const char *name)
{
    for (const char *p = name; p[0] && p[1] && p[2]; ++p) {
        if ((p[0] | 0x20) == 'k' && (p[1] | 0x20) == 's' && p[2] == '-')
            return true;
    }
    return false;
}

struct SameNameIgnoringCase {
    const QString &name;
    static bool mayHold(const char *) { return true; }
    bool operator()(const QString &candidate) const { return candidate.compare(name, Qt::CaseInsensitive) == 0; }
};

// The same, kept to the names `keep` accepts (keep.mayHold looks at the raw
// bytes first).  A PAT folder holds thousands
// of files; looking at each name once, without building Qt's file
// information for it, keeps a single race's load quick there.
template <typename Keep>
QStringList folderFilesWhere(const QString &folder, Keep keep)
{
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder);
    DIR *dir = ::opendir(path.constData());
    if (!dir)
        return {};
    QStringList names;
    while (const dirent *entry = ::readdir(dir)) {
        if (entry->d_type == DT_DIR)
            continue;
        if (!keep.mayHold(entry->d_name))
            continue;
        const QString name = QFile::decodeName(entry->d_name);
        if (!keep(name))
            continue;
        if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
            // A link to a folder, or a file system that does not say.
            struct stat info {};
            const QByteArray full = path + '/' + entry->d_name;
            if (::stat(full.constData(), &info) == 0 && S_ISDIR(info.st_mode))
                continue;
            if (entry->d_type == DT_UNKNOWN && ::lstat(full.constData(), &info) == 0 && S_ISDIR(info.st_mode))
                continue;
        }
        names.append(name);
    }
    ::closedir(dir);
    sortOrdinal(names);
    return names;
#else
    QStringList names = folderFiles(folder);
    names.removeIf([&](const QString &name) { return !keep(name); });
    return names;
#endif
}


// Where the exact name is missing, an entry that differs from it only in
// case (file names are case-sensitive here, not on the PAT's own platform).
QString resolveNameCase(const QString &path)
{
    if (QFileInfo::exists(path))
        return path;
    const SplitPath parts = splitPath(path);
    const QString found = folderFilesWhere(parts.folder, SameNameIgnoringCase {parts.name}).value(0);
    return found.isEmpty() ? path : parts.folder + found;
}

QString siblingNameOf(const QString &oddsName, const QString &prefix)
{
    const qsizetype at = oddsName.indexOf(u"zo-", 0, Qt::CaseInsensitive);
    if (at < 0)
        return QString();
    return oddsName.left(at) + prefix + oddsName.mid(at + 3);
}

QString siblingName(const QString &oddsPath, const QString &prefix)
{
    const SplitPath parts = splitPath(oddsPath);
    const QString name = siblingNameOf(parts.name, prefix);
    return name.isEmpty() ? name : parts.folder + name;
}

// "Zo-" + c + rest becomes "Ks-" + c + two characters + rest.  Only those two
// match anything: a "*" or "?" in the race's own name is itself.
struct ResultPattern {
    QString head;
    QString tail;
    bool valid = false;

    explicit ResultPattern(const QString &oddsName)
    {
        const qsizetype at = oddsName.indexOf(u"zo-", 0, Qt::CaseInsensitive);
        if (at < 0 || at + 3 >= oddsName.size())
            return;
        head = oddsName.left(at) + QStringLiteral("Ks-") + oddsName.at(at + 3);
        tail = oddsName.mid(at + 4);
        valid = true;
    }

    bool matches(const QString &name) const
    {
        return name.size() == head.size() + 2 + tail.size() && name.startsWith(head, Qt::CaseInsensitive)
            && name.endsWith(tail, Qt::CaseInsensitive);
    }

    // The first match in the ordered names; "" when none.
    QString firstIn(const QStringList &names) const
    {
        if (valid) {
            for (const QString &name : names) {
                if (matches(name))
                    return name;
            }
        }
        return QString();
    }
};

struct ResultNameOf {
    const ResultPattern &pattern;
    static bool mayHold(const char *name) { return mayHoldResultMarker(name); }
    bool operator()(const QString &candidate) const { return pattern.matches(candidate); }
};

bool matchFrom(QStringView name, QStringView pattern)
{
    // Iterative matcher with one back-track point for the last "*".
    qsizetype n = 0;
    qsizetype p = 0;
    qsizetype starP = -1;
    qsizetype starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size()
                   && (pattern[p] == u'?'
                       || QStringView(name).mid(n, 1).compare(pattern.mid(p, 1), Qt::CaseInsensitive) == 0)) {
            ++n;
            ++p;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

} // namespace

QString GetEntryFileName(const QString &oddsPath)
{
    const QString derived = siblingName(oddsPath, QStringLiteral("De-"));
    return derived.isEmpty() ? derived : resolveNameCase(derived);
}

QString GetPairOddsFileName(const QString &oddsPath)
{
    const QString derived = siblingName(oddsPath, QStringLiteral("Uo-"));
    return derived.isEmpty() ? derived : resolveNameCase(derived);
}

QString FindResultFile(const QString &oddsPath)
{
    const SplitPath parts = splitPath(oddsPath);
    const ResultPattern pattern(parts.name);
    if (!pattern.valid)
        return QString();
    const QString found = folderFilesWhere(parts.folder, ResultNameOf {pattern}).value(0);
    return found.isEmpty() ? found : parts.folder + found;
}

RacePaths RacePathsOf(const QString &oddsPath)
{
    return {oddsPath, GetEntryFileName(oddsPath), GetPairOddsFileName(oddsPath), FindResultFile(oddsPath)};
}

bool IsFileNameOfRace(const QString &oddsName, const QString &name)
{
    if (name == oddsName)
        return true;
    for (const QString &prefix : {QStringLiteral("De-"), QStringLiteral("Uo-")}) {
        const QString sibling = siblingNameOf(oddsName, prefix);
        if (!sibling.isEmpty() && sibling.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    }
    const ResultPattern result(oddsName);
    return result.valid && result.matches(name);
}

FolderListing FolderListing::of(const QString &folder)
{
    FolderListing listing;
    listing.folder = folder;
    if (!listing.folder.isEmpty() && !listing.folder.endsWith(u'/'))
        listing.folder += u'/';
    listing.files = folderFiles(listing.folder);
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    const QStringList entries =
        dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    listing.entries = QSet<QString>(entries.begin(), entries.end());
    for (const QString &name : std::as_const(listing.files)) {
        const QString folded = name.toCaseFolded();
        if (!listing.byFoldedName.contains(folded))
            listing.byFoldedName.insert(folded, name);
        // Every "ks-" in the name may be the one a race's pattern puts there.
        for (qsizetype at = folded.indexOf(u"ks-"); at >= 0 && at + 6 <= folded.size();
             at = folded.indexOf(u"ks-", at + 1))
            listing.resultsByKey[folded.left(at + 4) + folded.mid(at + 6)].append(name);
    }
    return listing;
}

RacePaths RacePathsIn(const FolderListing &listing, const QString &oddsName)
{
    // The rules of GetEntryFileName, GetPairOddsFileName and FindResultFile,
    // answered from the listing's indexes.
    const auto sibling = [&](const QString &prefix) {
        const QString name = siblingNameOf(oddsName, prefix);
        if (name.isEmpty())
            return name;
        if (listing.entries.contains(name))
            return listing.folder + name;
        return listing.folder + listing.byFoldedName.value(name.toCaseFolded(), name);
    };
    const ResultPattern pattern(oddsName);
    const QString result = pattern.valid
        ? pattern.firstIn(listing.resultsByKey.value((pattern.head + pattern.tail).toCaseFolded()))
        : QString();
    return {listing.folder + oddsName, sibling(QStringLiteral("De-")), sibling(QStringLiteral("Uo-")),
            result.isEmpty() ? result : listing.folder + result};
}

QString GetOddsFileFilter() { return QStringLiteral(u"単複ｵｯｽﾞﾌｧｲﾙ (Zo-*.jra)|Zo-*.jra"); }

QString GetOddsFilePattern() { return QStringLiteral("Zo-*.jra"); }

bool MatchesWildcard(const QString &name, const QString &pattern) { return matchFrom(name, pattern); }

bool IsPatFileName(const QString &fileName)
{
    static const QRegularExpression name(QStringLiteral("^(zo|uo|de|ks)-.*\\.jra$"),
                                         QRegularExpression::CaseInsensitiveOption
                                             | QRegularExpression::DotMatchesEverythingOption);
    return name.match(fileName).hasMatch();
}

} // namespace CommonFunc
