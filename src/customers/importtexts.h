#pragma once

#include <QString>
#include <QStringList>

// The sheet layout the import expects: these five headers, then any extra columns.
namespace imp {

inline const QString kXh = QStringLiteral("序号");
inline const QString kXm = QStringLiteral("姓名");
inline const QString kDq = QStringLiteral("区域");
inline const QString kDz = QStringLiteral("地址");
inline const QString kDh = QStringLiteral("电话号码");
inline QStringList namedColumns()
{
    return {kXh, kXm, kDq, kDz, kDh};
}

} // namespace imp
