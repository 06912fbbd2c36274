#pragma once

#include "customers/frmadddata.h"

#include <QPointer>
#include <QString>

#include "design/testkit.h"
#include "support/msgscript.h"
#include "support/testdb.h"

// Shared pieces of the import tests.
namespace imptest {

// Controls are found by objectName, as a user finds them by their place.
using dt::ctl;

// A small workbook of tests/customers/fixtures.
QString fixture(const QString& name);

// An import window for one test; deleted at the end unless it closed itself.
struct Window
{
    Window();
    ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    Tfrmadddata* operator->() const { return w; }
    operator Tfrmadddata*() const { return w; }
    QPointer<Tfrmadddata> w;
};

// The usual start of an import test: a fresh database with one active project "P", logged in
// as the administrator, message boxes answered, and an import window.
bool prepareSession(tst::TestDb& db);
struct Session
{
    bool ok() const { return ready; }
    Tfrmadddata* window() const { return w; }
    tst::TestDb db;
    bool ready = prepareSession(db); // the project must be there before the window opens
    tst::MsgScript boxes;
    Window w;
};

// Picks the file through the "...." button (the file-dialog seam) and chooses the sheet.
bool pick(Tfrmadddata* w, const QString& path, const QString& sheet = QString());

// Makes the workbook named path a copy of the fixture (another name or extension).
bool copyFixture(const QString& name, const QString& path);

} // namespace imptest
