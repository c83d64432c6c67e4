// The interface side of the export job and of a change of a file's parser
// or encoding: each takes what it needs from the active file, runs its job
// and waits for it.
#include "app/main_dialog_link.h"
#include "app/varnoth_app.h"
#include "logfile/log_file.h"
#include "work/export_job.h"
#include "work/file_view_engine.h"
#include "work/work_messages.h"

export_result CVarnothApp::ExportRows(int32_t kind, const std::u16string& path,
                                      const std::vector<std::u16string>& column_names,
                                      const std::vector<std::size_t>& selected, write_function writer)
{
    file_view* file = ActiveFile();
    if (!file || path.empty())
        return {};
    // On this stack until the job's done: RunJobAndWait returns only after it.
    tagEXPORT_JOB record;
    record.kind = kind;
    record.path = path;
    record.csv = IsCsvTarget(path);
    record.file = file;
    record.column_names = column_names;
    record.selected = selected;
    record.writer = writer;
    if (!PostJob(WM_JOB_EXPORT, 0, reinterpret_cast<intptr_t>(&record), true))
        return {};
    RunJobAndWait(1, true);
    if (record.result.open_after)
        OpenFiles({record.path});
    return record.result;
}

bool CVarnothApp::ChangeParser(const std::u16string& name)
{
    file_view* file = ActiveFile();
    return file && file->change_parser(name);
}

bool CVarnothApp::ChangeEncoding(int32_t encoding)
{
    file_view* file = ActiveFile();
    return file && file->change_encoding(encoding);
}
