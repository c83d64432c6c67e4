// Runs the input-control, find-dialog, options-dialog, data-format, language
// and value-input dialog tests in one process, under the
// offscreen platform that CTest sets.  The dialog texts come from a
// throw-away installation with the dictionary.
#include "color_picker_test.h"
#include "data_format_dlg_test.h"
#include "dialog_conventions_test.h"
#include "find_dlg_test.h"
#include "format_entry_test.h"
#include "language_dlg_test.h"
#include "number_entry_test.h"
#include "option_dlg_test.h"
#include "ui/ui_test_environment.h"
#include "value_input_dlg_test.h"

#include <QApplication>
#include <QTest>

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
    {
        number_entry_test test;
        failures += QTest::qExec(&test, argc, argv);
    }
    {
        format_entry_test test;
        failures += QTest::qExec(&test, argc, argv);
    }
    {
        color_picker_test test;
        failures += QTest::qExec(&test, argc, argv);
    }
    {
        find_dlg_test test;
        failures += QTest::qExec(&test, argc, argv);
    }
    {
        option_dlg_test test(environment.ScratchFolder());
        failures += QTest::qExec(&test, argc, argv);
    }
    {
        data_format_dlg_test test;
        failures += QTest::qExec(&test, argc, argv);
    }
    {
        language_dlg_test test;
        failures += QTest::qExec(&test, argc, argv);
    }
    {
        value_input_dlg_test test;
        failures += QTest::qExec(&test, argc, argv);
    }
    {
        dialog_conventions_test test;
        failures += QTest::qExec(&test, argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
