#include "support/modal.h"

#include <QDialog>

namespace tst {

void ModalWatcher::start(int deadlineMs)
{
    m_deadline = deadlineMs;
    m_clock.start();
    m_timer.setInterval(5);
    QObject::connect(&m_timer, &QTimer::timeout, this, [this] {
        if (m_done)
            return;
        if (m_find()) {
            m_done = true;
            m_timer.stop();
            return;
        }
        if (m_clock.elapsed() > m_deadline) {
            m_timedOut = true;
            m_timer.stop();
            QTest::qFail("expected dialog did not open in time", __FILE__, __LINE__);
            while (QWidget* m = QApplication::activeModalWidget()) {
                if (auto* d = qobject_cast<QDialog*>(m))
                    d->reject();
                else
                    m->close();
                if (QApplication::activeModalWidget() == m)
                    break;
            }
        }
    });
    m_timer.start();
}

} // namespace tst
