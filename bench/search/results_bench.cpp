// results_bench [size]: whole-file results over a page-cached generated log
// of about <size> bytes (default 1G), each figure beside a baseline run in
// the same process on the same file:
//   - find all of a word on 1 % of the lines, beside grep -c of the word
//     (the counts must be equal), with the time until the first results;
//   - find all of a regular expression with a required literal, beside
//     grep -cE;
//   - filter whole file with a date-time range and a level (typed
//     conditions), beside an awk one-liner counting the same lines;
//   - each of these also on one thread (the caller alone), beside the same
//     baseline, and as a ratio to the walk on every core, beside how much
//     two spinning threads get done beside one in the same run;
//   - the memory of the list for the hits of a word on more lines than a
//     million.
// The log is written in a fresh temporary folder, removed at the end.
#include "bench_parsers.h"
#include "bench_support.h"
#include "logfile/log_file.h"
#include "search/whole_file_results.h"

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
// batch-24.dat", 37 ms apart; one line in a hundred holds "gruffalo", one
// in ten "Request N took M ms".
uint64_t write_log(const std::string& path, uint64_t bytes)
{
    static const char* const levels[] = {"INFO", "INFO", "INFO", "DEBUG", "WARN", "ERROR"};
    static const char* const verbs[] = {"Wrote", "Read", "Sent", "Received", "Cached", "Dropped"};
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return 0;
    xorshift rng;
    std::string buffer;
    buffer.reserve(1 << 22);
    uint64_t written = 0;
    uint64_t count = 0;
    char line[256];
    while (written + buffer.size() < bytes) {
        const uint64_t ms = count * 37;
        const uint64_t s = ms / 1000;
        int n = std::snprintf(line, sizeof line, "2024-08-%02u %02u:%02u:%02u.%03u [%s] [worker-%u] ",
                              static_cast<unsigned>(5 + s / 86400 % 20), static_cast<unsigned>(s / 3600 % 24),
                              static_cast<unsigned>(s / 60 % 60), static_cast<unsigned>(s % 60),
                              static_cast<unsigned>(ms % 1000), levels[rng.below(6)], rng.below(16));
        const unsigned kind = rng.below(100);
        if (kind == 0)
            n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "Cached %u pages of gruffalo-%u",
                               rng.below(100000), rng.below(100));
        else if (kind < 11)
            n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "Request %u took %u ms for /api/%u",
                               rng.below(100), rng.below(20000), rng.below(100000));
        else
            n += std::snprintf(line + n, sizeof line - static_cast<std::size_t>(n), "%s %u bytes to batch-%u.dat",
                               verbs[rng.below(6)], rng.below(100000), rng.below(100));
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

struct timed_results {
    double seconds = 1e18;
    double processor = 0;      // processor seconds of the best run, every thread's
    double first_results = -1; // seconds until the first number was published
    uint64_t count = 0;
    std::size_t memory = 0;
    results_counts counts;
};

timed_results time_results(log_file& file, const log_pattern_list& parser, const results_query& query, int runs,
                           unsigned workers = 0)
{
    timed_results best;
    for (int i = 0; i < runs; ++i) {
        result_lines out;
        results_options options;
        double first = -1;
        const auto start = clock_type::now();
        options.progress = [&](int64_t, int64_t) {
            if (first < 0 && !out.empty())
                first = seconds_since(start);
        };
        results_counts counts;
        options.counts = &counts;
        options.workers = workers;
        const double processor_start = process_seconds();
        whole_file_results(file, parser, query, out, options);
        const double took = seconds_since(start);
        const double processor = process_seconds() - processor_start;
        if (took < best.seconds) {
            best.seconds = took;
            best.processor = processor;
            best.first_results = first < 0 ? took : first;
            best.count = out.size();
            best.memory = out.memory_bytes();
            best.counts = counts;
        }
    }
    return best;
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
        std::fprintf(stderr, "usage: results_bench [size of the log, for example 1G]\n");
        return 2;
    }
    std::string pattern = (fs::temp_directory_path() / "varnoth-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path folder(pattern);
    const std::string path = (folder / "results.log").string();
    int status = 0;
    {
        const uint64_t lines = write_log(path, size);
        warm(path);
        const uint64_t bytes = fs::file_size(path);
        std::printf("log: %" PRIu64 " lines, %.2f GB\n", lines, gb(bytes));
        log_file file;
        if (!file.open(std::u16string(path.begin(), path.end()), 0, false) || file.line_count() != lines) {
            std::fprintf(stderr, "cannot open %s\n", path.c_str());
            return 1;
        }
        const log_pattern_list parser = six_columns();
        const std::string quoted = "'" + path + "'";
        std::printf("baseline for every core beside one thread: two spinning threads do %.2fx the work of one "
                    "per second in this run (2.00 with a second core free)\n",
                    two_thread_capacity());

        // 1. A word on 1 % of the lines.
        results_query word;
        word.search.expression = u"gruffalo";
        word.search.case_sensitive = true;
        const timed_results found = time_results(file, parser, word, 3);
        long grep_count = 0;
        const double grep = time_command("LC_ALL=C grep -c gruffalo " + quoted, grep_count, 3);
        std::printf("find all 'gruffalo': %" PRIu64 " results in %.3f s (%.2f GB/s), first results after %.1f ms\n",
                    found.count, found.seconds, gb(bytes) / found.seconds, found.first_results * 1000);
        std::printf("  baseline grep -c (count %ld): %.3f s; ratio find all/grep time %.2f\n", grep_count, grep,
                    found.seconds / grep);
        const timed_results found_one = time_results(file, parser, word, 3, 1);
        std::printf("  on one thread: %.3f s; ratio one thread/grep time %.2f; every core %.2fx one thread "
                    "(processor time %.3f s on every core, %.3f s on one)\n",
                    found_one.seconds, found_one.seconds / grep, found_one.seconds / found.seconds, found.processor,
                    found_one.processor);
        if (static_cast<long>(found.count) != grep_count) {
            std::printf("  COUNT DIFFERS from grep's\n");
            status = 1;
        }

        // 2. A regular expression with a required literal.
        results_query slow;
        slow.search.expression = u"took 1\\d{4} ms";
        slow.search.regexp = true;
        slow.search.case_sensitive = true;
        const timed_results took = time_results(file, parser, slow, 3);
        long grep_took = 0;
        const double grep_e = time_command("LC_ALL=C grep -cE 'took 1[0-9]{4} ms' " + quoted, grep_took, 3);
        std::printf("find all 'took 1\\d{4} ms': %" PRIu64 " results in %.3f s (%.2f GB/s)\n", took.count, took.seconds,
                    gb(bytes) / took.seconds);
        std::printf("  baseline grep -cE (count %ld): %.3f s; ratio find all/grep time %.2f\n", grep_took, grep_e,
                    took.seconds / grep_e);
        const timed_results took_one = time_results(file, parser, slow, 3, 1);
        std::printf("  on one thread: %.3f s; ratio one thread/grep time %.2f; every core %.2fx one thread "
                    "(processor time %.3f s on every core, %.3f s on one)\n",
                    took_one.seconds, took_one.seconds / grep_e, took_one.seconds / took.seconds, took.processor,
                    took_one.processor);
        if (static_cast<long>(took.count) != grep_took) {
            std::printf("  COUNT DIFFERS from grep's\n");
            status = 1;
        }

        // 3. Filter whole file: a date-time range and a level.
        results_query typed;
        typed.what = results_query::kind::filter;
        log_filter from;
        from.SetColumn(u"Time");
        from.SetType(FILTER_TYPE_GREATER_EQUAL);
        from.SetContent(u"2024-08-06 00:00:00.000");
        typed.groups.AddCondition(from);
        log_filter to;
        to.SetColumn(u"Time");
        to.SetType(FILTER_TYPE_LESS);
        to.SetContent(u"2024-08-08 00:00:00.000");
        typed.groups.AddCondition(to);
        log_filter level;
        level.SetColumn(u"Level");
        level.SetType(FILTER_TYPE_EQUAL);
        level.SetContent(u"ERROR");
        level.SetCaseSensitive(true);
        typed.groups.AddCondition(level);
        const timed_results filtered = time_results(file, parser, typed, 1);
        long awk_count = 0;
        const double awk = time_command("LC_ALL=C awk '{t=$1\" \"$2} t>=\"2024-08-06 00:00:00.000\" && "
                                        "t<\"2024-08-08 00:00:00.000\" && $3==\"[ERROR]\"{c++} END{print c+0}' "
                                            + quoted,
                                        awk_count, 1);
        std::printf("filter whole file (time range and level): %" PRIu64 " results in %.3f s (%.0f MB/s)\n",
                    filtered.count, filtered.seconds, static_cast<double>(bytes) / 1e6 / filtered.seconds);
        std::printf("  baseline awk (count %ld): %.3f s; ratio filter/awk time %.2f\n", awk_count, awk,
                    filtered.seconds / awk);
        const timed_results filtered_one = time_results(file, parser, typed, 1, 1);
        std::printf("  on one thread: %.3f s (%.0f MB/s); ratio one thread/awk time %.2f; every core %.2fx one "
                    "thread (processor time %.3f s on every core, %.3f s on one)\n",
                    filtered_one.seconds, static_cast<double>(bytes) / 1e6 / filtered_one.seconds,
                    filtered_one.seconds / awk, filtered_one.seconds / filtered.seconds, filtered.processor,
                    filtered_one.processor);
        if (filtered_one.count != filtered.count) {
            std::printf("  COUNT DIFFERS on one thread\n");
            status = 1;
        }
        if (static_cast<long>(filtered.count) != awk_count) {
            std::printf("  COUNT DIFFERS from awk's\n");
            status = 1;
        }

        // 4. Memory of the list for a word on one line in ten.
        results_query many;
        many.search.expression = u"Request";
        many.search.case_sensitive = true;
        const timed_results lots = time_results(file, parser, many, 1);
        std::printf("find all 'Request': %" PRIu64 " results, list %.1f MB (%.2f bytes a result)\n", lots.count,
                    static_cast<double>(lots.memory) / 1e6,
                    lots.count ? static_cast<double>(lots.memory) / static_cast<double>(lots.count) : 0.0);
    }
    fs::remove_all(folder);
    return status;
}
