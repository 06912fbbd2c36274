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

void Session::printBoxes(int* count)
{
    msg::setHandler([count](const msg::Box& b) {
        if (count)
            ++*count;
        std::fprintf(stderr, "box: %s\n", qPrintable(b.text));
        return msg::Answer::Ok;
    });
}

int argument(int argc, char** argv, int i, int fallback)
{
    return argc > i ? QString::fromLocal8Bit(argv[i]).toInt() : fallback;
}

QString stateOf(quint32 r, const std::vector<StateShare>& shares)
{
    quint32 x = r % 1000;
    for (const StateShare& s : shares) {
        if (x < s.perMille)
            return s.state;
        x -= s.perMille;
    }
    return shares.empty() ? QString() : shares.back().state;
}

void Session::login(const QString& uname, const QString& truename, const QString& tp)
{
    gLoginOk = true;
    gUname = uname;
    gTruename = truename;
    gTp = tp;
}

} // namespace bench
