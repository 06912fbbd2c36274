// The login without its dialog: who it finds, what it writes, and that no typed text (quotes,
// backslashes on a server session that treats them as escapes) gets past the check.
#include "db/sqlvalue.h"
#include "ops/common/login.h"
#include "support/builders.h"
#include "support/operators.h"
#include "support/opsdb.h"

#include <QTest>

class TestLogin : public QObject
{
    Q_OBJECT
    std::unique_ptr<tst::OpsDb> m_db;
    db::Connection m_seat{QStringLiteral("seat")};

private slots:
    void init()
    {
        m_db = std::make_unique<tst::OpsDb>();
        QVERIFY(m_db->ok());
        tst::addOperator(m_db->con(), QStringLiteral("op1"), QStringLiteral("话务员一"), QStringLiteral("Secret"),
                         QStringLiteral("话务员"));
        tst::addOperator(m_db->con(), QStringLiteral("gone"), QStringLiteral("离职"), QStringLiteral("x"),
                         QStringLiteral("话务员"), 1);
        m_db->exec(QStringLiteral("update [option] set jgts=1"));
    }
    void cleanup()
    {
        m_seat.close();
        m_db.reset();
    }

    // The login as a seat does it: on the server the session is opened as the operator's role
    // first (the server checks the password), on the file the password is checked against the hash.
    std::optional<ops::LoginFound> logIn(db::Connection& con, const QString& name, const QString& password,
                                         const QString& ip = QString())
    {
        if (!m_db->onServer())
            return ops::logIn(con, name, password, ip);
        if (!tst::openAsOperator(con, m_seat, name, password))
            return std::nullopt;
        return ops::logIn(m_seat, name, password, ip);
    }

    void checksNameAndPassword_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("password");
        QTest::addColumn<QString>("found"); // uname|truename|tp, or empty: refused
        QTest::newRow("operator") << "op1"
                                  << "Secret"
                                  << "op1|话务员一|话务员";
        QTest::newRow("letter case ignored") << "OP1"
                                             << "secret"
                                             << "op1|话务员一|话务员";
        QTest::newRow("administrator") << "admin"
                                       << "admin"
                                       << "admin|系统管理员|管理员";
        QTest::newRow("wrong password") << "op1"
                                        << "secret1"
                                        << "";
        QTest::newRow("account switched off") << "gone"
                                              << "x"
                                              << "";
        QTest::newRow("quote") << "' or '1'='1"
                               << "' or '1'='1"
                               << "";
        QTest::newRow("backslash quote") << "\\' or 1=1 --"
                                         << "x"
                                         << "";
        QTest::newRow("backslash quote in password") << "op1"
                                                     << "\\' or 1=1 --"
                                                     << "";
    }
    void checksNameAndPassword()
    {
        QFETCH(QString, name);
        QFETCH(QString, password);
        QFETCH(QString, found);
        const auto who = logIn(m_db->con(), name, password, QStringLiteral("10.0.0.9"));
        QCOMPARE(who.has_value(), !found.isEmpty());
        QCOMPARE(m_db->count(QStringLiteral("syslog")), found.isEmpty() ? 0 : 1);
        if (!who)
            return;
        QCOMPARE(who->uname + u'|' + who->truename + u'|' + who->tp, found);
        QCOMPARE(who->jgts, 1);
        QCOMPARE(m_db->count(QStringLiteral("syslog"), QStringLiteral("uname='%1' and logcon='成功登录系统' and "
                                                                      "ipaddr='10.0.0.9'")
                                                           .arg(who->uname)),
                 1);
    }

    // A server (or database) may run with standard_conforming_strings off, where a backslash
    // escapes the quote that follows it: every session the program opens turns it on.
    void backslashesAreLiteralOnEverySession()
    {
        if (!m_db->onServer())
            QSKIP("a server setting");
        db::Connection& con = m_db->con();
        const QString name = con.server().database;
        m_db->exec(QStringLiteral("alter database %1 set standard_conforming_strings = off").arg(name));
        con.openServer(con.server());
        const QString hostile = QStringLiteral("\\' or 1=1 --");
        QCOMPARE(con.scalar(QStringLiteral("select ") + db::quoted(hostile)).toString(), hostile);
        QVERIFY(!logIn(con, hostile, QStringLiteral("x")));
        con.execute(QStringLiteral("set standard_conforming_strings = off"));
        QVERIFY(!logIn(con, hostile, QStringLiteral("x")));
        QVERIFY(!logIn(con, QStringLiteral("op1"), hostile));
        QCOMPARE(m_db->count(QStringLiteral("syslog")), 0);
    }
};

QTEST_GUILESS_MAIN(TestLogin)
#include "tst_loginop.moc"
