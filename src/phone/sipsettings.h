#pragma once

#include "phone/softphone.h"

#include <QString>
#include <optional>

// A seat's SIP account in its settings file (section [sip]). No section, or no server in it:
// the seat has no telephone and the visit window is as it always was.
//
//   [sip]
//   server=pbx.example:5060     user=8001        auth_user=8001
//   transport=udp               password_file=/home/op/.config/tellvane/sip.pwd
//   prefix=9                    register=true    ring_seconds=45
//   record=true                 record_folder=/srv/recordings
//   audio_source=alsa,default   audio_player=alsa,default
namespace phone {

struct SipSettings
{
    SipAccount account;
    QString prefix; // dialled before every number (a PBX's outside line)
};

// Reads the [sip] section. A value that cannot be used gives nothing and the reason in why.
std::optional<SipSettings> readSipSettings(const QString& iniPath, QString* why);

// Writes the [sip] section (an empty server removes it). False with the reason on failure.
bool writeSipSettings(const QString& iniPath, const SipSettings& s, QString* why);

// Why an account cannot be used (server, user, transport, prefix, recording folder, ring
// seconds), in the words the settings window shows; empty when it can.
QString sipSettingsFault(const SipSettings& s);

// Whether a password can be handed to the softphone; empty when it can, else why not.
QString sipPasswordFault(const QString& password);

// Writes the password alone into file, readable and writable by its owner only (made so before
// a byte is written). False with the reason on failure.
bool writeSipPassword(const QString& file, const QString& password, QString* why);

// Stores an account typed in the settings window: checks it (nothing is written when it cannot
// be used), puts a password typed (empty: the one kept so far) into sip.pwd beside the settings
// file, then writes the [sip] section naming that file. An empty server removes the account.
bool saveSipAccount(const QString& iniPath, SipSettings s, const QString& password, QString* why);

} // namespace phone
