#include "ui/menu_items.h"

#include "ui/command_router.h"
#include "ui/ui_text.h"

#include <QAction>
#include <QMenu>

#include <algorithm>

int AppendListCommands(QMenu& menu, const std::vector<std::u16string>& texts, int first_id, int limit,
                       const command_router& router)
{
    const int count = limit > 0 ? static_cast<int>(std::min(texts.size(), static_cast<std::size_t>(limit))) : 0;
    for (int i = 0; i < count; ++i) {
        const int id = first_id + i;
        QAction* action = menu.addAction(Literal(ToQString(texts[static_cast<std::size_t>(i)])));
        action->setObjectName(IdObjectName(id));
        QObject::connect(action, &QAction::triggered, &menu, [&router, id] { router.route(id); });
    }
    return count;
}
