#include "work/export_rows.h"

#include "filter/filter_run.h"
#include "filter/log_filter_groups.h"
#include "glossant/dictionary_text.h"
#include "platform/message_box.h"
#include "platform/strings.h"
#include "work/cell_text.h"

#include <chrono>
#include <memory>
#include <optional>

namespace {

constexpr int64_t kReportIntervalMs = 500;
// The cancel test and the clock are asked before every this many rows.
constexpr uint64_t kCheckStride = 64;

int64_t SystemClockMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// "%s\n%s": a text and the path it is about.
std::u16string WithPath(std::u16string text, std::u16string_view path)
{
    text += u'\n';
    text += path;
    return text;
}

// The cancel test and the progress reports of one export, paced so that
// neither costs anything per row.
class export_pace {
public:
    export_pace(const export_hooks& hooks, int64_t total) : m_hooks(hooks), m_total(total)
    {
        m_last_report = now();
        report(0);
    }

    // Called before each row with the rows (or lines) done so far; true when
    // the user has cancelled.
    bool before_row(int64_t done)
    {
        if (m_count++ % kCheckStride != 0)
            return false;
        if (m_hooks.cancel_requested && m_hooks.cancel_requested())
            return true;
        const int64_t tick = now();
        if (tick - m_last_report >= kReportIntervalMs) {
            m_last_report = tick;
            report(done);
        }
        return false;
    }

    void report(int64_t done) const
    {
        if (m_hooks.progress)
            m_hooks.progress(done, m_total);
    }

    int64_t total() const { return m_total; }

private:
    int64_t now() const { return m_hooks.clock_ms ? m_hooks.clock_ms() : SystemClockMs(); }

    const export_hooks& m_hooks;
    int64_t m_total;
    int64_t m_last_report = 0;
    uint64_t m_count = 0;
};

// One export's writing side: the target, the format and the line end.
struct export_writer {
    output_file& out;
    bool csv;
    bool quoted;          // the list has more than one column
    std::string line_end; // of log exports, in bytes (ASCII)
    uint64_t rows = 0;

    void csv_line(std::span<const std::u16string_view> fields) { out.append_csv_line(fields, quoted); }

    // A row of the list: every list column as the list shows it, empty where
    // the line has none.
    void list_row(const log_line& line, std::size_t column_count, std::vector<std::u16string_view>& fields)
    {
        if (csv) {
            fields.clear();
            for (std::size_t c = 0; c < column_count; ++c)
                fields.push_back(ShownCellText(line, c));
            csv_line(fields);
        } else {
            log_text(line);
        }
        ++rows;
    }

    // A line of a whole-file walk: its own columns, each as a list would show it.
    void walk_line(const log_line& line, std::vector<std::u16string_view>& fields)
    {
        if (csv) {
            fields.clear();
            for (std::size_t c = 0; c < line.columns().size(); ++c)
                fields.push_back(ShownCellText(line, c));
            csv_line(fields);
        } else {
            log_text(line, false);
        }
        ++rows;
    }

    // A line's text up to its first zero (the walk's lines hold none: their
    // conversion ends there already).
    void log_text(const log_line& line, bool may_hold_zero = true)
    {
        std::u16string_view text(line.text().data(), line.text().size());
        if (may_hold_zero) {
            if (const std::size_t zero = text.find(u'\0'); zero != std::u16string_view::npos)
                text = text.substr(0, zero);
        }
        out.append(text);
        out.append_bytes(line_end);
    }
};

// The context of a whole-file walk, passed through for_each_line.
struct walk_context {
    export_writer& writer;
    export_pace& pace;
    prepared_groups* groups;   // null: every line passes
    prepared_condition* quick; // null: no quick filter in force
    std::vector<std::u16string_view> fields;
    uint64_t seen = 0;
    bool cancelled = false;
};

// The line test of the walk: it sees every line, so the cancel test and
// the progress reports run here, also over long stretches of lines that the
// filter turns away.  A cancelled walk lets the next line through so that
// the callback can stop the walk.
bool WalkLinePasses(walk_context& context, const log_line& line)
{
    const auto number = static_cast<int64_t>(context.seen++);
    if (context.cancelled || context.pace.before_row(number)) {
        context.cancelled = true;
        return true;
    }
    return (!context.groups || context.groups->RowPasses(line))
           && (!context.quick || context.quick->AnyCellMatches(line));
}

bool WriteWalkLine(const log_line& line, uint64_t, uint64_t, void* context)
{
    auto& walk = *static_cast<walk_context*>(context);
    if (walk.cancelled)
        return false;
    if (!line.columns().empty())
        walk.writer.walk_line(line, walk.fields);
    return !walk.writer.out.failed();
}

// Kinds 0 and 1: the rows of the list in row order.  False when cancelled.
bool WriteListRows(const export_request& request, export_writer& writer, export_pace& pace)
{
    std::vector<std::u16string_view> fields;
    const std::size_t columns = request.column_names.size();
    const bool selected_only = request.kind == EXPORT_KIND_SELECTED_ROWS;
    const std::size_t count = selected_only ? request.selected.size() : request.rows.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (pace.before_row(static_cast<int64_t>(writer.rows)))
            return false;
        const std::size_t row = selected_only ? request.selected[i] : i;
        if (row >= request.rows.size() || !request.rows[row])
            continue;
        writer.list_row(*request.rows[row], columns, fields);
        if (writer.out.failed())
            break;
    }
    return true;
}

// The parser as the walk uses it: column values typed only where filter
// conditions may compare them (every column named by a condition of
// groups).  Typing decides no cut, so the texts the export writes are the
// same; it only costs time.
void DropUnusedTypes(log_pattern_list& items, const log_filter_groups* groups)
{
    for (log_pattern& item : items) {
        if (!item.sub_items.empty()) {
            DropUnusedTypes(item.sub_items, groups);
            continue;
        }
        bool compared = false;
        if (groups) {
            for (const log_filter_groups::group& group : groups->groups())
                for (const log_filter& condition : group)
                    compared = compared || condition.column() == item.name;
        }
        if (!compared)
            item.data_format.data_type = DATA_TYPE_TEXT;
    }
}

// Kinds 2 and 3: every indexed line through the parser (and the filter
// conditions for kind 3).  False when cancelled; nullopt when the walk was
// refused because the index thread runs.
std::optional<bool> WriteFileLines(const export_request& request, export_writer& writer, export_pace& pace)
{
    std::unique_ptr<prepared_groups> groups;
    if (request.kind == EXPORT_KIND_FILTERED_FILE && request.groups && !request.groups->empty()) {
        groups = std::make_unique<prepared_groups>(*request.groups, *request.parser);
        if (groups->inert())
            groups.reset();
    }
    // The quick filter is a filter the user sees: a filtered export passes
    // its lines through it as well.
    std::unique_ptr<prepared_condition> quick;
    if (request.kind == EXPORT_KIND_FILTERED_FILE && request.quick && !request.quick->content().empty())
        quick = std::make_unique<prepared_condition>(*request.quick, tagDATA_FORMAT{});
    log_pattern_list walk_parser = *request.parser;
    DropUnusedTypes(walk_parser, groups ? request.groups : nullptr);
    walk_context context{writer, pace, groups.get(), quick.get(), {}, 0, false};
    const log_file::line_test passes = [&context](const log_line& line) { return WalkLinePasses(context, line); };
    if (!request.file->for_each_line(walk_parser, &WriteWalkLine, &context, passes))
        return std::nullopt;
    if (context.cancelled)
        return false;
    if (!writer.out.failed())
        pace.report(pace.total());
    return true;
}

// Kind 4: each result line read and split by its number, in file order.
// False when cancelled.
bool WriteResultLines(const export_request& request, export_writer& writer, export_pace& pace)
{
    std::vector<std::u16string_view> fields;
    log_line line;
    for (std::size_t i = 0; i < request.result_lines.size(); ++i) {
        if (pace.before_row(static_cast<int64_t>(i)))
            return false;
        if (!request.read_line(request.result_lines[i], line) || line.columns().empty())
            continue;
        writer.walk_line(line, fields);
        if (writer.out.failed())
            break;
    }
    if (!writer.out.failed())
        pace.report(pace.total());
    return true;
}

int Message(const export_hooks& hooks, const std::u16string& text, unsigned flags)
{
    return hooks.message ? hooks.message(text, flags) : IDNO;
}

std::u16string RefusalText(output_file::create_result result, int error, std::u16string_view path)
{
    switch (result) {
    case output_file::create_result::not_a_file:
        return WithPath(DictionaryText(u"IDS_MSG_EXPORT_TARGET_NOT_FILE"), path);
    case output_file::create_result::is_source:
        return WithPath(DictionaryText(u"IDS_MSG_EXPORT_TARGET_IS_SOURCE"), path);
    default: return WithPath(ErrorCodeText(error), path);
    }
}

} // namespace

bool IsCsvTarget(std::u16string_view path)
{
    const std::size_t slash = path.rfind(u'/');
    const std::u16string_view name = slash == std::u16string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.rfind(u'.');
    return dot != std::u16string_view::npos && EqualsIgnoreAsciiCase(name.substr(dot + 1), u"csv");
}

std::u16string ExportInitialName(std::u16string_view name)
{
    const std::size_t dot = name.rfind(u'.');
    return std::u16string(dot == std::u16string_view::npos || dot == 0 ? name : name.substr(0, dot));
}

bool ExportCommandChecks(const export_command_state& state,
                         const std::function<int(const std::u16string& text, unsigned flags)>& message)
{
    auto say = [&](const char16_t* key, unsigned flags) {
        return message ? message(DictionaryText(key), flags) : (flags & MB_YESNO ? IDNO : IDOK);
    };
    switch (state.kind) {
    case EXPORT_KIND_SELECTED_ROWS:
    case EXPORT_KIND_VISIBLE_ROWS:
        if (state.rows == 0 || (state.kind == EXPORT_KIND_SELECTED_ROWS && state.selected == 0)) {
            say(u"IDS_MSG_NO_LINE_TO_EXPORT", MB_OK | MB_ICONINFORMATION);
            return false;
        }
        return true;
    case EXPORT_KIND_RESULTS:
        if (state.results == 0) {
            say(u"IDS_MSG_NO_LINE_TO_EXPORT", MB_OK | MB_ICONINFORMATION);
            return false;
        }
        return true;
    case EXPORT_KIND_WHOLE_FILE:
    case EXPORT_KIND_FILTERED_FILE:
        if (state.indexing) {
            say(u"IDS_MSG_EXPORT_STILL_INDEXING", MB_OK | MB_ICONINFORMATION);
            return false;
        }
        if (state.indexed_lines == 0) {
            say(u"IDS_MSG_NO_LINE_TO_EXPORT", MB_OK | MB_ICONINFORMATION);
            return false;
        }
        if (state.kind == EXPORT_KIND_FILTERED_FILE && !state.has_conditions) {
            if (state.quick_filter.empty())
                return say(u"IDS_MSG_EXPORT_NO_FILTER", MB_YESNO | MB_ICONQUESTION) == IDYES;
            // The quick filter alone: say which lines go out.
            std::u16string text = DictionaryText(u"IDS_MSG_EXPORT_QUICK_FILTER_ONLY");
            ReplaceAll(text, u"%s", state.quick_filter);
            return (message ? message(text, MB_YESNO | MB_ICONQUESTION) : IDNO) == IDYES;
        }
        return true;
    default: return false;
    }
}

export_result ExportRows(const export_request& request, const export_hooks& hooks)
{
    export_result result;
    const bool whole_file = request.kind == EXPORT_KIND_WHOLE_FILE || request.kind == EXPORT_KIND_FILTERED_FILE;
    const bool results = request.kind == EXPORT_KIND_RESULTS;
    if (!request.file || (whole_file && !request.parser) || (results && !request.read_line)
        || request.kind < EXPORT_KIND_SELECTED_ROWS || request.kind > EXPORT_KIND_RESULTS)
        return result;

    int64_t total = 0;
    if (request.kind == EXPORT_KIND_SELECTED_ROWS)
        total = static_cast<int64_t>(request.selected.size());
    else if (request.kind == EXPORT_KIND_VISIBLE_ROWS)
        total = static_cast<int64_t>(request.rows.size());
    else if (results)
        total = static_cast<int64_t>(request.result_lines.size());
    else
        total = static_cast<int64_t>(request.file->line_count());
    export_pace pace(hooks, total);

    // The walk needs the complete, quiet index.  The command checks this
    // before posting; checking again here means a refused walk never leaves
    // an emptied target behind.
    if (whole_file && request.file->indexer().is_running()) {
        Message(hooks, DictionaryText(u"IDS_MSG_EXPORT_STILL_INDEXING"), MB_OK | MB_ICONINFORMATION);
        result.end = export_end::still_indexing;
        return result;
    }

    const bool ansi = request.file->encoding() == ENCODING_ANSI;
    output_file out(ansi ? output_encoding::ansi : output_encoding::utf8, hooks.writer);
    const output_file::create_result created = out.create(request.path, IdentityOfPath(request.file_path));
    if (created != output_file::create_result::created) {
        result.end = export_end::create_failed;
        result.error = out.error();
        Message(hooks, RefusalText(created, out.error(), request.path), MB_OK | MB_ICONERROR);
        return result;
    }

    export_writer writer{out, request.csv, request.column_names.size() > 1, "\n"};
    if (!request.csv) {
        if (const std::optional<std::u16string> end = request.file->line_end(); end && !end->empty())
            writer.line_end = ToUtf8(*end);
    }
    if (!ansi)
        out.append_bytes("\xEF\xBB\xBF");
    if (request.csv) {
        std::vector<std::u16string_view> names(request.column_names.begin(), request.column_names.end());
        writer.csv_line(names);
    }

    bool finished = true;
    if (whole_file) {
        const std::optional<bool> walked = WriteFileLines(request, writer, pace);
        if (!walked) {
            // The index thread started after the check above: nothing was
            // exported, and the target holds no more than its header.
            out.remove();
            Message(hooks, DictionaryText(u"IDS_MSG_EXPORT_STILL_INDEXING"), MB_OK | MB_ICONINFORMATION);
            result.end = export_end::still_indexing;
            return result;
        }
        finished = *walked;
    } else if (results) {
        finished = WriteResultLines(request, writer, pace);
    } else {
        finished = WriteListRows(request, writer, pace);
    }
    result.rows_written = writer.rows;

    // Closed before anything is said, so that a failure to write the last
    // buffer, or the close itself, is never reported as a completed export.
    if (!out.close()) {
        result.end = export_end::write_failed;
        result.error = out.error();
        Message(hooks, WithPath(ErrorCodeText(out.error()), request.path), MB_OK | MB_ICONERROR);
        return result;
    }
    if (finished) {
        result.end = export_end::completed;
        Message(hooks, DictionaryText(u"IDS_MSG_EXPORT_COMPLETE"), MB_OK | MB_ICONINFORMATION);
    } else if (Message(hooks, DictionaryText(u"IDS_MSG_EXPORT_CANCEL_DELETE"), MB_YESNO | MB_ICONQUESTION) == IDYES) {
        if (!out.remove() && out.failed()) {
            // Kept against the user's wish: say why, and open nothing.
            result.end = export_end::cancelled_kept;
            result.error = out.error();
            Message(hooks, WithPath(ErrorCodeText(out.error()), request.path), MB_OK | MB_ICONERROR);
            return result;
        }
        result.end = export_end::cancelled_deleted;
        return result;
    } else {
        result.end = export_end::cancelled_kept;
    }
    result.open_after = !request.csv;
    return result;
}
