#include "Connection.h"

#include "ConnectionString.h"
#include "DataSourceError.h"
#include "DataSourceRegistry.h"
#include "Odbc.h"
#include "ParadoxSource.h"
#include "StatementQueue.h"

#include <type_traits>

namespace ado {

Connection::Connection() = default;
Connection::~Connection() = default;

bool Connection::isOpen() const {
    return odbc_ || paradox_;
}

void Connection::Open(const QString& connectionString) {
    if (isOpen())
        throw DataSourceError("The connection is already open.");
    const ConnectionString parts(connectionString);
    if (parts.value(QStringLiteral("Driver"))
            .contains(QStringLiteral("Paradox"), Qt::CaseInsensitive)) {
        const QString folder = parts.has(QStringLiteral("DefaultDir"))
                                   ? parts.value(QStringLiteral("DefaultDir"))
                                   : parts.value(QStringLiteral("Dbq"));
        paradox_ = std::make_unique<ParadoxSource>(folder);
        return;
    }
    // unixODBC opens the first data source it knows for an empty name; ODBC means none.
    const QString name = parts.value(QStringLiteral("Data Source"));
    std::optional<DataSourceDefinition> definition;
    if (!parts.has(QStringLiteral("Driver")) &&
        (name.isEmpty() || !(definition = lookUpDataSource(name))))
        throw DataSourceError(
            "[unixODBC][Driver Manager]Data source name not found and no default driver "
            "specified",
            "IM002");
    // "Data Source" is ADO's word for the DSN; other keywords go to the driver unchanged.
    QString odbc = QStringLiteral("DSN=") + ConnectionString::quoted(name);
    settings_ = dataSourceSettings(name);
    if (definition)
        for (const auto& [keyword, value] : definition->keywordsToPass)
            odbc += QLatin1Char(';') + keyword + QLatin1Char('=') + ConnectionString::quoted(value);
    for (const auto& [keyword, value] : parts.pairs()) {
        if (keyword != QStringLiteral("data source") && keyword != QStringLiteral("provider")) {
            odbc += QLatin1Char(';') + keyword + QLatin1Char('=') + ConnectionString::quoted(value);
            settings_[keyword] = value;
        }
    }
    odbc_ = std::make_unique<OdbcConnection>(odbc);
}

void Connection::requireIdle() const {
    if (isExecuting())
        throw DataSourceError("Operation cannot be performed while executing asynchronously.");
}

void Connection::RunWaitingCallsWith(Runner runner) {
    runner_ = std::move(runner);
    runnerThread_ = std::this_thread::get_id();
}

template <typename Call>
auto Connection::waitingCall(Call call) -> decltype(call()) {
    if (!runner_ || std::this_thread::get_id() != runnerThread_)
        return call();
    if constexpr (std::is_void_v<decltype(call())>) {
        runner_(call);
    } else {
        decltype(call()) result;
        runner_([&] { result = call(); });
        return result;
    }
}

void Connection::Execute(const QString& sql) {
    requireIdle();
    if (odbc_)
        return waitingCall([&] { odbc_->execute(sql); });
    refuseStatement(sql.toStdString());
}

void Connection::refuseStatement(const std::string& sql) const {
    if (paradox_)
        throw DataSourceError("A Paradox folder can only be read: '" + sql +
                              "' cannot be run on it.");
    throw DataSourceError("The connection is not open.", "08003");
}

size_t bytesHeldBy(const std::vector<Variant>& row) {
    size_t bytes = 0;
    for (const Variant& value : row)
        bytes += value.raw().size() + sizeof(Variant);
    return bytes;
}

StatementQueue& Connection::queue() {
    if (!queue_)
        queue_ = std::make_unique<StatementQueue>();
    return *queue_;
}

bool Connection::InsertAsync(InsertStatement& insert, Rows rows, const Waiting& whileWaiting,
                             const Stopped& stopped) {
    size_t bytes = 0;
    for (const std::vector<Variant>& row : rows)
        bytes += bytesHeldBy(row);
    return queue().add({[&insert, rows = std::move(rows)]() mutable {
                            for (std::vector<Variant>& row : rows)
                                insert.addRow(std::move(row));
                        },
                        bytes},
                       whileWaiting, stopped);
}

void Connection::FlushAsync(InsertStatement& insert, const Waiting& whileWaiting) {
    queue().add({[&insert] { insert.flush(); }, 0}, whileWaiting);
}

std::exception_ptr Connection::TakeExecutionFailure() {
    return queue_ ? queue_->takeFailure() : nullptr;
}

void Connection::WaitForExecution(const Waiting& whileWaiting) {
    if (queue_)
        queue_->wait(whileWaiting);
}

bool Connection::isExecuting() const {
    return queue_ && queue_->busy();
}

void Connection::Cancel(const Waiting& whileWaiting) {
    if (queue_)
        queue_->cancel(whileWaiting);
}

std::unique_ptr<RecordSet> Connection::OpenSchema(int schema) {
    requireIdle();
    if (schema != adSchemaTables)
        throw DataSourceError("Only the tables schema (20) can be opened.");
    if (!odbc_)
        throw DataSourceError(
            paradox_ ? "A Paradox folder has no tables schema." : "The connection is not open.",
            paradox_ ? "" : "08003");
    return waitingCall([&] { return std::make_unique<RecordSet>(odbc_->tables()); });
}

std::unique_ptr<RecordSet> Connection::Query(const QString& sql, std::vector<ValueType> readAs) {
    requireIdle();
    return waitingCall(
        [&] { return std::make_unique<RecordSet>(requireTarget().query(sql, std::move(readAs))); });
}

std::unique_ptr<RecordSet> Connection::QueryEveryRow(const QString& sql,
                                                     std::vector<ValueType> readAs,
                                                     bool narrowTextIsUtf8) {
    requireIdle();
    return waitingCall([&] {
        return std::make_unique<RecordSet>(requireTarget().query(
            sql, std::move(readAs), OdbcConnection::Reading{true, narrowTextIsUtf8}));
    });
}

std::unique_ptr<RecordSet> Connection::PrimaryKeys(const QString& table) {
    requireIdle();
    return waitingCall(
        [&] { return std::make_unique<RecordSet>(requireTarget().primaryKeys(table)); });
}

std::unique_ptr<RecordSet> Connection::ForeignKeysTo(const QString& table) {
    requireIdle();
    return waitingCall(
        [&] { return std::make_unique<RecordSet>(requireTarget().foreignKeysTo(table)); });
}

std::unique_ptr<RecordSet> Connection::TypeInfo() {
    requireIdle();
    return waitingCall([&] { return std::make_unique<RecordSet>(requireTarget().typeInfo()); });
}

void Connection::CancelRunning() {
    if (odbc_)
        odbc_->cancelRunning();
}

DataSourceInfo Connection::Info() {
    return requireTarget().info();
}

void Connection::BeginTrans() {
    requireIdle();
    requireTarget().beginTransaction();
    inTransaction_ = true;
}

void Connection::CommitTrans() {
    inTransaction_ = false;
    waitingCall([&] { requireTarget().commit(); });
}

void Connection::RollbackTrans() {
    inTransaction_ = false;
    waitingCall([&] { requireTarget().rollback(); });
}

std::unique_ptr<InsertStatement> Connection::PrepareInsert(const QString& prefix,
                                                           const QString& row,
                                                           std::vector<ParameterType> types,
                                                           Batching batching) {
    requireIdle();
    return requireTarget().prepareInsert(prefix, row, std::move(types), batching);
}

std::unique_ptr<InsertStatement> Connection::PrepareLocalFileLoad(LocalFileLoadSpec load) {
    return requireTarget().prepareLocalFileLoad(std::move(load));
}

OdbcConnection& Connection::requireTarget() const {
    if (!odbc_)
        refuseStatement("a transaction");
    return *odbc_;
}

void Connection::SalvageDamagedTables(bool salvage) {
    if (paradox_)
        paradox_->setSalvaging(salvage);
}

std::unique_ptr<Cursor> Connection::openTable(const QString& file) {
    if (paradox_)
        return paradox_->openTable(file);
    throw DataSourceError(odbc_ ? "Only a Paradox folder's tables can be opened as a record set."
                                : "The connection is not open.",
                          odbc_ ? "" : "08003");
}

void Connection::Close() {
    queue_.reset();
    odbc_.reset();
    paradox_.reset();
}

const Variant& Field::Value() const {
    if (!value_)
        throw DataSourceError("Either BOF or EOF is True: the record set has no current row.");
    return *value_;
}

RecordSet::RecordSet(std::unique_ptr<Cursor> cursor) : cursor_(std::move(cursor)) {
    hasRow_ = cursor_->fetch(row_);
}

void RecordSet::OpenTable(const QString& file, Connection& connection) {
    cursor_ = connection.openTable(file);
    hasRow_ = cursor_->fetch(row_);
}

void RecordSet::requireOpen() const {
    if (!cursor_)
        throw DataSourceError("The record set is not open.");
}

int RecordSet::FieldCount() const {
    requireOpen();
    return static_cast<int>(cursor_->fields().size());
}

Field RecordSet::Fields(int index) const {
    requireOpen();
    if (index < 0 || index >= FieldCount())
        throw DataSourceError("The record set has no field " + std::to_string(index) + ".");
    return Field(cursor_->fields()[static_cast<size_t>(index)],
                 hasRow_ ? &row_[static_cast<size_t>(index)] : nullptr);
}

Field RecordSet::Fields(const QString& name) const {
    requireOpen();
    const auto& fields = cursor_->fields();
    for (size_t i = 0; i < fields.size(); ++i)
        if (fields[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return Fields(static_cast<int>(i));
    throw DataSourceError("The record set has no field named " + name.toStdString() + ".");
}

const px::SalvageReport* RecordSet::Salvaged() const {
    return cursor_ ? cursor_->salvaged() : nullptr;
}

KeyInfo RecordSet::Keys() const {
    requireOpen();
    return cursor_->keyInfo();
}

long long RecordSet::RecordCount() const {
    requireOpen();
    return cursor_->rowCount();
}

const std::vector<Variant>& RecordSet::CurrentRow() const {
    requireOpen();
    if (!hasRow_)
        throw DataSourceError("Either BOF or EOF is True: the record set has no current row.");
    return row_;
}

void RecordSet::MoveNext() {
    requireOpen();
    if (!hasRow_)
        throw DataSourceError("Either BOF or EOF is True: the record set has no current row.");
    hasRow_ = cursor_->fetch(row_);
}

void RecordSet::Close() {
    cursor_.reset();
    row_.clear();
    hasRow_ = false;
}

}  // namespace ado
