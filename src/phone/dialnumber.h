#pragma once

#include <QString>

// Turning a stored phone number into the digits a seat's telephone line dials.
namespace phone {

struct DialNumber
{
    bool ok = false;
    QString digits; // what is dialled, the line's prefix first
    QString reason; // why it cannot be dialled, as the visit window says it
};

// Checks and normalises a number as written in a customer record: Chinese mobiles, landlines with
// their area code, 400 and 800 numbers, and numbers abroad written with + or 00. Blanks, '-',
// '(' and ')' are ignored; anything else, or a number that cannot be valid, is refused.
DialNumber dialNumber(const QString& typed, const QString& prefix = QString());

} // namespace phone
