// The log list's tests in one process, under the offscreen platform that CTest sets.
#include "log_list_ctrl_test.h"
#include "log_list_model_test.h"
#include "log_list_paint_test.h"
#include "log_list_rules_test.h"

#include <QApplication>
#include <QTest>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    int failures = 0;
    {
        log_list_rules_test rules;
        failures += QTest::qExec(&rules, argc, argv);
    }
    {
        log_list_model_test model;
        failures += QTest::qExec(&model, argc, argv);
    }
    {
        log_list_ctrl_test ctrl;
        failures += QTest::qExec(&ctrl, argc, argv);
    }
    {
        log_list_paint_test paint;
        failures += QTest::qExec(&paint, argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
