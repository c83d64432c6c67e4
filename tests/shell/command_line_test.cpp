// The command line: the parser by table, --help and --version of the real
// executable without any display, and several files with lines handed from
// a second start to the running viewer.
#include "shell/command_line.h"
#include "shell/instance_channel.h"
#include "shell/open_at_line.h"
#include "ui/ui_text.h"
#include "varnoth_version.h"
#include "viewer_fixture.h"

#include <QProcess>
#include <QTest>

#include <set>

namespace {

using action = command_line::action;

struct parse_row {
    const char* name;
    QStringList arguments; // after the program name
    action what;
    std::vector<handed_file> files;
};

} // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

private:
    static QProcessEnvironment NoDisplay()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"})
            env.remove(QString::fromLatin1(name));
        return env;
    }
    struct run_result {
        bool finished = false;
        int status = -1;
        QString out;
        QString err;
    };
    static run_result Run(const QStringList& arguments, const QProcessEnvironment& env)
    {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(QString(VARNOTH_BIN_DIR) + "/varnoth", arguments);
        run_result result;
        result.finished = process.waitForFinished(kTestWaitMs);
        if (!result.finished) {
            process.kill();
            process.waitForFinished(kTestWaitMs);
            return result;
        }
        result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
        result.err = QString::fromLocal8Bit(process.readAllStandardError());
        return result;
    }

private slots:
    void Parser_EveryOptionAndFileForm()
    {
        const std::set<QString> existing = {"/home/u/logs/exists.log:3"};
        const auto exists = [&](const QString& path) { return existing.count(path) > 0; };
        const parse_row rows[] = {
            {"nothing", {}, action::run, {}},
            {"relative and absolute",
             {"a.log", "/var/log/b.log"},
             action::run,
             {{u"/home/u/logs/a.log", 0}, {u"/var/log/b.log", 0}}},
            {"relative upwards", {"../other/./c.log"}, action::run, {{u"/home/u/other/c.log", 0}}},
            {"file:line", {"a.log:12"}, action::run, {{u"/home/u/logs/a.log", 12}}},
            {"colons in the name", {"x:y/b:c.log"}, action::run, {{u"/home/u/logs/x:y/b:c.log", 0}}},
            {"colons and a line", {"/srv/c:d.log:7"}, action::run, {{u"/srv/c:d.log", 7}}},
            {"a file named like file:line", {"exists.log:3"}, action::run, {{u"/home/u/logs/exists.log:3", 0}}},
            {"colon without digits", {"a.log:"}, action::run, {{u"/home/u/logs/a.log:", 0}}},
            {"--line for files without their own",
             {"--line", "5", "a.log", "b.log:2"},
             action::run,
             {{u"/home/u/logs/a.log", 5}, {u"/home/u/logs/b.log", 2}}},
            {"--line=N", {"--line=40", "a.log"}, action::run, {{u"/home/u/logs/a.log", 40}}},
            {"-l N", {"-l", "9", "a.log"}, action::run, {{u"/home/u/logs/a.log", 9}}},
            {"-- before a dash name", {"--", "-x"}, action::run, {{u"/home/u/logs/-x", 0}}},
            {"toolkit options pass",
             {"-platform", "offscreen", "-reverse", "a.log"},
             action::run,
             {{u"/home/u/logs/a.log", 0}}},
            {"unknown short option", {"-x"}, action::usage_error, {}},
            {"unknown long option", {"--bogus", "a.log"}, action::usage_error, {}},
            {"line zero", {"--line", "0", "a.log"}, action::usage_error, {}},
            {"line not a number", {"--line", "ten", "a.log"}, action::usage_error, {}},
            {"line without value", {"a.log", "--line"}, action::usage_error, {}},
            {"standard input", {"-"}, action::run, {}},
            {"standard input beside a file", {"-", "a.log"}, action::run, {{u"/home/u/logs/a.log", 0}}},
            {"--help", {"a.log", "--help"}, action::help, {}},
            {"-h", {"-h"}, action::help, {}},
            {"--version", {"--version"}, action::version, {}},
            {"-v", {"-v", "a.log"}, action::version, {}},
        };
        for (const parse_row& row : rows) {
            const command_line line = ParseCommandLine(QStringList{"varnoth"} + row.arguments, "/home/u/logs", exists);
            QVERIFY2(line.what == row.what, row.name);
            QVERIFY2(line.files == row.files, row.name);
            QVERIFY2(line.error.isEmpty() == (row.what != action::usage_error), row.name);
            QVERIFY2(line.standard_input == row.arguments.contains("-"), row.name);
        }
    }

    void HelpAndVersion_RunWithoutAnyDisplay()
    {
        const QProcessEnvironment env = NoDisplay();
        for (const char* option : {"--help", "-h"}) {
            const run_result help = Run({option}, env);
            QVERIFY(help.finished);
            QCOMPARE(help.status, 0);
            QCOMPARE(help.out, UsageText());
        }
        const run_result version = Run({"--version"}, env);
        QVERIFY(version.finished);
        QCOMPARE(version.status, 0);
        QCOMPARE(version.out, QStringLiteral("varnoth %1\n").arg(kVarnothVersion));

        const run_result unknown = Run({"--no-such-option", "a.log"}, env);
        QVERIFY(unknown.finished);
        QCOMPARE(unknown.status, kUsageErrorStatus);
        QVERIFY(unknown.out.isEmpty());
        QVERIFY2(unknown.err.contains("no-such-option") && unknown.err.contains(UsageText()), qPrintable(unknown.err));
    }

    void SecondStart_WithTwoFiles_OpensBothAtTheirLinesInTheRunningViewer()
    {
        viewer_fixture viewer;
        QVERIFY(viewer.Ready());
        viewer.Write("first.log", viewer_fixture::NumberedLines(1, 50));
        viewer.Write("sec:ond.log", viewer_fixture::NumberedLines(1, 80));

        // Started in the files' folder with relative names, as from a shell there.
        QProcess second;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        second.setProcessEnvironment(env);
        second.setWorkingDirectory(QString::fromStdString(viewer.FilePath("").string()));
        second.start(QString(VARNOTH_BIN_DIR) + "/varnoth", {"--line", "7", "first.log", "sec:ond.log:61"});
        QVERIFY(second.waitForFinished(kTestWaitMs));
        QCOMPARE(second.exitCode(), 0);

        QVERIFY(viewer.WaitForTabs(2));
        QCOMPARE(viewer.shell->InstanceChannel()->BatchesOpened(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(viewer.shell->LineOpener()->Pending(), std::size_t(0), kTestWaitMs);
        viewer_fixture::Settle();

        const std::pair<QString, std::u16string> expected[] = {{"first.log", u"line 7"}, {"sec:ond.log", u"line 61"}};
        for (const auto& [name, text] : expected) {
            CLogListCtrl* list = nullptr;
            for (int tab = 0; tab < viewer.Tabs()->count(); ++tab)
                if (viewer.Tabs()->tabText(tab) == name)
                    list = viewer.ListOf(tab);
            QVERIFY2(list, qPrintable(name));
            const std::vector<int> selected = list->SelectedRows();
            QCOMPARE(selected.size(), std::size_t(1));
            QCOMPARE(ToQString(list->CellText(selected[0], 0)), ToQString(text));
        }
        QVERIFY(viewer.boxes.empty());
    }
};

QTEST_MAIN(CommandLineTest)
#include "command_line_test.moc"
