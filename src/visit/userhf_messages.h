#pragma once

#include "ops/visit/callback.h"

#include <QDateTime>
#include <QString>

// The visit window's messages, shared by its parts.
namespace userhf {

inline const QString kOpenFailed = QStringLiteral("连接数据库时出错，请检查网络(1)!");
inline const QString kDbFailed = QStringLiteral("连接数据库时出错，请检查网络!");
inline const QString kDrawFailed = QStringLiteral("连接数据库时出错，请检查网络!(3)");
inline const QString kGiveUpFailed = QStringLiteral("连接数据库时出错，请检查网络(4)!");
inline const QString kNothingFound = QStringLiteral("没有分配给您和未分配的相应号码资源!");
inline const QString kStillHeld = QStringLiteral("请先提交当前已提用户的回访结果，或放弃受理后再提下一个号码!");
inline const QString kProjectLocked = QStringLiteral("请先提交当前客户的回访结果，或放弃受理后再切换项目!");
inline const QString kSwitchedOffFailed = QStringLiteral("连接数据库时出错，请检查网络!(5)");
inline const QString kFirstFailed = QStringLiteral("连接数据库时出错，请检查网络(2)!");
inline const QString kAnswerFailed = QStringLiteral("系统处理数据时出错，请检查网络和服务器，联系管理员(4)");
inline const QString kNoChoice = QStringLiteral("请选择用户答复选项!");
inline const QString kNotHeld = QStringLiteral("请先提取用户数据");
inline const QString kNoQuestions =
    QStringLiteral("当前项目没有设置问题，无需提交答案；请用结果按钮（关机、停机、无应答等）结束本次回访!");

inline QString bookingFaultText(ops::visit::BookingFault f)
{
    switch (f) {
    case ops::visit::BookingFault::Past:
        return QStringLiteral("预约的回访时间已经过去，请重新选择回访时间!");
    case ops::visit::BookingFault::TooFar:
        return QStringLiteral("预约的回访时间不能晚于一年以后，请重新选择回访时间!");
    case ops::visit::BookingFault::NoLength:
        return QStringLiteral("请选择回访时段的长度!");
    case ops::visit::BookingFault::None:
        break;
    }
    return QString();
}

inline QString hoursOverText(const QDateTime& resumes)
{
    return QStringLiteral("现在不在本项目的呼叫时段内，%1 起可以继续提取客户；已到时间的预约回访仍可提取。")
        .arg(resumes.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
}

} // namespace userhf
