// Runs the input-control, find-dialog, options-dialog, data-format, language
// value-input, parser editor and parser manager dialog tests in one process, under the
// offscreen platform that CTest sets.  The dialog texts come from a
// throw-away installation with the dictionary.
#include "color_picker_test.h"
#include "data_format_dlg_test.h"
#include "dialog_conventions_test.h"
#include "filter_dlg_test.h"
#include "find_dlg_test.h"
#include "format_entry_test.h"
#include "highlight_dlg_test.h"
#include "language_dlg_test.h"
#include "number_entry_test.h"
#include "option_dlg_test.h"
#include "parser_dlg_test.h"
#include "ui/ui_test_environment.h"
#include "value_input_dlg_test.h"

#include <QApplication>
#include <QTest>

#include <utility>

namespace {

template <typename Test, typename... Args> int Run(int argc, char** argv, Args&&... args)
{
    Test test(std::forward<Args>(args)...);
    return QTest::qExec(&test, argc, argv);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    ui_test_environment environment;
    if (!environment.Ready()) {
        qCritical("%s", qPrintable(environment.Error()));
        return 1;
    }
    int failures = 0;
    failures += Run<number_entry_test>(argc, argv);
    failures += Run<format_entry_test>(argc, argv);
    failures += Run<color_picker_test>(argc, argv);
    failures += Run<find_dlg_test>(argc, argv);
    failures += Run<option_dlg_test>(argc, argv, environment.ScratchFolder());
    failures += Run<data_format_dlg_test>(argc, argv);
    failures += Run<language_dlg_test>(argc, argv);
    failures += Run<value_input_dlg_test>(argc, argv);
    failures += Run<parser_dlg_test>(argc, argv);
    failures += Run<filter_dlg_test>(argc, argv);
    failures += Run<highlight_dlg_test>(argc, argv);
    failures += Run<dialog_conventions_test>(argc, argv);
    return failures == 0 ? 0 : 1;
}
