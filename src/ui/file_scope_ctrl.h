// The file-scope bar (control 134): a strip that stands for the whole file,
// with the loaded window marked on it.  While the window does not cover the
// file the bar is active: the user drags a new window position with the
// mouse, and releasing reports the line under the drag start.  Tooltips show
// previews of the lines under the mouse.  The geometry lives in
// file_scope_map; this widget only draws it and turns mouse actions into
// notifications.
//
//   press (inside, active) --> DragStarted()
//   move                   --> drag segment follows, tooltip after 500 ms
//   release                --> LineRequested(line under the drag start)
//
// Thread-safety: interface thread only.
#pragma once

#include "ui/file_scope_map.h"

#include <QColor>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>

class QPalette;

// The bar's own colours: the strip, the loaded window and the mouse line.
// The light green and blue on a light button face; on a dark one the same
// hues mixed into the face.
struct scope_colours {
    QColor strip;
    QColor window;
    QColor mouse_line;
};
scope_colours ScopeColours(const QPalette& palette);

class CFileScopeCtrl : public QWidget {
    Q_OBJECT
public:
    // Reads the preview text of a line by its number; false when it cannot.
    using line_text_source = std::function<bool(uint64_t line, std::u16string& text)>;

    explicit CFileScopeCtrl(QWidget* parent = nullptr);

    // Takes the file's shape and repaints; ignored (false) under the rules of
    // file_scope_map::SetScope.  line_text may be empty (no tooltips).
    bool SetScope(uint64_t file_size, uint64_t total_lines, int64_t window_first, int64_t window_last,
                  uint64_t window_size, line_text_source line_text);

    const file_scope_map& Map() const { return m_map; }
    bool IsDragging() const { return m_dragging; }
    // The drag segment [start, end) while dragging.
    int DragStart() const { return m_drag_start; }
    int DragEnd() const { return m_drag_end; }
    // The size text drawn on the bar (empty for an empty file).
    QString SizeText() const { return m_size_text; }
    // Plain text of the tooltip for the mouse at x now; empty while tooltips are off.
    QString ToolTipTextAt(int x) const;
    // Plain text of the tooltip shown last; empty when none was shown since the last SetScope.
    QString LastToolTip() const { return m_last_tooltip; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The user pressed the mouse on the active bar: a drag begins.
    void DragStarted();
    // Notification 100: the drag ended; show a window starting at line.
    void LineRequested(qint64 line);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void OnToolTipTimer();
    void OnLeaveTimer();
    void UpdateCursor();
    bool MouseInInner() const;
    QString LineText(int64_t line) const;

    file_scope_map m_map;
    line_text_source m_line_text;
    QString m_size_text;
    bool m_dragging = false;
    int m_drag_start = 0;
    int m_drag_end = 0;
    QPoint m_mouse{-1, -1}; // last mouse position, (-1, -1) once it left
    QTimer m_tooltip_timer; // 500 ms after the last move
    QTimer m_leave_timer;   // 100 ms after the last move outside a drag
    QString m_last_tooltip;
};
