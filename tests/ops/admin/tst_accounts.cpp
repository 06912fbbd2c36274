// Operator accounts, the own password and the setting, on a database without windows.
#include "db/password.h"
#include "ops/admin/accounts.h"
#include "ops/admin/password.h"
#include "ops/admin/settings.h"
#include "support/builders.h"
#include "support/operators.h"
#include "support/opsdb.h"

#include "db/sqlvalue.h"

#include <QSqlRecord>
#include <QTest>

using namespace ops::admin;

namespace {

const qint64 kBuiltIn = 1;

QString field(tst::OpsDb& db, qint64 id, const char* column)
{
    return db.scalar(QStringLiteral("select %1 from syslogin where id=%2").arg(QLatin1String(column)).arg(id))
        .toString();
}

qint64 addRow(tst::OpsDb& db, const QString& uname, const QString& tp = vocab::kOperator, int zt = 0)
{
    return tst::addOperator(db.con(), uname, uname + QStringLiteral("名"), QStringLiteral("pw"), tp, zt);
}

// The password is kept as a hash of the typed one (on the server as the role's), never the text.
bool storedPasswordIs(tst::OpsDb& db, qint64 id, const QString& typed)
{
    return tst::passwordWorks(db.con(), field(db, id, "uname"), typed);
}

QStringList rows(tst::OpsDb& db, const QString& sql)
{
    QStringList t;
    QSqlQuery q = db.con().select(sql);
    while (q.next())
        for (int i = 0; i < q.record().count(); ++i)
            t << q.value(i).toString();
    return t;
}

QStringList logTexts(tst::OpsDb& db)
{
    return rows(db, QStringLiteral("select logcon from syslog order by id"));
}

Account account(const QString& uname, const QString& tp = vocab::kOperator, const QString& pwd = kKeepPassword)
{
    return {uname, uname + QStringLiteral("名"), pwd, tp};
}

} // namespace

class TestAccounts : public QObject
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
    void addAndChange();
    void builtInAndState();
    void failuresKeepNothing_data();
    void failuresKeepNothing();
    void lastAdministrator();
    void ownPassword();
    void setting();
};

void TestAccounts::addAndChange()
{
    tst::OpsDb& db = *m_db;
    qint64 id = 0;
    const Account hostile{QStringLiteral("o'neil"), QStringLiteral("奥'尼尔; drop table syslogin"),
                          QStringLiteral("p'w\\%"), QStringLiteral("超级用户")};
    QCOMPARE(addAccount(db.con(), db.who, hostile, &id), Outcome::Done);
    // Stored as typed, enabled, not built in; a type that is neither word is the empty text.
    QCOMPARE(rows(db, QStringLiteral("select uname,truename,tp,zt,sysadmin from syslogin where id=%1").arg(id)),
             (QStringList{hostile.uname, hostile.truename, "", "0", "0"}));
    QVERIFY(storedPasswordIs(db, id, hostile.pwd));
    QCOMPARE(logTexts(db), QStringList{QStringLiteral("添加操作人员:o'neil(奥'尼尔; drop table syslogin)")});

    // Login names compare as the database compares text; the own row does not count.
    const qint64 zhang = addRow(db, QStringLiteral("zhang"));
    QCOMPARE(addAccount(db.con(), db.who, account(QStringLiteral("ZHANG"))), Outcome::DuplicateName);
    QCOMPARE(changeAccount(db.con(), db.who, id, account(QStringLiteral("Zhang"))), Outcome::DuplicateName);
    QVERIFY(!loginNameTaken(db.con(), QStringLiteral("zhan_")));
    QCOMPARE(changeAccount(db.con(), db.who, zhang,
                           {QStringLiteral("Zhang"), QStringLiteral("奥'尼尔; drop table syslogin"), kKeepPassword,
                            vocab::kAdmin}),
             Outcome::Done);
    QCOMPARE(rows(db, QStringLiteral("select uname,tp from syslogin where id=%1").arg(zhang)),
             (QStringList{"Zhang", vocab::kAdmin}));
    QVERIFY(storedPasswordIs(db, zhang, "pw"));
    QCOMPARE(changeAccount(db.con(), db.who, zhang,
                           account(QStringLiteral("Zhang"), vocab::kAdmin, QStringLiteral("*****"))),
             Outcome::Done);
    QVERIFY(storedPasswordIs(db, zhang, "*****"));
    QCOMPARE(changeAccount(db.con(), db.who, 999, account(QStringLiteral("x"))), Outcome::NotFound);
    QCOMPARE(logTexts(db).mid(1),
             (QStringList{"修改操作人员:Zhang(奥'尼尔; drop table syslogin)", "修改操作人员:Zhang(Zhang名)"}));
}

void TestAccounts::builtInAndState()
{
    tst::OpsDb& db = *m_db;
    addRow(db, QStringLiteral("boss"), vocab::kAdmin);
    const qint64 op = addRow(db, QStringLiteral("o'hara"));
    // The built-in operator can be disabled and enabled, but not deleted.
    QCOMPARE(setAccountState(db.con(), db.who, QStringLiteral("admin"), 1), Outcome::Done);
    QCOMPARE(field(db, kBuiltIn, "zt"), QStringLiteral("1"));
    QCOMPARE(setAccountState(db.con(), db.who, QStringLiteral("admin"), 0), Outcome::Done);
    QCOMPARE(deleteAccount(db.con(), db.who, kBuiltIn), Outcome::BuiltIn);
    QCOMPARE(setAccountState(db.con(), db.who, QStringLiteral("o'hara"), 1), Outcome::Done);
    QCOMPARE(deleteAccount(db.con(), db.who, op), Outcome::Done);
    QCOMPARE(deleteAccount(db.con(), db.who, op), Outcome::NotFound);
    QCOMPARE(rows(db, QStringLiteral("select uname from syslogin order by id")), (QStringList{"admin", "boss"}));
    QCOMPARE(logTexts(db), (QStringList{"停用操作人员:admin", "启用操作人员:admin", "停用操作人员:o'hara",
                                        "删除操作人员:o'hara(o'hara名)"}));
}

void TestAccounts::failuresKeepNothing_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("failing");
    const QList<QPair<const char*, const char*>> changes = {
        {"add", "insert into syslogin"},
        {"change", "update syslogin set"},
        {"disable", "update  syslogin set zt"},
        {"delete", "delete from syslogin"},
        {"password", tst::onServer() ? "alter role" : "update syslogin set pwd"}};
    for (const auto& [action, change] : changes) {
        QTest::addRow("%s: the change", action) << action << change;
        QTest::addRow("%s: its log row", action) << action << "insert into  syslog";
    }
}

void TestAccounts::failuresKeepNothing()
{
    QFETCH(QString, action);
    QFETCH(QString, failing);
    tst::OpsDb& db = *m_db;
    const qint64 id = addRow(db, QStringLiteral("zhao"));
    const QString all = QStringLiteral("select * from syslogin order by id");
    const QStringList before = rows(db, all);
    db.con().setStatementHook([failing](const QString& sql) {
        if (sql.contains(failing))
            throw db::Error(QStringLiteral("disk I/O error"), sql);
    });
    const ops::Who zhao{QStringLiteral("zhao"), QStringLiteral("赵"), QString()};
    if (action == QLatin1String("add"))
        QVERIFY_THROWS_EXCEPTION(db::Error, addAccount(db.con(), db.who, account(QStringLiteral("qian"))));
    else if (action == QLatin1String("change"))
        QVERIFY_THROWS_EXCEPTION(db::Error, changeAccount(db.con(), db.who, id, account(QStringLiteral("zhao2"))));
    else if (action == QLatin1String("disable"))
        QVERIFY_THROWS_EXCEPTION(db::Error, setAccountState(db.con(), db.who, QStringLiteral("zhao"), 1));
    else if (action == QLatin1String("delete"))
        QVERIFY_THROWS_EXCEPTION(db::Error, deleteAccount(db.con(), db.who, id));
    else
        QVERIFY_THROWS_EXCEPTION(db::Error,
                                 changeOwnPassword(db.con(), zhao, QStringLiteral("pw"), QStringLiteral("n")));
    db.con().setStatementHook({});
    QCOMPARE(rows(db, all), before);
    QCOMPARE(db.count(QStringLiteral("syslog")), 0);
    QCOMPARE(db.con().transactionDepth(), 0);
    QCOMPARE(setAccountState(db.con(), db.who, QStringLiteral("zhao"), 1), Outcome::Done);
}

void TestAccounts::lastAdministrator()
{
    tst::OpsDb& db = *m_db;
    // A disabled administrator does not count: the built-in one is the last.
    const qint64 off = addRow(db, QStringLiteral("off"), vocab::kAdmin, 1);
    QVERIFY(isLastAdministrator(db.con(), kBuiltIn));
    QVERIFY(!isLastAdministrator(db.con(), off));
    QCOMPARE(setAccountState(db.con(), db.who, QStringLiteral("ADMIN"), 1), Outcome::LastAdministrator);
    for (const QString& tp : {vocab::kOperator, QString()})
        QCOMPARE(changeAccount(db.con(), db.who, kBuiltIn, account(QStringLiteral("admin"), tp)),
                 Outcome::LastAdministrator);
    QCOMPARE(rows(db, QStringLiteral("select zt,tp from syslogin where id=1")), (QStringList{"0", vocab::kAdmin}));
    QCOMPARE(db.count(QStringLiteral("syslog")), 0);
    // Renaming it is fine.
    QCOMPARE(changeAccount(db.con(), db.who, kBuiltIn, account(QStringLiteral("root"), vocab::kAdmin)), Outcome::Done);

    // With a second enabled administrator the first may go; then the second is the last.
    const qint64 boss = addRow(db, QStringLiteral("boss"), vocab::kAdmin);
    QCOMPARE(setAccountState(db.con(), db.who, QStringLiteral("root"), 1), Outcome::Done);
    QCOMPARE(deleteAccount(db.con(), db.who, boss), Outcome::LastAdministrator);
    QCOMPARE(setAccountState(db.con(), db.who, QStringLiteral("boss"), 1), Outcome::LastAdministrator);
    QCOMPARE(db.count(QStringLiteral("syslogin"), QStringLiteral("zt=0 and tp='管理员'")), 1);
}

void TestAccounts::ownPassword()
{
    tst::OpsDb& db = *m_db;
    const qint64 id = addRow(db, QStringLiteral("sun"));
    // As the operator's own seat does it (on the server: a session as its role).
    db::Connection seat(QStringLiteral("seat.sun"));
    if (db.onServer())
        QVERIFY(tst::openAsOperator(db.con(), seat, QStringLiteral("sun"), QStringLiteral("pw")));
    else
        db.openSecond(seat);
    db.exec(QStringLiteral("update syslogin set zt=1 where id=%1").arg(id));
    const ops::Who sun{QStringLiteral("SUN"), QStringLiteral("sun名"), QString()};
    QCOMPARE(changeOwnPassword(seat, sun, QStringLiteral("pv"), QStringLiteral("x")), PasswordChange::WrongOldPassword);
    // A disabled operator still can; the old password is compared as the login compares it.
    QCOMPARE(changeOwnPassword(seat, sun, QStringLiteral(" PW "), QStringLiteral("it's 密码\\")),
             PasswordChange::Changed);
    QVERIFY(storedPasswordIs(db, id, QStringLiteral("IT'S 密码\\")));
    QVERIFY(!storedPasswordIs(db, id, QStringLiteral("pw")));
    QCOMPARE(rows(db, QStringLiteral("select lower(uname),truename,logcon from syslog")),
             (QStringList{"sun", "sun名", "修改个人登录密码!"}));
    // An operator deleted after logging in is not found.
    db.exec(QStringLiteral("delete from syslogin where id=%1").arg(id));
    QCOMPARE(changeOwnPassword(seat, sun, QStringLiteral("it's"), QStringLiteral("y")), PasswordChange::NoSuchUser);
}

void TestAccounts::setting()
{
    tst::OpsDb& db = *m_db;
    QCOMPARE(readJgts(db.con()), 0);
    writeJgts(db.con(), 1);
    writeJgts(db.con(), 1); // the same value again
    QCOMPARE(readJgts(db.con()), 1);
    db.con().setStatementHook([](const QString& sql) {
        if (sql.contains(QLatin1String("option")))
            throw db::Error(QStringLiteral("disk I/O error"), sql);
    });
    QVERIFY_THROWS_EXCEPTION(db::Error, writeJgts(db.con(), 0));
    db.con().setStatementHook({});
    QCOMPARE(readJgts(db.con()), 1);
    // A database without its settings row gets one back.
    db.exec(QStringLiteral("delete from [option]"));
    QCOMPARE(readJgts(db.con()), 0);
    writeJgts(db.con(), 1);
    QCOMPARE(rows(db, QStringLiteral("select jgts from [option]")), QStringList{"1"});
}

QTEST_GUILESS_MAIN(TestAccounts)
#include "tst_accounts.moc"
