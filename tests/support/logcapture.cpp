#include "support/logcapture.h"

#include <QMutex>

namespace tst {
namespace {

QMutex lock;
QList<LogCapture::Line>* recorded = nullptr;
QtMessageHandler previous = nullptr;

void record(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    const QString category = QString::fromUtf8(context.category ? context.category : "");
    if (category.startsWith(QLatin1String("tellvane."))) {
        const QMutexLocker hold(&lock);
        if (recorded) {
            recorded->append({category, type, text});
            return;
        }
    }
    if (previous)
        previous(type, context, text);
}

} // namespace

LogCapture::LogCapture()
{
    const QMutexLocker hold(&lock);
    Q_ASSERT(!recorded);
    recorded = new QList<Line>;
    previous = qInstallMessageHandler(record);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previous);
    const QMutexLocker hold(&lock);
    delete recorded;
    recorded = nullptr;
}

QList<LogCapture::Line> LogCapture::lines() const
{
    const QMutexLocker hold(&lock);
    return *recorded;
}

int LogCapture::count(const QString& part) const
{
    int n = 0;
    for (const Line& l : lines())
        n += l.text.contains(part) ? 1 : 0;
    return n;
}

void LogCapture::clear()
{
    const QMutexLocker hold(&lock);
    recorded->clear();
}

} // namespace tst
