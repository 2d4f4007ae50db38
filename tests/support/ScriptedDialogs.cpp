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
}  // namespace

QStringList ScriptedDialogs::texts(const QString& kind) const {
    QStringList result;
    for (const Call& call : calls_)
        if (call.kind == kind)
            result << call.text;
    return result;
}

void ScriptedDialogs::message(QWidget*, const QString& text) {
    calls_.push_back({QStringLiteral("message"), applicationTitle_, text, {}});
}

bool ScriptedDialogs::question(QWidget*, const QString& text, const QString& title) {
    calls_.push_back({QStringLiteral("question"), title, text, {}});
    return next(questions_, "question");
}

QString ScriptedDialogs::input(QWidget*, const QString& prompt, const QString& defaultText) {
    calls_.push_back({QStringLiteral("input"), applicationTitle_, prompt, defaultText});
    return next(inputs_, "input box");
}

QString ScriptedDialogs::chooseFolder(QWidget*, const QString& title, const QString& startFolder) {
    calls_.push_back({QStringLiteral("folder"), title, {}, startFolder});
    return next(folders_, "folder chooser");
}

void ScriptedDialogs::error(QWidget*, const QString& text) {
    calls_.push_back({QStringLiteral("error"), QStringLiteral("Application Error"), text, {}});
}

void ScriptedDialogs::unhandled(QWidget*, const QString& text) {
    calls_.push_back({QStringLiteral("unhandled"), applicationTitle_, text, {}});
}
