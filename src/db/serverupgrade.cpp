#include "db/serverupgrade.h"

#include "db/schema.h"
#include "db/transaction.h"
#include "db/upgrade.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

namespace db {
namespace {

// The statements of a script, in order, without their final ";". A statement ends with ";" at
// the end of a line outside a function body ($$ ... $$); comment lines between statements go.
QStringList statements(const QString& script)
{
    QStringList out;
    QString stmt;
    bool inBody = false;
    for (const QString& line : script.split(QLatin1Char('\n'))) {
        const QString t = line.trimmed();
        if (!inBody && stmt.isEmpty() && (t.isEmpty() || t.startsWith(QLatin1String("--"))))
            continue;
        stmt += line + QLatin1Char('\n');
        if (line.count(QLatin1String("$$")) % 2)
            inBody = !inBody;
        if (!inBody && !t.startsWith(QLatin1String("--")) && t.endsWith(QLatin1Char(';'))) {
            out << stmt.trimmed().chopped(1);
            stmt.clear();
        }
    }
    return out;
}

QRegularExpression re(const char* pattern)
{
    return QRegularExpression(QString::fromLatin1(pattern), QRegularExpression::DotMatchesEverythingOption);
}

struct Column
{
    QString name; // as written: "option" keeps its quotes
    QString definition;
};

// The columns a CREATE TABLE statement defines, one a line; the table's constraints are left out.
QList<Column> tableColumns(const QString& create)
{
    QList<Column> out;
    const qsizetype open = create.indexOf(QLatin1Char('(')), close = create.lastIndexOf(QLatin1Char(')'));
    static const QRegularExpression constraint(QStringLiteral("^(PRIMARY|UNIQUE|CONSTRAINT|CHECK|FOREIGN|EXCLUDE)\\b"));
    for (QString line : create.mid(open + 1, close - open - 1).split(QLatin1Char('\n'))) {
        if (const qsizetype comment = line.indexOf(QLatin1String("--")); comment >= 0)
            line.truncate(comment);
        line = line.trimmed();
        if (line.endsWith(QLatin1Char(',')))
            line.chop(1);
        if (line.isEmpty() || constraint.match(line).hasMatch())
            continue;
        out << Column{line.section(QLatin1Char(' '), 0, 0), line};
    }
    return out;
}

class Upgrade
{
public:
    explicit Upgrade(Connection& con) : m_con(con) {}

    QStringList run(const QString& schema, const QString& roles)
    {
        const QStringList script = statements(schema) + statements(roles);
        planColumns(script);
        compareIndexes(schema);
        relayRights(script);
        for (const QString& s : script)
            replay(s);
        fill();
        return m_done;
    }

private:
    Connection& m_con;
    QStringList m_done;
    QHash<QString, QList<Column>> m_final; // each table's columns once the scripts have run
    QSet<QString> m_rebuild;               // indexes whose definition changed
    QSet<QString> m_created, m_changed;    // tables made here; tables that gained columns
    QSet<QString> m_filled;                // fill sections to run: tables and table.column made here

    void exec(const QString& sql)
    {
        QSqlQuery q(m_con.database());
        if (!q.exec(sql))
            throw Error(QStringLiteral("%1 (%2)").arg(q.lastError().databaseText(), sql.left(200)));
    }
    bool exists(const QString& name)
    {
        return !m_con.scalar(QStringLiteral("select cast(to_regclass(?) as text)"), {QStringLiteral("public.") + name})
                    .isNull();
    }
    QSet<QString> columnsOf(const QString& table)
    {
        QSet<QString> out;
        QSqlQuery q = m_con.select(QStringLiteral("select quote_ident(attname) from pg_attribute where attrelid = "
                                                  "to_regclass(?) and attnum > 0 and not attisdropped"),
                                   {QStringLiteral("public.") + table});
        while (q.next())
            out << q.value(0).toString();
        return out;
    }

    // A table's columns as its CREATE TABLE and the ALTER TABLE statements after it leave them.
    void planColumns(const QStringList& script)
    {
        static const QRegularExpression create = re("^CREATE TABLE (\\S+) \\(");
        static const QRegularExpression alter = re("^ALTER TABLE (\\S+) (ADD|DROP) COLUMN (\\S+)(.*)$");
        for (const QString& s : script) {
            if (const auto m = create.match(s); m.hasMatch()) {
                m_final.insert(m.captured(1), tableColumns(s));
            } else if (const auto a = alter.match(s); a.hasMatch()) {
                QList<Column>& cols = m_final[a.captured(1)];
                cols.removeIf([&](const Column& c) { return c.name == a.captured(3); });
                if (a.captured(2) == QLatin1String("ADD"))
                    cols << Column{a.captured(3), a.captured(3) + a.captured(4)};
            }
        }
    }

    // The schema laid into an empty schema of its own tells which indexes changed definition.
    void compareIndexes(const QString& schema)
    {
        const QString path = m_con.scalar(QStringLiteral("select current_setting('search_path')")).toString();
        exec(QStringLiteral("create schema tv_fresh"));
        m_con.scalar(QStringLiteral("select set_config('search_path', 'tv_fresh, public', true)"));
        exec(schema);
        m_con.scalar(QStringLiteral("select set_config('search_path', ?, true)"), {path});
        QSqlQuery q = m_con.select(QStringLiteral(
            "select f.relname, replace(pg_get_indexdef(f.oid), ' ON tv_fresh.', ' ON public.'), pg_get_indexdef(p.oid)"
            " from pg_class f join pg_namespace n on n.oid = f.relnamespace and n.nspname = 'tv_fresh'"
            " join pg_class p on p.relname = f.relname and p.relkind = 'i'"
            " and p.relnamespace = cast('public' as regnamespace) where f.relkind = 'i'"));
        while (q.next())
            if (q.value(1).toString() != q.value(2).toString())
                m_rebuild << q.value(0).toString();
        q.finish();
        exec(QStringLiteral("drop schema tv_fresh cascade"));
    }

    // Rights and row rules are laid again whole, and views (which hold no rows) afresh.
    void relayRights(const QStringList& script)
    {
        static const QRegularExpression view = re("^CREATE (OR REPLACE )?VIEW (\\S+)");
        QStringList views;
        for (const QString& s : script)
            if (const auto m = view.match(s); m.hasMatch() && !views.contains(m.captured(2)))
                views.prepend(m.captured(2));
        for (const QString& v : views)
            exec(QStringLiteral("drop view if exists %1 cascade").arg(v));
        for (auto it = m_final.cbegin(); it != m_final.cend(); ++it) {
            if (!exists(it.key()))
                continue;
            QSqlQuery q = m_con.select(QStringLiteral("select quote_ident(polname) from pg_policy where polrelid = "
                                                      "to_regclass(?)"),
                                       {QStringLiteral("public.") + it.key()});
            QStringList policies;
            while (q.next())
                policies << q.value(0).toString();
            for (const QString& p : policies)
                exec(QStringLiteral("drop policy %1 on %2").arg(p, it.key()));
            exec(QStringLiteral("alter table %1 disable row level security").arg(it.key()));
        }
    }

    void addColumn(const QString& table, const Column& c)
    {
        exec(QStringLiteral("alter table %1 add column %2").arg(table, c.definition));
        m_changed << table;
        const QString bare = QString(c.name).remove(QLatin1Char('"'));
        m_filled << QString(table).remove(QLatin1Char('"')) + QLatin1Char('.') + bare;
        m_done << QStringLiteral("added column %1.%2").arg(table, bare);
    }

    void replay(const QString& s)
    {
        static const QRegularExpression table = re("^CREATE TABLE (\\S+) \\(");
        static const QRegularExpression alter = re("^ALTER TABLE (\\S+) (.*)$");
        static const QRegularExpression addsColumn = re("^ADD COLUMN (\\S+)");
        static const QRegularExpression rows = re("^(INSERT INTO|UPDATE) ([^\\s(]+)");
        static const QRegularExpression index = re("^CREATE (UNIQUE )?INDEX (\\S+) ON");
        static const QRegularExpression function = re("^CREATE (FUNCTION|AGGREGATE) ");
        static const QRegularExpression trigger = re("^CREATE TRIGGER (\\S+)\\s.*?\\sON (\\S+)");
        if (const auto m = table.match(s); m.hasMatch()) {
            const QString t = m.captured(1);
            if (!exists(t)) {
                exec(s);
                m_created << t;
                m_filled << QString(t).remove(QLatin1Char('"'));
                m_done << QStringLiteral("created table %1").arg(t);
                return;
            }
            const QSet<QString> have = columnsOf(t);
            for (const Column& c : m_final.value(t))
                if (!have.contains(c.name))
                    addColumn(t, c);
        } else if (const auto a = alter.match(s); a.hasMatch()) {
            // What the script changes on a table it has just made, or on one that has just gained
            // the columns this change brings; on any other it is there already.
            const QString t = a.captured(1), what = a.captured(2);
            if (m_created.contains(t) || what.startsWith(QLatin1String("ENABLE ROW LEVEL SECURITY"))) {
                exec(s);
            } else if (const auto c = addsColumn.match(what); c.hasMatch()) {
                if (!columnsOf(t).contains(c.captured(1)))
                    addColumn(t, Column{c.captured(1), what.mid(QStringLiteral("ADD COLUMN ").size())});
            } else if (m_changed.contains(t)) {
                exec(QString(s).replace(QLatin1String("DROP COLUMN "), QLatin1String("DROP COLUMN IF EXISTS ")));
            }
        } else if (const auto r = rows.match(s); r.hasMatch()) {
            // The delivered rows go into new tables only; a change of a table's rows goes with
            // the column it fills.
            if (m_created.contains(r.captured(2)) ||
                (r.captured(1) == QLatin1String("UPDATE") && m_changed.contains(r.captured(2))))
                exec(s);
        } else if (const auto i = index.match(s); i.hasMatch()) {
            const QString name = i.captured(2);
            const bool there = exists(name);
            if (there && !m_rebuild.contains(name))
                return;
            if (there)
                exec(QStringLiteral("drop index %1").arg(name));
            exec(s);
            m_done << QStringLiteral("%1 index %2")
                          .arg(there ? QStringLiteral("re-created") : QStringLiteral("created"), name);
        } else if (function.match(s).hasMatch()) {
            exec(QStringLiteral("CREATE OR REPLACE ") + s.mid(QStringLiteral("CREATE ").size()));
        } else if (const auto g = trigger.match(s); g.hasMatch()) {
            exec(QStringLiteral("drop trigger if exists %1 on %2").arg(g.captured(1), g.captured(2)));
            exec(s);
        } else {
            // Views (dropped above), row rules, rights, groups, function settings: laid as they stand.
            exec(s);
        }
    }

    void fill()
    {
        QSet<QString> ran;
        for (const FillSection& f : fillSections(QStringLiteral(":/db/fill_pg.sql"))) {
            if (!m_filled.contains(f.name) && !(!f.after.isEmpty() && ran.contains(f.after)))
                continue;
            for (const QString& st : f.statements)
                exec(st);
            ran << f.name;
            m_done << QStringLiteral("filled %1").arg(f.name);
        }
    }
};

} // namespace

bool isServerDatabase(Connection& con)
{
    return con.scalar(QStringLiteral("select count(*) from pg_catalog.pg_class where relkind = 'r' and relnamespace = "
                                     "cast('public' as regnamespace) and relname in ('yhda', 'syslogin', 't_ywbh')"))
               .toInt() == 3;
}

bool serverSchemaCurrent(Connection& con)
{
    if (con.scalar(QStringLiteral("select count(*) from pg_catalog.pg_class where relname = 'tv_schema' and "
                                  "relnamespace = cast('public' as regnamespace)"))
            .toInt() == 0)
        return false;
    return con.scalar(QStringLiteral("select count(*) from tv_schema where stamp=?"), {serverSchemaStamp()}).toInt() >
           0;
}

QStringList upgradeServerSchema(Connection& con)
{
    const QString schema = serverSchemaSql(), roles = serverRolesSql();
    if (schema.isEmpty() || roles.isEmpty())
        throw Error(QStringLiteral("schema resource missing"));
    if (!isServerDatabase(con))
        throw Error(QStringLiteral("the database has no Tellvane tables to upgrade"));
    // Laid before every operator logged in as a role of its own: the upgrade would drop the
    // passwords kept in the table and give nobody a role.
    if (con.scalar(QStringLiteral("select count(*) from information_schema.columns where table_schema = 'public' and "
                                  "table_name = 'syslogin' and column_name = 'rolname'"))
            .toInt() == 0)
        throw Error(QStringLiteral("the database was laid before operators logged in as roles of their own: its "
                                   "passwords would be lost; nothing was changed"));
    Transaction t(con);
    const QStringList done = Upgrade(con).run(schema, roles);
    con.execute(QStringLiteral("delete from tv_schema"));
    con.execute(QStringLiteral("insert into tv_schema(stamp) values(?)"), {serverSchemaStamp()});
    t.commit();
    return done;
}

} // namespace db
