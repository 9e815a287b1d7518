// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

namespace CommonFunc {

struct RacePaths;

// One pass over a folder: the raw names of its entries in the order the file
// system lists them, packed in one buffer, with a few bits of each entry's
// kind and no per-entry file information.  Names are kept as bytes; only a
// name that is not plain ASCII is ever decoded to look it up, so a folder of
// PAT files costs a few dozen bytes an entry.
class FolderIndex {
public:
    // Few: lookups scan the entries (one race).  Many: sorted tables are
    // built once, so that each of thousands of races finds its files in a
    // few comparisons.
    enum class Lookups { Few, Many };

    // An empty folder name is the current folder.  A folder that cannot be
    // opened gives no entries.
    // keep, when given, sees each raw name first: an entry it refuses is
    // not kept (nor looked at further), so that one race's search holds only
    // the few names that may be its files.
    using Keep = std::function<bool(QByteArrayView)>;
    static FolderIndex of(const QString &folder, Lookups lookups = Lookups::Few, const Keep &keep = {});

    const QString &folder() const { return m_folder; } // with its trailing separator, or ""
    bool opened() const { return m_opened; }

    int count() const { return int(m_entries.size()); }
    QByteArrayView rawName(int i) const;
    QString name(int i) const; // as the system's encoding decodes it
    // Anything but a folder or a link to one.
    bool isFile(int i) const { return !(m_entries[std::size_t(i)].flags & kFolder); }
    bool isFolder(int i) const { return m_entries[std::size_t(i)].flags & kFolder; }
    bool isLink(int i) const { return m_entries[std::size_t(i)].flags & kLink; }
    // Whether the name survives the round trip through Qt's text.
    bool isRepresentable(int i) const { return !(m_entries[std::size_t(i)].flags & kUnrepresentable); }

    // Ordinal order of the names of two entries, which may be of two folders.
    static int compareNames(const FolderIndex &a, int i, const FolderIndex &b, int j);

    // The files Qt can name, by position in the listing, in ordinal order of
    // their names.
    std::vector<int> filesInOrdinalOrder() const;

    // Lookups.  With Lookups::Many, names Qt cannot represent are left out,
    // as a listing through Qt leaves them out; a race's own search (Few)
    // looks at them as Qt decodes them, which names no file it can open.
    //
    // The entry, of any kind, of exactly this name; -1 when there is none.
    int find(const QString &name) const;
    bool contains(const QString &name) const { return find(name) >= 0; }
    // The first file in ordinal order whose name equals `name` but for
    // letter case; -1 when there is none.
    int fileIgnoringCase(const QString &name) const;
    // The first file in ordinal order named head + two characters + tail,
    // letter case ignored; -1 when there is none.
    int fileWithTwoBetween(const QString &head, const QString &tail) const;

    // Whether a name is that of a win/place odds file ("Zo-*.jra", any case).
    bool isOddsFile(int i) const;
    // Whether the name is a PAT race file's, as IsPatFileName has it,
    // without making its text.
    bool isPatFile(int i) const;

private:
    enum : std::uint8_t { kFolder = 1, kLink = 2, kUnrepresentable = 4, kWide = 8 }; // kWide: not plain ASCII

    struct Entry {
        std::uint32_t offset;
        std::uint16_t size;
        std::uint8_t flags;
    };
    struct ResultKey {
        std::uint32_t entry;
        std::uint16_t at; // where its "ks-" starts
    };

    void buildTables();
    bool isCandidate(int i) const { return isFile(i) && (!m_tables || isRepresentable(i)); }
    bool ordinalLess(int a, int b) const;
    int firstOf(int best, int candidate) const;

    QString m_folder;
    bool m_opened = false;
    std::vector<char> m_names;
    std::vector<Entry> m_entries;
    // Many only: representable entries by raw name; ASCII files by their
    // lower-case name; ASCII files by each "ks-" of theirs, the two
    // characters after it left out; the files of other names, decoded.
    bool m_tables = false;
    std::vector<std::uint32_t> m_exact;
    std::vector<std::uint32_t> m_folded;
    std::vector<ResultKey> m_results;
    std::vector<std::uint32_t> m_others;
    QStringList m_otherNames;
};

} // namespace CommonFunc
