#pragma once

#include <QString>

namespace ops {
struct Location;
}

// The program's log file: every message of the program (its categories tellvane.db, .ops and .ui,
// and Qt's own) also goes to a file in the data folder, one line each with the time, the category,
// the level and the text. The program installs it in main; tests only when they ask for it.
namespace logfile {

inline constexpr auto kFileName = "tellvane.log";

// Where the log goes: beside the database file when on the file, in the program's folder when
// on a server (no file of the program's there).
QString pathFor(const ops::Location& where, const QString& programFolder);

// From now on every message also goes to path. A file that would grow past limit bytes is
// renamed path.1 first (path.1 to path.2, ...), keeping keep old files; the oldest is deleted.
void install(const QString& path, qint64 limit = 1024 * 1024, int keep = 3);
// Messages go only where they went before; the file is closed.
void uninstall();
// The file in use; empty when there is none.
QString path();

} // namespace logfile
