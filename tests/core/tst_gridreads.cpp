// A grid that has shown only its first rows holds back no writer, in this program or another,
// and a re-read shows what has been committed since.
#include "support/testdb.h"
#include "support/testmain.h"

#include "core/dbgrid.h"
#include "db/dm.h"
#include "db/error.h"
#include "db/transaction.h"

namespace {

constexpr int kRows = 300; // more than one batch of a grid

bool partlyRead(const TDBGrid& g)
{
    return g.rowCount() > 0 && g.rowCount() < kRows && g.queryModel()->canFetchMore();
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
        seat2.open(m_db->file());
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

private:
    std::unique_ptr<tst::TestDb> m_db;
};

TV_TEST_MAIN(TstGridReads)
#include "tst_gridreads.moc"
