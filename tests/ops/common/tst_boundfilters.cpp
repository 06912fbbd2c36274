// Every filter that takes typed text binds it: the text finds exactly its own rows, also on a
// server session where a backslash escapes the quote after it (standard_conforming_strings off),
// read whole or a window at a time as a grid reads.
#include "ops/admin/accounts.h"
#include "ops/admin/oplogquery.h"
#include "ops/customers/customerlist.h"
#include "ops/design/questions.h"
#include "ops/reports/filter.h"
#include "ops/reports/visitqueries.h"
#include "ops/visit/call.h"
#include "support/builders.h"
#include "support/opsdb.h"

#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>

#include <functional>
#include <map>
#include <memory>

namespace {

// Each is a whole value of its rows; "平常" is a row no filter asks for, which a filter that the
// text broke out of would list as well.
const QStringList kTexts = {QStringLiteral("O'Hara"), QStringLiteral("C:\\录音\\"), QStringLiteral("\\' or 1=1 --"),
                            QStringLiteral("王五"), QStringLiteral("平常")};

// What a filter lists for a text, and the column that names its rows.
struct Listing
{
    db::Statement statement;
    QString column;
};

using Make = std::function<Listing(const QString& text, qint64 project, db::Connection& con)>;

const std::map<QString, Make>& filters()
{
    namespace rp = ops::reports;
    namespace cu = ops::customers;
    static const std::map<QString, Make> all = {
        {QStringLiteral("report operator"),
         [](const QString& t, qint64 p, db::Connection&) {
             rp::Filter f;
             f.ywbh = p;
             f.slz = t;
             return Listing{QStringLiteral("select yhxm from yhdaview ") + rp::condition(f), QStringLiteral("yhxm")};
         }},
        {QStringLiteral("result query: operator, number, state, result"),
         [](const QString& t, qint64 p, db::Connection&) {
             rp::QueryFilter f;
             f.ywbh = p;
             f.operatorName = t;
             f.phone = t;
             f.text = t;
             return Listing{rp::resultQuery(f, t), QStringLiteral("yhxm")};
         }},
        {QStringLiteral("answer query: operator, number, answer"),
         [](const QString& t, qint64 p, db::Connection&) {
             rp::QueryFilter f;
             f.ywbh = p;
             f.operatorName = t;
             f.phone = t;
             f.text = t;
             return Listing{rp::answerQuery(f), QStringLiteral("yhxm")};
         }},
        {QStringLiteral("history query: operator, number, state"),
         [](const QString& t, qint64, db::Connection&) {
             rp::QueryFilter f;
             f.operatorName = t;
             f.phone = t;
             f.text = t;
             return Listing{rp::historyQuery(f), QStringLiteral("bz")};
         }},
        {QStringLiteral("customer search: state, number, assignee"),
         [](const QString& t, qint64 p, db::Connection&) {
             cu::Filter f;
             f.ywbh = p;
             f.state = t;
             f.phone = t;
             f.assignee = t;
             return Listing{cu::CustomerList::search(f).statement(), QStringLiteral("yhxm")};
         }},
        {QStringLiteral("customer count by state"),
         [](const QString& t, qint64 p, db::Connection& con) {
             cu::Filter f;
             f.ywbh = p;
             f.state = t;
             // the kept counts answer this one: the count as a row, "1" for exactly one record
             const qint64 n = cu::count(con, cu::CustomerList::search(f));
             return Listing{QStringLiteral("select '%1' as n").arg(n), QStringLiteral("n")};
         }},
        {QStringLiteral("log: operator, text"),
         [](const QString& t, qint64, db::Connection& con) {
             ops::admin::LogFilter f;
             f.truename = t;
             f.text = t;
             return Listing{ops::admin::logQuery(con, f), QStringLiteral("uname")};
         }},
        {QStringLiteral("accounts: login and full name"),
         [](const QString& t, qint64, db::Connection&) {
             return Listing{ops::admin::accountListQuery(t, t), QStringLiteral("tp")};
         }},
        {QStringLiteral("questions of a project"),
         [](const QString& t, qint64, db::Connection&) {
             return Listing{ops::design::questionListQuery(t), QStringLiteral("qnr")};
         }},
        {QStringLiteral("call history"),
         [](const QString& t, qint64, db::Connection&) {
             return Listing{ops::visit::historyOf(t), QStringLiteral("bz")};
         }},
    };
    return all;
}

QString names(QSqlQuery q, const QString& column)
{
    QStringList v;
    while (q.next())
        v << q.value(column).toString();
    v.sort();
    return v.join(u',');
}

} // namespace

class TestBoundFilters : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void textIsOnlyText_data();
    void textIsOnlyText();

private:
    std::unique_ptr<tst::OpsDb> m_db;
    std::unique_ptr<db::Connection> m_reader;
    qint64 m_project = 0;
};

// Row i of every table holds text i in each column a filter reads, and "r<i>" in the column
// that names it.
void TestBoundFilters::initTestCase()
{
    m_db = std::make_unique<tst::OpsDb>();
    QVERIFY(m_db->ok());
    db::Connection& con = m_db->con();
    m_project = tst::addProject(con, QStringLiteral("甲"));
    const qint64 question = tst::addQuestion(con, m_project, 1, QStringLiteral("问"));
    for (int i = 0; i < kTexts.size(); ++i) {
        const QString t = kTexts[i];
        const QString name = QStringLiteral("r%1").arg(i);
        const QString when = QStringLiteral("2013-06-09 10:00:00");
        con.execute(
            QStringLiteral("insert into yhda(ywbh,yhxm,dhhm1,sljg,jg,slsj,slz,zdslzxm) values(?,?,?,?,?,?,?,?)"),
            {m_project, name, t, t, t, when, t, t});
        const qint64 customer = tst::lastId(con);
        con.execute(QStringLiteral("insert into q_ans(qid,dhhm,yhid,ans,slz,tottime,dt) values(?,?,?,?,?,1,?)"),
                    {question, t, customer, t, t, when});
        con.execute(QStringLiteral("insert into visitlog(ywbh,dhhm,slz,sljg,bz,vtime) values(?,?,?,?,?,?)"),
                    {m_project, t, t, t, name, when});
        con.execute(QStringLiteral("insert into syslog(uname,truename,dt,logcon,ipaddr) values(?,?,?,?,'')"),
                    {name, t, when, t});
        con.execute(QStringLiteral("insert into syslogin(uname,truename,tp) values(?,?,?)"), {t, t, name});
        tst::addQuestion(con, tst::addProject(con, t), 1, name);
    }
    m_reader = con.openReader();
    if (m_db->onServer()) {
        // As a site may have it: a backslash in quoted text escapes what follows.
        for (db::Connection* c : {&con, m_reader.get()}) {
            c->execute(QStringLiteral("set standard_conforming_strings = off"));
            QCOMPARE(c->scalar(QStringLiteral("show standard_conforming_strings")).toString(), QStringLiteral("off"));
        }
    }
}

void TestBoundFilters::textIsOnlyText_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("listed");
    for (const auto& [name, make] : filters())
        for (int i = 0; i + 1 < kTexts.size(); ++i) {
            const bool count = name.startsWith(QStringLiteral("customer count"));
            QTest::addRow("%s: %s", qPrintable(name), qPrintable(kTexts[i]))
                << name << kTexts[i] << (count ? QStringLiteral("1") : QStringLiteral("r%1").arg(i));
        }
}

void TestBoundFilters::textIsOnlyText()
{
    QFETCH(QString, filter);
    QFETCH(QString, text);
    QFETCH(QString, listed);
    const Listing l = filters().at(filter)(text, m_project, m_db->con());
    QCOMPARE(names(m_db->con().select(l.statement), l.column), listed);
    // as a grid reads it: on its own connection, a window at a time
    QCOMPARE(names(m_reader->browse(l.statement), l.column), listed);
}

QTEST_GUILESS_MAIN(TestBoundFilters)
#include "tst_boundfilters.moc"
