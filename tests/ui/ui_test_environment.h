// A throw-away installation folder for the window tests: the dictionary and
// the icons copied from the build's bin folder (or from the source tree when
// the build has not copied them yet), and an application object over it.
#pragma once

#include "app/varnoth_app.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

class ui_test_environment {
public:
    ui_test_environment();
    ~ui_test_environment();

    // False (with the reason in Error()) when the dictionary did not load.
    bool Ready() const { return ready_; }
    const QString& Error() const { return error_; }
    CVarnothApp& App() { return *app_; }
    // A scratch folder for files the tests write (screenshots).
    QString ScratchFolder() const;

private:
    QTemporaryDir root_;
    std::unique_ptr<CVarnothApp> app_;
    bool ready_ = false;
    QString error_;
};
