// A colour swatch: shows one colour (a 0x00BBGGRR value, black at first) and
// opens a colour dialog when the user releases the left button over it (or
// presses Space or Enter while it has the focus).  Only a colour taken with
// OK changes the swatch and notifies the owner (ColorPicked, notification
// 100).  The colour dialog is injectable so that tests can answer it.
//
// Thread-safety: interface thread only.
#pragma once

#include <QWidget>

#include <cstdint>
#include <functional>
#include <optional>

class CFGColorPicker : public QWidget {
    Q_OBJECT
public:
    // Asks the user for a colour starting at initial; nothing when cancelled.
    using color_dialog = std::function<std::optional<uint32_t>(uint32_t initial, QWidget* parent)>;

    explicit CFGColorPicker(QWidget* parent = nullptr);

    void SetColor(uint32_t color);
    uint32_t GetColor() const { return m_color; }

    // Replaces the colour dialog (an empty function restores the standard one).
    void SetColorDialog(color_dialog dialog);
    // The standard dialog: Qt's colour dialog, any colour allowed.
    static std::optional<uint32_t> StandardColorDialog(uint32_t initial, QWidget* parent);

    // Opens the colour dialog now, as a click does.
    void PickColor();

    QSize sizeHint() const override;

signals:
    // The user took color with OK.
    void ColorPicked(uint32_t color);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    uint32_t m_color = 0;
    color_dialog m_dialog;
};
