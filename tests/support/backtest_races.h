// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "support/race_files.h"

#include <QFile>

// Five hand-checked races for the backtest, and their makings.
namespace BacktestRaces {

inline RaceFiles::Horse horse(const char *tan, const char *fukuMin, const char *fukuMax)
{
    return {QString::fromLatin1(tan), QString::fromLatin1(fukuMin), QString::fromLatin1(fukuMax), QString()};
}

inline RaceFiles::Pair pair(const char *umaren, const char *wideMin, const char *wideMax)
{
    return {QString::fromLatin1(umaren), QString::fromLatin1(wideMin), QString::fromLatin1(wideMax)};
}

inline RaceFiles fourHorses()
{
    RaceFiles race;
    race.horses = {horse("2.0", "1.1", "1.3"), horse("4.0", "1.5", "2.0"), horse("8.0", "2.0", "3.0"),
                   horse("16.0", "3.0", "5.0")};
    race.pairs = {pair("25.0", "3.0", "5.0"), pair("10.0", "2.0", "3.0"),  pair("20.0", "4.0", "6.0"),
                  pair("30.0", "5.0", "9.0"), pair("50.0", "8.0", "12.0"), pair("90.0", "15.0", "25.0")};
    return race;
}

// Five races in file-name order:
//   A 0101A  settled; umaren 1-2 pays 2,500
//   B 0102A  settled, the prices of A; umaren 1-2 and 1-4 both pay (a dead
//            heat for second), wide 1-3 is listed twice (300 and 310), wide
//            1-4 pays "12x", which is no whole number
//   C 0103A  no result: unsettled
//   D 0104A  a win/place odds file cut short: failed
//   E 0105A  settled, every umaren at 4.0: no recommended bet (見送り)
// Worked out by hand from the support rates 0.400, 0.200, 0.100, 0.050
// (win) and 0.222, 0.152, 0.107, 0.067 (place):
//   A and B recommend umaren 1-2 (T 3.2, D +87.1) and 1-4 (T 13.8, D +31.0);
//   they mark umaren 1-2 × (+87.1), wide 1-3 △ (-75.0), wide 1-4 × (-42.6).
//   E marks umaren 1-3 × (-68.7), 1-4 ▲ (-244.8), 2-3 ▲ (-297.1), 2-4 ◎
//   (-714.3), and wide 1-3 △ (-75.0), 1-4 ▲ (-185.2), 2-3 ▲ (-167.4),
//   2-4 ◎ (-336.2), 3-4 ◎ (-536.5).
inline QString writeFolder(const QString &folder)
{
    RaceFiles a = fourHorses();
    a.wideResults = {QStringLiteral(" 1- 2"), QStringLiteral(" 1- 3"), QStringLiteral(" 2- 3")};
    a.umarenPayouts = {{QStringLiteral(" 1- 2"), QStringLiteral("   2,500")}};
    a.write(folder, QStringLiteral("0101A.jra"));

    RaceFiles b = fourHorses();
    b.wideResults = {QStringLiteral(" 1- 3"), QStringLiteral(" 1- 3"), QStringLiteral(" 1- 4")};
    b.wideAmounts = {QStringLiteral("     300"), QStringLiteral("     310"), QStringLiteral("     12x")};
    b.umarenPayouts = {{QStringLiteral(" 1- 2"), QStringLiteral("   1,200")},
                       {QStringLiteral(" 1- 4"), QStringLiteral("   1,830")}};
    b.write(folder, QStringLiteral("0102A.jra"));

    fourHorses().write(folder, QStringLiteral("0103A.jra"));

    QFile cut(folder + QStringLiteral("/Zo-0104A.jra"));
    if (!cut.open(QIODevice::WriteOnly) || cut.write("0000") != 4)
        return QString();
    cut.close();

    RaceFiles e = fourHorses();
    for (RaceFiles::Pair &p : e.pairs)
        p = pair("4.0", "2.0", "3.0");
    e.wideResults = {QStringLiteral(" 1- 3"), QStringLiteral(" 1- 2"), QStringLiteral(" 2- 3")};
    e.wideAmounts = {QStringLiteral("     150"), QStringLiteral("     120"), QStringLiteral("     200")};
    e.umarenPayouts = {{QStringLiteral(" 1- 3"), QStringLiteral("     400")}};
    e.write(folder, QStringLiteral("0105A.jra"));
    return folder;
}

} // namespace BacktestRaces
