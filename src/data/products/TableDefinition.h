#pragma once

// What a copied table's definition holds beyond its columns, key and counter, in the target's
// names: each column's rules, the table's secondary indexes and, made once every table of a run
// is on the target, its foreign keys.

#include <QList>
#include <QString>
#include <QStringList>

#include <vector>

#include "paradox/Field.h"

struct ColumnRules {
    px::Field field;
    bool required = false;
    QString defaultValue;      // an SQL literal, or ""
    QString minimum, maximum;  // SQL literals, or ""
    QString picture;           // an input template, kept as the column's comment
};

struct IndexDefinition {
    QString name;  // the Paradox index's own name
    QStringList columns;
    QList<bool> descending;
    QList<bool> ignoringCase;  // a text column of an index that ignores case
    bool unique = false;
};

// What a foreign key does to its rows when their parent row's key changes or the row goes.
enum class KeyAction { Restrict, Cascade, SetNull, SetDefault, NoAction };
// When a foreign key is checked: at each statement, or (deferrable) at the commit.
enum class KeyDeferral { NotDeferrable, InitiallyImmediate, InitiallyDeferred };

struct ForeignKey {
    QString name;  // the constraint's name on the target
    QStringList columns;
    QString parent;
    QStringList parentColumns;
    KeyAction onUpdate = KeyAction::Restrict;
    KeyAction onDelete = KeyAction::Restrict;
    KeyDeferral deferral = KeyDeferral::NotDeferrable;
};

struct TableDefinition {
    QString table;
    std::vector<px::Field> fields;
    int keyFields = 0;
    bool blankCounter = false;
    std::vector<ColumnRules> columns;
    std::vector<IndexDefinition> indexes;
    std::vector<ForeignKey> foreignKeys;
};

// Statements that carry one part of a definition, run together, and how the report names that
// part when they fail: "<table>: <failure>: <cause>".
struct DefinitionStep {
    QString failure;
    QStringList statements;
};
