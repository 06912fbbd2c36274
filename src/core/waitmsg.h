#pragma once

#include <QFrame>
#include <QPointer>

class QLabel;
class QProgressBar;

// The wait window: a borderless box on top of everything with a message line, a progress
// bar and a running animation. At most one exists; the job that shows it keeps running on the
// main thread, so every change repaints at once.
class TMsgFrm : public QWidget
{
    Q_OBJECT
public:
    explicit TMsgFrm(QWidget* parent = nullptr);
    QFrame* MsgPanel;
    QLabel* LblMsg;
    QProgressBar* ProgressBar;
    QWidget* Ani;
};

void ShowWaitMsg();
void SetWaitMsgText(const QString& text);
void SetWaitMsgProgress(int maximum, int position);
void CloseWaitMsg();
// The shown wait window, or null.
TMsgFrm* waitMsgWindow();

// Keeps the wait window out of the way while it lives: a message box would otherwise open under
// it (it stays on top of everything) with its buttons hidden. It comes back afterwards if the job
// has not closed it meanwhile.
class WaitMsgAside
{
public:
    WaitMsgAside();
    ~WaitMsgAside();
    WaitMsgAside(const WaitMsgAside&) = delete;
    WaitMsgAside& operator=(const WaitMsgAside&) = delete;

private:
    QPointer<TMsgFrm> m_hidden;
};
