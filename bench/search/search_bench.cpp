// search_bench [size]: find in file over a page-cached generated log of about
// <size> bytes (default 1G), each figure beside a baseline run in the same
// process on the same file:
//   - a word that occurs nowhere, beside grep -c of the same word;
//   - a regular expression with a required literal (took \d{4} ms, one match
//     near the end), beside grep -cE of the same expression;
//   - three regular expressions without one ([xyz]\d{6}, \d{3}-\d{4} and
//     (?i)timeout|refused, one matching line near the end), each beside
//     grep -cE, the first also beside the plain loop that parses every window;
//   - the word found nowhere and those three also on one thread (the
//     caller alone), as a ratio to the search on every core, beside how
//     much two spinning threads get done beside one in the same run;
//   - a word at the far end of the file, searched down from the first window
//     and up from the last, beside grep -n -m1 reaching the word near the end;
//     and down while the file is still being indexed, beside indexing alone.
// The log is written in a fresh temporary folder, removed at the end.
#include "bench_parsers.h"
#include "bench_support.h"
#include "logfile/log_file.h"
#include "search/find_in_file.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Lines like "2024-08-05 13:07:10.320 [INFO] [worker-3] Wrote 24 bytes to
// /var/spool/out/batch-24.dat"; one line in twenty says "Request K took N
// ms" with N below 1000, and one line near the end took 4321 ms.  Near the
// start one line holds the word "farstartmark", near the end one line holds
// "farendmark" and one an upstream connection refused with the code x123456
// and the call 555-0199.
uint64_t write_log(const std::string& path, uint64_t bytes)
{
    static const char* const levels[] = {"INFO", "INFO", "INFO", "DEBUG", "WARN", "ERROR"};
    static const char* const verbs[] = {"Wrote", "Read", "Sent", "Received", "Cached", "Dropped"};
    static const char* const objects[] = {"bytes to /var/spool/out/batch-",
                                          "records from queue orders-",
                                          "messages to peer 10.0.7.",
                                          "rows into table events_",
                                          "keys for user:",
                                          "frames from stream video-"};
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return 0;
    xorshift rng;
    std::string buffer;
    buffer.reserve(1 << 22);
    uint64_t written = 0;
    uint64_t count = 0;
    bool slow_written = false;
    bool start_mark_written = false;
    bool end_mark_written = false;
    bool refused_written = false;
    char line[256];
    while (written + buffer.size() < bytes) {
        const uint64_t ms = count * 37;
        const uint64_t s = ms / 1000;
        int n = std::snprintf(line, sizeof line, "2024-08-%02u %02u:%02u:%02u.%03u [%s] [worker-%u] ",
                              static_cast<unsigned>(5 + s / 86400 % 20), static_cast<unsigned>(s / 3600 % 24),
                              static_cast<unsigned>(s / 60 % 60), static_cast<unsigned>(s % 60),
                              static_cast<unsigned>(ms % 1000), levels[rng.below(6)], rng.below(16));
        const bool near_end = written + buffer.size() > bytes - bytes / 1000;
        const bool nearer_end = written + buffer.size() > bytes - bytes / 2000;
        if (count == 500 && !start_mark_written) {
            n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "Marker farstartmark %u",
                               rng.below(1000));
            start_mark_written = true;
        } else if (nearer_end && !end_mark_written) {
            n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "Marker farendmark %u",
                               rng.below(1000));
            end_mark_written = true;
        } else if (nearer_end && !refused_written) {
            n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n),
                               "Upstream connection Refused (code x123456, call 555-0199)");
            refused_written = true;
        } else if (near_end && !slow_written) {
            n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n),
                               "Request %u took 4321 ms for /api/v2/orders/%u", rng.below(100), rng.below(100000));
            slow_written = true;
        } else if (rng.below(20) == 0) {
            n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n),
                               "Request %u took %u ms for /api/v2/orders/%u", rng.below(100), rng.below(1000),
                               rng.below(100000));
        } else {
            const unsigned kind = rng.below(6);
            n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "%s %u %s%u.dat", verbs[kind],
                               rng.below(100000), objects[kind], rng.below(100));
        }
        buffer.append(line, static_cast<std::size_t>(n));
        buffer += '\n';
        ++count;
        if (buffer.size() >= (1u << 22) - 256) {
            written += std::fwrite(buffer.data(), 1, buffer.size(), out);
            buffer.clear();
        }
    }
    written += std::fwrite(buffer.data(), 1, buffer.size(), out);
    std::fclose(out);
    return count;
}

struct timed_search {
    double seconds = 0;
    double processor = 0; // processor seconds of the best run, every thread's
    find_result result;
    find_counts counts;
};

// Runs find in file from a window (down from the first window, or up from
// the last), best of runs.
timed_search time_search(log_file& file, const log_pattern_list& parser, const std::u16string& expression, bool regexp,
                         bool literal_scan, int runs, bool up = false, unsigned workers = 0)
{
    timed_search best;
    best.seconds = 1e18;
    const uint64_t window = 100000;
    const uint64_t lines = file.line_count();
    for (int i = 0; i < runs; ++i) {
        file.parse_range(file.indexer().hold(), parser, up && lines > window ? static_cast<int64_t>(lines - window) : 0,
                         window);
        CSearchInfo search;
        search.expression = expression;
        search.regexp = regexp;
        search.case_sensitive = true;
        search.up = up;
        find_in_file_options options;
        options.max_lines = window;
        options.literal_scan = literal_scan;
        options.workers = workers;
        find_counts counts;
        options.counts = &counts;
        const auto start = clock_type::now();
        const double processor_start = process_seconds();
        const find_result result = find_in_file(file, parser, search, options);
        const double took = seconds_since(start);
        const double processor = process_seconds() - processor_start;
        if (took < best.seconds) {
            best.seconds = took;
            best.processor = processor;
            best.result = result;
            best.counts = counts;
        }
    }
    return best;
}

// Runs a shell command that prints one number; best time of runs.
double time_command(const std::string& command, long& printed, int runs)
{
    double best = 1e18;
    for (int i = 0; i < runs; ++i) {
        const auto start = clock_type::now();
        std::FILE* pipe = popen(command.c_str(), "r");
        if (!pipe)
            return -1;
        long value = -1;
        if (std::fscanf(pipe, "%ld", &value) != 1)
            value = -1;
        pclose(pipe);
        best = std::min(best, seconds_since(start));
        printed = value;
    }
    return best;
}

const char* scan_kind_text(const find_counts& counts)
{
    if (!counts.fast_path)
        return "none (every window parsed)";
    if (counts.literal_scan)
        return "required literal";
    if (counts.start_scan)
        return "start of the matches";
    return "every line";
}

const char* outcome_text(find_outcome o)
{
    return o == find_outcome::found ? "found" : o == find_outcome::cancelled ? "cancelled" : "not found";
}

double gb(uint64_t bytes)
{
    return static_cast<double>(bytes) / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    const uint64_t size = argc > 1 ? parse_size(argv[1]) : parse_size("1G");
    if (size == 0) {
        std::fprintf(stderr, "usage: search_bench [size of the log, for example 1G]\n");
        return 2;
    }
    std::string pattern = (fs::temp_directory_path() / "varnoth-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path folder(pattern);
    const std::string path = (folder / "search.log").string();
    int status = 0;
    {
        const auto written_at = clock_type::now();
        const uint64_t lines = write_log(path, size);
        warm(path);
        const uint64_t bytes = fs::file_size(path);
        std::printf("log: %" PRIu64 " lines, %.2f GB, written in %.1f s\n", lines, gb(bytes),
                    seconds_since(written_at));

        log_file file;
        const auto opened_at = clock_type::now();
        if (!file.open(std::u16string(path.begin(), path.end()), 0, false) || file.line_count() != lines) {
            std::fprintf(stderr, "cannot open %s\n", path.c_str());
            return 1;
        }
        std::printf("indexed in %.2f s\n", seconds_since(opened_at));
        const log_pattern_list parser = six_columns();
        const std::string quoted = "'" + path + "'";
        std::printf("baseline for every core beside one thread: two spinning threads do %.2fx the work of one "
                    "per second in this run (2.00 with a second core free)\n",
                    two_thread_capacity());

        // 1. A word that occurs nowhere.
        const timed_search absent = time_search(file, parser, u"zqxjvk", false, true, 3);
        long grep_count = 0;
        const double grep = time_command("LC_ALL=C grep -c zqxjvk " + quoted, grep_count, 3);
        const double absent_rate = gb(bytes) / absent.seconds;
        std::printf("\nword that occurs nowhere: %s in %.3f s = %.2f GB/s (target >= 1 GB/s), "
                    "%.2f GB scanned, %" PRIu64 " windows reckoned, %" PRIu64 " parsed\n",
                    outcome_text(absent.result.outcome), absent.seconds, absent_rate, gb(absent.counts.bytes_scanned),
                    absent.counts.windows_reached, absent.counts.windows_parsed);
        std::printf("  baseline grep -c (count %ld): %.3f s = %.2f GB/s; ratio find/grep time %.2f\n", grep_count, grep,
                    gb(bytes) / grep, absent.seconds / grep);
        status |= absent_rate >= 1.0 ? 0 : 1;
        const timed_search absent_one = time_search(file, parser, u"zqxjvk", false, true, 3, false, 1);
        std::printf("  on one thread: %.3f s; ratio one thread/grep time %.2f; every core %.2fx one thread "
                    "(processor time %.3f s on every core, %.3f s on one)\n",
                    absent_one.seconds, absent_one.seconds / grep, absent_one.seconds / absent.seconds,
                    absent.processor, absent_one.processor);

        // 2. A regular expression with a required literal.
        const timed_search took = time_search(file, parser, u"took \\d{4} ms", true, true, 3);
        long grep_took = 0;
        const double grep_e = time_command("LC_ALL=C grep -cE 'took [0-9]{4} ms' " + quoted, grep_took, 3);
        const double took_rate = gb(bytes) / took.seconds;
        std::printf("\nregular expression 'took \\d{4} ms': %s at row %" PRId64 " in %.3f s = %.2f GB/s "
                    "(target >= 0.5 GB/s); %" PRIu64 " lines held 'took ', %" PRIu64 " split and tested, "
                    "%" PRIu64 " windows parsed\n",
                    outcome_text(took.result.outcome), took.result.row, took.seconds, took_rate,
                    took.counts.candidate_lines, took.counts.lines_split, took.counts.windows_parsed);
        std::printf("  baseline grep -cE (count %ld): %.3f s = %.2f GB/s; ratio find/grep time %.2f\n", grep_took,
                    grep_e, gb(bytes) / grep_e, took.seconds / grep_e);
        status |= took_rate >= 0.5 ? 0 : 1;

        // 3. Regular expressions without a required literal, beside grep -cE;
        // the first also beside the plain loop that parses every window.
        struct no_literal_case {
            const char16_t* expression;
            const char* shown;
            const char* grep;
        };
        const no_literal_case cases[] = {
            {u"[xyz]\\d{6}", "[xyz]\\d{6}", "LC_ALL=C grep -cE '[xyz][0-9]{6}' "},
            {u"\\d{3}-\\d{4}", "\\d{3}-\\d{4}", "LC_ALL=C grep -cE '[0-9]{3}-[0-9]{4}' "},
            {u"(?i)timeout|refused", "(?i)timeout|refused", "LC_ALL=C grep -ciE 'timeout|refused' "},
        };
        double first_case_seconds = 0;
        for (const no_literal_case& c : cases) {
            const timed_search found = time_search(file, parser, c.expression, true, true, 3);
            long grep_count = 0;
            const double grep_time = time_command(c.grep + quoted, grep_count, 3);
            std::printf("\nregular expression '%s' (no required literal): %s at row %" PRId64 " in %.3f s = %.2f GB/s; "
                        "scan: %s, %" PRIu64 " candidate lines, %" PRIu64 " split and tested, %" PRIu64
                        " windows parsed\n",
                        c.shown, outcome_text(found.result.outcome), found.result.row, found.seconds,
                        gb(bytes) / found.seconds, scan_kind_text(found.counts), found.counts.candidate_lines,
                        found.counts.lines_split, found.counts.windows_parsed);
            std::printf("  baseline grep -cE (count %ld): %.3f s = %.2f GB/s; throughput find/grep %.2fx "
                        "(target >= 1.0x)\n",
                        grep_count, grep_time, gb(bytes) / grep_time, grep_time / found.seconds);
            const timed_search one = time_search(file, parser, c.expression, true, true, 3, false, 1);
            std::printf("  on one thread: %.3f s; throughput one thread/grep %.2fx; every core %.2fx one thread "
                        "(processor time %.3f s on every core, %.3f s on one)\n",
                        one.seconds, grep_time / one.seconds, one.seconds / found.seconds, found.processor,
                        one.processor);
            if (first_case_seconds == 0)
                first_case_seconds = found.seconds;
        }
        const timed_search plain_no_literal = time_search(file, parser, u"[xyz]\\d{6}", true, false, 1);
        std::printf("  baseline plain loop parsing every window for '[xyz]\\d{6}': %.2f s = %.3f GB/s "
                    "(%.1fx the time of the scan)\n",
                    plain_no_literal.seconds, gb(bytes) / plain_no_literal.seconds,
                    plain_no_literal.seconds / first_case_seconds);
        std::printf("\nthe word that occurs nowhere: fast path %.1fx faster than the plain loop would be "
                    "(estimated from the plain loop above, whose pattern costs little beside the parse)\n",
                    plain_no_literal.seconds / absent.seconds);

        // 4. A word at the far end: down from the first window to a line near
        // the end, up from the last window to a line near the start; beside
        // grep -n -m1 reaching the word near the end.
        long grep_line = 0;
        const double grep_far = time_command("LC_ALL=C grep -n -m1 farendmark " + quoted, grep_line, 3);
        const timed_search far_down = time_search(file, parser, u"farendmark", false, true, 3, false);
        const timed_search far_up = time_search(file, parser, u"farstartmark", false, true, 3, true);
        std::printf("\nword at the far end: down %s in %.3f s (%" PRIu64 " windows reached, %" PRIu64
                    " parsed), up %s in %.3f s (%" PRIu64 " windows reached, %" PRIu64 " parsed)\n",
                    outcome_text(far_down.result.outcome), far_down.seconds, far_down.counts.windows_reached,
                    far_down.counts.windows_parsed, outcome_text(far_up.result.outcome), far_up.seconds,
                    far_up.counts.windows_reached, far_up.counts.windows_parsed);
        std::printf("  baseline grep -n -m1 (line %ld): %.3f s; ratio find/grep time: down %.2f, up %.2f\n", grep_line,
                    grep_far, far_down.seconds / grep_far, far_up.seconds / grep_far);

        // 5. The same word down while the file is still being indexed, as the
        // viewer searches right after opening; beside indexing alone.
        double indexing_alone = 0;
        {
            log_file fresh;
            const auto start = clock_type::now();
            fresh.open(std::u16string(path.begin(), path.end()), 100000, false);
            fresh.start_indexer();
            while (fresh.indexer().wait_stopped(60000) != 0) {}
            indexing_alone = seconds_since(start);
        }
        {
            log_file fresh;
            const auto start = clock_type::now();
            fresh.open(std::u16string(path.begin(), path.end()), 100000, false);
            fresh.parse_range(fresh.indexer().hold(), parser, 0, 100000);
            fresh.start_indexer();
            CSearchInfo search;
            search.expression = u"farendmark";
            search.case_sensitive = true;
            find_in_file_options options;
            options.max_lines = 100000;
            find_counts counts;
            options.counts = &counts;
            const find_result result = find_in_file(fresh, parser, search, options);
            const double took = seconds_since(start);
            std::printf("\nword at the far end while indexing: down %s in %.3f s from the open (%" PRIu64
                        " windows reached, %" PRIu64 " parsed)\n",
                        outcome_text(result.outcome), took, counts.windows_reached, counts.windows_parsed);
            std::printf("  baseline indexing alone from the open: %.3f s; ratio %.2f; grep -n -m1 %.3f s\n",
                        indexing_alone, took / indexing_alone, grep_far);
        }
    }
    std::error_code ec;
    fs::remove_all(folder, ec);
    return status;
}
