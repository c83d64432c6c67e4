#include "shell/find_commands.h"

#include "app/varnoth_app.h"
#include "dialogs/find_dlg.h"
#include "dialogs/option_dlg.h"
#include "glossant/dictionary_text.h"
#include "platform/message_box.h"
#include "shell/main_dialog_adapter.h"
#include "ui/accelerators.h"
#include "ui/command_ids.h"
#include "ui/file_tab_ctrl.h"
#include "ui/log_list_ctrl.h"
#include "ui/log_page.h"
#include "ui/results_pane.h"
#include "ui/ui_text.h"
#include "ui/varnoth_dlg.h"
#include "work/file_view.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QTabWidget>

namespace {

// Whether widget is dialog or lies inside it (a box the dialog opened).
bool BelongsTo(const QWidget* widget, const QWidget* dialog)
{
    for (; widget; widget = widget->parentWidget())
        if (widget == dialog)
            return true;
    return false;
}

// Owns nothing but the wiring: the dialog is a child window of the main
// window, and this object a child of it, so both go with the window.
class find_controller : public QObject {
public:
    find_controller(CVarnothDlg& window, CVarnothApp& app, main_dialog_adapter& tabs)
        : QObject(&window), m_window(window), m_app(app), m_tabs(tabs)
    {
        m_dialog = new CFindDlg(app.settings, app.expression_history, &window);
        connect(m_dialog, &CFindDlg::FindNextRequested, this, [this](bool restart) {
            FindNext(m_app, m_tabs, restart, false);
            // The stored search may colour other cells now.
            if (CLogListCtrl* list = m_tabs.ActiveList())
                list->viewport()->update();
        });
        connect(m_dialog, &CFindDlg::FindAllRequested, this, [this] { FindAll(); });
        connect(m_dialog, &CFindDlg::SearchHighlightChanged, this, &find_controller::ApplyHighlightColor);
        connect(window.TabControl(), &QTabWidget::currentChanged, this, [this](int) { PointAtActiveTab(); });
        window.installEventFilter(this);
        // The main window's keys also work while the find dialog is active:
        // F3 there walks on through the matches.
        qApp->installEventFilter(this);
    }

    void PointAtActiveTab()
    {
        if (!m_dialog)
            return;
        CLogListCtrl* list = m_tabs.ActiveList();
        m_dialog->SetTarget(list ? list->File() : nullptr, list);
    }

    // The find dialog's find all: the target's search over the whole file
    // into the tab's results pane.
    void FindAll()
    {
        PointAtActiveTab();
        file_view* file = m_dialog ? m_dialog->TargetFile() : nullptr;
        if (!file)
            return;
        CSearchInfo all = file->search();
        all.expression = SearchText(all);
        all.regexp = SearchUsesRegex(all);
        m_tabs.FindAll(all);
    }

    // 32779 and 32780.
    void ShowFind(bool in_file)
    {
        PointAtActiveTab();
        if (!m_dialog || !m_dialog->TargetFile())
            return;
        m_dialog->SetFindInFile(in_file);
        m_dialog->ShowAndActivate();
    }

    // 32781 and 32782.
    void FindAgain(bool reverse)
    {
        PointAtActiveTab();
        CLogListCtrl* list = m_tabs.ActiveList();
        file_view* file = list ? list->File() : nullptr;
        if (!file)
            return;
        if (SearchText(file->search()).empty()) {
            ShowFind(false);
            return;
        }
        FindNext(m_app, m_tabs, false, reverse);
    }

    void ApplyHighlightColor(int32_t color)
    {
        const int count = m_window.TabControl()->count();
        for (int i = 0; i < count; ++i)
            if (CLogListCtrl* list = m_tabs.List(i)) {
                list->SetSearchHighlightColor(color);
                if (CResultsPane* pane = ResultsPaneOfPage(m_window.TabControl()->widget(i)))
                    pane->List()->SetSearchHighlightColor(color);
            }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if ((event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)
            && DialogKey(watched, *static_cast<QKeyEvent*>(event)))
            return true;
        if (watched == &m_window && m_dialog) {
            switch (event->type()) {
            case QEvent::WindowBlocked:
                // A box the find dialog opened over itself leaves it usable.
                if (!BelongsTo(QApplication::activeModalWidget(), m_dialog))
                    m_dialog->FollowMainWindow(false);
                break;
            case QEvent::WindowUnblocked: m_dialog->FollowMainWindow(true); break;
            case QEvent::EnabledChange: m_dialog->FollowMainWindow(m_window.isEnabled()); break;
            default: break;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    // A key pressed in the find dialog (not in a box it opened) that the
    // main window's table translates runs its command there; Ctrl+C and
    // Ctrl+A stay with the edit fields, F1 is everyone's already.
    bool DialogKey(QObject* watched, QKeyEvent& key)
    {
        if (!m_dialog || !watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != m_dialog)
            return false;
        if (QApplication::activePopupWidget() || QApplication::activeModalWidget() || !m_dialog->isEnabled())
            return false;
        const int command = TranslateAccelerator(key.key(), key.modifiers());
        if (command == 0 || key.key() == Qt::Key_F1)
            return false;
        if (KeyBelongsToEditField(key.key()) && IsEditField(watched))
            return false;
        key.accept();
        if (key.type() == QEvent::KeyPress)
            m_window.Router().route(command);
        return true;
    }

    CVarnothDlg& m_window;
    CVarnothApp& m_app;
    main_dialog_adapter& m_tabs;
    QPointer<CFindDlg> m_dialog;
};

} // namespace

CFindDlg* FindDialog(const CVarnothDlg& window)
{
    return window.findChild<CFindDlg*>(IdObjectName(CFindDlg::kTemplateId), Qt::FindDirectChildrenOnly);
}

void FindNext(CVarnothApp& app, main_dialog_adapter& tabs, bool restart, bool reverse)
{
    CLogListCtrl* list = tabs.ActiveList();
    file_view* file = list ? list->File() : nullptr;
    if (!file)
        return;
    // A new search starts at the top (the bottom upwards); when it finds
    // nothing the focused row is where it was.
    const int mark = list->SelectionMark();
    if (restart)
        list->ClearSelectionMark();
    const auto keep_mark = [list, mark] {
        if (list->SelectionMark() < 0 && mark >= 0)
            list->SetSelectionMark(mark);
    };
    const CSearchInfo& search = file->search();
    const std::u16string text = SearchText(search);
    if (text.empty())
        return;
    const bool up = search.up != reverse;
    const bool as_regex = SearchUsesRegex(search);
    const int row = list->FindRow(text, up, search.case_sensitive, as_regex, search.column);
    if (row >= 0) {
        list->SelectRow(row);
        return;
    }
    if (!search.find_in_file) {
        ShowMessage(DictionaryText(u"IDS_MSG_NOT_FOUND"), MB_OK | MB_ICONINFORMATION);
        keep_mark();
        list->viewport()->update();
        return;
    }
    CSearchInfo in_file = search;
    in_file.expression = text;
    in_file.up = up;
    in_file.regexp = as_regex;
    app.FindInFile(in_file);
    // Found or cancelled, the row reached is the mark; found nothing, the
    // window is the one before the search.
    if (tabs.ActiveList() == list)
        keep_mark();
}

void RegisterFindCommands(CVarnothDlg& window, CVarnothApp& app, main_dialog_adapter& tabs)
{
    auto* controller = new find_controller(window, app, tabs);
    command_router& router = window.Router();
    router.add(ids::kEditFind, [controller](int) { controller->ShowFind(false); });
    router.add(ids::kEditFindInFile, [controller](int) { controller->ShowFind(true); });
    router.add(ids::kEditFindNext, [controller](int) { controller->FindAgain(false); });
    router.add(ids::kEditFindPrevious, [controller](int) { controller->FindAgain(true); });
    router.add(ids::kEditOptions, [&window, &app](int) { RunOptionDlg(app.settings, &window); });
    controller->PointAtActiveTab();
}
