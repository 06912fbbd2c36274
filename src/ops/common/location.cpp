#include "ops/common/location.h"

#include "db/schema.h"
#include "db/upgrade.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QUrl>
#include <QUrlQuery>

#include <optional>

namespace ops {

namespace {

const QString kPasswordRefused =
    QStringLiteral("%1中不能写数据库密码（%2）：请把密码写在 ~/.pgpass 或 pg_service.conf 中。");

[[noreturn]] void refuse(const QString& text)
{
    throw SettingsError(text);
}

int portNumber(const QString& value, const QString& where)
{
    bool ok = false;
    const int port = value.trimmed().toInt(&ok);
    if (!ok || port < 1 || port > 65535)
        refuse(QStringLiteral("%1中的端口号“%2”无效：应为 1 到 65535 的整数。").arg(where, value));
    return port;
}

// One key of libpq's connection details into params; where names the source in messages.
// A value is handed to libpq quoted, so that it cannot add keys; one that tries to carry a
// password all the same is refused without being echoed.
void setKey(db::ServerParams& params, const QString& key, const QString& value, const QString& where)
{
    static const QRegularExpression password(QStringLiteral("password\\s*="),
                                             QRegularExpression::CaseInsensitiveOption);
    if (value.contains(password))
        refuse(kPasswordRefused.arg(where, key));
    const QString k = key.trimmed().toLower();
    // Qt reads ';' in the connection options as a separator.
    if (k == QLatin1String("service") && value.contains(u';'))
        refuse(QStringLiteral("%1中的服务名（service）不能含有分号。").arg(where));
    if (k == QLatin1String("host"))
        params.host = value;
    else if (k == QLatin1String("port"))
        params.port = portNumber(value, where);
    else if (k == QLatin1String("dbname") || k == QLatin1String("database"))
        params.database = value;
    else if (k == QLatin1String("user"))
        params.user = value;
    else if (k == QLatin1String("service"))
        params.service = value;
    else if (k == QLatin1String("password"))
        refuse(kPasswordRefused.arg(where, key));
    else
        refuse(QStringLiteral("%1中有不认识的设置项“%2”（可用：host、port、dbname、user、service）。").arg(where, key));
}

db::ServerParams parseUri(const QString& text, const QString& where)
{
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        refuse(QStringLiteral("%1中的连接地址无效：%2").arg(where, url.errorString()));
    if (!url.password().isEmpty())
        refuse(kPasswordRefused.arg(where, QStringLiteral("password")));
    db::ServerParams params;
    params.host = url.host(QUrl::FullyDecoded);
    if (url.port() != -1)
        params.port = url.port();
    params.user = url.userName(QUrl::FullyDecoded);
    params.database = url.path(QUrl::FullyDecoded).mid(1);
    const QUrlQuery query(url);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded))
        setKey(params, key, value, where);
    return params;
}

db::ServerParams parseServerIn(const QString& conninfo, const QString& where)
{
    const QString text = conninfo.trimmed();
    if (text.isEmpty())
        refuse(QStringLiteral("%1没有给出数据库服务器。").arg(where));
    if (text.startsWith(QLatin1String("postgresql://")) || text.startsWith(QLatin1String("postgres://")))
        return parseUri(text, where);

    db::ServerParams params;
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto skipBlanks = [&] {
        while (i < n && text[i].isSpace())
            ++i;
    };
    while (true) {
        skipBlanks();
        if (i >= n)
            break;
        const qsizetype keyStart = i;
        while (i < n && text[i] != u'=' && !text[i].isSpace())
            ++i;
        const QString key = text.mid(keyStart, i - keyStart);
        skipBlanks();
        if (i >= n || text[i] != u'=')
            refuse(QStringLiteral("%1中“%2”后面缺少“=值”。").arg(where, key));
        ++i;
        skipBlanks();
        QString value;
        if (i < n && text[i] == u'\'') {
            ++i;
            bool closed = false;
            while (i < n) {
                const QChar c = text[i++];
                if (c == u'\\' && i < n)
                    value += text[i++];
                else if (c == u'\'') {
                    closed = true;
                    break;
                } else
                    value += c;
            }
            if (!closed)
                refuse(QStringLiteral("%1中“%2”的值缺少结尾的单引号。").arg(where, key));
        } else {
            while (i < n && !text[i].isSpace()) {
                if (text[i] == u'\\' && i + 1 < n)
                    ++i;
                value += text[i++];
            }
        }
        setKey(params, key, value, where);
    }
    return params;
}

Location fileLocation(const QString& folder, const QString& path)
{
    Location loc;
    loc.file = QDir::cleanPath(QDir(folder).absoluteFilePath(path));
    return loc;
}

// The [database] section of the settings file at path, or nothing when there is no file. A
// relative file is taken from folder.
std::optional<Location> fromSettings(const QString& path, const QString& folder)
{
    if (!QFileInfo::exists(path))
        return std::nullopt;
    const QString where = QDir::toNativeSeparators(path);
    QSettings ini(path, QSettings::IniFormat);
    if (ini.status() == QSettings::AccessError)
        refuse(QStringLiteral("无法读取设置文件 %1。").arg(where));
    if (ini.status() == QSettings::FormatError)
        refuse(QStringLiteral("设置文件 %1 的格式有误。").arg(where));
    // Keys are read without regard to letter case, as the site writes them.
    ini.beginGroup(QStringLiteral("database"));
    QList<std::pair<QString, QString>> keys;
    QString engine;
    QString file;
    for (const QString& k : ini.childKeys()) {
        // A comma makes QSettings read a list (libpq takes "host=a,b" as two hosts).
        const QVariant v = ini.value(k);
        const QString value =
            (v.typeId() == QMetaType::QStringList ? v.toStringList().join(u',') : v.toString()).trimmed();
        const QString lower = k.toLower();
        if (lower == QLatin1String("engine"))
            engine = value.toLower();
        else if (lower == QLatin1String("file"))
            file = value;
        else if (lower == QLatin1String("password"))
            refuse(kPasswordRefused.arg(QStringLiteral("设置文件 %1 ").arg(where), k));
        else
            keys.append({k, value});
    }
    if (engine.isEmpty() && keys.isEmpty() && file.isEmpty())
        return std::nullopt;
    if (engine.isEmpty() || engine == QLatin1String("sqlite")) {
        if (!keys.isEmpty())
            refuse(QStringLiteral("设置文件 %1 的 [database] 中有文件数据库用不到的设置项“%2”（可用：engine、file）。")
                       .arg(where, keys.first().first));
        return fileLocation(folder, file.isEmpty() ? QString::fromLatin1(kDatabaseFileName) : file);
    }
    if (engine != QLatin1String("postgresql"))
        refuse(QStringLiteral("设置文件 %1 中的数据库类型“%2”无效：应为 sqlite 或 postgresql。").arg(where, engine));
    if (!file.isEmpty())
        refuse(QStringLiteral("设置文件 %1 中 engine=postgresql 时不能再写 file。").arg(where));
    Location loc;
    loc.server = true;
    for (const auto& [k, value] : keys)
        setKey(loc.params, k, value, QStringLiteral("设置文件 %1 ").arg(where));
    return loc;
}

} // namespace

QString Location::describe() const
{
    return server ? params.describe() : QDir::toNativeSeparators(file);
}

QString Location::backupFile() const
{
    if (server)
        return QString();
    const QFileInfo fi(file);
    return fi.dir().filePath(fi.completeBaseName() + QStringLiteral(".bak"));
}

db::ServerParams parseServer(const QString& conninfo)
{
    return parseServerIn(conninfo, QStringLiteral("连接参数"));
}

QString Places::defaultDatabase() const
{
    return QDir::cleanPath(QDir(dataFolder()).absoluteFilePath(QString::fromLatin1(kDatabaseFileName)));
}

bool runsInstalled(const QString& programFolder, const QString& installedFolder)
{
    // A site that put the program read-only on a share with its settings beside it keeps them.
    for (const auto* name : {kDatabaseFileName, kSettingsFileName})
        if (QFileInfo::exists(QDir(programFolder).filePath(QString::fromLatin1(name))))
            return false;
    const QFileInfo program(programFolder);
    if (!installedFolder.isEmpty() && program.canonicalFilePath() == QFileInfo(installedFolder).canonicalFilePath())
        return true;
    return !program.isWritable();
}

Location chooseLocation(const QString& folder, const QStringList& arguments)
{
    Places places;
    places.program = folder;
    return chooseLocation(places, arguments);
}

Location chooseLocation(const Places& places, const QStringList& arguments)
{
    std::optional<Location> fromCommandLine;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        QString option;
        QString value;
        for (const auto* name : {"--server", "--file"}) {
            const QString o = QString::fromLatin1(name);
            if (a == o) {
                if (i + 1 >= arguments.size())
                    refuse(QStringLiteral("命令行选项 %1 后面缺少参数。").arg(o));
                option = o;
                value = arguments[++i];
            } else if (a.startsWith(o + u'=')) {
                option = o;
                value = a.mid(o.size() + 1);
            }
        }
        if (option.isEmpty())
            continue; // Qt's own options and anything else are not ours
        if (fromCommandLine)
            refuse(QStringLiteral("命令行中只能给出一个 --server 或 --file。"));
        if (option == QLatin1String("--file")) {
            if (value.trimmed().isEmpty())
                refuse(QStringLiteral("命令行选项 --file 后面缺少数据库文件。"));
            fromCommandLine = fileLocation(QDir::currentPath(), value);
        } else {
            Location loc;
            loc.server = true;
            loc.params = parseServerIn(value, QStringLiteral("命令行选项 --server "));
            fromCommandLine = loc;
        }
    }
    if (fromCommandLine)
        return *fromCommandLine;
    const QString folder = places.dataFolder();
    const QStringList settings =
        places.installed ? places.settingsFiles
                         : QStringList{QDir(places.program).filePath(QString::fromLatin1(kSettingsFileName))};
    for (const QString& path : settings) {
        if (!QFileInfo::exists(path))
            continue;
        // A user's file without a [database] section leaves the choice to the site's.
        if (auto loc = fromSettings(path, folder))
            return *loc;
    }
    return fileLocation(folder, QString::fromLatin1(kDatabaseFileName));
}

Prepared prepareDatabase(const Places& places, const Location& where)
{
    Prepared done;
    if (!places.installed || where.server || where.file != places.defaultDatabase())
        return done;
    const QString folder = QFileInfo(where.file).absolutePath();
    if (!QDir().mkpath(folder)) {
        done.error = QStringLiteral("无法建立数据文件夹 %1。").arg(QDir::toNativeSeparators(folder));
        return done;
    }
    QString reason;
    if (!QFileInfo::exists(where.file)) {
        done.laid = db::createDatabase(where.file, &reason);
        if (!done.laid)
            done.error = QStringLiteral("无法建立数据库 %1：%2").arg(where.describe(), reason);
        return done;
    }
    if (!db::upgradeDatabase(where.file, &reason))
        done.error = QStringLiteral("无法把数据库 %1 升级到本版本：%2").arg(where.describe(), reason);
    return done;
}

} // namespace ops
