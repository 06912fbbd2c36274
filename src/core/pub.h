#pragma once

#include "ops/common/location.h"
#include "ops/common/oplog.h"

#include <QString>

// Login values: set by the login, read everywhere.
extern bool gLoginOk;
extern QString gAppPath;  // folder of the program (of the database file)
extern QString gUname;    // login name
extern QString gTruename; // full name
extern QString gTp;       // operator type: "管理员" or "话务员"
extern int gJgts;         // 1 = ask the marketing result after a completed questionnaire
extern QString gIpAddr;   // never assigned: always empty

namespace pub {

// The folder the login takes the database from: the program's own folder, unless a test
// has pointed it elsewhere.
QString programFolder();
void setProgramFolder(const QString& folder); // tests
QString databaseFile();                       // <folder>/dhyx.dat
QString backupFile();                         // <folder>/dhyx.bak

// The program's command-line arguments without its name (main sets them; tests may).
void setProgramArguments(const QStringList& arguments);
// Where the program's settings and data are: its own folder, or installed the user's folders
// and the site's settings (see ops::Places).
ops::Places places();
// The seat's own settings file (its telephone): the program folder's tellvane.ini, installed the
// user's.
QString seatSettingsFile();
// The database the login opens: dhyx.dat in the data folder unless a settings file or the
// command line says otherwise. Throws ops::SettingsError.
ops::Location databaseLocation();

// Clears the login values (tests, between logins).
void resetLoginValues();

// The logged-in operator, as operations record them in the log.
ops::Who currentOperator();

} // namespace pub

// Appends one row to the operation log. Raises db::Error into the caller; no handling of its own.
void WriteSysLog(const QString& logcon);
