// Compressed logs: the packing told by the first bytes, the decoder against
// the bytes that were packed (members and frames fed in pieces of any size,
// cut, damaged and followed by other bytes), the plain copy in the cache
// folder (growing with an appended member, a rewritten source, the sweep of
// copies left by a process that is gone), and packed files opened as logs.
#include "index_helpers.h"
#include "logfile/content_sniff.h"
#include "logfile/log_file.h"
#include "logfile/unpack.h"
#include "platform/files.h"
#include "support/bounded_wait.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <zlib.h>
#include <zstd.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string gzip_member(const std::string& text, int level)
{
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&z, static_cast<uLong>(text.size())) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
    z.avail_in = static_cast<uInt>(text.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// A frame with its content checksum, so that damage is always found.
std::string zstd_frame(const std::string& text, int level)
{
    ZSTD_CCtx* cctx = ZSTD_createCCtx();
    ZSTD_CCtx_setParameter(cctx, ZSTD_c_compressionLevel, level);
    ZSTD_CCtx_setParameter(cctx, ZSTD_c_checksumFlag, 1);
    std::string out(ZSTD_compressBound(text.size()), '\0');
    const std::size_t n = ZSTD_compress2(cctx, out.data(), out.size(), text.data(), text.size());
    EXPECT_FALSE(ZSTD_isError(n));
    out.resize(n);
    ZSTD_freeCCtx(cctx);
    return out;
}

// A skippable frame: magic 184D2A5x, a 32-bit size, that many bytes.
std::string zstd_skippable(std::size_t size)
{
    std::string out = "\x50\x2A\x4D\x18";
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((size >> (8 * i)) & 0xFF));
    out.append(size, 'S');
    return out;
}

// Log-like text with every kind of line end, control and high bytes, and
// now and then a run longer than the decoder's output chunk.
std::string random_text(std::mt19937_64& rng, std::size_t lines)
{
    static const char* const ends[] = {"\n", "\r\n", "\r", "\n\r", ""};
    std::string out;
    for (std::size_t i = 0; i < lines; ++i) {
        const std::size_t length = rng() % 200 == 0 ? 256 * 1024 + rng() % 5000 : rng() % 120;
        const bool noise = rng() % 10 == 0;
        for (std::size_t k = 0; k < length; ++k)
            out.push_back(noise ? static_cast<char>(rng()) : static_cast<char>('a' + (i + k) % 26));
        out += ends[rng() % std::size(ends)];
    }
    return out;
}

struct packed_sample {
    std::string text;              // what the stream decodes to
    std::string packed;            // the stream
    std::vector<std::size_t> ends; // where each member or frame ends in packed
};

packed_sample random_sample(std::mt19937_64& rng, packing kind, int members)
{
    packed_sample sample;
    for (int m = 0; m < members; ++m) {
        const std::string part = random_text(rng, rng() % 3 == 0 ? 0 : 1 + rng() % 800);
        if (kind == packing::zstd && rng() % 4 == 0) {
            sample.packed += zstd_skippable(rng() % 40);
            sample.ends.push_back(sample.packed.size());
        }
        sample.packed += kind == packing::gzip ? gzip_member(part, static_cast<int>(rng() % 10))
                                               : zstd_frame(part, 1 + static_cast<int>(rng() % 5));
        sample.text += part;
        sample.ends.push_back(sample.packed.size());
    }
    return sample;
}

// Feeds packed in random pieces (single bytes among them).
std::string feed_in_pieces(unpack_stream& stream, const std::string& packed, std::mt19937_64& rng)
{
    std::string out;
    std::size_t at = 0;
    while (at < packed.size()) {
        const std::size_t piece = rng() % 3 == 0 ? 1 + rng() % 3 : 1 + rng() % 70000;
        const std::size_t n = std::min(piece, packed.size() - at);
        EXPECT_TRUE(stream.feed(std::string_view(packed).substr(at, n), out));
        at += n;
    }
    return out;
}

std::string read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool exists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

} // namespace

TEST(logfile_Unpack, PackingIsToldByTheFirstBytesOnly)
{
    const struct {
        std::string head;
        packing expected;
    } rows[] = {
        {"\x1F\x8B\x08\x00", packing::gzip},
        {"\x1F\x8B\x08", packing::gzip},
        {"\x1F\x8B", packing::none},         // too short to tell
        {"\x1F\x8B\x07\x00", packing::none}, // not deflate
        {"\x28\xB5\x2F\xFD\x00", packing::zstd},
        {"\x28\xB5\x2F", packing::none},
        {"\x50\x2A\x4D\x18", packing::zstd}, // a skippable frame first
        {"\x5F\x2A\x4D\x18", packing::zstd},
        {"\x60\x2A\x4D\x18", packing::none},
        {"\x50\x2A\x4D", packing::none},
        {"2026-01-01 plain text.gz\n", packing::none},
        {"", packing::none},
    };
    for (const auto& row : rows)
        EXPECT_EQ(sniff_packing(row.head), row.expected) << testing::PrintToString(row.head);
    EXPECT_STREQ(packing_name(packing::gzip), "gzip");
    EXPECT_STREQ(packing_name(packing::zstd), "zstd");
    EXPECT_STREQ(packing_name(packing::none), "");
}

TEST(logfile_Unpack, MembersAndFramesFedInAnyPiecesDecodeToWhatWasPacked)
{
    std::mt19937_64 rng(26);
    for (int round = 0; round < 16; ++round) {
        const packing kind = round % 2 ? packing::zstd : packing::gzip;
        const packed_sample sample = random_sample(rng, kind, 1 + round % 4);
        unpack_stream stream(kind);
        const std::string out = feed_in_pieces(stream, sample.packed, rng);
        SCOPED_TRACE("round " + std::to_string(round));
        ASSERT_EQ(out.size(), sample.text.size());
        EXPECT_TRUE(out == sample.text);
        EXPECT_EQ(stream.state(), unpack_state::complete);
        EXPECT_EQ(stream.packed_used(), sample.packed.size());
    }
}

TEST(logfile_Unpack, EmptyStreamsDecodeToNothingAndAreComplete)
{
    for (packing kind : {packing::gzip, packing::zstd}) {
        const std::string packed = kind == packing::gzip ? gzip_member("", 6) : zstd_frame("", 3);
        ASSERT_EQ(sniff_packing(packed), kind);
        unpack_stream stream(kind);
        std::string out;
        EXPECT_TRUE(stream.feed(packed, out));
        EXPECT_TRUE(out.empty());
        EXPECT_EQ(stream.state(), unpack_state::complete) << packing_name(kind);
    }
}

TEST(logfile_Unpack, CutStreamKeepsWhatCameBeforeTheCutAndWaitsForMore)
{
    std::mt19937_64 rng(5);
    for (int round = 0; round < 24; ++round) {
        const packing kind = round % 2 ? packing::zstd : packing::gzip;
        const packed_sample sample = random_sample(rng, kind, 1 + round % 3);
        // Cuts at member ends, one byte either side of them, and anywhere.
        std::size_t cut = rng() % (sample.packed.size() + 1);
        if (round % 3 == 0) {
            const std::size_t end = sample.ends[rng() % sample.ends.size()];
            cut = std::min(sample.packed.size(), end + rng() % 3 - std::min<std::size_t>(end, 1));
        }
        unpack_stream stream(kind);
        const std::string out = feed_in_pieces(stream, sample.packed.substr(0, cut), rng);
        SCOPED_TRACE("round " + std::to_string(round) + " cut " + std::to_string(cut));
        ASSERT_LE(out.size(), sample.text.size());
        EXPECT_TRUE(sample.text.compare(0, out.size(), out) == 0) << "not a prefix";
        const bool at_end =
            cut == 0 ? false : std::find(sample.ends.begin(), sample.ends.end(), cut) != sample.ends.end();
        EXPECT_EQ(stream.state(), at_end ? unpack_state::complete : unpack_state::more);
        // The rest makes it whole.
        std::string rest;
        EXPECT_TRUE(stream.feed(std::string_view(sample.packed).substr(cut), rest));
        EXPECT_TRUE(out + rest == sample.text);
        EXPECT_EQ(stream.state(), unpack_state::complete);
    }
}

TEST(logfile_Unpack, BytesAfterTheLastMemberAreIgnoredAndNoted)
{
    std::mt19937_64 rng(11);
    for (int round = 0; round < 8; ++round) {
        const packing kind = round % 2 ? packing::zstd : packing::gzip;
        const packed_sample sample = random_sample(rng, kind, 1 + round % 2);
        std::string garbage = "GARBAGE";
        for (std::size_t i = rng() % 300; i > 0; --i)
            garbage.push_back(static_cast<char>(rng()));
        unpack_stream stream(kind);
        const std::string out = feed_in_pieces(stream, sample.packed + garbage, rng);
        EXPECT_TRUE(out == sample.text) << "round " << round;
        EXPECT_EQ(stream.state(), unpack_state::trailing) << "round " << round;
        EXPECT_EQ(stream.packed_used(), sample.packed.size()) << "round " << round;
    }
}

TEST(logfile_Unpack, ShortTailsAfterTheLastMemberAreToldApart)
{
    // A byte or three after the end: the start of another member waits for
    // more, anything else is trailing at once.
    const struct {
        packing kind;
        std::string tail;
        unpack_state expected;
    } rows[] = {
        {packing::gzip, "\n", unpack_state::trailing},
        {packing::gzip, "\x1F", unpack_state::more},
        {packing::gzip, "\x1F\x8B", unpack_state::more},
        {packing::gzip, "\x1F\n", unpack_state::trailing},
        {packing::zstd, "\n", unpack_state::trailing},
        {packing::zstd, "\x28", unpack_state::more},
        {packing::zstd, "\x28\xB5\x2F", unpack_state::more},
        {packing::zstd, "\x28\xB5\n", unpack_state::trailing},
        {packing::zstd, "\x5A\x2A", unpack_state::more},
        {packing::zstd, std::string(4, '\0'), unpack_state::trailing},
        {packing::gzip, std::string(1, '\0'), unpack_state::trailing},
    };
    for (const auto& row : rows) {
        const std::string text = numbered_lines(50);
        const std::string packed = row.kind == packing::gzip ? gzip_member(text, 6) : zstd_frame(text, 3);
        for (bool apart : {false, true}) {
            unpack_stream stream(row.kind);
            std::string out;
            if (apart) {
                EXPECT_TRUE(stream.feed(packed, out));
                EXPECT_EQ(stream.state(), unpack_state::complete);
                EXPECT_TRUE(stream.feed(row.tail, out));
            } else {
                EXPECT_TRUE(stream.feed(packed + row.tail, out));
            }
            EXPECT_TRUE(out == text);
            EXPECT_EQ(stream.state(), row.expected)
                << packing_name(row.kind) << " " << testing::PrintToString(row.tail);
        }
    }
}

TEST(logfile_Unpack, DamageIsNeverReportedAsAWholeStream)
{
    std::mt19937_64 rng(17);
    for (int round = 0; round < 40; ++round) {
        const packing kind = round % 2 ? packing::zstd : packing::gzip;
        const packed_sample sample = random_sample(rng, kind, 1);
        std::string packed = sample.packed;
        // Past gzip's header fields that no check covers (time, flags, system).
        const std::size_t from = kind == packing::gzip ? 10 : 0;
        if (packed.size() <= from)
            continue;
        const std::size_t at = from + rng() % (packed.size() - from);
        packed[at] = static_cast<char>(packed[at] ^ (1 + rng() % 255));
        unpack_stream stream(kind);
        const std::string out = feed_in_pieces(stream, packed, rng);
        SCOPED_TRACE("round " + std::to_string(round) + " at " + std::to_string(at));
        if (kind == packing::gzip) {
            EXPECT_EQ(stream.state(), unpack_state::damaged);
        }
        // Whatever was changed, a stream said to be whole decodes to its text.
        if (stream.state() == unpack_state::complete) {
            EXPECT_TRUE(out == sample.text);
        }
        // Nothing is taken once the fault is found.
        if (stream.state() == unpack_state::damaged) {
            std::string more;
            EXPECT_TRUE(stream.feed(sample.packed, more));
            EXPECT_TRUE(more.empty());
        }
    }
}

class logfile_UnpackedCopy : public ::testing::Test {
protected:
    std::string cache() const { return folder.path() + "/cache"; }
    std::string copies() const { return folder.path() + "/cache/unpacked"; }
    void SetUp() override
    {
        setenv("VARNOTH_CACHE_DIR", cache().c_str(), 1);
        ASSERT_EQ(unpacked_copy_folder(), copies());
    }
    void TearDown() override { unsetenv("VARNOTH_CACHE_DIR"); }
    temp_folder folder;
};

TEST_F(logfile_UnpackedCopy, CopyFolderIsPrivateToTheUser)
{
    struct stat st {};
    ASSERT_EQ(::stat(copies().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(cache().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(logfile_UnpackedCopy, CopyGrowsWithAnAppendedMemberInStepsOfAnySizeAndGoesWithItsOwner)
{
    std::mt19937_64 rng(3);
    for (packing kind : {packing::gzip, packing::zstd}) {
        const packed_sample first = random_sample(rng, kind, 2);
        const packed_sample second = random_sample(rng, kind, 1);
        const std::string path = folder.write(std::string("app.log.1.") + packing_name(kind), first.packed);
        std::string copy_path;
        {
            unpacked_copy copy;
            ASSERT_TRUE(copy.start(path, kind, copies()));
            copy_path = copy.path();
            EXPECT_EQ(copy_path.rfind(copies() + "/unpacked-", 0), 0u) << copy_path;
            // Budgets of one byte to several slices.
            for (;;) {
                const int64_t read = copy.packed_read();
                ASSERT_GE(copy.step(rng() % 2 ? 1 + rng() % 16 : 1 + rng() % 600000), 0);
                if (copy.packed_read() == read)
                    break;
            }
            EXPECT_EQ(copy.size(), static_cast<int64_t>(first.text.size()));
            EXPECT_TRUE(read_file(copy_path) == first.text);
            EXPECT_EQ(copy.note(), unpack_note::none);

            folder.append(path, second.packed);
            EXPECT_FALSE(copy.source_rewritten());
            ASSERT_GE(copy.step_to_end(), 0);
            EXPECT_TRUE(read_file(copy_path) == first.text + second.text);
            EXPECT_EQ(copy.packed_read(), static_cast<int64_t>(first.packed.size() + second.packed.size()));
            EXPECT_EQ(copy.note(), unpack_note::none);
        }
        EXPECT_FALSE(exists(copy_path)) << packing_name(kind);
    }
}

TEST_F(logfile_UnpackedCopy, CutDamagedAndTrailingFilesKeepTheirRowsWithANote)
{
    std::mt19937_64 rng(8);
    const packed_sample sample = random_sample(rng, packing::gzip, 2);
    const std::size_t cut = sample.ends[0] + (sample.ends[1] - sample.ends[0]) / 2;
    std::string damaged = sample.packed;
    damaged[sample.ends[0] + 12] = static_cast<char>(damaged[sample.ends[0] + 12] ^ 0x55);
    const struct {
        std::string bytes;
        unpack_note note;
    } rows[] = {
        {sample.packed.substr(0, cut), unpack_note::truncated},
        {damaged, unpack_note::damaged},
        {sample.packed + "\n\n\nnot packed", unpack_note::trailing},
        {sample.packed, unpack_note::none},
    };
    // The first member is whole in each of them.
    const std::string first_text = [&] {
        unpack_stream stream(packing::gzip);
        std::string out;
        stream.feed(sample.packed.substr(0, sample.ends[0]), out);
        return out;
    }();
    for (const auto& row : rows) {
        const std::string path = folder.write("f.gz", row.bytes);
        unpacked_copy copy;
        ASSERT_TRUE(copy.start(path, packing::gzip, copies()));
        ASSERT_GE(copy.step_to_end(), 0);
        EXPECT_EQ(copy.note(), row.note);
        const std::string text = read_file(copy.path());
        EXPECT_GE(text.size(), first_text.size());
        EXPECT_TRUE(text.compare(0, first_text.size(), first_text) == 0);
        EXPECT_EQ(copy.step(1 << 20), 0) << "a fault or the end adds nothing";
    }
}

TEST_F(logfile_UnpackedCopy, PlainFileNamedGzIsNoPackedFile)
{
    const std::string path = folder.write("syslog.2.gz", "Dec 10 08:00:00 host kernel: plain text\n");
    EXPECT_EQ(sniff_packing(read_file(path)), packing::none);
    unpacked_copy copy;
    EXPECT_FALSE(copy.start(path, packing::gzip, copies()));
    EXPECT_TRUE(ListFiles(widen(copies()), u"").empty());
    EXPECT_FALSE(copy.start(folder.path() + "/missing.gz", packing::gzip, copies()));
}

TEST_F(logfile_UnpackedCopy, RewrittenOrShortenedSourceIsNoticed)
{
    std::mt19937_64 rng(4);
    const packed_sample a = random_sample(rng, packing::gzip, 1);
    const std::string path = folder.write("r.gz", a.packed);
    unpacked_copy copy;
    ASSERT_TRUE(copy.start(path, packing::gzip, copies()));
    ASSERT_GE(copy.step_to_end(), 0);
    EXPECT_FALSE(copy.source_rewritten());
    // The same file (the copy keeps it open) refilled with a zstd stream,
    // then cut shorter than what was read.
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        const std::string other = zstd_frame(a.text + "more", 3);
        out.write(other.data(), static_cast<std::streamsize>(other.size()));
    }
    EXPECT_TRUE(copy.source_rewritten());
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
    }
    EXPECT_TRUE(copy.source_rewritten());
}

TEST_F(logfile_UnpackedCopy, SweepRemovesOnlyCopiesThatNoLivingCopyHolds)
{
    std::mt19937_64 rng(6);
    const packed_sample sample = random_sample(rng, packing::zstd, 1);
    const std::string path = folder.write("s.zst", sample.packed);
    unpacked_copy live;
    ASSERT_TRUE(live.start(path, packing::zstd, copies()));
    // Left by a process that is gone: a copy, and one not yet named (too
    // new to tell from one being made); files of other names stay.
    folder.write("cache/unpacked/unpacked-ABC123.log", "left behind\n");
    folder.write("cache/unpacked/.unpacking-XYZ789", "");
    folder.write("cache/unpacked/notes.txt", "mine\n");
    EXPECT_EQ(remove_orphan_copies(copies()), 1);
    EXPECT_TRUE(exists(live.path()));
    EXPECT_FALSE(exists(copies() + "/unpacked-ABC123.log"));
    EXPECT_TRUE(exists(copies() + "/.unpacking-XYZ789"));
    EXPECT_TRUE(exists(copies() + "/notes.txt"));
    const std::string live_path = live.path();
    live.remove();
    EXPECT_FALSE(exists(live_path));
    EXPECT_EQ(remove_orphan_copies(copies()), 0);
}

// ---- packed files opened as log files -------------------------------------------

class logfile_PackedLogFile : public logfile_UnpackedCopy {
protected:
    void SetUp() override
    {
        logfile_UnpackedCopy::SetUp();
        setenv("VARNOTH_ANSI_CODEPAGE", "WINDOWS-1252", 1);
    }
    void TearDown() override
    {
        EXPECT_EQ(log_file::wait_for_discards(kTestWaitMs), 0);
        logfile_UnpackedCopy::TearDown();
    }
    // Opens path (asking for a tail-first open, which a packed file does not
    // take) and indexes it to the end as the index thread would.
    static void open_whole(log_file& file, const std::string& path)
    {
        ASSERT_TRUE(file.open(widen(path), 0, true));
        for (int pass = 0; pass < 100000 && file.index_more() > 0; ++pass) {}
    }
};

TEST_F(logfile_PackedLogFile, PackedFilesOpenAsTheirTextWhateverTheirNames)
{
    std::mt19937_64 rng(12);
    // More text than the first window decoded at opening, so that the rest
    // comes through the index thread's steps.
    std::string big;
    while (big.size() < kSniffBytes + 300000)
        big += random_text(rng, 2000);
    const struct {
        std::string name;
        packing kind;
        std::vector<std::string> parts;
    } rows[] = {
        {"syslog.2.gz", packing::gzip, {big.substr(0, 1000000), big.substr(1000000)}},
        {"app.log.1.zst", packing::zstd, {big}},
        {"rotated.log", packing::gzip, {"a\r\nb\n", "", "c\rd\n"}},
        {"empty.zst", packing::zstd, {""}},
    };
    for (const auto& row : rows) {
        std::string packed;
        std::string text;
        for (const std::string& part : row.parts) {
            packed += row.kind == packing::gzip ? gzip_member(part, 1) : zstd_frame(part, 1);
            text += part;
        }
        const std::string path = folder.write(row.name, packed);
        log_file file;
        open_whole(file, path);
        SCOPED_TRACE(row.name);
        EXPECT_EQ(file.packed_as(), row.kind);
        EXPECT_FALSE(file.tail_mode());
        EXPECT_EQ(file.unpack_status(), unpack_note::none);
        EXPECT_EQ(file.file_size(), static_cast<int64_t>(text.size()));
        EXPECT_TRUE(indexed_lines(file) == reference_lines(text, 1, 0));
        EXPECT_EQ(file.check_change(widen(path)), log_file::file_change::none);
        file.close();
        EXPECT_TRUE(ListFiles(widen(copies()), u"").empty()) << "the copy goes with the file";
    }
}

TEST_F(logfile_PackedLogFile, PlainTextNamedGzOpensAsText)
{
    const std::string text = "Dec 10 08:00:00 host one\nDec 10 08:00:01 host two\n";
    const std::string path = folder.write("syslog.2.gz", text);
    log_file file;
    open_whole(file, path);
    EXPECT_EQ(file.packed_as(), packing::none);
    EXPECT_TRUE(indexed_lines(file) == reference_lines(text, 1, 0));
    EXPECT_TRUE(ListFiles(widen(copies()), u"").empty());
}

TEST_F(logfile_PackedLogFile, RefreshIndexesAnAppendedMemberAndARewriteIsNoticed)
{
    const std::string first = numbered_lines(3000);
    const std::string more = "appended 1\nappended 2\n";
    const std::string path = folder.write("follow.gz", gzip_member(first, 6));
    log_file file;
    open_whole(file, path);
    ASSERT_EQ(file.line_count(), 3000u);
    EXPECT_EQ(file.refresh(), 0);
    folder.append(path, gzip_member(more, 6));
    EXPECT_EQ(file.check_change(widen(path)), log_file::file_change::none);
    EXPECT_EQ(file.refresh(), 2);
    EXPECT_TRUE(indexed_lines(file) == reference_lines(first + more, 1, 0));
    // Written anew (other first bytes) in the same file, then replaced by another file.
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        const std::string other = zstd_frame(first, 3);
        out.write(other.data(), static_cast<std::streamsize>(other.size()));
    }
    EXPECT_EQ(file.check_change(widen(path)), log_file::file_change::rewritten);
    const std::string other_path = folder.write("other.gz", gzip_member(first, 1));
    ASSERT_EQ(std::rename(other_path.c_str(), path.c_str()), 0);
    EXPECT_EQ(file.check_change(widen(path)), log_file::file_change::replaced);
}

TEST_F(logfile_PackedLogFile, CutOrDamagedStreamShowsTheRowsDecodedSoFarWithANote)
{
    const std::string first = numbered_lines(500);
    const std::string second = numbered_lines(700, "\r\n");
    const std::string one = gzip_member(first, 6);
    const std::string two = gzip_member(second, 6);
    std::string damaged = one + two;
    damaged[one.size() + two.size() / 2] = static_cast<char>(damaged[one.size() + two.size() / 2] ^ 0x5A);
    const struct {
        std::string bytes;
        unpack_note note;
    } rows[] = {
        {one + two.substr(0, two.size() / 2), unpack_note::truncated},
        {damaged, unpack_note::damaged},
        {one + "trailing words\n", unpack_note::trailing},
    };
    for (const auto& row : rows) {
        const std::string path = folder.write("cut.gz", row.bytes);
        log_file file;
        open_whole(file, path);
        EXPECT_EQ(file.unpack_status(), row.note);
        const line_list lines = indexed_lines(file);
        const line_list whole = reference_lines(first, 1, 0);
        ASSERT_GE(lines.size(), whole.size());
        EXPECT_TRUE(line_list(lines.begin(), lines.begin() + static_cast<long>(whole.size())) == whole);
    }
}
