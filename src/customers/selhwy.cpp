#include "customers/selhwy.h"

#include "core/entrydialog.h"
#include "core/msg.h"
#include "db/dm.h"

#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

QPointer<Tfrmselhwy> frmselhwy;

namespace {
const QString kPrompt = QStringLiteral("请从列表中选取....");
}

Tfrmselhwy::Tfrmselhwy(QWidget* opener, Assign assign) : QDialog(opener), m_assign(std::move(assign))
{
    frmselhwy = this;
    setObjectName(QStringLiteral("Tfrmselhwy"));
    setWindowTitle(QStringLiteral("选取务员"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
    setModal(false);

    GroupBox1 = new QGroupBox(QStringLiteral("请选取指定受理的话务员"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    ComboBox1 = new QComboBox(GroupBox1);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setMinimumWidth(220);
    ComboBox2 = new QComboBox(this);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->hide();
    auto* inBox = new QVBoxLayout(GroupBox1);
    inBox->addWidget(ComboBox1);

    Button1 = plainButton(this, QStringLiteral("Button1"), QStringLiteral("确     定"));
    Button2 = plainButton(this, QStringLiteral("Button2"), QStringLiteral("取    消"));
    auto* lay = new QVBoxLayout(this);
    lay->addWidget(GroupBox1);
    lay->addLayout(buttonBar({Button1, Button2}, true));
    setFixedSize(sizeHint().expandedTo(QSize(300, 140)));

    connect(Button1, &QPushButton::clicked, this, &Tfrmselhwy::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrmselhwy::Button2Click);
}

void Tfrmselhwy::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (m_shown)
        return;
    m_shown = true;
    if (const QScreen* s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
    FormShow();
}

void Tfrmselhwy::FormShow()
{
    ComboBox1->clear();
    ComboBox2->clear();
    ComboBox1->addItem(kPrompt);
    ComboBox2->addItem(QStringLiteral("0"));
    ComboBox1->setCurrentIndex(0);
    try {
        for (const ops::customers::Operator& o : ops::customers::assignableOperators(ADOcon())) {
            ComboBox1->addItem(o.truename);
            ComboBox2->addItem(o.uname);
        }
    } catch (const db::Error& e) {
        msg::ShowFailure(e, QStringLiteral("连接数据库时出错，请检查网络连接!"));
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    }
}

void Tfrmselhwy::Button1Click()
{
    const int i = ComboBox1->currentIndex();
    if (i <= 0 || i >= ComboBox2->count()) {
        msg::ShowMessage(QStringLiteral("请选取指定受理的话务员!"));
        return;
    }
    try {
        m_assign({ComboBox2->itemText(i), ComboBox1->itemText(i)});
    } catch (const db::Error& e) {
        msg::ShowFailure(e, QStringLiteral("操作数据库时出错，请检查网络连接!"));
        return;
    }
    msg::ShowMessage(QStringLiteral("指定话务员成功!"));
    close();
}

void Tfrmselhwy::Button2Click()
{
    close();
}
