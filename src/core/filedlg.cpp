#include "core/filedlg.h"

#include "core/msg.h"
#include "db/walguard.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QFileSystemModel>
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

// Icons and type names from the file's name alone. Qt's own provider reads a file whose suffix it
// does not know (".dat") to guess its type: reading and closing the database file drops this
// program's locks on it (see db/walguard.h).
class NameOnlyIcons : public QFileIconProvider
{
public:
    QIcon icon(IconType type) const override { return QFileIconProvider::icon(type); }
    QIcon icon(const QFileInfo& info) const override { return QFileIconProvider::icon(info.isDir() ? Folder : File); }
    QString type(const QFileInfo& info) const override
    {
        if (info.isDir())
            return QStringLiteral("文件夹");
        const QString suffix = info.suffix();
        return suffix.isEmpty() ? QStringLiteral("文件") : suffix.toUpper() + QStringLiteral(" 文件");
    }
};

NameOnlyIcons* icons()
{
    static NameOnlyIcons provider;
    return &provider;
}

// The database itself (or its log) is never a file to import from, export over or save a picture
// into: the import would read it, a save would replace it.
QString refusedIfDatabase(const QString& chosen)
{
    if (!db::isOpenDatabaseFile(chosen))
        return chosen;
    msg::box(QStringLiteral("“%1”是本系统正在使用的数据库文件，不能选择它。请另选一个文件。")
                 .arg(QDir::toNativeSeparators(chosen)),
             QStringLiteral("提示"), msg::Buttons::Ok, msg::Icon::Warning);
    return QString();
}

QString run(QFileDialog& d)
{
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty())
        return QString();
    return d.selectedFiles().constFirst();
}
} // namespace

std::unique_ptr<QFileDialog> makeDialog(QWidget* parent, const QString& caption, const QString& folder,
                                        const QString& filter, Purpose purpose)
{
    auto d = std::make_unique<QFileDialog>(parent, caption, folder, filter);
    // Qt's own dialog, always: the desktop's dialog would look into the files by itself.
    d->setOption(QFileDialog::DontUseNativeDialog);
    d->setOption(QFileDialog::DontUseCustomDirectoryIcons);
    d->setIconProvider(icons());
    d->setAcceptMode(purpose == Purpose::Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    d->setFileMode(purpose == Purpose::Save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // Files the filter does not take are not listed (rather than greyed out).
    if (auto* model = d->findChild<QFileSystemModel*>())
        model->setNameFilterDisables(false);
    return d;
}

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
        return remembered(refusedIfDatabase(scriptedAnswer()));
    const auto d = makeDialog(parent, caption, dir.isEmpty() ? startFolder() : dir, filter, Purpose::Open);
    return remembered(refusedIfDatabase(run(*d)));
}

QString saveFileName(QWidget* parent, const QString& caption, const QString& suggested, const QString& filter)
{
    if (state().scripted)
        return remembered(refusedIfDatabase(scriptedAnswer()));
    // A bare file name is suggested in the folder the user last worked in.
    const QString start = QFileInfo(suggested).isRelative() ? QDir(startFolder()).filePath(suggested) : suggested;
    const auto d = makeDialog(parent, caption, start, filter, Purpose::Save);
    return remembered(refusedIfDatabase(run(*d)));
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
