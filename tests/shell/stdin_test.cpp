// Standard input in the whole viewer: a pipe fed in bursts opens as
// "(standard input)", its rows follow each burst, and its copy goes when the
// tab closes or the viewer ends; a pipe that brings nothing opens nothing;
// with a viewer running, "varnoth -" shows the stream in a window of its own
// and leaves the running viewer alone.
#include "app/stdin_spool.h"
#include "shell/instance_channel.h"
#include "shell/standard_input.h"
#include "ui/command_ids.h"
#include "ui/top_panel.h"
#include "ui/ui_text.h"
#include "viewer_fixture.h"

#include <QComboBox>
#include <QProcess>
#include <QTest>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

class StdinTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_cache;
    int m_writer = -1;

    // A viewer whose standard input is a fresh pipe, taken as use says.
    std::unique_ptr<viewer_fixture> Start(stdin_use use)
    {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return nullptr;
        m_writer = ends[1];
        viewer_fixture::options how;
        how.before_start = [&](CVarnothShell& shell) { shell.SetStandardInput(ends[0], use); };
        how.installed_folders = {"parser"};
        return std::make_unique<viewer_fixture>(how);
    }
    bool Feed(const std::string& bytes) const
    {
        return ::write(m_writer, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    void EndInput()
    {
        if (m_writer >= 0)
            ::close(m_writer);
        m_writer = -1;
    }
    static const stdin_spool& Spool(viewer_fixture& viewer) { return viewer.shell->StandardInput()->Spool(); }
    // Runs auto-refresh ticks, as the window's timer does, until the tab
    // shows rows rows; a bounded number of ticks.
    static bool TickUntilRows(viewer_fixture& viewer, int rows)
    {
        for (int tick = 0; tick < 500; ++tick) {
            if (viewer.ActiveList() && viewer.ActiveList()->RowCount() == rows)
                return true;
            if (file_view* file = viewer.ActiveFile())
                FileOf(*file).indexer().wait_stopped(kTestWaitMs);
            viewer.window->OnRefreshTimer();
            viewer_fixture::Settle();
            QTest::qWait(10);
        }
        return false;
    }
    static std::vector<fs::path> SpoolFiles(const fs::path& folder)
    {
        std::vector<fs::path> files;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(folder, error))
            files.push_back(entry.path());
        return files;
    }
    fs::path SpoolFolder() const { return fs::path(m_cache.path().toStdString()) / "varnoth"; }

private slots:
    void initTestCase()
    {
        ::signal(SIGPIPE, SIG_IGN);
        qputenv("XDG_CACHE_HOME", m_cache.path().toUtf8());
    }
    void cleanup() { EndInput(); }

    void Named_TabFollowsEachBurst_AndItsFileGoesWithTheTab()
    {
        auto viewer = Start(stdin_use::named);
        QVERIFY(viewer && viewer->Ready());
        // The tab is there at once, before any byte.
        QVERIFY(viewer->WaitForTabs(1));
        QCOMPARE(viewer->Tabs()->tabText(0), QString("(standard input)"));
        QVERIFY2(viewer->window->windowTitle().contains("(standard input)"), qPrintable(viewer->window->windowTitle()));
        QVERIFY(viewer->ActiveFile()->auto_refresh());
        const std::u16string path = Spool(*viewer).path();
        QVERIFY(fs::exists(path));

        // Syslog lines: the parser is chosen with the first burst, and the
        // parser and encoding boxes show it then.
        const auto syslog = [](int first, int count) {
            std::string out;
            for (int i = first; i < first + count; ++i)
                out +=
                    "Dec 10 09:20:" + std::to_string(10 + i % 50) + " host kernel: event " + std::to_string(i) + "\n";
            return out;
        };
        int lines = 0;
        for (const int burst : {3, 1, 40, 7}) {
            QVERIFY(Feed(syslog(lines, burst)));
            lines += burst;
            QVERIFY2(TickUntilRows(*viewer, lines), qPrintable(QString::number(lines)));
            QVERIFY(!viewer->ActiveFile()->parser_name().empty());
            QCOMPARE(viewer->window->TopPanel()->ShownParser(), viewer->ActiveFile()->parser_name());
            const auto* encoding = viewer->window->StatusBar()->findChild<QComboBox*>(IdObjectName(ids::kEncodingBox));
            QVERIFY(encoding && encoding->isEnabled());
        }
        const int columns = viewer->ActiveList()->ColumnCount();
        QCOMPARE(ToQString(viewer->ActiveList()->CellText(lines - 1, columns - 1)), QString("event %1").arg(lines - 1));
        QCOMPARE(viewer->Tabs()->count(), 1);
        // A temporary file is no recent file.
        QVERIFY(std::find(viewer->app->recent_files.begin(), viewer->app->recent_files.end(), path)
                == viewer->app->recent_files.end());

        viewer->Route(ids::kFileClose);
        QCOMPARE(viewer->Tabs()->count(), 0);
        QVERIFY(viewer->shell->StandardInput()->TabClosed());
        QVERIFY(!fs::exists(path));
        // The stream is closed for its writer.
        errno = 0;
        QCOMPARE(::write(m_writer, "x\n", 2), ssize_t(-1));
        QCOMPARE(errno, EPIPE);
        QVERIFY(viewer->boxes.empty());
    }

    void Implied_OpensWithTheFirstBytes_AndTheFileGoesAtExit()
    {
        auto viewer = Start(stdin_use::implied);
        QVERIFY(viewer && viewer->Ready());
        viewer_fixture::Settle();
        QCOMPARE(viewer->Tabs()->count(), 0); // nothing came yet
        const std::u16string path = Spool(*viewer).path();
        QVERIFY(Feed("first\nsecond\n"));
        QVERIFY(viewer->WaitForTabs(1));
        QCOMPARE(viewer->Tabs()->tabText(0), QString("(standard input)"));
        QVERIFY(TickUntilRows(*viewer, 2));
        EndInput(); // the end of the stream keeps the tab
        QTRY_VERIFY_WITH_TIMEOUT(Spool(*viewer).ended(), kTestWaitMs);
        viewer_fixture::Settle();
        QCOMPARE(viewer->Tabs()->count(), 1);
        QVERIFY(fs::exists(path));
        viewer.reset();
        QVERIFY(!fs::exists(path));
    }

    void Implied_AnEmptyPipeOpensNothing()
    {
        auto viewer = Start(stdin_use::implied);
        QVERIFY(viewer && viewer->Ready());
        const std::u16string path = Spool(*viewer).path();
        EndInput();
        QTRY_VERIFY_WITH_TIMEOUT(Spool(*viewer).path().empty(), kTestWaitMs);
        viewer_fixture::Settle();
        QCOMPARE(viewer->Tabs()->count(), 0);
        QVERIFY(!fs::exists(path));
        QVERIFY(!viewer->shell->StandardInput()->TabOpened());
        QVERIFY(viewer->boxes.empty());
    }

    void NoStandardInput_ByDefault()
    {
        viewer_fixture viewer;
        QVERIFY(viewer.Ready());
        QVERIFY(!viewer.shell->StandardInput());
        QVERIFY(!viewer.shell->OwnWindow());
    }

    void AnOrphanOfACrashedRunGoesAtTheNextStart()
    {
        fs::create_directories(SpoolFolder());
        fs::permissions(SpoolFolder(), fs::perms::owner_all);
        const pid_t child = ::fork();
        if (child == 0)
            ::_exit(0);
        ::waitpid(child, nullptr, 0);
        const fs::path orphan = SpoolFolder() / ("stdin-" + std::to_string(child) + "-1.log");
        std::ofstream(orphan) << "left behind\n";
        viewer_fixture viewer;
        QVERIFY(viewer.Ready());
        QVERIFY(!fs::exists(orphan));
    }

    void WithAViewerRunning_TheStreamOpensInAWindowOfItsOwn()
    {
        viewer_fixture running;
        QVERIFY(running.Ready());
        const fs::path cache = fs::path(running.Root()) / "child-cache";
        QProcess second;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("VARNOTH_RUNTIME_DIR", QString::fromStdString((running.Root() / "run").string()));
        env.insert("XDG_CACHE_HOME", QString::fromStdString(cache.string()));
        env.insert("VARNOTH_DEBUG", "1");
        second.setProcessEnvironment(env);
        second.start(QString(VARNOTH_BIN_DIR) + "/varnoth", {"-"});
        QVERIFY(second.waitForStarted(kTestWaitMs));
        const QByteArray lines = "from a pipe 1\nfrom a pipe 2\n";
        second.write(lines);
        QVERIFY(second.waitForBytesWritten(kTestWaitMs));

        // The child copies the stream; the running viewer takes nothing.
        const fs::path folder = cache / "varnoth";
        QTRY_VERIFY_WITH_TIMEOUT(SpoolFiles(folder).size() == 1
                                     && fs::file_size(SpoolFiles(folder)[0]) == std::uintmax_t(lines.size()),
                                 kTestWaitMs);
        QCOMPARE(second.state(), QProcess::Running);
        viewer_fixture::Settle();
        QCOMPARE(running.Tabs()->count(), 0);
        QCOMPARE(running.shell->InstanceChannel()->BatchesOpened(), 0);

        // Killed, it leaves its copy behind; the next start removes it.
        const fs::path copy = SpoolFiles(folder)[0];
        second.kill();
        QVERIFY(second.waitForFinished(kTestWaitMs));
        const QString err = QString::fromLocal8Bit(second.readAllStandardError());
        QVERIFY2(err.contains("window of its own") && err.contains("main window shown"), qPrintable(err));
        QVERIFY(fs::exists(copy));
        QCOMPARE(RemoveOrphanSpools(folder.u16string()), 1);
        QVERIFY(!fs::exists(copy));
    }
};

QTEST_MAIN(StdinTest)
#include "stdin_test.moc"
