#pragma once

#include "design/dialogform.h"
#include "design/formkit.h"

#include <QPointer>

class QLineEdit;
class QPlainTextEdit;

// Changes the name and prompt text of a project (the one selected in the project list).
class Tfrmeditxm : public TDesignDialog
{
    Q_OBJECT
public:
    // Without a project (ywbh < 0) the dialog has nothing to edit and closes.
    explicit Tfrmeditxm(const design::ProjectRow& project = {}, QWidget* parent = nullptr);

    QLineEdit* Edit1;
    QPlainTextEdit* Memo1;

public slots:
    void FormShow() override;
    void Button1Click() override;

private:
    design::ProjectRow m_project;
};

extern QPointer<Tfrmeditxm> frmeditxm;
