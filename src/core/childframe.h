#pragma once

#include <QMdiSubWindow>
#include <QPointer>

// The frame of a child window in the main window's work area. However the window inside ends
// (its own button, a close() of its own, its deletion), the frame goes with it, so no empty frame
// is left to cover the windows under it. Ctrl+F4 closes it as the close box does (a borderless
// one too). A window of
// fixed size, or one without a border, gets a frame of that size that never maximises: a
// maximised frame has no title bar and would sit in the corner of the work area.
class TChildFrame : public QMdiSubWindow
{
    Q_OBJECT
public:
    explicit TChildFrame(QWidget* content);
    ~TChildFrame() override;

    // Fixed size or borderless: opened in the middle of the work area, never maximised.
    bool keepsItsSize() const { return m_fixed || m_borderless; }

protected:
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    class CloseWatch;
    QPointer<QWidget> m_content;
    QMetaObject::Connection m_gone;
    bool m_fixed = false;
    bool m_borderless = false;
    bool m_placed = false;
    QSize m_givenSize;
};
