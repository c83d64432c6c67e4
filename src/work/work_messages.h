// The thread messages of the job protocol between the interface thread and
// the work thread.  The same numbers mean different things on the two
// queues; each thread handles only its own set.
//
//   interface thread                              work thread
//   ── reset idle, post WM_JOB_* ───────────────▶ job runs
//   ◀── WM_WORK_PROGRESS (record under its lock) ─┤
//   ◀── WM_WORK_MESSAGE_BOX / DETECT_PARSER ──────┤ waits for the answer
//   ─── answer, set the request's event ────────▶ │
//   ◀── WM_WORK_VIEW_UPDATE / FILE_READY ─────────┤
//   ◀── WM_WORK_DONE (wparam: the job's serial) ──┘ idle set
#pragma once

#include "platform/message_queue.h"

// To the work thread.
constexpr unsigned WM_JOB_OPEN_FILES = WM_USER + 100; // lparam: heap std::vector<std::u16string>, the job deletes it
constexpr unsigned WM_JOB_VIEW = WM_USER + 101;       // lparam: tagVIEW_JOB on the poster's stack
constexpr unsigned WM_JOB_SEARCH = WM_USER + 103;     // lparam: tagSEARCH_JOB on the poster's stack
constexpr unsigned WM_JOB_EXPORT = WM_USER + 104;     // lparam: the export record on the poster's stack
constexpr unsigned WM_JOB_RESULTS = WM_USER + 105;    // lparam: tagRESULTS_JOB on the poster's stack

// To the interface thread.
constexpr unsigned WM_WORK_PROGRESS = WM_USER + 101;
constexpr unsigned WM_WORK_DONE = WM_USER + 102;        // wparam: serial of the job that ended
constexpr unsigned WM_WORK_FILE_READY = WM_USER + 103;  // lparam: the new file view's id
constexpr unsigned WM_WORK_VIEW_UPDATE = WM_USER + 104; // wparam: selection kind; lparam: row
constexpr unsigned WM_WORK_MESSAGE_BOX = WM_USER + 200; // wparam: flags; lparam: tagINTERFACE_REQUEST (data: the text)
constexpr unsigned WM_WORK_DETECT_PARSER = WM_USER + 201; // lparam: tagINTERFACE_REQUEST (data: the file_view)

// True for the job ids of the work thread's queue (102 is not used).
constexpr bool IsJobMessage(unsigned id)
{
    return id >= WM_JOB_OPEN_FILES && id <= WM_JOB_RESULTS;
}

// Selection kinds of WM_WORK_VIEW_UPDATE.
enum : int {
    SELECT_KEEP = 0,  // keep the selection
    SELECT_FIRST = 1, // focus the first row
    SELECT_LAST = 2,  // focus the last row
    SELECT_ROW = 3,   // select the given row (the last row when negative)
};
