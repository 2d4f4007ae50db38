#include "CheckedValue.h"

#include <algorithm>

#include <cctype>
#include <charconv>
#include <cstdlib>

namespace CheckedValue {

namespace {

constexpr qsizetype kShownCharacters = 60;

std::string shortestDouble(double value) {
    return ado::Variant::real(value).toText();
}

bool isFloatRendering(std::string_view text) {
    return text.find_first_of(".eE") != std::string_view::npos;
}

}  // namespace

std::optional<std::string> plainDecimal(std::string_view text) {
    size_t at = 0;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-'))
        negative = text[at++] == '-';
    std::string digits;  // all digits, integral and fractional
    long long point = -1;
    for (; at < text.size() &&
           (std::isdigit(static_cast<unsigned char>(text[at])) || (text[at] == '.' && point < 0));
         ++at) {
        if (text[at] == '.')
            point = static_cast<long long>(digits.size());
        else
            digits += text[at];
    }
    if (digits.empty())
        return std::nullopt;
    if (point < 0)
        point = static_cast<long long>(digits.size());
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        int exponent = 0;
        const char* begin = text.data() + at + 1 + (text.substr(at + 1).starts_with('+') ? 1 : 0);
        const auto [end, error] = std::from_chars(begin, text.data() + text.size(), exponent);
        if (error != std::errc() || exponent < -4000 || exponent > 4000)
            return std::nullopt;
        at = static_cast<size_t>(end - text.data());
        point += exponent;
    }
    if (at != text.size())
        return std::nullopt;
    // Pad so that the point lies within the digits, then trim zeros on both sides.
    if (point < 0) {
        digits.insert(0, static_cast<size_t>(-point), '0');
        point = 0;
    }
    if (point > static_cast<long long>(digits.size()))
        digits.append(static_cast<size_t>(point) - digits.size(), '0');
    std::string integral = digits.substr(0, static_cast<size_t>(point));
    std::string fraction = digits.substr(static_cast<size_t>(point));
    integral.erase(0, std::min(integral.find_first_not_of('0'), integral.size()));
    fraction.erase(std::min(fraction.find_last_not_of('0') + 1, fraction.size()));
    std::string plain = integral.empty() ? "0" : integral;
    if (!fraction.empty())
        plain += "." + fraction;
    if (negative && plain != "0")
        plain.insert(0, 1, '-');
    return plain;
}

std::optional<std::string> of(const ado::Variant& value, const CheckedColumn& column) {
    using Kind = ado::Variant::Kind;
    if (value.isNull())
        return std::nullopt;
    switch (column.compare) {
        case CheckedColumn::Compare::Text: {
            std::string text = value.toText();
            return text.empty() ? std::nullopt : std::optional(std::move(text));
        }
        case CheckedColumn::Compare::Number: {
            if (value.kind() == Kind::Double)
                return shortestDouble(value.asDouble());
            const std::string text = value.toText();
            if (text.empty())
                return std::nullopt;
            if (column.doublesAsDecimals && value.kind() == Kind::Text && isFloatRendering(text))
                return shortestDouble(std::strtod(text.c_str(), nullptr));
            return plainDecimal(text).value_or(text);
        }
        case CheckedColumn::Compare::Typed:
            break;
    }
    if (column.type == ado::ValueType::Decimal || column.type == ado::ValueType::Double) {
        CheckedColumn asNumber = column;
        asNumber.compare = CheckedColumn::Compare::Number;
        return of(value, asNumber);
    }
    if (value.kind() == Kind::Bytes)
        return value.raw();
    std::string text = value.toText();
    if (column.type == ado::ValueType::Text && text.empty())
        return std::nullopt;
    return text;
}

QString shown(const std::optional<std::string>& value, const CheckedColumn& column) {
    if (!value)
        return QStringLiteral("NULL");
    QString text =
        column.compare == CheckedColumn::Compare::Typed && column.type == ado::ValueType::Binary
            ? QString::fromLatin1(QByteArray::fromStdString(*value).toHex().toUpper())
            : QString::fromStdString(*value);
    if (text.size() > kShownCharacters)
        text = text.left(kShownCharacters) + QStringLiteral("…");
    return QLatin1Char('\'') + text + QLatin1Char('\'');
}

namespace {

// The text with what one cannot see escaped.
QString escaped(const QString& text) {
    qsizetype visibleEnd = text.size();
    while (visibleEnd > 0 && text[visibleEnd - 1] == QLatin1Char(' '))
        --visibleEnd;
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\\')
            out += QStringLiteral("\\\\");
        else if (c == 0)
            out += QStringLiteral("\\0");
        else if (c == u'\t')
            out += QStringLiteral("\\t");
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else if (c < 0x20 || c == 0x7F || (c == u' ' && i >= visibleEnd))
            out += QStringLiteral("\\x") +
                   QString::number(int(c), 16).rightJustified(2, QLatin1Char('0')).toUpper();
        else
            out += text[i];
    }
    return out;
}

// `text` from around `from` (0-based), escaped, quoted, within the shown length; `told` is set
// when the reader needs the position to see the difference (a part shown, a character escaped).
QString excerpt(const QString& text, qsizetype from, bool& told) {
    const qsizetype start = text.size() > kShownCharacters ? std::max<qsizetype>(0, from - 10) : 0;
    const QString part = text.mid(start, kShownCharacters);
    const QString shownPart = escaped(part);
    const bool cut = start + kShownCharacters < text.size();
    told = told || start > 0 || cut || shownPart != part;
    return QLatin1Char('\'') + (start > 0 ? QStringLiteral("…") : QString()) + shownPart +
           (cut ? QStringLiteral("…") : QString()) + QLatin1Char('\'');
}

}  // namespace

ShownPair shownPair(const std::optional<std::string>& sent,
                    const std::optional<std::string>& stored, const CheckedColumn& column) {
    const bool bytes =
        column.compare == CheckedColumn::Compare::Typed && column.type == ado::ValueType::Binary;
    if (!sent || !stored || bytes)
        return {shown(sent, column), shown(stored, column), 0};
    const QString left = QString::fromStdString(*sent);
    const QString right = QString::fromStdString(*stored);
    qsizetype at = 0;
    while (at < left.size() && at < right.size() && left[at] == right[at])
        ++at;
    bool told = false;
    ShownPair pair{excerpt(left, at, told), excerpt(right, at, told), 0};
    pair.firstDifference = told ? at + 1 : 0;
    return pair;
}

}  // namespace CheckedValue
