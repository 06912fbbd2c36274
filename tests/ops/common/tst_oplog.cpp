#include "ops/common/oplog.h"
#include "support/opsdb.h"

#include <QTest>

class TestOpLog : public QObject
{
    Q_OBJECT
private slots:
    void writesTheRowAsGiven()
    {
        tst::OpsDb db;
        QVERIFY(db.ok());
        db.who = {QStringLiteral("o'b"), QStringLiteral("奥'布"), QString()};
        ops::writeLog(db.con(), db.who, QStringLiteral("删除'; drop table syslog; --"));
        QCOMPARE(db.count(QStringLiteral("syslog"), QStringLiteral("uname='o''b' and truename='奥''布' and "
                                                                   "logcon='删除''; drop table syslog; --'")),
                 1);
    }
};

QTEST_GUILESS_MAIN(TestOpLog)
#include "tst_oplog.moc"
