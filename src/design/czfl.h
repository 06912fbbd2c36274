#pragma once

#include "design/dialogform.h"
#include "design/formkit.h"

#include <QList>
#include <QPointer>

class QLineEdit;
class QTableWidget;

// The disposition codes of a project (the one selected in the project list): the code of the
// survey standard each ending word counts as in the response rates, with the standard's classes
// and codes listed beside them.
class Tfrmczfl : public TDesignDialog
{
    Q_OBJECT
public:
    explicit Tfrmczfl(const design::ProjectRow& project = {}, QWidget* parent = nullptr);

    QList<QLineEdit*> EditCode; // EditCode1.., one per ending word
    QTableWidget* TableClasses;

public slots:
    void FormShow() override;
    void Button1Click() override;

private:
    design::ProjectRow m_project;
};

extern QPointer<Tfrmczfl> frmczfl;
