// A grid that has shown only its first rows holds back no writer, in this program or another,
// and a re-read shows what has been committed since. Its rows come a window at a time: scrolled
// to the end it shows each row once, in order, and a read that fails on the way is reported.
#include "support/testdb.h"
#include "support/testmain.h"

#include "core/dbgrid.h"
#include "db/dm.h"
#include "db/error.h"
#include "db/transaction.h"

#include <QScrollBar>

namespace {

constexpr int kRows = 300; // more than one batch of a grid

constexpr int kMany = 3000; // several windows of rows

bool partlyRead(const TDBGrid& g)
{
    return g.rowCount() > 0 && g.rowCount() < kRows && g.queryModel()->canFetchMore();
}

// Drags the scroll bar to its end, as a user does, until no more rows come.
void scrollToEnd(TDBGrid& g)
{
    for (int i = 0; i < 1000 && g.queryModel()->canFetchMore(); ++i) {
        QCoreApplication::processEvents();
        g.verticalScrollBar()->setValue(g.verticalScrollBar()->maximum());
    }
    QCoreApplication::processEvents();
}

} // namespace

class TstGridReads : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_db = std::make_unique<tst::TestDb>();
        m_db->exec(QStringLiteral("with recursive c(i) as (select 1 union all select i+1 from c where i<%1) "
                                  "insert into syslog(uname,logcon) select 'u', 'row '||i from c")
                       .arg(kRows));
    }
    void cleanup() { m_db.reset(); }

    void writersGoOn_data()
    {
        QTest::addColumn<int>("transaction"); // the grid opened: 0 outside one, 1 in a committed, 2 in a rolled back
        QTest::newRow("outside") << 0;
        QTest::newRow("committed") << 1;
        QTest::newRow("rolled back") << 2;
    }
    void writersGoOn()
    {
        QFETCH(int, transaction);
        TDBGrid grid;
        if (transaction == 0) {
            grid.open(QStringLiteral("select * from syslog order by id"));
        } else {
            // An action re-reads its list inside its transaction: the list shows the change at once.
            db::Transaction t(ADOcon());
            m_db->exec(QStringLiteral("update syslog set logcon='changed' where id=3"));
            grid.open(QStringLiteral("select * from syslog order by id"));
            grid.setCurrentRowIndex(2);
            QCOMPARE(grid.currentValue(QStringLiteral("logcon")).toString(), QStringLiteral("changed"));
            if (transaction == 1)
                t.commit();
        }
        QVERIFY(partlyRead(grid));
        if (transaction > 0) {
            QCOMPARE(grid.currentRowIndex(), 2);
            QCOMPARE(grid.text(2, QStringLiteral("logcon")), transaction == 1 ? "changed" : "row 3");
        }
        // Another program writes; this program's next transactions wait for nobody.
        db::Connection seat2(QStringLiteral("seat2"));
        m_db->openSecond(seat2);
        seat2.execute(QStringLiteral("insert into syslog(uname,logcon) values('seat2','other seat')"));
        try {
            db::Transaction t(ADOcon());
            m_db->exec(QStringLiteral("update syslog set uname='mine' where uname='seat2'"));
            t.commit();
        } catch (const db::Error& e) {
            QFAIL(qPrintable(e.text()));
        }
        QCOMPARE(m_db->count(QStringLiteral("syslog"), QStringLiteral("uname='mine'")), 1);
    }

    void reopenShowsCommittedWrites()
    {
        TDBGrid a;
        TDBGrid b;
        a.open(QStringLiteral("select * from syslog order by id"));
        b.open(QStringLiteral("select * from syslog order by id desc"));
        m_db->exec(QStringLiteral("update syslog set logcon='changed' where id=%1").arg(kRows));
        m_db->exec(QStringLiteral("insert into syslog(uname,logcon) values('u','added')"));
        // Re-read, a grid shows every committed change, while another is still partly read...
        b.reopen();
        QVERIFY(partlyRead(a) && partlyRead(b));
        QCOMPARE(b.text(0, QStringLiteral("logcon")), QStringLiteral("added"));
        QCOMPARE(b.text(1, QStringLiteral("logcon")), QStringLiteral("changed"));
        // ...which, read on, shows the rows as they were when it was opened.
        a.fetchAll();
        QCOMPARE(a.rowCount(), kRows);
        QCOMPARE(a.text(kRows - 1, QStringLiteral("logcon")), QStringLiteral("row %1").arg(kRows));
        // A grid never writes.
        QVERIFY_THROWS_EXCEPTION(db::Error, a.open(QStringLiteral("delete from syslog")));
        QCOMPARE(m_db->count(QStringLiteral("syslog")), kRows + 1);
    }

    void scrolledToTheEnd_data()
    {
        QTest::addColumn<QString>("order");
        QTest::newRow("ascending") << QString();
        QTest::newRow("descending") << QStringLiteral(" desc");
    }
    void scrolledToTheEnd()
    {
        QFETCH(QString, order);
        addRows(kMany - kRows);
        TDBGrid grid;
        grid.resize(400, 300);
        grid.show();
        grid.open(QStringLiteral("select id,logcon from syslog order by id") + order);
        QVERIFY(grid.rowCount() < kMany);
        scrollToEnd(grid);
        QCOMPARE(grid.rowCount(), kMany);
        QVERIFY(!grid.queryModel()->canFetchMore());
        const bool up = order.isEmpty();
        for (int r = 0; r < kMany; ++r)
            QCOMPARE(grid.value(r, QStringLiteral("id")).toInt(), up ? r + 1 : kMany - r);
        QCOMPARE(grid.text(kMany - 1, QStringLiteral("logcon")),
                 up ? QStringLiteral("row %1").arg(kMany) : QStringLiteral("row 1"));
        QVERIFY(!grid.value(kMany, QStringLiteral("id")).isValid());
    }

    // An action re-reads its list inside its transaction and keeps the current row, also past
    // the first window; the list then reads on from its own connection. A title click runs the
    // list again in another order.
    void requeryKeepsPositionAndSorts()
    {
        addRows(kMany - kRows);
        TDBGrid grid;
        grid.open(QStringLiteral("select * from syslog order by id"));
        {
            db::Transaction t(ADOcon());
            m_db->exec(QStringLiteral("update syslog set logcon='changed' where id=700"));
            grid.open(QStringLiteral("select * from syslog order by id"));
            grid.setCurrentRowIndex(699);
            QCOMPARE(grid.currentValue(QStringLiteral("logcon")).toString(), QStringLiteral("changed"));
            t.commit();
        }
        QVERIFY(grid.source() != &ADOcon());
        QCOMPARE(grid.currentRowIndex(), 699);
        QCOMPARE(grid.currentValue(QStringLiteral("logcon")).toString(), QStringLiteral("changed"));
        QVERIFY(grid.queryModel()->canFetchMore());
        grid.open(QStringLiteral("select * from syslog order by logcon desc,id"));
        QCOMPARE(grid.text(0, QStringLiteral("logcon")), QStringLiteral("row 999"));
        grid.fetchAll();
        QCOMPARE(grid.rowCount(), kMany);
        QCOMPARE(grid.text(kMany - 1, QStringLiteral("logcon")), QStringLiteral("changed"));
    }

    // The server ends the grid's session while the user scrolls: the rows read so far stay, the
    // program's error box tells why, and the next read opens a new session.
    void lostSessionWhileScrolling()
    {
        if (!m_db->onServer())
            QSKIP("a server session");
        addRows(kMany - kRows);
        tst::MsgScript script;
        TDBGrid grid;
        grid.resize(400, 300);
        grid.show();
        grid.open(QStringLiteral("select * from syslog order by id"));
        const QVariant pid = grid.source()->scalar(QStringLiteral("select pg_backend_pid()"));
        db::Connection& admin = tst::ServerDb::admin();
        admin.scalar(QStringLiteral("select pg_terminate_backend(?)"), {pid});
        QTRY_COMPARE(admin.scalar(QStringLiteral("select count(*) from pg_stat_activity where pid=?"), {pid}).toInt(),
                     0);
        const int shown = grid.rowCount();
        scrollToEnd(grid);
        QCOMPARE(grid.rowCount(), shown);
        QCOMPARE(grid.text(shown - 1, QStringLiteral("logcon")), QStringLiteral("row %1").arg(shown));
        QTRY_COMPARE(script.count(), 1);
        QCOMPARE(script.boxes().first().icon, msg::Icon::Error);
        QVERIFY(!script.lastText().isEmpty());
        // The grid's connection opens a new session for its next statement, which only reads
        // as the first did.
        QVERIFY_THROWS_EXCEPTION(db::Error, grid.source()->execute(QStringLiteral("delete from syslog")));
        QCOMPARE(m_db->count(QStringLiteral("syslog")), kMany);
        grid.reopen();
        grid.fetchAll();
        QCOMPARE(grid.rowCount(), kMany);
        QCOMPARE(script.count(), 1);
    }

private:
    void addRows(int n)
    {
        m_db->exec(QStringLiteral("with recursive c(i) as (select %1 union all select i+1 from c where i<%2) "
                                  "insert into syslog(uname,logcon) select 'u', 'row '||i from c")
                       .arg(kRows + 1)
                       .arg(kRows + n));
    }
    std::unique_ptr<tst::TestDb> m_db;
};

TV_TEST_MAIN(TstGridReads)
#include "tst_gridreads.moc"
