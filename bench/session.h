#pragma once

#include "db/dm.h"

#include <QCoreApplication>
#include <QSize>
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <vector>

namespace bench {

// The whole-number argument argv[i], or fallback when it is not given.
int argument(int argc, char** argv, int i, int fallback);

// One state and the part of the customers, in thousandths, that have it.
struct StateShare
{
    quint32 perMille;
    QString state;
};
// The state of customer r when the shares, in order, cover 0..999 of r % 1000.
QString stateOf(quint32 r, const std::vector<StateShare>& shares);

// Shows a window as the menu does (at the given size, when one is given) and lets it open.
template <class W> W* openWindow(QSize size = {})
{
    auto* w = new W;
    if (size.isValid())
        w->resize(size);
    w->show();
    QCoreApplication::processEvents();
    return w;
}

// A benchmark's database: a fresh one from the schema in a temporary folder, opened as the
// program's one connection, with the login values of the operator it runs as. Everything is put
// back when it ends, whichever way the benchmark returns.
class Session
{
public:
    Session();
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool ok() const { return m_ok; }
    QString file() const;
    // Sets the login values as a login of this operator would (no dialog).
    void login(const QString& uname, const QString& truename, const QString& tp);
    // Every message box is answered OK and printed to stderr (a benchmark shows none); *count,
    // when given, counts them.
    void printBoxes(int* count = nullptr);

private:
    QTemporaryDir m_dir;
    std::unique_ptr<TfrmDM> m_dm;
    bool m_ok = false;
};

} // namespace bench
