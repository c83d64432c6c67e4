// The export job through the protocol: a real work thread, the progress
// record and the cancel event it shares with the interface thread, and what
// the interface thread does once the job has ended (opening a log export).
// The files written are compared with lines built here independently.
#include "glossant/dictionary_text.h"
#include "platform/strings.h"
#include "work/export_rows.h"
#include "work/export_test_support.h"
#include "work/protocol_fixture.h"
#include "work/work_messages.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

namespace {

std::string ReadAll(const std::u16string& path)
{
    std::ifstream in(ToUtf8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

bool Exists(const std::u16string& path)
{
    return ::access(ToUtf8(path).c_str(), F_OK) == 0;
}

// The cancel event a writer sets when the first buffer reaches the file; the
// writer then waits (bounded) until the job has taken the cancel, so that the
// job always notices it between two rows.
std::atomic<native_signal*> g_cancel_on_write{nullptr};

ssize_t CancellingWrite(int fd, const void* bytes, std::size_t count)
{
    if (native_signal* cancel = g_cancel_on_write.exchange(nullptr)) {
        cancel->set();
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (cancel->is_set() && std::chrono::steady_clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return ::write(fd, bytes, count);
}

ssize_t FullDiskWrite(int, const void*, std::size_t)
{
    errno = ENOSPC;
    return -1;
}

class ExportJob : public protocol_fixture {
protected:
    void Open(const std::string& name, const std::string& bytes, unsigned max_lines = 300)
    {
        App().SetProgressDelayMs(20000);
        App().settings.load_tail_first = false;
        App().settings.max_loading_lines = max_lines;
        App().OpenFiles({WriteFile(name, bytes)});
        ASSERT_TRUE(PumpUntilIdle());
        ASSERT_EQ(window.tabs.size(), 1u);
        m_data = window.tabs[0].file;
        ASSERT_EQ(FileOf(*m_data).indexer().wait_stopped(20000), 0);
        window.calls.clear();
        boxes.clear();
    }

    // Runs an export and then serves what the job left queued (the open of
    // a log export posts a job of its own).
    export_result Export(int32_t kind, const std::u16string& path, const std::vector<std::size_t>& selected = {},
                         write_function writer = nullptr)
    {
        const export_result result = App().ExportRows(kind, path, {u"Line"}, selected, writer);
        EXPECT_TRUE(PumpUntilIdle());
        return result;
    }

    file_view* m_data = nullptr;
};

TEST_F(ExportJob, VisibleRowsOfAQuickFilteredViewAreTheRowsShownAndTheLogOpensInANewTab)
{
    Open("visible.log", NumberedLines(1000));
    App().ApplyQuickFilter(u"7");
    ASSERT_TRUE(PumpUntilIdle());
    const std::u16string target = ScratchPath("files/visible-out.log");
    const export_result result = Export(EXPORT_KIND_VISIBLE_ROWS, target);

    std::string expected;
    for (int i = 0; i < 300; ++i)
        if (std::to_string(i).find('7') != std::string::npos)
            expected += "line " + std::to_string(i) + "\n";
    EXPECT_EQ(result.end, export_end::completed);
    EXPECT_EQ(ReadAll(target), expected); // an ANSI source: no byte-order mark
    EXPECT_EQ(boxes, (std::vector<std::u16string>{DictionaryText(u"IDS_MSG_EXPORT_COMPLETE")}));
    ASSERT_EQ(window.tabs.size(), 2u);
    EXPECT_EQ(window.tabs[1].file->path(), target);
}

TEST_F(ExportJob, WholeFileFilteredWithOnlyAQuickFilterExportsTheLinesItPasses)
{
    // The quick filter is a filter the user sees: the whole file goes through
    // it, not only the window it was applied to.
    Open("quick.log", NumberedLines(1000));
    App().ApplyQuickFilter(u"7");
    ASSERT_TRUE(PumpUntilIdle());
    const std::u16string target = ScratchPath("files/quick-out.log");
    const export_result result = Export(EXPORT_KIND_FILTERED_FILE, target);
    std::string expected;
    for (int i = 0; i < 1000; ++i)
        if (std::to_string(i).find('7') != std::string::npos)
            expected += "line " + std::to_string(i) + "\n";
    EXPECT_EQ(result.end, export_end::completed);
    EXPECT_EQ(ReadAll(target), expected);
}

TEST_F(ExportJob, SelectedRowsAreTheSnapshotTakenBeforePostingInRowOrder)
{
    Open("selected.log", NumberedLines(50));
    const std::u16string target = ScratchPath("files/selected.csv");
    // Given out of order and with a number past the rows: the job sorts and passes over it.
    const export_result result = Export(EXPORT_KIND_SELECTED_ROWS, target, {7, 2, 999, 40});
    EXPECT_EQ(result.end, export_end::completed);
    EXPECT_EQ(ReadAll(target), "Line\r\nline 2\r\nline 7\r\nline 40\r\n");
    // A CSV export is never opened.
    EXPECT_EQ(window.tabs.size(), 1u);
    EXPECT_FALSE(result.open_after);
}

TEST_F(ExportJob, ProgressNamesTheTargetAndCountsTheRowsOfTheKind)
{
    Open("progress.log", NumberedLines(1000));
    App().SetProgressDelayMs(0); // the dialog at once, so it sees the job's reports
    const std::u16string target = ScratchPath("files/progress-out.log");
    const export_result result = Export(EXPORT_KIND_WHOLE_FILE, target);
    EXPECT_EQ(result.end, export_end::completed);
    EXPECT_EQ(ReadAll(target), NumberedLines(1000));
    ASSERT_FALSE(dialogs.empty());
    EXPECT_TRUE(dialogs[0]->cancellable);
    EXPECT_FALSE(dialogs[0]->timed_out);
    bool saw_export = false;
    for (const tagPROGRESS_STATE& state : dialogs[0]->updates) {
        if (state.action != DictionaryText(u"IDS_PROGRESSDLG_STATUS_EXPORTING"))
            continue;
        saw_export = true;
        EXPECT_EQ(state.object, u"progress-out.log");
        EXPECT_EQ(state.total, 1000); // the indexed lines, not the window's 300
        EXPECT_EQ(state.file_number, 1);
        EXPECT_GE(state.current, 0);
        EXPECT_LE(state.current, 1000);
    }
    EXPECT_TRUE(saw_export);
}

TEST_F(ExportJob, CancelAnsweredNoKeepsThePartialLogAndOpensIt_YesDeletesIt)
{
    // Long lines, so that the window holds several write buffers.
    std::string bytes;
    for (int i = 0; i < 60000; ++i)
        bytes += "line " + std::to_string(i) + " " + std::string(60, 'x') + "\n";
    Open("cancel.log", bytes, 60000);
    for (const bool keep : {true, false}) {
        SCOPED_TRACE(keep ? "keep" : "delete");
        const std::u16string target = ScratchPath(keep ? "files/kept.log" : "files/deleted.log");
        answer = [keep](const std::u16string&, unsigned flags) {
            return (flags & MB_TYPEMASK) == MB_YESNO ? (keep ? IDNO : IDYES) : IDOK;
        };
        boxes.clear();
        g_cancel_on_write = &App().WorkThread().CancelEvent();
        const export_result result = Export(EXPORT_KIND_VISIBLE_ROWS, target, {}, CancellingWrite);
        EXPECT_EQ(g_cancel_on_write.load(), nullptr);
        EXPECT_EQ(boxes, (std::vector<std::u16string>{DictionaryText(u"IDS_MSG_EXPORT_CANCEL_DELETE")}));
        // The job took the cancel: the next job is not stopped by it.
        EXPECT_FALSE(App().WorkThread().CancelEvent().is_set());
        if (keep) {
            EXPECT_EQ(result.end, export_end::cancelled_kept);
            const std::string written = ReadAll(target);
            EXPECT_GT(written.size(), 0u);
            EXPECT_LT(written.size(), bytes.size());
            EXPECT_EQ(written, bytes.substr(0, written.size())); // whole rows, in order
            EXPECT_EQ(written.back(), '\n');
            ASSERT_EQ(window.tabs.size(), 2u);
            EXPECT_EQ(window.tabs[1].file->path(), target);
        } else {
            EXPECT_EQ(result.end, export_end::cancelled_deleted);
            EXPECT_FALSE(Exists(target));
            EXPECT_EQ(window.tabs.size(), 2u); // nothing more opened
        }
        window.calls.clear();
        App().WorkThread().CancelEvent().reset();
        // Back to the first file for the next round.
        window.ActivateTab(0);
    }
}

TEST_F(ExportJob, WriteAndCreateFailuresAreSaidWithTheSystemsTextAndNothingOpens)
{
    Open("fail.log", NumberedLines(100));
    const std::u16string full = ScratchPath("files/full.log");
    export_result result = Export(EXPORT_KIND_VISIBLE_ROWS, full, {}, FullDiskWrite);
    EXPECT_EQ(result.end, export_end::write_failed);
    EXPECT_EQ(result.error, ENOSPC);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find(FromUtf8(std::strerror(ENOSPC))), std::u16string::npos);
    EXPECT_NE(boxes[0].find(full), std::u16string::npos);
    EXPECT_TRUE(Exists(full)); // kept, as far as it got
    EXPECT_EQ(window.tabs.size(), 1u);

    boxes.clear();
    const std::u16string nowhere = ScratchPath("files/no-such-folder/out.log");
    result = Export(EXPORT_KIND_VISIBLE_ROWS, nowhere);
    EXPECT_EQ(result.end, export_end::create_failed);
    EXPECT_EQ(result.error, ENOENT);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find(FromUtf8(std::strerror(ENOENT))), std::u16string::npos);
    EXPECT_EQ(window.tabs.size(), 1u);
}

TEST_F(ExportJob, WithoutAnActiveFileNothingIsPosted)
{
    const uint64_t jobs = App().WorkThread().LastJobSerial();
    const export_result result = App().ExportRows(EXPORT_KIND_VISIBLE_ROWS, ScratchPath("files/x.log"), {}, {});
    EXPECT_EQ(result.end, export_end::bad_request);
    EXPECT_EQ(App().WorkThread().LastJobSerial(), jobs);
    EXPECT_FALSE(Exists(ScratchPath("files/x.log")));
}

// --- parser and encoding changes of the active file ---------------------------

log_pattern ColumnItem(std::u16string end, std::u16string name)
{
    log_pattern item(std::move(name));
    item.end = std::move(end);
    return item;
}

TEST_F(ExportJob, ChangeParserReparsesTheWindowAndTellsWhetherTheColumnsChange)
{
    tagPARSER_ITEM two;
    two.name = u"two";
    two.parser.push_back(ColumnItem(u" ", u"Word"));
    two.parser.push_back(ColumnItem(u"", u"Number"));
    App().Parsers().push_back(two);
    Open("parser.log", NumberedLines(500));
    ASSERT_EQ(m_data->parser_name(), u"two"); // chosen at open: it splits every line
    file_view_engine::search(*m_data).column = 1;

    auto columns_of_first_row = [this] {
        const log_file::window_reader reader = FileOf(*m_data).read_window();
        const auto& rows = file_view_engine::row_source(*m_data, reader);
        return rows.empty() ? std::size_t(99) : rows.front()->columns().size();
    };
    EXPECT_EQ(columns_of_first_row(), 2u);

    EXPECT_TRUE(App().ChangeParser(u""));
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(m_data->parser_name(), u"");
    EXPECT_EQ(columns_of_first_row(), 1u);
    EXPECT_EQ(m_data->search().column, -1);
    int64_t first = -1, last = -1;
    FileOf(*m_data).window(first, last);
    EXPECT_EQ(first, 0);
    EXPECT_EQ(last, 299);

    // The same parser again: re-read, but the columns stay.
    EXPECT_FALSE(App().ChangeParser(u"no such parser"));
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(m_data->parser_name(), u"");
    EXPECT_TRUE(App().ChangeParser(u"two"));
    ASSERT_TRUE(PumpUntilIdle());
    EXPECT_EQ(m_data->parser_name(), u"two");
    EXPECT_EQ(columns_of_first_row(), 2u);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(ExportJob, ChangeEncodingRereadsAFileWithoutMarkAndLeavesAMarkedFileAlone)
{
    {
        scoped_code_page code_page{"WINDOWS-1252"};
        Open("plain.log", "caf\xC3\xA9\nna\xC3\xAFve\n");
        // Valid UTF-8 with multi-byte sequences opens as UTF-8.
        ASSERT_EQ(FileOf(*m_data).encoding(), ENCODING_UTF8);
        auto first_text = [this] {
            const log_file::window_reader reader = FileOf(*m_data).read_window();
            const auto& rows = file_view_engine::row_source(*m_data, reader);
            return rows.empty() ? std::u16string()
                                : std::u16string(rows.front()->text().begin(), rows.front()->text().end());
        };
        EXPECT_EQ(first_text(), u"caf\u00E9");
        EXPECT_FALSE(App().ChangeEncoding(ENCODING_UTF8)); // nothing to change
        EXPECT_TRUE(App().ChangeEncoding(ENCODING_ANSI));
        ASSERT_TRUE(PumpUntilIdle());
        EXPECT_EQ(FileOf(*m_data).encoding(), ENCODING_ANSI);
        EXPECT_EQ(first_text(), u"caf\u00C3\u00A9");
        EXPECT_TRUE(App().ChangeEncoding(ENCODING_UTF8));
        ASSERT_TRUE(PumpUntilIdle());
        EXPECT_EQ(first_text(), u"caf\u00E9");
    }
    App().OpenFiles({WriteFile("marked.log", "\xEF\xBB\xBF"
                                             "caf\xC3\xA9\n")});
    ASSERT_TRUE(PumpUntilIdle());
    ASSERT_EQ(window.tabs.size(), 2u);
    file_view* marked = window.tabs[1].file;
    ASSERT_TRUE(FileOf(*marked).has_bom());
    const uint64_t jobs = App().WorkThread().LastJobSerial();
    EXPECT_FALSE(App().ChangeEncoding(ENCODING_ANSI));
    EXPECT_EQ(FileOf(*marked).encoding(), ENCODING_UTF8);
    EXPECT_EQ(App().WorkThread().LastJobSerial(), jobs);
}

} // namespace
