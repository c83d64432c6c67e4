// The update check: fetches the latest version number from the version
// address, compares it with the running version and tells the user, offering
// the download page when a newer version exists.
//
// The fetch runs a local event loop that takes no user input, under the wait
// cursor; it never lasts longer than its timeout, after which the server
// counts as not reached.
//
// Thread-safety: interface thread only.
#pragma once

#include <QUrl>

#include <cstdint>
#include <string>
#include <string_view>

// The most bytes of the answer that are read.
inline constexpr int kVersionAnswerLimit = 9;
// How long the fetch may take before the server counts as not reached.
inline constexpr int kUpdateTimeoutMs = 5000;

struct version_answer {
    bool reached = false; // the server answered (an HTTP status arrived)
    int status = 0;       // that status; 0 for addresses without one
    std::string bytes;    // at most kVersionAnswerLimit bytes of the body
};

// Fetches the first bytes of the answer at address; reached is false when no
// answer came within timeout_ms (refused, unknown host, silent server).  A
// read error keeps the bytes read so far.
version_answer FetchVersionAnswer(const QUrl& address, int timeout_ms);

enum class update_outcome {
    connection_failed, // "IDS_MSG_FAILED_CONNECT_SERVER"
    version_unknown,   // "IDS_MSG_FAILED_GET_VERSION"
    up_to_date,        // "IDS_MSG_NO_NEW_VERSION"
    newer_available,   // "IDS_MSG_NEW_VERSION_DETECTED"
};

// What an answer means for the running version's value.  An HTTP error
// status tells nothing about the version, whatever its page says.
update_outcome ClassifyVersionAnswer(const version_answer& answer, uint32_t running);

// The whole check against site: fetch, message box, and the download page
// when the user answers Yes to the new version.  Returns the outcome.
update_outcome CheckForUpdate(std::u16string_view site, int timeout_ms = kUpdateTimeoutMs);
