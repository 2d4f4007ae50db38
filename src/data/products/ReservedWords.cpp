#include "ReservedWords.h"

#include <QSet>
#include <QStringList>

namespace {

QSet<QString> setOf(const char* words) {
    const QStringList list = QString::fromLatin1(words).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    return {list.begin(), list.end()};
}

bool holds(const QSet<QString>& words, const QString& word) {
    return words.contains(word.toLower());
}

}  // namespace

namespace ReservedWords {

// SQL-92's reserved words, as ODBC lists them.
bool sqlStandard(const QString& word) {
    static const QSet<QString> words = setOf(
        "absolute action add all allocate alter and any are as asc assertion at authorization avg "
        "begin between bit bit_length both by cascade cascaded case cast catalog char "
        "char_length character character_length check close coalesce collate collation column "
        "commit connect connection constraint constraints continue convert corresponding count "
        "create cross current current_date current_time current_timestamp current_user cursor "
        "date day deallocate dec decimal declare default deferrable deferred delete desc "
        "describe descriptor diagnostics disconnect distinct domain double drop else end "
        "end-exec escape except exception exec execute exists external extract false fetch "
        "first float for foreign found from full get global go goto grant group having hour "
        "identity immediate in indicator initially inner input insensitive insert int integer "
        "intersect interval into is isolation join key language last leading left level like "
        "local lower match max min minute module month names national natural nchar next no "
        "not null nullif numeric octet_length of on only open option or order outer output "
        "overlaps pad partial position precision prepare preserve primary prior privileges "
        "procedure public read real references relative restrict revoke right rollback rows "
        "schema scroll second section select session session_user set size smallint some space "
        "sql sqlcode sqlerror sqlstate substring sum system_user table temporary then time "
        "timestamp timezone_hour timezone_minute to trailing transaction translate translation "
        "trim true union unique unknown update upper usage user using value values varchar "
        "varying view when whenever where with work write year zone");
    return holds(words, word);
}

// PostgreSQL 15's reserved key words, and those that cannot name a table or function.
bool postgreSql(const QString& word) {
    static const QSet<QString> words = setOf(
        "all analyse analyze and any array as asc asymmetric authorization binary both case cast "
        "check collate collation column concurrently constraint create cross current_catalog "
        "current_date current_role current_schema current_time current_timestamp current_user "
        "default deferrable desc distinct do else end except false fetch for foreign freeze from "
        "full grant group having ilike in initially inner intersect into is isnull join lateral "
        "leading left like limit localtime localtimestamp natural not notnull null offset on only "
        "or order outer overlaps placing primary references returning right select session_user "
        "similar some symmetric system_user table tablesample then to trailing true union unique "
        "user using variadic verbose when where window with");
    return holds(words, word);
}

// MariaDB 10.11's reserved words.
bool mariaDb(const QString& word) {
    static const QSet<QString> words = setOf(
        "accessible add all alter analyze and as asc asensitive before between bigint binary "
        "blob both by call cascade case change char character check collate column condition "
        "constraint continue convert create cross current_date current_role current_time "
        "current_timestamp current_user cursor database databases day_hour day_microsecond "
        "day_minute day_second dec decimal declare default delayed delete delete_domain_id desc "
        "describe deterministic distinct distinctrow div do_domain_ids double drop dual each "
        "else elseif enclosed escaped except exists exit explain false fetch float float4 float8 "
        "for force foreign from fulltext general grant group having high_priority "
        "hour_microsecond hour_minute hour_second if ignore ignore_domain_ids ignore_server_ids "
        "in index infile inner inout insensitive insert int int1 int2 int3 int4 int8 integer "
        "intersect interval into is iterate join key keys kill leading leave left like limit "
        "linear lines load localtime localtimestamp lock long longblob longtext loop "
        "low_priority master_heartbeat_period master_ssl_verify_server_cert match maxvalue "
        "mediumblob mediumint mediumtext middleint minute_microsecond minute_second mod modifies "
        "natural not no_write_to_binlog null numeric offset on optimize option optionally or "
        "order out outer outfile over page_checksum parse_vcol_expr partition position precision "
        "primary procedure purge range read reads read_write real recursive ref_system_id "
        "references regexp release rename repeat replace require resignal restrict return "
        "returning revoke right rlike rows schema schemas second_microsecond select sensitive "
        "separator set show signal slow smallint spatial specific sql sqlexception sqlstate "
        "sqlwarning sql_big_result sql_calc_found_rows sql_small_result ssl starting "
        "stats_auto_recalc stats_persistent stats_sample_pages straight_join table terminated "
        "then tinyblob tinyint tinytext to trailing trigger true undo union unique unlock "
        "unsigned update usage use using utc_date utc_time utc_timestamp values varbinary "
        "varchar varcharacter varying when where while window with write xor year_month "
        "zerofill");
    return holds(words, word);
}

// SQL Anywhere 17's reserved words.
bool sqlAnywhere(const QString& word) {
    static const QSet<QString> words = setOf(
        "add all alter and any array as asc attach backup begin between bigint binary bit "
        "bottom break by call capability cascade case cast char char_convert character check "
        "checkpoint close comment commit compressed conflict connect constraint contains "
        "continue convert create cross cube current current_timestamp current_user cursor date "
        "datetimeoffset dbspace deallocate dec decimal declare default delete deleting desc "
        "detach distinct do double drop dynamic else elseif encrypted end endif escape except "
        "exception exec execute existing exists externlogin fetch first float for force foreign "
        "forward from full goto grant group having holdlock identified if in index inner inout "
        "insensitive insert inserting install instead int integer integrated intersect into is "
        "isolation join json kerberos key lateral left like limit lock login long match "
        "membership merge message mode modify natural nchar new no noholdlock not notify null "
        "numeric nvarchar of off on open openstring openxml option options or order others out "
        "outer over passthrough precision prepare primary print privileges proc procedure "
        "publication raiserror readtext real reference references refresh release remote remove "
        "rename reorganize resource restore restrict return revoke right rollback rollup row "
        "rowtype save savepoint scroll select sensitive session set setuser share smallint some "
        "spatial sqlcode sqlstate start stop subtrans subtransaction synchronize table temporary "
        "then time timestamp tinyint to top tran treat trigger truncate tsequal unbounded union "
        "unique uniqueidentifier unknown unnest unsigned update updating user using validate "
        "values varbinary varbit varchar variable varray varying view wait waitfor when where "
        "while window with with_cube with_lparen with_rollup within work writetext xml");
    return holds(words, word);
}

// SQLite's key words.
bool sqlite(const QString& word) {
    static const QSet<QString> words = setOf(
        "abort action add after all alter always analyze and as asc attach autoincrement before "
        "begin between by cascade case cast check collate column commit conflict constraint "
        "create cross current current_date current_time current_timestamp database default "
        "deferrable deferred delete desc detach distinct do drop each else end escape except "
        "exclude exclusive exists explain fail filter first following for foreign from full "
        "generated glob group groups having if ignore immediate in index indexed initially inner "
        "insert instead intersect into is isnull join key last left like limit match "
        "materialized natural no not nothing notnull null nulls of offset on or order others "
        "outer over partition plan pragma preceding primary query raise range recursive "
        "references regexp reindex release rename replace restrict returning right rollback row "
        "rows savepoint select set table temp temporary then ties to transaction trigger "
        "unbounded union unique update using vacuum values view virtual when where window with "
        "without");
    return holds(words, word);
}

}  // namespace ReservedWords
