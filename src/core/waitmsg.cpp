#include "core/waitmsg.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <cmath>
#include <QProgressBar>
#include <QScreen>
#include <QTimer>

namespace {

// A magnifying glass sweeping over a sheet of paper: "searching", drawn by the program.
class SearchAnimation : public QWidget
{
public:
    explicit SearchAnimation(QWidget* parent) : QWidget(parent)
    {
        m_timer.setInterval(60);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            m_step = (m_step + 1) % 36;
            update();
        });
    }
    bool running() const { return m_timer.isActive(); }

protected:
    void showEvent(QShowEvent*) override { m_timer.start(); }
    void hideEvent(QHideEvent*) override { m_timer.stop(); }
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        // paper
        QRectF sheet(8, 5, 24, 32);
        p.setPen(QPen(QColor(90, 90, 90), 1));
        p.setBrush(Qt::white);
        p.drawRect(sheet);
        p.setPen(QPen(QColor(150, 150, 150), 1));
        for (int y = 11; y < 34; y += 5)
            p.drawLine(QPointF(12, y), QPointF(28, y));
        // glass moving on a small circle
        const double a = m_step * 10.0 * 3.14159265 / 180.0;
        const QPointF c(24 + 7 * std::cos(a), 19 + 7 * std::sin(a));
        p.setPen(QPen(QColor(60, 60, 60), 3));
        p.drawLine(c + QPointF(5, 5), c + QPointF(11, 11));
        p.setPen(QPen(QColor(40, 40, 120), 2));
        p.setBrush(QColor(180, 210, 255, 150));
        p.drawEllipse(c, 7, 7);
    }

private:
    QTimer m_timer;
    int m_step = 0;
};

QPointer<TMsgFrm>& current()
{
    static QPointer<TMsgFrm> w;
    return w;
}

void repaintNow(TMsgFrm* w)
{
    w->MsgPanel->repaint();
}

} // namespace

TMsgFrm::TMsgFrm(QWidget* parent) : QWidget(parent, Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::Tool)
{
    setObjectName(QStringLiteral("TMsgFrm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setFixedSize(393, 54);
    MsgPanel = new QFrame(this);
    MsgPanel->setObjectName(QStringLiteral("MsgPanel"));
    MsgPanel->setGeometry(0, 0, 393, 54);
    MsgPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    MsgPanel->setLineWidth(2);
    MsgPanel->setAutoFillBackground(true);
    QPalette pal = MsgPanel->palette();
    pal.setColor(QPalette::Window, QColor(231, 230, 216));
    pal.setColor(QPalette::WindowText, Qt::black);
    MsgPanel->setPalette(pal);
    QFont f(QStringLiteral("宋体"));
    f.setPixelSize(12);
    MsgPanel->setFont(f);

    LblMsg = new QLabel(QStringLiteral("正在导入数据，请稍候..."), MsgPanel);
    LblMsg->setObjectName(QStringLiteral("LblMsg"));
    LblMsg->setGeometry(22, 6, 299, 14);
    ProgressBar = new QProgressBar(MsgPanel);
    ProgressBar->setObjectName(QStringLiteral("ProgressBar"));
    ProgressBar->setGeometry(28, 26, 301, 16);
    ProgressBar->setRange(0, 100);
    ProgressBar->setValue(0);
    ProgressBar->setTextVisible(false);
    Ani = new SearchAnimation(MsgPanel);
    Ani->setObjectName(QStringLiteral("Ani"));
    Ani->setGeometry(393 - 2 - 50, 6, 50, 42);

    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->geometry().center() - rect().center());
}

void ShowWaitMsg()
{
    if (current())
        return;
    auto* w = new TMsgFrm(nullptr);
    current() = w;
    w->show();
    repaintNow(w);
}

void SetWaitMsgText(const QString& text)
{
    if (TMsgFrm* w = current()) {
        w->LblMsg->setText(text);
        repaintNow(w);
    }
}

void SetWaitMsgProgress(int maximum, int position)
{
    if (TMsgFrm* w = current()) {
        w->ProgressBar->setRange(0, maximum);
        w->ProgressBar->setValue(position);
        repaintNow(w);
    }
}

void CloseWaitMsg()
{
    if (TMsgFrm* w = current()) {
        current() = nullptr;
        w->close();
        delete w;
    }
}

TMsgFrm* waitMsgWindow()
{
    return current();
}

WaitMsgAside::WaitMsgAside()
{
    TMsgFrm* w = current();
    if (w && w->isVisible()) {
        m_hidden = w;
        w->hide();
    }
}

WaitMsgAside::~WaitMsgAside()
{
    if (m_hidden && m_hidden == current())
        m_hidden->show();
}
