// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include "patdata/pat_text.h"

#include <array>
#include <memory>

// The PAT terminal's race files: fixed-width Shift-JIS fields with no
// separators.  A field of n bytes becomes a text slot of exactly n characters,
// the decoded text padded with spaces.  The readers never write the files,
// read only a bounded prefix of them, and show no message but
// "ファイル形式が違います。".
namespace CommonFunc {

constexpr int MaxHorses = 18;

// A fixed array with indices 1 to N.
template <typename T, int N>
class Slots {
public:
    static constexpr int size() { return N; }
    T &operator[](int index) { return m_items.at(std::size_t(index - 1)); }
    const T &operator[](int index) const { return m_items.at(std::size_t(index - 1)); }
    auto begin() { return m_items.begin(); }
    auto end() { return m_items.end(); }
    auto begin() const { return m_items.begin(); }
    auto end() const { return m_items.end(); }

private:
    std::array<T, N> m_items {};
};

// 142 bytes at the start of the win/place and the pair odds files.
struct PatFileHeader {
    PatText Reserved1;  // 8
    PatText Reserved2;  // 8
    PatText Reserved3;  // 2
    PatText Reserved4;  // 8
    PatText Reserved5;  // 2
    PatText Course;     // 4
    PatText Reserved6;  // 4
    PatText Kai;        // 2
    PatText Nichi;      // 2
    PatText RaceNo;     // 2
    PatText Reserved7;  // 1
    PatText FormatCode; // 1: " ", "2" or "3"
    PatText Reserved8;  // 4
    PatText RaceName;   // 28
    PatText Conditions; // 64
    PatText HorseCount; // 2
};

struct TanFukuOddsRecord {
    PatText Reserved1;   // 1
    PatText Reserved2;   // 2
    PatText TanOdds;     // 5, "ﾄﾘｹｼ" when scratched
    PatText FukuOddsMin; // 5
    PatText FukuOddsMax; // 5
};

struct TanFukuOddsData {
    PatFileHeader Header;
    Slots<TanFukuOddsRecord, MaxHorses> Odds; // slots above the horse count stay ""
    void clear(); // every field ""
};

struct PairOddsRecord {
    QString Reserved1;   // 2
    QString Reserved2;   // 5
    QString UmaRenOdds;  // 6
    QString WideOddsMin; // 6
    QString WideOddsMax; // 6
};

// The umaren and wide odds of every pair; element (i, j) with i < j is the
// pair of horses i and j.  Elements never read hold spaces in every field.
// The reader keeps each record's bytes as the file has them; the analysis
// reads its prices from them through oddsText, and a record becomes texts
// only where at() asks for it (the tools and the tests).
class PairOddsTable {
public:
    PairOddsTable();
    PairOddsTable(const PairOddsTable &other);
    PairOddsTable &operator=(const PairOddsTable &other);

    PatFileHeader Header;
    PatText Reserved; // 2 bytes after the header

    // The record as texts, decoded when first asked for; what is written
    // into it is what oddsText gives from then on.  Not for two threads on
    // one table.
    PairOddsRecord &at(int i, int j);
    const PairOddsRecord &at(int i, int j) const;

    enum class Odds { UmaRen, WideMin, WideMax };
    static constexpr int kOddsWidth = 6;
    using OddsBuffer = std::array<char16_t, kOddsWidth>;
    // An odds field's text, the record's at() text where it has one, else
    // decoded from its bytes into buffer; valid while both live.
    QStringView oddsText(int i, int j, Odds field, OddsBuffer &buffer) const;
    // ParseSingle of that text where the field's bytes are a plain decimal
    // between spaces ("  12.3"), read without making the text; absent for
    // anything else, which the text decides.
    std::optional<float> plainOdds(int i, int j, Odds field) const;

    void blank();
    // The reader's: the bytes of the record (i, j), as many as a record has.
    void setBytes(int i, int j, QByteArrayView bytes);

private:
    static constexpr int kRecordSize = 25;
    static std::size_t index(int i, int j) { return std::size_t(i - 1) * MaxHorses + std::size_t(j - 1); }
    PairOddsRecord &decoded(std::size_t k) const;

    using Records = std::array<PairOddsRecord, MaxHorses * MaxHorses>;

    std::array<std::array<char, kRecordSize>, MaxHorses * MaxHorses> m_bytes;
    mutable std::array<bool, MaxHorses * MaxHorses> m_hasTexts {};
    // Made when a record is first asked for as texts, which a load never
    // does: 40 KB a table less to make and clear.
    mutable std::unique_ptr<Records> m_texts;
};

struct EntryHeader {
    PatText Reserved1;  // 8
    PatText Reserved2;  // 4
    PatText Reserved3;  // 4
    PatText Reserved4;  // 2
    PatText Reserved5;  // 2
    PatText Reserved6;  // 2
    PatText StartTime;  // 4: hhmm
    PatText Reserved7;  // 8
    PatText Reserved8;  // 28
    PatText Reserved9;  // 28
    PatText HorseCount; // 2
};

struct EntryRecord {
    PatText Reserved1; // 1
    PatText Reserved2; // 1
    PatText Reserved3; // 2
    PatText Reserved4; // 1
    PatText Reserved5; // 1
    PatText HorseName; // 18
    PatText Reserved6; // 18
    PatText Reserved7; // 2
    PatText Reserved8; // 4
};

struct EntryData {
    EntryHeader Header;
    Slots<EntryRecord, MaxHorses> Horses;
    void clear(); // every field ""
};

struct ResultHeader {
    PatText Reserved1;  // 8
    PatText Reserved2;  // 4
    PatText Reserved3;  // 4
    PatText Reserved4;  // 2
    PatText Reserved5;  // 2
    PatText Reserved6;  // 2
    PatText Reserved7;  // 1
    PatText Reserved8;  // 10
    PatText Reserved9;  // 1
    PatText Reserved10; // 28
    PatText Reserved11; // 28
};

struct ResultFinisher {
    PatText Field1;    // 2
    PatText Field2;    // 2
    PatText HorseName; // 18
    PatText Field4;    // 6
    PatText Reserved;  // 12, not shown
};

struct ResultPayout {
    PatText Combination; // 2, 4 or 6 bytes by bet type
    PatText Amount;      // 8
};

struct ResultData {
    ResultHeader Header;
    Slots<ResultFinisher, 7> Finishers;
    PatText Reserved; // 5
    Slots<ResultPayout, 3> Tan;
    Slots<ResultPayout, 5> Fuku;
    Slots<ResultPayout, 3> WakuRen;
    Slots<ResultPayout, 3> UmaRen;
    Slots<ResultPayout, 11> Wide;
    void clear(); // every field ""
};

// An open PAT file: the first bytes of a regular file, read at once and the
// file closed again, and a read position in them.
class PatFile {
public:
    // Reads at most maxBytes of the file.  False when it is not a regular
    // file or cannot be read.
    bool open(const QString &path, qint64 maxBytes);

    qint64 remaining() const { return m_data.size() - m_position; }

    // The next n bytes (valid while the file lives), or false when fewer remain.
    bool take(int n, QByteArrayView &bytes);

private:
    QByteArray m_data;
    qint64 m_position = 0;
};

// Reads the next field of width bytes into its slot: decoded text padded
// with spaces to width characters.  False when the file ends first.
bool ReadPatField(PatFile &file, int width, PatText &slot);

// The 16 header fields; false when the file is too short, or (after the
// format message) when the format code is not " ", "2" or "3".
bool ReadPatHeader(PatFile &file, PatFileHeader &header);
bool ReadPatFileHeader(const QString &path, PatFileHeader &header);

bool ReadTanFukuOddsFile(const QString &path, TanFukuOddsData &data);
bool ReadPairOddsFile(const QString &path, PairOddsTable &table);
bool ReadEntryFile(const QString &path, EntryData &data);
bool ReadResultFile(const QString &path, ResultData &data);

// The marker of a scratched horse in the odds texts.
inline QString ScratchedText() { return QStringLiteral(u"ﾄﾘｹｼ"); }

// The numeric value of a count field: its leading number, blank gives 0.
int PatCount(QStringView text);
inline int PatCount(const QString &text) { return PatCount(QStringView(text)); }
int PatCount(const PatText &field);

// Sibling files, found from the "zo-" in the win/place odds file's name
// (the folder's name plays no part).  Where the derived file does not exist
// but one whose name differs only in case does, that one is returned.
QString GetEntryFileName(const QString &oddsPath);
QString GetPairOddsFileName(const QString &oddsPath);
// The result file "Ks-" + c + "??" + rest for "Zo-" + c + rest; the first
// match in ordinal name order, ignoring case; "" when there is none.
QString FindResultFile(const QString &oddsPath);

// The paths of a race's four files ("" for a sibling whose name cannot be
// derived, or a result file that is not there).
struct RacePaths {
    QString odds;
    QString entry;
    QString pairs;
    QString result;
    QString raceKey; // the race's key in a file of JV-Data records, which is `odds`; "" for PAT files
};
RacePaths RacePathsOf(const QString &oddsPath);
// Whether `name` may be one of the four files of the race whose win/place
// odds file is named `oddsName`, by the rules above: the name itself, its
// entry or pair odds sibling in any letter case, a result file's name.
bool IsFileNameOfRace(const QString &oddsName, const QString &name);

class FolderIndex;
// The same from one index of the race's folder, for races by the thousand.
RacePaths RacePathsIn(const FolderIndex &index, const QString &oddsName);

QString GetOddsFileFilter();  // "単複ｵｯｽﾞﾌｧｲﾙ (Zo-*.jra)|Zo-*.jra"
QString GetOddsFilePattern(); // "Zo-*.jra"
// The open dialog's second entry: a file of JV-Data records, known by its
// content, so any name: "JV-Dataﾚｺｰﾄﾞﾌｧｲﾙ (*)|*".
QString GetRecordFileFilter();

// "*" any run of characters, "?" any one character; letter case ignored.
bool MatchesWildcard(const QString &name, const QString &pattern);

// Whether a file name is that of a PAT race file: "Zo-", "Uo-", "De-" or
// "Ks-", then anything, then ".jra", in any letter case.
bool IsPatFileName(const QString &fileName);

} // namespace CommonFunc
