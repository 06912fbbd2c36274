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

// Reads PostgreSQL connection details as libpq writes them: "key=value ..." (values may be
// single-quoted, \' and \\ inside quotes) or a postgresql:// URI. Keys: host, port, dbname,
// user, service. Throws SettingsError.
db::ServerParams parseServer(const QString& conninfo);

} // namespace ops
