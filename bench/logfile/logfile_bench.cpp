// logfile_bench <size>: indexing speed and index memory on a synthetic log.
//
// Writes a deterministic log of about <size> bytes (suffixes K, M, G) into a
// fresh temporary folder, reads it once so that it is page-cached, and prints
// each figure beside a baseline measured in the same run on the same file:
// forward and backward indexing against `wc -l`, a tail-first open of 100000
// lines, index bytes a line (beside the flat index of 8-byte slots, also for
// files of 40, 85 and 300-byte lines), a line's offset lookup at random
// lines beside the flat index and a plain array, a reader view's lock beside
// one under a mutex and a condition, the encoding guess over the
// first 4 MB beside a count of their line ends, the open of the same log
// packed with gzip beside `zcat | wc -l`, and the peak resident memory.  The folder is
// removed at the end.
#include "bench_support.h"
#include "logfile/content_sniff.h"
#include "logfile/line_index_flat.h"
#include "logfile/line_scan.h"
#include "logfile/log_file.h"

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <random>
#include <string>
#include <sys/resource.h>
#include <time.h>
#include <vector>

namespace {

// Writes lines made by next_line (which appends one line, its end included,
// to the buffer) until the file holds at least size bytes; returns the lines.
template <class Next> uint64_t write_lines(const std::string& path, uint64_t size, Next next_line)
{
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (!out)
        return 0;
    std::string buffer;
    buffer.reserve(2 << 20);
    uint64_t written = 0;
    uint64_t lines = 0;
    while (written < size) {
        const std::size_t before = buffer.size();
        next_line(lines, buffer);
        written += buffer.size() - before;
        ++lines;
        if (buffer.size() >= (1u << 20)) {
            std::fwrite(buffer.data(), 1, buffer.size(), out);
            buffer.clear();
        }
    }
    std::fwrite(buffer.data(), 1, buffer.size(), out);
    std::fclose(out);
    return lines;
}

uint64_t write_log(const std::string& path, uint64_t size)
{
    static const char* const levels[] = {"INFO ", "DEBUG", "WARN ", "ERROR"};
    xorshift g; // the same file every run
    int64_t ms = 0;
    return write_lines(path, size, [&](uint64_t, std::string& buffer) {
        char line[160];
        ms += static_cast<int64_t>(g.next() % 50);
        const int64_t s = ms / 1000;
        const int n = std::snprintf(
            line, sizeof line,
            "2024-08-05 %02d:%02d:%02d.%03d [%s] [worker-%d] Request %u from 10.0.%u.%u took %u ms\n",
            static_cast<int>((13 + s / 3600) % 24), static_cast<int>((s / 60) % 60), static_cast<int>(s % 60),
            static_cast<int>(ms % 1000), levels[g.next() % 4], static_cast<int>(g.next() % 8),
            static_cast<unsigned>(g.next() % 100000), static_cast<unsigned>(g.next() % 256),
            static_cast<unsigned>(g.next() % 256), static_cast<unsigned>(g.next() % 5000));
        buffer.append(line, static_cast<std::size_t>(n));
    });
}

// Seconds taken by `wc -l` over the file (best of three).
// CPU seconds of this thread, and of the finished children (user and system).
double thread_cpu_seconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double children_cpu_seconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    auto seconds = [](const timeval& v) {
        return static_cast<double>(v.tv_sec) + static_cast<double>(v.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Seconds taken by `wc -l` over the file (best of three), and its CPU seconds.
double time_wc(const std::string& path, double& cpu)
{
    double best = 1e9;
    cpu = 1e9;
    const std::string command = "wc -l '" + path + "' > /dev/null";
    for (int i = 0; i < 3; ++i) {
        const double cpu_before = children_cpu_seconds();
        const auto start = clock_type::now();
        if (std::system(command.c_str()) != 0)
            return -1;
        best = std::min(best, seconds_since(start));
        cpu = std::min(cpu, children_cpu_seconds() - cpu_before);
    }
    return best;
}

long peak_rss_kib()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

uint64_t index_bytes(log_file& file)
{
    return file.read_index().memory_bytes();
}

// A file of lines of exactly line_bytes bytes, line end included: digits,
// words and a counter, like a log's.
uint64_t write_fixed_lines(const std::string& path, uint64_t size, std::size_t line_bytes)
{
    xorshift g; // the same file every run
    return write_lines(path, size, [&](uint64_t number, std::string& buffer) {
        std::string line = std::to_string(number) + " event " + std::to_string(g.next() % 1000000) + " ";
        while (line.size() + 1 < line_bytes)
            line.push_back(static_cast<char>('a' + g.next() % 26));
        line.resize(line_bytes - 1);
        line.push_back('\n');
        buffer += line;
    });
}

// The flat index holding the same lines as the file's index.
void fill_flat(log_file& file, flat_line_index& flat)
{
    const line_index::reader index = file.read_index();
    flat_line_index::writer out = flat.write();
    line_cursor cursor;
    if (!index.locate(0, cursor))
        return;
    do {
        int64_t offset;
        uint64_t length;
        index.line_at(cursor, offset, length);
        out.add_line(offset, length, true);
    } while (index.advance(cursor));
}

// The reader/writer lock as it was: a reader count and a flag under one
// mutex with a condition, for the cost of taking and leaving a reader view
// beside today's lock.
class mutex_read_write_lock {
public:
    void read_lock()
    {
        std::unique_lock<std::mutex> hold(m_mutex);
        m_changed.wait(hold, [this] { return !m_writer; });
        ++m_readers;
    }
    void read_unlock()
    {
        std::lock_guard<std::mutex> guard(m_mutex);
        if (m_readers > 0 && --m_readers == 0)
            m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    uint64_t m_readers = 0;
    bool m_writer = false;
};

// Nanoseconds of one shared take and leave of lock (best of five runs of a
// million, thread CPU time).
template <class Lock> double read_hold_ns(Lock& lock)
{
    constexpr int kHolds = 1'000'000;
    double best = 1e18;
    for (int run = 0; run < 5; ++run) {
        const double start = thread_cpu_seconds();
        for (int i = 0; i < kHolds; ++i) {
            lock.read_lock();
            lock.read_unlock();
        }
        best = std::min(best, (thread_cpu_seconds() - start) * 1e9 / kHolds);
    }
    return best;
}

// Average nanoseconds of look(n) over count random line numbers below lines
// (best of three); the offsets are summed into sink so nothing is skipped.
// cpu_ns receives the same in thread CPU time.
template <class Look> double lookup_ns(uint64_t lines, int count, Look look, int64_t& sink, double& cpu_ns)
{
    double best = 1e18;
    cpu_ns = 1e18;
    for (int run = 0; run < 3; ++run) {
        std::mt19937_64 rng(42);
        std::vector<uint64_t> numbers(static_cast<std::size_t>(count));
        for (uint64_t& n : numbers)
            n = rng() % lines;
        const double cpu_start = thread_cpu_seconds();
        const auto start = clock_type::now();
        for (uint64_t n : numbers)
            sink += look(n);
        best = std::min(best, seconds_since(start) * 1e9 / count);
        cpu_ns = std::min(cpu_ns, (thread_cpu_seconds() - cpu_start) * 1e9 / count);
    }
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    const uint64_t size = argc > 1 ? parse_size(argv[1]) : 0;
    if (size == 0) {
        std::fprintf(stderr, "usage: logfile_bench <size>   (for example 1G, 200M)\n");
        return 2;
    }
    namespace fs = std::filesystem;
    std::string pattern = (fs::temp_directory_path() / "varnoth-bench-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path folder(pattern);
    const std::string path = (folder / "synthetic.log").string();
    const std::u16string wide_path(path.begin(), path.end());

    std::printf("line scan: %s\n", line_scan_kind());
    const uint64_t lines = write_log(path, size);
    const auto bytes = static_cast<double>(fs::file_size(path));
    std::printf("file: %.0f MB, %" PRIu64 " lines (%.1f bytes a line)\n", bytes / 1e6, lines,
                bytes / static_cast<double>(lines));

    double wc_cpu = 0;
    const double wc = time_wc(path, wc_cpu); // also warms the page cache
    const double wc_rate = bytes / wc / 1e9;
    std::printf("baseline wc -l: %.3f s = %.2f GB/s (CPU %.3f s)\n", wc, wc_rate, wc_cpu);

    int status = 0;
    uint64_t tail_bytes = 0;
    {
        // Best of three, like the baseline: the machine may be shared.
        double best = 1e9;
        double best_cpu = 1e9;
        bool ok = true;
        uint64_t count = 0;
        double per_line = 0;
        for (int run = 0; run < 3; ++run) {
            log_file file;
            const double cpu_start = thread_cpu_seconds();
            const auto start = clock_type::now();
            ok = file.open(wide_path, 0, false) && ok;
            best = std::min(best, seconds_since(start));
            best_cpu = std::min(best_cpu, thread_cpu_seconds() - cpu_start);
            count = file.line_count();
            per_line = static_cast<double>(index_bytes(file)) / static_cast<double>(count);
        }
        std::printf("forward index:  %.3f s = %.2f GB/s (%.0f%% of wc -l; target >= 90%%), %" PRIu64 " lines%s\n", best,
                    bytes / best / 1e9, 100.0 * (bytes / best / 1e9) / wc_rate, count,
                    ok && count == lines ? "" : "  WRONG COUNT");
        if (!ok || count != lines)
            status = 1;
        std::printf("forward index CPU: %.3f s (wc -l CPU: %.3f s = %.0f%%)\n", best_cpu, wc_cpu,
                    100.0 * wc_cpu / best_cpu);

        log_file file;
        file.open(wide_path, 0, false);
        flat_line_index flat;
        fill_flat(file, flat);
        {
            // Adding the same lines to each index alone, without the scan.
            std::vector<line_span> spans;
            spans.reserve(count);
            {
                const line_index::reader index = file.read_index();
                line_cursor cursor;
                if (index.locate(0, cursor)) {
                    do {
                        line_span span{};
                        index.line_at(cursor, span.offset, span.length);
                        spans.push_back(span);
                    } while (index.advance(cursor));
                }
            }
            double compact_add = 1e9;
            double flat_add = 1e9;
            for (int run = 0; run < 3; ++run) {
                line_index compact;
                double t = thread_cpu_seconds();
                for (std::size_t i = 0; i < spans.size(); i += 4096)
                    compact.write().add_lines(spans.data() + i, std::min<std::size_t>(4096, spans.size() - i), true);
                compact_add = std::min(compact_add, thread_cpu_seconds() - t);
                flat_line_index plain;
                t = thread_cpu_seconds();
                for (std::size_t i = 0; i < spans.size(); i += 4096) {
                    flat_line_index::writer out = plain.write();
                    for (std::size_t k = i; k < std::min(spans.size(), i + 4096); ++k)
                        out.add_line(spans[k].offset, spans[k].length, true);
                }
                flat_add = std::min(flat_add, thread_cpu_seconds() - t);
            }
            std::printf("adding the lines alone (CPU): compact %.1f ns a line, flat %.1f ns a line\n",
                        compact_add * 1e9 / static_cast<double>(spans.size()),
                        flat_add * 1e9 / static_cast<double>(spans.size()));
        }
        const double flat_per_line =
            static_cast<double>(flat.read().memory_bytes()) / static_cast<double>(std::max<uint64_t>(count, 1));
        std::printf("index memory:   %.3f bytes a line (target <= 1.5; flat index of 8-byte slots: %.3f = %.1fx)\n",
                    per_line, flat_per_line, flat_per_line / per_line);

        // A line's offset at random line numbers, through each index's own
        // lookup by number.
        int64_t sink = 0;
        double compact_cpu = 0;
        double compact_held_cpu = 0;
        double flat_cpu = 0;
        const double compact_ns = lookup_ns(
            count, 2'000'000,
            [&](uint64_t n) {
                const line_index::reader index = file.read_index();
                int64_t offset;
                uint64_t length;
                index.line(n, offset, length);
                return offset;
            },
            sink, compact_cpu);
        const line_index::reader held = file.read_index();
        const double compact_held_ns = lookup_ns(
            count, 2'000'000,
            [&](uint64_t n) {
                int64_t offset;
                uint64_t length;
                held.line(n, offset, length);
                return offset;
            },
            sink, compact_held_cpu);
        const flat_line_index::reader flat_view = flat.read();
        const double flat_ns = lookup_ns(
            count, count > 1'000'000 ? 20'000 : 200'000,
            [&](uint64_t n) {
                int64_t offset;
                uint64_t length;
                flat_view.line(n, offset, length);
                return offset;
            },
            sink, flat_cpu);
        // The floor: one read of a plain array of every line's offset.
        std::vector<int64_t> offsets;
        offsets.reserve(count);
        {
            line_cursor cursor;
            if (held.locate(0, cursor)) {
                do {
                    int64_t offset;
                    uint64_t length;
                    held.line_at(cursor, offset, length);
                    offsets.push_back(offset);
                } while (held.advance(cursor));
            }
        }
        double array_cpu = 0;
        const double array_ns = lookup_ns(
            offsets.size(), 2'000'000, [&](uint64_t n) { return offsets[n]; }, sink, array_cpu);
        std::printf("offset lookup at random lines: %.1f ns (%.1f ns with the view held; target <= 30 ns); flat index: "
                    "%.1f ns (%.1fx the compact one); a plain array of 8-byte offsets: %.1f ns [%" PRId64 "]\n",
                    compact_ns, compact_held_ns, flat_ns, flat_ns / compact_held_ns, array_ns, sink % 10);
        std::printf("  the same in thread CPU time: %.1f ns, %.1f ns held; flat index %.1f ns (%.1fx)\n", compact_cpu,
                    compact_held_cpu, flat_cpu, flat_cpu / compact_held_cpu);
        read_wirte_lock lock;
        mutex_read_write_lock old_lock;
        const double lock_ns = read_hold_ns(lock);
        const double old_lock_ns = read_hold_ns(old_lock);
        std::printf("  taking and leaving a reader view's lock (CPU): %.1f ns (under a mutex and a condition: %.1f ns)\n",
                    lock_ns, old_lock_ns);
    }
    {
        // Bytes a line for lines of fixed lengths, beside the flat index.
        const uint64_t fixed_size = std::min<uint64_t>(size, 256ull << 20);
        for (std::size_t line_bytes : {40u, 85u, 300u}) {
            const std::string fixed_path = (folder / ("fixed-" + std::to_string(line_bytes) + ".log")).string();
            const uint64_t fixed_lines = write_fixed_lines(fixed_path, fixed_size, line_bytes);
            log_file file;
            file.open(std::u16string(fixed_path.begin(), fixed_path.end()), 0, false);
            flat_line_index flat;
            fill_flat(file, flat);
            const double lines_read = static_cast<double>(std::max<uint64_t>(file.line_count(), 1));
            std::printf("lines of %3zu bytes: %.3f bytes a line (flat index: %.3f), %" PRIu64 " lines%s\n", line_bytes,
                        static_cast<double>(index_bytes(file)) / lines_read,
                        static_cast<double>(flat.read().memory_bytes()) / lines_read, file.line_count(),
                        file.line_count() == fixed_lines ? "" : "  WRONG COUNT");
            if (file.line_count() != fixed_lines)
                status = 1;
            std::error_code ignored;
            fs::remove(fixed_path, ignored);
        }
    }
    {
        // Baseline: wc -l over the same bytes (the last 100000 lines) read from
        // the same page-cached file.
        double best = 1e9;
        bool ok = true;
        uint64_t count = 0;
        for (int run = 0; run < 3; ++run) {
            log_file file;
            const auto start = clock_type::now();
            ok = file.open(wide_path, 100000, true) && ok;
            best = std::min(best, seconds_since(start));
            count = file.line_count();
            if (run == 0) {
                const line_index::reader index = file.read_index();
                line_cursor cursor;
                if (index.locate(0, cursor)) {
                    int64_t offset;
                    uint64_t length;
                    index.line_at(cursor, offset, length);
                    tail_bytes = static_cast<uint64_t>(bytes) - static_cast<uint64_t>(offset);
                }
            }
        }
        const std::string command = "tail -c " + std::to_string(tail_bytes) + " '" + path + "' | wc -l > /dev/null";
        double wc_tail = 1e9;
        for (int run = 0; run < 3; ++run) {
            const auto start = clock_type::now();
            if (std::system(command.c_str()) != 0)
                break;
            wc_tail = std::min(wc_tail, seconds_since(start));
        }
        std::printf("tail-first open of 100000 lines: %.1f ms (target < 30 ms; tail -c | wc -l over the same %.1f MB: "
                    "%.1f ms), %" PRIu64 " lines%s\n",
                    best * 1000, static_cast<double>(tail_bytes) / 1e6, wc_tail * 1000, count,
                    ok && count == 100000 ? "" : "  WRONG COUNT");
        if (!ok || count != 100000)
            status = 1;
    }
    {
        // The encoding guess at every open reads the first 4 MB once; beside
        // it, a count of line ends over the same bytes.
        std::string head(kSniffBytes, '\0');
        if (FILE* f = std::fopen(path.c_str(), "rb")) {
            head.resize(std::fread(head.data(), 1, head.size(), f));
            std::fclose(f);
        }
        double sniff = 1e9;
        double count_ends = 1e9;
        int32_t guessed = 0;
        std::size_t ends = 0;
        for (int run = 0; run < 5; ++run) {
            auto start = clock_type::now();
            guessed = SniffContent(head).encoding;
            sniff = std::min(sniff, seconds_since(start));
            start = clock_type::now();
            ends = static_cast<std::size_t>(std::count(head.begin(), head.end(), '\n'));
            count_ends = std::min(count_ends, seconds_since(start));
        }
        std::printf("encoding guess over the first %.1f MB: %.2f ms (counting their %zu line ends: %.2f ms), "
                    "encoding %d\n",
                    static_cast<double>(head.size()) / 1e6, sniff * 1000, ends, count_ends * 1000,
                    static_cast<int>(guessed));
    }
    {
        double best = 1e9;
        bool ok = true;
        uint64_t count = 0;
        for (int run = 0; run < 3; ++run) {
            log_file file;
            const auto start = clock_type::now();
            ok = file.open(wide_path, 0, true) && ok;
            best = std::min(best, seconds_since(start));
            count = file.line_count();
        }
        std::printf("backward index: %.3f s = %.2f GB/s (%.0f%% of wc -l; target >= 33%%), %" PRIu64 " lines%s\n", best,
                    bytes / best / 1e9, 100.0 * (bytes / best / 1e9) / wc_rate, count,
                    ok && count == lines ? "" : "  WRONG COUNT");
        if (!ok || count != lines)
            status = 1;
    }
    {
        // The background thread's way: passes of 10000 lines.
        log_file file;
        file.open(wide_path, 100000, false);
        const auto start = clock_type::now();
        while (file.index_more() > 0) {}
        const double t = seconds_since(start);
        std::printf("index thread passes (forward, 10000 lines each): %.3f s = %.2f GB/s\n", t, bytes / t / 1e9);
    }
    {
        // The same log packed with gzip: its first rows, and the whole file
        // decoded and indexed, beside `zcat FILE | wc -l`.
        const std::string packed_path = path + ".gz";
        const std::string cache = (folder / "cache").string();
        setenv("VARNOTH_CACHE_DIR", cache.c_str(), 1);
        if (std::system(("gzip -1 -c '" + path + "' > '" + packed_path + "'").c_str()) == 0) {
            double zcat = 1e9;
            const std::string command = "zcat '" + packed_path + "' | wc -l > /dev/null";
            for (int run = 0; run < 2; ++run) {
                const auto start = clock_type::now();
                if (std::system(command.c_str()) != 0)
                    zcat = -1;
                zcat = std::min(zcat, seconds_since(start));
            }
            log_file file;
            const auto start = clock_type::now();
            const bool ok = file.open(std::u16string(packed_path.begin(), packed_path.end()), 100000, false);
            const double first = seconds_since(start);
            while (file.index_more() > 0) {}
            const double whole = seconds_since(start);
            const uint64_t count = file.line_count();
            std::printf("gzip open (%.0f MB packed): first %" PRIu64 " rows in %.3f s (target <= 0.3 s); whole file "
                        "indexed in %.3f s; zcat | wc -l: %.3f s (%.2fx; target <= 1.2x), %" PRIu64 " lines%s\n",
                        static_cast<double>(fs::file_size(packed_path)) / 1e6, std::min<uint64_t>(count, 100000), first,
                        whole, zcat, whole / zcat, count, ok && count == lines ? "" : "  WRONG COUNT");
            if (!ok || count != lines)
                status = 1;
        }
    }
    std::printf("peak resident memory: %.1f MB (a flat index of %" PRIu64 " lines at 8 bytes = %.1f MB)\n",
                static_cast<double>(peak_rss_kib()) / 1024.0, lines, static_cast<double>(lines) * 8.0 / 1048576.0);

    std::error_code ignored;
    fs::remove_all(folder, ignored);
    return status;
}
