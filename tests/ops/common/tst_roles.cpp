// On the server every operator logs in as a role of its own and the server enforces the rights:
// per kind of operator, what must succeed and what must be refused; the log's who and when; the
// login's refusals; the accounts managed from an administrator's seat. Server only.
#include "db/roles.h"
#include "db/vocab.h"
#include "ops/admin/accounts.h"
#include "ops/admin/password.h"
#include "ops/common/login.h"
#include "ops/common/oplog.h"
#include "ops/visit/call.h"
#include "support/builders.h"
#include "support/operators.h"
#include "support/opsdb.h"

#include <QScopeGuard>
#include <QTest>
#include <memory>

using ops::admin::Outcome;

namespace {

// What a statement on a seat must come to.
enum class Expect { Done, Refused, Nothing }; // Nothing: runs, but changes no row
const QString kAdminPwd = QStringLiteral("Boss'pw\\");

struct Scene
{
    tst::OpsDb db;
    qint64 project = 0, question = 0, own = 0, free = 0, others = 0;
    db::Connection op{QStringLiteral("seat.zhao")};
    db::Connection admin{QStringLiteral("seat.boss")};

    bool build()
    {
        if (!db.ok())
            return false;
        db::Connection& c = db.con();
        project = tst::addProject(c, QStringLiteral("回访"));
        question = tst::addQuestion(c, project, 1, QStringLiteral("满意吗？"));
        tst::addOption(c, question, QStringLiteral("满意"), QVariant());
        tst::addOperator(c, QStringLiteral("zhao"), QStringLiteral("赵"), QStringLiteral("pw"), vocab::kOperator);
        tst::addOperator(c, QStringLiteral("qian"), QStringLiteral("钱"), QStringLiteral("pw"), vocab::kOperator);
        tst::addOperator(c, QStringLiteral("boss"), QStringLiteral("老板"), kAdminPwd, vocab::kAdmin);
        auto customer = [&](const QVariant& zdslz) {
            c.execute(QStringLiteral("insert into yhda(ywbh,xh,yhxm,dhhm1,sljg,zdslz) values(?,1,'x','138',?,?)"),
                      {project, vocab::kNotHandled, zdslz});
            return tst::lastId(c);
        };
        own = customer(QStringLiteral("zhao"));
        free = customer(QVariant());
        others = customer(QStringLiteral("qian"));
        c.execute(QStringLiteral("insert into syslog(uname,truename,logcon) values('qian','钱','成功登录系统')"));
        return tst::openAsOperator(c, op, QStringLiteral("zhao"), QStringLiteral("pw")) &&
               tst::openAsOperator(c, admin, QStringLiteral("BOSS"), kAdminPwd);
    }
    QString ids(const QString& sql) const
    {
        return QString(sql)
            .replace(QLatin1String("$own"), QString::number(own))
            .replace(QLatin1String("$free"), QString::number(free))
            .replace(QLatin1String("$others"), QString::number(others))
            .replace(QLatin1String("$p"), QString::number(project))
            .replace(QLatin1String("$q"), QString::number(question));
    }
};

} // namespace

class TstRoles : public QObject
{
    Q_OBJECT
    std::unique_ptr<Scene> m_scene; // the statements' (each runs in a transaction rolled back)

private slots:
    void init();
    void cleanupTestCase() { m_scene.reset(); }
    void statements_data();
    void statements();
    void operatorDrawsAndEndsCalls();
    void logCannotBeForged();
    void login_data();
    void login();
    void accountsAreRoles();
};

void TstRoles::init()
{
    if (!tst::onServer())
        QSKIP("the server's rights");
}

void TstRoles::statements_data()
{
    QTest::addColumn<bool>("asAdmin");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("expect");
    auto row = [](const char* name, bool admin, const char* sql, Expect e) {
        QTest::newRow(name) << admin << QString::fromUtf8(sql) << int(e);
    };
    // The operator's windows: the draw, the answers, the endings, the queries, the own password.
    row("op: read customers", false, "select count(*) from yhdaview", Expect::Done);
    row("op: draw a free customer", false, "update yhda set sljg='正在受理',drawkey=null where id=$free", Expect::Done);
    row("op: end an own call", false,
        "update yhda set sljg='已受理',jg='成功',bz='b',slsj=now(),slz='zhao' where id=$own", Expect::Done);
    row("op: answer", false, "insert into q_ans(qid,yhid,ans,slz,tottime) values($q,$own,'满意','zhao',3)",
        Expect::Done);
    row("op: answer again", false, "delete from q_ans where qid=$q and yhid=$own", Expect::Done);
    row("op: history", false, "insert into visitlog(ywbh,dhhm,slz,sljg) values($p,'138','zhao','已受理')",
        Expect::Done);
    row("op: log row", false, "insert into syslog(uname,truename,dt,logcon) values('a','b',now(),'c')", Expect::Done);
    row("op: settings", false, "select jgts from [option]", Expect::Done);
    row("op: questions", false, "select count(*) from q_sel join q_table on q_table.qid=q_sel.qid", Expect::Done);
    row("op: figures", false, "select sum(n) from yhda_tally", Expect::Done);
    row("op: book a call-back", false,
        "insert into hfyy(yhid,ywbh,dhhm,kssj,jssj,gksj,yyz,hfz) values($own,$p,'138','2026-12-09 10:00:00',"
        "'2026-12-09 11:00:00','2026-12-09 11:30:00','zhao','zhao')",
        Expect::Done);
    row("op: keep a customer back", false, "update yhda set hjcs=hjcs+1,kcsj='2026-12-09' where id=$own", Expect::Done);
    row("op: calling rules", false, "select count(*) from cbgz join hjsd on hjsd.ywbh=cbgz.ywbh", Expect::Done);
    // Everything else.
    row("op: make self administrator", false, "update syslogin set tp='管理员'", Expect::Refused);
    row("op: delete customers", false, "delete from yhda", Expect::Refused);
    row("op: add a project", false, "insert into t_ywbh(ywname) values('x')", Expect::Refused);
    row("op: change the log", false, "update syslog set logcon='x'", Expect::Refused);
    row("op: delete the log", false, "delete from syslog", Expect::Refused);
    row("op: read the log", false, "select count(*) from syslog", Expect::Refused);
    row("op: assign customers", false, "update yhda set zdslz='zhao' where id=$others", Expect::Refused);
    row("op: change another's customer", false, "update yhda set sljg='已受理' where id=$others", Expect::Refused);
    row("op: read another operator", false, "select count(*) from syslogin where uname='qian'", Expect::Nothing);
    row("op: questions", false, "insert into q_table(ywbh,qbh,qnr) values($p,2,'x')", Expect::Refused);
    row("op: settings change", false, "update [option] set jgts=1", Expect::Refused);
    row("op: import", false, "insert into yhda(ywbh,yhxm) values($p,'x')", Expect::Refused);
    row("op: figures change", false, "delete from hwtj_tally", Expect::Refused);
    row("op: manage operators", false, "select tv_seat_role(null,'tv_x',null,true,true)", Expect::Refused);
    row("op: another's password", false, "alter role tv_qian password 'x'", Expect::Refused);
    row("op: become administrator", false, "set role tellvane_admin", Expect::Refused);
    row("op: new table", false, "create table x(a int)", Expect::Refused);
    row("op: change calling rules", false, "insert into cbgz(ywbh,sljg,ycfz) values($p,'无应答',0)", Expect::Refused);
    row("op: delete call-backs", false, "delete from hfyy", Expect::Refused);
    // The administrator's windows.
    row("admin: project", true, "insert into t_ywbh(ywname) values('新''项目')", Expect::Done);
    row("admin: question", true, "insert into q_table(ywbh,qbh,qnr) values($p,2,'x')", Expect::Done);
    row("admin: option", true, "insert into q_sel(qid,sel,gotoq) values($q,'否',0)", Expect::Done);
    row("admin: settings", true, "update [option] set jgts=1", Expect::Done);
    row("admin: import", true, "insert into yhda(ywbh,pc,xh,yhxm,dhhm1) values($p,2,1,'x','139')", Expect::Done);
    row("admin: assign", true, "update yhda set zdslz='qian',zdslzxm='钱' where id=$free", Expect::Done);
    row("admin: mark deleted", true, "update yhda set del=1,deltime=now(),deler='boss' where id=$others", Expect::Done);
    row("admin: delete", true, "delete from yhda where id=$others", Expect::Done);
    row("admin: read the log", true, "select count(*) from syslog", Expect::Done);
    row("admin: operators", true, "select count(*) from syslogin", Expect::Done);
    row("admin: statistics rebuild", true, "delete from hwtj_tally", Expect::Done);
    row("admin: detail report", true, "select id into tmp from yhdaview", Expect::Done);
    row("admin: calling rules", true, "insert into hjsd(ywbh,grks,grjs) values($p,'09:00','18:00')", Expect::Done);
    row("admin: cancel call-backs", true, "update hfyy set zt=2", Expect::Done);
    row("admin: change the log", true, "update syslog set logcon='x'", Expect::Refused);
    row("admin: delete the log", true, "delete from syslog", Expect::Refused);
    row("admin: new role", true, "create role x", Expect::Refused);
    row("admin: superuser", true, "alter role tv_zhao superuser", Expect::Refused);
    row("admin: a role not an operator's", true, "select tv_seat_role_drop('tellvane')", Expect::Refused);
}

void TstRoles::statements()
{
    QFETCH(bool, asAdmin);
    QFETCH(QString, sql);
    QFETCH(int, expect);
    if (!m_scene) {
        m_scene = std::make_unique<Scene>();
        QVERIFY(m_scene->build());
    }
    Scene& s = *m_scene;
    db::Connection& seat = asAdmin ? s.admin : s.op;
    seat.begin();
    const auto undo = qScopeGuard([&seat] { seat.rollback(); });
    try {
        // a count: what it may read; anything else: the rows it changed
        const int changed =
            sql.startsWith(QLatin1String("select count")) ? seat.scalar(s.ids(sql)).toInt() : seat.execute(s.ids(sql));
        QVERIFY2(expect != int(Expect::Refused), "the server let it through");
        if (expect == int(Expect::Nothing))
            QCOMPARE(changed, 0);
    } catch (const db::Error& e) {
        QVERIFY2(expect == int(Expect::Refused), qPrintable(e.text()));
        QVERIFY2(e.fault() == db::Fault::Permission || e.text().contains(QLatin1String("permission denied")) ||
                     e.text().contains(QLatin1String("not an operator")),
                 qPrintable(e.text()));
    }
}

void TstRoles::operatorDrawsAndEndsCalls()
{
    Scene s;
    QVERIFY(s.build());
    ops::visit::Call call(s.op, {QStringLiteral("zhao"), QStringLiteral("赵"), QString()});
    call.setProject(int(s.project));
    call.loadFirstQuestion();
    int drawn = 0;
    for (const auto* c = &call.drawByState(vocab::kNotHandled); c->has_value(); ++drawn) {
        QVERIFY((*c)->id != s.others); // another operator's customer is never drawn
        const ops::visit::Call::Next next =
            call.outcome(QStringLiteral("关机"), QStringLiteral("r'\\"), vocab::kNotHandled);
        QVERIFY(!next.drawFailed);
        c = &call.customer();
    }
    QCOMPARE(drawn, 2);
    QCOMPARE(s.db.count(QStringLiteral("yhda"), QStringLiteral("sljg='关机' and slz='赵'")), 2);
    QCOMPARE(s.db.count(QStringLiteral("hwtj_tally"), QStringLiteral("slz='赵' and n=2")), 1);
    // The endings also gave their number's other customers, another operator's too, their disposition.
    QCOMPARE(s.db.count(QStringLiteral("yhda"), QStringLiteral("czlb=5")), 3);
    QCOMPARE(ops::admin::changeOwnPassword(s.op, {QStringLiteral("zhao"), QStringLiteral("赵"), QString()},
                                           QStringLiteral("PW"), QStringLiteral("新'密\\码")),
             ops::admin::PasswordChange::Changed);
    QVERIFY(tst::passwordWorks(s.db.con(), QStringLiteral("zhao"), QStringLiteral("新'密\\码")));
}

void TstRoles::logCannotBeForged()
{
    Scene s;
    QVERIFY(s.build());
    ops::writeLog(s.op, {QStringLiteral("boss"), QStringLiteral("老板"), QStringLiteral("10.0.0.1")},
                  QStringLiteral("成功登录系统"));
    s.op.execute(
        QStringLiteral("insert into syslog(uname,truename,dt,logcon) values('qian','钱','2001-01-01 00:00:00','x')"));
    QCOMPARE(s.db.count(QStringLiteral("syslog"), QStringLiteral("uname='zhao' and truename='赵' and dt > '2020'")), 2);
    QCOMPARE(s.db.count(QStringLiteral("syslog"), QStringLiteral("ipaddr='10.0.0.1'")), 1);
}

void TstRoles::login_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("found"); // uname|tp, or empty: refused
    QTest::newRow("operator") << "zhao"
                              << "pw"
                              << "zhao|话务员";
    QTest::newRow("letter case of name and password") << " ZHAO "
                                                      << "PW"
                                                      << "zhao|话务员";
    QTest::newRow("administrator") << "boss" << kAdminPwd << "boss|管理员";
    QTest::newRow("wrong password") << "zhao"
                                    << "pw1"
                                    << "";
    QTest::newRow("disabled") << "sun"
                              << "pw"
                              << "";
    QTest::newRow("deleted") << "li"
                             << "pw"
                             << "";
    QTest::newRow("unknown") << "nobody"
                             << "pw"
                             << "";
    QTest::newRow("quote") << "zhao"
                           << "' or '1'='1"
                           << "";
    QTest::newRow("name with quote, backslash, Chinese") << "周'\\五"
                                                         << "密'码\\"
                                                         << "周'\\五|话务员";
}

void TstRoles::login()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(QString, found);
    Scene s;
    QVERIFY(s.build());
    db::Connection& c = s.db.con();
    tst::addOperator(c, QStringLiteral("sun"), QStringLiteral("孙"), QStringLiteral("pw"), vocab::kOperator);
    QCOMPARE(ops::admin::setAccountState(c, s.db.who, QStringLiteral("sun"), 1), Outcome::Done);
    const qint64 li =
        tst::addOperator(c, QStringLiteral("li"), QStringLiteral("李"), QStringLiteral("pw"), vocab::kOperator);
    QCOMPARE(ops::admin::deleteAccount(c, s.db.who, li), Outcome::Done);
    tst::addOperator(c, QStringLiteral("周'\\五"), QStringLiteral("周"), QStringLiteral("密'码\\"), vocab::kOperator);

    db::Connection seat(QStringLiteral("seat.login"));
    const bool admitted = ops::openAsOperator(seat, c.server(), name.trimmed(), password);
    QCOMPARE(admitted, !found.isEmpty());
    if (!admitted)
        return;
    const auto who = ops::logIn(seat, name.trimmed(), password);
    QVERIFY(who.has_value());
    QCOMPARE(who->uname + u'|' + who->tp, found);
    // A session as one operator cannot log in as another.
    QVERIFY(!ops::logIn(seat, QStringLiteral("boss"), kAdminPwd) || found.startsWith(QLatin1String("boss")));
}

void TstRoles::accountsAreRoles()
{
    Scene s;
    QVERIFY(s.build());
    const ops::Who boss{QStringLiteral("boss"), QStringLiteral("老板"), QString()};
    const QString pwd = QStringLiteral("它's\\x");
    qint64 id = 0;
    QCOMPARE(ops::admin::addAccount(s.admin, boss,
                                    {QStringLiteral("Wang"), QStringLiteral("王"), pwd, vocab::kOperator}, &id),
             Outcome::Done);
    QVERIFY(tst::passwordWorks(s.db.con(), QStringLiteral("wANG"), QStringLiteral("它'S\\X")));
    QCOMPARE(s.db.scalar(QStringLiteral("select count(*) from syslogin where id=%1").arg(id)).toInt(), 1);
    // an operator's seat cannot
    QVERIFY_THROWS_EXCEPTION(
        db::Error, ops::admin::addAccount(
                       s.op, boss, {QStringLiteral("x"), QStringLiteral("x"), QStringLiteral("x"), vocab::kAdmin}));
    QCOMPARE(ops::admin::setAccountState(s.admin, boss, QStringLiteral("WANG"), 1), Outcome::Done);
    QVERIFY(!tst::passwordWorks(s.db.con(), QStringLiteral("wang"), pwd));
    QCOMPARE(ops::admin::setAccountState(s.admin, boss, QStringLiteral("wang"), 0), Outcome::Done);
    QVERIFY(tst::passwordWorks(s.db.con(), QStringLiteral("wang"), pwd));
    // renamed, made administrator, given a new password
    QCOMPARE(ops::admin::changeAccount(
                 s.admin, boss, id, {QStringLiteral("王二"), QStringLiteral("王"), QStringLiteral("n"), vocab::kAdmin}),
             Outcome::Done);
    QVERIFY(!tst::passwordWorks(s.db.con(), QStringLiteral("wang"), pwd));
    db::Connection seat(QStringLiteral("seat.wang"));
    QVERIFY(tst::openAsOperator(s.db.con(), seat, QStringLiteral("王二"), QStringLiteral("N")));
    QCOMPARE(seat.scalar(QStringLiteral("select count(*) from syslog")).toInt() > 0, true); // an administrator now
    seat.close();
    QCOMPARE(ops::admin::deleteAccount(s.admin, boss, id), Outcome::Done);
    QVERIFY(!tst::passwordWorks(s.db.con(), QStringLiteral("王二"), QStringLiteral("n")));
    QCOMPARE(s.db.scalar(QStringLiteral("select count(*) from pg_roles where rolname='%1'").arg(db::roleName("王二")))
                 .toInt(),
             0);
    // each change and its log row, as the administrator
    QCOMPARE(s.db.count(QStringLiteral("syslog"), QStringLiteral("uname='boss' and logcon like '%操作人员%'")), 5);
}

QTEST_GUILESS_MAIN(TstRoles)
#include "tst_roles.moc"
