#include "TableList.h"

#include <QMouseEvent>

#include "ScreenFonts.h"

TableList::TableList(const QString& objectName, QWidget* parent) : QListWidget(parent) {
    setObjectName(objectName);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setFont(ScreenFonts::text());
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
}

QString TableList::entryText(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry ? entry->text() : QString();
}

QString TableList::entryData(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry ? entry->data(Qt::UserRole).toString() : QString();
}

bool TableList::isEntrySelected(int index) const {
    const QListWidgetItem* entry = item(index);
    return entry && entry->isSelected();
}

void TableList::setEntrySelected(int index, bool selected) {
    if (QListWidgetItem* entry = item(index))
        entry->setSelected(selected);
}

int TableList::selectedCount() const {
    return static_cast<int>(selectedItems().size());
}

void TableList::setListIndex(int index) {
    setCurrentRow(index, QItemSelectionModel::NoUpdate);
}

void TableList::addEntry(const QString& text, const QString& entryData) {
    // Binary search for the first entry that sorts after the new one.
    int low = 0;
    int high = count();
    while (low < high) {
        const int middle = (low + high) / 2;
        if (QString::compare(item(middle)->text(), text, Qt::CaseInsensitive) <= 0)
            low = middle + 1;
        else
            high = middle;
    }
    auto* entry = new QListWidgetItem(text);
    entry->setData(Qt::UserRole, entryData);
    insertItem(low, entry);
}

void TableList::removeEntry(int index) {
    delete takeItem(index);
}

void TableList::mouseMoveEvent(QMouseEvent* event) {
    emit mouseMoved();
    QListWidget::mouseMoveEvent(event);
    event->accept();  // the frame behind the list must not see the move
}
