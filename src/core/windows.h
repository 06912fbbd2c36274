#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>
#include <functional>

// How the main window shows a window class.
enum class WindowKind { Child, Modal, Floating };

// The main window opens every work window by its class name through this registry; each
// subsystem registers its windows at start-up (see src/app). A class not registered yet
// is simply not available.
namespace windows {

using Factory = std::function<QWidget*()>;
void registerWindow(const QString& className, WindowKind kind, Factory factory);
bool isRegistered(const QString& className);
WindowKind kindOf(const QString& className);
// Every registered class name, sorted.
QStringList registeredNames();
QWidget* create(const QString& className);

} // namespace windows

// Base of the child windows: the close question (FormCloseQuery) can be asked without
// closing, which the main window does for every child before it asks its own question.
class TChildForm : public QWidget
{
    Q_OBJECT
public:
    explicit TChildForm(QWidget* parent = nullptr);
    // true = the window may close. The default allows it.
    virtual bool FormCloseQuery() { return true; }
    // The question has been answered already (the main window asked it): close without asking.
    void approveClose() { m_closeApproved = true; }

    // The size the frame opens the window at: its design size once keepDesignSize() has been
    // called (after the screen scaling), else Qt's own hint.
    QSize sizeHint() const override;

protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    // Runs once, when the window is first shown (a list window reads its rows there).
    virtual void firstShow() {}
    void keepDesignSize() { m_designSize = size(); }

private:
    bool m_closeApproved = false;
    bool m_shownOnce = false;
    QSize m_designSize;
};
