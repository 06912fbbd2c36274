#include "core/filedlg.h"

#include <QFileDialog>

namespace filedlg {
namespace {
struct State
{
    bool scripted = false;
    QStringList answers;
    int asked = 0;
};
State& state()
{
    static State s;
    return s;
}

QString scriptedAnswer()
{
    ++state().asked;
    return state().answers.isEmpty() ? QString() : state().answers.takeFirst();
}
} // namespace

QString openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    if (state().scripted)
        return scriptedAnswer();
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString saveFileName(QWidget* parent, const QString& caption, const QString& suggested, const QString& filter)
{
    if (state().scripted)
        return scriptedAnswer();
    return QFileDialog::getSaveFileName(parent, caption, suggested, filter);
}

void queueAnswers(const QStringList& names)
{
    state().scripted = true;
    state().answers += names;
}

void clearAnswers()
{
    state() = State{};
}

int askedCount()
{
    return state().asked;
}

} // namespace filedlg
