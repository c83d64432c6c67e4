// Menu items made from a list of texts (recent files, column names): one
// command per entry, ids counting up from a first id.
//
// Thread-safety: interface thread only.
#pragma once

#include <QString>

#include <string>
#include <vector>

class command_router;
class QMenu;

// Appends an item for each of the first limit texts, shown literally ("&" is
// no mnemonic), as command first_id + index with that id as objectName; each
// routes its id through router, which must outlive the menu.  Returns the
// number of items added.
int AppendListCommands(QMenu& menu, const std::vector<std::u16string>& texts, int first_id, int limit,
                       const command_router& router);
