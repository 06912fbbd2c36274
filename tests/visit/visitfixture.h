#pragma once

// The visit window driven as an operator would: controls found by their names, buttons
// pressed, links clicked, what is shown read back.
#include "support/testdb.h"
#include "support/visitbuilders.h"
#include "visit/userhf.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace vt {

// Drives a visit window as an operator would.
struct View
{
    QPointer<Tfrmuserhf> p;
    Tfrmuserhf* operator->() const { return p.data(); }
    Tfrmuserhf* data() const { return p.data(); }

    template <class T = QWidget> T* get(const char* name) const
    {
        T* c = p->findChild<T*>(QLatin1String(name));
        if (!c)
            qFatal("the visit window has no %s", name);
        return c;
    }
    QComboBox* combo(const char* name) const { return get<QComboBox>(name); }
    void click(const char* button) const { get<QPushButton>(button)->click(); }
    // "上一个问题" (Label19) or "下一个问题" (Label20).
    void link(const char* label) const { QTest::mouseClick(get<QLabel>(label), Qt::LeftButton); }

    // What a label, box or list shows.
    QString text(const char* name) const
    {
        QWidget* w = get(name);
        if (auto* l = qobject_cast<QLabel*>(w))
            return l->text();
        if (auto* e = qobject_cast<QLineEdit*>(w))
            return e->text();
        if (auto* m = qobject_cast<QPlainTextEdit*>(w))
            return m->toPlainText();
        return get<QComboBox>(name)->currentText();
    }
    void type(const char* name, const QString& s) const
    {
        QWidget* w = get(name);
        if (auto* e = qobject_cast<QLineEdit*>(w))
            e->setText(s);
        else
            get<QPlainTextEdit>(name)->setPlainText(s);
    }
    // The first line of the question box: 问题N(总共M个问题):
    QString line1() const { return text("Memo1").section(u'\n', 0, 0); }
    bool choose(const QString& option) const
    {
        QComboBox* c = combo("ComboBox4");
        const int i = c->findText(option);
        c->setCurrentIndex(i);
        return i >= 0;
    }
    // The call-seconds counter going on for so many seconds.
    void tick(int seconds) const
    {
        auto* t = get<QTimer>("Timer1");
        for (int i = 0; i < seconds; ++i) {
            QTimerEvent e(t->timerId());
            QCoreApplication::sendEvent(t, &e);
        }
    }
    bool holding() const { return !text("Edit2").isEmpty(); }
    // The customer on screen as the database knows it: locked, with the number shown; -1
    // when none is shown.
    template <class Db> qint64 held(Db& db) const
    {
        if (!holding())
            return -1;
        return db.scalar(QStringLiteral("select id from yhda where sljg='正在受理' and dhhm1=%1").arg(q(text("Edit2"))))
            .toLongLong();
    }
};

// A visit window of its own, shown (which runs its opening); freed at the end of the test
// unless it has closed itself.
struct Win : View
{
    Win()
    {
        p = new Tfrmuserhf;
        p->show();
    }
    ~Win()
    {
        if (p) {
            p->approveClose();
            delete p.data();
        }
    }
    Win(const Win&) = delete;
    Win& operator=(const Win&) = delete;
};

} // namespace vt
