// Pieces the filter and highlight dialogs share: the list of conditions or
// rules with its row selection, the narrow recent-list arrow beside Add, and
// the favourites row (a box of names under a recall entry, Add Favorite and
// Delete Favorite) working on a map of named sets.
//
// Thread-safety: interface thread only.
#pragma once

#include <QStringList>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class QComboBox;
class QHBoxLayout;
class QMenu;
class QPushButton;
class QTableWidget;
class QWidget;

// A read-only table of whole rows, one selected at a time, with headers;
// the first column takes the room the others leave.
QTableWidget* MakeRuleTable(QWidget* parent, int id, const QStringList& headers, int min_width_du,
                            int min_height_du);
// The selected row, or -1.
int SelectedTableRow(const QTableWidget& table);
// Selects row and scrolls to it; a row out of range clears the selection.
void SelectTableRow(QTableWidget& table, int row);

// A push button with id as its object name that is never the default.
QPushButton* DialogButton(QWidget* parent, int id, std::u16string_view key);
// The arrow button beside Add that opens the recent list: narrow, but never
// narrower than the style draws the arrow.
QPushButton* MakeRecentButton(QWidget* parent, int id);
// Shows menu under button until it closes.
void PopUpUnder(QMenu& menu, const QPushButton& button);

// Refills a favourites drop-down: the recall entry first, then names sorted
// by text ignoring case; the recall entry is selected.
void FillFavoriteBox(QComboBox& box, const std::vector<std::u16string>& names);
// Inserts name at its sorted place after the recall entry and selects it.
void InsertFavoriteName(QComboBox& box, const std::u16string& name);
// Removes the entry of name (not the recall entry).
void RemoveFavoriteName(QComboBox& box, const std::u16string& name);

// The favourites row: label, box, Add Favorite, Delete Favorite.
class favorite_row {
public:
    struct keys {
        int box_id;
        int add_id;
        int delete_id;
        std::u16string_view label;
        std::u16string_view add;
        std::u16string_view remove;
        std::u16string_view name_title; // the name question's title and label
        std::u16string_view name_label;
    };

    favorite_row(QWidget* parent, const keys& what);

    QHBoxLayout* layout() const { return m_layout; }
    QComboBox* box() const { return m_box; }
    QPushButton* add_button() const { return m_add; }
    QPushButton* delete_button() const { return m_delete; }

    // Add Favorite while there is something to keep; Delete Favorite while a
    // favourite is chosen.
    void UpdateButtons(bool can_add) const;

    template <typename Value> void Fill(const std::map<std::u16string, Value>* favorites) const
    {
        FillFavoriteBox(*m_box, Names(favorites));
    }

    // The favourite chosen at index of the box, or none (the recall entry).
    template <typename Value>
    const Value* Chosen(int index, const std::map<std::u16string, Value>* favorites) const
    {
        if (index <= 0 || !favorites)
            return nullptr;
        const auto found = favorites->find(BoxName(index));
        return found == favorites->end() ? nullptr : &found->second;
    }

    // Asks a name and keeps value under it (replacing a favourite of the
    // same name ignoring case when the user agrees); false when the user
    // gave no name.
    template <typename Value> bool Keep(std::map<std::u16string, Value>& favorites, const Value& value) const
    {
        std::u16string replaced;
        const std::optional<std::u16string> name = AskName(Names(&favorites), replaced);
        if (!name)
            return false;
        if (!replaced.empty()) {
            favorites.erase(replaced);
            RemoveFavoriteName(*m_box, replaced);
        }
        favorites[*name] = value;
        InsertFavoriteName(*m_box, *name);
        return true;
    }

    // Deletes the chosen favourite after asking; false when none is chosen
    // or the user said no.
    template <typename Value> bool DeleteChosen(std::map<std::u16string, Value>& favorites) const
    {
        const std::optional<std::u16string> name = ConfirmDelete();
        if (!name)
            return false;
        favorites.erase(*name);
        RemoveFavoriteName(*m_box, *name);
        ResetBox();
        return true;
    }

private:
    template <typename Value>
    static std::vector<std::u16string> Names(const std::map<std::u16string, Value>* favorites)
    {
        std::vector<std::u16string> names;
        if (favorites)
            for (const auto& entry : *favorites)
                names.push_back(entry.first);
        return names;
    }
    std::u16string BoxName(int index) const;
    std::optional<std::u16string> AskName(const std::vector<std::u16string>& names, std::u16string& replaced) const;
    // The chosen favourite's name once the user agreed to delete it.
    std::optional<std::u16string> ConfirmDelete() const;
    void ResetBox() const;

    keys m_keys;
    QWidget* m_parent;
    QHBoxLayout* m_layout = nullptr;
    QComboBox* m_box = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_delete = nullptr;
};
