#pragma once

#include "phone/sipsettings.h"
#include "phone/softphone.h"

#include <QString>

// The seat's softphone: one per program, started for the first window that dials when the seat's
// settings file has an account, stopped with the program. No account: there is none.
namespace seatphone {

// The running softphone, started now if need be; null when the seat has no account (or an
// account that cannot be used: problem() says why).
phone::Softphone* phone();
// The account the softphone was started with (valid while phone() is not null).
const phone::SipSettings& settings();
// Why the seat's account cannot be used; empty when it can or there is none.
QString problem();

// The settings changed: the softphone is stopped and started afresh by the next phone().
void reset();

} // namespace seatphone
