// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "patdata/pat_files.h"

#include <QDate>
#include <QList>
#include <QString>

// Deterministic sample races: the four PAT files of a race, made up from a
// seed, with odds that hang together (win, place, umaren and wide prices from
// one set of win chances) and a result drawn from those chances.
namespace RaceGen {

struct RaceSetup {
    quint64 seed = 1;
    QDate day {2026, 3, 15};
    int courseCode = 5;      // 1 (札幌) to 10 (小倉)
    int kai = 1;             // meeting number
    int nichi = 1;           // day of the meeting
    int raceNo = 1;          // 1 to 12
    int startMinutes = 600;  // start time, minutes after midnight
    int oddsMinutes = -1;    // when the odds were taken; -1: at the start
    int horseCount = 0;      // 2 to 18; 0 draws a usual field size
    int scratchedCount = -1; // -1 draws; never leaves fewer than two runners
    bool withResult = true;
    bool withPairOdds = true;
    bool withEntry = true;
};

struct GeneratedRace {
    // The files' names: "Zo-" + stem + ".jra" and its siblings.
    QString stem;
    QString resultInsert; // the two characters the result file's name adds

    int horseCount = 0;
    QList<int> scratched;   // horse numbers, ascending
    QList<int> finishOrder; // every runner, winner first; empty without a result

    // The files' contents as the readers see them: every text already fits
    // its field and is padded to its width.
    CommonFunc::TanFukuOddsData tanFuku;
    CommonFunc::PairOddsTable pairs;
    CommonFunc::EntryData entry;
    CommonFunc::ResultData result;

    bool hasPairOdds = true;
    bool hasEntry = true;
    bool hasResult = false;
};

QString OddsFileName(const GeneratedRace &race);     // Zo-03150511.jra
QString PairOddsFileName(const GeneratedRace &race); // Uo-03150511.jra
QString EntryFileName(const GeneratedRace &race);    // De-03150511.jra
QString ResultFileName(const GeneratedRace &race);   // Ks-0263150511.jra

GeneratedRace GenerateRace(const RaceSetup &setup);

struct MeetingOptions {
    quint64 seed = 1;
    QDate day {2026, 3, 15};
    int racesPerCourse = 12; // 1 to 12, at each of three courses
};

// A race day caught at 15:00: the later races have no result yet.  The card
// holds a full field of 18 with a scratched horse, a small field, a race
// without its pair odds file and one without its entry file (where the card
// has enough races for them).
QList<GeneratedRace> GenerateMeeting(const MeetingOptions &options);

// Writes the race's files into folder; the missing ones are not written.
bool WriteRace(const QString &folder, const GeneratedRace &race, QString *error = nullptr);

// Deletes the PAT race files (Zo-, Uo-, De- and Ks-*.jra) of a folder.
bool RemoveRaceFiles(const QString &folder, QString *error = nullptr);

} // namespace RaceGen
