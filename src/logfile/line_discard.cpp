#include "logfile/line_discard.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <utility>

namespace {

struct discard_counter {
    std::mutex mutex;
    std::condition_variable changed;
    int pending = 0;
};

discard_counter& discards()
{
    // Never destroyed: deleting threads may still finish during process exit.
    static discard_counter* counter = new discard_counter;
    return *counter;
}

void delete_lines(std::vector<log_line*>* lines)
{
    life_lock hold(line_discard::deletion_lock());
    DeleteLines(lines->data(), lines->size());
    delete lines;
}

// Deletes a batch of discarded lines under the deletion lock, then destroys
// itself.  Its argument is a heap vector of lines.
class autodelete_thread : public native_thread {
public:
    autodelete_thread() : native_thread(true)
    {
        std::lock_guard<std::mutex> guard(discards().mutex);
        ++discards().pending;
    }
    ~autodelete_thread() override
    {
        std::lock_guard<std::mutex> guard(discards().mutex);
        --discards().pending;
        discards().changed.notify_all();
    }
    unsigned run(void* argument) override
    {
        if (argument)
            delete_lines(static_cast<std::vector<log_line*>*>(argument));
        return 0;
    }
};

} // namespace

void line_discard::hand_over(std::vector<log_line*> lines)
{
    if (lines.empty())
        return;
    auto* batch = new std::vector<log_line*>(std::move(lines));
    autodelete_thread* deleter = nullptr;
    try {
        deleter = new autodelete_thread();
    } catch (...) {
        deleter = nullptr;
    }
    // With no thread to hand them to, the lines are deleted here.
    if (!deleter || !deleter->start(batch, -1)) {
        delete deleter;
        delete_lines(batch);
    }
}

native_lock& line_discard::deletion_lock()
{
    // Never destroyed, so that it outlives any deleting thread.
    static native_lock* lock = new native_lock;
    return *lock;
}

int line_discard::wait(int milliseconds)
{
    discard_counter& counter = discards();
    std::unique_lock<std::mutex> hold(counter.mutex);
    if (milliseconds < 0) {
        counter.changed.wait(hold, [&] { return counter.pending == 0; });
        return 0;
    }
    return counter.changed.wait_for(hold, std::chrono::milliseconds(milliseconds), [&] { return counter.pending == 0; })
               ? 0
               : 1;
}

int line_discard::pending()
{
    std::lock_guard<std::mutex> guard(discards().mutex);
    return discards().pending;
}

void owned_lines::discard()
{
    line_discard::hand_over(std::exchange(m_lines, {}));
}
