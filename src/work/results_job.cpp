// WM_JOB_RESULTS: every line of the whole file that matches a find or
// passes the file's filter groups, appended to the record's list while the
// job runs, with the share of the file walked as its progress.
#include "work/jobs.h"

#include "work/file_view_engine.h"
#include "work/progress_state.h"
#include "work/work_host.h"
#include "work/work_messages.h"

#include <algorithm>

void RunResultsJob(job_context& job, tagRESULTS_JOB& record)
{
    file_view& view = *record.file;
    const bool find = record.query.what == results_query::kind::find;
    job.SingleFileStep(find ? u"IDS_PROGRESSDLG_STATUS_SEARCHING_FILE" : u"IDS_PROGRESSDLG_STATUS_FILTERING",
                       view.name());
    results_options options;
    options.first_line = record.first_line;
    options.cancelled = [&job] { return job.TakeCancel(); };
    int shown = -1; // the percentage posted last
    options.progress = [&](int64_t offset, int64_t size) {
        const int percent = size > 0 ? static_cast<int>(std::min<int64_t>(offset, size) * 100 / size) : 100;
        if (percent == shown)
            return;
        shown = percent;
        {
            auto state = job.host().Progress().lock();
            state->current = percent;
            state->total = 100;
        }
        job.Post(WM_WORK_PROGRESS);
    };
    record.outcome = whole_file_results(FileOf(view), job.host().FindParser(view.parser_name()), record.query,
                                        *record.results, options);
    switch (record.outcome.ending) {
    case results_ending::invalid:
        ShowJobError(find ? u"IDS_MSG_INPUT_EXPRESSION" : u"IDS_MSG_RESULTS_NO_FILTER");
        break;
    case results_ending::unreadable: ShowJobError(u"IDS_MSG_CANNOT_READ_FILE", view.path()); break;
    default: break;
    }
}

void RunViewResults(job_context& job, file_view& view, tagVIEW_JOB& record)
{
    results_outcome& outcome = file_view_engine::results_outcome_of(view);
    tagRESULTS_JOB run;
    run.file = &view;
    run.query = file_view_engine::results_query_of(view);
    run.results = &file_view_engine::results(view);
    run.first_line = outcome.next_line;
    RunResultsJob(job, run);
    outcome = run.outcome;
    record.succeeded = outcome.ending != results_ending::invalid;
    record.rows_only = true; // the window's rows are as they were
    record.selection = SELECT_KEEP;
}
