// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QByteArray>
#include <QString>

class RaceSheet;

namespace CommonFunc {

struct RaceAnalysis;

// Saves the analysis on show as CSV with CR LF line ends, read back from the
// sheet, the grids and the lists, in the encoding in force
// (CsvEncodingInForce, settings/race_options.h).  On failure the system's
// description of the error is shown and the result is false; an existing
// file of that name is then left as it was.  The race's own four files and
// anything but a regular file are never replaced: that save is refused with
// a message of its own.  A save that wrote characters as "?" (a mark without
// a Shift-JIS code in a Shift-JIS file) says so in a notice.
bool WriteCsvFile(const RaceSheet &sheet, const QString &path);
// The same of an analysis on no sheet, its pairs in their own order: what
// the sheet's save writes while its grids are not sorted.
bool WriteCsvFile(const RaceAnalysis &race, const QString &path);

// The bytes WriteCsvFile writes; *unmapped as CsvFile::bytes gives it.
QByteArray CsvBytes(const RaceSheet &sheet, QString *unmapped = nullptr);
QByteArray CsvBytes(const RaceAnalysis &race, QString *unmapped = nullptr);

// The name the save dialog offers: the race file's base name with ".csv".
QString SuggestedCsvName(const RaceSheet &sheet);
QString SuggestedCsvName(const RaceAnalysis &race);

} // namespace CommonFunc
