#include "ops/reports/rates.h"

#include <QTest>

using ops::reports::Disposition;
using D = Disposition;

Q_DECLARE_METATYPE(QList<Disposition>)
Q_DECLARE_METATYPE(Disposition)

class TstRates : public QObject
{
    Q_OBJECT
private slots:
    void rates();
    void zeroDenominatorsGiveNothing();
    void finalDisposition_data();
    void finalDisposition();
    void codes();
};

// Worked by hand for I=200 P=20 R=100 NC=50 O=10 UH=300 UO=20 NE=100:
//   eligible I+P+R+NC+O = 380; unknown UH+UO = 320; e = 380/(380+100) = 0.791667
//   RR1 den = 380+320 = 700; RR3 den = 380 + 0.791667*320 = 633.3333; RR5 den = 380
//   RR1 200/700 = .2857  RR2 220/700 = .3143  RR3 200/633.33 = .3158  RR4 220/633.33 = .3474
//   RR5 200/380 = .5263  RR6 220/380 = .5789
//   COOP1 200/330 = .6061  COOP2 220/330 = .6667  COOP3 200/320 = .6250  COOP4 220/320 = .6875
//   REF1 100/700 = .1429  REF2 100/633.33 = .1579  REF3 100/380 = .2632
//   CON1 330/700 = .4714  CON2 330/633.33 = .5211  CON3 330/380 = .8684
// With e typed as 0.5: RR3 den = 380+160 = 540, RR3 200/540 = .3704, CON2 330/540 = .6111.
void TstRates::rates()
{
    const ops::reports::Counts counts = {200, 20, 100, 50, 10, 300, 20, 100};
    auto r = ops::reports::computeRates(counts);
    auto near = [](std::optional<double> v, double want) { return v && qAbs(*v - want) < 0.00005; };
    QVERIFY(r.eEstimated && qAbs(r.e - 0.791667) < 0.000001);
    const double rr[6] = {.2857, .3143, .3158, .3474, .5263, .5789};
    for (int k = 0; k < 6; ++k)
        QVERIFY2(near(r.rr[k], rr[k]), qPrintable(QString("RR%1 %2").arg(k + 1).arg(r.rr[k].value_or(-1))));
    const double coop[4] = {.6061, .6667, .6250, .6875}, ref[3] = {.1429, .1579, .2632}, con[3] = {.4714, .5211, .8684};
    for (int k = 0; k < 4; ++k)
        QVERIFY2(near(r.coop[k], coop[k]), qPrintable(QString("COOP%1").arg(k + 1)));
    for (int k = 0; k < 3; ++k) {
        QVERIFY2(near(r.ref[k], ref[k]), qPrintable(QString("REF%1").arg(k + 1)));
        QVERIFY2(near(r.con[k], con[k]), qPrintable(QString("CON%1").arg(k + 1)));
    }
    r = ops::reports::computeRates(counts, 0.5);
    QVERIFY(!r.eEstimated);
    QVERIFY(near(r.rr[2], .3704) && near(r.con[1], .6111) && near(r.rr[0], .2857));
}

void TstRates::zeroDenominatorsGiveNothing()
{
    // only unknown cases: no eligible case, so RR5/RR6, COOP and REF3/CON3 have nothing to divide by
    const auto r = ops::reports::computeRates({0, 0, 0, 0, 0, 40, 0, 0});
    QCOMPARE(r.rr[0], std::optional<double>(0.0)); // a real 0%: 0 of 40
    QVERIFY(!r.rr[4] && !r.rr[5] && !r.coop[0] && !r.coop[3] && !r.ref[2] && !r.con[2]);
    QCOMPARE(r.e, 0.0);
    QVERIFY(!r.rr[2]); // e = 0 and no eligible: RR3's denominator is 0
    const auto none = ops::reports::computeRates({});
    for (const auto& v : none.rr)
        QVERIFY(!v);
}

void TstRates::finalDisposition_data()
{
    QTest::addColumn<QList<Disposition>>("endings");
    QTest::addColumn<bool>("appointmentNotKept");
    QTest::addColumn<Disposition>("final");
    QTest::newRow("never called") << QList<D>{} << false << D::UH;
    QTest::newRow("the latest otherwise") << QList<D>{D::UH, D::R} << false << D::R;
    QTest::newRow("complete wins over a later refusal") << QList<D>{D::I, D::R} << false << D::I;
    QTest::newRow("not eligible wins over later tries") << QList<D>{D::UH, D::NE, D::UH} << false << D::NE;
    QTest::newRow("reached stays reached") << QList<D>{D::UH, D::R, D::UH, D::UH} << false << D::R;
    QTest::newRow("break-off stays reached") << QList<D>{D::P, D::UH} << false << D::P;
    QTest::newRow("later contact replaces earlier") << QList<D>{D::R, D::NC} << false << D::NC;
    QTest::newRow("appointment never kept") << QList<D>{D::UH, D::UH} << true << D::NC;
    QTest::newRow("nobody reached") << QList<D>{D::UH, D::UO} << false << D::UO;
}

void TstRates::finalDisposition()
{
    QFETCH(QList<Disposition>, endings);
    QFETCH(bool, appointmentNotKept);
    QFETCH(Disposition, final);
    QCOMPARE(ops::reports::finalDisposition(endings, appointmentNotKept, D::UH), final);
}

void TstRates::codes()
{
    const std::pair<const char*, std::optional<D>> rows[] = {
        {"1.1", D::I},   {"1.2", D::P},   {"2.11", D::R},  {"2.21", D::NC}, {"2.3", D::O},
        {"3.13", D::UH}, {"3.16", D::UH}, {"3.11", D::UH}, {"3.21", D::UO}, {"4.32", D::NE},
        {"4.10", D::NE}, {"5.1", {}},     {"x", {}},       {"2", {}},
    };
    for (const auto& [code, cls] : rows)
        QVERIFY2(ops::reports::classOfCode(code) == cls, code);
}

QTEST_GUILESS_MAIN(TstRates)
#include "tst_rates.moc"
