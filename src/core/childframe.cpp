#include "core/childframe.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMenu>
#include <QShortcut>

// Sees the window's close question answered before anyone else acts on it: when the window
// agrees to close, its frame closes too, at once (Qt closes a widget only once, so the frame
// does not ask the window a second time).
class TChildFrame::CloseWatch : public QObject
{
public:
    explicit CloseWatch(TChildFrame* frame) : QObject(frame), m_frame(frame) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Close || m_dispatching)
            return false;
        m_dispatching = true;
        QPointer<QObject> alive(watched);
        QCoreApplication::sendEvent(watched, event);
        m_dispatching = false;
        if (alive && event->isAccepted())
            m_frame->close();
        return true; // answered already
    }

private:
    TChildFrame* m_frame;
    bool m_dispatching = false;
};

TChildFrame::TChildFrame(QWidget* content) : m_content(content)
{
    if (content->testAttribute(Qt::WA_Resized))
        m_givenSize = content->size();
    setAttribute(Qt::WA_DeleteOnClose);
    content->setAttribute(Qt::WA_DeleteOnClose);
    m_borderless = content->windowFlags().testFlag(Qt::FramelessWindowHint);
    m_fixed = content->minimumSize() == content->maximumSize();
    if (m_borderless)
        setWindowFlags(Qt::SubWindow | Qt::FramelessWindowHint);
    else if (m_fixed)
        setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                       Qt::WindowCloseButtonHint);
    setWidget(content);
    content->installEventFilter(new CloseWatch(this));
    // A window deleted outright takes its frame as well.
    m_gone = connect(content, &QObject::destroyed, this, &QWidget::close, Qt::QueuedConnection);
    // Ctrl+F4 closes the window whatever the platform: the system menu's own shortcut does not reach
    // a menu that is not shown on every platform, and a borderless window has no such menu. The
    // menu's shortcut is taken off so that the two never make the key ambiguous.
    if (QMenu* menu = systemMenu()) {
        const QKeySequence ctrlF4(Qt::CTRL | Qt::Key_F4);
        for (QAction* a : menu->actions()) {
            QList<QKeySequence> keys = a->shortcuts();
            if (keys.removeAll(ctrlF4) > 0)
                a->setShortcuts(keys);
        }
    }
    new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F4), this, this, &QWidget::close, Qt::WidgetWithChildrenShortcut);
}

TChildFrame::~TChildFrame()
{
    // The window is deleted with the frame: nothing to close then.
    disconnect(m_gone);
}

void TChildFrame::showEvent(QShowEvent* event)
{
    // Sized and placed once the frame knows its style (title bar, borders) in the work area: a
    // fixed window in the middle; any other at the size it was given, kept inside the area.
    if (!m_placed && !isMaximized()) {
        const QRect area = parentWidget() ? parentWidget()->rect() : QRect();
        if (keepsItsSize()) {
            setFixedSize(sizeHint());
            if (!area.isEmpty())
                move(area.center() - rect().center());
        } else if (m_givenSize.isValid()) {
            // Never taller or wider than the work area: what is at the bottom would be out of reach.
            QSize want = m_givenSize + (size() - m_content->size());
            if (!area.isEmpty())
                want = want.boundedTo(area.size()).expandedTo(minimumSizeHint());
            resize(want);
            if (!area.isEmpty())
                move(qMax(0, qMin(x(), area.width() - width())), qMax(0, qMin(y(), area.height() - height())));
        }
    }
    m_placed = true;
    QMdiSubWindow::showEvent(event);
}

void TChildFrame::changeEvent(QEvent* event)
{
    QMdiSubWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && keepsItsSize() && (windowState() & Qt::WindowMaximized))
        QMetaObject::invokeMethod(
            this, [this] { showNormal(); }, Qt::QueuedConnection);
}
