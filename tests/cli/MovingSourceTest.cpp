// A source table that a program writes to while it is copied: the run notices it, copies the
// table again from the start, and never leaves a mix of two of its states on the target; a table
// that keeps changing fails cleanly. Lock files of a Paradox program are noted, and the source
// folder is never written to.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "ado/Connection.h"
#include "fixture/ParadoxWriter.h"
#include "support/Databases.h"
#include "support/OdbcQuery.h"
#include "support/SqliteOrPostgres.h"
#include "support/TablesScreen.h"
#include "support/TempDir.h"
#include "support/TransferProcess.h"

using px::FieldType;
using px::Value;

namespace {

// Large enough that a copy into SQLite, unchecked, takes about a second.
constexpr int kRows = 400000;

// BIG as a program would save it: `rows` rows, each "name i", or with its first and last
// record changed.
enum class Save { Before, FirstAndLastChanged };
void writeBig(const std::string& path, int rows, Save save = Save::Before) {
    pxfixture::TableLayout layout{
        12, 2, 1252, {{"ID", FieldType::Long, 4, 0}, {"NAME", FieldType::Alpha, 30, 0}}};
    layout.keyFields = 1;
    pxfixture::ParadoxWriter writer(path, layout);
    for (int i = 0; i < rows; ++i) {
        std::string name = "name " + std::to_string(i);
        if (save == Save::FirstAndLastChanged && (i == 0 || i == rows - 1))
            name = i == 0 ? "saved first" : "saved last";
        writer.addRow({Value::integer(i), Value::text(name)});
    }
}

// Writes `from`'s bytes over `to` where it lies, as a program saving in place does; with
// `keepTime`, `to` keeps its modification time, as `cp -p` leaves it.
void saveInPlace(const std::string& from, const std::string& to, bool keepTime = false) {
    struct stat before {};
    ASSERT_EQ(::stat(to.c_str(), &before), 0);
    {
        QFile source(QString::fromStdString(from)), target(QString::fromStdString(to));
        ASSERT_TRUE(source.open(QIODevice::ReadOnly));
        ASSERT_TRUE(target.open(QIODevice::ReadWrite));
        ASSERT_EQ(target.write(source.readAll()), source.size());
    }
    if (keepTime) {
        const timespec times[2] = {before.st_atim, before.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, to.c_str(), times, 0), 0);
    }
}

// Another session that holds the target, so that the run waits at the first table it makes:
// on SQLite a write transaction, on PostgreSQL the same table made and not yet committed.
class TargetHold {
  public:
    TargetHold(const QString& dsn, const QString& firstTable) {
        session_.Open("Data Source=" + dsn);
        session_.BeginTrans();
        session_.Execute("CREATE TABLE \"" + firstTable + "\"(\"x\" INTEGER)");
    }
    ~TargetHold() { release(); }
    void release() {
        if (held_)
            session_.RollbackTrans();
        held_ = false;
    }

  private:
    ado::Connection session_;
    bool held_ = true;
};

// A folder holding a small table A, copied first, and BIG; and the saves of BIG to come.
struct Folder {
    explicit Folder(int rows = kRows) {
        pxfixture::writeTable(folder.file("a.db"), {12, 1, 1252, {{"N", FieldType::Long, 4, 0}}},
                              {{Value::integer(1)}});
        writeBig(folder.file("big.db"), rows);
        writeBig(saves.file("changed.db"), rows, Save::FirstAndLastChanged);
        writeBig(saves.file("grown.db"), rows + 1);
        writeBig(saves.file("before.db"), rows);
    }
    QString path() const { return QString::fromStdString(folder.path()); }
    std::string big() const { return folder.file("big.db"); }
    std::string save(const char* name) const { return saves.file(name); }
    TempDir folder, saves;
};

// Runs the copy of BIG alone, and saves BIG with `save` once its copy is under way: once the run
// has read its stamp and waits, to make the first table (`firstTable`), for the target that
// another session holds.
TransferRun runSavingOnce(const QStringList& arguments, const QString& dsn,
                          const QString& firstTable, const Folder& folder, const char* save,
                          bool keepTime = false) {
    TargetHold hold(dsn, firstTable);
    QProcess run;
    startTransfer(run, arguments + QStringList{folder.path(), dsn, "BIG"});
    QString seen;
    EXPECT_TRUE(waitForOutput(run, seen, "BIG (table 1 of 1): waiting for " + dsn))
        << seen.toStdString();
    saveInPlace(folder.save(save), folder.big(), keepTime);
    hold.release();
    TransferRun result = finishedTransfer(run);
    result.err = seen + result.err;
    return result;
}

// A program that saves BIG again and again, in turns, for as long as it lives: every copy of
// BIG, which takes far longer than the pause between two saves, meets one.
class KeepSaving {
  public:
    explicit KeepSaving(const Folder& folder)
        : writer_([this, &folder] {
              for (int turn = 0; !ended_; ++turn) {
                  saveInPlace(folder.save(turn % 2 ? "before.db" : "changed.db"), folder.big());
                  std::this_thread::sleep_for(std::chrono::milliseconds(10));
              }
          }) {}
    ~KeepSaving() {
        ended_ = true;
        writer_.join();
    }

  private:
    std::atomic<bool> ended_ = false;
    std::thread writer_;
};

// Runs to its end while BIG is saved again and again.
TransferRun runSavingAlways(const QStringList& arguments, const Folder& folder) {
    const KeepSaving saving(folder);
    return transfer(arguments);
}

QString names(const QString& dsn, const char* where) {
    return queryRows(dsn, QString(R"(SELECT "NAME" FROM "BIG" WHERE "ID" )") + where)[0][0];
}

QString tableCount(const QString& dsn) {
    return queryRows(dsn, R"(SELECT count(*) FROM "BIG")")[0][0];
}

bool hasTable(const QString& dsn, const QString& table) {
    try {
        queryRows(dsn, "SELECT 1 FROM \"" + table + "\"");
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

class MovingSource : public SqliteOrPostgres {};

const QString kAgain =
    "BIG changed while it was copied: a program is writing to it; copying it "
    "again (copy 2 of 3)";

}  // namespace

// One save in the middle of the copy, in each mode: the run says so and copies BIG again, and
// the target holds BIG as it was when last read whole: both changed records, or the record the
// save added. A save that keeps the size and the modification time (`cp -p`) is caught too.
TEST_P(MovingSource, ASaveDuringTheCopyIsCaughtAndTheTableCopiedAgain) {
    struct Mode {
        QStringList options;
        const char* save;
        bool keepTime;
    };
    const std::vector<Mode> modes = {{{}, "changed.db", false},
                                     {{"--no-verify"}, "changed.db", false},
                                     {{"--typed"}, "grown.db", false},
                                     {{}, "changed.db", true}};
    for (const auto& [mode, save, keepTime] : modes) {
        SCOPED_TRACE(mode.join(" ").toStdString() + (keepTime ? " keeping its time" : ""));
        Folder folder;
        const QString dsn = newTarget();
        const TransferRun run =
            runSavingOnce(mode, dsn, "BIG__morvane_new", folder, save, keepTime);
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(kAgain)) << run.err.toStdString();
        EXPECT_FALSE(run.err.contains("differs from its source")) << run.err.toStdString();
        if (QString(save) == "grown.db") {
            EXPECT_EQ(tableCount(dsn), QString::number(kRows + 1));
            EXPECT_EQ(names(dsn, "= 0"), "name 0");
        } else {
            EXPECT_EQ(tableCount(dsn), QString::number(kRows));
            EXPECT_EQ(names(dsn, "= 0"), "saved first");
            EXPECT_EQ(names(dsn, "= " + QByteArray::number(kRows - 1)), "saved last");
        }
        EXPECT_FALSE(hasTable(dsn, "BIG__morvane_new"));
    }
}

// A table that keeps changing is copied as many times as asked, then fails with a cause that
// says why: a new table leaves nothing, a replacement leaves the old table as it was; the
// report counts the copies.
TEST_P(MovingSource, ATableThatKeepsChangingFailsAndLeavesTheTargetAsItWas) {
    Folder folder;
    const QString dsn = newTarget();
    TempDir reports;
    const std::string report = reports.file("report.json");
    const TransferRun fresh = runSavingAlways(
        {"--copy-attempts", "2", "--report", QString::fromStdString(report), folder.path(), dsn},
        folder);
    EXPECT_EQ(fresh.status, 1) << fresh.err.toStdString();
    EXPECT_TRUE(
        fresh.err.contains("\nFailed: BIG: BIG changed while it was copied: a program is "
                           "writing to it; copied 2 times\n"))
        << fresh.err.toStdString();
    EXPECT_FALSE(hasTable(dsn, "BIG"));
    EXPECT_FALSE(hasTable(dsn, "BIG__morvane_new"));
    QFile written(QString::fromStdString(report));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QJsonArray tables = QJsonDocument::fromJson(written.readAll())["tables"].toArray();
    ASSERT_EQ(tables.size(), 2);
    EXPECT_EQ(tables[1]["copies"].toInt(), 2) << QJsonDocument(tables).toJson().toStdString();
    EXPECT_EQ(tables[1]["state"].toString(), "failed");

    saveInPlace(folder.save("before.db"), folder.big());
    ASSERT_EQ(transfer({folder.path(), dsn, "BIG"}).status, 0);
    const TransferRun replacing = runSavingAlways(
        {"--overwrite", "--typed", "--copy-attempts", "2", folder.path(), dsn, "BIG"}, folder);
    EXPECT_EQ(replacing.status, 1) << replacing.err.toStdString();
    EXPECT_TRUE(
        replacing.err.contains("BIG was not replaced: the target keeps its table as it "
                               "was: BIG changed while it was copied"))
        << replacing.err.toStdString();
    EXPECT_EQ(tableCount(dsn), QString::number(kRows));
    EXPECT_EQ(names(dsn, "= 0"), "name 0");
    EXPECT_FALSE(hasTable(dsn, "BIG__morvane_new"));
}

// Row by row the rows that arrived stay where they are: the table is named incomplete, with the
// cause, and is not copied again.
TEST_P(MovingSource, RowByRowATableThatChangedIsNamedIncomplete) {
    Folder folder(20000);
    const QString dsn = newTarget();
    const TransferRun run = runSavingOnce({"--row-by-row"}, dsn, "BIG", folder, "changed.db");
    EXPECT_EQ(run.status, 1) << run.err.toStdString();
    EXPECT_TRUE(
        run.err.contains("\nIncomplete: BIG: 20000 of 20000 rows arrived: BIG changed while it was "
                         "copied: a program "
                         "is writing to it, and the rows that arrived may mix two states "
                         "of it"))
        << run.err.toStdString();
    EXPECT_FALSE(run.err.contains("copying it again"));
}

// In the window the same: a replacement is copied again while its source keeps changing, then
// fails in one error box, the old table kept.
TEST_P(MovingSource, TheWindowGivesUpInOneErrorBox) {
    Folder folder(5000);
    TablesScreen screen(newTarget());
    ASSERT_EQ(transfer({folder.path(), screen.dsn, "BIG"}).status, 0);
    screen.form1->Text1->setText(folder.path());
    screen.reload();
    TablesScreen::select(*screen.form2().List2, {"BIG"});
    screen.test.dialogs.answerQuestion(true);
    {
        const KeepSaving saving(folder);
        screen.form2().PushButton4_Click();
    }
    const QStringList errors = screen.test.dialogs.texts("error");
    ASSERT_EQ(errors.size(), 1) << errors.join("\n").toStdString();
    EXPECT_TRUE(
        errors[0].contains("BIG was not replaced: the target keeps its table as it was: "
                           "BIG changed while it was copied: a program is writing to it; "
                           "copied 3 times"))
        << errors[0].toStdString();
    EXPECT_EQ(names(screen.dsn, "= 0"), "name 0");
    EXPECT_EQ(TablesScreen::entries(*screen.form2().List1), QStringList{"BIG"});
}

INSTANTIATE_TEST_SUITE_P(Targets, MovingSource, ::testing::Values("sqlite", "postgres"));

// Lock files beside the tables are noted, in the output, the report and the listing; the copy is
// made all the same, and nothing in the folder is created or written.
TEST(LockFiles, APadoxProgramsLockFilesAreNotedAndTheFolderIsLeftAlone) {
    TempDir folder;
    pxfixture::writeTable(folder.file("orders.db"), {12, 1, 1252, {{"N", FieldType::Long, 4, 0}}},
                          {{Value::integer(1)}});
    for (const char* lock : {"PARADOX.LCK", "pdoxusrs.net", "ORDERS.lck"})
        QFile(QString::fromStdString(folder.file(lock))).open(QIODevice::WriteOnly);
    const auto stateOfFolder = [&] {
        QStringList state;
        for (const QFileInfo& file : QDir(QString::fromStdString(folder.path()))
                                         .entryInfoList(QDir::Files | QDir::Hidden, QDir::Name))
            state << file.fileName() + " " + QString::number(file.size()) + " " +
                         file.lastModified().toString(Qt::ISODateWithMs);
        return state;
    };
    const QStringList before = stateOfFolder();
    const QString dsn = TestDatabases::newSqliteDsn();
    TempDir reports;
    const std::string report = reports.file("report.json");
    const QString path = QString::fromStdString(folder.path());
    const QString note = "a Paradox program may be using " + path +
                         ": ORDERS.lck, PARADOX.LCK, pdoxusrs.net lie beside its tables (a "
                         "program that ended without closing them leaves them too)";
    const TransferRun run = transfer({"--report", QString::fromStdString(report), path, dsn});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(note + "\n")) << run.err.toStdString();
    QFile written(QString::fromStdString(report));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(QJsonDocument::fromJson(written.readAll())["notes"].toArray().first().toString(),
              note);
    EXPECT_EQ(queryRows(dsn, R"(SELECT count(*) FROM "ORDERS")")[0][0], "1");
    EXPECT_TRUE(transfer({"--list", path, dsn}).out.contains("\n  (" + note + ")\n"));
    EXPECT_EQ(stateOfFolder(), before);
}
