#pragma once

#include <QString>
#include <QStringList>

// Status words stored in the database, exactly as written there.
namespace vocab {

// yhda.sljg, in the order the visit window lists them
inline const QString kWsl = QStringLiteral("未受理");
inline const QString kZzsl = QStringLiteral("正在受理");
inline const QString kWyd = QStringLiteral("无应答");
inline const QString kGj = QStringLiteral("关机");
inline const QString kTj = QStringLiteral("停机");
inline const QString kJf = QStringLiteral("拒访");
inline const QString kXclx = QStringLiteral("下次联系");
inline const QString kYsl = QStringLiteral("已受理");
inline const QString kWxsj = QStringLiteral("无效数据");
inline QStringList handlingStates()
{
    return {kWsl, kZzsl, kWyd, kGj, kTj, kJf, kXclx, kYsl, kWxsj};
}

// yhda.jg
inline const QString kCg = QStringLiteral("成功");
inline const QString kBcg = QStringLiteral("不成功");

// syslogin.tp
inline const QString kAdmin = QStringLiteral("管理员");
inline const QString kOperator = QStringLiteral("话务员");

} // namespace vocab
