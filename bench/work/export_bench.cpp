// export_bench [size]: exporting a whole log file to CSV and to a log file.
//
// Generates, in a fresh temporary folder, a log of about <size> bytes
// (default 1G) whose lines split into six columns (a date-time and a number
// among them; messages with commas and quotation marks, so that CSV fields
// get quoted; no byte-order mark, so the file is read and written in the
// ANSI code page), reads it once so that it is page-cached, and prints beside
// each figure the baseline measured in the same run, `cp` of the same file
// into the same folder:
//   - the whole-file CSV export with the six-column parser (the target:
//     at least 200 MB/s of source);
//   - where its time goes: the line walk alone (read, convert, split and
//     type every line, nothing written), and reading and converting alone;
//   - the whole-file log export, and the export through a filter.
// The folder is removed at the end.
#include "bench_parsers.h"
#include "bench_support.h"
#include "filter/log_filter_groups.h"
#include "logfile/log_file.h"
#include "platform/strings.h"
#include "work/export_rows.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <time.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A small fast generator, so that writing the file costs little.

// "2024-08-05 13:07:10.320 [INFO] [worker-3] Wrote 24768 bytes, to "/x/y-7.dat" (user "ann", 12 ms)"
uint64_t write_log(const std::string& path, uint64_t bytes)
{
    static const char* const levels[] = {"DEBUG", "INFO", "INFO", "INFO", "WARN", "ERROR"};
    static const char* const verbs[] = {"Wrote", "Read", "Sent", "Cached", "Dropped"};
    static const char* const users[] = {"ann", "bob", "o'neil", "zo\xC3\xA9", "li"};
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return 0;
    xorshift rng;
    std::string buffer;
    buffer.reserve(1 << 21);
    uint64_t written = 0;
    uint64_t count = 0;
    char line[512];
    while (written + buffer.size() < bytes) {
        const uint64_t ms = count * 37;
        const uint64_t s = ms / 1000;
        const int n = std::snprintf(
            line, sizeof line,
            "2024-08-%02u %02u:%02u:%02u.%03u [%s] [worker-%u] %s %u bytes, to \"/var/spool/out/batch-%u.dat\" "
            "(user \"%s\", %u ms)\n",
            static_cast<unsigned>(5 + s / 86400 % 20), static_cast<unsigned>(s / 3600 % 24),
            static_cast<unsigned>(s / 60 % 60), static_cast<unsigned>(s % 60), static_cast<unsigned>(ms % 1000),
            levels[rng.below(6)], rng.below(16), verbs[rng.below(5)], rng.below(100000), rng.below(1000),
            users[rng.below(5)], rng.below(30000));
        buffer.append(line, static_cast<std::size_t>(n));
        ++count;
        if (buffer.size() >= (1 << 20)) {
            written += std::fwrite(buffer.data(), 1, buffer.size(), out);
            buffer.clear();
        }
    }
    written += std::fwrite(buffer.data(), 1, buffer.size(), out);
    std::fclose(out);
    return count;
}

bool count_line(const log_line& line, uint64_t, uint64_t, void* context)
{
    *static_cast<uint64_t*>(context) += line.columns().size();
    return true;
}

// Reads and converts every line as the walk does, but splits nothing.
uint64_t read_and_convert(log_file& file)
{
    const line_index::reader index = file.read_index();
    line_cursor cursor;
    if (!index.locate(0, cursor))
        return 0;
    std::unique_ptr<char[]> buffer(new char[log_file::kReadBufferSize]);
    int64_t buffer_offset = -1;
    int64_t buffer_size = 0;
    std::u16string text;
    text.reserve(65536);
    uint64_t characters = 0;
    do {
        int64_t offset;
        uint32_t length;
        index.line_at(cursor, offset, length);
        if (buffer_offset < 0 || offset + length > buffer_offset + buffer_size) {
            buffer_size = file.read_bytes(offset, buffer.get(), log_file::kReadBufferSize);
            buffer_offset = offset;
        }
        file.bytes_to_text(buffer.get() + (offset - buffer_offset), length, text);
        characters += text.size();
    } while (index.advance(cursor));
    return characters;
}

double thread_cpu_seconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double megabytes(uint64_t bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

} // namespace

int main(int argc, char** argv)
{
    const uint64_t size = argc > 1 ? parse_size(argv[1]) : parse_size("1G");
    if (size == 0) {
        std::fprintf(stderr, "usage: export_bench [size of the generated log, for example 1G]\n");
        return 2;
    }
    std::string pattern = (fs::temp_directory_path() / "varnoth-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path folder(pattern);
    int status = 0;
    {
        const std::string source = (folder / "source.log").string();
        const uint64_t lines = write_log(source, size);
        const uint64_t bytes = fs::file_size(source);
        warm(source);
        std::printf("generated %" PRIu64 " lines, %.0f MB\n", lines, megabytes(bytes));

        // The baseline: cp of the same file into the same folder.
        const std::string copy = (folder / "copy.log").string();
        const std::string command = "cp '" + source + "' '" + copy + "'";
        sync();
        const auto cp_start = clock_type::now();
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "cp failed\n");
            status = 1;
        }
        const double cp_seconds = seconds_since(cp_start);
        fs::remove(copy);
        const double cp_rate = megabytes(bytes) / cp_seconds;
        std::printf("baseline cp: %.2f s, %.0f MB/s\n", cp_seconds, cp_rate);

        log_file file;
        const auto open_start = clock_type::now();
        if (!file.open(FromUtf8(source), 0, false) || file.line_count() != lines) {
            std::fprintf(stderr, "cannot open and index %s\n", source.c_str());
            return 1;
        }
        std::printf("open and index (not part of any figure): %.2f s\n", seconds_since(open_start));
        const log_pattern_list parser = six_columns();
        const std::vector<std::u16string> names = {u"Time", u"Level", u"Thread", u"Verb", u"Count", u"Rest"};

        double last_cpu = 0; // CPU time of the exporting thread in the last export
        auto run_export = [&](int32_t kind, const char* name, const log_filter_groups* groups, uint64_t& out_bytes,
                              write_function writer = nullptr) {
            export_request request;
            request.kind = kind;
            request.path = FromUtf8((folder / name).string());
            request.csv = IsCsvTarget(request.path);
            request.file = &file;
            request.file_path = FromUtf8(source);
            request.parser = &parser;
            request.column_names = names;
            request.groups = groups;
            export_hooks hooks;
            hooks.writer = writer;
            sync();
            const double cpu_start = thread_cpu_seconds();
            const auto start = clock_type::now();
            const export_result result = ExportRows(request, hooks);
            const double seconds = seconds_since(start);
            last_cpu = thread_cpu_seconds() - cpu_start;
            out_bytes = fs::file_size(folder / name);
            fs::remove(folder / name);
            if (result.end != export_end::completed) {
                std::fprintf(stderr, "export to %s did not complete\n", name);
                status = 1;
            }
            return seconds;
        };

        // The best of three: other work on the machine only ever adds time.
        uint64_t csv_bytes = 0;
        double csv_seconds = 1e18;
        double csv_cpu = 0;
        for (int run = 0; run < 3; ++run) {
            const double seconds = run_export(EXPORT_KIND_WHOLE_FILE, "whole.csv", nullptr, csv_bytes);
            if (seconds < csv_seconds) {
                csv_seconds = seconds;
                csv_cpu = last_cpu;
            }
        }
        const double csv_rate = megabytes(bytes) / csv_seconds;
        const bool ok = csv_rate >= 200;
        std::printf("whole-file CSV export, 6 columns: %.2f s (best of 3; %.2f s CPU on the exporting thread), "
                    "%.0f MB/s of source (%.0f MB written; target >= 200 MB/s); baseline cp %.0f MB/s; %.2fx the "
                    "time of cp%s\n",
                    csv_seconds, csv_cpu, csv_rate, megabytes(csv_bytes), cp_rate, csv_seconds / cp_seconds,
                    ok ? "" : "  UNDER TARGET");
        status |= ok ? 0 : 1;

        // Where the time goes.
        uint64_t discarded = 0;
        const double encode_seconds =
            run_export(EXPORT_KIND_WHOLE_FILE, "discard.csv", nullptr, discarded,
                       [](int, const void*, std::size_t count) { return static_cast<ssize_t>(count); });
        std::printf("  the same export with writes discarded: %.2f s (%.0f%%)\n", encode_seconds,
                    100 * encode_seconds / csv_seconds);
        // The export walks with the columns' values untyped (nothing compares them).
        log_pattern_list text_parser = parser;
        for (log_pattern& column : text_parser)
            column.data_format.data_type = DATA_TYPE_TEXT;
        uint64_t columns = 0;
        const auto typed_start = clock_type::now();
        file.for_each_line(parser, &count_line, &columns);
        const double typed_seconds = seconds_since(typed_start);
        columns = 0;
        const auto walk_start = clock_type::now();
        file.for_each_line(text_parser, &count_line, &columns);
        const double walk_seconds = seconds_since(walk_start);
        const auto convert_start = clock_type::now();
        const uint64_t characters = read_and_convert(file);
        const double convert_seconds = seconds_since(convert_start);
        std::printf("  of which the line walk (read, convert, split; nothing written): %.2f s (%.0f%%), %" PRIu64
                    " columns; with the values typed as well, as a filter needs: %.2f s\n",
                    walk_seconds, 100 * walk_seconds / csv_seconds, columns, typed_seconds);
        std::printf("    of which reading and converting alone: %.2f s (%.0f%% of the export), %" PRIu64
                    " characters\n",
                    convert_seconds, 100 * convert_seconds / csv_seconds, characters);
        std::printf("  CSV fields, encoding and writing: about %.2f s (%.0f%%)\n", csv_seconds - walk_seconds,
                    100 * (csv_seconds - walk_seconds) / csv_seconds);

        uint64_t log_bytes = 0;
        const double log_seconds = run_export(EXPORT_KIND_WHOLE_FILE, "whole.log", nullptr, log_bytes);
        std::printf("whole-file log export: %.2f s, %.0f MB/s (%.0f MB written); baseline cp %.0f MB/s\n", log_seconds,
                    megabytes(bytes) / log_seconds, megabytes(log_bytes), cp_rate);

        log_filter condition;
        condition.SetColumn(u"Level");
        condition.SetType(FILTER_TYPE_EQUAL);
        condition.SetContent(u"ERROR");
        log_filter_groups groups;
        groups.AddCondition(condition);
        uint64_t filtered_bytes = 0;
        const double filtered_seconds = run_export(EXPORT_KIND_FILTERED_FILE, "errors.csv", &groups, filtered_bytes);
        std::printf("filtered CSV export (Level = ERROR): %.2f s, %.0f MB/s of source (%.0f MB written); "
                    "baseline cp %.0f MB/s\n",
                    filtered_seconds, megabytes(bytes) / filtered_seconds, megabytes(filtered_bytes), cp_rate);
    }
    std::error_code ec;
    fs::remove_all(folder, ec);
    return status;
}
