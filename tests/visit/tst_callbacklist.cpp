// The call-back list as an administrator uses it: due, still to come and closed call-backs,
// giving one to another operator and cancelling one, each in the operation log.
#include "support/testmain.h"

#include "core/dbgrid.h"
#include "db/dm.h"
#include "support/msgscript.h"
#include "support/testdb.h"
#include "support/visitbuilders.h"
#include "visit/hflist.h"

#include <QComboBox>
#include <QDateTime>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using namespace vt;

namespace {

template <class T> T* ctl(QWidget* w, const char* name)
{
    T* c = w->findChild<T*>(QLatin1String(name));
    if (!c)
        qFatal("no control %s", name);
    return c;
}

QString stamp(const QDateTime& t)
{
    return q(t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
}

} // namespace

class TestCallBackList : public QObject
{
    Q_OBJECT
private slots:
    void listsReassignsAndCancels();
};

void TestCallBackList::listsReassignsAndCancels()
{
    tst::TestDb db;
    QVERIFY(db.ok());
    db.loginAdmin();
    tst::MsgScript boxes;
    const int p = addProject(db.con(), QStringLiteral("回访'项目"));
    const qint64 due = addCustomer(db.con(), p, QStringLiteral("13800000001"));
    const qint64 later = addCustomer(db.con(), p, QStringLiteral("13800000002"));
    const qint64 closed = addCustomer(db.con(), p, QStringLiteral("13800000003"));
    const QDateTime now = QDateTime::currentDateTime();
    const QString insert = QStringLiteral("insert into hfyy(yhid,ywbh,dhhm,kssj,jssj,gksj,yyz,yyzxm,zy,hfz,bz,zt) "
                                          "values(%1,%2,%3,%4,%5,%6,'op1','话务员一',%7,%8,'备''注',%9)");
    db.exec(insert.arg(due)
                .arg(p)
                .arg(q(QStringLiteral("13800000001")), stamp(now.addSecs(-600)), stamp(now.addSecs(3000)),
                     stamp(now.addSecs(-600)))
                .arg(0)
                .arg(QStringLiteral("null"))
                .arg(0));
    db.exec(insert.arg(later)
                .arg(p)
                .arg(q(QStringLiteral("13800000002")), stamp(now.addDays(1)), stamp(now.addDays(1).addSecs(3600)),
                     stamp(now.addDays(1).addSecs(5400)))
                .arg(1)
                .arg(q(QStringLiteral("op1")))
                .arg(0));
    db.exec(insert.arg(closed)
                .arg(p)
                .arg(q(QStringLiteral("13800000003")), stamp(now.addDays(-1)), stamp(now.addDays(-1).addSecs(3600)),
                     stamp(now.addDays(-1)))
                .arg(0)
                .arg(QStringLiteral("null"))
                .arg(1));
    db.exec(QStringLiteral("update yhda set kcsj=%1 where id=%2").arg(stamp(now.addDays(1).addSecs(5400))).arg(later));
    tst::addOperator(db.con(), QStringLiteral("op2"), QStringLiteral("话务员二"), QStringLiteral("x"));

    QPointer<Tfrmhflist> w(new Tfrmhflist);
    w->show();
    auto* grid = ctl<TDBGrid>(w, "DBGrid1");
    auto show = [&](int kind) {
        ctl<QComboBox>(w, "ComboKind")->setCurrentIndex(kind);
        ctl<QPushButton>(w, "ButtonQuery")->click();
        return grid->rowCount();
    };
    QCOMPARE(grid->rowCount(), 1); // due ones when it opens
    QCOMPARE(grid->value(0, QStringLiteral("dhhm")).toString(), QStringLiteral("13800000001"));
    QCOMPARE(show(1), 0); // overdue
    QCOMPARE(show(3), 1); // closed
    QCOMPARE(show(2), 1); // still to come
    QCOMPARE(grid->value(0, QStringLiteral("bz")).toString(), QStringLiteral("备'注"));
    grid->setCurrentRowIndex(0);

    // To an operator that is not there: refused, nothing changes.
    ctl<QLineEdit>(w, "EditReassign")->setText(QStringLiteral("nobody'"));
    ctl<QPushButton>(w, "ButtonReassign")->click();
    QVERIFY(boxes.lastText().startsWith(QStringLiteral("没有这个登录用户")));
    QCOMPARE(db.scalar(QStringLiteral("select hfz from hfyy where yhid=%1").arg(later)).toString(),
             QStringLiteral("op1"));
    ctl<QLineEdit>(w, "EditReassign")->setText(QStringLiteral("op2"));
    ctl<QPushButton>(w, "ButtonReassign")->click();
    QCOMPARE(db.scalar(QStringLiteral("select hfz||'|'||gpz from hfyy where yhid=%1").arg(later)).toString(),
             QStringLiteral("op2|op2"));
    QVERIFY(db.scalar(QStringLiteral("select logcon from syslog order by id desc limit 1"))
                .toString()
                .startsWith(QStringLiteral("改派预约回访:13800000002")));

    // Cancelled after the question: closed, and the customer is no longer kept back for it.
    boxes.answer(msg::Answer::Ok);
    grid->setCurrentRowIndex(0);
    ctl<QPushButton>(w, "ButtonCancel")->click();
    QCOMPARE(db.scalar(QStringLiteral("select zt from hfyy where yhid=%1").arg(later)).toInt(), 2);
    QVERIFY(db.scalar(QStringLiteral("select kcsj from yhda where id=%1").arg(later)).isNull());
    QVERIFY(db.scalar(QStringLiteral("select logcon from syslog order by id desc limit 1"))
                .toString()
                .startsWith(QStringLiteral("取消预约回访:13800000002")));
    QCOMPARE(show(3), 2);
    w->approveClose();
    delete w.data();
}

TV_TEST_MAIN(TestCallBackList)
#include "tst_callbacklist.moc"
