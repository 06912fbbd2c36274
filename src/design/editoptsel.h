#pragma once

#include "design/dialogform.h"

#include <QPointer>

class QLineEdit;
class QPlainTextEdit;
class Tfrmoptsel;

// Changes the text and number of the question selected in the question list; its project stays.
class Tfrmeditoptsel : public TDesignDialog
{
    Q_OBJECT
public:
    explicit Tfrmeditoptsel(Tfrmoptsel* owner = nullptr, QWidget* parent = nullptr);

    QLineEdit* Edit1;      // project name, read-only
    QPlainTextEdit* Memo1; // question text
    QLineEdit* Edit2;      // question number

    qint64 questionId() const { return m_qid; }

public slots:
    void FormShow() override;
    void Button1Click() override;

private:
    QPointer<Tfrmoptsel> m_owner;
    qint64 m_qid = -1;
};

extern QPointer<Tfrmeditoptsel> frmeditoptsel;
