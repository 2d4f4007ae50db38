#include "TableCheck.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <functional>
#include <iterator>
#include <limits>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <unordered_map>

#include "CheckedRows.h"
#include "RowDigest.h"
#include "ado/Connection.h"
#include "data/Datatype.h"
#include "runtime/Counting.h"

namespace TableCheck {

namespace {

using Row = CheckedRows::Row;

constexpr size_t kMostExamples = 100;
constexpr long long kRowsPerRound = 100000;  // what a round of the pairing holds, on average
constexpr size_t kMostRowsHeld = 4 * kRowsPerRound;  // what it may hold when keys repeat
constexpr double kKeySimilarity = 0.9;

// The bytes a row is hashed and compared by: each value with its length, NULL apart from "".
void serialize(const Row& row, std::string& out) {
    out.clear();
    for (const std::optional<std::string>& value : row) {
        if (!value) {
            out += '\0';
            continue;
        }
        const auto length = static_cast<uint32_t>(value->size());
        out += '\1';
        out.append(reinterpret_cast<const char*>(&length), sizeof length);
        out += *value;
    }
}

// The distinct values of each column of one side, in brief.
using Sketches = std::vector<RowDigest::Sketch>;

void sketch(Sketches& sketches, const Row& row) {
    for (size_t i = 0; i < row.size(); ++i)
        sketches[i].add(row[i] ? std::string_view(*row[i]) : std::string_view("\0", 1));
}

struct HeldRow {
    long long number = 0;
    Row values;
    std::string bytes;
    std::string key;
};

// The second pass: rows paired by the columns that arrived unchanged, round by round.
class Pairing {
  public:
    Pairing(Result& result, const std::vector<CheckedColumn>& columns, std::vector<size_t> keys,
            long long rounds)
        : result_(result), columns_(columns), keys_(std::move(keys)), rounds_(rounds) {}

    // The round of each row, by the columns that arrived unchanged: a row and its changed copy
    // fall in the same round. Fills in the row's bytes and key.
    long long roundOf(HeldRow& row) const {
        serialize(row.values, row.bytes);
        keyOf(row);
        return static_cast<long long>(RowDigest::hash(row.key, 7) % static_cast<uint64_t>(rounds_));
    }

    // Matches the equal rows of one round and keeps the rest for finish(). False, with nothing
    // kept, when the round or the rows left over hold more than the check may hold at once.
    bool round(const CheckedRows& reader, long long round) {
        std::vector<HeldRow> sent;
        std::unordered_map<std::string, std::vector<size_t>> unmatched;  // by bytes
        bool tooMany = false;
        reader.source([&](long long number, const Row& values) {
            HeldRow row{number, values, {}, {}};
            if (tooMany || roundOf(row) != round)
                return;
            tooMany = sent.size() >= kMostRowsHeld;
            unmatched[row.bytes].push_back(sent.size());
            sent.push_back(std::move(row));
        });
        if (tooMany)
            return false;
        std::vector<bool> matched(sent.size());
        std::vector<HeldRow> extra;
        reader.stored([&](const Row& values) {
            HeldRow row{0, values, {}, {}};
            if (tooMany || roundOf(row) != round)
                return;
            const auto same = unmatched.find(row.bytes);
            if (same != unmatched.end() && !same->second.empty()) {
                matched[same->second.back()] = true;
                same->second.pop_back();
            } else {
                tooMany = extra.size() >= kMostRowsHeld;
                extra.push_back(std::move(row));
            }
        });
        if (tooMany)
            return false;
        // What is left of each round is paired once every round is read: a changed value in a
        // column that looked unchanged moves the row's copy into another round.
        size_t left = extra.size();
        for (size_t i = 0; i < sent.size(); ++i)
            left += !matched[i];
        if (missing_.size() + extra_.size() + left > kMostRowsHeld)
            return false;
        for (size_t i = 0; i < sent.size(); ++i)
            if (!matched[i])
                missing_.push_back(std::move(sent[i]));
        std::move(extra.begin(), extra.end(), std::back_inserter(extra_));
        return true;
    }

    // Pairs the rows left over by the rounds.
    void finish() { pairUp(missing_, extra_); }

    // Enough rows are left over to name the first examples.
    bool enoughExamples() const { return missing_.size() + extra_.size() >= 2 * kMostExamples; }

    // Keeps the first examples by source row; rows stored that were not sent come last.
    void keepFirstExamples() {
        std::vector<Difference>& examples = result_.examples;
        const auto order = [](const Difference& d) {
            return d.row == 0 ? std::numeric_limits<long long>::max() : d.row;
        };
        std::stable_sort(examples.begin(), examples.end(),
                         [&](const Difference& a, const Difference& b) {
                             if (order(a) != order(b))
                                 return order(a) < order(b);
                             return std::tie(a.column, a.stored) < std::tie(b.column, b.stored);
                         });
        if (examples.size() > kMostExamples)
            examples.resize(kMostExamples);
    }

  private:
    void keyOf(HeldRow& row) const {
        Row key;
        for (size_t column : keys_)
            key.push_back(row.values[column]);
        if (keys_.empty())
            row.key = row.bytes;
        else
            serialize(key, row.key);
    }

    void example(Difference difference) {
        result_.examples.push_back(std::move(difference));
        if (result_.examples.size() > 2 * kMostExamples)
            keepFirstExamples();
    }

    void compare(const HeldRow& sent, const HeldRow& stored) {
        for (size_t i = 0; i < columns_.size(); ++i) {
            if (sent.values[i] == stored.values[i])
                continue;
            ++result_.valuesDiffer;
            const CheckedValue::ShownPair shown =
                CheckedValue::shownPair(sent.values[i], stored.values[i], columns_[i]);
            example(
                {sent.number, columns_[i].name, shown.sent, shown.stored, shown.firstDifference});
        }
    }

    static size_t equalValues(const HeldRow& a, const HeldRow& b) {
        size_t equal = 0;
        for (size_t i = 0; i < a.values.size(); ++i)
            equal += a.values[i] == b.values[i];
        return equal;
    }

    // Pairs the rows left unmatched: first those of one key, then by the most values in common;
    // the rest were sent and not stored, or stored and not sent. Sorting makes the pairs the
    // same whatever order the rows came in.
    void pairUp(std::vector<HeldRow>& missing, std::vector<HeldRow>& extra) {
        const auto byKey = [](const HeldRow& a, const HeldRow& b) {
            return std::tie(a.key, a.bytes, a.number) < std::tie(b.key, b.bytes, b.number);
        };
        std::sort(missing.begin(), missing.end(), byKey);
        std::sort(extra.begin(), extra.end(), byKey);
        std::vector<bool> paired(extra.size());
        std::vector<const HeldRow*> left;
        size_t e = 0;
        for (const HeldRow& sent : missing) {
            while (e < extra.size() && extra[e].key < sent.key)
                ++e;
            if (!keys_.empty() && e < extra.size() && extra[e].key == sent.key) {
                compare(sent, extra[e]);
                paired[e++] = true;
            } else {
                left.push_back(&sent);
            }
        }
        std::vector<const HeldRow*> stored;
        for (size_t i = 0; i < extra.size(); ++i)
            if (!paired[i])
                stored.push_back(&extra[i]);
        // Rows whose key changed too: each sent row with the stored row most like it, while
        // that stays cheap; one column's rows in order.
        const bool affordable = left.size() * stored.size() <= 4000000;
        std::vector<bool> taken(stored.size());
        for (const HeldRow* sent : left) {
            size_t best = stored.size();
            size_t bestEqual = 0;
            for (size_t i = 0; affordable && i < stored.size(); ++i) {
                if (taken[i])
                    continue;
                const size_t equal = equalValues(*sent, *stored[i]);
                const bool first = best == stored.size() && (columns_.size() == 1 || equal > 0);
                if (first || (best < stored.size() && equal > bestEqual)) {
                    best = i;
                    bestEqual = equal;
                }
            }
            if (best < stored.size()) {
                taken[best] = true;
                compare(*sent, *stored[best]);
                continue;
            }
            ++result_.rowsMissing;
            example({sent->number, {}, {}, {}});
        }
        for (size_t i = 0; i < stored.size(); ++i) {
            if (taken[i])
                continue;
            ++result_.rowsExtra;
            QStringList values;
            for (size_t c = 0; c < columns_.size(); ++c)
                values << CheckedValue::shown(stored[i]->values[c], columns_[c]);
            example({0, {}, {}, values.join(QStringLiteral(", "))});
        }
    }

    Result& result_;
    const std::vector<CheckedColumn>& columns_;
    std::vector<size_t> keys_;
    long long rounds_;
    std::vector<HeldRow> missing_;  // sent rows no stored row equals
    std::vector<HeldRow> extra_;    // stored rows no sent row equals
};

}  // namespace

Result Result::notVerified(const QString& reason) {
    Result result;
    result.undecided = reason;
    return result;
}

QString Result::describe(const QString& table, int shownExamples) const {
    if (!undecided.isEmpty())
        return QStringLiteral("The table ") + table + QStringLiteral(" was not verified: ") +
               undecided + QLatin1Char('.');
    QString text = QStringLiteral("The table ") + table +
                   QStringLiteral(" differs from its source: ") + counted(rowsSent, "row", "rows") +
                   QStringLiteral(" sent, ") + grouped(rowsStored) + QStringLiteral(" stored");
    const bool named = valuesDiffer > 0 || rowsMissing > 0 || rowsExtra > 0;
    if (!named && !digestsEqual && rowsSent == rowsStored)
        return text + QStringLiteral(
                          "; the digests of its rows differ from the source's, but the rows "
                          "that differ could not be held in memory to name them.");
    text += QStringLiteral(", ") + (countsComplete ? QString() : QStringLiteral("at least ")) +
            counted(valuesDiffer, "value differs", "values differ");
    if (rowsMissing > 0)
        text += QStringLiteral(", ") + counted(rowsMissing, "row", "rows") +
                QStringLiteral(" not stored");
    if (rowsExtra > 0)
        text += QStringLiteral(", ") + counted(rowsExtra, "row stored that was not sent",
                                               "rows stored that were not sent");
    QStringList shown;
    for (const Difference& difference : examples) {
        if (shown.size() >= shownExamples)
            break;
        const QString row = QStringLiteral("row ") + QString::number(difference.row);
        if (difference.row == 0)
            shown << QStringLiteral("a row not sent: stored (") + difference.stored +
                         QLatin1Char(')');
        else if (difference.column.isEmpty())
            shown << row + QStringLiteral(": sent, not stored");
        else
            shown << row + QStringLiteral(", column ") + difference.column +
                         QStringLiteral(": sent ") + difference.sent + QStringLiteral(", stored ") +
                         difference.stored +
                         (difference.firstDifference > 1
                              ? QStringLiteral(" (from character %1 on)")
                                    .arg(QLocale::c().toString(difference.firstDifference))
                              : QString());
    }
    if (!shown.isEmpty())
        text += QStringLiteral(": ") + shown.join(QStringLiteral("; "));
    return text + QLatin1Char('.');
}

Result run(ado::Connection& target, const TargetProduct& product, ado::Connection& paradox,
           const QString& sourceFile, const QString& table,
           const std::vector<CheckedColumn>& columns, const std::function<bool()>& stopRequested) {
    CheckedRows reader(target, product, paradox, sourceFile, table, columns, stopRequested);
    // The source is read on a thread of its own while the target answers.
    RowDigest::Multiset sent, stored;
    std::exception_ptr sourceFailure;
    {
        std::jthread sourceSide([&] {
            try {
                std::string bytes;
                reader.source([&](long long, const Row& row) {
                    serialize(row, bytes);
                    sent.add(bytes);
                });
            } catch (...) {
                sourceFailure = std::current_exception();
            }
        });
        std::string bytes;
        reader.stored([&](const Row& row) {
            serialize(row, bytes);
            stored.add(bytes);
        });
    }
    if (sourceFailure)
        std::rethrow_exception(sourceFailure);
    Result result;
    result.digest = QString::fromStdString(sent.text());
    result.rowsSent = sent.count();
    result.rowsStored = stored.count();
    if (sent == stored)
        return result;
    result.digestsEqual = false;

    // The columns that arrived (nearly) unchanged pair a sent row with its stored copy.
    Sketches sentColumns(columns.size()), storedColumns(columns.size());
    reader.source([&](long long, const Row& row) { sketch(sentColumns, row); });
    reader.stored([&](const Row& row) { sketch(storedColumns, row); });
    std::vector<size_t> keys;
    for (size_t i = 0; i < columns.size(); ++i)
        if (RowDigest::Sketch::similarity(sentColumns[i], storedColumns[i]) >= kKeySimilarity)
            keys.push_back(i);
    const long long rounds = std::max(
        1LL, (std::max(result.rowsSent, result.rowsStored) + kRowsPerRound - 1) / kRowsPerRound);
    Pairing pairing(result, columns, keys, rounds);

    // Only the rounds whose rows differ are paired: their digests tell which.
    std::vector<RowDigest::Multiset> sentRounds(static_cast<size_t>(rounds)),
        storedRounds(static_cast<size_t>(rounds));
    const auto dealInto = [&](std::vector<RowDigest::Multiset>& digests) {
        return [&](const Row& values) {
            HeldRow row{0, values, {}, {}};
            digests[static_cast<size_t>(pairing.roundOf(row))].add(row.bytes);
        };
    };
    reader.source([&, deal = dealInto(sentRounds)](long long, const Row& row) { deal(row); });
    reader.stored(dealInto(storedRounds));
    for (long long round = 0; round < rounds; ++round) {
        if (sentRounds[static_cast<size_t>(round)] == storedRounds[static_cast<size_t>(round)])
            continue;
        // Once the examples are full, the rest would only add to the counts.
        if (pairing.enoughExamples() || !pairing.round(reader, round))
            result.countsComplete = false;
    }
    pairing.finish();
    pairing.keepFirstExamples();
    return result;
}

}  // namespace TableCheck
