// The jobs of the work thread and what they share: the job's end, its
// progress steps and its failure messages.
#pragma once

#include "search/search_info.h"
#include "search/whole_file_results.h"
#include "work/window_plan.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class native_signal;
class work_host;
class file_view;

// What a view job does to its file's view (file_view's intents).
enum class view_action {
    quick_filter, // text: the quick filter's new text (empty clears it)
    filter_on,    // runs the view's filter groups over the window
    filter_off,   // every line of the window again (the quick filter stays)
    parser,       // text: the parser's name; the window parsed again
    encoding,     // encoding: ANSI or UTF-8; the window parsed again
    move,         // plan: the new window
    reload,       // the file opened again from scratch
    finish_index, // waits (cancellable) until the index thread has ended
    results,      // the view's whole-file results, walked on from their next line
};

// The record of WM_JOB_VIEW, on the poster's stack until the job's done.
// The job fills in the results; the interface thread reads them afterwards.
struct tagVIEW_JOB {
    uint64_t file_id = 0; // the view's serial id
    view_action action = view_action::move;
    std::u16string text;
    window_plan plan;
    int32_t encoding = 0;
    // Results.
    bool succeeded = false;
    bool changed = false;   // parser, encoding, reload: the columns may differ
    bool rows_only = false; // the rows changed in place (no scrolling, selection kept)
    int selection = 0;      // SELECT_* for the list afterwards
    int64_t row = -1;
};

// The record of WM_JOB_SEARCH, on the poster's stack until the job's done.
struct tagSEARCH_JOB {
    CSearchInfo search;
    file_view* file = nullptr;
};

// The record of WM_JOB_RESULTS, on the poster's stack until the job's done:
// the whole-file results of a find or of the file's filter groups, appended
// to results (which readers may read meanwhile) from first_line on.
struct tagRESULTS_JOB {
    file_view* file = nullptr;
    results_query query;
    result_lines* results = nullptr;
    uint64_t first_line = 0;
    // Result: how the walk ended and the line it would go on from.
    results_outcome outcome;
};

// One job while it runs on the work thread.
class job_context {
public:
    job_context(work_host& host, native_signal& cancel, uint64_t serial)
        : m_host(host), m_cancel(cancel), m_serial(serial)
    {}
    job_context(const job_context&) = delete;
    job_context& operator=(const job_context&) = delete;

    work_host& host() { return m_host; }

    // Ends the job for the interface thread: posts WM_WORK_DONE with the
    // job's serial.  Only the first call acts; a record on the poster's
    // stack must not be touched afterwards.
    void Done();
    bool done() const { return m_done; }

    // Tests the cancel event without waiting; resets it when it was set.
    bool TakeCancel();

    // Posts a message to the interface thread.
    void Post(unsigned id, uintptr_t wparam = 0, intptr_t lparam = 0);
    // Under the progress lock: file number, the action's dictionary text and
    // the object; then posts WM_WORK_PROGRESS.
    void Step(int file_number, std::u16string_view action_key, const std::u16string& object);
    // Under the progress lock: only the action; then posts WM_WORK_PROGRESS.
    void Action(std::u16string_view action_key);
    // Under the progress lock: current and total -1, file number 1, the
    // action and the object; then posts WM_WORK_PROGRESS.
    void SingleFileStep(std::u16string_view action_key, const std::u16string& object);

private:
    work_host& m_host;
    native_signal& m_cancel;
    uint64_t m_serial;
    bool m_done = false;
};

// An error box with the dictionary text of key, followed by "\n" and path
// when path is not empty.
void ShowJobError(std::u16string_view key, const std::u16string& path = {});

// Milliseconds since a steady-clock start, for the cost lines.
int64_t ElapsedMs(int64_t start_ms);
int64_t NowMs();

void RunOpenFilesJob(job_context& job, const std::vector<std::u16string>& paths);
void RunViewJob(job_context& job, tagVIEW_JOB& record);
void RunSearchJob(job_context& job, const tagSEARCH_JOB& record);
void RunResultsJob(job_context& job, tagRESULTS_JOB& record);
// view_action::results: the view's query walked on into its own list.
void RunViewResults(job_context& job, file_view& view, tagVIEW_JOB& record);
