#include "core/logfile.h"

#include "ops/common/location.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>

namespace logfile {
namespace {

struct State
{
    QMutex lock;
    QFile file;
    qint64 limit = 0;
    int keep = 0;
    QtMessageHandler previous = nullptr;
    bool installed = false;
};

State& state()
{
    static State s;
    return s;
}

const char* levelName(QtMsgType type)
{
    switch (type) {
    case QtDebugMsg:
        return "debug";
    case QtInfoMsg:
        return "info";
    case QtWarningMsg:
        return "warning";
    case QtCriticalMsg:
        return "critical";
    case QtFatalMsg:
        return "fatal";
    }
    return "?";
}

QString oldFile(const QString& path, int n)
{
    return path + QLatin1Char('.') + QString::number(n);
}

// Called with the lock held.
void rotate(State& s)
{
    const QString path = s.file.fileName();
    s.file.close();
    QFile::remove(oldFile(path, s.keep));
    for (int n = s.keep - 1; n >= 1; --n)
        QFile::rename(oldFile(path, n), oldFile(path, n + 1));
    if (s.keep > 0)
        QFile::rename(path, oldFile(path, 1));
    else
        QFile::remove(path);
    s.file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
}

void write(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    State& s = state();
    {
        const QMutexLocker hold(&s.lock);
        if (s.file.isOpen()) {
            // One record per line: a message with line breaks keeps them as "\n".
            QString body = text;
            body.replace(QLatin1Char('\n'), QLatin1String("\\n"));
            const QByteArray line =
                (QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")) + QLatin1Char(' ') +
                 QString::fromUtf8(context.category ? context.category : "default") + QLatin1Char(' ') +
                 QLatin1String(levelName(type)) + QLatin1String(": ") + body + QLatin1Char('\n'))
                    .toUtf8();
            if (s.file.size() > 0 && s.file.size() + line.size() > s.limit)
                rotate(s);
            s.file.write(line);
            s.file.flush();
        }
    }
    if (s.previous)
        s.previous(type, context, text);
}

} // namespace

QString pathFor(const ops::Location& where, const QString& programFolder)
{
    const QString folder = where.server ? programFolder : QFileInfo(where.file).absolutePath();
    return QDir(folder).filePath(QLatin1String(kFileName));
}

void install(const QString& path, qint64 limit, int keep)
{
    uninstall();
    State& s = state();
    {
        const QMutexLocker hold(&s.lock);
        s.limit = limit;
        s.keep = keep;
        s.file.setFileName(path);
        // A log that cannot be written must not keep the program from starting.
        s.file.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text);
        s.installed = true;
    }
    s.previous = qInstallMessageHandler(write);
}

void uninstall()
{
    State& s = state();
    if (!s.installed)
        return;
    qInstallMessageHandler(s.previous);
    const QMutexLocker hold(&s.lock);
    s.previous = nullptr;
    s.file.close();
    s.file.setFileName(QString());
    s.installed = false;
}

QString path()
{
    State& s = state();
    const QMutexLocker hold(&s.lock);
    return s.installed ? QFileInfo(s.file.fileName()).absoluteFilePath() : QString();
}

} // namespace logfile
