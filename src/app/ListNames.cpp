#include "ListNames.h"

#include "ui/TableList.h"

namespace Main {

bool ListHasName(const TableList& list, const QString& name) {
    const QString lower = name.toLower();
    for (int i = 0; i < list.count(); ++i)
        if (list.entryText(i).toLower() == lower)
            return true;
    return false;
}

void RemoveListName(TableList& list, const QString& name) {
    for (int i = list.count() - 1; i >= 0; --i)
        if (list.entryText(i) == name)
            list.removeEntry(i);
}

}  // namespace Main
