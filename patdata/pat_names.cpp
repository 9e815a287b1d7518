#include "patdata/pat_files.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

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

// Names of the regular files in a folder, in ordinal order.
QStringList folderFiles(const QString &folder)
{
    QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    std::sort(names.begin(), names.end(),
              [](const QString &a, const QString &b) { return QString::compare(a, b, Qt::CaseSensitive) < 0; });
    return names;
}

// Where the exact name is missing, an entry that differs from it only in
// case (file names are case-sensitive here, not on the PAT's own platform).
QString resolveNameCase(const QString &path)
{
    if (QFileInfo::exists(path))
        return path;
    const SplitPath parts = splitPath(path);
    const QStringList names = folderFiles(parts.folder);
    for (const QString &name : names) {
        if (name.compare(parts.name, Qt::CaseInsensitive) == 0)
            return parts.folder + name;
    }
    return path;
}

QString siblingName(const QString &oddsPath, const QString &prefix)
{
    const SplitPath parts = splitPath(oddsPath);
    const qsizetype at = parts.name.indexOf(u"zo-", 0, Qt::CaseInsensitive);
    if (at < 0)
        return QString();
    return parts.folder + parts.name.left(at) + prefix + parts.name.mid(at + 3);
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
    const qsizetype at = parts.name.indexOf(u"zo-", 0, Qt::CaseInsensitive);
    if (at < 0 || at + 3 >= parts.name.size())
        return QString();
    // "Zo-" + c + rest becomes "Ks-" + c + two characters + rest.  Only
    // those two match anything: a "*" or "?" in the race's own name is
    // itself.
    const QString head = parts.name.left(at) + QStringLiteral("Ks-") + parts.name.at(at + 3);
    const QStringView tail = QStringView(parts.name).mid(at + 4);
    const QStringList names = folderFiles(parts.folder);
    for (const QString &name : names) {
        if (name.size() == head.size() + 2 + tail.size() && name.startsWith(head, Qt::CaseInsensitive)
            && name.endsWith(tail, Qt::CaseInsensitive))
            return parts.folder + name;
    }
    return QString();
}

QString GetOddsFileFilter() { return QStringLiteral(u"単複ｵｯｽﾞﾌｧｲﾙ (Zo-*.jra)|Zo-*.jra"); }

QString GetOddsFilePattern() { return QStringLiteral("Zo-*.jra"); }

bool MatchesWildcard(const QString &name, const QString &pattern) { return matchFrom(name, pattern); }

} // namespace CommonFunc
