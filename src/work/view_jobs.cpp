// WM_JOB_PARSE, WM_JOB_FILTER and WM_JOB_SEARCH: a new window, a new filter
// result or the window of a find for the view of one file.
#include "work/jobs.h"

#include "filter/filter_store.h"
#include "glossant/dictionary_text.h"
#include "platform/message_box.h"
#include "search/find_in_file.h"
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
    const log_pattern_list& parser = job.host().FindParser(data.parser_name);
    if (!ParseWindow(data, parser, first_line, job.host().MaxLoadingLines())) {
        // The view keeps its old rows.
        ShowJobError(u"IDS_MSG_CANNOT_PARSE_FILE");
        return;
    }
    job.Post(WM_WORK_VIEW_UPDATE, static_cast<uintptr_t>(record.selection_kind), static_cast<intptr_t>(record.row));
}

void RunFilterJob(job_context& job, bool quick, CWorkData& data)
{
    job.SingleFileStep(u"IDS_PROGRESSDLG_STATUS_FILTERING", data.name);
    if (quick)
        data.file.apply_quick_filter(IsQuickFilterWildcard(data.quick_filter_text), data.quick_filter_text);
    else
        data.file.apply_filter(job.host().FindParser(data.parser_name), data.filter_conditions);
    job.Post(WM_WORK_VIEW_UPDATE, SELECT_FIRST, 0);
}

void RunSearchJob(job_context& job, const tagSEARCH_JOB& record)
{
    CWorkData& data = *record.file;
    job.SingleFileStep(u"IDS_PROGRESSDLG_STATUS_SEARCHING_FILE", data.name);
    const log_pattern_list& parser = job.host().FindParser(data.parser_name);
    find_in_file_options options;
    options.max_lines = job.host().MaxLoadingLines();
    options.quick_filter_text = !data.quick_filter_text.empty();
    options.filter_enabled = data.filter_enabled != 0;
    options.cancelled = [&job] { return job.TakeCancel(); };
    const find_result result = find_in_file(data.file, parser, record.search, options);
    if (result.outcome != find_outcome::not_found) {
        job.Post(WM_WORK_VIEW_UPDATE, SELECT_ROW, static_cast<intptr_t>(result.row));
        return;
    }
    const bool up = record.search.up;
    ShowMessage(DictionaryText(u"IDS_MSG_NOT_FOUND"), MB_OK | MB_ICONINFORMATION);
    job.Post(WM_WORK_VIEW_UPDATE, up ? SELECT_FIRST : SELECT_LAST, 0);
}
