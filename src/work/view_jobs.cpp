// WM_JOB_PARSE and WM_JOB_FILTER: a new window or a new filter result for
// the view of one file.
#include "work/jobs.h"

#include "work/window_parse.h"
#include "work/work_data.h"
#include "work/work_host.h"
#include "work/work_messages.h"

void RunParseJob(job_context& job, uint64_t first_line, const tagPARSE_JOB& record)
{
    CWorkData& data = *record.file;
    job.SingleFileStep(data.filter_enabled ? u"IDS_PROGRESSDLG_STATUS_PARSING_FILTERING"
                                           : u"IDS_PROGRESSDLG_STATUS_PARSING",
                       data.name);
    if (first_line >= data.file.line_count()) {
        ShowJobError(u"IDS_MSG_INVALID_SEEK_POS");
        return;
    }
    const log_pattern_list* parser = job.host().FindParser(data.parser_name);
    if (!parser || !ParseWindow(data, *parser, first_line, job.host().MaxLoadingLines())) {
        // The view keeps its old rows.
        ShowJobError(u"IDS_MSG_CANNOT_PARSE_FILE");
        return;
    }
    job.Post(WM_WORK_VIEW_UPDATE, static_cast<uintptr_t>(record.selection_kind), static_cast<intptr_t>(record.row));
}

void RunFilterJob(job_context& job, bool quick, CWorkData& data)
{
    job.SingleFileStep(u"IDS_PROGRESSDLG_STATUS_FILTERING", data.name);
    // PENDING: apply_quick_filter / apply_filter arrive with the filter subsystem.
    (void)quick;
    job.Post(WM_WORK_VIEW_UPDATE, SELECT_FIRST, 0);
}
