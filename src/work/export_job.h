// WM_JOB_EXPORT: the export of rows of one open file, run on the work thread
// around ExportRows.  The record lives on the poster's stack; the poster
// fills everything but result before posting and reads result once the
// job's done has arrived.
//
// The rows of kinds 0 and 1 are the file's row source, read by the job
// under the window rule; the interface thread takes the selected row
// numbers (kind 0) before it posts, so the job never asks the list anything.
#pragma once

#include "work/export_rows.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class job_context;
class file_view;

struct tagEXPORT_JOB {
    int32_t kind = EXPORT_KIND_VISIBLE_ROWS;
    std::u16string path;                      // the target
    bool csv = false;                         // IsCsvTarget(path)
    file_view* file = nullptr;                // the file exported from
    std::vector<std::u16string> column_names; // the list's columns in order
    std::vector<std::size_t> selected;        // kind 0: the selected rows, ascending
    write_function writer = nullptr;          // tests fail writes with it; null: write(2)
    export_result result;                     // set by the job; result.open_after: open the target
};

// The whole job: progress record (total, current every 500 ms at most,
// action "IDS_PROGRESSDLG_STATUS_EXPORTING", object the target's name), the
// cancel test between rows, and every message of the export.
void RunExportJob(job_context& job, tagEXPORT_JOB& record);
