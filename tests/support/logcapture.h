#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

namespace tst {

// Records the program's own log messages (the tellvane.* categories) while it lives, instead of
// printing them; Qt's own messages pass on as before. One at a time.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    struct Line
    {
        QString category;
        QtMsgType type;
        QString text;
    };
    QList<Line> lines() const;
    // How many recorded lines contain part.
    int count(const QString& part) const;
    void clear();
};

} // namespace tst
