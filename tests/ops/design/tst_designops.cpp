// Projects, questions and options on a database without windows: what each write keeps, what
// it logs, and that a failing part keeps nothing.
#include "ops/design/options.h"
#include "ops/design/projects.h"
#include "ops/design/questions.h"
#include "support/builders.h"
#include "support/opsdb.h"

#include <QSqlQuery>
#include <QTest>

using namespace ops::design;

namespace {

const QString kHostile = QStringLiteral("甲'乙\"; drop table t_ywbh; --");

QStringList column(tst::OpsDb& db, const db::Statement& sql)
{
    QStringList t;
    QSqlQuery q = db.con().select(sql);
    while (q.next())
        t << q.value(0).toString();
    return t;
}

QStringList logTexts(tst::OpsDb& db)
{
    return column(db, QStringLiteral("select logcon from syslog order by id"));
}

// Statements containing the text fail while this lives.
struct Failing
{
    tst::OpsDb& db;
    Failing(tst::OpsDb& d, const QString& part) : db(d)
    {
        db.con().setStatementHook([part](const QString& sql) {
            if (sql.contains(part))
                throw db::Error(QStringLiteral("planned failure"));
        });
    }
    ~Failing() { db.con().setStatementHook({}); }
};

} // namespace

class TestDesignOps : public QObject
{
    Q_OBJECT
    // A fresh database for every test (and every row of a data-driven one).
    std::unique_ptr<tst::OpsDb> m_db;

private slots:
    void init()
    {
        m_db = std::make_unique<tst::OpsDb>();
        QVERIFY(m_db->ok());
    }
    void cleanup() { m_db.reset(); }
    void projects();
    void projectWritesKeepNothingOnFailure_data();
    void projectWritesKeepNothingOnFailure();
    void questions();
    void options();
};

void TestDesignOps::projects()
{
    tst::OpsDb& db = *m_db;
    qint64 a = 0;
    QCOMPARE(addProject(db.con(), db.who, kHostile, QStringLiteral("提示'"), &a), Outcome::Done);
    // The column default makes it active; the list shows the state word.
    QCOMPARE(column(db, projectListQuery() + QStringLiteral(" where ywbh=%1").arg(a)), QStringList{QString::number(a)});
    QCOMPARE(db.scalar(QStringLiteral("select ywname||ywtips||zt from t_ywbh")).toString(), kHostile + "提示'1");
    QCOMPARE(addProject(db.con(), db.who, kHostile, QString()), Outcome::DuplicateName);
    const qint64 b = tst::addProject(db.con(), QStringLiteral("乙"));

    // A change may keep its own name but not take another's.
    QCOMPARE(changeProject(db.con(), b, kHostile, QString()), Outcome::DuplicateName);
    QCOMPARE(changeProject(db.con(), b, QStringLiteral("乙"), QStringLiteral("新")), Outcome::Done);
    QCOMPARE(db.count(QStringLiteral("t_ywbh"), QStringLiteral("ywtips='新'")), 1);

    setProjectState(db.con(), db.who, b, QStringLiteral("乙"), 0);
    setProjectState(db.con(), db.who, b, QStringLiteral("乙"), 1);
    QCOMPARE(column(db, QStringLiteral("select vlname from (") + projectListQuery() + ") order by ywbh"),
             (QStringList{QStringLiteral("启用"), QStringLiteral("启用")}));

    // Customers keep a project; its questions stay when it goes.
    db.con().execute(QStringLiteral("insert into yhda(ywbh,dhhm1) values(?,'1')"), {a});
    QVERIFY(projectHasCustomers(db.con(), a));
    QCOMPARE(deleteProject(db.con(), db.who, a, kHostile), Outcome::HasCustomers);
    tst::addQuestion(db.con(), b, 1, QStringLiteral("问"));
    QCOMPARE(deleteProject(db.con(), db.who, b, QStringLiteral("乙")), Outcome::Done);
    QCOMPARE(db.count(QStringLiteral("t_ywbh")), 1);
    QCOMPARE(db.count(QStringLiteral("q_table")), 1);
    QCOMPARE(logTexts(db), (QStringList{QStringLiteral("添加项目:") + kHostile, QStringLiteral("停用项目　:乙"),
                                        QStringLiteral("启用项目　:乙"), QStringLiteral("删除项目:乙")}));
}

void TestDesignOps::projectWritesKeepNothingOnFailure_data()
{
    QTest::addColumn<QString>("failing");
    QTest::newRow("log row") << "syslog";
    QTest::newRow("the write") << "t_ywbh set";
}

void TestDesignOps::projectWritesKeepNothingOnFailure()
{
    QFETCH(QString, failing);
    tst::OpsDb& db = *m_db;
    const qint64 a = tst::addProject(db.con(), QStringLiteral("甲"));
    {
        Failing f(db, failing);
        QVERIFY_THROWS_EXCEPTION(db::Error, setProjectState(db.con(), db.who, a, QStringLiteral("甲"), 0));
        if (failing == QStringLiteral("syslog")) {
            QVERIFY_THROWS_EXCEPTION(db::Error, addProject(db.con(), db.who, QStringLiteral("乙"), QString()));
            QVERIFY_THROWS_EXCEPTION(db::Error, deleteProject(db.con(), db.who, a, QStringLiteral("甲")));
        }
    }
    QCOMPARE(db.con().transactionDepth(), 0);
    QCOMPARE(column(db, QStringLiteral("select ywname||zt from t_ywbh")), QStringList{QStringLiteral("甲1")});
    QCOMPARE(db.count(QStringLiteral("syslog")), 0);
}

void TestDesignOps::questions()
{
    tst::OpsDb& db = *m_db;
    const qint64 a = tst::addProject(db.con(), kHostile);
    const qint64 b = tst::addProject(db.con(), QStringLiteral("乙"));
    QCOMPARE(nextQuestionNumber(db.con(), a), 1);
    tst::addQuestion(db.con(), a, 7, QStringLiteral("七"));
    tst::addQuestion(db.con(), a, -3, QStringLiteral("负三"));
    QCOMPARE(nextQuestionNumber(db.con(), a), 8); // the gaps below 7 are not reused

    const qint64 q = addQuestion(db.con(), db.who, b, QStringLiteral("乙"), kHostile, 2, QStringLiteral("+2"));
    tst::addOption(db.con(), q, QStringLiteral("是"), 0);
    changeQuestion(db.con(), q, QStringLiteral("改'"), 5);
    QCOMPARE(db.scalar(QStringLiteral("select qnr||qbh||ywbh from q_table where qid=%1").arg(q)).toString(),
             QStringLiteral("改'5%1").arg(b));
    // The filter by name takes any text; "all" lists by project, then number.
    QCOMPARE(column(db, QStringLiteral("select qnr from (") + questionListQuery(kHostile) + ")"),
             (QStringList{QStringLiteral("负三"), QStringLiteral("七")}));
    QCOMPARE(column(db, questionListQuery()).size(), 3);

    deleteQuestion(db.con(), db.who, q, QStringLiteral("改'"), QStringLiteral("乙"));
    QCOMPARE(db.count(QStringLiteral("q_table")), 2);
    QCOMPARE(db.count(QStringLiteral("q_sel")), 1); // its options stay
    QCOMPARE(logTexts(db),
             (QStringList{QStringLiteral("为项目:乙添加问题:+2"), QStringLiteral("删除问题：改'(项目:乙)")}));
}

void TestDesignOps::options()
{
    tst::OpsDb& db = *m_db;
    const qint64 q =
        tst::addQuestion(db.con(), tst::addProject(db.con(), QStringLiteral("甲")), 1, QStringLiteral("题"));
    const qint64 first = addOption(db.con(), q, kHostile, 2);
    addOption(db.con(), q, QStringLiteral("否"), -1);
    changeOption(db.con(), first, QStringLiteral("是"), 0);
    // Editing keeps the option's place; adding and editing are not logged.
    const QString list = QStringLiteral("select sel||'>'||gotoq from (") + optionListQuery(q) + ")";
    QCOMPARE(column(db, list), (QStringList{QStringLiteral("是>0"), QStringLiteral("否>-1")}));
    QCOMPARE(db.count(QStringLiteral("syslog")), 0);
    {
        Failing f(db, QStringLiteral("syslog"));
        QVERIFY_THROWS_EXCEPTION(db::Error, deleteOption(db.con(), db.who, first, QStringLiteral("是")));
    }
    QCOMPARE(db.count(QStringLiteral("q_sel")), 2);
    deleteOption(db.con(), db.who, first, QStringLiteral("是"));
    QCOMPARE(column(db, list), QStringList{QStringLiteral("否>-1")});
    QCOMPARE(logTexts(db), QStringList{QStringLiteral("删除选项：是")});
}

QTEST_GUILESS_MAIN(TestDesignOps)
#include "tst_designops.moc"
