#include "shell/main_dialog_adapter.h"

#include "app/varnoth_app.h"
#include "ui/log_list_ctrl.h"
#include "ui/ui_text.h"
#include "ui/varnoth_dlg.h"
#include "work/work_data.h"

#include <QTabWidget>

void main_dialog_adapter::AddFileTab(CWorkData& file)
{
    QTabWidget* tabs = m_window.TabControl();
    auto* list = new CLogListCtrl;
    list->setObjectName(QStringLiteral("log_list"));
    list->SetFile(&file);
    list->SetHighlightSources(&file.highlight_rules, &file.search);
    list->SetSearchHighlightColor(m_app.settings.search_highlight);
    SetColumns(*list);
    list->SetRowCount();
    list->FitColumns();
    const int index = tabs->addTab(list, ToQString(file.name));
    tabs->setTabToolTip(index, ToQString(file.path));
    tabs->setCurrentIndex(index);
    list->setFocus();
    m_window.UpdateTitle(file.name);
    m_app.AddRecentFile(file.path);
    m_window.UpdateCommonTasksVisibility();
    m_window.UpdateToolbar();
    m_window.UpdateStatusTexts();
}

void main_dialog_adapter::SetColumns(CLogListCtrl& list)
{
    CWorkData* file = list.File();
    if (!file)
        return;
    std::vector<const log_pattern*> leaves;
    leaf_count(m_app.FindParser(file->parser_name), &leaves);
    std::vector<std::u16string> names;
    names.reserve(leaves.size());
    for (const log_pattern* leaf : leaves)
        names.push_back(leaf->name);
    list.SetColumnNames(names);
}

CLogListCtrl* main_dialog_adapter::List(int index) const
{
    return qobject_cast<CLogListCtrl*>(m_window.TabControl()->widget(index));
}

CLogListCtrl* main_dialog_adapter::ActiveList() const
{
    return qobject_cast<CLogListCtrl*>(m_window.TabControl()->currentWidget());
}

void main_dialog_adapter::UpdateView(int selection_kind, int64_t row)
{
    CLogListCtrl* list = ActiveList();
    if (!list)
        return;
    list->SetRedraw(true);
    list->SetRowCount();
    list->ApplySelectionKind(selection_kind, static_cast<int>(row));
    m_window.UpdateToolbar();
    m_window.UpdateStatusTexts();
}

int main_dialog_adapter::ActiveTab()
{
    return m_window.TabControl()->currentIndex();
}

void main_dialog_adapter::ActivateTab(int index)
{
    m_window.TabControl()->setCurrentIndex(index);
}

void main_dialog_adapter::SetListRedraw(bool on)
{
    if (CLogListCtrl* list = ActiveList())
        list->SetRedraw(on);
}

void main_dialog_adapter::ShowRowSource()
{
    if (CLogListCtrl* list = ActiveList())
        list->SetRowCount();
    m_window.UpdateToolbar();
    m_window.UpdateStatusTexts();
}

void main_dialog_adapter::CloseActiveTab()
{
    QTabWidget* tabs = m_window.TabControl();
    const int index = tabs->currentIndex();
    if (index < 0)
        return;
    QWidget* page = tabs->widget(index);
    // The list lets go of its file before the file goes.
    if (auto* list = qobject_cast<CLogListCtrl*>(page))
        list->SetFile(nullptr);
    tabs->removeTab(index);
    delete page;
    m_app.OpenFileList().remove(index);
    CWorkData* active = m_app.ActiveFile();
    m_window.UpdateTitle(active ? active->name : std::u16string());
    m_window.UpdateCommonTasksVisibility();
    m_window.UpdateToolbar();
    m_window.UpdateStatusTexts();
}
