#include "CheckedValue.h"

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

}  // namespace CheckedValue
