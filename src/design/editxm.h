#pragma once

#include "design/dialogform.h"

#include <QPointer>

class QLineEdit;
class QPlainTextEdit;
class Tfrmopt;

// Changes the name and prompt text of the project selected in the project list.
class Tfrmeditxm : public TDesignDialog
{
    Q_OBJECT
public:
    explicit Tfrmeditxm(Tfrmopt* owner = nullptr, QWidget* parent = nullptr);

    QLineEdit* Edit1;
    QPlainTextEdit* Memo1;

    qint64 projectNumber() const { return m_ywbh; }

public slots:
    void FormShow() override;
    void Button1Click() override;

private:
    QPointer<Tfrmopt> m_owner;
    qint64 m_ywbh = -1;
};

extern QPointer<Tfrmeditxm> frmeditxm;
