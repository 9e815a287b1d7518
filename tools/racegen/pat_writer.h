// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "patdata/pat_files.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

// Writes the PAT terminal's race files from the same records the readers
// fill.  Every field is code page 932 text padded with spaces to its width in
// bytes; the widths here are written out on their own rather than taken from
// the readers' tables, so that a round trip checks one against the other.
namespace RaceGen {

// The text in code page 932, cut at a character boundary where it does not
// fit and padded with spaces to exactly width bytes.  A character that code
// page 932 cannot encode is written as "?".
QByteArray PatField(QStringView text, int width);

// What a reader makes of PatField(text, width): the decoded text padded with
// spaces to width characters.
QString FitField(QStringView text, int width);

// A number right-aligned in width characters (" 9", "12").
QString RightAligned(int value, int width);
QString RightAligned(const QString &text, int width);

// Whole files.  The number of odds, pair and entry records follows the
// record's own HorseCount text, at most 18.
QByteArray TanFukuOddsFileBytes(const CommonFunc::TanFukuOddsData &data);
QByteArray PairOddsFileBytes(const CommonFunc::PairOddsTable &table);
QByteArray EntryFileBytes(const CommonFunc::EntryData &data);
QByteArray ResultFileBytes(const CommonFunc::ResultData &data);

// Writes bytes to path, replacing the file; false with a reason on failure.
bool WriteBytes(const QString &path, const QByteArray &bytes, QString *error = nullptr);

} // namespace RaceGen
