#include "ui/message_presenter.h"

#include "app/varnoth_app.h"
#include "platform/message_box.h"
#include "ui/ui_text.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPointer>

QMessageBox::Icon MessageBoxIcon(unsigned flags)
{
    switch (flags & MB_ICONMASK) {
    case MB_ICONERROR: return QMessageBox::Critical;
    case MB_ICONQUESTION: return QMessageBox::Question;
    case MB_ICONWARNING: return QMessageBox::Warning;
    case MB_ICONINFORMATION: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

QMessageBox::StandardButtons MessageBoxButtons(unsigned flags)
{
    switch (flags & MB_TYPEMASK) {
    case MB_OKCANCEL: return QMessageBox::Ok | QMessageBox::Cancel;
    case MB_YESNOCANCEL: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case MB_YESNO: return QMessageBox::Yes | QMessageBox::No;
    default: return QMessageBox::Ok;
    }
}

int MessageBoxResult(QMessageBox::StandardButton button)
{
    switch (button) {
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    case QMessageBox::Cancel: return IDCANCEL;
    default: return IDOK;
    }
}

namespace {

QString BoxTitle()
{
    if (const CVarnothApp* app = TheApp(); app && !app->Title().empty())
        return ToQString(app->Title());
    return QApplication::applicationDisplayName();
}

void SetButtonText(QMessageBox& box, QMessageBox::StandardButton which, std::u16string_view key)
{
    if (QAbstractButton* button = box.button(which)) {
        const QString text = Text(key);
        if (!text.isEmpty())
            button->setText(text);
    }
}

} // namespace

void ConfigureMessageBox(QMessageBox& box, const std::u16string& text, unsigned flags)
{
    box.setWindowTitle(BoxTitle());
    box.setText(ToQString(text));
    box.setTextFormat(Qt::PlainText);
    box.setIcon(MessageBoxIcon(flags));
    const QMessageBox::StandardButtons buttons = MessageBoxButtons(flags);
    box.setStandardButtons(buttons);
    SetButtonText(box, QMessageBox::Ok, u"IDS_WORD_OK");
    SetButtonText(box, QMessageBox::Cancel, u"IDS_WORD_CANCEL");
    SetButtonText(box, QMessageBox::Yes, u"IDS_WORD_YES");
    SetButtonText(box, QMessageBox::No, u"IDS_WORD_NO");
    // Escape (and the close box) give Cancel when there is one; a Yes/No
    // question answers No; a plain box answers OK.
    if (buttons.testFlag(QMessageBox::Cancel))
        box.setEscapeButton(QMessageBox::Cancel);
    else if (buttons.testFlag(QMessageBox::No))
        box.setEscapeButton(QMessageBox::No);
    else
        box.setEscapeButton(QMessageBox::Ok);
    box.setDefaultButton(buttons.testFlag(QMessageBox::Yes) ? QMessageBox::Yes : QMessageBox::Ok);
}

int ShowQtMessageBox(const std::u16string& text, unsigned flags)
{
    QWidget* parent = QApplication::activeModalWidget();
    if (!parent)
        parent = QApplication::activeWindow();
    QPointer<QMessageBox> box = new QMessageBox(parent);
    ConfigureMessageBox(*box, text, flags);
    box->exec();
    if (!box)
        return IDCANCEL;
    auto* clicked = box->clickedButton();
    const QMessageBox::StandardButton button = clicked ? box->standardButton(clicked) : QMessageBox::NoButton;
    delete box;
    if (button == QMessageBox::NoButton) {
        // Closed without a button: the escape answer.
        const QMessageBox::StandardButtons buttons = MessageBoxButtons(flags);
        if (buttons.testFlag(QMessageBox::Cancel))
            return IDCANCEL;
        return buttons.testFlag(QMessageBox::No) ? IDNO : IDOK;
    }
    return MessageBoxResult(button);
}

void InstallQtMessagePresenter()
{
    SetMessagePresenter(&ShowQtMessageBox);
}
