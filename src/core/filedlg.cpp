#include "core/filedlg.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

namespace filedlg {
namespace {
struct State
{
    bool scripted = false;
    QStringList answers;
    int asked = 0;
    QString lastFolder;
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

// A chosen file's folder is where the next dialog opens; a cancelled dialog changes nothing.
QString remembered(const QString& chosen)
{
    if (!chosen.isEmpty())
        state().lastFolder = QFileInfo(chosen).absolutePath();
    return chosen;
}
} // namespace

QString startFolder()
{
    if (!state().lastFolder.isEmpty())
        return state().lastFolder;
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !docs.isEmpty() && QFileInfo(docs).isDir() ? docs : QDir::homePath();
}

QString openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
{
    if (state().scripted)
        return remembered(scriptedAnswer());
    return remembered(QFileDialog::getOpenFileName(parent, caption, dir.isEmpty() ? startFolder() : dir, filter));
}

QString saveFileName(QWidget* parent, const QString& caption, const QString& suggested, const QString& filter)
{
    if (state().scripted)
        return remembered(scriptedAnswer());
    // A bare file name is suggested in the folder the user last worked in.
    const QString start = QFileInfo(suggested).isRelative() ? QDir(startFolder()).filePath(suggested) : suggested;
    return remembered(QFileDialog::getSaveFileName(parent, caption, start, filter));
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
