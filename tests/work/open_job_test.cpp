// The open job driven through the real protocol: which messages reach the
// main window and the message boxes, in which order, and what the progress
// dialog is shown.
#include "platform/diagnostics.h"
#include "platform/strings.h"
#include "work/protocol_fixture.h"
#include "work/work_messages.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <mutex>

namespace {

using OpenJob = protocol_fixture;

std::size_t CountOf(const std::vector<unsigned>& ids, unsigned id)
{
    return static_cast<std::size_t>(std::count(ids.begin(), ids.end(), id));
}

TEST_F(OpenJob, OneFile_DoneComesBeforeTheTabAndTheParserIsChosenOnTheInterfaceThread)
{
    const std::u16string path = WriteFile("one.log", NumberedLines(10));
    App().SetProgressDelayMs(20000);
    App().OpenFiles({path});
    ASSERT_TRUE(PumpUntilIdle());

    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(dialogs.empty());
    ASSERT_EQ(window.calls, (std::vector<std::string>{"tab:one.log"}));
    // The done message closes the dialog before the tab is added.
    const auto done = std::find(dispatched.begin(), dispatched.end(), WM_WORK_DONE);
    const auto ready = std::find(dispatched.begin(), dispatched.end(), WM_WORK_FILE_READY);
    ASSERT_NE(done, dispatched.end());
    EXPECT_LT(done, ready);
    EXPECT_EQ(CountOf(dispatched, WM_WORK_DONE), 1u);

    auto files = App().OpenFileList().lock();
    ASSERT_EQ(files->size(), 1u);
    file_view& data = *(*files)[0];
    EXPECT_EQ(data.path(), path);
    EXPECT_EQ(data.name(), u"one.log");
    EXPECT_EQ(data.parser_name(), u""); // the default parser
    EXPECT_EQ(FileOf(data).line_count(), 10u);
    EXPECT_EQ(window.tabs[0].file, &data);
}

TEST_F(OpenJob, ShortJob_ShowsNoDialogDropsItsProgressAndLeavesNoStaleText)
{
    const std::u16string path = WriteFile("short.log", NumberedLines(3));
    App().SetProgressDelayMs(20000);
    App().OpenFiles({path});
    // The wait has ended; the progress the job posted is gone already.
    EXPECT_EQ(CountOf(dispatched, WM_WORK_PROGRESS), 0u);
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_TRUE(dialogs.empty());
    EXPECT_EQ(App().ShownProgressDialog(), nullptr);
    EXPECT_EQ(CountOf(dispatched, WM_WORK_PROGRESS), 0u);
    const tagPROGRESS_STATE after = App().Progress().snapshot();
    EXPECT_EQ(after.file_number, 0);
    EXPECT_EQ(after.current, -1);
    EXPECT_EQ(after.total, -1);
    EXPECT_TRUE(after.action.empty());
    EXPECT_TRUE(after.object.empty());
}

TEST_F(OpenJob, AlreadyOpenPath_ComparedWithAsciiCaseFolded_OnlyActivatesItsTab)
{
    const std::u16string first = WriteFile("first.log", NumberedLines(2));
    const std::u16string second = WriteFile("Second.log", NumberedLines(2));
    App().SetProgressDelayMs(20000);
    App().OpenFiles({first, second});
    ASSERT_TRUE(PumpUntilIdle());
    ASSERT_EQ(window.tabs.size(), 2u);
    const uint64_t jobs = App().WorkThread().LastJobSerial();

    std::u16string shouted = first;
    const std::size_t slash = shouted.rfind(u'/');
    for (std::size_t i = slash; i < shouted.size(); ++i)
        shouted[i] = shouted[i] >= u'a' && shouted[i] <= u'z' ? static_cast<char16_t>(shouted[i] - 32) : shouted[i];
    window.calls.clear();
    App().OpenFiles({shouted});
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(App().WorkThread().LastJobSerial(), jobs); // no job ran
    EXPECT_EQ(window.calls, (std::vector<std::string>{"activate:0"}));
    EXPECT_EQ(window.tabs.size(), 2u);

    // A non-ASCII letter is not folded: that path is another file.
    const std::u16string umlaut = WriteFile("\xc3\xa4.log", "x\n");
    App().OpenFiles({umlaut});
    ASSERT_TRUE(PumpUntilIdle());
    std::u16string upper = umlaut;
    upper[upper.rfind(u'/') + 1] = u'\u00c4';
    window.calls.clear();
    App().OpenFiles({upper});
    ASSERT_TRUE(PumpUntilIdle());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], BoxText(u"IDS_MSG_CANNOT_READ_FILE", upper));
}

TEST_F(OpenJob, RepeatedPathInOneBatch_OpensOnce)
{
    const std::u16string path = WriteFile("twice.log", NumberedLines(2));
    App().SetProgressDelayMs(20000);
    App().OpenFiles({path, path});
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(window.tabs.size(), 1u);
    EXPECT_EQ(App().OpenFileList().size(), 1u);
}

struct unreadable_case {
    const char* what;
    std::function<std::u16string(protocol_fixture&)> make;
};

TEST_F(OpenJob, ThreeFilesWithAnUnreadableSecond_NamesItOpensTheOthersAndCountsOneToThree)
{
    const std::vector<unreadable_case> cases = {
        {"vanished", [](protocol_fixture& f) { return f.ScratchPath("files/gone.log"); }},
        {"folder",
         [](protocol_fixture& f) {
             std::filesystem::create_directories(std::filesystem::path(f.ScratchPath("files/folder.log")));
             return f.ScratchPath("files/folder.log");
         }},
        {"no permission",
         [](protocol_fixture& f) {
             const std::u16string path = f.WriteFile("locked.log", "secret\n");
             ::chmod(ToUtf8(path).c_str(), 0);
             return path;
         }},
    };
    for (const unreadable_case& c : cases) {
        SCOPED_TRACE(c.what);
        if (std::string(c.what) == "no permission" && ::geteuid() == 0)
            continue; // root reads anything
        boxes.clear();
        window.calls.clear();
        window.tabs.clear();
        dialogs.clear();
        App().OpenFileList().clear();

        const std::u16string a = WriteFile(std::string("a-") + c.what + ".log", NumberedLines(5));
        const std::u16string b = c.make(*this);
        const std::u16string z = WriteFile(std::string("z-") + c.what + ".log", NumberedLines(7));
        App().SetProgressDelayMs(0); // always show the dialog
        App().OpenFiles({a, b, z});
        ASSERT_TRUE(PumpUntilIdle());

        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0], BoxText(u"IDS_MSG_CANNOT_READ_FILE", b));
        ASSERT_EQ(window.tabs.size(), 2u);
        EXPECT_EQ(window.tabs[0].file->path(), a);
        EXPECT_EQ(window.tabs[1].file->path(), z);

        ASSERT_EQ(dialogs.size(), 1u);
        const recording_progress_dialog& dialog = *dialogs[0];
        EXPECT_FALSE(dialog.timed_out);
        EXPECT_TRUE(dialog.ended);
        EXPECT_EQ(dialog.file_count, 3);
        EXPECT_FALSE(dialog.cancellable);
        // Shown from the first file to the third, never backwards.
        std::vector<int> numbers;
        for (const tagPROGRESS_STATE& state : dialog.updates)
            if (state.file_number > 0)
                numbers.push_back(state.file_number);
        ASSERT_FALSE(numbers.empty());
        EXPECT_EQ(numbers.front(), 1);
        EXPECT_EQ(numbers.back(), 3);
        EXPECT_TRUE(std::is_sorted(numbers.begin(), numbers.end()));
        EXPECT_EQ(App().ShownProgressDialog(), nullptr);
    }
}

TEST_F(OpenJob, ProgressNamesTheStepAndTheFile)
{
    const std::u16string path = WriteFile("steps.log", NumberedLines(4));
    App().SetProgressDelayMs(0);
    App().OpenFiles({path});
    ASSERT_TRUE(PumpUntilIdle());
    ASSERT_EQ(dialogs.size(), 1u);
    std::vector<std::u16string> actions;
    for (const tagPROGRESS_STATE& state : dialogs[0]->updates) {
        if (state.file_number == 0)
            continue;
        EXPECT_EQ(state.object, u"steps.log");
        EXPECT_EQ(state.current, -1);
        EXPECT_EQ(state.total, -1);
        if (actions.empty() || actions.back() != state.action)
            actions.push_back(state.action);
    }
    // The dialog reads the record when a progress message arrives, so a step
    // may be passed over, but what it shows follows the job's order.
    const std::vector<std::u16string> order = {BoxText(u"IDS_PROGRESSDLG_STATUS_INDEXING"),
                                               BoxText(u"IDS_PROGRESSDLG_STATUS_DETECT_PARSER"),
                                               BoxText(u"IDS_PROGRESSDLG_STATUS_PARSING")};
    // The job waits for its parser choice until the dialog serves it, so
    // the choosing step is always seen.
    ASSERT_FALSE(actions.empty());
    EXPECT_NE(std::find(actions.begin(), actions.end(), order[1]), actions.end());
    std::size_t at = 0;
    for (const std::u16string& action : actions) {
        while (at < order.size() && order[at] != action)
            ++at;
        EXPECT_LT(at, order.size()) << ToUtf8(action);
    }
}

TEST_F(OpenJob, EmptyFile_IsShownWithoutRowsAndWithoutParse)
{
    const std::u16string path = WriteFile("empty.log", "");
    std::vector<std::string> costs;
    std::mutex costs_mutex;
    SetDiagnosticsSink([&](const std::string& line) {
        std::lock_guard<std::mutex> guard(costs_mutex);
        costs.push_back(line);
    });
    App().SetProgressDelayMs(20000);
    App().OpenFiles({path});
    ASSERT_TRUE(PumpUntilIdle());
    SetDiagnosticsSink(nullptr);
    EXPECT_TRUE(boxes.empty());
    ASSERT_EQ(window.tabs.size(), 1u);
    EXPECT_EQ(window.tabs[0].window_first, -1);
    EXPECT_EQ(window.tabs[0].rows, 0u);
    std::lock_guard<std::mutex> guard(costs_mutex);
    EXPECT_TRUE(
        std::any_of(costs.begin(), costs.end(), [](const std::string& l) { return l.rfind("Attach Cost ", 0) == 0; }));
    EXPECT_FALSE(
        std::any_of(costs.begin(), costs.end(), [](const std::string& l) { return l.rfind("Parse Cost ", 0) == 0; }));
}

TEST_F(OpenJob, ReparseBeyondTheIndex_SaysSoPostsNoViewUpdateAndUnfreezesTheList)
{
    const std::u16string path = WriteFile("seek.log", NumberedLines(5));
    App().SetProgressDelayMs(20000);
    App().OpenFiles({path});
    ASSERT_TRUE(PumpUntilIdle());
    window.calls.clear();
    App().ReparseFrom(5, SELECT_ROW, 0);
    ASSERT_TRUE(PumpUntilIdle());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], BoxText(u"IDS_MSG_INVALID_SEEK_POS"));
    EXPECT_TRUE(window.calls.empty());
    EXPECT_TRUE(window.redraw);
}

TEST_F(OpenJob, NoActiveFile_StartsNoJob)
{
    App().ReparseFrom(0, SELECT_FIRST, 0);
    App().RunFilter(false);
    App().ApplyQuickFilter(u"x");
    EXPECT_EQ(App().WorkThread().LastJobSerial(), 0u);
    EXPECT_EQ(App().ActiveFile(), nullptr);
}

TEST_F(OpenJob, JobPostedWhileAnotherJobsDialogRuns_EndsThatDialogAndWaitsForItsOwnEnd)
{
    const std::u16string a = WriteFile("a.log", NumberedLines(3));
    const std::u16string b = WriteFile("b.log", NumberedLines(3));
    App().SetProgressDelayMs(0);
    bool nested_returned = false;
    std::size_t done_before_nested_return = 0;
    window.on_tab = [&](file_view& file) {
        if (file.name() != u"a.log")
            return;
        // Inside the open job's dialog: a re-parse of the first file while
        // b.log is still being opened.
        App().ReparseFrom(0, SELECT_ROW, 1);
        nested_returned = true;
        done_before_nested_return = CountOf(dispatched, WM_WORK_DONE);
    };
    App().OpenFilesDirect({a, b});
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_TRUE(nested_returned);
    ASSERT_GE(dialogs.size(), 2u);
    EXPECT_TRUE(dialogs[0]->ended);
    // The re-parse's wait ended only with its own done (the second job's),
    // after the open job's done.
    EXPECT_EQ(done_before_nested_return, 2u);
    for (const auto& dialog : dialogs)
        EXPECT_FALSE(dialog->timed_out);
    EXPECT_EQ(window.tabs.size(), 2u);
}

TEST_F(OpenJob, ExitWhileTheJobWaitsForAnAnswer_EndsWithTheFallbackAnswer)
{
    // Nobody pumps: the job's box request stays unanswered until exit.
    const std::u16string gone = ScratchPath("files/gone.log");
    auto* paths = new std::vector<std::u16string>{gone};
    App().WorkThread().PostJob(WM_JOB_OPEN_FILES, 0, reinterpret_cast<intptr_t>(paths));
    ASSERT_TRUE(App().InterfaceQueue().wait(20000, WM_WORK_MESSAGE_BOX));
    App().ExitInstance();
    EXPECT_FALSE(App().WorkThread().IsRunning());
    EXPECT_TRUE(boxes.empty());
    EXPECT_EQ(App().InterfaceQueue().size(), 0u);
}

TEST_F(OpenJob, FindInFileWithoutAMatch_SaysSoAndKeepsTheSelection)
{
    App().SetProgressDelayMs(0);
    App().OpenFiles({WriteFile("find.log", NumberedLines(20))});
    ASSERT_TRUE(PumpUntilIdle());
    for (const bool up : {false, true}) {
        SCOPED_TRACE(up ? "up" : "down");
        boxes.clear();
        window.calls.clear();
        dialogs.clear();
        CSearchInfo search;
        search.expression = u"no such text";
        search.up = up;
        App().FindInFile(search);
        ASSERT_TRUE(PumpUntilIdle());
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0], BoxText(u"IDS_MSG_NOT_FOUND"));
        EXPECT_EQ(window.calls, (std::vector<std::string>{"view:0:0"}));
        ASSERT_EQ(dialogs.size(), 1u);
        EXPECT_TRUE(dialogs[0]->cancellable);
        EXPECT_TRUE(window.redraw);
    }
}

TEST_F(OpenJob, ACancelLeftOverFromAnEarlierJob_DoesNotStopTheNextFind)
{
    App().SetProgressDelayMs(20000);
    App().OpenFiles({WriteFile("stale.log", NumberedLines(5))});
    ASSERT_TRUE(PumpUntilIdle());
    App().WorkThread().CancelEvent().set(); // pressed after the last job's last test
    CSearchInfo search;
    search.expression = u"line";
    App().FindInFile(search);
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(App().WorkThread().CancelEvent().wait(0), 1);
}

TEST_F(OpenJob, ExitInstance_StopsTheWorkThreadAndClosesEveryFile)
{
    App().SetProgressDelayMs(20000);
    App().OpenFiles({WriteFile("x.log", NumberedLines(30)), WriteFile("y.log", NumberedLines(30))});
    ASSERT_TRUE(PumpUntilIdle());
    ASSERT_EQ(App().OpenFileList().size(), 2u);
    ASSERT_TRUE(App().AcquireSingleInstance());
    App().ExitInstance();
    EXPECT_FALSE(App().WorkThread().IsRunning());
    EXPECT_EQ(App().OpenFileList().size(), 0u);
    EXPECT_FALSE(App().HoldsSingleInstance());
    EXPECT_EQ(log_file::pending_discards(), 0);
    // Jobs after exit are refused instead of waited for.
    App().OpenFiles({WriteFile("late.log", "x\n")});
    EXPECT_EQ(App().OpenFileList().size(), 0u);
}

} // namespace
