#include "ui/progress_dlg.h"

#include "app/varnoth_app.h"
#include "logfile/primitives.h"
#include "ui/ui_text.h"
#include "work/progress_state.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int kObjectTextWidth = 240; // pixels before a long file name is elided
constexpr int kDialogWidth = 440;
} // namespace

CProgressDlg::CProgressDlg(int file_count, bool cancellable, native_signal* cancel, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      m_file_count(file_count),
      m_cancellable(cancellable),
      m_cancel_event(cancel)
{
    setObjectName(IdObjectName(IDD));
    setModal(true);
    const CVarnothApp* app = TheApp();
    setWindowTitle(app && !app->Title().empty() ? ToQString(app->Title()) : QApplication::applicationDisplayName());

    m_action = new QLabel(this);
    m_action->setObjectName(IdObjectName(IDC_ACTION));
    m_action->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_object = new QLabel(this);
    m_object->setObjectName(IdObjectName(IDC_OBJECT));
    m_object->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_position = new QProgressBar(this);
    m_position->setObjectName(IdObjectName(IDC_POSITION));
    m_position->setTextVisible(false);
    m_position->setRange(0, 0); // moving until a position is known
    m_counter = new QLabel(this);
    m_counter->setObjectName(IdObjectName(IDC_COUNTER));
    m_files = new QProgressBar(this);
    m_files->setObjectName(IdObjectName(IDC_FILES));
    m_files->setTextVisible(false);
    m_files->setRange(0, file_count > 0 ? file_count : 1);
    m_files->setValue(0);
    m_cancel_button = new QPushButton(Text(u"IDS_WORD_CANCEL"), this);
    m_cancel_button->setObjectName(IdObjectName(IDC_CANCEL));
    m_cancel_button->setAutoDefault(false);
    connect(m_cancel_button, &QPushButton::clicked, this, &CProgressDlg::OnCancel);

    auto* texts = new QHBoxLayout;
    texts->addWidget(m_action, 1);
    texts->addWidget(m_object);
    auto* files = new QHBoxLayout;
    files->addWidget(m_counter);
    files->addWidget(m_files, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancel_button);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(texts);
    layout->addWidget(m_position);
    layout->addLayout(files);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // One file needs no files bar; only a cancellable job gets Cancel.
    m_files->setVisible(file_count != 1);
    m_cancel_button->setVisible(cancellable);
    m_counter->setText(QStringLiteral("%1 / %2").arg(0).arg(file_count));
    setMinimumWidth(kDialogWidth);
    m_position->setMinimumWidth(kDialogWidth - 2 * layout->contentsMargins().left());
    if (parent) {
        adjustSize();
        move(parent->frameGeometry().center() - rect().center());
    }
}

CProgressDlg::~CProgressDlg() = default;

bool CProgressDlg::IsMarquee() const
{
    return m_position->minimum() == 0 && m_position->maximum() == 0;
}

void CProgressDlg::Update(progress_record* record)
{
    tagPROGRESS_STATE state;
    if (record)
        state = record->snapshot();
    if (record && state.total >= 0 && state.current >= 0) {
        // A range of 0..0 is the moving style; an empty job shows an empty bar.
        const int total = std::max(state.total, 1);
        m_position->setRange(0, total);
        m_position->setValue(std::min(state.current, total));
    } else if (!IsMarquee()) {
        m_position->setRange(0, 0);
    }
    const int file_number = record ? state.file_number : 0;
    const int file_count = record ? m_file_count : 0;
    m_counter->setText(QStringLiteral("%1 / %2").arg(file_number).arg(file_count));
    m_files->setValue(std::min(std::max(file_number, 0), m_files->maximum()));

    m_action->setText(ToQString(state.action));
    const QString object = ToQString(state.object);
    m_object->setText(m_object->fontMetrics().elidedText(object, Qt::ElideMiddle, kObjectTextWidth));
    m_object->setToolTip(object);
}

void CProgressDlg::OnCancel()
{
    if (!m_cancellable || !m_cancel_button->isEnabled() || m_cancel_button->isHidden())
        return;
    m_cancel_button->setEnabled(false);
    if (m_cancel_event)
        m_cancel_event->set();
}

void CProgressDlg::reject()
{
    OnCancel();
}

void CProgressDlg::closeEvent(QCloseEvent* event)
{
    OnCancel();
    event->ignore();
}
