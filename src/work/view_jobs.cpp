// WM_JOB_VIEW and WM_JOB_SEARCH: what a file's view asks of its file (a new
// window, a filter, another parser or encoding, a reload) and the window of
// a find.
#include "work/jobs.h"

#include "filter/filter_store.h"
#include "glossant/dictionary_text.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "search/find_in_file.h"
#include "work/file_view_engine.h"
#include "work/open_files.h"
#include "work/window_parse.h"
#include "work/work_host.h"
#include "work/work_messages.h"

namespace {

// How long one wait for the index thread lasts before the cancel is looked at.
constexpr int kIndexWaitStepMs = 50;

void QuickFilter(job_context& job, file_view& view, tagVIEW_JOB& record)
{
    job.SingleFileStep(u"IDS_PROGRESSDLG_STATUS_FILTERING", view.name());
    file_view_engine::set_quick_filter_text(view, record.text);
    FileOf(view).apply_quick_filter(IsQuickFilterWildcard(record.text), record.text);
    record.succeeded = true;
    record.rows_only = record.text.empty(); // cleared: the rows come back where they were
    record.selection = SELECT_FIRST;
    record.row = 0;
}

void Filter(job_context& job, file_view& view, tagVIEW_JOB& record)
{
    job.SingleFileStep(u"IDS_PROGRESSDLG_STATUS_FILTERING", view.name());
    log_file& file = FileOf(view);
    const bool on = record.action == view_action::filter_on;
    file_view_engine::set_filter_enabled(view, on);
    if (on) {
        file.apply_filter(job.host().FindParser(view.parser_name()), view.filter_groups());
        record.selection = SELECT_FIRST;
        record.row = 0;
    } else {
        // Off: the window's rows are no longer filtered, and a quick filter
        // works on all of them again.
        file.reset_filter();
        const std::u16string& quick = view.quick_filter_text();
        if (!quick.empty())
            file.apply_quick_filter(IsQuickFilterWildcard(quick), quick);
        record.selection = quick.empty() ? SELECT_KEEP : SELECT_FIRST;
        record.row = quick.empty() ? -1 : 0;
    }
    record.succeeded = true;
}

// Parses the window again from its first line with the view's parser: after
// a change of parser or encoding.  The filters are bound to the new columns
// by the parse itself.
void Reparse(job_context& job, file_view& view, tagVIEW_JOB& record)
{
    log_file& file = FileOf(view);
    int64_t first = -1;
    int64_t last = -1;
    file.window(first, last);
    file.discard_lines();
    // A file without a window yet (nothing indexed when it was opened) is
    // parsed from its first line once it has lines; an empty one stays empty.
    if (first < 0 && file.line_count() > 0)
        first = 0;
    file_view_engine::search(view).column = -1;
    record.succeeded = true;
    record.selection = SELECT_KEEP;
    if (first < 0) {
        record.rows_only = true;
        return;
    }
    job.SingleFileStep(u"IDS_PROGRESSDLG_STATUS_PARSING", view.name());
    if (!ParseWindow(view, job.host().FindParser(view.parser_name()), static_cast<uint64_t>(first),
                     job.host().MaxLoadingLines()))
        ShowJobError(u"IDS_MSG_CANNOT_PARSE_FILE");
}

void Parser(job_context& job, file_view& view, tagVIEW_JOB& record)
{
    work_host& host = job.host();
    const log_pattern_list& current = host.FindParser(view.parser_name());
    const log_pattern_list& wanted = host.FindParser(record.text);
    record.changed = &current != &wanted;
    if (record.changed)
        file_view_engine::set_parser_name(view, &wanted == &host.FindParser(u"") ? std::u16string() : record.text);
    Reparse(job, view, record);
}

void Encoding(job_context& job, file_view& view, tagVIEW_JOB& record)
{
    log_file& file = FileOf(view);
    if (file.has_bom() || file.encoding() == record.encoding || !file.set_encoding(record.encoding))
        return;
    file_view_engine::set_chosen_encoding(view, record.encoding);
    Reparse(job, view, record);
    record.changed = true;
}

void Move(job_context& job, file_view& view, tagVIEW_JOB& record)
{
    log_file& file = FileOf(view);
    job.SingleFileStep(view.filter_enabled() ? u"IDS_PROGRESSDLG_STATUS_PARSING_FILTERING"
                                             : u"IDS_PROGRESSDLG_STATUS_PARSING",
                       view.name());
    const window_plan& plan = record.plan;
    if (plan.first < 0 || static_cast<uint64_t>(plan.first) >= file.line_count()) {
        ShowJobError(u"IDS_MSG_INVALID_SEEK_POS");
        return;
    }
    const log_pattern_list& parser = job.host().FindParser(view.parser_name());
    if (!ParseWindow(view, parser, static_cast<uint64_t>(plan.first), job.host().MaxLoadingLines())) {
        // The window is empty now; the list shows no rows.
        ShowJobError(u"IDS_MSG_CANNOT_PARSE_FILE");
        record.rows_only = true;
        return;
    }
    record.succeeded = true;
    record.selection = plan.selection;
    record.row = plan.row;
}

// Waits for the index thread to end (the file's first line of a tail-first
// index, the last of a head-first one), until the user cancels.
void FinishIndex(job_context& job, file_view& view, tagVIEW_JOB& record)
{
    job.SingleFileStep(u"IDS_PROGRESSDLG_STATUS_INDEXING", view.name());
    index_control& indexer = FileOf(view).indexer();
    while (indexer.is_running() && indexer.wait_stopped(kIndexWaitStepMs) != 0) {
        if (job.TakeCancel())
            return;
    }
    record.succeeded = true;
    record.rows_only = true; // the window may have shifted: its rows are read again
}

// Opens the file again from scratch, as the open job does: index, parser
// choice, first window, then the index thread.  Flags, filters, rules and
// the user's encoding choice stay with the view.
void Reload(job_context& job, file_view& view, tagVIEW_JOB& record)
{
    work_host& host = job.host();
    log_file& file = FileOf(view);
    job.SingleFileStep(u"IDS_PROGRESSDLG_STATUS_INDEXING", view.name());
    record.rows_only = true;
    // close() discards the window and ends the index thread.
    file.close();
    const uint64_t maximum = host.MaxLoadingLines();
    const bool tail_first = host.LoadTailFirst();
    if (!IsReadableFile(view.path()) || !file.open(view.path(), maximum, tail_first))
        return;
    // The user's encoding choice wins over the new content's first bytes.
    if (view.chosen_encoding() != 0 && !file.has_bom())
        file.set_encoding(view.chosen_encoding());
    const std::u16string old_parser = view.parser_name();
    job.Action(u"IDS_PROGRESSDLG_STATUS_DETECT_PARSER");
    host.DetectParser(view);
    record.changed = view.parser_name() != old_parser;
    const window_plan plan = PlanFirstWindow({-1, -1, file.line_count(), maximum}, tail_first);
    if (plan.move) {
        job.Action(u"IDS_PROGRESSDLG_STATUS_PARSING");
        if (!ParseWindow(view, host.FindParser(view.parser_name()), static_cast<uint64_t>(plan.first), maximum))
            ShowJobError(u"IDS_MSG_CANNOT_PARSE_FILE", view.path());
        record.rows_only = false;
        record.selection = plan.selection;
        record.row = plan.row;
    }
    file.start_indexer();
    record.succeeded = true;
}

} // namespace

void RunViewJob(job_context& job, tagVIEW_JOB& record)
{
    // The view stays while its job runs: the interface thread removes views
    // only between jobs.
    file_view* view = job.host().OpenFileList().find(record.file_id);
    if (!view)
        return;
    switch (record.action) {
    case view_action::quick_filter: QuickFilter(job, *view, record); break;
    case view_action::filter_on:
    case view_action::filter_off: Filter(job, *view, record); break;
    case view_action::parser: Parser(job, *view, record); break;
    case view_action::encoding: Encoding(job, *view, record); break;
    case view_action::move: Move(job, *view, record); break;
    case view_action::reload: Reload(job, *view, record); break;
    case view_action::finish_index: FinishIndex(job, *view, record); break;
    case view_action::results: RunViewResults(job, *view, record); break;
    }
}

void RunSearchJob(job_context& job, const tagSEARCH_JOB& record)
{
    file_view& data = *record.file;
    job.SingleFileStep(u"IDS_PROGRESSDLG_STATUS_SEARCHING_FILE", data.name());
    const log_pattern_list& parser = job.host().FindParser(data.parser_name());
    find_in_file_options options;
    options.max_lines = job.host().MaxLoadingLines();
    options.quick_filter_text = !data.quick_filter_text().empty();
    options.filter_enabled = data.filter_enabled();
    options.cancelled = [&job] { return job.TakeCancel(); };
    options.keep_window_when_not_found = true;
    const find_result result = find_in_file(FileOf(data), parser, record.search, options);
    if (result.outcome != find_outcome::not_found) {
        job.Post(WM_WORK_VIEW_UPDATE, SELECT_ROW, static_cast<intptr_t>(result.row));
        return;
    }
    // The window is the one the view had: so is the selection.
    ShowMessage(DictionaryText(u"IDS_MSG_NOT_FOUND"), MB_OK | MB_ICONINFORMATION);
    job.Post(WM_WORK_VIEW_UPDATE, SELECT_KEEP, 0);
}
