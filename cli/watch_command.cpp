// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/watch_command.h"

#include "analysis/race_analysis.h"
#include "app/race_sheet.h"
#include "cli/terminal.h"
#include "common/text_util.h"
#include "race/race_follower.h"
#include "race/race_history.h"
#include "race/race_loader.h"
#include "settings/race_options.h"
#include "settings/settings_store.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>

#include <csignal>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <signal.h>
#endif

using namespace CommonFunc;
using Terminal::flushOut;
using Terminal::out;

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

void onInterrupt(int) { g_interrupted = 1; }

QString now() { return QTime::currentTime().toString(QStringLiteral("HH:mm:ss")); }

QString betsText(const RaceSheet &sheet)
{
    QStringList bets;
    for (const QString &bet : sheet.lstKaime)
        bets.append(VisibleText(bet));
    return bets.join(QStringLiteral(" / "));
}

void stopOnLostOutput()
{
    Terminal::reportLostOutput();
    QCoreApplication::exit(1);
}

QString markText(const QString &mark) { return mark.isEmpty() ? QStringLiteral("-") : VisibleText(mark); }

} // namespace

int RunWatchCommand(RaceSheet &sheet, int count)
{
    RaceHistory history(RaceHistory::KeepForChanges);
    history.add(sheet, QDateTime::currentDateTime());
    RaceFollower follower;
    QObject::connect(&follower, &RaceFollower::reloaded, [&](const RaceData &data, int reload) {
        RefreshSettings();
        PutRaceOnSheet(sheet, data, ReadRaceOptions());
        history.add(sheet, QDateTime::currentDateTime());
        QString line = now() + QStringLiteral(" reload ") + QString::number(reload) + QStringLiteral(u" 推奨買い目 ")
            + betsText(sheet);
        for (const RaceHistory::MarkChange &change : history.markChanges()) {
            line += QStringLiteral(u"  ") + KindOf(change.type).shortName.toString() + u' ' + TrimSpaces(change.label)
                + u' ' + markText(change.before) + u'→' + markText(change.after);
        }
        out(line + u'\n');
        if (!flushOut())
            stopOnLostOutput();
        else if (count > 0 && reload >= count)
            QCoreApplication::exit(0);
    });
    QObject::connect(&follower, &RaceFollower::reloadFailed, [](const QString &reason) {
        out(now() + QStringLiteral(u" ｵｯｽﾞ更新失敗 ") + VisibleText(reason) + u'\n');
        if (!flushOut())
            stopOnLostOutput();
    });
    QObject::connect(&follower, &RaceFollower::filesMissing, [&follower] {
        out(now() + QStringLiteral(u" ﾌｧｲﾙが見つかりません ") + VisibleText(follower.oddsPath()) + u'\n');
        if (!flushOut())
            stopOnLostOutput();
    });
    QObject::connect(&follower, &RaceFollower::followingStopped, [](const QString &reason) {
        out(now() + QStringLiteral(u" ｵｯｽﾞ更新停止 ") + VisibleText(reason) + u'\n');
        flushOut();
        QCoreApplication::exit(1);
    });
    follower.follow(sheet.sRaceFile, RaceFollower::FilesRead(*sheet.analysis));
    // The first line once the files are followed: whatever changes after it
    // is seen.
    out(QStringLiteral(u"推奨買い目 ") + betsText(sheet) + u'\n');
    if (!flushOut()) {
        Terminal::reportLostOutput();
        return 1;
    }

    // Ctrl-C ends the run as a normal end; the handler only sets a flag.  It
    // serves once: should the loop ever be held up, a second Ctrl-C ends the
    // program as usual.
    g_interrupted = 0;
#ifdef Q_OS_UNIX
    struct sigaction action {};
    action.sa_handler = onInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART | SA_RESETHAND;
    ::sigaction(SIGINT, &action, nullptr);
#else
    std::signal(SIGINT, onInterrupt);
#endif
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [] {
        if (g_interrupted)
            QCoreApplication::exit(0);
    });
    poll.start(100);
    const int status = QCoreApplication::exec();
    std::signal(SIGINT, SIG_DFL);
    return status;
}
