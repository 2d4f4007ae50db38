#include "ScriptedDialogs.h"

#include <stdexcept>

namespace {

template <typename T>
T next(std::deque<T>& answers, const char* what) {
    if (answers.empty())
        throw std::logic_error(std::string("the test gave no answer for a ") + what);
    T answer = answers.front();
    answers.pop_front();
    return answer;
}

// The kind of box, told by what it shows.
QString kindOf(const Dialogs::Box& box) {
    if (box.buttons == Dialogs::Buttons::YesNo)
        return QStringLiteral("question");
    switch (box.icon) {
        case Dialogs::Icon::Warning:
            return QStringLiteral("error");
        case Dialogs::Icon::Critical:
            return QStringLiteral("unhandled");
        case Dialogs::Icon::None:
            break;
    }
    return QStringLiteral("message");
}

}  // namespace

QStringList ScriptedDialogs::texts(const QString& kind) const {
    QStringList result;
    for (const Call& call : calls_)
        if (call.kind == kind)
            result << call.text;
    return result;
}

bool ScriptedDialogs::showBox(QWidget*, const Box& box) {
    calls_.push_back({kindOf(box), box.title, box.text, {}});
    if (box.buttons != Buttons::YesNo)
        return true;
    if (whileAsking)
        whileAsking();
    return next(questions_, "question");
}

QString ScriptedDialogs::askText(QWidget*, const QString& title, const QString& prompt,
                                 const QString& defaultText) {
    calls_.push_back({QStringLiteral("input"), title, prompt, defaultText});
    return next(inputs_, "input box");
}

QString ScriptedDialogs::askFolder(QWidget*, const QString& title, const QString& startFolder) {
    calls_.push_back({QStringLiteral("folder"), title, {}, startFolder});
    return next(folders_, "folder chooser");
}
