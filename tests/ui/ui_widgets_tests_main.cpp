// Runs the status-bar, file-scope-bar, match-overview and drop-down tests in one process,
// under the offscreen platform that CTest sets.  They read dictionary texts
// from one throw-away installation.
#include "edit_combo_box_test.h"
#include "file_scope_ctrl_test.h"
#include "file_scope_map_test.h"
#include "match_overview_map_test.h"
#include "status_bar_test.h"
#include "ui_test_environment.h"

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
        file_scope_map_test test;
        failures += QTest::qExec(&test, argc, argv);
    }
    {
        match_overview_map_test test;
        failures += QTest::qExec(&test, argc, argv);
    }
    {
        file_scope_ctrl_test test(environment.ScratchFolder());
        failures += QTest::qExec(&test, argc, argv);
    }
    {
        status_bar_test test(environment.ScratchFolder());
        failures += QTest::qExec(&test, argc, argv);
    }
    {
        edit_combo_box_test test;
        failures += QTest::qExec(&test, argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
