// An application object with a running work thread, driven from the test
// thread as its interface thread: the test posts real jobs, pumps the
// interface queue and looks at what reached the main window, the message
// boxes and the progress dialog.
#pragma once

#include "app/main_dialog_link.h"
#include "app/progress_dialog.h"
#include "app/varnoth_app.h"
#include "platform/message_box.h"
#include "support/temp_dir.h"
#include "work/file_view_engine.h"
#include "work/progress_state.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// The main window as the protocol sees it: tabs in order and a log of calls.
class recording_main_dialog : public main_dialog_link {
public:
    struct tab {
        file_view* file;
        int64_t window_first;
        int64_t window_last;
        std::size_t rows;
    };

    void AddFileTab(file_view& file) override;
    void UpdateView(int selection_kind, int64_t row) override;
    int ActiveTab() override { return m_active; }
    uint64_t ActiveFileId() override
    {
        return m_active >= 0 && static_cast<std::size_t>(m_active) < tabs.size() ? tabs[m_active].file->id() : 0;
    }
    void ActivateTab(int index) override;
    void SetListRedraw(bool on) override;
    void ShowRowSource() override;

    std::vector<tab> tabs;
    std::vector<std::string> calls; // "tab:<name>", "view:<kind>:<row>", "activate:<i>", "rows"
    bool redraw = true;
    std::function<void(file_view&)> on_tab; // runs inside AddFileTab

private:
    int m_active = -1;
};

// A progress dialog that records what it is shown and dispatches the queue
// through the fixture while it runs.
class protocol_fixture;
class recording_progress_dialog : public progress_dialog {
public:
    recording_progress_dialog(protocol_fixture& fixture, int files, bool may_cancel)
        : m_fixture(fixture), file_count(files), cancellable(may_cancel)
    {}
    int Exec() override;
    void Update(progress_record* record) override;
    void End(int result) override;

    protocol_fixture& m_fixture;
    int file_count;
    bool cancellable;
    bool ended = false;
    bool timed_out = false;
    std::vector<tagPROGRESS_STATE> updates;
    std::function<void(recording_progress_dialog&)> on_update;
};

class protocol_fixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

public:
    // Hands one interface message to the application and logs its id.
    void Dispatch(const thread_message& message);
    // Dispatches until the work thread is idle and the queue is empty;
    // false when that did not happen within limit_ms.
    bool PumpUntilIdle(int limit_ms = 20000);

    CVarnothApp& App() { return *m_app; }
    // Writes a file in the scratch folder and returns its full path.
    std::u16string WriteFile(const std::string& name, const std::string& bytes);
    std::u16string ScratchPath(const std::string& name) const { return m_dir.wide(name); }
    // The text of a box naming path: the dictionary text of key, "\n", path.
    static std::u16string BoxText(const std::u16string& key, const std::u16string& path = {});

    recording_main_dialog window;
    std::vector<std::u16string> boxes;
    std::function<int(const std::u16string&, unsigned)> answer; // the presenter's answers (IDOK by default)
    std::vector<unsigned> dispatched;                           // ids, in order
    std::vector<std::shared_ptr<recording_progress_dialog>> dialogs;
    std::function<void(recording_progress_dialog&)> on_dialog_update;

protected:
    temp_dir m_dir;
    std::unique_ptr<CVarnothApp> m_app;
    MessagePresenter m_previous_presenter;
};

// "line 0\n" ... "line <count-1>\n"
std::string NumberedLines(int count);
