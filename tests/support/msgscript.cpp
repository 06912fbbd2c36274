#include "support/msgscript.h"

#include <QStringList>
#include <QTest>

namespace tst {

MsgScript::MsgScript()
{
    msg::setHandler([this](const msg::Box& b) {
        m_boxes << b;
        if (!m_answers.isEmpty())
            return m_answers.takeFirst();
        if (b.buttons == msg::Buttons::Ok && !m_strict)
            return msg::Answer::Ok;
        QTest::qFail(qPrintable(QStringLiteral("unexpected message box: [%1] %2").arg(b.caption, b.text)), __FILE__,
                     __LINE__);
        return b.buttons == msg::Buttons::YesNo ? msg::Answer::No : msg::Answer::Cancel;
    });
}

MsgScript::~MsgScript()
{
    installFailingMsgHandler();
}

void installFailingMsgHandler()
{
    msg::setHandler([](const msg::Box& b) {
        QTest::qFail(qPrintable(QStringLiteral("message box outside a script: [%1] %2").arg(b.caption, b.text)),
                     __FILE__, __LINE__);
        return b.buttons == msg::Buttons::YesNo ? msg::Answer::No
                                                : (b.buttons == msg::Buttons::Ok ? msg::Answer::Ok : msg::Answer::Cancel);
    });
}

MsgScript& MsgScript::answer(msg::Answer a)
{
    m_answers << a;
    return *this;
}

MsgScript& MsgScript::strict(bool on)
{
    m_strict = on;
    return *this;
}

QStringList MsgScript::texts() const
{
    QStringList t;
    for (const msg::Box& b : m_boxes)
        t << b.text;
    return t;
}

} // namespace tst
