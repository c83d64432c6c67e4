#include "ui/accelerators.h"

#include "ui/command_ids.h"
#include "ui/command_router.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

const std::array<accelerator, 19> kAccelerators = {{
    {Qt::Key_O, Qt::ControlModifier, ids::kFileOpen},
    {Qt::Key_F4, Qt::AltModifier, ids::kFileExit},
    {Qt::Key_A, Qt::ControlModifier, ids::kEditSelectAll},
    {Qt::Key_I, Qt::ControlModifier | Qt::ShiftModifier, ids::kEditInvertSelection},
    {Qt::Key_C, Qt::ControlModifier, ids::kEditCopy},
    {Qt::Key_F, Qt::ControlModifier, ids::kEditFind},
    {Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier, ids::kEditFindInFile},
    {Qt::Key_F3, Qt::NoModifier, ids::kEditFindNext},
    {Qt::Key_F3, Qt::ShiftModifier, ids::kEditFindPrevious},
    {Qt::Key_F5, Qt::NoModifier, ids::kViewRefresh},
    {Qt::Key_F5, Qt::ControlModifier, ids::kViewAutoRefresh},
    {Qt::Key_PageUp, Qt::ControlModifier, ids::kViewScrollUp},
    {Qt::Key_PageDown, Qt::ControlModifier, ids::kViewScrollDown},
    {Qt::Key_Home, Qt::ControlModifier, ids::kViewFirstLine},
    {Qt::Key_End, Qt::ControlModifier, ids::kViewLastLine},
    {Qt::Key_G, Qt::ControlModifier, ids::kViewGoToLine},
    {Qt::Key_F6, Qt::NoModifier, ids::kViewHighlightEnable},
    {Qt::Key_F7, Qt::NoModifier, ids::kViewFilterEnable},
    {Qt::Key_F1, Qt::NoModifier, ids::kHelpHelp},
}};

const accelerator kOnlineHelpAccelerator = {Qt::Key_F1, Qt::ControlModifier, ids::kHelpOnlineHelp};

namespace {

constexpr Qt::KeyboardModifiers kRelevantModifiers = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;

QKeySequence KeysOf(const accelerator& a)
{
    return QKeySequence(QKeyCombination(a.modifiers, a.key));
}

} // namespace

int TranslateAccelerator(int key, Qt::KeyboardModifiers modifiers)
{
    modifiers &= kRelevantModifiers;
    if (key == Qt::Key_F1)
        return modifiers.testFlags(kOnlineHelpAccelerator.modifiers) ? kOnlineHelpAccelerator.command : ids::kHelpHelp;
    for (const accelerator& a : kAccelerators) {
        if (a.key == key && a.modifiers == modifiers)
            return a.command;
    }
    return 0;
}

QKeySequence AcceleratorKeys(int command)
{
    if (command == kOnlineHelpAccelerator.command)
        return KeysOf(kOnlineHelpAccelerator);
    for (const accelerator& a : kAccelerators) {
        if (a.command == command)
            return KeysOf(a);
    }
    return QKeySequence();
}

QString WithoutShortcutHint(const QString& text)
{
    const qsizetype tab = text.indexOf(QLatin1Char('\t'));
    return tab < 0 ? text : text.left(tab);
}

QString TooltipWithKeys(const QString& tooltip, int command)
{
    const QKeySequence keys = AcceleratorKeys(command);
    if (keys.isEmpty() || tooltip.isEmpty())
        return tooltip;
    return tooltip + QStringLiteral(" (") + keys.toString(QKeySequence::NativeText) + QLatin1Char(')');
}

bool KeyBelongsToEditField(int key)
{
    // Copy, select all and the ends of the text.
    return key == Qt::Key_C || key == Qt::Key_A || key == Qt::Key_Home || key == Qt::Key_End;
}

bool IsEditField(const QObject* widget)
{
    if (!widget)
        return false;
    if (qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QTextEdit*>(widget)
        || qobject_cast<const QPlainTextEdit*>(widget) || qobject_cast<const QAbstractSpinBox*>(widget))
        return true;
    if (const auto* combo = qobject_cast<const QComboBox*>(widget))
        return combo->isEditable();
    // The viewport of a text edit receives the keys of its owner.
    if (const QObject* parent = widget->parent()) {
        if (qobject_cast<const QTextEdit*>(parent) || qobject_cast<const QPlainTextEdit*>(parent))
            return true;
    }
    return false;
}

CAcceleratorFilter::CAcceleratorFilter(command_router& router, QWidget* main_window, QObject* parent)
    : QObject(parent), m_router(router), m_main_window(main_window)
{
    if (m_main_window)
        connect(m_main_window, &QObject::destroyed, this, [this] { m_main_window = nullptr; });
}

int CAcceleratorFilter::CommandFor(QObject* watched, int key, Qt::KeyboardModifiers modifiers) const
{
    if (!m_main_window || !watched || !watched->isWidgetType())
        return 0;
    const int command = TranslateAccelerator(key, modifiers);
    if (command == 0)
        return 0;
    if (key == Qt::Key_F1)
        return command; // help works everywhere, also inside dialogs
    // An open menu or a modal dialog keeps its keys.
    if (QApplication::activePopupWidget() || QApplication::activeModalWidget())
        return 0;
    if (qobject_cast<QMenu*>(watched))
        return 0;
    // Only keys meant for the main window (not for another top-level window).
    if (static_cast<QWidget*>(watched)->window() != m_main_window)
        return 0;
    if (KeyBelongsToEditField(key) && IsEditField(watched))
        return 0;
    // A list of its own results (the results pane) steps with F3 itself.
    if (key == Qt::Key_F3 && watched->property(kKeepsFindKeys).toBool())
        return 0;
    return command;
}

bool CAcceleratorFilter::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride)
        return QObject::eventFilter(watched, event);
    auto* key_event = static_cast<QKeyEvent*>(event);
    const int command = CommandFor(watched, key_event->key(), key_event->modifiers());
    if (command == 0)
        return QObject::eventFilter(watched, event);
    if (type == QEvent::ShortcutOverride) {
        // Claim the key, so that no shortcut fires and the key press reaches us.
        event->accept();
        return true;
    }
    event->accept();
    m_router.route(command);
    return true;
}
