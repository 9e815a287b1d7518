// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "patdata/pat_files.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <vector>

// JRA-VAN Data Lab's JV-Data records saved to a file, one record a line:
// a second source of races beside the PAT folder.  A file holds many races,
// each named by its 16-digit race key (year, month-day, course code,
// meeting, day, race number).  A file is known by its content, not its name.
namespace CommonFunc {

struct RaceData;

constexpr int JvRaceKeyLength = 16;

// Whether text is a race key: 16 digits.
bool IsJvRaceKey(QStringView text);

// Whether the first bytes of a file are a JV-Data record: a two-letter type
// code, a data kind, the creation date and the race key.
bool LooksLikeJvRecords(QByteArrayView head);
// The same for the file at path; false for a file that cannot be read.
bool IsJvRecordFile(const QString &path);

// How one race is named where a path alone would not do: "FILE --race KEY",
// or the path alone without a key.
QString RaceReference(const QString &path, const QString &key);

// The records of a file that each race takes: where they start in the file.
// Of several records of one kind the latest counts: the odds of the
// furthest data kind (中間 < 前日売最終 < 最終 < 確定), then the latest
// announcement, then the last in the file; a record of data kind "0"
// (deleted) drops the one before it.
struct JvRaceRecords {
    std::array<char, JvRaceKeyLength> key {};
    qint64 ra = -1;
    qint64 hr = -1;
    std::array<qint64, 3> odds {-1, -1, -1};         // O1, O2, O3
    std::array<char, 3> oddsKind {};                 // their data kinds
    std::array<std::array<char, 8>, 3> announced {}; // their announcements, mmddhhmm
    std::array<qint64, MaxHorses> se {};             // by horse number; -1 for none
    QString problem;                                 // why the race cannot be read; "" when it can

    QString keyText() const { return QString::fromLatin1(key.data(), JvRaceKeyLength); }
};

struct JvRecordIndex {
    QString path;
    qint64 size = 0;
    QDateTime modified;
    std::vector<JvRaceRecords> races; // every key with win/place odds, in key order
    int strayLines = 0;               // lines that are no record, skipped

    QStringList keys() const;
    const JvRaceRecords *find(QStringView key) const;
};

// Lists the races of a record file in one pass through a buffer of fixed
// size, so a file of any size streams.  False, with the reason, when the
// file cannot be read or its first line is not a record.
bool ScanJvRecords(const QString &path, JvRecordIndex &index, QString *problem = nullptr);

// The index of the file, made once and kept while the file keeps its size
// and modification time.  Thread-safe.  Null, with the reason, as above.
std::shared_ptr<const JvRecordIndex> JvRecordIndexOf(const QString &path, QString *problem = nullptr);

// Reads the race `key` of the record file into the race data the PAT
// readers fill.  False, after a message saying why, when the race is not in
// the file or one of its records cannot be read.
bool ReadJvRace(const QString &path, const QString &key, RaceData &data);
// The same from an index made already.
bool ReadJvRace(const JvRecordIndex &index, const QString &key, RaceData &data);

// What the stage of the win/place odds taken is called: "確定ｵｯｽﾞ" for data
// kind "4", and so on.
QString JvOddsStageName(char dataKind);

} // namespace CommonFunc
