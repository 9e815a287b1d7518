// SPDX-License-Identifier: GPL-3.0-or-later

#include "patdata/folder_index.h"

#include "common/file_checks.h"
#include "patdata/pat_files.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstring>
#include <limits>

#ifdef Q_OS_UNIX
#include <dirent.h>
#include <sys/stat.h>
#endif

namespace CommonFunc {

namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c; }

bool isAscii(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

bool isAscii(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return false;
    }
    return true;
}

QByteArray lowerLatin1(const QString &text)
{
    QByteArray bytes = text.toLatin1();
    for (char &c : bytes)
        c = lowerAscii(c);
    return bytes;
}

bool equalIgnoringAsciiCase(QByteArrayView a, QByteArrayView b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype k = 0; k < a.size(); ++k) {
        if (lowerAscii(a[k]) != lowerAscii(b[k]))
            return false;
    }
    return true;
}

int compareBytes(QByteArrayView a, QByteArrayView b)
{
    const int c = std::memcmp(a.data(), b.data(), std::size_t(std::min(a.size(), b.size())));
    if (c != 0)
        return c;
    return a.size() < b.size() ? -1 : (b.size() < a.size() ? 1 : 0);
}

// The result rule on decoded names: head, two characters, tail.
bool twoBetween(const QString &name, const QString &head, const QString &tail)
{
    return name.size() == head.size() + 2 + tail.size() && name.startsWith(head, Qt::CaseInsensitive)
        && name.endsWith(tail, Qt::CaseInsensitive);
}

bool twoBetweenAscii(QByteArrayView name, QByteArrayView lowerHead, QByteArrayView lowerTail)
{
    return name.size() == lowerHead.size() + 2 + lowerTail.size()
        && equalIgnoringAsciiCase(name.first(lowerHead.size()), lowerHead)
        && equalIgnoringAsciiCase(name.last(lowerTail.size()), lowerTail);
}

// The lower-case name of an ASCII result candidate without the two
// characters after its "ks-" + one, compared a byte at a time.
struct KeyView {
    QByteArrayView name;
    qsizetype at;
    qsizetype size() const { return name.size() - 2; }
    char operator[](qsizetype k) const { return lowerAscii(k < at + 4 ? name[k] : name[k + 2]); }
};

int compareKey(const KeyView &a, const KeyView &b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype k = 0; k < n; ++k) {
        if (a[k] != b[k])
            return static_cast<unsigned char>(a[k]) < static_cast<unsigned char>(b[k]) ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (b.size() < a.size() ? 1 : 0);
}

int compareKey(const KeyView &a, QByteArrayView lowerKey)
{
    const qsizetype n = std::min(a.size(), lowerKey.size());
    for (qsizetype k = 0; k < n; ++k) {
        if (a[k] != lowerKey[k])
            return static_cast<unsigned char>(a[k]) < static_cast<unsigned char>(lowerKey[k]) ? -1 : 1;
    }
    return a.size() < lowerKey.size() ? -1 : (lowerKey.size() < a.size() ? 1 : 0);
}

int compareLower(QByteArrayView a, QByteArrayView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype k = 0; k < n; ++k) {
        const char x = lowerAscii(a[k]);
        const char y = lowerAscii(b[k]);
        if (x != y)
            return static_cast<unsigned char>(x) < static_cast<unsigned char>(y) ? -1 : 1;
    }
    return a.size() < b.size() ? -1 : (b.size() < a.size() ? 1 : 0);
}

} // namespace

FolderIndex FolderIndex::of(const QString &folder, Lookups lookups, const Keep &keep)
{
    FolderIndex index;
    index.m_folder = folder;
    bool separated = index.m_folder.isEmpty() || index.m_folder.endsWith(u'/');
#ifdef Q_OS_WIN
    separated = separated || index.m_folder.endsWith(u'\\') || index.m_folder.endsWith(u':');
#endif
    if (!separated)
        index.m_folder += u'/';
    const auto add = [&index](QByteArrayView name, bool isFolder, bool isLink) {
        if (name.size() > std::numeric_limits<std::uint16_t>::max()
            || index.m_names.size() > std::numeric_limits<std::uint32_t>::max() - std::size_t(name.size()))
            return;
        std::uint8_t flags = (isFolder ? kFolder : 0) | (isLink ? kLink : 0);
        if (!isAscii(name)) {
            flags |= kWide;
            if (!IsRepresentableName(name.toByteArray()))
                flags |= kUnrepresentable;
        }
        index.m_entries.push_back({std::uint32_t(index.m_names.size()), std::uint16_t(name.size()), flags});
        index.m_names.insert(index.m_names.end(), name.begin(), name.end());
    };
#ifdef Q_OS_UNIX
    const QByteArray path = QFile::encodeName(folder.isEmpty() ? QStringLiteral(".") : folder);
    if (DIR *dir = ::opendir(path.constData())) {
        index.m_opened = true;
        while (const dirent *entry = ::readdir(dir)) {
            const QByteArrayView name(entry->d_name);
            if (name == "." || name == ".." || (keep && !keep(name)))
                continue;
            bool isFolder = entry->d_type == DT_DIR;
            bool isLink = entry->d_type == DT_LNK;
            if (isLink || entry->d_type == DT_UNKNOWN) {
                // A link to a folder, or a file system that does not say.
                const QByteArray full = path + '/' + entry->d_name;
                struct stat info {};
                isFolder = ::stat(full.constData(), &info) == 0 && S_ISDIR(info.st_mode);
                if (entry->d_type == DT_UNKNOWN)
                    isLink = ::lstat(full.constData(), &info) == 0 && S_ISLNK(info.st_mode);
            }
            add(name, isFolder, isLink);
        }
        ::closedir(dir);
    }
#else
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    index.m_opened = dir.isReadable();
    QDirIterator entries(dir.path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (entries.hasNext()) {
        entries.next();
        const QFileInfo info = entries.fileInfo();
        const QByteArray name = QFile::encodeName(info.fileName());
        if (!keep || keep(name))
            add(name, info.isDir(), info.isSymLink());
    }
#endif
    index.m_names.shrink_to_fit();
    index.m_entries.shrink_to_fit();
    if (lookups == Lookups::Many)
        index.buildTables();
    return index;
}

QByteArrayView FolderIndex::rawName(int i) const
{
    const Entry &entry = m_entries[std::size_t(i)];
    return QByteArrayView(m_names.data() + entry.offset, entry.size);
}

QString FolderIndex::name(int i) const { return QFile::decodeName(rawName(i).toByteArray()); }

int FolderIndex::compareNames(const FolderIndex &a, int i, const FolderIndex &b, int j)
{
    // Plain ASCII compares as its bytes; beyond it UTF-16 order is not the
    // order of the UTF-8 bytes.
    if (!(a.m_entries[std::size_t(i)].flags & kWide) && !(b.m_entries[std::size_t(j)].flags & kWide))
        return compareBytes(a.rawName(i), b.rawName(j));
    return QString::compare(a.name(i), b.name(j), Qt::CaseSensitive);
}

bool FolderIndex::ordinalLess(int a, int b) const { return compareNames(*this, a, *this, b) < 0; }

int FolderIndex::firstOf(int best, int candidate) const
{
    return best < 0 || ordinalLess(candidate, best) ? candidate : best;
}

std::vector<int> FolderIndex::filesInOrdinalOrder() const
{
    std::vector<int> files;
    files.reserve(m_entries.size());
    for (int i = 0; i < count(); ++i) {
        if (isFile(i) && isRepresentable(i))
            files.push_back(i);
    }
    std::stable_sort(files.begin(), files.end(), [this](int a, int b) { return ordinalLess(a, b); });
    return files;
}

void FolderIndex::buildTables()
{
    m_tables = true;
    for (int i = 0; i < count(); ++i) {
        const std::uint8_t flags = m_entries[std::size_t(i)].flags;
        if (flags & kUnrepresentable)
            continue;
        m_exact.push_back(std::uint32_t(i));
        if (flags & kFolder)
            continue;
        if (flags & kWide) {
            m_others.push_back(std::uint32_t(i));
            m_otherNames.append(name(i));
            continue;
        }
        m_folded.push_back(std::uint32_t(i));
        const QByteArrayView raw = rawName(i);
        // Every "ks-" in the name may be the one a race's pattern puts there.
        for (qsizetype at = 0; at + 6 <= raw.size(); ++at) {
            if (lowerAscii(raw[at]) == 'k' && lowerAscii(raw[at + 1]) == 's' && raw[at + 2] == '-')
                m_results.push_back({std::uint32_t(i), std::uint16_t(at)});
        }
    }
    std::sort(m_exact.begin(), m_exact.end(),
              [this](std::uint32_t a, std::uint32_t b) { return compareBytes(rawName(int(a)), rawName(int(b))) < 0; });
    std::sort(m_folded.begin(), m_folded.end(), [this](std::uint32_t a, std::uint32_t b) {
        const int c = compareLower(rawName(int(a)), rawName(int(b)));
        return c != 0 ? c < 0 : compareBytes(rawName(int(a)), rawName(int(b))) < 0;
    });
    std::sort(m_results.begin(), m_results.end(), [this](const ResultKey &a, const ResultKey &b) {
        const int c = compareKey(KeyView {rawName(int(a.entry)), a.at}, KeyView {rawName(int(b.entry)), b.at});
        return c != 0 ? c < 0 : a.entry < b.entry;
    });
    m_exact.shrink_to_fit();
    m_folded.shrink_to_fit();
    m_results.shrink_to_fit();
}

int FolderIndex::find(const QString &name) const
{
    const QByteArray encoded = QFile::encodeName(name);
    if (!m_tables) {
        for (int i = 0; i < count(); ++i) {
            if (isRepresentable(i) ? rawName(i) == QByteArrayView(encoded) : this->name(i) == name)
                return i;
        }
        return -1;
    }
    const auto found = std::lower_bound(m_exact.begin(), m_exact.end(), encoded,
                                        [this](std::uint32_t i, const QByteArray &key) {
                                            return compareBytes(rawName(int(i)), key) < 0;
                                        });
    return found != m_exact.end() && rawName(int(*found)) == QByteArrayView(encoded) ? int(*found) : -1;
}

int FolderIndex::fileIgnoringCase(const QString &name) const
{
    const bool ascii = isAscii(name);
    const QByteArray lower = ascii ? lowerLatin1(name) : QByteArray();
    const auto matches = [&](int i) {
        if (ascii && !(m_entries[std::size_t(i)].flags & kWide))
            return equalIgnoringAsciiCase(rawName(i), lower);
        return this->name(i).compare(name, Qt::CaseInsensitive) == 0;
    };
    int best = -1;
    if (!m_tables || !ascii) {
        for (int i = 0; i < count(); ++i) {
            if (isCandidate(i) && matches(i))
                best = firstOf(best, i);
        }
        return best;
    }
    auto at = std::lower_bound(m_folded.begin(), m_folded.end(), lower, [this](std::uint32_t i, const QByteArray &key) {
        return compareLower(rawName(int(i)), key) < 0;
    });
    if (at != m_folded.end() && matches(int(*at)))
        best = int(*at); // the first of its lower-case name is the first in ordinal order
    for (qsizetype k = 0; k < m_otherNames.size(); ++k) {
        if (m_otherNames[k].compare(name, Qt::CaseInsensitive) == 0)
            best = firstOf(best, int(m_others[std::size_t(k)]));
    }
    return best;
}

int FolderIndex::fileWithTwoBetween(const QString &head, const QString &tail) const
{
    const bool ascii = isAscii(head) && isAscii(tail) && head.size() >= 4;
    const QByteArray lowerHead = ascii ? lowerLatin1(head) : QByteArray();
    const QByteArray lowerTail = ascii ? lowerLatin1(tail) : QByteArray();
    const auto matches = [&](int i) {
        if (ascii && !(m_entries[std::size_t(i)].flags & kWide))
            return twoBetweenAscii(rawName(i), lowerHead, lowerTail);
        return twoBetween(this->name(i), head, tail);
    };
    int best = -1;
    if (!m_tables || !ascii) {
        for (int i = 0; i < count(); ++i) {
            if (isCandidate(i) && matches(i))
                best = firstOf(best, i);
        }
        return best;
    }
    const QByteArray key = lowerHead + lowerTail;
    auto at = std::lower_bound(m_results.begin(), m_results.end(), key,
                               [this](const ResultKey &r, const QByteArray &k) {
                                   return compareKey(KeyView {rawName(int(r.entry)), r.at}, k) < 0;
                               });
    for (; at != m_results.end() && compareKey(KeyView {rawName(int(at->entry)), at->at}, key) == 0; ++at) {
        if (matches(int(at->entry)))
            best = firstOf(best, int(at->entry));
    }
    for (qsizetype k = 0; k < m_otherNames.size(); ++k) {
        if (twoBetween(m_otherNames[k], head, tail))
            best = firstOf(best, int(m_others[std::size_t(k)]));
    }
    return best;
}

bool FolderIndex::isOddsFile(int i) const
{
    if (m_entries[std::size_t(i)].flags & kWide)
        return MatchesWildcard(name(i), GetOddsFilePattern());
    const QByteArrayView raw = rawName(i);
    return raw.size() >= 7 && equalIgnoringAsciiCase(raw.first(3), "zo-")
        && equalIgnoringAsciiCase(raw.last(4), ".jra");
}

bool FolderIndex::isPatFile(int i) const
{
    if (m_entries[std::size_t(i)].flags & kWide)
        return IsPatFileName(name(i));
    const QByteArrayView raw = rawName(i);
    if (raw.size() < 7 || !equalIgnoringAsciiCase(raw.last(4), ".jra"))
        return false;
    const QByteArrayView prefix = raw.first(3);
    return equalIgnoringAsciiCase(prefix, "zo-") || equalIgnoringAsciiCase(prefix, "uo-")
        || equalIgnoringAsciiCase(prefix, "de-") || equalIgnoringAsciiCase(prefix, "ks-");
}

} // namespace CommonFunc
