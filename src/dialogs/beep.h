// The short warning sound of the input controls when they refuse a key.  What
// makes the sound is a pluggable hook, so that tests can count refusals.
//
// Thread-safety: interface thread only.
#pragma once

#include <functional>

using beep_hook = std::function<void()>;

// Installs hook (an empty function restores QApplication::beep); returns the previous one.
beep_hook SetBeepHook(beep_hook hook);

// Sounds the warning through the installed hook.
void Beep();
