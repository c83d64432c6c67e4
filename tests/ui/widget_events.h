// Mouse events sent straight to a widget, so that tests do not depend on the
// platform moving a cursor (the offscreen platform has none).
#pragma once

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

inline void SendMouse(QWidget* widget, QEvent::Type type, QPoint pos, Qt::MouseButton button = Qt::NoButton,
                      Qt::MouseButtons buttons = Qt::NoButton)
{
    QMouseEvent event(type, QPointF(pos), QPointF(widget->mapToGlobal(pos)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

inline void MouseMove(QWidget* widget, QPoint pos, Qt::MouseButtons buttons = Qt::NoButton)
{
    SendMouse(widget, QEvent::MouseMove, pos, Qt::NoButton, buttons);
}

inline void MousePress(QWidget* widget, QPoint pos)
{
    SendMouse(widget, QEvent::MouseButtonPress, pos, Qt::LeftButton, Qt::LeftButton);
}

inline void MouseRelease(QWidget* widget, QPoint pos)
{
    SendMouse(widget, QEvent::MouseButtonRelease, pos, Qt::LeftButton, Qt::NoButton);
}

// Where test pictures go: $VARNOTH_UI_SCREENSHOT_DIR when set, else fallback.
inline QString ScreenshotPath(const QString& fallback_folder, const QString& name)
{
    const QString folder = qEnvironmentVariableIsSet("VARNOTH_UI_SCREENSHOT_DIR")
                               ? qEnvironmentVariable("VARNOTH_UI_SCREENSHOT_DIR")
                               : fallback_folder;
    QDir().mkpath(folder);
    return QDir(folder).filePath(name);
}

// Pixels of image with exactly colour.
inline int CountPixels(const QImage& image, QColor colour)
{
    int count = 0;
    const QRgb wanted = colour.rgb();
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if ((image.pixel(x, y) & 0xFFFFFFu) == (wanted & 0xFFFFFFu))
                ++count;
        }
    }
    return count;
}
