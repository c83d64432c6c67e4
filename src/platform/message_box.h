// The one way the system shows a message box.  The engine and the shell call
// ShowMessage; what actually presents the box is a pluggable presenter: the
// GUI installs one that shows a real dialog, tests install one that answers
// and records.  Results follow the classic message-box convention.
#pragma once

#include <functional>
#include <string>

enum : unsigned {
    MB_OK = 0x0000,
    MB_OKCANCEL = 0x0001,
    MB_YESNOCANCEL = 0x0003,
    MB_YESNO = 0x0004,
    MB_ICONERROR = 0x0010,
    MB_ICONQUESTION = 0x0020,
    MB_ICONWARNING = 0x0030,
    MB_ICONINFORMATION = 0x0040,
    MB_TYPEMASK = 0x000F,
    MB_ICONMASK = 0x00F0,
};

enum : int {
    IDOK = 1,
    IDCANCEL = 2,
    IDYES = 6,
    IDNO = 7,
};

// Presents one box on the interface thread and returns the button pressed.
using MessagePresenter = std::function<int(const std::u16string& text, unsigned flags)>;

// Installs presenter (an empty function restores the default, which writes the
// text to the diagnostics channel and answers IDOK, or IDNO for questions).
// Returns the previous presenter.
MessagePresenter SetMessagePresenter(MessagePresenter presenter);

// Routes a request from a thread other than the interface thread to it and
// waits for the answer; installed by the shell once the work protocol runs.
// Without a router, or on the interface thread, the presenter is called directly.
using MessageRouter = std::function<int(const std::u16string& text, unsigned flags)>;
void SetMessageRouter(MessageRouter router);

// Marks the calling thread as the interface thread.
void SetInterfaceThread();
bool IsInterfaceThread();

// Shows a message box from any thread; returns the button pressed (IDYES 6,
// IDNO 7, IDOK 1, IDCANCEL 2).
int ShowMessage(const std::u16string& text, unsigned flags);

// Calls the presenter directly (used by the interface side of the router).
int PresentMessage(const std::u16string& text, unsigned flags);
