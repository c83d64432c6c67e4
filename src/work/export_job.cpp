#include "work/export_job.h"

#include "glossant/dictionary_text.h"
#include "platform/message_box.h"
#include "work/file_view_engine.h"
#include "work/jobs.h"
#include "work/progress_state.h"
#include "work/work_host.h"
#include "work/work_messages.h"

#include <algorithm>
#include <limits>

namespace {

int ClampToInt(int64_t value)
{
    return static_cast<int>(std::clamp<int64_t>(value, -1, std::numeric_limits<int>::max()));
}

} // namespace

void RunExportJob(job_context& job, tagEXPORT_JOB& record)
{
    file_view& data = *record.file;
    work_host& host = job.host();

    // The window stays as it is while the interface thread waits for this
    // job; the reader keeps the rows' list under the window rule meanwhile.
    const file_view::rows shown = data.read_rows();

    export_request request;
    request.kind = record.kind;
    request.path = record.path;
    request.csv = record.csv;
    request.file = &FileOf(data);
    request.file_path = data.path();
    request.parser = &host.FindParser(data.parser_name());
    request.column_names = record.column_names;
    const std::vector<log_line*>& rows = shown.lines();
    request.rows = std::span<log_line* const>(rows.data(), rows.size());
    request.selected = record.selected;
    std::sort(request.selected.begin(), request.selected.end());
    request.groups = record.kind == EXPORT_KIND_FILTERED_FILE ? &data.filter_groups() : nullptr;
    request.quick = record.kind == EXPORT_KIND_FILTERED_FILE ? &shown.quick_filter() : nullptr;
    if (record.kind == EXPORT_KIND_RESULTS) {
        request.result_lines = data.results().copy();
        request.read_line = [&data](uint64_t line, log_line& out) { return data.read_line(line, out); };
    }

    int64_t total = 0;
    if (record.kind == EXPORT_KIND_SELECTED_ROWS)
        total = static_cast<int64_t>(request.selected.size());
    else if (record.kind == EXPORT_KIND_VISIBLE_ROWS)
        total = static_cast<int64_t>(rows.size());
    else if (record.kind == EXPORT_KIND_RESULTS)
        total = static_cast<int64_t>(request.result_lines.size());
    else
        total = static_cast<int64_t>(FileOf(data).line_count());
    {
        auto state = host.Progress().lock();
        state->file_number = 1;
        state->current = 0;
        state->total = ClampToInt(total);
        state->action = DictionaryText(u"IDS_PROGRESSDLG_STATUS_EXPORTING");
        state->object = FileNamePart(record.path);
    }
    job.Post(WM_WORK_PROGRESS);

    export_hooks hooks;
    hooks.cancel_requested = [&job] { return job.TakeCancel(); };
    hooks.progress = [&job, &host](int64_t current, int64_t of) {
        {
            auto state = host.Progress().lock();
            state->current = ClampToInt(current);
            state->total = ClampToInt(of);
        }
        job.Post(WM_WORK_PROGRESS);
    };
    hooks.message = [](const std::u16string& text, unsigned flags) { return ShowMessage(text, flags); };
    hooks.writer = record.writer;
    record.result = ExportRows(request, hooks);
}
