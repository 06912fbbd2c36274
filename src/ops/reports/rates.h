#pragma once

#include <QList>
#include <QString>
#include <array>
#include <optional>

// Response, cooperation, refusal and contact rates of a telephone survey, by the survey field's
// standard definitions: each customer has one final disposition (its class below) drawn from all
// its endings, and the rates are ratios of the counts of the classes.
namespace ops::reports {

// The disposition classes, in the order the rates window lists them.
enum class Disposition {
    I,  // complete interview
    P,  // partial interview (broken off after answers)
    R,  // refusal and break-off
    NC, // non-contact (the respondent not available, an appointment not kept)
    O,  // other eligible non-interview
    UH, // unknown if eligible: nobody reached (no answer, never attempted, technical)
    UO, // unknown eligibility, other
    NE, // not eligible (non-working number, unusable record)
};
inline constexpr int kDispositionCount = 8;

// The class a disposition code belongs to: "1.1" -> I, "2.11" -> R, "3.13" -> UH, "4.32" -> NE...
// Nothing for a code outside the standard's four groups.
std::optional<Disposition> classOfCode(const QString& code);
QString className(Disposition d); // "I", "P", "R", ...

// One customer's final disposition from its endings, oldest first (empty: never called). A final
// class (I, NE) wins over anything after it; once reached (P, R, NC, O), a later ending that
// reaches nobody (UH, UO) does not make the case unknown again; an open appointment the customer
// asked for and that was never kept makes a case still unknown NC; otherwise the latest ending.
Disposition finalDisposition(const QList<Disposition>& endings, bool appointmentNotKept, Disposition neverCalled);

using Counts = std::array<qint64, kDispositionCount>;

struct Rates
{
    double e = 0;           // eligibility estimate used for RR3, RR4, REF2, CON2
    bool eEstimated = true; // e is the share of eligible among cases of known eligibility
    // Nothing where a denominator is zero (shown as "—", never as 0%).
    std::optional<double> rr[6], coop[4], ref[3], con[3];
};

// The rates of these counts; e is estimated from the counts unless given.
Rates computeRates(const Counts& counts, std::optional<double> e = std::nullopt);

} // namespace ops::reports
