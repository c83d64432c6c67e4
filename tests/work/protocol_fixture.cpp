#include "work/protocol_fixture.h"

#include "glossant/dictionary_text.h"
#include "platform/message_box.h"
#include "platform/strings.h"
#include "work/work_messages.h"

#include <chrono>
#include <filesystem>

namespace {
std::string Narrow(const std::u16string& text)
{
    return ToUtf8(text);
}
} // namespace

void recording_main_dialog::AddFileTab(file_view& file)
{
    int64_t first = -1;
    int64_t last = -1;
    FileOf(file).window(first, last);
    tabs.push_back({&file, first, last, file.row_count()});
    m_active = static_cast<int>(tabs.size()) - 1;
    calls.push_back("tab:" + Narrow(file.name()));
    if (on_tab)
        on_tab(file);
}

void recording_main_dialog::UpdateView(int selection_kind, int64_t row)
{
    calls.push_back("view:" + std::to_string(selection_kind) + ":" + std::to_string(row));
}

void recording_main_dialog::ActivateTab(int index)
{
    m_active = index;
    calls.push_back("activate:" + std::to_string(index));
}

void recording_main_dialog::SetListRedraw(bool on)
{
    redraw = on;
}

void recording_main_dialog::ShowRowSource()
{
    calls.push_back("rows");
}

int recording_progress_dialog::Exec()
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    message_queue& queue = m_fixture.App().InterfaceQueue();
    while (!ended) {
        if (std::chrono::steady_clock::now() > limit) {
            timed_out = true;
            return -1;
        }
        thread_message message;
        if (queue.get(message, 20))
            m_fixture.Dispatch(message);
    }
    return 1;
}

void recording_progress_dialog::Update(progress_record* record)
{
    updates.push_back(record ? record->snapshot() : tagPROGRESS_STATE());
    if (on_update)
        on_update(*this);
}

void recording_progress_dialog::End(int)
{
    ended = true;
}

void protocol_fixture::SetUp()
{
    setenv("VARNOTH_RUNTIME_DIR", (m_dir.path() / "run").c_str(), 1);
    m_dir.write("install/varnoth", "");
    std::filesystem::create_directories(m_dir / "install" / "dict");
    std::filesystem::copy_file(std::filesystem::path(VARNOTH_SOURCE_RESOURCES) / "dict" / "en.lc",
                               m_dir / "install" / "dict" / "en.lc");
    std::filesystem::create_directories(m_dir / "common");
    std::filesystem::create_directories(m_dir / "files");

    SetInterfaceThread();
    m_app = std::make_unique<CVarnothApp>(
        app_environment{(m_dir / "install" / "varnoth").u16string(), (m_dir / "common").u16string()});
    ASSERT_TRUE(m_app->InitializeDictionary());
    ASSERT_TRUE(m_app->LoadDictionary());
    m_app->LoadData();
    m_previous_presenter = SetMessagePresenter([this](const std::u16string& text, unsigned flags) {
        boxes.push_back(text);
        return answer ? answer(text, flags) : IDOK;
    });
    m_app->SetMainDialog(&window);
    m_app->SetProgressDialogFactory([this](int file_count, bool cancellable, native_signal&) {
        auto dialog = std::make_shared<recording_progress_dialog>(*this, file_count, cancellable);
        dialog->on_update = on_dialog_update;
        dialogs.push_back(dialog);
        // The application owns what the factory returns; the test keeps a view.
        struct view : progress_dialog {
            std::shared_ptr<recording_progress_dialog> shown;
            int Exec() override { return shown->Exec(); }
            void Update(progress_record* record) override { shown->Update(record); }
            void End(int result) override { shown->End(result); }
        };
        auto handle = std::make_unique<view>();
        handle->shown = dialog;
        return std::unique_ptr<progress_dialog>(std::move(handle));
    });
    m_app->InstallMessageRouter();
    ASSERT_TRUE(m_app->StartWorkThread());
}

void protocol_fixture::TearDown()
{
    if (m_app) {
        m_app->SetMainDialog(nullptr);
        m_app->ExitInstance();
        m_app.reset();
    }
    SetMessagePresenter(m_previous_presenter);
    unsetenv("VARNOTH_RUNTIME_DIR");
}

void protocol_fixture::Dispatch(const thread_message& message)
{
    dispatched.push_back(message.id);
    m_app->HandleInterfaceMessage(message);
}

bool protocol_fixture::PumpUntilIdle(int limit_ms)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit_ms);
    message_queue& queue = m_app->InterfaceQueue();
    while (std::chrono::steady_clock::now() < limit) {
        thread_message message;
        if (queue.get(message, 20)) {
            Dispatch(message);
            continue;
        }
        // Idle is set after a job's last message, so an empty queue then is final.
        if (m_app->WorkThread().IdleEvent().wait(0) == 0 && queue.size() == 0)
            return true;
    }
    return false;
}

std::u16string protocol_fixture::WriteFile(const std::string& name, const std::string& bytes)
{
    m_dir.write("files/" + name, bytes);
    return m_dir.wide("files/" + name);
}

std::u16string protocol_fixture::BoxText(const std::u16string& key, const std::u16string& path)
{
    std::u16string text = DictionaryText(key);
    if (!path.empty())
        text += u"\n" + path;
    return text;
}

std::string NumberedLines(int count)
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += "line " + std::to_string(i) + "\n";
    return out;
}
