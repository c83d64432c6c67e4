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
    bool Ready() const { return m_ready; }
    const QString& Error() const { return m_error; }
    CVarnothApp& App() { return *m_app; }
    // A scratch folder for files the tests write (screenshots).
    QString ScratchFolder() const;

private:
    QTemporaryDir m_root;
    std::unique_ptr<CVarnothApp> m_app;
    bool m_ready = false;
    QString m_error;
};
