// The hand-off of files from a starting process to the running instance.
//
//   starting process                         running instance
//   ── lock "Varnoth Clipboard" ──┐
//      append path to the spool   │          (wake socket listening)
//   ── unlock ────────────────────┘
//   ── connect to the wake socket ─────────▶ take: lock, read and remove
//      and end                               the spool, unlock; again every
//                                            100 ms while paths arrive
//
// The spool and the wake socket sit in the per-user runtime folder (mode
// 0700).  The spool holds the queued paths joined by "|"; a "|" or "%"
// inside a path is written as "%7C" or "%25".  A path to be opened at a
// line is followed by "%L" and the line's decimal number.  Nothing here touches the
// user's clipboard.
//
// Thread-safety: every function may be called from any thread or process;
// the lock file serialises the spool's read-modify-write between them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The name of the lock around the spool.
inline constexpr std::u16string_view kHandOffLockName = u"Varnoth Clipboard";
// The spool never grows past this; an append that would pass it is refused.
constexpr std::size_t kSpoolLimitBytes = 1u << 20;
// The longest path handed over, in bytes of its native form.
constexpr std::size_t kHandOffPathLimitBytes = 4096;

// The spool and the wake socket; empty when there is no runtime folder.
std::u16string HandOffSpoolPath();
std::u16string HandOffWakePath();

// True for a path that may be handed over: absolute, not longer than the
// limit, without a NUL character.
bool IsHandOffPath(std::u16string_view path);

// Appends path to the spool under the lock.  False (and the spool is left as
// it was) when the path may not be handed over, there is no runtime folder,
// the lock cannot be had, the spool is full or cannot be written.  Pieces of
// the spool that are not well-formed paths are dropped on the way.
bool HandOffPath(const std::u16string& path);

// Takes every well-formed path out of the spool under the lock and removes
// the spool; what is not a well-formed path is skipped.  Empty when there is
// nothing (or no runtime folder).  At most the spool's limit is read.
std::vector<std::u16string> TakeHandedOffPaths();

// Tells the running instance that paths wait; false when nobody listens.
// Never blocks for long: a full or stale socket counts as nobody.
bool WakeRunningInstance();

// The spool text of paths (each piece escaped, joined by "|") and back; the
// parse keeps only well-formed pieces.
std::string JoinSpool(const std::vector<std::u16string>& paths);
std::vector<std::u16string> SplitSpool(std::string_view spool);

// A file handed over with the line it is to be opened at (1 is the first
// line; 0 for none).
struct handed_file {
    std::u16string path;
    uint64_t line = 0;
    bool operator==(const handed_file&) const = default;
};

// As HandOffPath, for several files in one append (so that they arrive in
// one batch); false, and nothing appended, when any of them may not be
// handed over.
bool HandOffFiles(const std::vector<handed_file>& files);
// As TakeHandedOffPaths, with the lines.
std::vector<handed_file> TakeHandedOffFiles();
std::string JoinSpoolFiles(const std::vector<handed_file>& files);
std::vector<handed_file> SplitSpoolFiles(std::string_view spool);
