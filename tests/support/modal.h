#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace tst {

// Acts on a modal dialog of the program that opens later (inside exec()): polls every 5 ms
// for a visible top-level widget of class T, runs action on it once, and gives up after the
// deadline by rejecting every modal widget, so a test never hangs. Returns a flag that tells
// whether the action ran.
class ModalWatcher : public QObject
{
public:
    template <class T>
    static ModalWatcher* when(std::function<void(T*)> action, int deadlineMs = 3000)
    {
        auto* w = new ModalWatcher;
        w->m_find = [action]() -> bool {
            for (QWidget* tl : QApplication::topLevelWidgets()) {
                if (auto* d = qobject_cast<T*>(tl); d && d->isVisible()) {
                    action(d);
                    return true;
                }
            }
            return false;
        };
        w->start(deadlineMs);
        return w;
    }
    bool done() const { return m_done; }
    bool timedOut() const { return m_timedOut; }
    ~ModalWatcher() override = default;

private:
    void start(int deadlineMs);
    std::function<bool()> m_find;
    QTimer m_timer;
    QElapsedTimer m_clock;
    int m_deadline = 3000;
    bool m_done = false;
    bool m_timedOut = false;
};

} // namespace tst
