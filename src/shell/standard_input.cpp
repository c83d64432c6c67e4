#include "shell/standard_input.h"

#include "app/varnoth_app.h"
#include "glossant/dictionary_text.h"
#include "platform/diagnostics.h"
#include "platform/message_box.h"
#include "platform/strings.h"
#include "shell/main_dialog_adapter.h"
#include "ui/system_error.h"

#include <QApplication>

#include <cerrno>

namespace {

std::u16string TextOr(std::u16string_view key, std::u16string_view fallback)
{
    std::u16string text = DictionaryText(key);
    return text.empty() ? std::u16string(fallback) : text;
}

} // namespace

CStandardInput::CStandardInput(main_dialog_adapter& tabs, CVarnothApp& app, QObject* parent)
    : QObject(parent), m_tabs(tabs), m_app(app)
{
    m_retry.setSingleShot(true);
    m_retry.setInterval(kRetryIntervalMs);
    connect(&m_retry, &QTimer::timeout, this, &CStandardInput::OpenTab);
}

CStandardInput::~CStandardInput()
{
    // The reader ends before this object does: no event arrives afterwards.
    m_spool.remove();
}

bool CStandardInput::Start(int input, stdin_use use, const std::u16string& folder)
{
    m_use = use;
    const bool started = m_spool.start(folder, input, [this](stdin_spool::event what) {
        QMetaObject::invokeMethod(
            this, [this, what] { OnEvent(what); }, Qt::QueuedConnection);
    });
    if (!started) {
        DebugOutput("[shell] standard input cannot be kept in %s\n", ToUtf8(folder).c_str());
        ShowMessage(TextOr(u"IDS_MSG_STDIN_NO_FILE", u"The temporary file for standard input could not be made.")
                        + u"\n" + SystemErrorText(m_spool.error()) + u"\n" + folder,
                    MB_OK | MB_ICONERROR);
        return false;
    }
    m_path = m_spool.path();
    DebugOutput("[shell] standard input goes to %s\n", ToUtf8(m_path).c_str());
    if (use == stdin_use::named)
        QTimer::singleShot(0, this, &CStandardInput::OpenTab);
    return true;
}

void CStandardInput::OnEvent(stdin_spool::event what)
{
    switch (what) {
    case stdin_spool::event::first_data:
        if (!m_opened)
            OpenTab();
        break;
    case stdin_spool::event::ended:
        DebugOutput("[shell] standard input ended after %llu bytes\n",
                    static_cast<unsigned long long>(m_spool.bytes()));
        // A pipe that brought nothing is no log: nothing opens.
        if (!m_opened && m_spool.bytes() == 0) {
            m_retry.stop();
            m_spool.remove();
        }
        break;
    case stdin_spool::event::failed:
        if (!m_opened && m_spool.bytes() > 0)
            OpenTab();
        ReportFailure();
        break;
    }
}

void CStandardInput::OpenTab()
{
    if (m_opened || m_closed || m_path.empty())
        return;
    // Never a job inside another job's wait or beside a dialog.
    if (m_app.JobRunning() || QApplication::activeModalWidget()) {
        m_retry.start();
        return;
    }
    m_opened = true;
    m_tabs.AddStream(m_path, TextOr(u"IDS_SPECIAL_STANDARD_INPUT", u"(standard input)"), [this] {
        m_closed = true;
        m_spool.remove();
        DebugOutput("[shell] the standard input tab closed: its file is removed\n");
    });
    m_app.OpenFiles({m_path});
}

void CStandardInput::ReportFailure()
{
    if (m_reported || m_closed)
        return;
    m_reported = true;
    const std::u16string text =
        m_spool.write_failed()
            ? TextOr(u"IDS_MSG_STDIN_WRITE_FAILED", u"Standard input could not be stored any further.")
            : TextOr(u"IDS_MSG_STDIN_READ_FAILED", u"Standard input could not be read any further.");
    ShowMessage(text + u"\n" + SystemErrorText(m_spool.error()) + u"\n" + m_path, MB_OK | MB_ICONERROR);
}
