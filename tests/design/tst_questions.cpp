#include "support/testmain.h"

#include "design/testkit.h"
#include "support/msgscript.h"

#include "core/dbgrid.h"
#include "db/dm.h"
#include "design/addoptsel.h"
#include "design/editoptsel.h"
#include "design/optsel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <optional>

using dt::ctl;

namespace {

// Chooses a project in the add dialog as a user would (the proposal follows).
void chooseProject(Tfrmaddoptsel* d, const QString& name)
{
    auto* box = ctl<QComboBox>(d, "ComboBox1");
    box->setCurrentIndex(box->findText(name));
}

void typeQuestion(QWidget* d, const char* numberField, const QString& text, const QString& number)
{
    ctl<QPlainTextEdit>(d, "Memo1")->setPlainText(text);
    ctl<QLineEdit>(d, numberField)->setText(number);
    ctl<QPushButton>(d, "Button1")->click();
}

} // namespace

class TestQuestions : public QObject
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
    void filterListsProjectsOldestFirst();
    void addNeedsAProject();
    void numberProposal();
    void numberChecks_data();
    void numberChecks();
    void addKeepsEnteringOrCloses();
    void addKeepsTheListFilter();
    void editSavesOnlyTheQuestion();
    void deleteKeepsOptionsAndLogs();
    void openingFailureClosesTheWindow();
};

void TestQuestions::filterListsProjectsOldestFirst()
{
    const qint64 a = tst::addProject(ADOcon(), QStringLiteral("甲项目"));
    const qint64 b = tst::addProject(ADOcon(), QStringLiteral("乙'项目"), QString(), 0); // stopped ones are offered too
    tst::addQuestion(ADOcon(), b, 2, QStringLiteral("乙二"));
    tst::addQuestion(ADOcon(), a, 5, QStringLiteral("甲五"));
    tst::addQuestion(ADOcon(), a, 1, QStringLiteral("甲一"));
    tst::addQuestion(ADOcon(), a, 1, QStringLiteral("甲一又")); // numbers need not be unique
    tst::MsgScript boxes;
    dt::Shown<Tfrmoptsel> w;
    auto* filter = ctl<QComboBox>(w.get(), "ComboBox1");
    auto* g = ctl<TDBGrid>(w.get(), "DBGrid1");

    QCOMPARE(filter->count(), 3);
    QCOMPARE(filter->itemText(0), QStringLiteral("所有"));
    QCOMPARE(filter->itemText(1), QStringLiteral("甲项目"));
    QCOMPARE(filter->itemText(2), QStringLiteral("乙'项目"));
    QCOMPARE(filter->currentIndex(), 0);
    QCOMPARE(g->rowCount(), 4);
    QCOMPARE(g->currentRowIndex(), 0);
    QCOMPARE(g->text(0, QStringLiteral("qbh")), QStringLiteral("1"));
    QCOMPARE(g->text(1, QStringLiteral("qbh")), QStringLiteral("1"));
    QCOMPARE(g->text(2, QStringLiteral("qnr")), QStringLiteral("甲五"));
    QCOMPARE(g->text(3, QStringLiteral("ywname")), QStringLiteral("乙'项目"));

    filter->setCurrentIndex(2);
    QCOMPARE(g->rowCount(), 1);
    QCOMPARE(g->text(0, QStringLiteral("qnr")), QStringLiteral("乙二"));
    filter->setCurrentIndex(0);
    QCOMPARE(g->rowCount(), 4);

    // A project added later is not in this window's filter until it is opened again.
    tst::addProject(ADOcon(), QStringLiteral("丙项目"));
    QCOMPARE(filter->count(), 3);
    QCOMPARE(boxes.count(), 0);

    // A filter that cannot be read: the message, and the choice goes back to what the list shows.
    {
        dt::FailWhere fail(QStringLiteral("from qview where"));
        filter->setCurrentIndex(1);
    }
    QCOMPARE(boxes.lastText(), QStringLiteral("操作数据库时出错，请检查网络连接!"));
    QCOMPARE(filter->currentIndex(), 0);
    QCOMPARE(g->rowCount(), 4);
}

void TestQuestions::addNeedsAProject()
{
    tst::MsgScript boxes;
    dt::Shown<Tfrmoptsel> w;
    // The filter was read when the window opened: a project made since does not count yet.
    tst::addProject(ADOcon(), QStringLiteral("甲"));
    ctl<QPushButton>(w.get(), "Button1")->click();
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("请先建好项目再添加问题!")});
    QVERIFY(!frmaddoptsel);
}

void TestQuestions::numberProposal()
{
    tst::TestDb& db = *m_db;
    const qint64 a = tst::addProject(ADOcon(), QStringLiteral("甲"));
    tst::addProject(ADOcon(), QStringLiteral("乙"));
    tst::addQuestion(ADOcon(), a, 1, QStringLiteral("一"));
    tst::addQuestion(ADOcon(), a, 7, QStringLiteral("七"));
    tst::addQuestion(ADOcon(), a, -4, QStringLiteral("负四"));
    tst::MsgScript boxes;
    dt::Shown<Tfrmoptsel> w;
    // A project made after the list opened is offered by the dialog, which reads afresh.
    tst::addProject(ADOcon(), QStringLiteral("丙"));

    QStringList names, proposals;
    QVERIFY(dt::withDialog<Tfrmaddoptsel>([&] { ctl<QPushButton>(w.get(), "Button1")->click(); },
                                          [&](Tfrmaddoptsel* d) {
                                              auto* box = ctl<QComboBox>(d, "ComboBox1");
                                              for (int i = 0; i < box->count(); ++i)
                                                  names << box->itemText(i);
                                              auto* number = ctl<QLineEdit>(d, "Edit1");
                                              proposals << number->text(); // newest project, no questions
                                              chooseProject(d, QStringLiteral("甲"));
                                              proposals << number->text(); // highest 7, gaps not reused
                                              typeQuestion(d, "Edit1", QStringLiteral("八"), number->text());
                                              proposals << number->text(); // after the save
                                              chooseProject(d, QStringLiteral("乙"));
                                              proposals << number->text();
                                              d->reject();
                                          }));
    QCOMPARE(names, (QStringList{QStringLiteral("丙"), QStringLiteral("乙"), QStringLiteral("甲")}));
    QCOMPARE(proposals,
             (QStringList{QStringLiteral("1"), QStringLiteral("8"), QStringLiteral("9"), QStringLiteral("1")}));
    QCOMPARE(db.scalar(QStringLiteral("select qbh from q_table where qnr='八'")).toInt(), 8);
    QCOMPARE(boxes.count(), 0); // adding a question shows no message
}

void TestQuestions::numberChecks_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("message"); // empty: accepted
    QTest::addColumn<int>("stored");
    const QString notInt = QStringLiteral("问题编号请输入整数!");
    const QString zero = QStringLiteral("问题编号不能为0");
    QTest::newRow("no text") << " \n "
                             << "3" << QStringLiteral("请输入问题内容!") << 0;
    QTest::newRow("no text nor number") << ""
                                        << "" << QStringLiteral("请输入问题内容!") << 0;
    QTest::newRow("no number") << "问"
                               << "  " << QStringLiteral("请输入问题编号!") << 0;
    QTest::newRow("letters") << "问"
                             << "abc" << notInt << 0;
    QTest::newRow("fraction") << "问"
                              << "1.5" << notInt << 0;
    QTest::newRow("inner blank") << "问"
                                 << "1 2" << notInt << 0;
    QTest::newRow("hex") << "问"
                         << "0x10" << notInt << 0;
    QTest::newRow("full-width digit") << "问"
                                      << "３" << notInt << 0;
    QTest::newRow("too large") << "问"
                               << "99999999999" << notInt << 0;
    QTest::newRow("0") << "问"
                       << "0" << zero << 0;
    QTest::newRow("-0") << "问"
                        << "-0" << zero << 0;
    QTest::newRow("+0") << "问"
                        << "+0" << zero << 0;
    QTest::newRow("000") << "问"
                         << "000" << zero << 0;
    QTest::newRow("negative") << "问"
                              << "-3" << QString() << -3;
    QTest::newRow("blanks around") << "  问\n"
                                   << " \t12 " << QString() << 12;
    QTest::newRow("leading zero and sign") << "问"
                                           << "+07" << QString() << 7;
}

void TestQuestions::numberChecks()
{
    QFETCH(QString, text);
    QFETCH(QString, number);
    QFETCH(QString, message);
    QFETCH(int, stored);
    tst::TestDb& db = *m_db;
    const qint64 a = tst::addProject(ADOcon(), QStringLiteral("甲"));
    const qint64 q = tst::addQuestion(ADOcon(), a, 1, QStringLiteral("原问题"));
    tst::MsgScript boxes;
    dt::Shown<Tfrmoptsel> w;

    // The add and the edit dialog make the same checks.
    bool focusOnNumber = false;
    QVERIFY(dt::withDialog<Tfrmaddoptsel>([&] { ctl<QPushButton>(w.get(), "Button1")->click(); },
                                          [&](Tfrmaddoptsel* d) {
                                              typeQuestion(d, "Edit1", text, number);
                                              focusOnNumber = d->focusWidget() == ctl<QLineEdit>(d, "Edit1");
                                              d->reject();
                                          }));
    if (message.isEmpty()) {
        QCOMPARE(boxes.count(), 0);
        QCOMPARE(db.scalar(QStringLiteral("select qbh from q_table where qid<>%1").arg(q)).toInt(), stored);
        QCOMPARE(db.scalar(QStringLiteral("select qnr from q_table where qid<>%1").arg(q)).toString(),
                 QStringLiteral("问"));
        // The log names the number as typed, blanks cut.
        QCOMPARE(dt::logTexts(db), QStringList{QStringLiteral("为项目:甲添加问题:") + number.trimmed()});
    } else {
        QCOMPARE(boxes.texts(), QStringList{message});
        QCOMPARE(db.count(QStringLiteral("q_table")), 1);
        if (message == QStringLiteral("问题编号请输入整数!"))
            QVERIFY(focusOnNumber);
    }

    boxes.clear();
    auto* g = ctl<TDBGrid>(w.get(), "DBGrid1");
    for (int r = 0; r < g->rowCount(); ++r)
        if (g->value(r, QStringLiteral("qid")).toLongLong() == q)
            g->setCurrentRowIndex(r);
    QVERIFY(dt::withDialog<Tfrmeditoptsel>([&] { ctl<QPushButton>(w.get(), "Button2")->click(); },
                                           [&](Tfrmeditoptsel* d) {
                                               // Opened on the selected question.
                                               QCOMPARE(ctl<QPlainTextEdit>(d, "Memo1")->toPlainText(),
                                                        QStringLiteral("原问题"));
                                               typeQuestion(d, "Edit2", text, number);
                                               if (d->isVisible())
                                                   d->reject();
                                           }));
    if (message.isEmpty()) {
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("保存成功!")});
        QCOMPARE(db.scalar(QStringLiteral("select qbh from q_table where qid=%1").arg(q)).toInt(), stored);
    } else {
        QCOMPARE(boxes.texts(), QStringList{message});
        QCOMPARE(db.scalar(QStringLiteral("select qnr from q_table where qid=%1").arg(q)).toString(),
                 QStringLiteral("原问题"));
    }
}

void TestQuestions::addKeepsEnteringOrCloses()
{
    tst::TestDb& db = *m_db;
    tst::addProject(ADOcon(), QStringLiteral("甲"));
    tst::MsgScript boxes;
    dt::Shown<Tfrmoptsel> w;
    auto* g = ctl<TDBGrid>(w.get(), "DBGrid1");

    QPointer<Tfrmaddoptsel> dialog;
    QString textAfter = QStringLiteral("x"), numberAfter;
    bool openAfterFirst = false;
    QVERIFY(dt::withDialog<Tfrmaddoptsel>([&] { ctl<QPushButton>(w.get(), "Button1")->click(); },
                                          [&](Tfrmaddoptsel* d) {
                                              dialog = d;
                                              QVERIFY(ctl<QCheckBox>(d, "CheckBox1")->isChecked());
                                              typeQuestion(d, "Edit1", QStringLiteral("您的年龄？\n请选择"),
                                                           QStringLiteral("1"));
                                              openAfterFirst = d->isVisible();
                                              textAfter = ctl<QPlainTextEdit>(d, "Memo1")->toPlainText();
                                              numberAfter = ctl<QLineEdit>(d, "Edit1")->text();
                                              ctl<QCheckBox>(d, "CheckBox1")->setChecked(false);
                                              typeQuestion(d, "Edit1", QStringLiteral("满意吗'\"?"), numberAfter);
                                          }));
    QVERIFY(openAfterFirst);
    QCOMPARE(textAfter, QString());
    QCOMPARE(numberAfter, QStringLiteral("2"));
    dt::flushDeletes();
    QVERIFY(dialog.isNull());
    QCOMPARE(boxes.count(), 0);
    QCOMPARE(g->rowCount(), 2);
    QCOMPARE(g->text(1, QStringLiteral("qnr")), QStringLiteral("满意吗'\"?"));
    QCOMPARE(g->text(0, QStringLiteral("qnr")), QStringLiteral("您的年龄？\n请选择"));
    QCOMPARE(dt::logTexts(db),
             (QStringList{QStringLiteral("为项目:甲添加问题:2"), QStringLiteral("为项目:甲添加问题:1")}));
}

void TestQuestions::addKeepsTheListFilter()
{
    tst::TestDb& db = *m_db;
    const qint64 a = tst::addProject(ADOcon(), QStringLiteral("甲"));
    tst::addProject(ADOcon(), QStringLiteral("乙"));
    tst::addQuestion(ADOcon(), a, 1, QStringLiteral("甲一"));
    tst::MsgScript boxes;
    dt::Shown<Tfrmoptsel> w;
    auto* g = ctl<TDBGrid>(w.get(), "DBGrid1");
    ctl<QComboBox>(w.get(), "ComboBox1")->setCurrentIndex(1); // 甲
    QCOMPARE(g->rowCount(), 1);

    QVERIFY(dt::withDialog<Tfrmaddoptsel>([&] { ctl<QPushButton>(w.get(), "Button1")->click(); },
                                          [&](Tfrmaddoptsel* d) {
                                              chooseProject(d, QStringLiteral("乙"));
                                              ctl<QCheckBox>(d, "CheckBox1")->setChecked(false);
                                              typeQuestion(d, "Edit1", QStringLiteral("乙一"), QStringLiteral("1"));
                                          }));
    QCOMPARE(db.count(QStringLiteral("q_table")), 2);
    QCOMPARE(g->rowCount(), 1); // still only 甲's questions
    QCOMPARE(g->text(0, QStringLiteral("qnr")), QStringLiteral("甲一"));
    QCOMPARE(ctl<QComboBox>(w.get(), "ComboBox1")->currentText(), QStringLiteral("甲"));
}

void TestQuestions::editSavesOnlyTheQuestion()
{
    tst::TestDb& db = *m_db;
    const qint64 a = tst::addProject(ADOcon(), QStringLiteral("甲"));
    tst::addQuestion(ADOcon(), a, 1, QStringLiteral("一"));
    const qint64 q2 = tst::addQuestion(ADOcon(), a, 2, QStringLiteral("二"));
    const qint64 q3 = tst::addQuestion(ADOcon(), a, 3, QStringLiteral("三"));
    tst::addOption(ADOcon(), q3, QStringLiteral("回到二"), 2);
    tst::MsgScript boxes;
    dt::Shown<Tfrmoptsel> w;
    auto* g = ctl<TDBGrid>(w.get(), "DBGrid1");
    g->setCurrentRowIndex(1);

    {
        // A save whose list cannot be read back changes nothing, as its message says.
        dt::FailWhere fail(QStringLiteral("from qview"));
        QVERIFY(dt::withDialog<Tfrmeditoptsel>(
            [&] { ctl<QPushButton>(w.get(), "Button2")->click(); },
            [&](Tfrmeditoptsel* d) { typeQuestion(d, "Edit2", QStringLiteral("改"), QStringLiteral("9")); }));
    }
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("操作数据库时出错，请检查网络连接!")});
    QCOMPARE(db.scalar(QStringLiteral("select qnr||qbh from q_table where qid=%1").arg(q2)).toString(),
             QStringLiteral("二2"));
    QCOMPARE(g->currentRowIndex(), 1);
    boxes.clear();

    const QString hostile = QStringLiteral("第'二'题\"; delete from q_table; --");
    QVERIFY(dt::withDialog<Tfrmeditoptsel>([&] { g->doubleClicked(g->currentIndex()); },
                                           [&](Tfrmeditoptsel* d) {
                                               auto* project = ctl<QLineEdit>(d, "Edit1");
                                               QCOMPARE(project->text(), QStringLiteral("甲"));
                                               QVERIFY(project->isReadOnly());
                                               QCOMPARE(ctl<QPlainTextEdit>(d, "Memo1")->toPlainText(),
                                                        QStringLiteral("二"));
                                               QCOMPARE(ctl<QLineEdit>(d, "Edit2")->text(), QStringLiteral("2"));
                                               typeQuestion(d, "Edit2", hostile, QStringLiteral("20"));
                                           }));
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("保存成功!")});
    QCOMPARE(db.scalar(QStringLiteral("select qnr from q_table where qid=%1").arg(q2)).toString(), hostile);
    QCOMPARE(db.scalar(QStringLiteral("select qbh from q_table where qid=%1").arg(q2)).toInt(), 20);
    QCOMPARE(db.count(QStringLiteral("q_table")), 3);
    // Options that jumped to the old number still do; nothing is logged.
    QCOMPARE(db.scalar(QStringLiteral("select gotoq from q_sel")).toInt(), 2);
    QCOMPARE(db.count(QStringLiteral("syslog")), 0);
    QCOMPARE(g->currentRowIndex(), 0);
    QCOMPARE(g->text(2, QStringLiteral("qnr")), hostile);
}

void TestQuestions::deleteKeepsOptionsAndLogs()
{
    tst::TestDb& db = *m_db;
    const qint64 a = tst::addProject(ADOcon(), QStringLiteral("甲"));
    tst::addQuestion(ADOcon(), a, 1, QStringLiteral("一"));
    const qint64 q2 = tst::addQuestion(ADOcon(), a, 2, QStringLiteral("二\n第二行"));
    tst::addOption(ADOcon(), q2, QStringLiteral("是"), 0);
    tst::MsgScript boxes;
    dt::Shown<Tfrmoptsel> w;
    auto* g = ctl<TDBGrid>(w.get(), "DBGrid1");
    auto* del = ctl<QPushButton>(w.get(), "Button3");
    g->setCurrentRowIndex(1);

    boxes.answer(msg::Answer::Cancel);
    del->click();
    QCOMPARE(boxes.boxes().last().caption, QStringLiteral("操作确认"));
    QCOMPARE(boxes.lastText(), QStringLiteral("您确定要删除该问题么?"));
    QCOMPARE(db.count(QStringLiteral("q_table")), 2);

    boxes.answer(msg::Answer::Ok);
    del->click();
    QCOMPARE(db.count(QStringLiteral("q_table"), QStringLiteral("qid=%1").arg(q2)), 0);
    QCOMPARE(db.count(QStringLiteral("q_sel")), 1);
    QCOMPARE(g->rowCount(), 1);
    QCOMPARE(g->currentRowIndex(), 0);
    QCOMPARE(dt::logTexts(db), QStringList{QStringLiteral("删除问题：二\n第二行(项目:甲)")});

    // A failing delete: the message, the question stays, no log row.
    {
        dt::FailWhere fail(QStringLiteral("delete"));
        boxes.answer(msg::Answer::Ok);
        del->click();
    }
    QCOMPARE(boxes.lastText(), QStringLiteral("操作数据库时出错，请检查网络连接!"));
    QCOMPARE(db.count(QStringLiteral("q_table")), 1);
    QCOMPARE(db.count(QStringLiteral("syslog")), 1);

    // With nothing listed, the buttons on a question do nothing.
    boxes.answer(msg::Answer::Ok);
    del->click();
    QCOMPARE(g->rowCount(), 0);
    boxes.clear();
    boxes.strict();
    for (const char* b : {"Button2", "Button3", "Button4"})
        ctl<QPushButton>(w.get(), b)->click();
    QCOMPARE(boxes.count(), 0);
}

void TestQuestions::openingFailureClosesTheWindow()
{
    tst::MsgScript boxes;
    std::optional<dt::FailWhere> fail(std::in_place, QStringLiteral("qview"));
    dt::Shown<Tfrmoptsel> w;
    fail.reset();
    QCOMPARE(boxes.texts(), QStringList{QStringLiteral("连接数据库时出错，请检查网络连接!")});
    QTRY_VERIFY(w.w.isNull());
}

TV_TEST_MAIN(TestQuestions)
#include "tst_questions.moc"
