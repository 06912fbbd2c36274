#include "core/seatphone.h"

#include "core/pub.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QPointer>

namespace seatphone {

namespace {

struct Seat
{
    bool read = false; // the settings file was read since the last reset
    QPointer<phone::Softphone> phone;
    phone::SipSettings settings;
    QString problem;
};

Seat& seat()
{
    static Seat s;
    return s;
}

} // namespace

phone::Softphone* phone()
{
    Seat& s = seat();
    if (s.read)
        return s.phone;
    s.read = true;
    const auto read = phone::readSipSettings(pub::seatSettingsFile(), &s.problem);
    if (!read)
        return nullptr;
    s.settings = *read;
    // Owned by the application: it outlives every window and is stopped (its child process
    // ended) when the program ends.
    s.phone = new phone::Softphone(QCoreApplication::instance());
    s.phone->start(s.settings.account);
    return s.phone;
}

const phone::SipSettings& settings()
{
    return seat().settings;
}

QString problem()
{
    return seat().problem;
}

void reset()
{
    Seat& s = seat();
    delete s.phone.data(); // stops it
    s = Seat();
}

} // namespace seatphone
