// Grids next to writers: a grid that has shown only its first rows must hold back neither
// another program on the same file nor this program's own writes, and a re-read shows what
// has been committed since.
#include "support/testdb.h"
#include "support/testmain.h"

#include "core/dbgrid.h"
#include "db/dm.h"
#include "db/error.h"
#include "db/transaction.h"

namespace {

constexpr int kRows = 300; // more than one batch of a grid

void addLogRows(tst::TestDb& db, int n)
{
    db.exec(QStringLiteral("with recursive c(i) as (select 1 union all select i+1 from c where i<%1) "
                           "insert into syslog(uname,logcon) select 'u', 'row '||i from c")
                .arg(n));
}

bool partlyRead(const TDBGrid& g)
{
    return g.rowCount() > 0 && g.rowCount() < kRows && g.queryModel()->canFetchMore();
}

} // namespace

class TstGridReads : public QObject
{
    Q_OBJECT
private slots:
    void otherProgramWritesWhileGridIsPartlyRead();
    void ownWritesWhileGridsArePartlyRead();
    void readInsideATransaction_data();
    void readInsideATransaction();
};

void TstGridReads::otherProgramWritesWhileGridIsPartlyRead()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    addLogRows(db, kRows);
    TDBGrid grid;
    grid.open(QStringLiteral("select * from syslog order by id"));
    QVERIFY(partlyRead(grid));

    db::Connection seat2(QStringLiteral("seat2"));
    seat2.open(db.file());
    for (int round = 0; round < 3; ++round) {
        seat2.execute(QStringLiteral("insert into syslog(uname,logcon) values('seat2','other seat')"));
        // This program's next transaction waits for nobody and sees the other seat's row.
        try {
            db::Transaction t(ADOcon());
            ADOcon().execute(QStringLiteral("update syslog set logcon='mine' where uname='seat2'"));
            t.commit();
        } catch (const db::Error& e) {
            QFAIL(qPrintable(e.text()));
        }
    }
    QCOMPARE(db.count(QStringLiteral("syslog"), QStringLiteral("logcon='mine'")), 3);
    QVERIFY(partlyRead(grid));
    grid.fetchAll();
    QCOMPARE(grid.rowCount(), kRows);
    seat2.close();
}

void TstGridReads::ownWritesWhileGridsArePartlyRead()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    addLogRows(db, kRows);
    TDBGrid a;
    TDBGrid b;
    a.open(QStringLiteral("select * from syslog order by id"));
    b.open(QStringLiteral("select * from syslog order by id desc"));
    QVERIFY(partlyRead(a) && partlyRead(b));

    db.exec(QStringLiteral("update syslog set logcon='changed' where id=%1").arg(kRows));
    db.exec(QStringLiteral("insert into syslog(uname,logcon) values('u','added')"));
    // A grid read on goes on with the rows as they were when it was opened...
    a.fetchAll();
    QCOMPARE(a.rowCount(), kRows);
    QCOMPARE(a.text(kRows - 1, QStringLiteral("logcon")), QStringLiteral("row %1").arg(kRows));
    // ...and a re-read shows every committed change, while the other grid is still partly read.
    a.reopen();
    a.fetchAll();
    QVERIFY(partlyRead(b));
    QCOMPARE(a.rowCount(), kRows + 1);
    QCOMPARE(a.text(kRows - 1, QStringLiteral("logcon")), QStringLiteral("changed"));
    QCOMPARE(a.text(kRows, QStringLiteral("logcon")), QStringLiteral("added"));
    QCOMPARE(b.text(0, QStringLiteral("logcon")), QStringLiteral("row %1").arg(kRows));
    // A grid never writes.
    QVERIFY_THROWS_EXCEPTION(db::Error, a.open(QStringLiteral("delete from syslog")));
    QCOMPARE(db.count(QStringLiteral("syslog")), kRows + 1);
}

void TstGridReads::readInsideATransaction_data()
{
    QTest::addColumn<bool>("committed");
    QTest::newRow("committed") << true;
    QTest::newRow("rolled back") << false;
}

// An action re-reads its list inside its transaction: the list shows the change at once, and
// once the transaction has ended it stands no longer on the writer.
void TstGridReads::readInsideATransaction()
{
    QFETCH(bool, committed);
    tst::TestDb db;
    QVERIFY(db.ok());
    addLogRows(db, kRows);
    TDBGrid grid;
    {
        db::Transaction t(ADOcon());
        db.exec(QStringLiteral("update syslog set logcon='in transaction' where id=3"));
        grid.open(QStringLiteral("select * from syslog order by id"));
        grid.setCurrentRowIndex(2);
        QCOMPARE(grid.currentValue(QStringLiteral("logcon")).toString(), QStringLiteral("in transaction"));
        if (committed)
            t.commit();
    }
    QVERIFY(partlyRead(grid));
    QCOMPARE(grid.currentRowIndex(), 2);
    QCOMPARE(grid.currentValue(QStringLiteral("logcon")).toString(),
             committed ? QStringLiteral("in transaction") : QStringLiteral("row 3"));

    db::Connection seat2(QStringLiteral("seat2"));
    seat2.open(db.file());
    seat2.execute(QStringLiteral("insert into syslog(uname,logcon) values('seat2','other seat')"));
    try {
        db::Transaction t(ADOcon());
        db.exec(QStringLiteral("delete from syslog where uname='seat2'"));
        t.commit();
    } catch (const db::Error& e) {
        QFAIL(qPrintable(e.text()));
    }
}

TV_TEST_MAIN(TstGridReads)
#include "tst_gridreads.moc"
