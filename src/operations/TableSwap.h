#pragma once

// How a complete copy in its work table takes its table's place, as steps in the order they run,
// for a run and its dry run alike: the other tables' foreign keys to the old table dropped, the
// old table dropped, the copy renamed, the keys made again.
//
// Where the product's definitions are part of a transaction the steps run together, or none of
// them. Where each commits at once, they run one by one, each written to the journal first with
// what finishes or undoes it: the keys dropped so far are made again to the old table whatever
// stops the swap before the old table goes; after that (the point of no return) the copy is the
// table, and what is left to do is the next run's, as the journal says.

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

#include "ReferringKeys.h"
#include "paradox/Field.h"

class DefinitionWriter;
class ErrorTrap;
class RunJournal;
class TargetProduct;

namespace ado {
class Connection;
}

class TableSwap {
  public:
    struct Step {
        enum class Kind { DropForeignKey, DropTable, Rename, MakeForeignKey };
        Kind kind;
        QStringList statements;
        size_t key = 0;  // which of the keys, for a foreign key's step
    };

    // `replacing`: the target has `table`, which the copy in `work` replaces; `keys` are the
    // other tables' foreign keys to it.
    TableSwap(const TargetProduct& product, QString work, QString table, bool replacing,
              ReferringKeys keys, const std::vector<px::Field>& fields);

    const std::vector<Step>& steps() const { return steps_; }
    // Every step's statements, in order: what a dry run prints.
    QStringList statements() const;

    // What running the swap needs of the copy that runs it.
    struct Context {
        ado::Connection& target;
        RunJournal& journal;
        DefinitionWriter& definitions;
        ErrorTrap& trap;
        std::function<bool()> stopped;
        // Runs statements that may wait on another session's lock, telling a stop as one.
        std::function<void(const QString& table, const std::function<void()>& run)> mayWait;
        bool verified = true;  // the copy was checked
        int workStep = 0;      // the journal's row of the work table; 0 for none
    };
    // Runs the steps; throws what ended them. Whether the old table is gone (the point of no
    // return passed), even when it throws.
    void run(Context& context);
    bool oldTableGone() const { return oldTableGone_; }

  private:
    void runTogether(Context& context);
    void runOneByOne(Context& context);
    // Makes the keys of `which` again, each marked done in the journal at its step in `steps`
    // (0: none); each that cannot be is named as a loss. Whether all were made.
    bool remakeKeys(Context& context, const std::vector<size_t>& which,
                    const std::vector<int>& steps);

    const TargetProduct& product_;
    QString work_;
    QString table_;
    ReferringKeys keys_;
    std::vector<Step> steps_;
    bool oldTableGone_ = false;
};
