#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The skin component: a skin file holds a Qt style sheet, applied to a window. Its numbered
// properties are kept for the calls the start-up makes; only the sheet changes the look.
class SkinFramework {
  public:
    void loadSkin(const QString& path, const QString& ini);
    int property(int id) const;
    void setProperty(int id, int value);
    void applyWindow(QWidget* window);

    // What was called, in order; the screens' tests read it.
    const QStringList& calls() const { return calls_; }

  private:
    QString styleSheet_;
    int properties_[16] = {};
    QStringList calls_;
};
