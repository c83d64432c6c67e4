// Routes commands by id to the handlers the application registers.
//
// Menu items, toolbar buttons, the common-tasks panel and the keyboard
// accelerators all end in route(id).  A handler is registered for one id or
// for a whole range (recent files, column commands); a single-id handler wins
// over a range that contains the id, and a later registration replaces an
// earlier one for the same id or the same range.
//
// Thread-safety: interface thread only.
#pragma once

#include <functional>
#include <map>
#include <vector>

class command_router {
public:
    // The handler receives the routed id, so that one handler can serve a range.
    using handler = std::function<void(int id)>;

    void add(int id, handler h);
    // Serves every id from first to last inclusive; ignored when last < first.
    void add_range(int first, int last, handler h);
    void remove(int id);

    bool has(int id) const;
    // Runs the handler of id; false when there is none (nothing happens then).
    bool route(int id) const;

private:
    struct range_handler {
        int first;
        int last;
        handler h;
    };
    const handler* find(int id) const;

    std::map<int, handler> m_single;
    std::vector<range_handler> m_ranges;
};
