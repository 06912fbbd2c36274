// Call-backs at a time, retry rules and calling hours without a window: what a booking writes
// and when it is refused, who draws a due call-back when (window start inclusive, end
// exclusive, own-only becoming anyone's), retry delays and the limit of calls, calling hours,
// and seats racing for due call-backs. The clock is set by each test; nothing sleeps.
#include "db/vocab.h"
#include "ops/visit/call.h"
#include "ops/visit/callback.h"
#include "support/opsdb.h"
#include "support/visitbuilders.h"

#include <QSqlQuery>
#include <QTest>

using namespace vt;
using ops::visit::Booking;
using ops::visit::BookingFault;
using ops::visit::Call;

namespace {

// A Monday morning.
const QDateTime kT0(QDate(2026, 12, 7), QTime(10, 0));
const QString kNobody = QStringLiteral("无效数据"); // a state no customer of these tests is in

ops::Who op(const QString& uname)
{
    return {uname, QStringLiteral("话务员") + uname, QString()};
}

// A project with customers, calls of op1 on it and a clock the test sets.
struct Fixture
{
    tst::OpsDb db;
    int p = 0;
    QDateTime now = kT0;
    Call call{db.con(), op(QStringLiteral("op1"))};
    Fixture()
    {
        p = addProject(db.con(), QStringLiteral("回访'项目"));
        call.setProject(p);
        call.setClock([this] { return now; });
    }
    qint64 customer(const QString& number) { return addCustomer(db.con(), p, number); }
    // Draws the customer by number and ends the call with "下次联系" at the time given.
    Call::Next book(const QString& number, const Booking& b, const QString& remark = QString())
    {
        if (!call.drawByNumber(number))
            return {};
        return call.outcome(vocab::kCallBack, remark, kNobody, b);
    }
    std::optional<ops::visit::Customer> drawAs(const QString& uname, const QDateTime& at,
                                               const QString& state = vocab::kNotHandled)
    {
        return ops::visit::drawByState(db.con(), p, state, uname, at).customer;
    }
    void hours(const QString& grks, const QString& grjs, const QString& zmks, const QString& zmjs, int grace = 30)
    {
        ops::visit::saveCallingHours(db.con(), p, {grks, grjs, zmks, zmjs, grace});
    }
};

Booking at(const QDateTime& start, int minutes = 60, bool onlyMe = true)
{
    return Booking{start, minutes, onlyMe};
}

} // namespace

class TestCallBack : public QObject
{
    Q_OBJECT
private slots:
    void bookingIsWrittenWithTheEnding();
    void refusedBookings_data();
    void refusedBookings();
    void whoDrawsWhen_data();
    void whoDrawsWhen();
    void ownFirstThenAnyonesEarliestFirst();
    void endingsCloseAndReplace();
    void numberDrawTellsAndGivingUpKeepsTheWait();
    void retryRules_data();
    void retryRules();
    void callingHours_data();
    void callingHours();
    void outsideHoursOnlyDueCallBacks();
    void seatsRaceForDueCallBacks();
};

void TestCallBack::bookingIsWrittenWithTheEnding()
{
    Fixture f;
    QVERIFY(f.db.ok());
    const qint64 id = f.customer(QStringLiteral("139'0001"));
    const QString remark = QStringLiteral("下午三点后'再打\"; drop table hfyy; --");
    const Call::Next next = f.book(QStringLiteral("139'0001"), at(kT0.addSecs(3600)), remark);
    QCOMPARE(next.refused, BookingFault::None);
    QVERIFY(!next.customer);
    QCOMPARE(f.db.count(QStringLiteral("hfyy")), qint64(1));
    QSqlQuery q =
        f.db.con().select(QStringLiteral("select yhid,ywbh,dhhm,kssj,jssj,gksj,yyz,yyzxm,zy,hfz,bz,yysj,zt from hfyy"));
    QVERIFY(q.next());
    const QStringList got{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),  q.value(3).toString(),
                          q.value(4).toString(), q.value(5).toString(), q.value(6).toString(),  q.value(7).toString(),
                          q.value(8).toString(), q.value(9).toString(), q.value(10).toString(), q.value(11).toString(),
                          q.value(12).toString()};
    const QStringList want{QString::number(id),
                           QString::number(f.p),
                           QStringLiteral("139'0001"),
                           QStringLiteral("2026-12-07 11:00:00"),
                           QStringLiteral("2026-12-07 12:00:00"),
                           QStringLiteral("2026-12-07 12:30:00"),
                           QStringLiteral("op1"),
                           QStringLiteral("话务员op1"),
                           QStringLiteral("1"),
                           QStringLiteral("op1"),
                           remark,
                           QStringLiteral("2026-12-07 10:00:00"),
                           QStringLiteral("0")};
    QCOMPARE(got, want);
    // The customer counts the call and waits until the call-back is anyone's.
    QCOMPARE(state(f.db, id), vocab::kCallBack);
    QCOMPARE(f.db.scalar(QStringLiteral("select hjcs from yhda where id=%1").arg(id)).toInt(), 1);
    QCOMPARE(f.db.scalar(QStringLiteral("select kcsj from yhda where id=%1").arg(id)).toString(),
             QStringLiteral("2026-12-07 12:30:00"));
    QCOMPARE(f.db.count(QStringLiteral("visitlog")), qint64(1));
}

void TestCallBack::refusedBookings_data()
{
    QTest::addColumn<QDateTime>("start");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<BookingFault>("fault");
    const QDateTime now = kT0.addSecs(25); // 10:00:25
    QTest::newRow("an hour ago") << now.addSecs(-3600) << 60 << BookingFault::Past;
    QTest::newRow("the minute before") << QDateTime(kT0.date(), QTime(9, 59)) << 60 << BookingFault::Past;
    QTest::newRow("this minute") << kT0 << 60 << BookingFault::None;
    QTest::newRow("a year ahead") << now.addYears(1) << 60 << BookingFault::None;
    QTest::newRow("a year and a second") << now.addYears(1).addSecs(1) << 60 << BookingFault::TooFar;
    QTest::newRow("no length") << now.addSecs(3600) << 0 << BookingFault::NoLength;
    QTest::newRow("no time") << QDateTime() << 60 << BookingFault::Past;
}

void TestCallBack::refusedBookings()
{
    QFETCH(QDateTime, start);
    QFETCH(int, minutes);
    QFETCH(BookingFault, fault);
    Fixture f;
    QVERIFY(f.db.ok());
    f.now = kT0.addSecs(25);
    const qint64 id = f.customer(QStringLiteral("13900000001"));
    const Call::Next next = f.book(QStringLiteral("13900000001"), at(start, minutes));
    QCOMPARE(next.refused, fault);
    const bool refused = fault != BookingFault::None;
    QCOMPARE(f.db.count(QStringLiteral("hfyy")), qint64(refused ? 0 : 1));
    QCOMPARE(f.db.count(QStringLiteral("visitlog")), qint64(refused ? 0 : 1));
    // Refused: nothing written, the customer still held by this call. (Booked for this very
    // minute, it is due at once and the ending's draw gives it back.)
    if (refused) {
        QCOMPARE(state(f.db, id), vocab::kInHand);
        QCOMPARE(f.call.customer()->id, id);
    }
}

void TestCallBack::whoDrawsWhen_data()
{
    QTest::addColumn<bool>("onlyMe");
    QTest::addColumn<int>("grace");
    QTest::addColumn<QString>("drawer");
    QTest::addColumn<int>("offset"); // seconds from the window's start (an hour long)
    QTest::addColumn<bool>("drawn");
    QTest::addColumn<QString>("assigned"); // the operator the customer is assigned to
    const QString booker = QStringLiteral("op1"), other = QStringLiteral("op2");
    QTest::newRow("own, a second before the start") << true << 30 << booker << -1 << false << QString();
    QTest::newRow("own, at the start") << true << 30 << booker << 0 << true << QString();
    QTest::newRow("own, a day late") << true << 30 << booker << 86400 << true << QString();
    QTest::newRow("another's, at the start") << true << 30 << other << 0 << false << QString();
    QTest::newRow("another's, a second before it is anyone's") << true << 30 << other << 5399 << false << QString();
    QTest::newRow("another's, when it is anyone's") << true << 30 << other << 5400 << true << QString();
    QTest::newRow("no grace, a second before the end") << true << 0 << other << 3599 << false << QString();
    QTest::newRow("no grace, at the end") << true << 0 << other << 3600 << true << QString();
    QTest::newRow("anyone's, a second before the start") << false << 30 << other << -1 << false << QString();
    QTest::newRow("anyone's, at the start") << false << 30 << other << 0 << true << QString();
    QTest::newRow("anyone's, the booker at the start") << false << 30 << booker << 0 << true << QString();
    QTest::newRow("anyone's, the customer assigned to the booker") << false << 30 << other << 0 << false << booker;
    QTest::newRow("anyone's, the customer assigned to the drawer") << false << 30 << other << 0 << true << other;
    QTest::newRow("own, the customer assigned to another") << true << 30 << booker << 0 << false << other;
}

void TestCallBack::whoDrawsWhen()
{
    QFETCH(bool, onlyMe);
    QFETCH(int, grace);
    QFETCH(QString, drawer);
    QFETCH(int, offset);
    QFETCH(bool, drawn);
    QFETCH(QString, assigned);
    Fixture f;
    QVERIFY(f.db.ok());
    f.hours(QString(), QString(), QString(), QString(), grace);
    const qint64 id = f.customer(QStringLiteral("13900000001"));
    const QDateTime start = kT0.addSecs(3600);
    QCOMPARE(f.book(QStringLiteral("13900000001"), at(start, 60, onlyMe), QStringLiteral("请下午打")).refused,
             BookingFault::None);
    if (!assigned.isEmpty()) // a call-back does not undo an administrator's assignment
        f.db.con().execute(QStringLiteral("update yhda set zdslz=? where id=?"), {assigned, id});
    QCOMPARE(ops::visit::dueCount(f.db.con(), f.p, drawer, start.addSecs(offset)), qint64(drawn));
    const auto c = f.drawAs(drawer, start.addSecs(offset));
    QCOMPARE(bool(c), drawn);
    if (!drawn)
        return;
    QCOMPARE(c->id, id);
    QCOMPARE(c->sljg, vocab::kCallBack);
    QVERIFY(c->booked);
    QCOMPARE(c->booked->start, start);
    QCOMPARE(c->booked->end, start.addSecs(3600));
    QCOMPARE(c->booked->booker, QStringLiteral("话务员op1"));
    QCOMPARE(c->booked->remark, QStringLiteral("请下午打"));
    QCOMPARE(state(f.db, id), vocab::kInHand);
}

void TestCallBack::ownFirstThenAnyonesEarliestFirst()
{
    Fixture f;
    QVERIFY(f.db.ok());
    const QDateTime s = kT0.addSecs(3600);
    const qint64 anyones = f.customer(QStringLiteral("1"));
    const qint64 ownLater = f.customer(QStringLiteral("2"));
    const qint64 ownEarlier = f.customer(QStringLiteral("3"));
    const qint64 others = f.customer(QStringLiteral("4"));
    const qint64 plain = f.customer(QStringLiteral("5"));
    QCOMPARE(f.book(QStringLiteral("1"), at(s, 60, false)).refused, BookingFault::None);
    QCOMPARE(f.book(QStringLiteral("2"), at(s.addSecs(600))).refused, BookingFault::None);
    QCOMPARE(f.book(QStringLiteral("3"), at(s.addSecs(300))).refused, BookingFault::None);
    // One only op2 may call, booked by op2.
    Call op2(f.db.con(), op(QStringLiteral("op2")));
    op2.setProject(f.p);
    op2.setClock([&f] { return f.now; });
    QVERIFY(op2.drawByNumber(QStringLiteral("4")));
    QCOMPARE(op2.outcome(vocab::kCallBack, QString(), kNobody, at(s.addSecs(-60))).refused, BookingFault::None);

    // The counts the visit window shows: own and anyone's that each may draw.
    QCOMPARE(ops::visit::dueCount(f.db.con(), f.p, QStringLiteral("op1"), s.addSecs(1200)), qint64(3));
    QCOMPARE(ops::visit::dueCount(f.db.con(), f.p, QStringLiteral("op2"), s.addSecs(1200)), qint64(2));
    // Whatever state is chosen, due call-backs come first: own by start, then anyone's.
    QList<qint64> order;
    for (int i = 0; i < 5; ++i)
        if (const auto c = f.drawAs(QStringLiteral("op1"), s.addSecs(1200)))
            order << c->id;
    QCOMPARE(order, (QList<qint64>{ownEarlier, ownLater, anyones, plain}));
    QCOMPARE(state(f.db, others), vocab::kCallBack); // still op2's
    // The lock state's draw keeps its own rule: no call-backs.
    QCOMPARE(f.drawAs(QStringLiteral("op2"), s.addSecs(1200), vocab::kInHand)->booked.has_value(), false);
}

void TestCallBack::endingsCloseAndReplace()
{
    Fixture f;
    QVERIFY(f.db.ok());
    const qint64 id = f.customer(QStringLiteral("13900000001"));
    QCOMPARE(f.book(QStringLiteral("13900000001"), at(kT0.addSecs(3600))).refused, BookingFault::None);
    f.now = kT0.addSecs(300);
    QCOMPARE(f.book(QStringLiteral("13900000001"), at(kT0.addSecs(7200))).refused, BookingFault::None);
    const qint64 second = f.db.scalar(QStringLiteral("select max(id) from visitlog")).toLongLong();
    QCOMPARE(f.db.count(QStringLiteral("hfyy"), QStringLiteral("zt=0")), qint64(1));
    QCOMPARE(f.db.scalar(QStringLiteral("select gbid from hfyy where zt=1")).toLongLong(), second);
    QCOMPARE(f.db.scalar(QStringLiteral("select gbsj from hfyy where zt=1")).toString(),
             QStringLiteral("2026-12-07 10:05:00"));
    // Any later ending closes the open one.
    QVERIFY(f.call.drawByNumber(QStringLiteral("13900000001")));
    f.call.outcome(vocab::kRefused, QString(), kNobody);
    QCOMPARE(f.db.count(QStringLiteral("hfyy"), QStringLiteral("zt=0")), qint64(0));
    QCOMPARE(f.db.count(QStringLiteral("hfyy"), QStringLiteral("zt=1 and gbid is not null")), qint64(2));
    QCOMPARE(f.db.scalar(QStringLiteral("select hjcs from yhda where id=%1").arg(id)).toInt(), 3);
    QVERIFY(f.db.scalar(QStringLiteral("select kcsj from yhda where id=%1").arg(id)).isNull());
}

void TestCallBack::numberDrawTellsAndGivingUpKeepsTheWait()
{
    Fixture f;
    QVERIFY(f.db.ok());
    const qint64 id = f.customer(QStringLiteral("13900000001"));
    QCOMPARE(f.book(QStringLiteral("13900000001"), at(kT0.addSecs(3600), 60, false)).refused, BookingFault::None);
    // Not drawn by state before its window; drawing by number reaches it and tells.
    QVERIFY(!f.drawAs(QStringLiteral("op2"), kT0.addSecs(60), vocab::kCallBack));
    const auto& c = f.call.drawByNumber(QStringLiteral("13900000001"));
    QVERIFY(c && c->booked);
    QVERIFY(!c->booked->due);
    f.call.giveUp(QString(), vocab::kNotHandled);
    QCOMPARE(state(f.db, id), vocab::kCallBack);
    QVERIFY(!f.drawAs(QStringLiteral("op2"), kT0.addSecs(60), vocab::kCallBack));
    QVERIFY(f.drawAs(QStringLiteral("op2"), kT0.addSecs(3600), vocab::kCallBack));
}

void TestCallBack::retryRules_data()
{
    QTest::addColumn<int>("delay");
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("endings"); // no-answer endings, each at the time the last one allowed
    QTest::addColumn<int>("after");   // seconds after the last ending that the draw runs
    QTest::addColumn<bool>("drawn");
    QTest::addColumn<QString>("shown"); // customer data management's 呼叫状态 after the endings
    const QString free, limit = QStringLiteral("已达呼叫上限"), later = QStringLiteral("后可呼叫");
    QTest::newRow("no rule") << 0 << 0 << 1 << 0 << true << free;
    QTest::newRow("a second before the delay ends") << 30 << 0 << 1 << 1799 << false << later;
    QTest::newRow("when the delay ends") << 30 << 0 << 1 << 1800 << true << later;
    QTest::newRow("below the limit") << 0 << 3 << 2 << 0 << true << free;
    QTest::newRow("at the limit") << 0 << 3 << 3 << 86400 * 400 << false << limit;
    QTest::newRow("delay and limit") << 10 << 2 << 1 << 600 << true << later;
}

void TestCallBack::retryRules()
{
    QFETCH(int, delay);
    QFETCH(int, limit);
    QFETCH(int, endings);
    QFETCH(int, after);
    QFETCH(bool, drawn);
    QFETCH(QString, shown);
    Fixture f;
    QVERIFY(f.db.ok());
    ops::visit::saveRetryRule(f.db.con(), f.p, vocab::kNoAnswer, {delay, limit});
    const qint64 id = f.customer(QStringLiteral("13900000001"));
    for (int i = 0; i < endings; ++i) {
        QVERIFY(f.call.drawByNumber(QStringLiteral("13900000001")));
        f.call.outcome(vocab::kNoAnswer, QString(), kNobody);
        if (i + 1 < endings)
            f.now = f.now.addSecs(60LL * delay);
    }
    QCOMPARE(f.db.scalar(QStringLiteral("select hjcs from yhda where id=%1").arg(id)).toInt(), endings);
    const QString status = f.db.scalar(QStringLiteral("select hjzt from yhdaview where id=%1").arg(id)).toString();
    QVERIFY2(shown.isEmpty() ? status.isEmpty() : status.endsWith(shown), qPrintable(status));
    const auto c = f.drawAs(QStringLiteral("op1"), f.now.addSecs(after), vocab::kNoAnswer);
    QCOMPARE(bool(c), drawn);
    // The last ending word stays what it was, for the statistics.
    if (!drawn)
        QCOMPARE(state(f.db, id), vocab::kNoAnswer);
}

void TestCallBack::callingHours_data()
{
    QTest::addColumn<QString>("weekendStart");
    QTest::addColumn<QString>("weekendEnd");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QDateTime>("resumes"); // now itself: open
    const QDate mon = kT0.date();
    auto t = [mon](int day, int h, int m, int s = 0) { return QDateTime(mon.addDays(day), QTime(h, m, s)); };
    const QString ten = QStringLiteral("10:00"), noon = QStringLiteral("12:00");
    QTest::newRow("a second before opening") << ten << noon << t(0, 8, 59, 59) << t(0, 9, 0);
    QTest::newRow("at opening") << ten << noon << t(0, 9, 0) << t(0, 9, 0);
    QTest::newRow("the last minute") << ten << noon << t(0, 17, 59, 59) << t(0, 17, 59, 59);
    QTest::newRow("at closing") << ten << noon << t(0, 18, 0) << t(1, 9, 0);
    QTest::newRow("friday evening") << ten << noon << t(4, 18, 0) << t(5, 10, 0);
    QTest::newRow("saturday noon") << ten << noon << t(5, 12, 0) << t(6, 10, 0);
    QTest::newRow("sunday afternoon") << ten << noon << t(6, 12, 30) << t(7, 9, 0);
    QTest::newRow("weekends any time") << QString() << QString() << t(5, 3, 0) << t(5, 3, 0);
    QTest::newRow("friday evening, weekends any time") << QString() << QString() << t(4, 18, 0) << t(5, 0, 0);
}

void TestCallBack::callingHours()
{
    QFETCH(QString, weekendStart);
    QFETCH(QString, weekendEnd);
    QFETCH(QDateTime, now);
    QFETCH(QDateTime, resumes);
    const ops::visit::CallingHours h{QStringLiteral("09:00"), QStringLiteral("18:00"), weekendStart, weekendEnd, 30};
    QCOMPARE(h.open(now), resumes == now);
    QCOMPARE(h.resumes(now), resumes);
}

void TestCallBack::outsideHoursOnlyDueCallBacks()
{
    Fixture f;
    QVERIFY(f.db.ok());
    f.hours(QStringLiteral("09:00"), QStringLiteral("18:00"), QString(), QString());
    f.customer(QStringLiteral("1"));
    const qint64 booked = f.customer(QStringLiteral("2"));
    QCOMPARE(f.book(QStringLiteral("2"), at(kT0.addSecs(8 * 3600), 60, false)).refused, BookingFault::None);
    const QDateTime evening = kT0.addSecs(9 * 3600); // 19:00
    const auto first = ops::visit::drawByState(f.db.con(), f.p, vocab::kNotHandled, QStringLiteral("op2"), evening);
    QVERIFY(first.customer);
    QCOMPARE(first.customer->id, booked);
    const auto then = ops::visit::drawByState(f.db.con(), f.p, vocab::kNotHandled, QStringLiteral("op2"), evening);
    QVERIFY(!then.customer);
    QCOMPARE(then.resumes, std::optional<QDateTime>(QDateTime(kT0.date().addDays(1), QTime(9, 0))));
    QVERIFY(f.drawAs(QStringLiteral("op2"), QDateTime(kT0.date().addDays(1), QTime(9, 0))));
}

void TestCallBack::seatsRaceForDueCallBacks()
{
    Fixture f;
    QVERIFY(f.db.ok());
    const int n = 40;
    for (int i = 0; i < n; ++i) {
        f.customer(QStringLiteral("1390000%1").arg(i));
        QCOMPARE(f.book(QStringLiteral("1390000%1").arg(i), at(kT0.addSecs(60), 60, false)).refused,
                 BookingFault::None);
    }
    // Four seats at once, each ending every call-back it draws and drawing the next in the
    // same transaction, as the visit window does.
    QList<qint64> held[4];
    const QString failure = tst::runSeats(f.db, 4, [&](db::Connection& con, int s) {
        Call call(con, op(QStringLiteral("op%1").arg(s + 2)));
        call.setProject(f.p);
        call.setClock([] { return kT0.addSecs(120); });
        auto c = call.drawByState(vocab::kNotHandled);
        while (c) {
            held[s] << c->id;
            c = call.outcome(vocab::kNoAnswer, QString(), vocab::kNotHandled).customer;
        }
    });
    QVERIFY2(failure.isEmpty(), qPrintable(failure));
    const tst::Holds holds = tst::countHolds(held, 4);
    QCOMPARE(holds.total, n);
    QCOMPARE(holds.distinct, n);
    QCOMPARE(f.db.count(QStringLiteral("hfyy"), QStringLiteral("zt=0")), qint64(0));
}

QTEST_GUILESS_MAIN(TestCallBack)
#include "tst_callback.moc"
