#pragma once

#include "support/opsdb.h"

#include <QString>
#include <memory>

class TfrmDM;

namespace tst {

namespace detail {
// The data module, made before the database is laid so that its connection is the one opened.
struct DataModule
{
    DataModule();
    ~DataModule();
    std::unique_ptr<TfrmDM> dm;
};
} // namespace detail

// The fresh database of OpsDb for window tests: the temporary folder is made the program folder
// and the data module's connection (ADOcon) is the one opened. On the server a settings file in
// the folder names the same server database, as a seat's would.
class TestDb : private detail::DataModule, public OpsDb
{
public:
    TestDb();
    ~TestDb();

    // Sets the login values as a login of this operator would (no dialog).
    void loginAs(const QString& uname, const QString& truename, const QString& tp, int jgts = 0);
    void loginAdmin();
    void loginOperator(const QString& uname = QStringLiteral("op1"),
                       const QString& truename = QStringLiteral("话务员一"));
};

} // namespace tst
