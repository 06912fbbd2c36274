#include "support/failwhere.h"

#include "db/dm.h"

namespace tst {

void failStatements(std::function<bool(const QString& sql)> fails)
{
    ADOcon().setStatementHook([fails = std::move(fails)](const QString& sql) {
        if (fails(sql))
            throw db::Error(QStringLiteral("disk I/O error"), sql);
    });
}

void failNothing()
{
    ADOcon().setStatementHook({});
}

FailWhere::FailWhere(const QString& part)
{
    failStatements([part](const QString& sql) { return sql.contains(part); });
}

FailWhere::~FailWhere()
{
    failNothing();
}

} // namespace tst
