// SPDX-License-Identifier: GPL-3.0-or-later

#include "patdata/pat_files.h"

#include "patdata/folder_index.h"

#include <algorithm>

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

QString siblingNameOf(const QString &oddsName, const QString &prefix)
{
    const qsizetype at = oddsName.indexOf(u"zo-", 0, Qt::CaseInsensitive);
    if (at < 0)
        return QString();
    return oddsName.left(at) + prefix + oddsName.mid(at + 3);
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
};

// The names a race's files may have, derived once from its odds file's name.
struct RaceFileNames {
    QString entry; // "De-" + rest, or "" without the marker
    QString pairs; // "Uo-" + rest
    ResultPattern result;

    explicit RaceFileNames(const QString &oddsName)
        : entry(siblingNameOf(oddsName, QStringLiteral("De-")))
        , pairs(siblingNameOf(oddsName, QStringLiteral("Uo-")))
        , result(oddsName)
    {
    }
};

// The sibling's name where the folder has it, else the name derived: the
// exact name first, then the first file that differs from it only in case
// (file names are case-sensitive here, not on the PAT's own platform).
QString siblingIn(const FolderIndex &index, const QString &name)
{
    if (name.isEmpty())
        return name;
    if (index.contains(name))
        return index.folder() + name;
    const int found = index.fileIgnoringCase(name);
    return index.folder() + (found < 0 ? name : index.name(found));
}

QString siblingIn(const FolderIndex &index, const QString &oddsName, const QString &prefix)
{
    return siblingIn(index, siblingNameOf(oddsName, prefix));
}

QString resultIn(const FolderIndex &index, const ResultPattern &pattern)
{
    if (!pattern.valid)
        return QString();
    const int found = index.fileWithTwoBetween(pattern.head, pattern.tail);
    return found < 0 ? QString() : index.folder() + index.name(found);
}

RacePaths racePathsIn(const FolderIndex &index, const QString &oddsName, const RaceFileNames &names)
{
    return {index.folder() + oddsName, siblingIn(index, names.entry), siblingIn(index, names.pairs),
            resultIn(index, names.result), QString()};
}

// A cheap test on raw names for one race's search: false only for a name
// that can be none of the race's files (an ASCII name that differs from each
// of them in more than case); a name beyond ASCII is left to the lookups.
FolderIndex::Keep mayBeFileOf(const QString &oddsName, const RaceFileNames &names)
{
    const auto ascii = [](const QString &text) {
        return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    };
    if (!ascii(oddsName))
        return {};
    // An ASCII byte and an ASCII character, alike but for case.
    const auto same = [](QByteArrayView a, QStringView b) {
        if (a.size() != b.size())
            return false;
        const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c; };
        for (qsizetype k = 0; k < a.size(); ++k) {
            if (lower(char16_t(uchar(a[k]))) != lower(b[k].unicode()))
                return false;
        }
        return true;
    };
    return [&names, same](QByteArrayView name) {
        for (const char c : name) {
            if (static_cast<unsigned char>(c) >= 0x80)
                return true;
        }
        if (same(name, names.entry) || same(name, names.pairs))
            return true;
        const ResultPattern &result = names.result;
        return result.valid && name.size() == result.head.size() + 2 + result.tail.size()
            && same(name.first(result.head.size()), result.head) && same(name.last(result.tail.size()), result.tail);
    };
}

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
    const SplitPath parts = splitPath(oddsPath);
    return siblingIn(FolderIndex::of(parts.folder), parts.name, QStringLiteral("De-"));
}

QString GetPairOddsFileName(const QString &oddsPath)
{
    const SplitPath parts = splitPath(oddsPath);
    return siblingIn(FolderIndex::of(parts.folder), parts.name, QStringLiteral("Uo-"));
}

QString FindResultFile(const QString &oddsPath)
{
    const SplitPath parts = splitPath(oddsPath);
    const ResultPattern pattern(parts.name);
    if (!pattern.valid)
        return QString();
    return resultIn(FolderIndex::of(parts.folder), pattern);
}

RacePaths RacePathsOf(const QString &oddsPath)
{
    const SplitPath parts = splitPath(oddsPath);
    const RaceFileNames names(parts.name);
    if (names.entry.isEmpty())
        return {oddsPath, QString(), QString(), QString(), QString()}; // no marker: nothing to look for
    // One pass over the folder for all three, keeping only the names that
    // may be one of them.
    RacePaths paths = racePathsIn(FolderIndex::of(parts.folder, FolderIndex::Lookups::Few,
                                                  mayBeFileOf(parts.name, names)),
                                  parts.name, names);
    paths.odds = oddsPath;
    return paths;
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

RacePaths RacePathsIn(const FolderIndex &index, const QString &oddsName)
{
    return racePathsIn(index, oddsName, RaceFileNames(oddsName));
}

QString GetOddsFileFilter() { return QStringLiteral(u"単複ｵｯｽﾞﾌｧｲﾙ (Zo-*.jra)|Zo-*.jra"); }

QString GetOddsFilePattern() { return QStringLiteral("Zo-*.jra"); }

QString GetRecordFileFilter() { return QStringLiteral(u"JV-Dataﾚｺｰﾄﾞﾌｧｲﾙ (*)|*"); }

bool MatchesWildcard(const QString &name, const QString &pattern) { return matchFrom(name, pattern); }

bool IsPatFileName(const QString &fileName)
{
    // Asked of every name of a folder: compared, not matched by a pattern.
    const QStringView name(fileName);
    const auto starts = [&](QStringView prefix) { return name.startsWith(prefix, Qt::CaseInsensitive); };
    return name.size() >= 7 && (starts(u"zo-") || starts(u"uo-") || starts(u"de-") || starts(u"ks-"))
        && name.endsWith(u".jra", Qt::CaseInsensitive);
}

} // namespace CommonFunc
