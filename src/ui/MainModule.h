#pragma once

#include <QString>

class QWidget;
class SkinFramework;
struct Runtime;

// The shared procedures of the screens.
namespace Main {

// Gives the screen and its frames, labels, check and option boxes the system face colour.
void ApplyFaceColor(QWidget* screen);
// With the skin file present: the face colour, then the skin component's five calls.
void ApplySkin(QWidget& screen, SkinFramework& skin, const QString& applicationFolder);
// The application title: the product title cut at its last blank, until at most 40 characters.
QString ApplicationTitleFor(const QString& productTitle);
void SetAppTitle(Runtime& runtime);
void OpenHomePageRarely(const Runtime& runtime);

}  // namespace Main

// Ends the program at once: every screen closes, no further handler runs.
void EndProgram();
