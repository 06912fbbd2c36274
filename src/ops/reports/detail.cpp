#include "ops/reports/detail.h"

#include "db/sqlvalue.h"
#include "db/transaction.h"

#include <QHash>
#include <QSqlQuery>

#include <algorithm>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace ops::reports {
namespace {

// Serialises replacing tmp among the server's sessions (a lock of its own, held until commit).
constexpr qint64 kPublishLock = 0x74766d70; // "tvmp"

struct Question
{
    qint64 qbh;
    qint64 qid;
    QString field;
    QString title;
};

QList<Question> readQuestions(db::Connection& con, qint64 ywbh)
{
    QList<Question> qs;
    QSqlQuery q = con.select(QStringLiteral("select * from q_table where ywbh=") + db::num(ywbh) +
                                 QStringLiteral(" order by qbh"),
                             true);
    while (q.next())
        qs.append({q.value(QStringLiteral("qbh")).toLongLong(), q.value(QStringLiteral("qid")).toLongLong(), {}, {}});
    // Equal numbers keep the order in which the questions were made.
    std::stable_sort(qs.begin(), qs.end(), [](const Question& a, const Question& b) {
        return a.qbh != b.qbh ? a.qbh < b.qbh : a.qid < b.qid;
    });
    QHash<qint64, int> seen;
    for (Question& x : qs) {
        const int k = ++seen[x.qbh];
        const QString n = QString::number(x.qbh);
        x.field = QStringLiteral("q") + n + (k > 1 ? QStringLiteral("_") + QString::number(k) : QString());
        x.title = QStringLiteral("问题") + n + (k > 1 ? QStringLiteral("(") + QString::number(k) + u')' : QString());
    }
    return qs;
}

// The answers of the chosen customers, pivoted in memory: one cell per customer and question,
// answer texts shared through a pool (a questionnaire's answers repeat a great deal).
class Pivot
{
public:
    Pivot(int rows, int cols) : m_cols(cols), m_text(size_t(rows) * size_t(cols), -1), m_id(m_text.size(), 0) {}

    void offer(int row, int col, qint64 answerId, QByteArrayView ans)
    {
        const size_t i = size_t(row) * size_t(m_cols) + size_t(col);
        if (m_text[i] >= 0 && m_id[i] <= answerId)
            return;
        const std::string_view key(ans.data(), size_t(ans.size()));
        auto it = m_pool.find(key);
        if (it == m_pool.end()) {
            it = m_pool.emplace(std::string(key), int(m_texts.size())).first;
            m_texts.append(QString::fromUtf8(ans));
        }
        m_text[i] = it->second;
        m_id[i] = answerId;
    }

    bool anyIn(int row) const
    {
        for (int c = 0; c < m_cols; ++c)
            if (m_text[size_t(row) * size_t(m_cols) + size_t(c)] >= 0)
                return true;
        return false;
    }

    QVariant cell(int row, int col) const
    {
        const int t = m_text[size_t(row) * size_t(m_cols) + size_t(col)];
        return t >= 0 ? QVariant(m_texts[t]) : QVariant(QMetaType(QMetaType::QString));
    }

private:
    int m_cols;
    std::vector<int> m_text;
    std::vector<qint64> m_id;
    struct Hash
    {
        using is_transparent = void;
        size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    std::unordered_map<std::string, int, Hash, std::equal_to<>> m_pool;
    QStringList m_texts;
};

void fill(db::Connection& con, const QList<Question>& qs, const Progress& progress)
{
    // Customers of the work table by record key.
    std::vector<qint64> rowids;
    QHash<qint64, int> rowOf;
    {
        QSqlQuery q = con.select(QStringLiteral("select rowid, id from scratch.detail"), true);
        while (q.next()) {
            rowOf.insert(q.value(1).toLongLong(), int(rowids.size()));
            rowids.push_back(q.value(0).toLongLong());
        }
    }
    const int total = int(rowids.size());
    if (progress)
        progress(0, total);
    if (qs.isEmpty() || total == 0)
        return;
    QHash<qint64, int> colOf;
    for (int c = 0; c < qs.size(); ++c)
        colOf.insert(qs[c].qid, c);

    Pivot pivot(total, int(qs.size()));
    {
        // The customers in key order: their answers come from the index in the order it keeps
        // them, straight from the engine (a million and a half rows).
        con.scan(QStringLiteral("select yhid,qid,id,ans from qansbbview where yhid in (select id from scratch.detail)"),
                 [&](const db::RowView& v) {
                     const auto row = rowOf.constFind(v.integer(0));
                     const auto col = colOf.constFind(v.integer(1));
                     if (row != rowOf.constEnd() && col != colOf.constEnd() && !v.isNull(1))
                         pivot.offer(row.value(), col.value(), v.integer(2), v.utf8(3));
                 });
    }
    QString set;
    for (const Question& x : qs)
        set += (set.isEmpty() ? QString() : QStringLiteral(",")) + x.field + QStringLiteral("=?");
    db::Prepared update =
        con.prepare(QStringLiteral("update scratch.detail set ") + set + QStringLiteral(" where rowid=?"));
    QVariantList values;
    values.reserve(qs.size() + 1);
    const int step = std::max(1, total / 100);
    for (int r = 0; r < total; ++r) {
        if (pivot.anyIn(r)) {
            values.clear();
            for (int c = 0; c < qs.size(); ++c)
                values.append(pivot.cell(r, c));
            values.append(rowids[size_t(r)]);
            update.run(values);
        }
        if (progress && (r + 1) % step == 0)
            progress(r + 1, total);
    }
    if (progress)
        progress(total, total);
}

// The database's tmp becomes a copy of the finished work table, whole: whoever reads tmp (the
// next session, other tools) sees the previous report or this one, never a part. Seats that
// finish at the same moment take turns; the last one's report stays.
void publish(db::Connection& con)
{
    db::Transaction t(con);
    if (con.engine() == db::Engine::PostgreSQL)
        con.scalar(QStringLiteral("select pg_advisory_xact_lock(%1)").arg(kPublishLock));
    // Named without a schema, tmp is the database's own on either engine: the work table has
    // another name, so neither the session's temporary tables nor the scratch file hide it.
    con.execute(QStringLiteral("drop table if exists tmp"));
    con.execute(QStringLiteral("select * into tmp from scratch.detail"));
    // On the server it belongs to the administrators' group, not to this administrator's role:
    // the next administrator replaces it, and the role can be dropped.
    if (con.engine() == db::Engine::PostgreSQL &&
        con.scalar(QStringLiteral("select count(*) from pg_roles where rolname='tellvane_admin'")).toInt() > 0)
        con.execute(QStringLiteral("alter table tmp owner to tellvane_admin"));
    t.commit();
}

} // namespace

QList<ReportColumn> detailInitialColumns()
{
    return {{{}, QStringLiteral("项目名称"), 119}, {{}, QStringLiteral("客户姓名"), 53},
            {{}, QStringLiteral("电话号码"), 91},  {{}, QStringLiteral("地区"), 54},
            {{}, QStringLiteral("受理时间"), 91},  {{}, QStringLiteral("受理结果"), 56},
            {{}, QStringLiteral("营销结果"), 53},  {{}, QStringLiteral("话务员"), 61},
            {{}, QStringLiteral("备注"), 86}};
}

DetailReport buildDetailReport(db::Connection& con, const Filter& f, const Progress& progress)
{
    const QList<Question> qs = readQuestions(con, f.ywbh);

    // The report is built in a work table of the connection's own: seats sharing one database, or
    // two programs on one file, each build theirs at the same time without touching another's,
    // and the database's tmp is only replaced once the report is complete.
    con.openScratch();
    db::Transaction t(con, db::Connection::Writes::OwnTablesOnly);
    // "if exists": a failed statement would end the whole transaction on the server.
    con.execute(QStringLiteral("drop table if exists scratch.detail"));
    con.execute(
        QStringLiteral("select  ywname,yhxm,dhhm1,dq,id,slz,sljg,jg,slsj,bz into scratch.detail from yhdaview ") +
        condition(f));
    // The server's tables have no rowid; there the rows are found by their record key.
    if (con.engine() == db::Engine::PostgreSQL)
        con.execute(QStringLiteral("create index scratch.detail_id on detail(id)"));
    for (const Question& x : qs)
        con.execute(QStringLiteral("alter table scratch.detail add column ") + x.field + QStringLiteral(" text(255)"));
    fill(con, qs, progress);
    // The grid shows the newest handling first, the newest record first among equal times (on
    // either engine: the order of ties is otherwise each engine's own); the index lets it show
    // its first rows at once.
    con.execute(QStringLiteral("create index scratch.detail_slsj on detail(slsj, id)"));
    t.commit();
    publish(con);

    DetailReport r;
    r.columns = {{QStringLiteral("ywname"), QStringLiteral("项目名称"), 60},
                 {QStringLiteral("yhxm"), QStringLiteral("客户姓名"), 60},
                 {QStringLiteral("dhhm1"), QStringLiteral("电话号码"), 60},
                 {QStringLiteral("dq"), QStringLiteral("地区"), 40},
                 {QStringLiteral("slsj"), QStringLiteral("受理时间"), 80},
                 {QStringLiteral("sljg"), QStringLiteral("受理结果"), 50},
                 {QStringLiteral("jg"), QStringLiteral("营销结果"), 50},
                 {QStringLiteral("slz"), QStringLiteral("话务员"), 50},
                 {QStringLiteral("bz"), QStringLiteral("备注"), 80}};
    for (const Question& x : qs)
        r.columns.append({x.field, x.title, 80});
    r.displaySql = QStringLiteral("select * from scratch.detail order by slsj desc, id desc");
    r.customers = int(con.scalar(QStringLiteral("select count(*) from scratch.detail")).toLongLong());
    r.questions = int(qs.size());
    return r;
}

} // namespace ops::reports
