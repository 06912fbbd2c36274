#pragma once

#include <QHash>
#include <QMainWindow>
#include <QPointer>

class QAction;
class QLabel;
class QMdiArea;
class QTimer;
class QToolButton;

// The frame of the program: menus, toolbar, status bar with the user and the clock, and the
// multiple-document area where the work windows open.
class TfrmMain : public QMainWindow
{
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* parent = nullptr);

    // Runs the login once (called when the window is first shown). Returns gLoginOk.
    bool runLogin();
    // Disables the administrator entries unless gTp is exactly "管理员".
    void applyGating();
    // The clock text for a moment: 2013年6月5日   星期三   09:07:03
    static QString clockText(const QDateTime& t);

    // The menu items that open a window, in menu order.
    struct MenuEntry
    {
        QString menu;
        QString caption;
        QString className;
        bool admin;
    };
    static const QList<MenuEntry>& menuEntries();

    // The menu item with this caption (without the trailing "&"), or null.
    QAction* menuItem(const QString& caption) const;
    // Opens a window by class name as the menu would; returns it (null when not available).
    QWidget* openWindow(const QString& className);

    QMdiArea* mdiArea() const { return m_mdi; }
    QLabel* statusUser() const { return m_user; }
    QLabel* statusClock() const { return m_clock; }

    QToolButton* ToolButton1;
    QToolButton* ToolButton2;
    QToolButton* ToolButton3;
    QToolButton* ToolButton4;
    QToolButton* ToolButton5;
    QToolButton* ToolButton10;
    QTimer* Timer1;

    // Tests: skip the login on first show.
    static void setAutoLogin(bool on);

protected:
    void showEvent(QShowEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void buildMenus();
    void buildToolbar();
    void tick();
    QAction* addItem(class QMenu* menu, const QString& caption, const QString& className, bool admin);
    QMdiArea* m_mdi;
    QLabel* m_user;
    QLabel* m_clock;
    QHash<QString, QAction*> m_items;
    QList<QAction*> m_adminItems;
    bool m_shown = false;
};

extern QPointer<TfrmMain> frmMain;
