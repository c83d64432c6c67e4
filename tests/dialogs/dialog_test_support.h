// Helpers of the dialog tests: finding controls by id, answering message
// boxes from a script, and acting on modal dialogs once they are open, with
// every wait bounded.
#pragma once

#include "format/local_time.h"
#include "platform/message_box.h"
#include "support/bounded_wait.h"
#include "ui/ui_text.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <ctime>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

template <typename T> T* Child(QWidget* dialog, int id)
{
    return dialog->findChild<T*>(IdObjectName(id));
}

// Records every message box shown while it lives and answers each with the
// next scripted answer (IDOK, or IDNO for a question, when none is left).
class scripted_boxes {
public:
    explicit scripted_boxes(std::deque<int> answers = {}) : m_answers(std::move(answers))
    {
        m_previous = SetMessagePresenter([this](const std::u16string& text, unsigned flags) {
            shown.emplace_back(text, flags);
            if (!m_answers.empty()) {
                const int answer = m_answers.front();
                m_answers.pop_front();
                return answer;
            }
            return (flags & MB_TYPEMASK) == MB_YESNO ? int{IDNO} : int{IDOK};
        });
    }
    ~scripted_boxes() { SetMessagePresenter(m_previous); }
    scripted_boxes(const scripted_boxes&) = delete;
    scripted_boxes& operator=(const scripted_boxes&) = delete;

    void Answer(int answer) { m_answers.push_back(answer); }

    std::vector<std::pair<std::u16string, unsigned>> shown;

private:
    std::deque<int> m_answers;
    MessagePresenter m_previous;
};

// Types text into widget key by key; characters beyond ASCII arrive as key
// events that carry only their text, as an input method delivers them.
inline void TypeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7F) {
            QTest::keyClick(widget, static_cast<char>(c.unicode()));
            continue;
        }
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &release);
    }
}

// Makes window the active window, as a click on it would.
inline bool Activate(QWidget* window)
{
    window->activateWindow();
    QApplication::setActiveWindow(window);
    return QTest::qWaitForWindowActive(window, kTestWaitMs);
}

// The widget that keys typed now go to: the focus widget of the topmost modal
// dialog (or of the active window), also after a nested dialog closed.
inline QWidget* Focused()
{
    QWidget* window = QApplication::activeModalWidget();
    if (!window)
        window = QApplication::activeWindow();
    if (!window)
        return QApplication::focusWidget();
    QWidget* focus = window->focusWidget();
    return focus ? focus : window;
}

// Runs action on the next modal dialog of type T once it is open and active.
// When none opens within the test wait, every open dialog is rejected (so
// the test goes on instead of hanging) and Missed() becomes true.
template <typename T> class when_modal {
public:
    explicit when_modal(std::function<void(T*)> action) : m_state(std::make_shared<state>())
    {
        auto* poll = new QTimer;
        m_state->poll = poll;
        auto state_ptr = m_state;
        state_ptr->clock.start();
        QObject::connect(poll, &QTimer::timeout, [poll, state_ptr, action] {
            if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
                dialog && dialog->isVisible() && !state_ptr->seen.count(dialog)) {
                poll->stop();
                poll->deleteLater();
                state_ptr->ran = true;
                Activate(dialog);
                action(dialog);
            } else if (state_ptr->clock.elapsed() > kTestWaitMs) {
                poll->stop();
                poll->deleteLater();
                state_ptr->missed = true;
                for (QWidget* widget : QApplication::topLevelWidgets())
                    if (auto* open = qobject_cast<QDialog*>(widget); open && open->isVisible())
                        open->reject();
            }
        });
        // Dialogs of that type already open are not the one awaited.
        if (auto* open = qobject_cast<T*>(QApplication::activeModalWidget()))
            m_state->seen.insert(open);
        poll->start(10);
    }
    // A dialog that never came does not outlive the test that awaited it.
    ~when_modal()
    {
        if (m_state->poll && !m_state->ran && !m_state->missed)
            delete m_state->poll;
    }
    when_modal(const when_modal&) = delete;
    when_modal& operator=(const when_modal&) = delete;

    bool Ran() const { return m_state->ran; }
    bool Missed() const { return m_state->missed; }

private:
    struct state {
        QElapsedTimer clock;
        QPointer<QTimer> poll;
        std::set<QObject*> seen;
        bool ran = false;
        bool missed = false;
    };
    std::shared_ptr<state> m_state;
};

// The dictionary text of key with its "%d"/"%s" placeholders replaced in
// turn by values, written out here independently of the dialogs' own helper.
inline std::u16string Filled(std::u16string_view key, std::vector<std::u16string> values)
{
    std::u16string text = FromQString(Text(key));
    for (const std::u16string& value : values) {
        const std::size_t at = std::min(text.find(u"%d"), text.find(u"%s"));
        if (at == std::u16string::npos)
            break;
        text.replace(at, 2, value);
    }
    return text;
}

inline std::u16string Wide(const char* text)
{
    return QString::fromUtf8(text).toStdU16String();
}

// Sets the time zone (TZ) for as long as it lives, and restores the one before.
class scoped_zone {
public:
    explicit scoped_zone(const char* zone)
    {
        const char* before = std::getenv("TZ");
        m_had = before != nullptr;
        if (m_had)
            m_before = before;
        Set(zone);
    }
    ~scoped_zone() { Set(m_had ? m_before.c_str() : nullptr); }
    scoped_zone(const scoped_zone&) = delete;
    scoped_zone& operator=(const scoped_zone&) = delete;

private:
    static void Set(const char* zone)
    {
        if (zone)
            ::setenv("TZ", zone, 1);
        else
            ::unsetenv("TZ");
        ::tzset();
        LocalTimeZoneChanged();
    }
    bool m_had = false;
    std::string m_before;
};
