#pragma once

#include "db/connection.h"

#include <QString>
#include <QStringList>
#include <stdexcept>

namespace ops {

// Where the program's data lives: the embedded file (dhyx.dat beside the program unless told
// otherwise) or a PostgreSQL server database.
struct Location
{
    bool server = false;
    QString file;            // the database file, when not on a server
    db::ServerParams params; // the server database, when on a server

    // The file's path or the server's description, as messages name it.
    QString describe() const;
    // The file's safety copy: beside it, named like it with ".bak" (dhyx.dat -> dhyx.bak).
    QString backupFile() const;
};

// A settings file or command line that cannot be used: the text says what is wrong and where.
// Not a database failure: no statement ran.
class SettingsError : public std::runtime_error
{
public:
    explicit SettingsError(const QString& text) : std::runtime_error(text.toStdString()), m_text(text) {}
    QString text() const { return m_text; }

private:
    QString m_text;
};

// The settings file the program reads, in its own folder.
inline constexpr auto kSettingsFileName = "tellvane.ini";
// The database file when no setting names another.
inline constexpr auto kDatabaseFileName = "dhyx.dat";

// Where the program reads its settings and keeps its data. Run from a folder of its own (the build
// tree, a portable copy) all of it is in that folder. Installed, that folder is the system's, not
// the user's: the data goes to the user's data folder and the settings come from the user's
// configuration folder, then from the site's.
struct Places
{
    QString program;           // the program's own folder
    bool installed = false;    // the rest applies only then
    QString data;              // the user's data folder: database, safety copy, log
    QStringList settingsFiles; // read in this order; the first one present decides

    // The folder of the database chosen by default, of relative file names in the settings, and
    // of the log.
    QString dataFolder() const { return installed ? data : program; }
    // The database chosen when no setting names one.
    QString defaultDatabase() const;
};

// Whether the program in programFolder runs installed. A folder holding dhyx.dat or tellvane.ini
// is a portable copy (or a site's own deployment), whoever owns it; otherwise one the user may not write to, or the
// folder the program was built to be installed in (root may write there and still not mean to keep data beside
// /usr/bin), is an installed program's.
bool runsInstalled(const QString& programFolder, const QString& installedFolder);

// Chooses the database from the settings file <folder>/tellvane.ini (section [database]) and the
// command-line arguments (without the program name). With neither it is <folder>/dhyx.dat. A
// --server or --file on the command line wins over the settings file. Throws SettingsError.
//
//   [database]                         command line
//   engine=postgresql                  --server "host=db1 port=5432 dbname=tellvane user=seat"
//   host=db1  port=5432                --server service=tellvane
//   database=tellvane  user=seat       --server postgresql://seat@db1:5432/tellvane
//   service=tellvane                   --file D:/data/dhyx.dat
//   engine=sqlite  file=dhyx.dat       (a relative file is taken from <folder>)
//
// A password is never accepted: libpq reads it from ~/.pgpass or the service file.
Location chooseLocation(const QString& folder, const QStringList& arguments);
// The same for places: portable as above; installed from the first of places.settingsFiles that is
// present (a relative file there is taken from the data folder), else dhyx.dat in the data folder.
Location chooseLocation(const Places& places, const QStringList& arguments);

// What preparing the database did.
struct Prepared
{
    bool laid = false; // a fresh database was laid
    QString error;     // why it could not be laid or brought up to date; empty when it could
};

// An installed program keeps its own database in the data folder: at its first start it lays a
// fresh one there (never over an existing file); later an older one is brought to the current
// schema, as tellvane-initdb does beside a portable program. A portable program, a file named by a
// setting and a server are left to the site (tellvane-initdb): nothing is done.
Prepared prepareDatabase(const Places& places, const Location& where);

// Reads PostgreSQL connection details as libpq writes them: "key=value ..." (values may be
// single-quoted, \' and \\ inside quotes) or a postgresql:// URI. Keys: host, port, dbname,
// user, service. Throws SettingsError.
db::ServerParams parseServer(const QString& conninfo);

} // namespace ops
