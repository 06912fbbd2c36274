#include "bench/session.h"

#include "core/msg.h"
#include "core/pub.h"
#include "db/schema.h"

#include <QDir>
#include <cstdio>

namespace bench {

Session::Session()
{
    QString err;
    if (!db::createDatabase(file(), &err)) {
        std::fprintf(stderr, "cannot create database: %s\n", qPrintable(err));
        return;
    }
    m_dm = std::make_unique<TfrmDM>();
    frmDM = m_dm.get();
    try {
        m_dm->ADOcon.open(file());
    } catch (const db::Error& e) {
        std::fprintf(stderr, "cannot open database: %s\n", qPrintable(e.text()));
        return;
    }
    pub::setProgramFolder(m_dir.path());
    m_ok = true;
}

Session::~Session()
{
    msg::setHandler({});
    if (m_dm)
        m_dm->ADOcon.close();
    frmDM = nullptr;
    pub::setProgramFolder(QString());
    pub::resetLoginValues();
}

QString Session::file() const
{
    return QDir(m_dir.path()).filePath(QStringLiteral("dhyx.dat"));
}

void Session::login(const QString& uname, const QString& truename, const QString& tp)
{
    gLoginOk = true;
    gUname = uname;
    gTruename = truename;
    gTp = tp;
}

} // namespace bench
