#include "design/czfl.h"

#include "db/dm.h"
#include "db/vocab.h"
#include "ops/reports/dispositions.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>

QPointer<Tfrmczfl> frmczfl;

namespace {

// The standard's classes: what each code group means and which count of the rates it goes to.
struct ClassRow
{
    const char* codes;
    const char* cls;
    const char* meaning;
};
const ClassRow kClasses[] = {
    {"1.1", "I", "完成访问"},
    {"1.2", "P", "部分完成（答题后中断）"},
    {"2.1x", "R", "拒访、中断"},
    {"2.2x", "NC", "未接触（受访者不在、预约未履行）"},
    {"2.3x", "O", "其他合格未访"},
    {"3.1x", "UH", "是否合格未知：无人接听、未拨打、技术原因"},
    {"3.2x 3.9", "UO", "是否合格未知：其他"},
    {"4.xx", "NE", "不合格：停机、空号、无效号码"},
};

QTableWidget* classTable(QWidget* parent)
{
    auto* t = new QTableWidget(int(std::size(kClasses)), 3, parent);
    t->setObjectName(QStringLiteral("TableClasses"));
    t->setHorizontalHeaderLabels({QStringLiteral("代码"), QStringLiteral("类别"), QStringLiteral("含义")});
    t->verticalHeader()->hide();
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionMode(QAbstractItemView::NoSelection);
    t->setFocusPolicy(Qt::NoFocus);
    for (int r = 0; r < int(std::size(kClasses)); ++r) {
        t->setItem(r, 0, new QTableWidgetItem(QString::fromUtf8(kClasses[r].codes)));
        t->setItem(r, 1, new QTableWidgetItem(QString::fromUtf8(kClasses[r].cls)));
        t->setItem(r, 2, new QTableWidgetItem(QString::fromUtf8(kClasses[r].meaning)));
    }
    t->resizeColumnsToContents();
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

} // namespace

Tfrmczfl::Tfrmczfl(const design::ProjectRow& project, QWidget* parent)
    : TDesignDialog(QStringLiteral("Tfrmczfl"), QStringLiteral("处置分类"), parent), m_project(project)
{
    frmczfl = this;
    auto* codes = new QGridLayout;
    codes->addWidget(new QLabel(QStringLiteral("项目：") + project.name, this), 0, 0, 1, 2);
    codes->addWidget(new QLabel(QStringLiteral("结束方式"), this), 1, 0);
    codes->addWidget(new QLabel(QStringLiteral("处置代码"), this), 1, 1);
    int row = 2;
    for (const QString& word : ops::reports::dispositionWords()) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("EditCode%1").arg(EditCode.size() + 1));
        edit->setMaxLength(8);
        edit->setFixedWidth(80);
        EditCode << edit;
        codes->addWidget(new QLabel(word == vocab::kNotHandled ? word + QStringLiteral("（从未拨打）") : word, this),
                         row, 0);
        codes->addWidget(edit, row++, 1);
    }
    codes->setRowStretch(row, 1);
    TableClasses = classTable(this);
    auto* both = new QHBoxLayout;
    both->addLayout(codes);
    both->addWidget(TableClasses, 1);
    layOut(both, QStringLiteral("保     存"), QStringLiteral("退   出"), false, QSize(720, 380));
}

void Tfrmczfl::FormShow()
{
    if (closeWithout(m_project.ywbh))
        return;
    design::tryAction([&] {
        const QList<ops::reports::DispositionCode> codes = ops::reports::dispositionCodes(ADOcon(), m_project.ywbh);
        for (int i = 0; i < codes.size() && i < EditCode.size(); ++i)
            EditCode.at(i)->setText(codes.at(i).code);
    });
}

void Tfrmczfl::Button1Click()
{
    if (m_project.ywbh < 0)
        return;
    QList<ops::reports::DispositionCode> codes = ops::reports::defaultDispositionCodes();
    for (int i = 0; i < codes.size() && i < EditCode.size(); ++i)
        codes[i].code = EditCode.at(i)->text().trimmed();
    QString refused;
    const bool saved = save([&] {
        const design::WaitCursor busy; // changed codes are given to every customer of the project again
        refused = ops::reports::saveDispositionCodes(ADOcon(), m_project.ywbh, codes);
        return refused.isEmpty();
    });
    if (!refused.isEmpty()) {
        msg::ShowMessage(QStringLiteral("“%1”的处置代码不是标准的代码，请按右边的表填写，如 1.1、2.11、3.13、4.32"
                                        "（1 完成，2 合格未完成，3 是否合格未知，4 不合格）!")
                             .arg(refused));
        return;
    }
    if (saved) {
        msg::ShowMessage(design::kSaved);
        close();
    }
}
