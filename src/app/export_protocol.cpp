// The interface side of the export job and of a change of a file's parser
// or encoding: each takes what it needs from the active file, runs its job
// and waits for it.
#include "app/main_dialog_link.h"
#include "app/varnoth_app.h"
#include "logfile/log_file.h"
#include "work/export_job.h"
#include "work/work_data.h"
#include "work/work_messages.h"

export_result CVarnothApp::ExportRows(int32_t kind, const std::u16string& path,
                                      const std::vector<std::u16string>& column_names,
                                      const std::vector<std::size_t>& selected, write_function writer)
{
    CWorkData* file = ActiveFile();
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
    CWorkData* file = ActiveFile();
    if (!file)
        return false;
    const log_pattern_list& current = FindParser(file->parser_name);
    const log_pattern_list& wanted = FindParser(name);
    const bool changed = &current != &wanted;
    if (changed)
        file->parser_name = &wanted == &m_default_parser ? std::u16string() : name;

    int64_t first = -1;
    int64_t last = -1;
    file->file.window(first, last);
    file->file.discard_lines();
    // A file without a window yet (nothing indexed when it was opened) is
    // parsed from its first line once it has lines; an empty one stays empty.
    if (first < 0 && file->file.line_count() > 0)
        first = 0;
    if (first >= 0)
        ReparseFrom(first, SELECT_KEEP, -1);
    else if (m_main_dialog)
        m_main_dialog->ShowRowSource();
    file->search.column = -1;
    return changed;
}

bool CVarnothApp::ChangeEncoding(int32_t encoding)
{
    CWorkData* file = ActiveFile();
    if (!file || file->file.has_bom() || file->file.encoding() == encoding)
        return false;
    if (!file->file.set_encoding(encoding))
        return false;
    ChangeParser(file->parser_name);
    return true;
}
