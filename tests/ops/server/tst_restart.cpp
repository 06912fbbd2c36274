// A seat through a real restart of the server: while it is down every action fails with the
// server's reason, and the first action after it is back carries on by itself, on the seat's
// own connection (an ending) and on a list's reader (scrolling, reading the list again).
#include "ops/visit/call.h"
#include "support/opsdb.h"
#include "support/visitbuilders.h"

#include <QScopeGuard>
#include <QSqlError>
#include <QTest>

using namespace vt;
using ops::visit::Call;

class TestRestart : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!tst::onServer())
            QSKIP("a server restart");
    }

    void endingAfterRestart()
    {
        tst::OpsDb db;
        QVERIFY(db.ok());
        const Survey s = makeSurvey(db);
        const qint64 id = addCustomer(db.con(), s.p, QStringLiteral("13800000001"));
        Call call(db.con(), ops::Who{QStringLiteral("op1"), QStringLiteral("话务员一"), QString()});
        call.setProject(s.p);
        call.loadFirstQuestion();
        QCOMPARE(call.drawByNumber(QStringLiteral("13800000001"))->id, id);

        const auto up = qScopeGuard([] { tst::startServer(); });
        QVERIFY(tst::stopServer());
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                call.outcome(QStringLiteral("关机"), QString(), QStringLiteral("未受理"));
                QFAIL("an ending with the server down");
            } catch (const db::Error& e) {
                QVERIFY2(!e.text().contains(QLatin1String("not open")), qPrintable(e.text()));
            }
        }
        QVERIFY(tst::startServer());
        call.outcome(QStringLiteral("关机"), QStringLiteral("恢复后"), QStringLiteral("未受理"));
        QCOMPARE(db.scalar(QStringLiteral("select sljg||bz from yhda where id=%1").arg(id)).toString(),
                 QStringLiteral("关机恢复后"));
    }

    void listAfterRestart()
    {
        tst::OpsDb db;
        QVERIFY(db.ok());
        constexpr int kRows = 3000;
        db.exec(QStringLiteral("insert into syslog(uname,logcon) select 'u', 'row '||i from generate_series(1,%1) i")
                    .arg(kRows));
        const QString list = QStringLiteral("select * from syslog order by id");
        const auto reader = db.con().openReader();
        QSqlQuery rows = reader->browse(list);

        const auto up = qScopeGuard([] { tst::startServer(); });
        QVERIFY(tst::stopServer());
        int read = 0;
        while (rows.next())
            ++read;
        QVERIFY(read < kRows);
        QVERIFY(rows.lastError().isValid());
        for (int attempt = 0; attempt < 2; ++attempt)
            QVERIFY_THROWS_EXCEPTION(db::Error, reader->browse(list));
        QVERIFY(tst::startServer());
        rows = reader->browse(list);
        read = 0;
        while (rows.next())
            ++read;
        QCOMPARE(read, kRows);
    }
};

QTEST_GUILESS_MAIN(TestRestart)
#include "tst_restart.moc"
