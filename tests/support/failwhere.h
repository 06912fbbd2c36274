#pragma once

#include <QString>
#include <functional>

namespace tst {

// Makes every statement for which fails() is true fail, as a lost connection would, until
// failNothing() or the end of the test database.
void failStatements(std::function<bool(const QString& sql)> fails);
void failNothing();

// The same for one scope: statements that contain part fail while this lives.
class FailWhere
{
public:
    explicit FailWhere(const QString& part);
    ~FailWhere();
    FailWhere(const FailWhere&) = delete;
    FailWhere& operator=(const FailWhere&) = delete;
};

} // namespace tst
