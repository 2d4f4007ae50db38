#pragma once

#include <QListWidget>

// A list of table names kept in alphabetical order without regard to letter case, with extended
// multiple selection and a current entry that is -1 when there is none. Each entry may carry a
// data string of its own (the file a Paradox table was listed from).
class TableList : public QListWidget {
    Q_OBJECT
  public:
    TableList(const QString& objectName, QWidget* parent);

    int count() const { return QListWidget::count(); }
    QString entryText(int index) const;
    QString entryData(int index) const;
    bool isEntrySelected(int index) const;
    void setEntrySelected(int index, bool selected);
    int selectedCount() const;
    int listIndex() const { return currentRow(); }
    // Makes the entry current without changing any selection flag.
    void setListIndex(int index);
    void removeAll() { clear(); }
    // Inserts at the sorted place, not selected; equal names go after the ones already there.
    void addEntry(const QString& text, const QString& entryData = {});
    void removeEntry(int index);

  signals:
    void mouseMoved();

  protected:
    void mouseMoveEvent(QMouseEvent* event) override;
};
