// The text shown for a system error code.
#pragma once

#include <string>

// The system's message text for the errno code, at most 1024 characters;
// the dictionary text of "IDS_MSG_UNKNOWN_ERROR" when the system has no text
// for it (0, negative and unknown codes).
std::u16string SystemErrorText(int code);
