// The main window's status bar: five parts ending at 13, 26, 38 and 47 times
// m (m being six horizontal dialog units of the bar's font) and at the right
// edge.  Parts 0 to 2 show the total, filtered and selected texts, part 3
// holds the encoding chooser (control 173) and part 4 the file-scope bar
// (control 134); both children fill their part less one pixel on every side.
// A compressed file's packing ("gzip", with a note when its data ends early
// or is damaged), the focused row's line number ("Line: n"), while the file looks binary a
// short note saying so, and while it has lines shown cut a note saying how
// many ("Long lines cut: n"), the notes with a tooltip, take the start of
// part 4, each as wide as its text, and the file-scope bar the rest.
// The bar makes no engine calls: the main window gives it values and reacts
// to its signals.
//
// Thread-safety: interface thread only.
#pragma once

#include "ui/command_state.h"

#include <QStatusBar>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

class CFileScopeCtrl;
class QComboBox;
class QLabel;
class QTimer;

// What the encoding chooser offers for the active file.
struct encoding_choice {
    std::vector<QString> entries;
    int selected = -1;
    bool enabled = false;
};

// No file: empty and disabled.  A file without byte-order mark whose encoding
// is known: "ANSI" and "UTF-8" (entry 1 for UTF-8), enabled.  Otherwise the
// unknown text, "UCS-2(LE)", "UCS-2(BE)" and "UTF-8", selected by the
// encoding, disabled.
encoding_choice EncodingChoice(bool has_file, bool has_bom, int32_t encoding);

class CLVStatusBarCtrl : public QStatusBar {
    Q_OBJECT
public:
    static constexpr int kPartCount = 5;

    explicit CLVStatusBarCtrl(QWidget* parent = nullptr);

    // Parts 0 to 2 (empty texts without a file).
    void SetStatusTexts(const status_texts& texts);
    // A short note (a reload after rotation) in part 0 in place of its text
    // for milliseconds, then the part's own text again; never drawn over
    // the other parts.
    void ShowNote(const QString& text, int milliseconds);
    // The note shown now, empty when none.
    QString Note() const { return m_note; }
    // Ends the note early: part 0 shows its own text again.
    void ClearNote();
    // Refills the encoding chooser for the active file (see EncodingChoice).
    void SetEncoding(bool has_file, bool has_bom, int32_t encoding);

    QLabel* TextPart(int index) const { return m_texts.at(static_cast<std::size_t>(index)); }
    // The long-lines note; hidden while the file has no line shown cut.
    QLabel* CutNote() const { return m_cut_note; }
    // The binary-data note; hidden while the file looks like text.
    QLabel* BinaryNote() const { return m_binary_note; }
    // A compressed file's packing and note; hidden for a plain file.
    QLabel* PackingNote() const { return m_packing_note; }
    // "Line: n" for the focused row; hidden without one.
    QLabel* LinePart() const { return m_line_part; }
    QComboBox* EncodingBox() const { return m_encoding; }
    CFileScopeCtrl* FileScopeBar() const { return m_scope; }

    // m: six horizontal dialog units of the bar's font, in pixels.
    int PartUnit() const;
    // The rectangle of part index (0-4) in the bar's coordinates.
    QRect PartRect(int index) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // The user chose another encoding in the chooser: ENCODING_ANSI or ENCODING_UTF8.
    void EncodingChosen(int32_t encoding);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void LayoutParts();
    // Shows text in note (hidden when empty) and lays out again on a change.
    void SetNote(QLabel* note, const QString& text);
    int PartsRight() const;

    std::array<QLabel*, 3> m_texts{};
    QString m_note;
    QString m_total_text; // part 0's own text while a note covers it
    QTimer* m_note_timer = nullptr;
    QLabel* m_cut_note = nullptr;
    QLabel* m_binary_note = nullptr;
    QLabel* m_packing_note = nullptr;
    QLabel* m_line_part = nullptr; // the focused row's line number
    QComboBox* m_encoding = nullptr;
    CFileScopeCtrl* m_scope = nullptr;
    int32_t m_file_encoding = 0; // the encoding the chooser was last filled for
};
