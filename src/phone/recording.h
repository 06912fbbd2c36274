#pragma once

#include <QDateTime>
#include <QString>

// Call recordings: one file per call, the operator on the left, the customer on the right.
namespace phone {

// <yyyyMMdd-hhmmss>_<project>_<customer id>_<number>.wav, with characters that no file name
// may carry replaced by '_'.
QString recordingName(const QDateTime& when, const QString& project, qint64 customerId, const QString& number);

// Joins the two mono 16-bit PCM halves the softphone wrote (what was sent, what was heard) into
// one stereo file; the shorter half is padded with silence. False with the reason on failure.
bool joinRecording(const QString& sent, const QString& heard, const QString& out, QString* why);

} // namespace phone
