// Following a log in the whole viewer: appends take the cheap path (the
// index grows, the old lines are kept), while a file that was truncated,
// replaced under its name or rewritten in place is read again from its
// start in its tab, with a note in the status bar and its flags kept.
#include "ui/command_ids.h"
#include "ui/ui_text.h"
#include "viewer_fixture.h"

#include <QComboBox>
#include <QScopeGuard>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <cstdio>
#include <string>
#include <vector>
#include <filesystem>
#include <fstream>

class FollowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<viewer_fixture> m_viewer;
    viewer_fixture& V() { return *m_viewer; }

    // Opens name with auto refresh on, its first line selected.
    CLogListCtrl* OpenFollowed(const std::string& name, const std::string& bytes)
    {
        CLogListCtrl* list = V().Open(V().Write(name, bytes));
        if (!list)
            return nullptr;
        V().Route(ids::kViewAutoRefresh);
        return V().ActiveFile()->auto_refresh() ? list : nullptr;
    }

    // One tick of the auto-refresh timer, as the window's timer runs it.
    void Tick()
    {
        V().window->OnRefreshTimer();
        viewer_fixture::Settle();
    }

    bool AutoRefreshButtonChecked()
    {
        const auto* button = V().window->ToolBar()->findChild<QToolButton*>(IdObjectName(ids::kViewAutoRefresh));
        return button && button->isChecked();
    }

    static QString ReloadNote(const char* name)
    {
        return Text(u"IDS_STATUSBAR_NOTE_RELOADED").replace(QStringLiteral("%s"), QString::fromLatin1(name));
    }

    // Checks that the active tab shows a fresh read of the file.
    void ExpectReloaded(const char* name, uint64_t lines, const std::u16string& first_cell)
    {
        // Appends are looked at once the new index thread is done.
        QCOMPARE(FileOf(*V().ActiveFile()).indexer().wait_stopped(kTestWaitMs), 0);
        QCOMPARE(V().Shape().lines, lines);
        QCOMPARE(V().ActiveList()->CellText(0, 0), first_cell);
        QCOMPARE(V().Note(), ReloadNote(name));
        QVERIFY(V().ActiveFile()->auto_refresh());
        QVERIFY(AutoRefreshButtonChecked());
        QCOMPARE(V().Tabs()->count(), 1);
        QCOMPARE(V().app->OpenFileList().lock()->size(), std::size_t(1));
        QVERIFY(V().boxes.empty());
        V().window->StatusBar()->ClearNote();
    }

private slots:
    void init()
    {
        m_viewer = std::make_unique<viewer_fixture>(300);
        QVERIFY(m_viewer->Ready());
    }
    void cleanup() { m_viewer.reset(); }

    // Results follow the file: appended lines are walked and their matches
    // added (the same list as a fresh find all on the grown file), and after
    // a truncation the reload makes them again from the new file.
    void results_FollowAppendsAndAreMadeAgainAfterAReload()
    {
        const auto lines = [](int first, int count) {
            std::string out;
            for (int i = first; i < first + count; ++i)
                out += (i % 9 == 4 ? "warn hit " : "plain ") + std::to_string(i) + "\n";
            return out;
        };
        const auto plain_scan = [&](int count) {
            std::vector<uint64_t> hits;
            for (int i = 0; i < count; ++i)
                if (i % 9 == 4)
                    hits.push_back(static_cast<uint64_t>(i));
            return hits;
        };
        QVERIFY(OpenFollowed("res.log", lines(0, 1000)));
        file_view* file = V().ActiveFile();
        CSearchInfo search;
        search.expression = u"hit";
        QVERIFY(file->find_all(search));
        QCOMPARE(file->results().copy(), plain_scan(1000));
        V().Append("res.log", lines(1000, 500));
        Tick();
        QCOMPARE(file->results().copy(), plain_scan(1500));
        // Truncated and rewritten: the results are those of the new file.
        V().Write("res.log", lines(0, 300));
        Tick();
        QCOMPARE(FileOf(*file).indexer().wait_stopped(kTestWaitMs), 0);
        QCOMPARE(V().ActiveFile(), file);
        QCOMPARE(file->results().copy(), plain_scan(300));
        QVERIFY(V().boxes.empty());
    }

    void appends_AreIndexedWithoutReadingTheOldLinesAgain()
    {
        CLogListCtrl* list = OpenFollowed("app.log", viewer_fixture::NumberedLines(0, 100));
        QVERIFY(list);
        V().Append("app.log", viewer_fixture::NumberedLines(100, 3));
        Tick();
        QCOMPARE(V().Shape(), (viewer_fixture::window_shape{0, 102, 103}));
        const log_file::parse_counts counts = FileOf(*V().ActiveFile()).last_parse_counts();
        QCOMPARE(counts.reused, uint64_t(100));
        QCOMPARE(counts.split, uint64_t(3));
        QCOMPARE(list->CellText(102, 0), std::u16string(u"line 102"));
        QCOMPARE(list->SelectionMark(), 102); // tail on refresh follows the end
        QCOMPARE(V().Note(), QString());
        // The same tick without news changes nothing.
        Tick();
        QCOMPARE(V().Shape(), (viewer_fixture::window_shape{0, 102, 103}));
        QCOMPARE(V().Note(), QString());
    }

    void truncateAndGrow_ReloadsFromTheStart()
    {
        CLogListCtrl* list = OpenFollowed("trunc.log", viewer_fixture::NumberedLines(0, 100, "old "));
        QVERIFY(list);
        // Copied away and truncated, then a few new lines: shorter than before.
        V().Write("trunc.log", viewer_fixture::NumberedLines(0, 40, "new "));
        Tick();
        ExpectReloaded("trunc.log", 40, u"new 0");

        // Truncated and grown past the old size before the next look.
        V().Write("trunc.log", viewer_fixture::NumberedLines(0, 150, "newer "));
        Tick();
        ExpectReloaded("trunc.log", 150, u"newer 0");
        // Following goes on: the next append is cheap again.
        V().Append("trunc.log", "newer 150\n");
        Tick();
        QCOMPARE(V().Shape(), (viewer_fixture::window_shape{0, 150, 151}));
        QCOMPARE(FileOf(*V().ActiveFile()).last_parse_counts().reused, uint64_t(150));
        QCOMPARE(V().Note(), QString());
    }

    void renameAndRecreate_FollowsTheOldFileUntilTheNewOneIsThere()
    {
        namespace fs = std::filesystem;
        CLogListCtrl* list = OpenFollowed("rot.log", viewer_fixture::NumberedLines(0, 100, "first "));
        QVERIFY(list);
        fs::rename(V().FilePath("rot.log"), V().FilePath("rot.log.1"));
        // Between rename and re-create the open file is still followed.
        V().Append("rot.log.1", "first 100\n");
        Tick();
        QCOMPARE(V().Shape(), (viewer_fixture::window_shape{0, 100, 101}));
        QCOMPARE(V().Note(), QString());

        // A new file under the old name (another inode), read tail first.
        V().app->settings.load_tail_first = true;
        V().Write("rot.log", viewer_fixture::NumberedLines(0, 500, "second "));
        QVERIFY(fs::file_size(V().FilePath("rot.log")) > fs::file_size(V().FilePath("rot.log.1")));
        Tick();
        QVERIFY(FileOf(*V().ActiveFile()).indexer().wait_stopped(kTestWaitMs) == 0);
        QCOMPARE(V().Shape(), (viewer_fixture::window_shape{200, 499, 500}));
        QCOMPARE(list->CellText(0, 0), std::u16string(u"second 200"));
        QCOMPARE(list->SelectionMark(), 299);
        QCOMPARE(V().Note(), ReloadNote("rot.log"));
        QVERIFY(V().ActiveFile()->auto_refresh());
        QVERIFY(AutoRefreshButtonChecked());

        // The refresh command itself notices it too, and a file that is gone
        // for good leaves its tab as it was.
        V().window->StatusBar()->ClearNote();
        fs::rename(V().FilePath("rot.log"), V().FilePath("rot.log.2"));
        V().Write("rot.log", "third 0\nthird 1\n");
        V().Route(ids::kViewRefresh);
        ExpectReloaded("rot.log", 2, u"third 0");
        fs::remove(V().FilePath("rot.log"));
        V().Route(ids::kViewRefresh);
        QCOMPARE(V().Shape().lines, uint64_t(2));
        QCOMPARE(V().Note(), QString());
    }

    void sameSizeRewriteOfTheFirstLine_ReloadsFromTheStart()
    {
        const std::string text = viewer_fixture::NumberedLines(0, 50, "aaaa ");
        CLogListCtrl* list = OpenFollowed("same.log", text);
        QVERIFY(list);
        {
            std::fstream f(V().FilePath("same.log"), std::ios::binary | std::ios::in | std::ios::out);
            f.seekp(0);
            f << "bbbb";
        }
        QCOMPARE(std::filesystem::file_size(V().FilePath("same.log")), text.size());
        Tick();
        ExpectReloaded("same.log", 50, u"bbbb 0");
        QCOMPARE(list->CellText(1, 0), std::u16string(u"aaaa 1"));

        // The filter stays on across a reload and filters the new lines.
        list->SelectRow(1);
        V().Route(ids::kIncludeColumnFirst);
        QCOMPARE(list->RowCount(), 1);
        {
            std::fstream f(V().FilePath("same.log"), std::ios::binary | std::ios::in | std::ios::out);
            f << "cccc";
        }
        Tick();
        QCOMPARE(V().Note(), ReloadNote("same.log"));
        QVERIFY(V().ActiveFile()->filter_enabled());
        QCOMPARE(V().Shape().lines, uint64_t(50));
        QCOMPARE(list->RowCount(), 1);
        QCOMPARE(list->CellText(0, 0), std::u16string(u"aaaa 1"));
    }

    void reload_KeepsTheUsersEncodingChoice()
    {
        qputenv("VARNOTH_ANSI_CODEPAGE", "WINDOWS-1252");
        const auto restore = qScopeGuard([] { qunsetenv("VARNOTH_ANSI_CODEPAGE"); });
        CLogListCtrl* list = OpenFollowed("enc.log", "caf\xC3\xA9 0\ncaf\xC3\xA9 1\n");
        QVERIFY(list);
        QComboBox* box = V().window->EncodingBox();
        QCOMPARE(box->currentIndex(), 1); // guessed from the first bytes
        emit box->activated(0);
        QTRY_COMPARE_WITH_TIMEOUT(list->CellText(0, 0), std::u16string(u"caf\u00C3\u00A9 0"), kTestWaitMs);
        // Truncated and rewritten in UTF-8: read again, still as the user chose.
        V().Write("enc.log", "na\xC3\xAFve 0\n");
        Tick();
        ExpectReloaded("enc.log", 1, u"na\u00C3\u00AFve 0");
        QCOMPARE(V().ActiveFile()->counts().encoding, int32_t{ENCODING_ANSI});
        QCOMPARE(box->currentIndex(), 0);
        QVERIFY(box->isEnabled());
    }
};

QTEST_MAIN(FollowTest)
#include "follow_test.moc"
