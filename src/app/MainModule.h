#pragma once

#include <QString>

class QWidget;
class Form1;
struct Runtime;

// The shared procedures of the application shell.
namespace Main {

// True when the path's date and time of last change can be read; never fails.
bool FileExists(const QString& path);
// Gives the screen and its frames, labels, check and option boxes the system face colour.
void ApplyFaceColor(QWidget* screen);
// With the skin file present: the face colour, then the skin component's five calls.
void ApplySkin(Form1& form, const Runtime& runtime);
// The application title: the product title cut at its last blank, until at most 40 characters.
QString ApplicationTitleFor(const QString& productTitle);
void SetAppTitle(Runtime& runtime);
void OpenHomePageRarely(const Runtime& runtime);
// True when the path's attributes can be read and it is a folder.
bool FolderExists(const QString& path);
// The part of a path after its last separator, the whole path when it has none.
QString FileNameFromPath(const QString& path);

}  // namespace Main
