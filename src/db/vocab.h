#pragma once

#include <QString>
#include <QStringList>

// Status words stored in the database, exactly as written there, under English names.
namespace vocab {

// yhda.sljg, in the order the visit window lists them
inline const QString kNotHandled = QStringLiteral("未受理");  // not drawn yet
inline const QString kInHand = QStringLiteral("正在受理");     // drawn by an operator, the call not ended
inline const QString kNoAnswer = QStringLiteral("无应答");     // nobody answered
inline const QString kSwitchedOff = QStringLiteral("关机");    // the phone was switched off
inline const QString kOutOfService = QStringLiteral("停机");   // the number is out of service
inline const QString kRefused = QStringLiteral("拒访");        // the customer refused
inline const QString kCallBack = QStringLiteral("下次联系");   // to be called again
inline const QString kHandled = QStringLiteral("已受理");      // the questionnaire was completed
inline const QString kInvalidData = QStringLiteral("无效数据"); // the record is unusable
inline QStringList handlingStates()
{
    return {kNotHandled, kInHand, kNoAnswer, kSwitchedOff, kOutOfService, kRefused, kCallBack, kHandled, kInvalidData};
}

// yhda.jg, the marketing result
inline const QString kSuccess = QStringLiteral("成功");
inline const QString kNoSuccess = QStringLiteral("不成功");

// syslogin.tp, the user type
inline const QString kAdmin = QStringLiteral("管理员");
inline const QString kOperator = QStringLiteral("话务员");

} // namespace vocab
