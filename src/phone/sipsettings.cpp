#include "phone/sipsettings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

namespace phone {

namespace {

const QString kGroup = QStringLiteral("sip");

bool dialable(const QString& prefix)
{
    for (const QChar c : prefix)
        if (!c.isDigit() && c != u'*' && c != u'#')
            return false;
    return true;
}

bool fitsAccountLine(const QString& text)
{
    for (const QChar c : text)
        if (c == u';' || c == u'<' || c == u'>' || c == u'"' || c == u'\'' || c.isSpace() ||
            c.category() == QChar::Other_Control)
            return false;
    return true;
}

// A value as written: QSettings reads an unquoted a,b as a list ("aufile,/path" typed by hand).
QString textOf(const QSettings& ini, const QString& key, const QString& fallback = QString())
{
    const QVariant v = ini.value(key, fallback);
    if (v.metaType().id() == QMetaType::QStringList)
        return v.toStringList().join(u',').trimmed();
    return v.toString().trimmed();
}

} // namespace

QString sipSettingsFault(const SipSettings& s)
{
    const SipAccount& a = s.account;
    if (a.server.trimmed().isEmpty())
        return QStringLiteral("SIP 设置缺少服务器（server）。");
    if (a.user.trimmed().isEmpty())
        return QStringLiteral("SIP 设置缺少用户名（user）。");
    // The softphone's account line is made of these: nothing may end a field or the line.
    if (!fitsAccountLine(a.server.trimmed()) || !fitsAccountLine(a.user.trimmed()) ||
        !fitsAccountLine(a.authUser.trimmed()))
        return QStringLiteral("SIP 服务器和用户名中不能有空格、引号、分号或尖括号。");
    if (a.transport != u"udp" && a.transport != u"tcp" && a.transport != u"tls")
        return QStringLiteral("SIP 传输方式“%1”无效：应为 udp、tcp 或 tls。").arg(a.transport);
    if (a.ringSeconds < 5 || a.ringSeconds > 300)
        return QStringLiteral("振铃等待秒数（ring_seconds）应为 5 到 300 的整数。");
    if (!dialable(s.prefix))
        return QStringLiteral("拨号前缀“%1”只能由数字、* 和 # 组成。").arg(s.prefix);
    if (!a.recordFolder.isEmpty() && QDir::isRelativePath(a.recordFolder))
        return QStringLiteral("录音文件夹“%1”应写完整路径。").arg(a.recordFolder);
    return {};
}

QString sipPasswordFault(const QString& password)
{
    // As the softphone reads the password file back: a ' is fine there.
    if (!fitsAccountLine(QString(password).remove(u'\'')))
        return QStringLiteral("SIP 密码中不能有空格、双引号、分号或尖括号。");
    return {};
}

bool writeSipPassword(const QString& file, const QString& password, QString* why)
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    QFile f(file);
    // Closed to others before the password goes in (an existing file may have been open to all).
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        !f.setPermissions(QFile::ReadOwner | QFile::WriteOwner) || f.write(password.toUtf8() + '\n') < 0 ||
        !f.flush()) {
        *why = QStringLiteral("无法写入 SIP 密码文件 %1。").arg(QDir::toNativeSeparators(file));
        return false;
    }
    return true;
}

std::optional<SipSettings> readSipSettings(const QString& iniPath, QString* why)
{
    why->clear();
    QSettings ini(iniPath, QSettings::IniFormat);
    if (ini.status() != QSettings::NoError) {
        *why = QStringLiteral("无法读取设置文件 %1。").arg(QDir::toNativeSeparators(iniPath));
        return std::nullopt;
    }
    ini.beginGroup(kGroup);
    const QString server = textOf(ini, QStringLiteral("server"));
    if (server.isEmpty())
        return std::nullopt;
    if (ini.contains(QStringLiteral("password"))) {
        *why = QStringLiteral("设置文件中不能写 SIP 密码：请写在只有本人能读的文件里，并用 password_file 指明。");
        return std::nullopt;
    }
    SipSettings s;
    SipAccount& a = s.account;
    a.server = server;
    a.user = textOf(ini, QStringLiteral("user"));
    a.authUser = textOf(ini, QStringLiteral("auth_user"));
    a.transport = textOf(ini, QStringLiteral("transport"), QStringLiteral("udp")).toLower();
    a.passwordFile = textOf(ini, QStringLiteral("password_file"));
    a.registers = ini.value(QStringLiteral("register"), true).toBool();
    a.audioSource = textOf(ini, QStringLiteral("audio_source"));
    a.audioPlayer = textOf(ini, QStringLiteral("audio_player"));
    if (ini.value(QStringLiteral("record"), false).toBool())
        a.recordFolder = textOf(ini, QStringLiteral("record_folder"));
    bool ok = true;
    if (ini.contains(QStringLiteral("ring_seconds")))
        a.ringSeconds = ini.value(QStringLiteral("ring_seconds")).toInt(&ok);
    s.prefix = textOf(ini, QStringLiteral("prefix"));

    if (!ok)
        a.ringSeconds = 0; // refused below
    if (ini.value(QStringLiteral("record"), false).toBool() && a.recordFolder.isEmpty())
        *why = QStringLiteral("开启了录音（record），却没有指定录音文件夹（record_folder）。");
    else
        *why = sipSettingsFault(s);
    if (!why->isEmpty())
        return std::nullopt;
    return s;
}

bool writeSipSettings(const QString& iniPath, const SipSettings& s, QString* why)
{
    QSettings ini(iniPath, QSettings::IniFormat);
    ini.remove(kGroup);
    const SipAccount& a = s.account;
    if (!a.server.trimmed().isEmpty()) {
        ini.beginGroup(kGroup);
        ini.setValue(QStringLiteral("server"), a.server.trimmed());
        ini.setValue(QStringLiteral("user"), a.user.trimmed());
        ini.setValue(QStringLiteral("auth_user"), a.authUser.trimmed());
        ini.setValue(QStringLiteral("transport"), a.transport);
        ini.setValue(QStringLiteral("password_file"), a.passwordFile);
        ini.setValue(QStringLiteral("register"), a.registers);
        ini.setValue(QStringLiteral("prefix"), s.prefix);
        ini.setValue(QStringLiteral("ring_seconds"), a.ringSeconds);
        ini.setValue(QStringLiteral("record"), !a.recordFolder.isEmpty());
        ini.setValue(QStringLiteral("record_folder"), a.recordFolder);
        if (!a.audioSource.isEmpty())
            ini.setValue(QStringLiteral("audio_source"), a.audioSource);
        if (!a.audioPlayer.isEmpty())
            ini.setValue(QStringLiteral("audio_player"), a.audioPlayer);
        ini.endGroup();
    }
    ini.sync();
    if (ini.status() != QSettings::NoError) {
        *why = QStringLiteral("无法写入设置文件 %1。").arg(QDir::toNativeSeparators(iniPath));
        return false;
    }
    return true;
}

bool saveSipAccount(const QString& iniPath, SipSettings s, const QString& password, QString* why)
{
    SipAccount& a = s.account;
    a.server = a.server.trimmed();
    a.user = a.user.trimmed();
    a.authUser = a.authUser.trimmed();
    a.transport = a.transport.trimmed().toLower();
    a.recordFolder = a.recordFolder.trimmed();
    s.prefix = s.prefix.trimmed();
    if (!a.server.isEmpty()) {
        *why = sipSettingsFault(s);
        if (why->isEmpty() && !password.isEmpty())
            *why = sipPasswordFault(password);
        if (!why->isEmpty())
            return false;
        if (!password.isEmpty()) {
            a.passwordFile = QFileInfo(iniPath).absoluteDir().filePath(QStringLiteral("sip.pwd"));
            if (!writeSipPassword(a.passwordFile, password, why))
                return false;
        }
    }
    return writeSipSettings(iniPath, s, why);
}

} // namespace phone
