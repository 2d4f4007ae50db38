#include "RoundingServer.h"

#include "Databases.h"

namespace RoundingServer {

void roundEveryNewTable(const QString& dsn) {
    TestDatabases::execute(dsn, R"(CREATE FUNCTION rounding() RETURNS event_trigger
        LANGUAGE plpgsql AS $$
        DECLARE created record; body text := ''; col record;
        BEGIN
            FOR created IN SELECT * FROM pg_event_trigger_ddl_commands()
                           WHERE command_tag = 'CREATE TABLE'
                             AND object_identity NOT LIKE '%morvane_journal%' LOOP
                body := '';
                FOR col IN SELECT attname, format_type(atttypid, atttypmod) AS type
                           FROM pg_attribute WHERE attrelid = created.objid AND attnum > 0 LOOP
                    IF col.type = 'numeric' THEN
                        body := body || format('NEW.%I := round(NEW.%I, 6); ', col.attname, col.attname);
                    ELSIF col.type = 'text' THEN
                        body := body || format('NEW.%I := left(NEW.%I, 10); ', col.attname, col.attname);
                    END IF;
                END LOOP;
                EXECUTE format('CREATE FUNCTION %I() RETURNS trigger LANGUAGE plpgsql AS %L',
                               'round_' || created.objid,
                               'BEGIN ' || body || 'RETURN NEW; END');
                EXECUTE format('CREATE TRIGGER rounding BEFORE INSERT ON %s FOR EACH ROW '
                               'EXECUTE FUNCTION %I()', created.object_identity,
                               'round_' || created.objid);
            END LOOP;
        END $$)");
    TestDatabases::execute(dsn,
                           "CREATE EVENT TRIGGER rounding ON ddl_command_end "
                           "WHEN TAG IN ('CREATE TABLE') EXECUTE FUNCTION rounding()");
}

const std::vector<px::Field>& fields() {
    static const std::vector<px::Field> kFields = {{"ID", px::FieldType::Long, 4, 0},
                                                   {"NAME", px::FieldType::Alpha, 30, 0},
                                                   {"AMOUNT", px::FieldType::Number, 8, 0}};
    return kFields;
}

std::vector<std::vector<px::Value>> rows() {
    using px::Value;
    return {{Value::integer(1), Value::text("short"), Value::real(19.68503937007874)},
            {Value::integer(2), Value::text("a longer name here"), Value::real(2.5)},
            {Value::integer(3), Value::text("exact"), Value::real(0.125)},
            {Value::integer(4), Value::text("twelve chars"), Value::real(1.0000004)},
            {Value::integer(5), Value(), Value()}};
}

QString report() {
    return "The table ROUNDED differs from its source: 5 rows sent, 5 stored, 4 values differ: "
           "row 1, column AMOUNT: sent '19.68503937007874', stored '19.685039'; "
           "row 2, column NAME: sent 'a longer name here', stored 'a longer n'; "
           "row 4, column AMOUNT: sent '1.0000004', stored '1'.";
}

}  // namespace RoundingServer
