// Disposition codes per project and the final disposition of every customer counted by one
// grouped statement: its counts must be those of finalDisposition applied to each case's own
// endings, whatever the filter.
#include "db/vocab.h"
#include "ops/reports/dispositions.h"
#include "support/opsdb.h"

#include <QMap>
#include <QSqlQuery>
#include <QTest>

using ops::reports::Counts;
using ops::reports::Disposition;
using ops::reports::DispositionCode;

namespace {

const QDateTime kAt(QDate(2026, 12, 8), QTime(12, 0));
const QString kOp1 = QStringLiteral("王'五");
const QString kOp2 = QStringLiteral("赵六");

struct Ending
{
    QString word;
    QString op;
    int day; // of December 2026
};

// One customer: its endings oldest first and its call-backs.
struct Case
{
    QList<Ending> endings;
    bool lapsedBooking = false; // an open call-back whose window has ended
    bool comingBooking = false; // an open one still to come (not a lapse)
    enum {
        Before,
        After,
        Moved
    } added = Before; // the customer added before its endings, after
                      // them, or on another number then moved to this one
};

Ending e(const QString& word, int day = 1, const QString& op = kOp1)
{
    return {word, op, day};
}

const QString kDone = vocab::kHandled + QStringLiteral("(成功)");
const QString kDoneNoResult = vocab::kHandled + QStringLiteral("()");

// A case for each clause of the rule, and some that mix them.
QList<Case> cases()
{
    using namespace vocab;
    return {
        {{}, false, false},                                                   // never called
        {{}, true, false},                                                    // never called, booked, lapsed
        {{e(kNoAnswer), e(kRefused, 2)}, false, false},                       // the latest
        {{e(kDone), e(kRefused, 3, kOp2)}, false, false},                     // complete wins
        {{e(kDoneNoResult, 2)}, false, false},                                // complete without a result asked
        {{e(kNoAnswer), e(kOutOfService, 2), e(kNoAnswer, 3)}, false, false}, // not eligible wins
        {{e(kNoAnswer), e(kRefused, 2, kOp2), e(kNoAnswer, 3), e(kSwitchedOff, 4)}, false, false}, // reached
        {{e(kRefused), e(kCallBack, 3)}, false, false},       // later contact replaces earlier
        {{e(kNoAnswer), e(kNoAnswer, 2)}, true, false},       // appointment never kept
        {{e(kNoAnswer), e(kNoAnswer, 2)}, false, true},       // appointment still to come
        {{e(kCallBack), e(kNoAnswer, 2, kOp2)}, true, false}, // reached beats a lapse
        {{e(kRefused, 2), e(kNoAnswer, 3)}, true, false},     // a refusal stays one despite a lapse
        {{e(kSwitchedOff, 1, kOp2), e(kInvalidData, 4, kOp2)}, false, false},
        {{e(kNoAnswer, 5, kOp2)}, false, false},
        {{e(QStringLiteral("未知结果"), 2)}, false, false}, // a word with no code
        {{e(kRefused), e(kNoAnswer, 2)}, false, false, Case::After},
        {{e(kDone, 2), e(kNoAnswer, 3)}, false, false, Case::Moved},
        {{e(kNoAnswer, 2)}, true, false, Case::After},
    };
}

struct Fixture
{
    tst::OpsDb db;
    qint64 p = 0;
    QList<qint64> ids;
    Fixture()
    {
        p = tst::addProject(db.con(), QStringLiteral("满意度'调查"));
        // Another project's customer on the same number, and this project's deleted one: neither counts.
        const qint64 other = tst::addProject(db.con(), QStringLiteral("别的项目"));
        tst::addCustomer(db.con(), other, QStringLiteral("13900000000"));
        history(other, QStringLiteral("13900000000"), {e(vocab::kHandled + QStringLiteral("(成功)"))});
        tst::Cust gone;
        gone.dhhm1 = QStringLiteral("13911111111");
        gone.del = 1;
        tst::addCustomer(db.con(), p, gone);
        history(p, gone.dhhm1, {e(vocab::kRefused)});

        const QList<Case> all = cases();
        for (int i = 0; i < all.size(); ++i) {
            const QString number = QStringLiteral("1390000%1").arg(i, 4, 10, QLatin1Char('0'));
            if (all[i].added != Case::Before)
                history(p, number, all[i].endings);
            const qint64 id =
                tst::addCustomer(db.con(), p, all[i].added == Case::Moved ? QStringLiteral("13922222222") : number);
            ids << id;
            if (all[i].added == Case::Moved)
                db.con().execute(QStringLiteral("update yhda set dhhm1=? where id=?"), {number, id});
            else if (all[i].added == Case::Before)
                history(p, number, all[i].endings);
            if (all[i].lapsedBooking)
                book(id, number, kAt.addSecs(-3600), 0);
            if (all[i].comingBooking)
                book(id, number, kAt.addSecs(3600), 0);
            book(id, number, kAt.addDays(-3), 1); // kept or cancelled ones never count
        }
    }
    void history(qint64 ywbh, const QString& number, const QList<Ending>& endings)
    {
        for (const Ending& x : endings)
            db.con().execute(QStringLiteral("insert into visitlog(ywbh,dhhm,slz,sljg,bz,vtime) values(?,?,?,?,'',?)"),
                             {ywbh, number, x.op, x.word,
                              QStringLiteral("2026-12-%1 09:30:00").arg(x.day, 2, 10, QLatin1Char('0'))});
    }
    void book(qint64 id, const QString& number, const QDateTime& end, int zt)
    {
        const QString e = end.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        db.con().execute(QStringLiteral("insert into hfyy(yhid,ywbh,dhhm,kssj,jssj,gksj,zt) values(?,?,?,?,?,?,?)"),
                         {id, p, number, e, e, e, zt});
    }
};

// The rule applied case by case to the endings the filter keeps, with the given codes.
Counts expected(const ops::reports::Filter& f, const QList<DispositionCode>& codes, QMap<qint64, Disposition>* each,
                const QList<qint64>& ids)
{
    QMap<QString, Disposition> classOf;
    for (const DispositionCode& c : codes)
        classOf.insert(c.word, *ops::reports::classOfCode(c.code));
    const bool narrowed = !f.slz.isEmpty() || f.byDay;
    Counts n{};
    const QList<Case> all = cases();
    for (int i = 0; i < all.size(); ++i) {
        QList<Disposition> endings;
        for (const Ending& x : all[i].endings) {
            const QDate day(2026, 12, x.day);
            if ((!f.slz.isEmpty() && x.op != f.slz) || (f.byDay && (day < f.from || day > f.to)))
                continue;
            const QString word = x.word.startsWith(vocab::kHandled) ? vocab::kHandled : x.word;
            endings << classOf.value(word, Disposition::UO);
        }
        if (narrowed && endings.isEmpty())
            continue;
        const Disposition d =
            ops::reports::finalDisposition(endings, all[i].lapsedBooking, classOf.value(vocab::kNotHandled));
        ++n[size_t(d)];
        each->insert(ids[i], d);
    }
    return n;
}

QString show(const Counts& c)
{
    QStringList parts;
    for (int k = 0; k < ops::reports::kDispositionCount; ++k)
        parts << ops::reports::className(Disposition(k)) + u'=' + QString::number(c[size_t(k)]);
    return parts.join(u' ');
}

} // namespace

Q_DECLARE_METATYPE(ops::reports::Filter)

class TstDispositions : public QObject
{
    Q_OBJECT
private slots:
    void newProjectHasTheDefaults();
    void badCodesAreRefused_data();
    void badCodesAreRefused();
    void countsFollowTheRule_data();
    void countsFollowTheRule();
};

void TstDispositions::newProjectHasTheDefaults()
{
    tst::OpsDb db;
    QVERIFY(db.ok());
    const qint64 p = tst::addProject(db.con(), QStringLiteral("新项目"));
    const QMap<QString, QString> want = {{QStringLiteral("已受理"), "1.1"},    {QStringLiteral("拒访"), "2.11"},
                                         {QStringLiteral("下次联系"), "2.21"}, {QStringLiteral("无应答"), "3.13"},
                                         {QStringLiteral("关机"), "3.16"},     {QStringLiteral("停机"), "4.32"},
                                         {QStringLiteral("无效数据"), "4.10"}, {QStringLiteral("未受理"), "3.11"}};
    QMap<QString, QString> kept;
    QSqlQuery q = db.con().select(QStringLiteral("select sljg,czdm from czfl where ywbh=?"), {p}, true);
    while (q.next())
        kept.insert(q.value(0).toString(), q.value(1).toString());
    QCOMPARE(kept, want);
    db.exec(QStringLiteral("delete from t_ywbh where ywbh=") + QString::number(p));
    QCOMPARE(db.count(QStringLiteral("czfl")), 0);
}

void TstDispositions::badCodesAreRefused_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("saved");
    QTest::newRow("standard") << QStringLiteral("2.12") << true;
    QTest::newRow("blanks around") << QStringLiteral(" 3.21 ") << true;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("no group") << QStringLiteral("5.1") << false;
    QTest::newRow("no subgroup") << QStringLiteral("2") << false;
    QTest::newRow("hostile") << QStringLiteral("2.1'); delete from czfl; --") << false;
    QTest::newRow("words") << QStringLiteral("拒访") << false;
}

void TstDispositions::badCodesAreRefused()
{
    QFETCH(QString, code);
    QFETCH(bool, saved);
    tst::OpsDb db;
    QVERIFY(db.ok());
    const qint64 p = tst::addProject(db.con(), QStringLiteral("项目"));
    QList<DispositionCode> codes = ops::reports::defaultDispositionCodes();
    codes[0].code = QStringLiteral("1.2");
    codes[2].code = code;
    const QString refused = ops::reports::saveDispositionCodes(db.con(), p, codes);
    QCOMPARE(refused.isEmpty(), saved);
    const QList<DispositionCode> now = ops::reports::dispositionCodes(db.con(), p);
    QCOMPARE(db.count(QStringLiteral("czfl")), 8);
    if (saved) {
        QCOMPARE(now[0].code, QStringLiteral("1.2"));
        QCOMPARE(now[2].code, code.trimmed());
    } else {
        QCOMPARE(refused, vocab::kCallBack);
        QCOMPARE(now[0].code, QStringLiteral("1.1")); // nothing written
        QCOMPARE(now[2].code, QStringLiteral("2.21"));
    }
}

void TstDispositions::countsFollowTheRule_data()
{
    QTest::addColumn<ops::reports::Filter>("filter");
    QTest::addColumn<int>("codeSet"); // 0: the defaults
    ops::reports::Filter all;
    QTest::newRow("every customer") << all << 0;
    QTest::newRow("codes changed") << all << 1;
    QTest::newRow("codes changed again") << all << 2;
    ops::reports::Filter op = all;
    op.slz = kOp2;
    QTest::newRow("one operator") << op << 0;
    op.slz = kOp1;
    QTest::newRow("an operator with a quote") << op << 0;
    ops::reports::Filter days = all;
    days.byDay = true;
    days.from = QDate(2026, 12, 2);
    days.to = QDate(2026, 12, 3);
    QTest::newRow("days") << days << 0;
    days.slz = kOp2;
    QTest::newRow("days and operator") << days << 1;
}

void TstDispositions::countsFollowTheRule()
{
    QFETCH(ops::reports::Filter, filter);
    QFETCH(int, codeSet);
    Fixture x;
    QVERIFY(x.db.ok());
    filter.ywbh = x.p;
    // Other codes, each class once at least; the customers' kept endings follow them.
    const QStringList sets[] = {{},
                                {"1.1", "2.32", "2.21", "3.21", "3.16", "4.32", "1.2", "3.12"},
                                {"4.7", "2.20", "1.2", "3.90", "2.111", "3.19", "4.10", "3.20"}};
    QList<DispositionCode> codes = ops::reports::defaultDispositionCodes();
    for (int i = 0; i < sets[codeSet].size(); ++i)
        codes[i].code = sets[codeSet][i];
    if (codeSet)
        QVERIFY(ops::reports::saveDispositionCodes(x.db.con(), x.p, codes).isEmpty());
    QMap<qint64, Disposition> each;
    const Counts want = expected(filter, codes, &each, x.ids);
    const Counts got = ops::reports::finalDispositionCounts(x.db.con(), filter, kAt);
    QVERIFY2(got == want, qPrintable(show(got) + QStringLiteral(" instead of ") + show(want)));

    // The customers behind each count are those of that class.
    for (int k = 0; k < ops::reports::kDispositionCount; ++k) {
        QList<qint64> listed, wanted;
        QSqlQuery q = x.db.con().select(ops::reports::dispositionCases(x.db.con(), filter, kAt, Disposition(k)), true);
        while (q.next())
            listed << q.value(0).toLongLong();
        for (auto it = each.cbegin(); it != each.cend(); ++it)
            if (it.value() == Disposition(k))
                wanted << it.key();
        QCOMPARE(listed, wanted);
    }
}

QTEST_GUILESS_MAIN(TstDispositions)
#include "tst_dispositions.moc"
