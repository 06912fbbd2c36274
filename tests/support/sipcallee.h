#pragma once

// The answering end of a telephone test: sipp (Debian package sip-tester) on 127.0.0.1 playing
// a scenario written here, and what a softphone under test needs to call it without sound
// hardware. Nothing leaves this machine.
#include "phone/softphone.h"

#include <QByteArray>
#include <QProcess>
#include <QString>

namespace tst {

// A sipp scenario that rings for ringMs, then answers and holds the call holdMs (hanging up
// itself when the hold is over unless the caller hangs up first), or refuses with status, or
// (status 0) rings until the caller gives up.
QByteArray sipScenario(int ringMs, int status, int holdMs);

// Writes seconds of 8 kHz 16-bit mono silence as a WAV file (what the softphone sends).
bool writeSilence(const QString& file, int seconds);

// sipp answering on a free port of 127.0.0.1, one call, as the scenario says.
class SipCallee
{
public:
    explicit SipCallee(const QString& folder) : m_folder(folder) {}
    ~SipCallee();
    // False when sipp cannot be started.
    bool start(const QByteArray& scenario);
    int port() const { return m_port; }
    // An account for a softphone that calls this end: no registration, silence sent, nothing played.
    phone::SipAccount account() const;
    // What sipp said, for a failed test's output.
    QString said();

private:
    QString m_folder;
    QProcess m_sipp;
    int m_port = 0;
};

} // namespace tst
