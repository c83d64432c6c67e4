// An IPv4 address entry: four fields of 0 to 255 between dots, drawn as one
// edit.  Typing a third digit, or '.' or a space after a digit, moves on to
// the next field; Backspace in an empty field and Left at a field's start go
// back, Right at a field's end goes on.  A number above 255 becomes 255 with
// a beep.  Pasting a whole address fills all four fields.  An empty field
// reads as 0.
//
// Thread-safety: interface thread only.
#pragma once

#include <QFrame>

#include <array>
#include <cstdint>

class QLineEdit;

class CIPAddressCtrl : public QFrame {
    Q_OBJECT
public:
    explicit CIPAddressCtrl(QWidget* parent = nullptr);

    // The address with the first field in the most significant byte.
    void SetAddress(uint32_t address);
    uint32_t Address() const;
    // The four fields as numbers, empty ones as 0.
    std::array<int, 4> Fields() const;
    // True when every field is empty.
    bool IsBlank() const;
    QLineEdit* Field(int index) const { return m_fields[static_cast<std::size_t>(index)]; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnEdited(int index);
    void MoveTo(int index, bool select_all);
    bool Paste(int index);

    std::array<QLineEdit*, 4> m_fields{};
};
