#include "support/testmain.h"

#include "design/testkit.h"
#include "support/msgscript.h"

#include "core/dbgrid.h"
#include "db/dm.h"
#include "design/addsel.h"
#include "design/editsel.h"
#include "design/mansel.h"
#include "design/optsel.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

using dt::ctl;

namespace {

void typeOption(QWidget* d, const QString& text, const QString& jump)
{
    ctl<QLineEdit>(d, "Edit1")->setText(text);
    ctl<QLineEdit>(d, "Edit2")->setText(jump);
    ctl<QPushButton>(d, "Button1")->click();
}

// The manager of the question list's current question, as "管理问题选项" opens it.
TfrmMansel* managerOf(Tfrmoptsel* list)
{
    auto* g = ctl<TDBGrid>(list, "DBGrid1");
    const int r = g->currentRowIndex();
    return new TfrmMansel({g->value(r, QStringLiteral("qid")).toLongLong(), g->text(r, QStringLiteral("ywname")),
                           g->text(r, QStringLiteral("qnr")), g->text(r, QStringLiteral("qbh"))});
}

// The question list with the given question current, and its option manager shown.
struct Manager
{
    dt::Shown<Tfrmoptsel> list;
    QPointer<TfrmMansel> m;
    explicit Manager(qint64 qid)
    {
        auto* g = ctl<TDBGrid>(list.get(), "DBGrid1");
        g->fetchAll();
        for (int r = 0; r < g->rowCount(); ++r)
            if (g->value(r, QStringLiteral("qid")).toLongLong() == qid)
                g->setCurrentRowIndex(r);
        m = managerOf(list.get());
        m->show();
    }
    ~Manager() { delete m.data(); }
    TDBGrid* grid() const { return ctl<TDBGrid>(m.data(), "DBGrid1"); }
    QStringList options() const
    {
        QStringList t;
        for (int r = 0; r < grid()->rowCount(); ++r)
            t << grid()->text(r, QStringLiteral("sel")) + "->" + grid()->text(r, QStringLiteral("gotoq"));
        return t;
    }
};

} // namespace

class TestOptions : public QObject
{
    Q_OBJECT

    // A fresh database for every test (and every row of a data-driven one), the administrator logged in.
    std::unique_ptr<tst::TestDb> m_db;

private slots:
    void init()
    {
        m_db = std::make_unique<tst::TestDb>();
        QVERIFY(m_db->ok());
        m_db->loginAdmin();
    }
    void cleanup() { m_db.reset(); }
    void managerOpensForTheSelectedQuestion();
    void jumpProposal_data();
    void jumpProposal();
    void addChecksAndKeepsEntering();
    void addFailureWritesNothing();
    void jumpNumbers_data();
    void jumpNumbers();
    void editKeepsThePlace();
    void deleteAsksAndLogs();
    void dialogsWithoutManager();
    void openingFailureClosesTheManager();
};

void TestOptions::managerOpensForTheSelectedQuestion()
{
    const qint64 a = tst::addProject(ADOcon(), QStringLiteral("甲"));
    tst::addQuestion(ADOcon(), a, 1, QStringLiteral("第一题"));
    const qint64 q2 = tst::addQuestion(ADOcon(), a, 2, QStringLiteral("第二题\n请读出选项"));
    tst::addOption(ADOcon(), q2, QStringLiteral("否"), 0);
    tst::addOption(ADOcon(), q2, QStringLiteral("是"), 1);
    tst::MsgScript boxes;
    dt::Shown<Tfrmoptsel> w;
    ctl<TDBGrid>(w.get(), "DBGrid1")->setCurrentRowIndex(1);

    QStringList seen;
    QVERIFY(dt::withDialog<TfrmMansel>([&] { ctl<QPushButton>(w.get(), "Button4")->click(); },
                                       [&](TfrmMansel* m) {
                                           auto* project = ctl<QLineEdit>(m, "Edit1");
                                           auto* question = ctl<QPlainTextEdit>(m, "Memo1");
                                           QVERIFY(project->isReadOnly() && question->isReadOnly());
                                           seen << project->text() << question->toPlainText();
                                           auto* g = ctl<TDBGrid>(m, "DBGrid1");
                                           for (int r = 0; r < g->rowCount(); ++r)
                                               seen << g->text(r, QStringLiteral("sel"));
                                           ctl<QPushButton>(m, "Button4")->click();
                                       }));
    QCOMPARE(seen, (QStringList{QStringLiteral("甲"), QStringLiteral("第二题\n请读出选项"), QStringLiteral("否"),
                                QStringLiteral("是")}));
    QCOMPARE(boxes.count(), 0);
}

void TestOptions::jumpProposal_data()
{
    QTest::addColumn<QList<int>>("own");    // question numbers of the managed question's project
    QTest::addColumn<QList<int>>("others"); // question numbers of another project
    QTest::addColumn<int>("managed");
    QTest::addColumn<QString>("proposal");
    QTest::newRow("next of its own") << QList<int>{1, 2, 3} << QList<int>{} << 2 << "3";
    QTest::newRow("last, nothing higher anywhere") << QList<int>{1, 2, 3} << QList<int>{1, 2} << 3 << "0";
    QTest::newRow("last, another project has 4") << QList<int>{1, 2, 3} << QList<int>{4} << 3 << "4";
    QTest::newRow("smallest higher across projects") << QList<int>{1, 9} << QList<int>{12, 5, 7} << 1 << "5";
    QTest::newRow("negative numbers") << QList<int>{-5, -2} << QList<int>{} << -5 << "-2";
}

void TestOptions::jumpProposal()
{
    QFETCH(QList<int>, own);
    QFETCH(QList<int>, others);
    QFETCH(int, managed);
    QFETCH(QString, proposal);
    const qint64 a = tst::addProject(ADOcon(), QStringLiteral("甲"));
    const qint64 b = tst::addProject(ADOcon(), QStringLiteral("乙"));
    qint64 qid = -1;
    for (int n : own) {
        const qint64 q = tst::addQuestion(ADOcon(), a, n, QStringLiteral("题%1").arg(n));
        if (n == managed)
            qid = q;
    }
    for (int n : others)
        tst::addQuestion(ADOcon(), b, n, QStringLiteral("乙题%1").arg(n));
    tst::MsgScript boxes;
    Manager m(qid);

    QString shown, text = QStringLiteral("x");
    QVERIFY(dt::withDialog<Tfrmaddsel>([&] { ctl<QPushButton>(m.m.data(), "Button1")->click(); },
                                       [&](Tfrmaddsel* d) {
                                           shown = ctl<QLineEdit>(d, "Edit2")->text();
                                           text = ctl<QLineEdit>(d, "Edit1")->text();
                                       }));
    QCOMPARE(shown, proposal);
    QCOMPARE(text, QString());
}

void TestOptions::addChecksAndKeepsEntering()
{
    tst::TestDb& db = *m_db;
    const qint64 a = tst::addProject(ADOcon(), QStringLiteral("甲"));
    const qint64 q = tst::addQuestion(ADOcon(), a, 1, QStringLiteral("满意吗"));
    tst::addQuestion(ADOcon(), a, 2, QStringLiteral("为什么"));
    tst::addOption(ADOcon(), q, QStringLiteral("已有"), 0);
    tst::MsgScript boxes;
    Manager m(q);

    QPointer<Tfrmaddsel> dialog;
    QStringList afterSave;
    bool openAfterThree = false;
    QVERIFY(dt::withDialog<Tfrmaddsel>([&] { ctl<QPushButton>(m.m.data(), "Button1")->click(); },
                                       [&](Tfrmaddsel* d) {
                                           dialog = d;
                                           QVERIFY(ctl<QCheckBox>(d, "CheckBox1")->isChecked());
                                           QVERIFY(ctl<QPushButton>(d, "Button1")->isDefault());
                                           typeOption(d, QStringLiteral("  "), QStringLiteral("2"));
                                           typeOption(d, QStringLiteral("很满意"), QStringLiteral("  "));
                                           // Three in a row keep the jump; the text is cleared each time.
                                           typeOption(d, QStringLiteral(" 很满意 "), QStringLiteral(" 2 "));
                                           afterSave << ctl<QLineEdit>(d, "Edit1")->text()
                                                     << ctl<QLineEdit>(d, "Edit2")->text();
                                           typeOption(d, QStringLiteral("一般"), ctl<QLineEdit>(d, "Edit2")->text());
                                           typeOption(d, QStringLiteral("不满意"), ctl<QLineEdit>(d, "Edit2")->text());
                                           openAfterThree = d->isVisible();
                                           ctl<QCheckBox>(d, "CheckBox1")->setChecked(false);
                                           typeOption(d, QStringLiteral("说不清"), QStringLiteral("0"));
                                       }));
    QCOMPARE(afterSave, (QStringList{QString(), QStringLiteral("2")}));
    QVERIFY(openAfterThree);
    dt::flushDeletes();
    QVERIFY(dialog.isNull()); // unticked: closed after the save
    QCOMPARE(boxes.texts(),
             (QStringList{QStringLiteral("请填写选项内容！"), QStringLiteral("跳转到问题编号请填写整数编号!"),
                          QStringLiteral("保存成功!"), QStringLiteral("保存成功!"), QStringLiteral("保存成功!"),
                          QStringLiteral("保存成功!")}));
    // Listed in the order saved, after the earlier option; the newest is current.
    QCOMPARE(m.options(),
             (QStringList{QStringLiteral("已有->0"), QStringLiteral("很满意->2"), QStringLiteral("一般->2"),
                          QStringLiteral("不满意->2"), QStringLiteral("说不清->0")}));
    QCOMPARE(m.grid()->currentRowIndex(), 4);
    QCOMPARE(db.count(QStringLiteral("syslog")), 0); // adding options is not logged
}

void TestOptions::addFailureWritesNothing()
{
    // A save reported as failed must not have written the option: saving again would list it twice.
    tst::TestDb& db = *m_db;
    const qint64 q =
        tst::addQuestion(ADOcon(), tst::addProject(ADOcon(), QStringLiteral("甲")), 1, QStringLiteral("题"));
    tst::MsgScript boxes;
    Manager m(q);

    QStringList kept;
    bool openAfterFailure = false;
    QVERIFY(dt::withDialog<Tfrmaddsel>([&] { ctl<QPushButton>(m.m.data(), "Button1")->click(); },
                                       [&](Tfrmaddsel* d) {
                                           {
                                               // The list cannot be read back after the insert.
                                               dt::FailWhere fail(QStringLiteral("from q_sel where qid"));
                                               typeOption(d, QStringLiteral("满意"), QStringLiteral("0"));
                                           }
                                           openAfterFailure = d->isVisible();
                                           kept << ctl<QLineEdit>(d, "Edit1")->text()
                                                << ctl<QLineEdit>(d, "Edit2")->text();
                                           ctl<QPushButton>(d, "Button1")->click();
                                       }));
    QVERIFY(openAfterFailure);
    QCOMPARE(kept, (QStringList{QStringLiteral("满意"), QStringLiteral("0")}));
    QCOMPARE(boxes.texts(),
             (QStringList{QStringLiteral("操作数据库时出错，请检查网络连接!"), QStringLiteral("保存成功!")}));
    QCOMPARE(ADOcon().transactionDepth(), 0);
    QCOMPARE(db.count(QStringLiteral("q_sel")), 1);
    QCOMPARE(m.options(), QStringList{QStringLiteral("满意->0")});
}

void TestOptions::jumpNumbers_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("stored");
    QTest::newRow("end") << "0" << true << 0;
    QTest::newRow("negative") << "-7" << true << -7;
    QTest::newRow("no such question") << "99" << true << 99;
    QTest::newRow("itself") << "1" << true << 1;
    QTest::newRow("signed") << "+3" << true << 3;
    QTest::newRow("blanks only") << "   " << false << 0;
    QTest::newRow("fraction") << "2.0" << false << 0;
    QTest::newRow("text") << "end" << false << 0;
    QTest::newRow("quote") << "1'" << false << 0;
}

void TestOptions::jumpNumbers()
{
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    QFETCH(int, stored);
    tst::TestDb& db = *m_db;
    const qint64 q =
        tst::addQuestion(ADOcon(), tst::addProject(ADOcon(), QStringLiteral("甲")), 1, QStringLiteral("题"));
    tst::MsgScript boxes;
    Manager m(q);
    const QString text = QStringLiteral("选'项\"; drop table q_sel; --");

    QVERIFY(dt::withDialog<Tfrmaddsel>([&] { ctl<QPushButton>(m.m.data(), "Button1")->click(); },
                                       [&](Tfrmaddsel* d) { typeOption(d, text, typed); }));
    if (accepted) {
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("保存成功!")});
        QCOMPARE(db.scalar(QStringLiteral("select gotoq from q_sel")).toInt(), stored);
        QCOMPARE(db.scalar(QStringLiteral("select sel from q_sel")).toString(), text);
        QCOMPARE(db.scalar(QStringLiteral("select qid from q_sel")).toLongLong(), q);
    } else {
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("跳转到问题编号请填写整数编号!")});
        QCOMPARE(db.count(QStringLiteral("q_sel")), 0);
    }
}

void TestOptions::editKeepsThePlace()
{
    tst::TestDb& db = *m_db;
    const qint64 q =
        tst::addQuestion(ADOcon(), tst::addProject(ADOcon(), QStringLiteral("甲")), 1, QStringLiteral("题"));
    tst::addOption(ADOcon(), q, QStringLiteral("甲"), 2);
    const qint64 mid = tst::addOption(ADOcon(), q, QStringLiteral("乙"), 3);
    tst::addOption(ADOcon(), q, QStringLiteral("丙"), 0);
    tst::MsgScript boxes;
    Manager m(q);
    m.grid()->setCurrentRowIndex(1);

    {
        // A save whose list cannot be read back changes nothing, as its message says.
        dt::FailWhere fail(QStringLiteral("from q_sel where qid"));
        QVERIFY(dt::withDialog<Tfrmeditsel>([&] { ctl<QPushButton>(m.m.data(), "Button2")->click(); },
                                            [&](Tfrmeditsel* d) { typeOption(d, QStringLiteral("乙改"), "5"); }));
    }
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("操作数据库时出错，请检查网络连接!")});
    QCOMPARE(db.scalar(QStringLiteral("select sel||gotoq from q_sel where aid=%1").arg(mid)).toString(),
             QStringLiteral("乙3"));
    boxes.clear();

    QStringList shown;
    QVERIFY(dt::withDialog<Tfrmeditsel>([&] { ctl<QPushButton>(m.m.data(), "Button2")->click(); },
                                        [&](Tfrmeditsel* d) {
                                            shown << ctl<QLineEdit>(d, "Edit1")->text()
                                                  << ctl<QLineEdit>(d, "Edit2")->text();
                                            typeOption(d, QString(), QStringLiteral("3"));
                                            typeOption(d, QStringLiteral("乙"), QStringLiteral("三"));
                                            typeOption(d, QStringLiteral(" 乙'改 "), QStringLiteral(" -1 "));
                                        }));
    QCOMPARE(shown, (QStringList{QStringLiteral("乙"), QStringLiteral("3")}));
    QCOMPARE(boxes.texts(),
             (QStringList{QStringLiteral("请填写选项内容！"), QStringLiteral("跳转到问题编号请填写整数编号!"),
                          QStringLiteral("保存成功!")}));
    QCOMPARE(m.options(), (QStringList{QStringLiteral("甲->2"), QStringLiteral("乙'改->-1"), QStringLiteral("丙->0")}));
    QCOMPARE(m.grid()->currentRowIndex(), 1);
    QCOMPARE(db.scalar(QStringLiteral("select sel from q_sel where aid=%1").arg(mid)).toString(),
             QStringLiteral("乙'改"));
    QCOMPARE(db.count(QStringLiteral("syslog")), 0);
}

void TestOptions::deleteAsksAndLogs()
{
    tst::TestDb& db = *m_db;
    const qint64 q =
        tst::addQuestion(ADOcon(), tst::addProject(ADOcon(), QStringLiteral("甲")), 1, QStringLiteral("题"));
    tst::addOption(ADOcon(), q, QStringLiteral("是"), 0);
    tst::addOption(ADOcon(), q, QStringLiteral("否 '<>'"), 0);
    tst::MsgScript boxes;
    Manager m(q);
    auto* del = ctl<QPushButton>(m.m.data(), "Button3");
    m.grid()->setCurrentRowIndex(1);

    boxes.answer(msg::Answer::Cancel);
    del->click();
    QCOMPARE(boxes.boxes().last().caption, QStringLiteral("操作确认"));
    QCOMPARE(boxes.lastText(), QStringLiteral("您确定要删除选项<否 '<>'>么?"));
    QCOMPARE(db.count(QStringLiteral("q_sel")), 2);

    // A failing delete: the option stays and nothing is logged.
    {
        dt::FailWhere fail(QStringLiteral("delete"));
        boxes.answer(msg::Answer::Ok);
        del->click();
    }
    QCOMPARE(boxes.lastText(), QStringLiteral("操作数据库时出错，请检查网络连接!"));
    QCOMPARE(db.count(QStringLiteral("q_sel")), 2);
    QCOMPARE(db.count(QStringLiteral("syslog")), 0);

    boxes.answer(msg::Answer::Ok);
    del->click();
    QCOMPARE(m.options(), QStringList{QStringLiteral("是->0")});
    QCOMPARE(dt::logTexts(db), QStringList{QStringLiteral("删除选项：否 '<>'")});
    boxes.answer(msg::Answer::Ok);
    del->click();
    QCOMPARE(m.grid()->rowCount(), 0);

    // No options left: edit and delete do nothing.
    boxes.clear();
    boxes.strict();
    ctl<QPushButton>(m.m.data(), "Button2")->click();
    del->click();
    QCOMPARE(boxes.count(), 0);
    QVERIFY(!frmeditsel);
}

void TestOptions::dialogsWithoutManager()
{
    tst::TestDb& db = *m_db;
    const qint64 q =
        tst::addQuestion(ADOcon(), tst::addProject(ADOcon(), QStringLiteral("甲")), 1, QStringLiteral("题"));
    tst::addOption(ADOcon(), q, QStringLiteral("是"), 0);
    tst::MsgScript boxes;

    // The manager goes while its edit dialog is open: the save still reaches its option.
    {
        Manager m(q);
        QVERIFY(dt::withDialog<Tfrmeditsel>([&] { ctl<QPushButton>(m.m.data(), "Button2")->click(); },
                                            [&](Tfrmeditsel* d) {
                                                delete m.m.data();
                                                typeOption(d, QStringLiteral("是的"), QStringLiteral("0"));
                                            }));
        QVERIFY(m.m.isNull());
    }
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("保存成功!")});
    QCOMPARE(db.scalar(QStringLiteral("select sel from q_sel")).toString(), QStringLiteral("是的"));

    // No manager at all: the dialogs have no question and close without writing.
    QVERIFY(!frmMansel);
    for (QDialog* d : std::initializer_list<QDialog*>{new Tfrmaddsel, new Tfrmeditsel}) {
        QPointer<QDialog> p(d);
        d->show();
        QTRY_VERIFY(!p || !p->isVisible());
        dt::flushDeletes();
        QVERIFY(p.isNull());
    }
    // Nor can the manager itself open without a question.
    QPointer<TfrmMansel> lone = new TfrmMansel;
    lone->show();
    QTRY_VERIFY(!lone || !lone->isVisible());
    dt::flushDeletes();
    QVERIFY(lone.isNull());
    QCOMPARE(db.count(QStringLiteral("q_sel")), 1);
}

void TestOptions::openingFailureClosesTheManager()
{
    const qint64 q =
        tst::addQuestion(ADOcon(), tst::addProject(ADOcon(), QStringLiteral("甲")), 1, QStringLiteral("题"));
    tst::MsgScript boxes;
    dt::Shown<Tfrmoptsel> w;
    QPointer<TfrmMansel> m = managerOf(w.get());
    {
        dt::FailWhere fail(QStringLiteral("q_sel"));
        m->show();
    }
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("连接数据库时出错，请检查网络连接!")});
    QTRY_VERIFY(!m || !m->isVisible());
    dt::flushDeletes();
    QVERIFY(m.isNull());
    QVERIFY(q > 0);
}

TV_TEST_MAIN(TestOptions)
#include "tst_options.moc"
