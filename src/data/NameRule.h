#pragma once

#include <QString>

#include <optional>

class TargetProduct;

// How the command line names the tables and columns it makes from Paradox's names: as they are,
// in lower case, or in snake_case, which needs no quotes on the target: every character but a
// letter, a digit or "_" becomes "_", runs of "_" fold into one and go at the ends, a leading
// digit gets a "_" before it, and a word the target reserves gets one after it.
class NameRule {
  public:
    enum class Style { AsIs, Lower, Snake };

    // The style an option names: "as-is", "lower" or "snake".
    static std::optional<Style> styleNamed(const QString& word);

    NameRule() = default;
    // `product` must outlive the rule: its reserved words decide a snake_case name.
    NameRule(Style style, const TargetProduct& product) : style_(style), product_(&product) {}

    QString operator()(const QString& name) const;
    // The option's word for a style.
    static QString wordOf(Style style);
    QString styleWord() const { return wordOf(style_); }
    bool keepsNames() const { return style_ == Style::AsIs; }

  private:
    Style style_ = Style::AsIs;
    const TargetProduct* product_ = nullptr;
};
