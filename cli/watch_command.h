// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

class RaceSheet;

// minukuru-cli watch ZO_FILE [--count N]: prints the recommended bets of the
// race already loaded on `sheet`, then one line per reload of its files until
// `count` reloads have succeeded (0: until Ctrl-C).  Returns the exit status.
int RunWatchCommand(RaceSheet &sheet, int count);
