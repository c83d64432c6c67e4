// The whole viewer for screenshots and trying it by hand (not a test):
// VARNOTH_PREVIEW holds words that change what it shows:
//   dark   Qt's Fusion style with a dark palette
//   about  the about box opens once the window is up
//   options  the options dialog opens once the window is up
// VARNOTH_PREVIEW_GRAB names a PNG file that receives the picture of the
// open dialog (a dialog of its own painted by the widget, since a private X
// server without a window manager may leave it unpainted on screen).
#include "shell/app_shell.h"
#include "ui/command_ids.h"
#include "ui/command_router.h"
#include "ui/varnoth_dlg.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>
#include <QTimer>

#include <utility>

namespace {

QPalette DarkPalette()
{
    QPalette p;
    const QColor window(45, 45, 48), base(30, 30, 32), text(225, 225, 225), disabled(125, 125, 125);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, disabled);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, QColor(255, 80, 80));
    p.setColor(QPalette::Light, QColor(70, 70, 74));
    p.setColor(QPalette::Midlight, QColor(60, 60, 64));
    p.setColor(QPalette::Mid, QColor(38, 38, 40));
    p.setColor(QPalette::Dark, QColor(20, 20, 22));
    p.setColor(QPalette::Shadow, Qt::black);
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(90, 170, 255));
    p.setColor(QPalette::LinkVisited, QColor(170, 140, 255));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabled);
    return p;
}

} // namespace

int main(int argc, char** argv)
{
    const QByteArray words = qgetenv("VARNOTH_PREVIEW");
    const QString grab = QString::fromLocal8Bit(qgetenv("VARNOTH_PREVIEW_GRAB"));
    return RunVarnoth(argc, argv, [words, grab] {
        if (!grab.isEmpty()) {
            QTimer::singleShot(3500, [grab] {
                if (QWidget* dialog = QApplication::activeModalWidget())
                    dialog->grab().save(grab, "PNG");
            });
        }
        if (words.contains("dark")) {
            QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
            QApplication::setPalette(DarkPalette());
        }
        for (const auto& [word, command] : {std::pair{"about", ids::kHelpAbout}, {"options", ids::kEditOptions}}) {
            if (!words.contains(word))
                continue;
            QTimer::singleShot(1500, [command = command] {
                for (QWidget* widget : QApplication::topLevelWidgets())
                    if (auto* window = qobject_cast<CVarnothDlg*>(widget))
                        window->Router().route(command);
            });
        }
    });
}
