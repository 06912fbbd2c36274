#include "db/walguard.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <sqlite3.h>
#include <sys/stat.h>

namespace db {
namespace {

QMutex& mutex()
{
    static QMutex m;
    return m;
}

QHash<QString, int>& openFiles()
{
    static QHash<QString, int> files;
    return files;
}

bool statOf(const QString& path, struct stat* st)
{
    return ::stat(QFile::encodeName(path).constData(), st) == 0;
}

// The log a connection found at its open, by device and inode. Only the last program to close a
// file removes its log, and this one has not closed: another file, or none, under that name means
// the log this connection writes into is no longer the one other programs read.
struct Log
{
    QByteArray path;
    dev_t dev = 0;
    ino_t ino = 0;
};

QHash<sqlite3*, Log>& logs()
{
    static QHash<sqlite3*, Log> l;
    return l;
}

int refuseCommitWithoutWal(void* h)
{
    return walMoved(static_cast<sqlite3*>(h)) ? 1 : 0;
}

} // namespace

bool isOpenDatabaseFile(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo fi(path);
    const QString abs = fi.absoluteFilePath();
    const QString canonical = fi.canonicalFilePath();
    struct stat chosen
    {
    };
    const bool exists = statOf(abs, &chosen);
    static const char* const kSuffixes[] = {"", "-wal", "-shm", "-journal"};
    QMutexLocker lock(&mutex());
    for (auto it = openFiles().cbegin(); it != openFiles().cend(); ++it) {
        for (const char* suffix : kSuffixes) {
            const QString name = it.key() + QLatin1String(suffix);
            if (abs == name || (!canonical.isEmpty() && canonical == QFileInfo(name).canonicalFilePath()))
                return true;
            struct stat st
            {
            };
            if (exists && statOf(name, &st) && st.st_dev == chosen.st_dev && st.st_ino == chosen.st_ino)
                return true;
        }
    }
    return false;
}

void noteOpenFile(const QString& absolutePath)
{
    QMutexLocker lock(&mutex());
    ++openFiles()[absolutePath];
}

void forgetOpenFile(const QString& absolutePath)
{
    QMutexLocker lock(&mutex());
    auto it = openFiles().find(absolutePath);
    if (it != openFiles().end() && --it.value() <= 0)
        openFiles().erase(it);
}

void guardWal(sqlite3* h, const QString& databasePath)
{
    Log log;
    log.path = QFile::encodeName(databasePath + QStringLiteral("-wal"));
    struct stat st
    {
    };
    if (::stat(log.path.constData(), &st) != 0)
        return; // not in WAL mode: nothing to watch
    log.dev = st.st_dev;
    log.ino = st.st_ino;
    {
        QMutexLocker lock(&mutex());
        logs().insert(h, log);
    }
    sqlite3_commit_hook(h, refuseCommitWithoutWal, h);
}

void unguardWal(sqlite3* h)
{
    QMutexLocker lock(&mutex());
    logs().remove(h);
}

bool walMoved(sqlite3* h)
{
    Log log;
    {
        QMutexLocker lock(&mutex());
        const auto it = logs().constFind(h);
        if (it == logs().cend())
            return false;
        log = *it;
    }
    struct stat st
    {
    };
    return ::stat(log.path.constData(), &st) != 0 || st.st_dev != log.dev || st.st_ino != log.ino;
}

QString walLostText()
{
    return QStringLiteral("数据库的日志文件已被其他程序删除，本次修改没有保存。请关闭本程序后重新打开。");
}

} // namespace db
