// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QList>
#include <QString>

#include <array>
#include <functional>

// The rows of the PAT file list: one per win/place odds file in a folder,
// identified by its race header.
namespace CommonFunc {

constexpr int FileListColumnCount = 8;

// Columns: 0 "No", 1 "場名", 2 "開催", 3 "ﾚｰｽ", 4 "ﾚｰｽ名", 5 "頭数", 6 "条件",
// 7 "ﾌｧｲﾙ名".
struct FileListRow {
    std::array<QString, FileListColumnCount> cells;
    QString raceKey; // a race of a JV-Data record file, named in "ﾌｧｲﾙ名" by its key; "" for a PAT file
};

struct FileListColumn {
    QString heading;
    int widthTwips;
};

// The heading row and the column widths, column 0 first.
std::array<FileListColumn, FileListColumnCount> FileListColumns();

// "第3回 5日" for " 3" and " 5".  A number is rounded half away from zero,
// a blank text counts as 0, any other text is shown trimmed in its place.
QString FormatKaisai(const QString &kai, const QString &nichi);

// Every regular file of the folder whose name matches "Zo-*.jra" in any
// letter case, sorted by course, meeting and race, numbered from 1.  A file
// whose header cannot be read is left out and the listing goes on; the
// format message is shown at most once per call.  A missing or empty folder,
// or an empty folder name, gives no rows.
// progress, when given, is called now and then with the number of folder
// entries looked at so far, so that a window can keep itself drawn.
QList<FileListRow> BuildFileList(const QString &folder, const std::function<void(int)> &progress = {});

// The races of a file of JV-Data records, in key order, numbered from 1:
// "ﾌｧｲﾙ名" holds the race key.  A race that cannot be read is left out with
// its message; a file that is no record file gives no rows.
QList<FileListRow> BuildRecordFileList(const QString &recordFile, const std::function<void(int)> &progress = {});

// How many files of the folder are named like a win/place odds file but not
// in valid UTF-8, so that Qt cannot name them and the list leaves them out.
int CountUnrepresentableOddsFiles(const QString &folder);

} // namespace CommonFunc
