#pragma once

#include "core/msg.h"

#include <QList>

namespace tst {

// Outside a MsgScript every box fails the test at once (and is answered, so nothing hangs).
void installFailingMsgHandler();

// Answers the program's message boxes in a test: each box is recorded; scripted answers are
// used in order; a box with no answer left fails the test at once (it is answered with
// Cancel / No so that nothing hangs). Plain OK boxes are answered OK without a script
// unless strict() is set.
class MsgScript
{
public:
    MsgScript();
    ~MsgScript();

    MsgScript& answer(msg::Answer a); // for the next confirmation
    MsgScript& strict(bool on = true);

    const QList<msg::Box>& boxes() const { return m_boxes; }
    int count() const { return int(m_boxes.size()); }
    QString lastText() const { return m_boxes.isEmpty() ? QString() : m_boxes.last().text; }
    QStringList texts() const;
    bool sawText(const QString& text) const { return texts().contains(text); }
    void clear() { m_boxes.clear(); }
    int pendingAnswers() const { return int(m_answers.size()); }

private:
    QList<msg::Box> m_boxes;
    QList<msg::Answer> m_answers;
    bool m_strict = false;
};

} // namespace tst
