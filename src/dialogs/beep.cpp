#include "dialogs/beep.h"

#include <QApplication>

namespace {

beep_hook& Hook()
{
    static beep_hook hook;
    return hook;
}

} // namespace

beep_hook SetBeepHook(beep_hook hook)
{
    beep_hook previous = std::move(Hook());
    Hook() = std::move(hook);
    return previous;
}

void Beep()
{
    if (Hook())
        Hook()();
    else
        QApplication::beep();
}
