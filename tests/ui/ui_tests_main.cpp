// Runs the widget-free rule tests and the main-window tests in one process,
// under the offscreen platform that CTest sets.
#include "main_window_test.h"
#include "progress_dlg_test.h"
#include "ui_rules_test.h"
#include "ui_test_environment.h"

#include <QApplication>
#include <QTest>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    int failures = 0;
    {
        // The rule tests read dictionary texts; they share one environment.
        main_window_test window;
        failures += QTest::qExec(&window, argc, argv);
    }
    {
        ui_test_environment environment;
        if (!environment.Ready()) {
            qCritical("%s", qPrintable(environment.Error()));
            return 1;
        }
        ui_rules_test rules;
        failures += QTest::qExec(&rules, argc, argv);
        progress_dlg_test progress;
        failures += QTest::qExec(&progress, argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
