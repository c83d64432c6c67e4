#include "shell/main_dialog_adapter.h"

#include "app/varnoth_app.h"
#include "ui/ui_text.h"
#include "ui/varnoth_dlg.h"
#include "work/work_data.h"

#include <QLabel>
#include <QTabWidget>

namespace {

QString PageText(CWorkData& file)
{
    int64_t first = -1;
    int64_t last = -1;
    file.file.window(first, last);
    return ToQString(file.path)
           + QStringLiteral("\n\n%1: %2\n%3: %4")
                 .arg(Text(u"IDS_STATUSBAR_TEXT_TOTAL"))
                 .arg(file.file.line_count())
                 .arg(Text(u"IDS_STATUSBAR_TEXT_FILTERED"))
                 .arg(file.row_count());
}

} // namespace

void main_dialog_adapter::AddFileTab(CWorkData& file)
{
    QTabWidget* tabs = m_window.TabControl();
    auto* page = new QLabel(PageText(file));
    page->setAlignment(Qt::AlignCenter);
    page->setTextInteractionFlags(Qt::TextSelectableByMouse);
    const int index = tabs->addTab(page, ToQString(file.name));
    tabs->setCurrentIndex(index);
    page->setFocus();
    m_window.UpdateTitle(file.name);
    m_app.AddRecentFile(file.path);
    m_window.UpdateCommonTasksVisibility();
}

void main_dialog_adapter::UpdateView(int, int64_t)
{
    RefreshActivePage();
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
    if (QWidget* page = m_window.TabControl()->currentWidget())
        page->setUpdatesEnabled(on);
}

void main_dialog_adapter::ShowRowSource()
{
    RefreshActivePage();
}

void main_dialog_adapter::RefreshActivePage()
{
    auto* page = qobject_cast<QLabel*>(m_window.TabControl()->currentWidget());
    CWorkData* file = m_app.ActiveFile();
    if (page && file)
        page->setText(PageText(*file));
}

void main_dialog_adapter::CloseActiveTab()
{
    QTabWidget* tabs = m_window.TabControl();
    const int index = tabs->currentIndex();
    if (index < 0)
        return;
    m_app.OpenFileList().remove(index);
    QWidget* page = tabs->widget(index);
    tabs->removeTab(index);
    delete page;
    CWorkData* active = m_app.ActiveFile();
    m_window.UpdateTitle(active ? active->name : std::u16string());
    m_window.UpdateCommonTasksVisibility();
}
