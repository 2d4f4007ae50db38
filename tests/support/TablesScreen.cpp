#include "TablesScreen.h"

TablesScreen::TablesScreen(QString dataSource) : dsn(std::move(dataSource)) {
    shell = std::make_unique<Shell>(test.runtime);
    form1 = &shell->connectionScreen();
    form1->Text1->setText(folder());
    form1->Text2->setText(dsn);
}

void TablesScreen::writeParadoxTable(const std::string& fileName,
                                     const std::vector<px::Field>& fields,
                                     const std::vector<std::vector<px::Value>>& rows) {
    pxfixture::writeTable(paradox.file(fileName), {12, 2, 1252, fields}, rows);
}

void TablesScreen::select(TableList& list, const QStringList& names) {
    list.clearSelection();
    bool first = true;
    for (int i = 0; i < list.count(); ++i) {
        if (!names.contains(list.entryText(i)))
            continue;
        if (first)
            list.setListIndex(i);
        first = false;
        list.setEntrySelected(i, true);
    }
}

QStringList TablesScreen::entries(const TableList& list) {
    QStringList names;
    for (int i = 0; i < list.count(); ++i)
        names << list.entryText(i);
    return names;
}
