#include "ops/server/migrate.h"

#include "db/password.h"
#include "db/roles.h"
#include "db/schema.h"
#include "db/transaction.h"
#include "db/vocab.h"
#include "ops/server/copyin.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <QStringDecoder>
#include <atomic>
#include <vector>

namespace ops::server {
namespace {

constexpr qint64 kProgressEvery = 100000;

// Each kept figure recounted from the rows on the server, joined with what was copied: the
// statement counts the groups that differ (a group kept at 0 counts as absent).
const char* const kRecounts[][2] = {
    {"yhda_tally",
     "select count(*) from (select cast(coalesce(ywbh, 0) as bigint) as ywbh, cast(coalesce(sljg, '') as citext) as "
     "sljg,"
     " cast(coalesce('=' || zdslz, '') as citext) as zk, count(*) as n from yhda where del = 0 group by 1, 2, 3) r"
     " full join (select ywbh, sljg, zk, sum(n) as n from yhda_tally group by 1, 2, 3 having sum(n) <> 0) k"
     " on k.ywbh = r.ywbh and k.sljg = r.sljg and k.zk = r.zk"
     " where r.n is distinct from k.n"},
    {"yhda_talk",
     "select count(*) from (select yhid, sum(tottime) as secs from (select yhid, tottime, lead(tottime) over"
     " (partition by yhid order by id) as nxt from q_ans where yhid is not null) c where nxt is null or nxt < tottime"
     " group by yhid) r full join yhda_talk k on k.yhid = r.yhid where coalesce(r.secs, 0) <> coalesce(k.secs, 0)"},
    {"hwtj_tally",
     "select count(*) from (select cast(coalesce(y.ywbh, 0) as bigint) as ywbh, cast(coalesce(y.slz, '') as citext)"
     " as slz, cast(coalesce(substr(y.slsj, 1, 10), '') as text) as slsj, cast(y.sljg as citext) as sljg,"
     " cast(coalesce(y.jg, '') as citext) as jg, count(*) as n, sum(coalesce(t.secs, 0)) as tottime from yhda y"
     " left join yhda_talk t on t.yhid = y.id where y.del = 0 and y.sljg <> '未受理' and y.sljg <> '正在受理'"
     " group by 1, 2, 3, 4, 5) r full join (select * from hwtj_tally where n <> 0) k on k.ywbh = r.ywbh"
     " and k.slz = r.slz and k.slsj = r.slsj and k.sljg = r.sljg and k.jg = r.jg"
     " where r.n is distinct from k.n or r.tottime is distinct from k.tottime"},
    {"q_ans_tally",
     "select count(*) from (select cast(coalesce(qid, 0) as bigint) as qid, cast(coalesce(slz, '') as citext) as slz,"
     " cast(coalesce(ans, '') as citext) as ans, cast(coalesce(substr(dt, 1, 10), '') as text) as slsj,"
     " count(*) as n from q_ans group by 1, 2, 3, 4) r full join (select * from q_ans_tally where n <> 0) k"
     " on k.qid = r.qid and k.slz = r.slz and k.ans = r.ans and k.slsj = r.slsj where r.n is distinct from k.n"},
    // each customer's deciding ending (the response rates)
    {"yhda.czz",
     "select count(*) from yhda y left join (select ywbh, dhhm, max(k) as k from czzview group by 1, 2) e"
     " on e.ywbh = y.ywbh and e.dhhm = y.dhhm1 where y.czz is distinct from e.k or y.czlb is distinct from e.k % 8"},
};

// Held by a migration for its whole transaction: a second one into the same database at the
// same time is told so at once instead of failing on the first one's rows. (Advisory locks
// are per database; the number is this program's own.)
constexpr qint64 kMigrationLock = 0x54656c6c76616e65; // "Tellvane"

struct Column
{
    QString name;
    bool text = false; // read as bytes and checked: the file may hold text that is not UTF-8
};

bool isTextType(const QString& serverType)
{
    return serverType == QLatin1String("text") || serverType == QLatin1String("USER-DEFINED") // citext
           || serverType == QLatin1String("character varying");
}

QString ref(const QString& table)
{
    // option is a word of the statement language; the translation quotes it for each engine
    return table == QLatin1String("option") ? QStringLiteral("[option]") : table;
}

QStringList fileTables(db::Connection& src)
{
    QStringList out;
    QSqlQuery q = src.select(
        QStringLiteral("select name from sqlite_master where type='table' and name not like 'sqlite%' order by name"),
        true);
    while (q.next())
        out << q.value(0).toString();
    return out;
}

QStringList fileColumns(db::Connection& src, const QString& table)
{
    QStringList out;
    QSqlQuery q = src.select(QStringLiteral("select name from pragma_table_info(?) order by cid"), {table}, true);
    while (q.next())
        out << q.value(0).toString();
    return out;
}

// The detail report's table tmp as the file has it (the report makes it; the schema does not lay
// it): the same columns, with the server's types for the file's.
QString reportTableDefinition(db::Connection& src)
{
    QStringList cols;
    QSqlQuery q =
        src.select(QStringLiteral("select name, upper(type) from pragma_table_info('tmp') order by cid"), true);
    while (q.next()) {
        const QString type = q.value(1).toString();
        cols << q.value(0).toString() + u' ' +
                    (type.contains(QLatin1String("INT"))    ? QStringLiteral("bigint")
                     : type.contains(QLatin1String("REAL")) ? QStringLiteral("double precision")
                     : type.contains(QLatin1String("NUM"))  ? QStringLiteral("numeric")
                                                            : QStringLiteral("text"));
    }
    return QStringLiteral("create table tmp (") + cols.join(QStringLiteral(", ")) + u')';
}

QStringList serverTables(db::Connection& dst)
{
    QStringList out;
    QSqlQuery q = dst.select(QStringLiteral("select table_name from information_schema.tables where "
                                            "table_schema = current_schema() and table_type = 'BASE TABLE' "
                                            "order by table_name"),
                             true);
    while (q.next())
        out << q.value(0).toString();
    return out;
}

// The secondary indexes of the copied tables (keys stay): built once after the copy from sorted
// rows instead of growing with every row inserted.
QList<std::pair<QString, QString>> secondaryIndexes(db::Connection& dst)
{
    QList<std::pair<QString, QString>> out;
    QSqlQuery q = dst.select(
        QStringLiteral("select indexname, indexdef from pg_indexes i where schemaname = current_schema() and "
                       "not exists (select 1 from pg_constraint c where c.conname = i.indexname) "
                       "order by tablename, indexname"),
        true);
    while (q.next())
        out.append({q.value(0).toString(), q.value(1).toString()});
    return out;
}

QHash<QString, QString> serverColumnTypes(db::Connection& dst, const QString& table)
{
    QHash<QString, QString> out;
    QSqlQuery q = dst.select(QStringLiteral("select column_name, data_type from information_schema.columns "
                                            "where table_schema = current_schema() and table_name = ?"),
                             {table}, true);
    while (q.next())
        out.insert(q.value(0).toString(), q.value(1).toString());
    return out;
}

class Copier
{
public:
    Copier(db::Connection& src, db::Connection& dst, const Progress& progress)
        : m_src(src), m_dst(dst), m_progress(progress)
    {
    }

    qint64 copy(const QString& table, const QList<Column>& cols, qint64 expected)
    {
        say(QStringLiteral("%1: %2 rows").arg(table).arg(expected));
        QStringList names;
        QStringList read;
        for (const Column& c : cols) {
            names << c.name;
            // Qt would replace bytes that are not UTF-8 without saying so.
            read << (c.text ? QStringLiteral("cast(%1 as blob)").arg(c.name) : c.name);
        }
        CopyIn in(m_dst, table, names);
        QSqlQuery q = m_src.select(QStringLiteral("select %1, rowid from %2").arg(read.join(u','), ref(table)), true);
        QVariantList row;
        row.reserve(cols.size());
        qint64 copied = 0;
        while (q.next()) {
            row.clear();
            for (int i = 0; i < cols.size(); ++i) {
                if (!cols[i].text || q.isNull(i)) {
                    row << q.value(i);
                    continue;
                }
                QStringDecoder utf8(QStringDecoder::Utf8);
                const QString text = utf8.decode(q.value(i).toByteArray());
                if (utf8.hasError())
                    throw db::Error(QStringLiteral("table %1, row id %2, column %3: the text is not valid UTF-8; "
                                                   "correct it in the file and migrate again")
                                        .arg(table, q.value(cols.size()).toString(), cols[i].name));
                row << text;
            }
            in.row(row);
            if (++copied % kProgressEvery == 0)
                say(QStringLiteral("%1: %2 / %3").arg(table).arg(copied).arg(expected));
        }
        in.finish();
        return copied;
    }

    void say(const QString& line) const
    {
        if (m_progress)
            m_progress(line);
    }

private:
    db::Connection& m_src;
    db::Connection& m_dst;
    const Progress& m_progress;
};

// The file's operators as roles (see migrateToServer), after syslogin has been copied.
void makeRoles(db::Connection& src, db::Connection& dst, const QString& adminName, const QString& adminPassword)
{
    struct Op
    {
        qint64 id;
        QString uname;
        QString pwd;
        bool admin;
        bool enabled;
    };
    std::vector<Op> ops;
    {
        QSqlQuery q = src.select(QStringLiteral("select id, uname, pwd, tp, zt from syslogin order by id"), true);
        while (q.next())
            ops.push_back(Op{q.value(0).toLongLong(), q.value(1).toString(), q.value(2).toString(),
                             q.value(3).toString() == vocab::kAdmin, q.value(4).toInt() == 0});
    }
    bool adminFound = adminName.isEmpty();
    for (const Op& op : ops) {
        const QString role = db::roleName(op.uname);
        QString verifier; // empty: no password until an administrator gives one
        if (!adminName.isEmpty() && role == db::roleName(adminName) && op.admin && op.enabled &&
            db::passwordMatches(op.pwd, adminPassword)) {
            verifier = db::scramVerifier(dst, role, adminPassword);
            adminFound = true;
        } else if (!op.pwd.isEmpty() && !db::isPasswordHash(op.pwd)) {
            verifier = db::scramVerifier(dst, role, op.pwd); // a file not upgraded: the text is there
        }
        dst.execute(QStringLiteral("update syslogin set rolname=? where id=?"), {role, op.id});
        dst.scalar(QStringLiteral("select tv_seat_role(null, ?, ?, ?, ?)"),
                   {role, verifier.isEmpty() ? QStringLiteral("") : verifier, op.admin, op.enabled});
    }
    if (!adminFound)
        throw db::Error(QStringLiteral("%1 is no enabled administrator of the file with this password").arg(adminName));
}

} // namespace

Migration migrateToServer(const QString& source, db::Connection& target, const Progress& progress,
                          const QString& adminName, const QString& adminPassword)
{
    if (target.engine() != db::Engine::PostgreSQL)
        throw db::Error(QStringLiteral("the target is not a server database"));
    Migration out;
    db::Transaction t(target);
    if (!target.scalar(QStringLiteral("select pg_try_advisory_xact_lock(?)"), {kMigrationLock}).toBool())
        throw db::Error(QStringLiteral("another migration into this database is running: wait for it to end"));

    static std::atomic<int> serial{0};
    db::Connection src(QStringLiteral("migrate-source%1").arg(++serial));
    src.open(source);
    // The file is held for the whole copy (other programs wait), so that every table is read as
    // of one moment.
    db::Transaction snapshot(src);
    // Refuses a database that already has tables: a migration goes only into a new, empty one.
    db::createServerSchema(target);

    const QStringList onServer = serverTables(target);
    QSet<QString> serverSet(onServer.begin(), onServer.end());
    const QStringList inFile = fileTables(src);
    // The last detail report comes along: it is kept between runs, and other tools may read it.
    if (inFile.contains(QStringLiteral("tmp")) && !serverSet.contains(QStringLiteral("tmp"))) {
        target.execute(reportTableDefinition(src));
        // the administrators replace it with their next report
        target.execute(QStringLiteral("alter table tmp owner to tellvane_admin"));
        serverSet.insert(QStringLiteral("tmp"));
    }
    for (const QString& table : onServer)
        // (the server's record of its schema's release has no counterpart in a file)
        if (!inFile.contains(table) && table != QLatin1String("tv_schema"))
            throw db::Error(QStringLiteral("%1 has no table %2: bring it to the current release with "
                                           "tellvane-initdb first")
                                .arg(source, table));

    Copier copier(src, target, progress);
    QHash<QString, QList<Column>> columns;
    for (const QString& table : inFile) {
        if (!serverSet.contains(table)) {
            out.skipped << table; // a table the program does not know
            continue;
        }
        const QHash<QString, QString> types = serverColumnTypes(target, table);
        for (const QString& c : fileColumns(src, table)) {
            // The server keeps no passwords: the roles get theirs (makeRoles).
            if (table == QLatin1String("syslogin") && c == QLatin1String("pwd"))
                continue;
            if (!types.contains(c))
                throw db::Error(QStringLiteral("the server's table %1 has no column %2").arg(table, c));
            columns[table].append(Column{c, isTextType(types.value(c))});
        }
        // The copy brings the kept figures and draw keys as they are: no trigger adds to them.
        target.execute(QStringLiteral("alter table %1 disable trigger user").arg(ref(table)));
        target.execute(QStringLiteral("delete from %1").arg(ref(table))); // the delivered rows
    }

    const QList<std::pair<QString, QString>> indexes = secondaryIndexes(target);
    for (const auto& [name, definition] : indexes)
        target.execute(QStringLiteral("drop index ") + name);

    for (const QString& table : inFile) {
        if (!columns.contains(table))
            continue;
        const qint64 expected = src.scalar(QStringLiteral("select count(*) from %1").arg(ref(table))).toLongLong();
        const qint64 copied = copier.copy(table, columns[table], expected);
        const qint64 there = target.scalar(QStringLiteral("select count(*) from %1").arg(ref(table))).toLongLong();
        if (copied != expected || there != expected)
            throw db::Error(QStringLiteral("table %1: %2 rows in the file, %3 read, %4 on the server")
                                .arg(table)
                                .arg(expected)
                                .arg(copied)
                                .arg(there));
        out.tables.append(CopiedTable{table, there});
        out.rows += there;
    }

    copier.say(QStringLiteral("building %1 indexes").arg(indexes.size()));
    // more sort memory for this transaction's index builds (measured: 47 s -> 35 s on a million customers)
    target.execute(QStringLiteral("set local maintenance_work_mem = '256MB'"));
    for (const auto& [name, definition] : indexes)
        target.execute(definition);

    // Ids only grow: each sequence goes past the largest id the file ever gave, deleted rows'
    // included (SQLite keeps that in sqlite_sequence).
    QHash<QString, qint64> given;
    {
        QSqlQuery q = src.select(QStringLiteral("select name, seq from sqlite_sequence"), true);
        while (q.next())
            given.insert(q.value(0).toString(), q.value(1).toLongLong());
    }
    for (auto it = columns.cbegin(); it != columns.cend(); ++it) {
        for (const Column& c : it.value()) {
            const QVariant seq =
                target.scalar(QStringLiteral("select pg_get_serial_sequence(?, ?)"), {it.key(), c.name});
            if (seq.isNull() || seq.toString().isEmpty())
                continue;
            const qint64 top =
                std::max(given.value(it.key()),
                         target.scalar(QStringLiteral("select coalesce(max(%1), 0) from %2").arg(c.name, ref(it.key())))
                             .toLongLong());
            target.scalar(QStringLiteral("select setval(cast(? as regclass), ?, ?)"),
                          {seq.toString(), std::max<qint64>(top, 1), top > 0});
        }
        target.execute(QStringLiteral("alter table %1 enable trigger user").arg(ref(it.key())));
    }

    makeRoles(src, target, adminName, adminPassword);
    copier.say(QStringLiteral("syslogin: a role for each operator"));

    // The figures were copied, not counted: they must agree with the rows they count.
    for (const auto& [table, recount] : kRecounts) {
        const qint64 differ = target.scalar(QString::fromUtf8(recount)).toLongLong();
        if (differ != 0)
            throw db::Error(QStringLiteral("the kept figures of %1 disagree with a recount of the rows in %2 groups; "
                                           "run the statistics rebuild on the file and migrate again")
                                .arg(QLatin1String(table))
                                .arg(differ));
        copier.say(QStringLiteral("%1: figures agree with a recount").arg(QLatin1String(table)));
    }
    t.commit();
    return out;
}

} // namespace ops::server
