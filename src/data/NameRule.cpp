#include "NameRule.h"

#include "products/TargetProduct.h"

std::optional<NameRule::Style> NameRule::styleNamed(const QString& word) {
    if (word == QLatin1String("as-is"))
        return Style::AsIs;
    if (word == QLatin1String("lower"))
        return Style::Lower;
    if (word == QLatin1String("snake"))
        return Style::Snake;
    return std::nullopt;
}

QString NameRule::wordOf(Style style) {
    switch (style) {
        case Style::Lower:
            return QStringLiteral("lower");
        case Style::Snake:
            return QStringLiteral("snake");
        case Style::AsIs:
            break;
    }
    return QStringLiteral("as-is");
}

QString NameRule::operator()(const QString& name) const {
    if (style_ == Style::AsIs)
        return name;
    const QString lower = name.toLower();
    if (style_ == Style::Lower)
        return lower;
    QString snake;
    for (const QChar character : lower) {
        if (character.isLetterOrNumber())
            snake += character;
        else if (!snake.endsWith(QLatin1Char('_')))
            snake += QLatin1Char('_');
    }
    while (snake.endsWith(QLatin1Char('_')))
        snake.chop(1);
    while (snake.startsWith(QLatin1Char('_')))
        snake.remove(0, 1);
    if (snake.isEmpty() || snake.front().isDigit())
        snake.prepend(QLatin1Char('_'));
    if (product_->reserves(snake))
        snake += QLatin1Char('_');
    return snake;
}
