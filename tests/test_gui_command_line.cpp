// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/ui/command_line.h"

#include <QProcess>
#include <QTest>

using Gui::StartupRequest;
using Action = StartupRequest::Action;

class TestGuiCommandLine : public QObject {
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void earlyAction_data();
    void earlyAction();
    void answersWithoutDisplay_data();
    void answersWithoutDisplay();
};

void TestGuiCommandLine::parse_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("raceFile");

    const auto row = [](const char *name, const QStringList &args, Action action, const QString &file = {}) {
        QTest::newRow(name) << args << int(action) << file;
    };
    const QString zo = QStringLiteral("Zo-03150601.jra");
    // clang-format off
    row("nothing",               {},                                               Action::Run);
    row("race file",             {zo},                                             Action::Run, zo);
    row("dash is a file",        {QStringLiteral("-")},                            Action::Run, QStringLiteral("-"));
    row("after --",              {QStringLiteral("--"), QStringLiteral("--help")}, Action::Run, QStringLiteral("--help"));
    row("version",               {QStringLiteral("--version")},                    Action::Version);
    row("help",                  {QStringLiteral("-h")},                           Action::Help);
    row("version beats help",    {QStringLiteral("--help"), QStringLiteral("--version")}, Action::Version);
    row("version with a file",   {zo, QStringLiteral("--version")},                Action::Version);
    row("unknown option",        {QStringLiteral("--open"), zo},                   Action::UsageError);
    row("single-dash word",      {QStringLiteral("-version")},                     Action::UsageError);
    row("two files",             {zo, QStringLiteral("Zo-03150602.jra")},          Action::UsageError);
    // clang-format on
}

void TestGuiCommandLine::parse()
{
    QFETCH(QStringList, args);
    QFETCH(int, action);
    QFETCH(QString, raceFile);
    const StartupRequest request = Gui::ParseStartupArguments(args);
    QCOMPARE(int(request.action), action);
    QCOMPARE(request.raceFile, raceFile);
    QCOMPARE(request.error.isEmpty(), action != int(Action::UsageError));
}

void TestGuiCommandLine::earlyAction_data()
{
    QTest::addColumn<QByteArrayList>("args");
    QTest::addColumn<int>("action");
    // clang-format off
    QTest::newRow("none")           << QByteArrayList {"minukuru", "Zo-1.jra"}                       << int(Action::Run);
    QTest::newRow("qt option")      << QByteArrayList {"minukuru", "-platform", "offscreen"}         << int(Action::Run);
    QTest::newRow("version")        << QByteArrayList {"minukuru", "-platform", "xcb", "--version"}  << int(Action::Version);
    QTest::newRow("help")           << QByteArrayList {"minukuru", "--help"}                         << int(Action::Help);
    QTest::newRow("version first")  << QByteArrayList {"minukuru", "-h", "--version"}                << int(Action::Version);
    QTest::newRow("after --")       << QByteArrayList {"minukuru", "--", "--version"}                << int(Action::Run);
    // clang-format on
}

void TestGuiCommandLine::earlyAction()
{
    QFETCH(QByteArrayList, args);
    QFETCH(int, action);
    QList<const char *> argv;
    for (const QByteArray &arg : args)
        argv.append(arg.constData());
    QCOMPARE(int(Gui::EarlyStartupAction(int(argv.size()), argv.constData())), action);
}

// The program itself, with no display at all: --version and --help answer
// before any window system is needed; a wrong call is refused with status 2.
void TestGuiCommandLine::answersWithoutDisplay_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("errors");
    const QString usage = QString::fromLatin1(Gui::StartupUsage());
    QTest::newRow("version") << QStringList {QStringLiteral("--version")} << 0
                             << QStringLiteral("minukuru " MINUKURU_VERSION "\n") << QString();
    QTest::newRow("help") << QStringList {QStringLiteral("--help")} << 0 << usage << QString();
    QTest::newRow("unknown option") << QStringList {QStringLiteral("-platform"), QStringLiteral("offscreen"),
                                                    QStringLiteral("--bogus")}
                                    << 2 << QString() << QStringLiteral("minukuru: unknown option --bogus\n") + usage;
}

void TestGuiCommandLine::answersWithoutDisplay()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, output);
    QFETCH(QString, errors);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        environment.remove(QString::fromLatin1(name));
    environment.insert(QStringLiteral("MINUKURU_SETTINGS"), QStringLiteral("/nonexistent/minukuru.ini"));
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(MINUKURU_GUI_PATH), args);
    QVERIFY(program.waitForFinished(60000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), status);
    QCOMPARE(QString::fromUtf8(program.readAllStandardOutput()), output);
    // Qt may add its own notes (XDG_RUNTIME_DIR) once it is up; ours end the text.
    const QString printed = QString::fromUtf8(program.readAllStandardError());
    if (errors.isEmpty())
        QCOMPARE(printed, errors);
    else
        QVERIFY2(printed.endsWith(errors), qPrintable(printed));
}

QTEST_MAIN(TestGuiCommandLine)
#include "test_gui_command_line.moc"
