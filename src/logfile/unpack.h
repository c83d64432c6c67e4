// Compressed logs read through a plain copy: what the first bytes say about
// packing, a decoder that takes the packed bytes in pieces of any size, and
// the copy in the per-user cache folder that grows as the packed file is
// decoded, so that its lines can be indexed while it grows.
//
//   packed file ──read──► unpack_stream ──write──► copy (cache folder)
//                 (step by step, on the index thread)     ▲
//                                                  log file reads it
//
// A gzip file may hold several members one after another (as rotation and
// parallel compressors write them); a zstd file several frames, skippable
// ones included.  A decoder never throws and never stops the process: a
// damaged or cut stream keeps the bytes decoded before the fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

enum class packing {
    none,
    gzip,
    zstd,
};

// By the first bytes, never by the file name: gzip's 1F 8B 08 (deflate),
// zstd's frame magic 28 B5 2F FD or a skippable frame's 5x 2A 4D 18.
// Fewer bytes than the magic: none.
packing sniff_packing(std::string_view head);
// "gzip", "zstd", or empty for none: the status bar's word.
const char* packing_name(packing kind);

// Where a decoder stands.
enum class unpack_state {
    more,     // inside a member or frame: more packed bytes are needed
    complete, // at the end of a member or frame: every byte given is decoded
    damaged,  // the stream is not valid; the bytes decoded before are kept
    trailing, // bytes after the last member that start no member; ignored
};

// Decodes one packed stream.  Not thread-safe: one owner.
class unpack_stream {
public:
    explicit unpack_stream(packing kind);
    ~unpack_stream();
    unpack_stream(const unpack_stream&) = delete;
    unpack_stream& operator=(const unpack_stream&) = delete;

    // Decodes packed bytes that follow those given before and appends what
    // they decode to into out.  Once damaged or trailing, takes nothing more.
    // False when the decoder could not be set up (out of memory): damaged.
    bool feed(std::string_view packed, std::string& out);
    unpack_state state() const { return m_state; }
    // Packed bytes taken in, up to the fault or the start of the trailing bytes.
    uint64_t packed_used() const { return m_used; }
    packing kind() const { return m_kind; }

private:
    bool feed_gzip(std::string_view packed, std::string& out);
    bool feed_zstd(std::string_view packed, std::string& out);

    struct codec;
    std::unique_ptr<codec> m_codec;
    packing m_kind;
    unpack_state m_state = unpack_state::complete;
    std::string m_held; // the first byte of what may be the next gzip member
    uint64_t m_used = 0;
};

// How a copy stands after its last step, for the status bar.
enum class unpack_note {
    none,      // every packed byte read so far is decoded; the stream ended cleanly
    truncated, // the packed file ends inside a member or frame (maybe still written)
    damaged,   // the packed data is not valid; the rows decoded before it are shown
    trailing,  // bytes after the end of the packed data were ignored
    failed,    // the packed file could not be read or the copy could not be written
};

// The plain copy of a packed file, written in the per-user cache folder.
// While the copy lives its file holds an exclusive lock, so that a sweep by
// another process (remove_orphan_copies) leaves it alone; the copy is removed
// when this object goes.  Not thread-safe: one owner (the index thread while
// it runs, else the thread of the file's jobs).
class unpacked_copy {
public:
    unpacked_copy() = default;
    ~unpacked_copy();
    unpacked_copy(const unpacked_copy&) = delete;
    unpacked_copy& operator=(const unpacked_copy&) = delete;

    // Opens the packed file (native path) and creates an empty copy in
    // folder; false, and nothing left behind, when either fails or the file
    // is not packed by kind.
    bool start(const std::string& packed_path, packing kind, const std::string& folder);
    // Reads at most packed_budget packed bytes and appends what they decode
    // to to the copy: bytes added to the copy, or -1 when reading or writing
    // failed (note: failed).  0 when the packed file has nothing more for now
    // or the stream ended in a fault.
    int64_t step(std::size_t packed_budget);
    // Steps until the packed file has nothing more: bytes added, or -1.
    int64_t step_to_end();

    // The copy's native path and size (bytes decoded so far).
    const std::string& path() const { return m_copy_path; }
    int64_t size() const { return m_written; }
    // Packed bytes read so far.
    int64_t packed_read() const { return m_read; }
    packing kind() const { return m_kind; }
    unpack_note note() const;
    // The device and inode of the packed file; false when none is open.
    bool packed_identity(uint64_t& device, uint64_t& inode) const;
    // The packed file now holds other bytes than those decoded (shorter than
    // what was read, or other first bytes): the copy must be made anew.
    bool source_rewritten() const;

    // Closes and removes the copy.
    void remove();

    // The name every copy starts with, and the suffix it ends with.
    static constexpr std::string_view kPrefix = "unpacked-";
    static constexpr std::string_view kSuffix = ".log";
    static constexpr std::size_t kHeadBytes = 256;

private:
    std::unique_ptr<unpack_stream> m_stream;
    std::string m_copy_path;
    std::string m_head; // the packed file's first bytes
    std::string m_out;  // decoded bytes waiting to be written
    int m_packed_fd = -1;
    int m_copy_fd = -1;
    int64_t m_read = 0;
    int64_t m_written = 0;
    packing m_kind = packing::none;
    bool m_failed = false;
};

// The folder for copies: "unpacked" in the per-user cache folder, created
// when missing; empty when it cannot be had.
std::string unpacked_copy_folder();

// Removes the copies in folder that no living copy holds (left behind by a
// process that ended without removing them); returns how many.
int remove_orphan_copies(const std::string& folder);
