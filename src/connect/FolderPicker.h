#pragma once

#include <QString>

class Dialogs;
class QWidget;

namespace AddFolder {

// The folder chosen in a modal folder chooser opened at `startFolder`, or "" on cancel.
QString BrowseForFolder(Dialogs& dialogs, QWidget* owner, const QString& title,
                        const QString& startFolder);

}  // namespace AddFolder
