// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "tools/racegen/random.h"

#include <QDate>
#include <QList>
#include <QString>

// Made-up but plausible texts of a race day: course names, horse names,
// race names and conditions.
namespace RaceGen {

constexpr int CourseCount = 10;

// Two kanji, for course codes 1 (札幌) to 10 (小倉).
QString CourseName(int code);

// Three different courses racing on the same day.
QList<int> MeetingCourses(Random &random, QDate day);

// Katakana, 2 to 9 characters.
QString HorseName(Random &random);

struct RaceTexts {
    QString raceName;   // at most 14 double-byte characters
    QString conditions; // at most 32 double-byte characters
    QString surface;    // "芝" or "ダート"
    int distance = 0;   // metres
    int minAge = 3;     // the horses' age: minAge, or minAge and older
    bool olderToo = false;
};

// The race name reflects the race's place in the card: maidens early, the
// day's main race as the 11th.
RaceTexts MakeRaceTexts(Random &random, int raceNo, QDate day);

} // namespace RaceGen
