#include "RunJournal.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>

#include <unistd.h>

#include <mutex>

#include "ado/Connection.h"
#include "data/Datatype.h"
#include "data/products/TargetProduct.h"

const QString RunJournal::kTable = QStringLiteral("morvane_journal");

namespace {

// How long a repair waits for the server to free the lock of a run whose process is gone.
constexpr int kNoticeSeconds = 30;

}  // namespace

namespace {

// The columns, in the order every statement here names them.
const char* const kColumns =
    R"("run", "step", "kind", "state", "at", "table_name", "work_table", "verified", "child", )"
    R"("key_name", "key_columns", "parent_columns", "on_update", "on_delete", "deferral")";

const std::map<JournalEntry::Kind, QString>& kindNames() {
    static const std::map<JournalEntry::Kind, QString> names = {
        {JournalEntry::Kind::WorkTable, QStringLiteral("work table")},
        {JournalEntry::Kind::Replacement, QStringLiteral("replacement")},
        {JournalEntry::Kind::ForeignKey, QStringLiteral("foreign key")}};
    return names;
}

const std::map<KeyAction, QString>& actionNames() {
    static const std::map<KeyAction, QString> names = {
        {KeyAction::Restrict, QStringLiteral("restrict")},
        {KeyAction::Cascade, QStringLiteral("cascade")},
        {KeyAction::SetNull, QStringLiteral("set null")},
        {KeyAction::SetDefault, QStringLiteral("set default")},
        {KeyAction::NoAction, QStringLiteral("no action")}};
    return names;
}

const std::map<KeyDeferral, QString>& deferralNames() {
    static const std::map<KeyDeferral, QString> names = {
        {KeyDeferral::NotDeferrable, QStringLiteral("not deferrable")},
        {KeyDeferral::InitiallyImmediate, QStringLiteral("initially immediate")},
        {KeyDeferral::InitiallyDeferred, QStringLiteral("initially deferred")}};
    return names;
}

template <typename Enum>
std::optional<Enum> named(const std::map<Enum, QString>& names, const QString& text) {
    for (const auto& [value, name] : names)
        if (name == text)
            return value;
    return std::nullopt;
}

// This machine's name.
QString hostName() {
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    return QString::fromLocal8Bit(name).left(60);
}

// The start of this process, in the clock ticks since the machine started: with the host and the
// process number, a run's name that no later process takes.
QString processStart(pid_t pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromLatin1(stat.readAll());
    // The fields after the command's name, which ends with the last ')'.
    const QStringList fields = text.mid(text.lastIndexOf(QLatin1Char(')')) + 2)
                                   .split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return fields.size() > 19 ? fields[19] : QString();
}

}  // namespace

RunJournal::RunJournal(ado::Connection& target, const TargetProduct& product, int job)
    : target_(target),
      product_(product),
      run_(hostName() + QLatin1Char('/') + QString::number(::getpid()) + QLatin1Char('/') +
           processStart(::getpid()) +
           (job > 1 ? QLatin1Char('/') + QString::number(job) : QString())) {}

bool RunJournal::isJournal(const QString& table) {
    return table.compare(kTable, Qt::CaseInsensitive) == 0;
}

QString RunJournal::literal(const QString& text) const {
    return product_.textLiteralOf(text);
}

QString RunJournal::schemaLiteral() const {
    return product_.chosenSchema().isEmpty() ? QStringLiteral("NULL")
                                             : literal(product_.chosenSchema());
}

bool RunJournal::exists() {
    try {
        target_.Query(QStringLiteral("SELECT count(*) FROM ") + product_.atHome(kTable),
                      {ado::ValueType::Integer});
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

bool RunJournal::hasColumn(ado::Connection& target, const TargetProduct& product,
                           const char* column) {
    try {
        // Qualified, since SQLite takes an unknown quoted name for a string.
        target.Query(QStringLiteral("SELECT ") + product.atHome(kTable) + QLatin1Char('.') +
                     QString::fromLatin1(column) + QStringLiteral(" FROM ") +
                     product.atHome(kTable) + QStringLiteral(" WHERE 1 = 0"));
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void RunJournal::addRecordColumns() {
    // A journal made before records of verified copies, or schemas, were kept gets their
    // columns.
    QStringList missing;
    if (!hasColumn(target_, product_, R"("digest")"))
        missing << QStringLiteral(R"("source_file" VARCHAR(4000))")
                << QStringLiteral(R"("source_stamp" VARCHAR(1000))")
                << QStringLiteral(R"("row_count" VARCHAR(30))")
                << QStringLiteral(R"("digest" VARCHAR(100))")
                << QStringLiteral(R"("layout" VARCHAR(100))");
    if (!hasColumn(target_, product_, R"("schema_name")"))
        missing << QStringLiteral(R"("schema_name" VARCHAR(400))");
    for (const QString& column : missing)
        target_.Execute(QStringLiteral("ALTER TABLE ") + product_.atHome(kTable) +
                        QStringLiteral(" ADD ") + column);
}

bool RunJournal::prepare(QString& problem) {
    if (ready_)
        return true;
    // The jobs of a run make the table one at a time; another run may make it between the look
    // and the statement: a second look finds it made.
    static std::mutex making;
    const std::lock_guard one(making);
    for (int attempt = 1;; ++attempt) {
        try {
            makeTable();
            for (const QString& statement : product_.takeRunLock(run_))
                target_.Execute(statement);
            break;
        } catch (const std::exception& failure) {
            if (attempt == 2) {
                problem = QStringLiteral("the target keeps no journal of the run's steps: ") +
                          QString::fromUtf8(failure.what());
                return false;
            }
        }
    }
    ready_ = true;
    return true;
}

void RunJournal::makeTable() {
    if (!exists())
        target_.Execute(
            QStringLiteral("CREATE TABLE ") + product_.atHome(kTable) +
            QStringLiteral(
                R"(("run" VARCHAR(200) NOT NULL, "step" INTEGER NOT NULL, )"
                R"("kind" VARCHAR(20) NOT NULL, "state" VARCHAR(10) NOT NULL, )"
                R"("at" VARCHAR(30) NOT NULL, "table_name" VARCHAR(400), )"
                R"("work_table" VARCHAR(400), "verified" INTEGER, "child" VARCHAR(400), )"
                R"("key_name" VARCHAR(400), "key_columns" VARCHAR(4000), )"
                R"("parent_columns" VARCHAR(4000), "on_update" VARCHAR(20), )"
                R"("on_delete" VARCHAR(20), "deferral" VARCHAR(30), "schema_name" VARCHAR(400), )"
                R"(PRIMARY KEY ("run", "step")))"));
    addRecordColumns();
}

int RunJournal::write(JournalEntry entry) {
    entry.run = run_;
    entry.step = nextStep_++;
    entry.open = true;
    entry.at = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const bool key = entry.kind == JournalEntry::Kind::ForeignKey;
    target_.Execute(
        QStringLiteral("INSERT INTO ") + product_.atHome(kTable) + QStringLiteral(" (") +
        QString::fromLatin1(kColumns) + QStringLiteral(R"(, "schema_name") VALUES ()") +
        QStringList{
            literal(entry.run), QString::number(entry.step), literal(kindNames().at(entry.kind)),
            literal(QStringLiteral("open")), literal(entry.at), literal(entry.table),
            literal(entry.work), entry.verified ? QStringLiteral("1") : QStringLiteral("0"),
            literal(entry.child), literal(entry.key.name),
            key ? literal(journalNamesText(entry.key.columns)) : QStringLiteral("NULL"),
            key ? literal(journalNamesText(entry.key.parentColumns)) : QStringLiteral("NULL"),
            literal(actionNames().at(entry.key.onUpdate)),
            literal(actionNames().at(entry.key.onDelete)),
            literal(deferralNames().at(entry.key.deferral)), schemaLiteral()}
            .join(QStringLiteral(", ")) +
        QLatin1Char(')'));
    open_[entry.step] = entry;
    if (changed_)
        changed_();
    return entry.step;
}

void RunJournal::markVerified(int step) {
    target_.Execute(QStringLiteral("UPDATE ") + product_.atHome(kTable) +
                    QStringLiteral(R"( SET "verified" = 1 WHERE "run" = )") + literal(run_) +
                    QStringLiteral(R"( AND "step" = )") + QString::number(step));
    open_[step].verified = true;
}

QString RunJournal::doneStatement(int step) const {
    return QStringLiteral("UPDATE ") + product_.atHome(kTable) +
           QStringLiteral(R"( SET "state" = 'done' WHERE "run" = )") + literal(run_) +
           QStringLiteral(R"( AND "step" = )") + QString::number(step);
}

void RunJournal::markDone(int step) {
    target_.Execute(doneStatement(step));
    doneWith(step);
}

void RunJournal::doneWith(int step) {
    open_.erase(step);
    if (changed_)
        changed_();
}

void RunJournal::markDone(const JournalEntry& entry) {
    target_.Execute(QStringLiteral("UPDATE ") + product_.atHome(kTable) +
                    QStringLiteral(R"( SET "state" = 'done' WHERE "run" = )") + literal(entry.run) +
                    QStringLiteral(R"( AND "step" = )") + QString::number(entry.step));
}

void RunJournal::forget(const QString& run) {
    target_.Execute(QStringLiteral("DELETE FROM ") + product_.atHome(kTable) +
                    QStringLiteral(R"( WHERE "run" = )") + literal(run) +
                    QStringLiteral(R"( AND "state" = 'done')"));
}

void RunJournal::forgetDone() {
    if (ready_)
        forget(run_);
}

std::vector<JournalEntry> RunJournal::read(const QString& where, QStringList* unreadable) {
    std::vector<JournalEntry> entries;
    if (!exists())
        return entries;
    // A journal made before schemas were kept has no column for them.
    const bool schemas = hasColumn(target_, product_, R"("schema_name")");
    const auto rows =
        target_.Query(QStringLiteral("SELECT ") + QString::fromLatin1(kColumns) +
                          (schemas ? QStringLiteral(R"(, "schema_name")") : QString()) +
                          QStringLiteral(" FROM ") + product_.atHome(kTable) + where +
                          QStringLiteral(R"( ORDER BY "run", "step")"),
                      {ado::ValueType::Text, ado::ValueType::Integer});
    for (; !rows->Eof(); rows->MoveNext()) {
        const auto text = [&](int column) {
            return QString::fromStdString(rows->Fields(column).Value().toText());
        };
        JournalEntry entry;
        entry.run = text(0);
        entry.step = static_cast<int>(rows->Fields(1).Value().asInteger());
        const std::optional<JournalEntry::Kind> kind = named(kindNames(), text(2));
        entry.open = text(3) == QStringLiteral("open");
        entry.at = text(4);
        entry.table = text(5);
        entry.work = text(6);
        entry.verified = text(7) == QStringLiteral("1");
        entry.child = text(8);
        entry.key.name = text(9);
        entry.schema = schemas ? text(15) : QString();
        entry.key.parent = entry.table;
        const std::optional<QStringList> columns = journalNamesOf(text(10));
        const std::optional<QStringList> parentColumns = journalNamesOf(text(11));
        const std::optional<KeyAction> onUpdate = named(actionNames(), text(12));
        const std::optional<KeyAction> onDelete = named(actionNames(), text(13));
        const std::optional<KeyDeferral> deferral = named(deferralNames(), text(14));
        bool readable = kind && !entry.table.isEmpty() &&
                        (text(3) == QStringLiteral("open") || text(3) == QStringLiteral("done"));
        if (kind == JournalEntry::Kind::ForeignKey)
            readable = readable && !entry.child.isEmpty() && !entry.key.name.isEmpty() && columns &&
                       parentColumns && columns->size() == parentColumns->size() && onUpdate &&
                       onDelete && deferral;
        else if (kind)
            readable = readable && !entry.work.isEmpty();
        if (!readable) {
            if (unreadable)
                *unreadable << QStringLiteral(
                                   "row %1 of run %2 of %3 cannot be read, and is "
                                   "left as it is")
                                   .arg(entry.step)
                                   .arg(entry.run, kTable);
            continue;
        }
        entry.kind = *kind;
        if (entry.kind == JournalEntry::Kind::ForeignKey) {
            entry.key.columns = *columns;
            entry.key.parentColumns = *parentColumns;
            entry.key.onUpdate = *onUpdate;
            entry.key.onDelete = *onDelete;
            entry.key.deferral = *deferral;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

RunJournal::Reading RunJournal::openEntriesOfOthers() {
    Reading reading;
    for (JournalEntry& entry :
         read(QStringLiteral(R"( WHERE "state" = 'open' AND "run" <> )") + literal(run_),
              &reading.unreadable))
        reading.byRun[entry.run].push_back(std::move(entry));
    return reading;
}

std::vector<JournalEntry> RunJournal::allEntries() {
    return read(QStringLiteral(R"( WHERE "state" <> 'record')"), nullptr);
}

std::optional<bool> RunJournal::claim(const QString& run) {
    // A run of this machine is known by its process, too (and its job, when it has one).
    std::optional<bool> processGone;
    const QStringList parts = run.split(QLatin1Char('/'));
    if ((parts.size() == 3 || parts.size() == 4) && parts[0] == hostName()) {
        const QString start = processStart(static_cast<pid_t>(parts[1].toLongLong()));
        processGone = start.isEmpty() || start != parts[2];
    }
    if (!product_.locksRuns())
        return processGone;
    // The server frees a killed run's lock once it notices its connection is gone, which may
    // take until the statement it was waiting at has ended.
    return product_.claimRunLock(target_, run, processGone.value_or(false) ? kNoticeSeconds : 0);
}

QStringList RunJournal::pendingStatements() const {
    QStringList statements;
    for (const auto& [step, entry] : open_) {
        switch (entry.kind) {
            case JournalEntry::Kind::Replacement:
                statements << QStringLiteral("-- where ") + entry.work +
                                  QStringLiteral(" is still there and ") + entry.table +
                                  QStringLiteral(" is not:")
                           << product_.renameStatement(entry.work, entry.table) + QLatin1Char(';');
                break;
            case JournalEntry::Kind::ForeignKey:
                for (const QString& statement :
                     foreignKeyStatements(product_, entry.child, entry.key))
                    statements << statement + QLatin1Char(';');
                break;
            case JournalEntry::Kind::WorkTable:
                break;
        }
    }
    return statements;
}

QStringList foreignKeyStatements(const TargetProduct& product, const QString& child,
                                 const ForeignKey& key) {
    TableDefinition definition;
    definition.table = child;
    definition.foreignKeys = {key};
    QStringList statements;
    for (const DefinitionStep& step : product.foreignKeySteps(definition))
        statements << step.statements;
    return statements;
}

QString journalNamesText(const QStringList& names) {
    return QString::fromUtf8(
        QJsonDocument(QJsonArray::fromStringList(names)).toJson(QJsonDocument::Compact));
}

std::optional<QStringList> journalNamesOf(const QString& text) {
    const QJsonDocument document = QJsonDocument::fromJson(text.toUtf8());
    if (!document.isArray())
        return std::nullopt;
    QStringList names;
    for (const QJsonValue& name : document.array()) {
        if (!name.isString() || name.toString().isEmpty())
            return std::nullopt;
        names << name.toString();
    }
    return names;
}
