#include "ops/reports/rates.h"

#include <QStringList>

namespace ops::reports {

std::optional<Disposition> classOfCode(const QString& code)
{
    const QStringList parts = code.trimmed().split(u'.');
    bool ok = false;
    const int group = parts.value(0).toInt(&ok);
    if (!ok || parts.size() < 2 || parts[1].isEmpty())
        return std::nullopt;
    const QChar sub = parts[1][0];
    switch (group) {
    case 1:
        return sub == u'1' ? std::optional(Disposition::I) : sub == u'2' ? std::optional(Disposition::P) : std::nullopt;
    case 2:
        return sub == u'1'   ? std::optional(Disposition::R)
               : sub == u'2' ? std::optional(Disposition::NC)
               : sub == u'3' ? std::optional(Disposition::O)
                             : std::nullopt;
    case 3:
        return sub == u'1'                  ? std::optional(Disposition::UH)
               : sub == u'2' || sub == u'9' ? std::optional(Disposition::UO)
                                            : std::nullopt;
    case 4:
        return Disposition::NE;
    default:
        return std::nullopt;
    }
}

QString className(Disposition d)
{
    static const char* const names[kDispositionCount] = {"I", "P", "R", "NC", "O", "UH", "UO", "NE"};
    return QString::fromLatin1(names[int(d)]);
}

namespace {

bool isFinal(Disposition d)
{
    return d == Disposition::I || d == Disposition::NE;
}

bool reached(Disposition d)
{
    return d == Disposition::P || d == Disposition::R || d == Disposition::NC || d == Disposition::O;
}

std::optional<double> ratio(double num, double den)
{
    if (den <= 0)
        return std::nullopt;
    return num / den;
}

} // namespace

Disposition finalDisposition(const QList<Disposition>& endings, bool appointmentNotKept, Disposition neverCalled)
{
    std::optional<Disposition> finalOne, lastReached;
    for (const Disposition d : endings) {
        if (isFinal(d))
            finalOne = d;
        else if (reached(d))
            lastReached = d;
    }
    if (finalOne)
        return *finalOne;
    if (endings.isEmpty())
        return appointmentNotKept ? Disposition::NC : neverCalled;
    const Disposition last = endings.last();
    if (reached(last))
        return last;
    if (lastReached)
        return *lastReached;
    return appointmentNotKept ? Disposition::NC : last;
}

Rates computeRates(const Counts& c, std::optional<double> e)
{
    auto n = [&](Disposition d) { return double(c[size_t(d)]); };
    const double I = n(Disposition::I), P = n(Disposition::P), R = n(Disposition::R), NC = n(Disposition::NC),
                 O = n(Disposition::O), UH = n(Disposition::UH), UO = n(Disposition::UO), NE = n(Disposition::NE);
    Rates r;
    const double eligible = I + P + R + NC + O;
    if (e) {
        r.e = *e;
        r.eEstimated = false;
    } else {
        r.e = eligible + NE > 0 ? eligible / (eligible + NE) : 0;
    }
    const double den1 = eligible + UH + UO;
    const double den3 = eligible + r.e * (UH + UO);
    const double den5 = eligible;
    const double dens[3] = {den1, den3, den5};
    for (int k = 0; k < 3; ++k) {
        r.rr[2 * k] = ratio(I, dens[k]);
        r.rr[2 * k + 1] = ratio(I + P, dens[k]);
        r.ref[k] = ratio(R, dens[k]);
        r.con[k] = ratio(I + P + R + O, dens[k]);
    }
    r.coop[0] = ratio(I, I + P + R + O);
    r.coop[1] = ratio(I + P, I + P + R + O);
    r.coop[2] = ratio(I, I + P + R);
    r.coop[3] = ratio(I + P, I + P + R);
    return r;
}

} // namespace ops::reports
