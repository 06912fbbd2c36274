#include "ops/reports/detail.h"

#include "db/sqlvalue.h"
#include "db/transaction.h"

#include <QHash>
#include <QSqlQuery>

#include <algorithm>
#include <vector>

namespace ops::reports {
namespace {

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

    void offer(int row, int col, qint64 answerId, const QString& ans)
    {
        const size_t i = size_t(row) * size_t(m_cols) + size_t(col);
        if (m_text[i] >= 0 && m_id[i] <= answerId)
            return;
        auto it = m_pool.constFind(ans);
        if (it == m_pool.constEnd()) {
            it = m_pool.insert(ans, int(m_texts.size()));
            m_texts.append(ans);
        }
        m_text[i] = it.value();
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
    QHash<QString, int> m_pool;
    QStringList m_texts;
};

void fill(db::Connection& con, const QList<Question>& qs, const Progress& progress)
{
    // Customers of tmp by record key.
    std::vector<qint64> rowids;
    QHash<qint64, int> rowOf;
    {
        QSqlQuery q = con.select(QStringLiteral("select rowid, id from tmp"), true);
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
        // The customers in key order, their answers read from the index in the order it keeps
        // them, packed into one text per customer: a hundred thousand rows to step through
        // instead of a million and a half. Fields are split by control characters that an
        // answer (one line of text) does not hold; the answer comes last, whatever it holds.
        QSqlQuery q = con.select(QStringLiteral("select yhid, group_concat(qid || char(31) || id || char(31) || "
                                                "replace(ans, char(30), ' '), char(30)) from qansbbview "
                                                "where yhid in (select id from tmp) group by yhid"),
                                 true);
        while (q.next()) {
            const auto row = rowOf.constFind(q.value(0).toLongLong());
            if (row == rowOf.constEnd())
                continue;
            const QString packed = q.value(1).toString();
            for (const QStringView one : QStringView(packed).split(QChar(30))) {
                const qsizetype a = one.indexOf(QChar(31));
                const qsizetype b = a < 0 ? -1 : one.indexOf(QChar(31), a + 1);
                if (b < 0)
                    continue;
                const auto col = colOf.constFind(one.left(a).toLongLong());
                if (col == colOf.constEnd())
                    continue;
                pivot.offer(row.value(), col.value(), one.mid(a + 1, b - a - 1).toLongLong(), one.mid(b + 1).toString());
            }
        }
    }
    QString set;
    for (const Question& x : qs)
        set += (set.isEmpty() ? QString() : QStringLiteral(",")) + x.field + QStringLiteral("=?");
    db::Prepared update = con.prepare(QStringLiteral("update tmp set ") + set + QStringLiteral(" where rowid=?"));
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

    db::Transaction t(con);
    try {
        con.execute(QStringLiteral("drop table tmp"));
    } catch (const db::Error&) {
        // not there yet
    }
    con.execute(QStringLiteral("select  ywname,yhxm,dhhm1,dq,id,slz,sljg,jg,slsj,bz into tmp from yhdaview ") +
                condition(f));
    for (const Question& x : qs)
        con.execute(QStringLiteral("alter table tmp add column ") + x.field + QStringLiteral(" text(255)"));
    fill(con, qs, progress);
    // The grid shows the newest handling first; the index lets it show its first rows at once.
    con.execute(QStringLiteral("create index tmp_slsj on tmp(slsj)"));
    t.commit();

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
    r.displaySql = QStringLiteral("select * from tmp order by slsj desc");
    r.customers = int(con.scalar(QStringLiteral("select count(*) from tmp")).toLongLong());
    r.questions = int(qs.size());
    return r;
}

} // namespace ops::reports
