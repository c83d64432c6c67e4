// The keyboard accelerators of the main window.
//
// Sixteen keys run commands wherever the keyboard focus is in the
// application, with two exceptions: Ctrl+C and Ctrl+A are left to an edit
// field that has the focus, so that copy and select-all work inside it; and
// nothing is translated while a menu is open or a modal dialog runs (F1 still
// asks for help there).  F1 runs help (32784), Ctrl+F1 the online help (32802).
// A translated key is consumed.
//
// Thread-safety: interface thread only.
#pragma once

#include <QKeySequence>
#include <QObject>
#include <QString>
#include <Qt>

#include <array>

class command_router;
class QWidget;

struct accelerator {
    Qt::Key key;
    Qt::KeyboardModifiers modifiers; // must match exactly (Shift, Ctrl, Alt)
    int command;
};

// The table's entries.
extern const std::array<accelerator, 19> kAccelerators;
// Ctrl+F1, the online help: outside the table, since F1 with any other
// modifiers is help.
extern const accelerator kOnlineHelpAccelerator;

// The command of a key press, 0 when the key has none.  F1 with Ctrl gives
// the online help, F1 with anything else help.
int TranslateAccelerator(int key, Qt::KeyboardModifiers modifiers);

// The keys of command, from the table above (empty when it has none): what
// menus show beside an item and tooltips after their text.
QKeySequence AcceleratorKeys(int command);

// The text shown for command in a menu or tooltip: text up to a tab (older
// dictionaries wrote the shortcut after one).
QString WithoutShortcutHint(const QString& text);
// A tooltip with the command's keys after it in parentheses, when it has any.
QString TooltipWithKeys(const QString& tooltip, int command);

// Keys that an edit field keeps for itself (Ctrl+C, Ctrl+A, Ctrl+Home,
// Ctrl+End) rather than the main window's commands.
bool KeyBelongsToEditField(int key);

// True for widgets that edit text themselves (line and text edits, spin
// boxes, editable combo boxes), which keep Ctrl+C and Ctrl+A.
bool IsEditField(const QObject* widget);

// The property of a widget that handles F3 and Shift+F3 itself (set true).
inline constexpr const char* kKeepsFindKeys = "keeps_find_keys";

// The application-wide key filter.  Install it on the QApplication; it routes
// translated keys through router.  Keys are translated only while a main window
// exists (pass it at construction; nothing happens after it is destroyed).
class CAcceleratorFilter : public QObject {
    Q_OBJECT
public:
    CAcceleratorFilter(command_router& router, QWidget* main_window, QObject* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The command to run for this key event in the current situation, or 0.
    int CommandFor(QObject* watched, int key, Qt::KeyboardModifiers modifiers) const;

    command_router& m_router;
    QObject* m_main_window; // observed; cleared when destroyed
};
