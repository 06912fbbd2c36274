#pragma once

// Shared by the questionnaire design tests: the fixture with its builders, and the dialog runner.

#include "support/builders.h"
#include "support/failwhere.h"
#include "support/modal.h"
#include "support/testdb.h"

#include "db/dm.h"
#include "db/sqlvalue.h"

#include <QApplication>
#include <QPointer>
#include <QTest>
#include <functional>
#include <memory>

namespace dt {

// The newest log texts first.
inline QStringList logTexts(tst::TestDb& db)
{
    QStringList t;
    const qint64 n = db.count(QStringLiteral("syslog"));
    for (qint64 i = 0; i < n; ++i)
        t << db.scalar(QStringLiteral("select logcon from syslog order by id desc limit 1 offset %1").arg(i))
                 .toString();
    return t;
}

// Runs open() (which calls exec() on a dialog of class D) and acts on the dialog once it shows.
// A dialog still open after the action (a check in it failed, say) is dismissed, so nothing hangs.
// false when the dialog never showed.
template <class D> bool withDialog(const std::function<void()>& open, const std::function<void(D*)>& act)
{
    std::unique_ptr<tst::ModalWatcher> w(tst::ModalWatcher::when<D>([act](D* d) {
        QPointer<D> guard(d);
        act(d);
        if (guard && guard->isVisible())
            guard->reject();
    }));
    open();
    return w->done();
}

// A window shown as the menu would show it; deleted at the end of the test unless it closed itself.
template <class W> struct Shown
{
    QPointer<W> w;
    Shown() : w(new W) { w->show(); }
    ~Shown() { delete w.data(); }
    W* operator->() const { return w.data(); }
    W* get() const { return w.data(); }
};

// Statements that contain the given text fail while this lives.
using tst::FailWhere;

// Lets deferred deletions (WA_DeleteOnClose) happen.
inline void flushDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

} // namespace dt

namespace dt {

// A control by its objectName; a missing one ends the test program with its name.
template <class T> T* ctl(const QObject* window, const char* name)
{
    T* c = window ? window->findChild<T*>(QString::fromLatin1(name)) : nullptr;
    if (!c)
        qFatal("control %s not found", name);
    return c;
}

} // namespace dt
