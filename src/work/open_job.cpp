// WM_JOB_OPEN_FILES: open, index, choose the parser, parse the first window.
#include "work/jobs.h"

#include "platform/diagnostics.h"
#include "platform/files.h"
#include "work/file_view_engine.h"
#include "work/open_files.h"
#include "work/progress_state.h"
#include "work/window_parse.h"
#include "work/window_plan.h"
#include "work/work_host.h"
#include "work/work_messages.h"

#include <memory>

namespace {

// Opens one path; the new file, or null after its failure was shown.
std::unique_ptr<file_view> OpenOne(job_context& job, const std::u16string& path)
{
    work_host& host = job.host();
    if (!IsReadableFile(path)) {
        ShowJobError(u"IDS_MSG_CANNOT_READ_FILE", path);
        return nullptr;
    }
    auto data = std::make_unique<file_view>(host, path);

    const int64_t attach_start = NowMs();
    const uint64_t maximum = host.MaxLoadingLines();
    const bool tail_first = host.LoadTailFirst();
    if (!FileOf(*data).open(path, maximum, tail_first)) {
        ShowJobError(u"IDS_MSG_CANNOT_OPEN_FILE", path);
        return nullptr;
    }
    DebugOutput("Attach Cost %dms\n", static_cast<int>(ElapsedMs(attach_start)));

    job.Action(u"IDS_PROGRESSDLG_STATUS_DETECT_PARSER");
    const log_pattern_list* parser = host.DetectParser(*data);
    if (!parser)
        parser = &host.FindParser(data->parser_name());

    const uint64_t lines = FileOf(*data).line_count();
    if (lines > 0) {
        job.Action(u"IDS_PROGRESSDLG_STATUS_PARSING");
        const int64_t parse_start = NowMs();
        const window_plan plan = PlanFirstWindow({-1, -1, lines, maximum}, tail_first);
        if (!parser || !ParseWindow(*data, *parser, static_cast<uint64_t>(plan.first), maximum)) {
            ShowJobError(u"IDS_MSG_CANNOT_PARSE_FILE", path);
            return nullptr;
        }
        DebugOutput("Parse Cost %dms\n", static_cast<int>(ElapsedMs(parse_start)));
    }
    return data;
}

} // namespace

void RunOpenFilesJob(job_context& job, const std::vector<std::u16string>& paths)
{
    work_host& host = job.host();
    {
        auto state = host.Progress().lock();
        state->current = -1;
        state->total = -1;
    }
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const std::u16string& path = paths[i];
        const std::u16string name = FileNamePart(path);
        job.Step(static_cast<int>(i + 1), u"IDS_PROGRESSDLG_STATUS_INDEXING", name);

        std::unique_ptr<file_view> opened = OpenOne(job, path);
        if (!opened)
            continue;
        file_view* data = host.OpenFileList().append(std::move(opened));
        FileOf(*data).start_indexer();
        // The last file's done closes the progress dialog before its tab is added.
        if (i + 1 == paths.size())
            job.Done();
        job.Post(WM_WORK_FILE_READY, 0, static_cast<intptr_t>(data->id()));
    }
}
