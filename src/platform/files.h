// File-system services for the engine: wide (UTF-16) paths, converted to the
// native file-name encoding at this edge, and writes that never leave a
// half-written file behind.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The native (UTF-8) form of a wide path.  File names on this platform are
// bytes; every part of the system uses this one conversion, so a name written
// by one part is found by every other.
std::string NativePath(std::u16string_view path);
std::u16string WidePath(std::string_view native);

bool PathExists(std::u16string_view path);
bool IsDirectory(std::u16string_view path);
bool IsReadableFile(std::u16string_view path);
// Creates one directory level; an existing directory counts as success.
bool MakeDirectory(std::u16string_view path);
bool RemoveFile(std::u16string_view path);
bool RemoveEmptyDirectory(std::u16string_view path);
// Copies source to target; fails (and leaves target alone) when target exists.
bool CopyFileNoOverwrite(std::u16string_view source, std::u16string_view target);

// Names (not paths) of the regular files in directory whose name ends with
// suffix (compared without regard to ASCII case; empty matches all), in the
// order the directory listing returns them.  Empty when the directory cannot
// be read.
std::vector<std::u16string> ListFiles(std::u16string_view directory, std::u16string_view suffix);

// Reads a whole file; false when it cannot be opened or read.
bool ReadWholeFile(std::u16string_view path, std::string& bytes);

// Writes bytes to path completely under a temporary name in the same folder,
// flushes it to disk and renames it into place.  On any failure the previous
// file (if any) is untouched, the temporary file is removed and false is
// returned.
bool WriteFileAtomically(std::u16string_view path, std::string_view bytes);

// Test seam: when set, WriteFileAtomically fails for paths the hook accepts
// (as a full disk would), after creating and before renaming the temporary file.
using WriteFailureHook = bool (*)(std::u16string_view path);
void SetWriteFailureHook(WriteFailureHook hook);

// The folder of the running executable (from /proc/self/exe), without a
// trailing "/"; the full executable path goes to module_path when given.
std::u16string InstallationDirectory(std::u16string* module_path = nullptr);

// $XDG_DATA_HOME, else $HOME/.local/share; empty when neither is known.
std::u16string UserDataHome();

// Per-user runtime folder for lock and spool files: $VARNOTH_RUNTIME_DIR, else
// $XDG_RUNTIME_DIR/varnoth, else <tmp>/varnoth-<uid>; created with mode 0700.
// Empty when it cannot be created or is not ours.
std::u16string RuntimeDirectory();

// Per-user cache folder for files that can be made again (plain copies of
// compressed logs): $VARNOTH_CACHE_DIR, else $XDG_CACHE_HOME/varnoth, else
// $HOME/.cache/varnoth; created with mode 0700 (the folders above it as
// needed).  Empty when it cannot be created or is not ours.
std::u16string UserCacheDirectory();

// Joins a folder and a name with "/".
std::u16string JoinPath(std::u16string_view folder, std::u16string_view name);
