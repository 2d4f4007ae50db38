#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

#include "SourceDefinition.h"

class ErrorTrap;
class TargetNames;

namespace ado {
class Connection;
}

// Gives typed copies the rest of their definition, once their rows, key and counter are in:
// column rules and indexes at once, foreign keys when every table of the run is on the target.
// What cannot be carried is reported through the trap, "T: what: why", and the table stays as
// it arrived: a rule that rows break is never made, so no row is lost to it.
class DefinitionWriter {
  public:
    DefinitionWriter(ErrorTrap& trap, ado::Connection& target, const TargetProduct& product)
        : trap_(trap), target_(target), product_(product) {}

    // The column rules and indexes of a copied table; its relationships wait for
    // makeRelationships().
    void addTo(SourceDefinition definition);
    // The foreign keys of the tables given so far, to parents that `names` has; once `stopped`
    // says so, no more are made. The tables whose foreign keys a stop left out.
    QStringList makeRelationships(const TargetNames& names, const std::function<bool()>& stopped);
    // Takes the relationships `other` has waiting, to make them with its own.
    void takeWaiting(DefinitionWriter& other) {
        for (SourceDefinition& definition : std::exchange(other.waiting_, {}))
            waiting_.push_back(std::move(definition));
    }

    // For a dry run, where no rows are on the target to check rules against: the statements
    // addTo() would run, its relationships kept for plannedRelationships().
    QStringList plannedStatements(SourceDefinition definition);
    // The columns of a table's key, on the target or as a planned copy will have it.
    using KeyOf = std::function<QStringList(const QString& table)>;
    // The foreign keys makeRelationships() would make of the tables planned so far, and a line
    // for each it would refuse, saying why.
    QStringList plannedRelationships(const TargetNames& names, const KeyOf& keyOf,
                                     QStringList& refused);

    // A part of a table's definition that could not be carried: its table on the target, and
    // the report's text, on one line. A loss is what the target had and lost (another table's
    // foreign key that could not be made again), not what was never carried.
    struct Problem {
        QString table;
        QString text;
        bool loss = false;
    };
    // The failures reported since the last call.
    std::vector<Problem> takeProblems() { return std::exchange(problems_, {}); }
    // Reports what could not be carried of `table`'s definition: "T: what: why"; or, a `loss`,
    // what the target lost of it.
    void report(int line, const QString& table, const QString& what, const QString& why,
                bool loss = false);

  private:
    long long count(const QString& query);
    void tell(int line, const QString& table, const QString& text, bool loss = false);
    // Runs the step; a failure is reported, unless `stopped` says a stop caused it. Whether it
    // ran.
    bool run(int line, const QString& table, const DefinitionStep& step,
             const std::function<bool()>& stopped = {});
    // Why `relationship` cannot be a foreign key, or "" when it can; fills in its parent's
    // columns.
    // Gives the definition's table the foreign keys its relationships can be, and `refused` each
    // that cannot, with why.
    using Refusal = std::function<void(const QString& what, const QString& why)>;
    void addForeignKeys(SourceDefinition& definition, const TargetNames& names, const KeyOf& keyOf,
                        bool rowsThere, const Refusal& refused);
    // The rows are looked at only when `rowsThere`.
    QString obstacleTo(PendingRelationship& relationship, const TargetNames& names,
                       const KeyOf& keyOf, bool rowsThere);

    ErrorTrap& trap_;
    ado::Connection& target_;
    const TargetProduct& product_;
    std::vector<SourceDefinition> waiting_;  // tables whose relationships are still to be made
    std::vector<Problem> problems_;
};
