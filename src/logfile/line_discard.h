// Discarded parsed lines: deleted on threads of their own, so that dropping a
// window of 100000 lines never waits for 100000 deletes, and the window that
// owns its lines until it hands them over.
#pragma once

#include "logfile/primitives.h"
#include "parser/log_line.h"

#include <cstddef>
#include <vector>

class line_discard {
public:
    // Hands lines to a deleting thread (deleting them here when no thread can
    // be had).  The lines are the deleting thread's from then on.
    static void hand_over(std::vector<log_line*> lines);
    // The process-wide deletion lock: held while discarded lines are deleted.
    static native_lock& deletion_lock();
    // Waits until every deleting thread started so far has finished (0), or
    // the time ran out (1).  Negative waits without limit.
    static int wait(int milliseconds);
    // Number of deleting threads that have not finished yet.
    static int pending();
};

// The lines of a window, in file order, which it owns: whatever it still
// holds when cleared or destroyed goes to line_discard.
class owned_lines {
public:
    owned_lines() = default;
    ~owned_lines() { discard(); }
    owned_lines(const owned_lines&) = delete;
    owned_lines& operator=(const owned_lines&) = delete;

    const std::vector<log_line*>& lines() const { return m_lines; }
    bool empty() const { return m_lines.empty(); }
    std::size_t size() const { return m_lines.size(); }

    // Takes over the lines (they are owned here from then on); what was held
    // before is handed back in their place.
    std::vector<log_line*> exchange(std::vector<log_line*> lines)
    {
        m_lines.swap(lines);
        return lines;
    }
    // Appends a line, owned from then on.
    void adopt(log_line* line) { m_lines.push_back(line); }
    // Hands every line to line_discard; empty afterwards.
    void discard();

private:
    std::vector<log_line*> m_lines;
};
