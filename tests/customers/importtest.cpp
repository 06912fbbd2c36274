#include "importtest.h"

#include "core/filedlg.h"
#include "db/dm.h"
#include "support/builders.h"
#include "support/testdb.h"

#include <QComboBox>
#include <QFile>
#include <QPushButton>

namespace imptest {

QString fixture(const QString& name)
{
    return QStringLiteral(TV_FIXTURES "/") + name;
}

Window::Window() : w(new Tfrmadddata) {}

bool prepareSession(tst::TestDb& db)
{
    if (!db.ok())
        return false;
    db.loginAdmin();
    tst::addProject(db.con(), QStringLiteral("P"));
    return true;
}

Window::~Window()
{
    delete w.data();
}

bool pick(Tfrmadddata* w, const QString& path, const QString& sheet)
{
    filedlg::clearAnswers();
    filedlg::queueAnswers({path});
    ctl<QPushButton>(w, "Button3")->click();
    filedlg::clearAnswers();
    if (!sheet.isEmpty())
        ctl<QComboBox>(w, "ComboBox1")->setCurrentIndex(ctl<QComboBox>(w, "ComboBox1")->findText(sheet));
    return ctl<QComboBox>(w, "ComboBox1")->count() > 0 && (sheet.isEmpty() || ctl<QComboBox>(w, "ComboBox1")->currentText() == sheet);
}

bool copyFixture(const QString& name, const QString& path)
{
    QFile::remove(path);
    return QFile::copy(fixture(name), path);
}

} // namespace imptest
