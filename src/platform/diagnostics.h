// The diagnostics channel: timing and debug lines that a developer may want
// but a user never sees.  Lines go to stderr when VARNOTH_DEBUG is set and are
// dropped otherwise; a test can capture them.
#pragma once

#include <functional>
#include <string>

// printf-style; the text is written as given (callers end lines with "\n").
void DebugOutput(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Test seam: receives every line instead of stderr while set.
void SetDiagnosticsSink(std::function<void(const std::string&)> sink);
