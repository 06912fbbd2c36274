#pragma once

#include <QLabel>
#include <QMouseEvent>

// A label that works as a link: a hand cursor, and clicked() when the left button is released
// over it.
class TClickLabel : public QLabel
{
    Q_OBJECT
public:
    explicit TClickLabel(const QString& text, QWidget* parent = nullptr) : QLabel(text, parent)
    {
        setCursor(Qt::PointingHandCursor);
    }

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        QLabel::mouseReleaseEvent(e);
        if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
            emit clicked();
    }
};
