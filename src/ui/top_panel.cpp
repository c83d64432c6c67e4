#include "ui/top_panel.h"

#include "app/varnoth_app.h"
#include "parser/log_pattern.h"
#include "platform/strings.h"
#include "ui/command_ids.h"
#include "ui/command_router.h"
#include "ui/edit_combo_box.h"
#include "ui/ui_text.h"
#include "work/file_view.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace {

constexpr int kQuickFilterWidth = 200;
constexpr int kParserChooserWidth = 200;
constexpr int kQuickFilterMaxLength = 100;

} // namespace

CTopPanel::CTopPanel(command_router& router, QWidget* parent) : QWidget(parent)
{
    setObjectName(IdObjectName(ids::kTopPanel));

    m_filter_label = new QLabel(Text(u"IDS_TOP_PANEL_TEXT_FILTER"), this);
    m_filter_label->setObjectName(IdObjectName(ids::kTopPanelFilterLabel));

    m_quick_filter = new CEditComboBox(this);
    m_quick_filter->setObjectName(IdObjectName(ids::kTopPanelQuickFilter));
    m_quick_filter->lineEdit()->setMaxLength(kQuickFilterMaxLength);
    m_quick_filter->setFixedWidth(kQuickFilterWidth);
    m_quick_filter->lineEdit()->installEventFilter(this);
    m_filter_label->setBuddy(m_quick_filter);

    m_parser_label = new QLabel(Text(u"IDS_TOP_PANEL_TEXT_PARSER"), this);
    m_parser_label->setObjectName(IdObjectName(ids::kTopPanelParserLabel));

    m_parser_chooser = new QComboBox(this);
    m_parser_chooser->setObjectName(IdObjectName(ids::kTopPanelParserChooser));
    m_parser_chooser->setFixedWidth(kParserChooserWidth);
    m_parser_chooser->addItem(Text(u"IDS_SPECIAL_DEFAULT_PARSER"));
    m_parser_label->setBuddy(m_parser_chooser);

    m_parser_text = new QLineEdit(this);
    m_parser_text->setObjectName(IdObjectName(ids::kTopPanelParserText));
    m_parser_text->setReadOnly(true);

    m_manage = new QPushButton(Text(u"IDS_TOP_PANEL_BUTTON_MANAGE"), this);
    m_manage->setObjectName(IdObjectName(ids::kTopPanelManage));
    m_manage->setAutoDefault(false);
    m_manage->setFixedWidth(m_manage->fontMetrics().horizontalAdvance(m_manage->text()) + 10
                            + 2 * style()->pixelMetric(QStyle::PM_ButtonMargin));
    connect(m_manage, &QPushButton::clicked, this, [&router] { router.route(ids::kTopPanelManage); });

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 2, 4, 2);
    layout->setSpacing(0);
    layout->addWidget(m_filter_label);
    layout->addSpacing(4);
    layout->addWidget(m_quick_filter);
    layout->addSpacing(20);
    layout->addWidget(m_parser_label);
    layout->addSpacing(4);
    layout->addWidget(m_parser_chooser);
    layout->addSpacing(2);
    layout->addWidget(m_parser_text, 1);
    layout->addSpacing(2);
    layout->addWidget(m_manage);

    m_quick_timer.setSingleShot(true);
    m_quick_timer.setInterval(kQuickFilterDelayMs);
    connect(&m_quick_timer, &QTimer::timeout, this, &CTopPanel::OnTimer);
    connect(m_quick_filter, &CEditComboBox::EditChange, this, &CTopPanel::OnQuickFilterEdited);
    connect(m_quick_filter, &QComboBox::activated, this, &CTopPanel::OnQuickFilterChosen);
    connect(m_parser_chooser, &QComboBox::activated, this,
            [this](int index) { emit ParserChosen(index, m_parser_chooser->itemText(index)); });

    setFixedHeight(PanelHeight());
    SetFileOpen(false);
}

int CTopPanel::PanelHeight() const
{
    // A vertical dialog unit is an eighth of the font height.
    const int six_units = fontMetrics().height() * 6 / 8;
    const int wanted = 2 * six_units + 4;
    const int needed = std::max({m_quick_filter->sizeHint().height(), m_parser_chooser->sizeHint().height(),
                                 m_manage->sizeHint().height()})
                       + 4;
    return std::max(wanted, needed);
}

void CTopPanel::SetFileOpen(bool open)
{
    m_quick_filter->setEnabled(open);
    m_parser_chooser->setEnabled(open);
    m_parser_text->setEnabled(open);
    if (!open) {
        m_quick_timer.stop();
        m_quick_filter->setEditText(QString());
    }
}

bool CTopPanel::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_quick_filter->lineEdit() && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Tab && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
            emit FocusListRequested();
            return true;
        }
        // Enter applies at once.  Taken here, before the drop-down sees it:
        // the drop-down would report Enter on a text that equals a history
        // entry as a choice from the list and start the timer again.
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            m_quick_timer.stop();
            ApplyQuickFilterText();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CTopPanel::OnQuickFilterEdited()
{
    m_from_list = false;
    m_quick_timer.start();
}

void CTopPanel::OnQuickFilterChosen()
{
    m_from_list = true;
    m_quick_timer.start();
}

void CTopPanel::OnTimer()
{
    m_quick_timer.stop();
    ApplyQuickFilterText();
}

bool CTopPanel::ApplyQuickFilterText()
{
    file_view* file = m_app ? m_app->ActiveFile() : nullptr;
    if (!file)
        return false;
    const std::u16string text = FromQString(m_quick_filter->currentText());
    bool applied = false;
    if (!EqualsIgnoreAsciiCase(text, file->last_quick_filter_text())) {
        // While a job runs (this timer may fire inside its progress dialog)
        // the view takes no intent: the text is applied once the job ended.
        if (m_app->JobRunning()) {
            m_quick_timer.start();
            return false;
        }
        if (!file->set_quick_filter(text)) {
            m_quick_timer.start();
            return false;
        }
        m_app->AddExpressionHistory(text);
        RefillQuickFilterHistory();
        if (m_from_list && m_quick_filter->count() > 0) {
            const QSignalBlocker quiet(m_quick_filter);
            m_quick_filter->setCurrentIndex(0);
        }
        applied = true;
    }
    // The job may have closed the file's tab meanwhile: look it up again.
    if (file_view* still = m_app->ActiveFile(); still == file)
        file->set_last_quick_filter_text(text);
    if (applied)
        emit QuickFilterApplied();
    return applied;
}

void CTopPanel::RefillQuickFilterHistory()
{
    const QSignalBlocker quiet(m_quick_filter);
    const QString text = m_quick_filter->currentText();
    const int cursor = m_quick_filter->lineEdit()->cursorPosition();
    m_quick_filter->clear();
    if (m_app) {
        for (const std::u16string& entry : m_app->expression_history)
            m_quick_filter->addItem(ToQString(entry));
    }
    m_quick_filter->setCurrentIndex(-1);
    m_quick_filter->setEditText(text);
    m_quick_filter->lineEdit()->setCursorPosition(cursor);
}

int CTopPanel::ParserEntryIndex(const std::u16string& name) const
{
    if (!m_app)
        return 0;
    const log_pattern_list& parser = m_app->FindParser(name);
    if (&parser == &m_app->DefaultParser())
        return 0;
    // The entry FindParser found: the last of that name.
    int index = 0;
    int found = 0;
    for (const tagPARSER_ITEM& entry : m_app->Parsers()) {
        ++index;
        if (&entry.parser == &parser)
            found = index;
    }
    return found < m_parser_chooser->count() ? found : 0;
}

void CTopPanel::ShowParser(const std::u16string& name)
{
    m_quick_timer.stop();
    m_parser_name = name;
    if (m_app) {
        const QString text = ToQString(template_text(m_app->FindParser(name)));
        m_parser_text->setText(text);
        // A long template shows its start; the whole text is in the tooltip.
        m_parser_text->setCursorPosition(0);
        m_parser_text->setToolTip(text);
        const QSignalBlocker quiet(m_parser_chooser);
        m_parser_chooser->setCurrentIndex(ParserEntryIndex(name));
    }
    file_view* file = m_app ? m_app->ActiveFile() : nullptr;
    SetFileOpen(file != nullptr);
    if (file) {
        const QSignalBlocker quiet(m_quick_filter);
        m_quick_filter->setEditText(ToQString(file->quick_filter_text()));
    } else {
        m_parser_text->clear();
    }
}

void CTopPanel::RefillParsers()
{
    const QSignalBlocker quiet(m_parser_chooser);
    while (m_parser_chooser->count() > 1)
        m_parser_chooser->removeItem(m_parser_chooser->count() - 1);
    if (m_app) {
        for (const tagPARSER_ITEM& entry : m_app->Parsers())
            m_parser_chooser->addItem(ToQString(entry.name));
    }
    m_parser_chooser->setCurrentIndex(ParserEntryIndex(m_parser_name));
}
