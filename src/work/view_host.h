// What a file's view needs from the application that runs its jobs.
#pragma once

#include <cstdint>
#include <string_view>

class log_pattern_list;
struct tagVIEW_JOB;

// Thread-safety: called on the interface thread (RunViewJob, the settings)
// and by the file's jobs on the work thread (FindParser, the settings).
class view_host {
public:
    virtual ~view_host() = default;

    // Posts the view job and waits for it with the job protocol (progress
    // dialog, cancel); false, and nothing posted, while another job runs or
    // no work thread does.
    virtual bool RunViewJob(tagVIEW_JOB& job) = 0;
    // True while the interface thread waits for a job (also inside the
    // progress dialog's event loop).
    virtual bool JobRunning() const = 0;
    // The maximum loading lines in force (0: no limit) and the tail-first setting.
    virtual uint64_t MaxLoadingLines() = 0;
    virtual bool LoadTailFirst() = 0;
    // The parser of that name from the parser list, else the default parser.
    virtual const log_pattern_list& FindParser(std::u16string_view name) const = 0;
};
