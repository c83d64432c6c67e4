// What the work thread needs from the application that runs it.  The
// application object implements it; engine tests implement it too.
#pragma once

#include "work/view_host.h"

#include <cstdint>
#include <string>
#include <string_view>

class log_pattern_list;
class message_queue;
class open_file_list;
class progress_record;
class file_view;

// A synchronous request of the work thread to the interface thread
// (WM_WORK_MESSAGE_BOX, WM_WORK_DETECT_PARSER), on the requester's stack.
// The interface thread fills in result and sets event.
class native_signal;
struct tagINTERFACE_REQUEST {
    native_signal* event = nullptr;
    const void* data = nullptr; // the text (std::u16string) or the file_view
    intptr_t result = 0;
};

// Thread-safety: the work thread calls these while the interface thread
// waits for its job (see each function for what it may touch).
class work_host : public view_host {
public:
    ~work_host() override = default;

    // Asks the interface thread to choose the parser of a freshly opened file
    // (which stores its name in file) and waits for the answer; null when no
    // answer can be had.
    virtual const log_pattern_list* DetectParser(file_view& file) = 0;
    virtual open_file_list& OpenFileList() = 0;
    virtual progress_record& Progress() = 0;
    // The interface thread's queue, where the work thread posts its messages.
    virtual message_queue& InterfaceQueue() = 0;
};
