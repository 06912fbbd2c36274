// Operator accounts, the own password and the setting, on a database without windows.
#include "ops/admin/accounts.h"
#include "ops/admin/password.h"
#include "ops/admin/settings.h"
#include "support/opsdb.h"

#include "db/sqlvalue.h"

#include <QTest>

using namespace ops::admin;

namespace {

qint64 addRow(tst::OpsDb& db, const QString& uname, const QString& tp = vocab::kOperator, int zt = 0,
              const QString& pwd = QStringLiteral("pw"))
{
    db.exec(QStringLiteral("insert into syslogin(uname,truename,pwd,tp,zt) values(%1,%2,%3,%4,%5)")
                .arg(db::quoted(uname), db::quoted(uname + QStringLiteral("名")), db::quoted(pwd), db::quoted(tp))
                .arg(zt));
    return db.scalar(QStringLiteral("select max(id) from syslogin")).toLongLong();
}

QString field(tst::OpsDb& db, qint64 id, const char* column)
{
    return db.scalar(QStringLiteral("select %1 from syslogin where id=%2").arg(QLatin1String(column)).arg(id)).toString();
}

QStringList logTexts(tst::OpsDb& db)
{
    QStringList t;
    QSqlQuery q = db.con().select(QStringLiteral("select logcon from syslog order by id"));
    while (q.next())
        t << q.value(0).toString();
    return t;
}

// Statements containing part fail while this lives.
struct Fail
{
    tst::OpsDb& db;
    Fail(tst::OpsDb& d, const QString& part) : db(d)
    {
        db.con().setStatementHook([part](const QString& sql) {
            if (sql.contains(part))
                throw db::Error(QStringLiteral("disk I/O error"), sql);
        });
    }
    ~Fail() { db.con().setStatementHook({}); }
};

const qint64 kBuiltIn = 1;

} // namespace

class TestAccounts : public QObject
{
    Q_OBJECT
private slots:
    void addWritesRowAndLogTogether();
    void duplicateNamesByTextEquality();
    void changeKeepsOrSetsPassword();
    void enableAndDisableWithLog();
    void failuresKeepNothing_data();
    void failuresKeepNothing();
    void lastAdministrator();
    void builtInCannotBeDeleted();
    void ownPassword();
    void setting();
};

void TestAccounts::addWritesRowAndLogTogether()
{
    tst::OpsDb db;
    QVERIFY(db.ok());
    qint64 id = 0;
    const Account a{QStringLiteral("o'neil"), QStringLiteral("奥'尼尔; drop table syslogin"), QStringLiteral("p'w\\%"),
                    vocab::kAdmin};
    QCOMPARE(addAccount(db.con(), db.who, a, &id), Outcome::Done);
    QCOMPARE(field(db, id, "uname"), a.uname);
    QCOMPARE(field(db, id, "truename"), a.truename);
    QCOMPARE(field(db, id, "pwd"), a.pwd);
    QCOMPARE(field(db, id, "tp"), vocab::kAdmin);
    QCOMPARE(field(db, id, "zt"), QStringLiteral("0"));
    QCOMPARE(field(db, id, "sysadmin"), QStringLiteral("0"));
    QCOMPARE(logTexts(db), QStringList{QStringLiteral("添加操作人员:o'neil(奥'尼尔; drop table syslogin)")});
    QCOMPARE(db.scalar(QStringLiteral("select uname from syslog")).toString(), db.who.uname);
    // A type that is neither word is stored as the empty text.
    QCOMPARE(addAccount(db.con(), db.who, {QStringLiteral("x"), QStringLiteral("X"), QStringLiteral("p"),
                                           QStringLiteral("超级用户")},
                        &id),
             Outcome::Done);
    QCOMPARE(field(db, id, "tp"), QString());
}

void TestAccounts::duplicateNamesByTextEquality()
{
    tst::OpsDb db;
    QVERIFY(db.ok());
    const qint64 zhang = addRow(db, QStringLiteral("zhang"));
    const qint64 li = addRow(db, QStringLiteral("li"));
    QVERIFY(loginNameTaken(db.con(), QStringLiteral("ZHANG")));
    QVERIFY(!loginNameTaken(db.con(), QStringLiteral("ZHANG"), zhang));
    QVERIFY(!loginNameTaken(db.con(), QStringLiteral("zhan_")));

    // Adding or renaming into another row's name is refused and writes nothing.
    QCOMPARE(addAccount(db.con(), db.who, {QStringLiteral("Zhang"), QStringLiteral("张"), QStringLiteral("p"),
                                           vocab::kOperator}),
             Outcome::DuplicateName);
    QCOMPARE(changeAccount(db.con(), db.who, li, {QStringLiteral("ZHANG"), QStringLiteral("李"), kKeepPassword,
                                                  vocab::kOperator}),
             Outcome::DuplicateName);
    QCOMPARE(field(db, li, "uname"), QStringLiteral("li"));
    QCOMPARE(db.count(QStringLiteral("syslog")), 0);
    // The own row does not count; two operators may share a full name.
    QCOMPARE(changeAccount(db.con(), db.who, zhang, {QStringLiteral("Zhang"), QStringLiteral("li名"), kKeepPassword,
                                                     vocab::kOperator}),
             Outcome::Done);
    QCOMPARE(field(db, zhang, "uname"), QStringLiteral("Zhang"));
    QCOMPARE(logTexts(db), QStringList{QStringLiteral("修改操作人员:Zhang(li名)")});
}

void TestAccounts::changeKeepsOrSetsPassword()
{
    tst::OpsDb db;
    QVERIFY(db.ok());
    const qint64 id = addRow(db, QStringLiteral("wang"), vocab::kOperator, 0, QStringLiteral("Secret"));
    QCOMPARE(changeAccount(db.con(), db.who, id, {QStringLiteral("wang"), QStringLiteral("王"), kKeepPassword,
                                                  QStringLiteral("其他")}),
             Outcome::Done);
    QCOMPARE(field(db, id, "pwd"), QStringLiteral("Secret"));
    QCOMPARE(field(db, id, "tp"), QString());
    QCOMPARE(changeAccount(db.con(), db.who, id, {QStringLiteral("wang"), QStringLiteral("王"), QStringLiteral("*****"),
                                                  vocab::kAdmin}),
             Outcome::Done);
    QCOMPARE(field(db, id, "pwd"), QStringLiteral("*****"));
    QCOMPARE(field(db, id, "tp"), vocab::kAdmin);
    QCOMPARE(changeAccount(db.con(), db.who, 999, {QStringLiteral("x"), QStringLiteral("x"), kKeepPassword,
                                                   vocab::kAdmin}),
             Outcome::NotFound);
}

void TestAccounts::enableAndDisableWithLog()
{
    tst::OpsDb db;
    QVERIFY(db.ok());
    const qint64 id = addRow(db, QStringLiteral("o'hara"));
    QCOMPARE(setAccountState(db.con(), db.who, QStringLiteral("o'hara"), 1), Outcome::Done);
    QCOMPARE(field(db, id, "zt"), QStringLiteral("1"));
    QCOMPARE(setAccountState(db.con(), db.who, QStringLiteral("o'hara"), 0), Outcome::Done);
    QCOMPARE(field(db, id, "zt"), QStringLiteral("0"));
    // The built-in operator can be disabled and enabled like any other when another
    // administrator is left.
    addRow(db, QStringLiteral("boss"), vocab::kAdmin);
    QCOMPARE(setAccountState(db.con(), db.who, QStringLiteral("admin"), 1), Outcome::Done);
    QCOMPARE(setAccountState(db.con(), db.who, QStringLiteral("admin"), 0), Outcome::Done);
    QCOMPARE(logTexts(db), (QStringList{QStringLiteral("停用操作人员:o'hara"), QStringLiteral("启用操作人员:o'hara"),
                                        QStringLiteral("停用操作人员:admin"), QStringLiteral("启用操作人员:admin")}));
}

void TestAccounts::failuresKeepNothing_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("failing");
    const QString log = QStringLiteral("insert into  syslog");
    const QList<QPair<const char*, QString>> rows = {{"add", QStringLiteral("insert into syslogin")},
                                                     {"change", QStringLiteral("update syslogin set")},
                                                     {"disable", QStringLiteral("update  syslogin set zt")},
                                                     {"delete", QStringLiteral("delete from syslogin")},
                                                     {"password", QStringLiteral("update syslogin set pwd")}};
    for (const auto& [action, change] : rows) {
        QTest::addRow("%s: the change", action) << QString::fromLatin1(action) << change;
        QTest::addRow("%s: its log row", action) << QString::fromLatin1(action) << log;
    }
}

void TestAccounts::failuresKeepNothing()
{
    QFETCH(QString, action);
    QFETCH(QString, failing);
    tst::OpsDb db;
    QVERIFY(db.ok());
    const qint64 id = addRow(db, QStringLiteral("zhao"));
    const auto table = [&] {
        QStringList rows;
        QSqlQuery q = db.con().select(QStringLiteral("select * from syslogin order by id"));
        while (q.next())
            for (int i = 0; i < 7; ++i)
                rows << q.value(i).toString();
        return rows;
    };
    const QStringList before = table();
    bool threw = false;
    {
        Fail f(db, failing);
        try {
            ops::Who self{QStringLiteral("zhao"), QStringLiteral("赵"), QString()};
            if (action == QLatin1String("add"))
                addAccount(db.con(), db.who, {QStringLiteral("qian"), QStringLiteral("钱"), QStringLiteral("p"),
                                              vocab::kOperator});
            else if (action == QLatin1String("change"))
                changeAccount(db.con(), db.who, id, {QStringLiteral("zhao2"), QStringLiteral("赵"), QStringLiteral("n"),
                                                     vocab::kOperator});
            else if (action == QLatin1String("disable"))
                setAccountState(db.con(), db.who, QStringLiteral("zhao"), 1);
            else if (action == QLatin1String("delete"))
                deleteAccount(db.con(), db.who, id);
            else
                changeOwnPassword(db.con(), self, QStringLiteral("pw"), QStringLiteral("new"));
        } catch (const db::Error&) {
            threw = true;
        }
    }
    QVERIFY(threw);
    QCOMPARE(table(), before);
    QCOMPARE(db.count(QStringLiteral("syslog")), 0);
    QCOMPARE(db.con().transactionDepth(), 0);
    // The connection goes on working.
    QCOMPARE(setAccountState(db.con(), db.who, QStringLiteral("zhao"), 1), Outcome::Done);
}

void TestAccounts::lastAdministrator()
{
    tst::OpsDb db;
    QVERIFY(db.ok());
    // Only the built-in administrator is enabled: a disabled administrator does not count.
    const qint64 off = addRow(db, QStringLiteral("off"), vocab::kAdmin, 1);
    const qint64 op = addRow(db, QStringLiteral("op"));
    QVERIFY(isLastAdministrator(db.con(), kBuiltIn));
    QVERIFY(!isLastAdministrator(db.con(), off));
    QVERIFY(!isLastAdministrator(db.con(), op));
    QCOMPARE(setAccountState(db.con(), db.who, QStringLiteral("ADMIN"), 1), Outcome::LastAdministrator);
    QCOMPARE(changeAccount(db.con(), db.who, kBuiltIn, {QStringLiteral("admin"), QStringLiteral("系统管理员"),
                                                        kKeepPassword, vocab::kOperator}),
             Outcome::LastAdministrator);
    QCOMPARE(changeAccount(db.con(), db.who, kBuiltIn, {QStringLiteral("admin"), QStringLiteral("系统管理员"),
                                                        kKeepPassword, QString()}),
             Outcome::LastAdministrator);
    QCOMPARE(field(db, kBuiltIn, "zt"), QStringLiteral("0"));
    QCOMPARE(field(db, kBuiltIn, "tp"), vocab::kAdmin);
    QCOMPARE(db.count(QStringLiteral("syslog")), 0);
    // Renaming the last administrator is fine; so is changing the others.
    QCOMPARE(changeAccount(db.con(), db.who, kBuiltIn, {QStringLiteral("root"), QStringLiteral("管理"),
                                                        kKeepPassword, vocab::kAdmin}),
             Outcome::Done);
    QCOMPARE(setAccountState(db.con(), db.who, QStringLiteral("op"), 1), Outcome::Done);

    // With a second enabled administrator the first may go; then the second is the last one.
    const qint64 boss = addRow(db, QStringLiteral("boss"), vocab::kAdmin);
    QCOMPARE(deleteAccount(db.con(), db.who, boss), Outcome::Done);
    const qint64 boss2 = addRow(db, QStringLiteral("boss2"), vocab::kAdmin);
    QCOMPARE(setAccountState(db.con(), db.who, QStringLiteral("root"), 1), Outcome::Done);
    QVERIFY(isLastAdministrator(db.con(), boss2));
    QCOMPARE(deleteAccount(db.con(), db.who, boss2), Outcome::LastAdministrator);
    QCOMPARE(setAccountState(db.con(), db.who, QStringLiteral("boss2"), 1), Outcome::LastAdministrator);
    QCOMPARE(db.count(QStringLiteral("syslogin"), QStringLiteral("zt=0 and tp='管理员'")), 1);
}

void TestAccounts::builtInCannotBeDeleted()
{
    tst::OpsDb db;
    QVERIFY(db.ok());
    addRow(db, QStringLiteral("boss"), vocab::kAdmin);
    QCOMPARE(deleteAccount(db.con(), db.who, kBuiltIn), Outcome::BuiltIn);
    QCOMPARE(db.count(QStringLiteral("syslogin"), QStringLiteral("sysadmin=1")), 1);
    const qint64 op = addRow(db, QStringLiteral("qi"));
    QCOMPARE(deleteAccount(db.con(), db.who, op), Outcome::Done);
    QCOMPARE(deleteAccount(db.con(), db.who, op), Outcome::NotFound);
    QCOMPARE(logTexts(db), QStringList{QStringLiteral("删除操作人员:qi(qi名)")});
}

void TestAccounts::ownPassword()
{
    tst::OpsDb db;
    QVERIFY(db.ok());
    const qint64 id = addRow(db, QStringLiteral("sun"), vocab::kOperator, 1, QStringLiteral("Secret"));
    const ops::Who sun{QStringLiteral("sun"), QStringLiteral("孙"), QString()};
    // Letter case counts here, although the login ignores it.
    QCOMPARE(changeOwnPassword(db.con(), sun, QStringLiteral("secret"), QStringLiteral("x")),
             PasswordChange::WrongOldPassword);
    QCOMPARE(field(db, id, "pwd"), QStringLiteral("Secret"));
    // A disabled operator still can; a quote is stored as typed.
    QCOMPARE(changeOwnPassword(db.con(), sun, QStringLiteral("Secret"), QStringLiteral("it's")),
             PasswordChange::Changed);
    QCOMPARE(field(db, id, "pwd"), QStringLiteral("it's"));
    QCOMPARE(logTexts(db), QStringList{QStringLiteral("修改个人登录密码!")});
    QCOMPARE(db.scalar(QStringLiteral("select truename from syslog")).toString(), QStringLiteral("孙"));
    db.exec(QStringLiteral("delete from syslogin where id=%1").arg(id));
    QCOMPARE(changeOwnPassword(db.con(), sun, QStringLiteral("it's"), QStringLiteral("y")),
             PasswordChange::NoSuchUser);
}

void TestAccounts::setting()
{
    tst::OpsDb db;
    QVERIFY(db.ok());
    QCOMPARE(readJgts(db.con()), 0);
    writeJgts(db.con(), 1);
    QCOMPARE(readJgts(db.con()), 1);
    writeJgts(db.con(), 1); // the same value again
    QCOMPARE(db.count(QStringLiteral("[option]")), 1);
    {
        Fail f(db, QStringLiteral("update [option]"));
        QVERIFY_THROWS_EXCEPTION(db::Error, writeJgts(db.con(), 0));
    }
    QCOMPARE(readJgts(db.con()), 1);
    // A database without its settings row gets one back.
    db.exec(QStringLiteral("delete from [option]"));
    QCOMPARE(readJgts(db.con()), 0);
    writeJgts(db.con(), 1);
    QCOMPARE(readJgts(db.con()), 1);
    QCOMPARE(db.count(QStringLiteral("[option]")), 1);
}

QTEST_GUILESS_MAIN(TestAccounts)
#include "tst_accounts.moc"
