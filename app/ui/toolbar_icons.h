// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <QIcon>

// The toolbar pictures the program draws itself, in the manner of Qt's own
// small icons (a dark outline round a shaded face), at every size asked for.
namespace ToolbarIcons {

QIcon options(); // a cog: ｵﾌﾟｼｮﾝ設定
QIcon matrix();  // a grid of blue and red cells about a grey diagonal: ﾏﾄﾘｸｽ

} // namespace ToolbarIcons
