#pragma once

#include "customers/frmadddata.h"

#include <QPointer>
#include <QString>

namespace tst {
class TestDb;
}

// Shared pieces of the import tests.
namespace imptest {

// A small workbook of tests/customers/fixtures.
QString fixture(const QString& name);
// Adds a project; returns its number.
int addProject(tst::TestDb& db, const QString& name, int zt = 1);

// An import window for one test; deleted at the end unless it closed itself.
struct Window
{
    Window();
    ~Window();
    Tfrmadddata* operator->() const { return w; }
    QPointer<Tfrmadddata> w;
};

// Picks the file through the "...." button (the file-dialog seam) and chooses the sheet.
bool pick(Tfrmadddata* w, const QString& path, const QString& sheet = QString());

// Makes the workbook named path a copy of the fixture (another name or extension).
bool copyFixture(const QString& name, const QString& path);

} // namespace imptest
