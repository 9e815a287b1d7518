// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "tools/racegen/race_generator.h"

#include <QByteArray>

// Writes a generated race as JV-Data records (RA, SE, O1, O2, O3, HR), the
// lines a Data Lab user saves, from the public record layouts.  The offsets
// are written out here on their own rather than taken from the reader's
// table, so that a round trip checks one against the other.
namespace RaceGen {

struct JvWriteOptions {
    // Also an intermediate O1 record an hour before the final one, with
    // other odds, written after it: the reader must take the final one.
    bool earlierOdds = false;
    // The final odds' data kind: "4" (確定) for a race run, "1" (中間) else
    // when 0.
    char oddsKind = 0;
};

// The race's records, each a line ending in CR LF.  The files the race lacks
// give no records: no entry file no RA and SE, no pair odds no O2 and O3, no
// result no HR.
QByteArray JvRecordsOf(const GeneratedRace &race, const JvWriteOptions &options = {});

} // namespace RaceGen
