#include "support/testmain.h"

#include "app/registerall.h"
#include "core/mainwindow.h"
#include "core/waitmsg.h"
#include "customers/frmadddata.h"
#include "db/dm.h"
#include "importtest.h"
#include "ops/customers/xls/xlsreader.h"
#include "support/msgscript.h"
#include "support/testdb.h"

#include <QComboBox>
#include <QFile>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>

using namespace imptest;

namespace {

const QString kDone = QStringLiteral("完成用户数据导入,共计处理%1条记录");
const QString kStopped = QStringLiteral("　　　用户中止数据导入！　　　");

QString rowText(tst::TestDb& db, const QString& column, const QString& where)
{
    return db.scalar(QStringLiteral("select %1 from yhda where %2").arg(column, where)).toString();
}

// Runs action at the pause of the import after `rows` rows (the progress bar stands at
// 20 + rows then); the import pauses after every row for this.
class AtPause : public QObject
{
public:
    AtPause(int rows, std::function<void()> action) : m_rows(rows), m_action(std::move(action))
    {
        m_timer.setInterval(0);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            TMsgFrm* wm = waitMsgWindow();
            if (m_fired || !wm || wm->ProgressBar->value() != 20 + m_rows)
                return;
            m_fired = true;
            m_label = wm->LblMsg->text();
            m_maximum = wm->ProgressBar->maximum();
            m_action();
        });
        m_timer.start();
    }
    bool fired() const { return m_fired; }
    QString label() const { return m_label; }
    int maximum() const { return m_maximum; }

private:
    int m_rows;
    std::function<void()> m_action;
    QTimer m_timer;
    bool m_fired = false;
    QString m_label;
    int m_maximum = 0;
};

} // namespace

class TestAddData : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        XlsReader::setFaultHook({});
        CloseWaitMsg();
    }

    void opensWithActiveProjectsAndBatchNumber()
    {
        tst::TestDb db;
        QVERIFY(db.ok());
        db.loginAdmin();
        tst::addProject(db.con(), QStringLiteral("旧项目"));
        tst::addProject(db.con(), QStringLiteral("停用项目"), QString(), 0);
        tst::addProject(db.con(), QStringLiteral("新项目"));
        {
            Window w;
            QCOMPARE(w->windowTitle(), QStringLiteral("客户数据导入"));
            QCOMPARE(ctl<QComboBox>(w, "ComboBox1")->count(), 0);
            QCOMPARE(ctl<QComboBox>(w, "ComboBox2")->count(), 2);
            QCOMPARE(ctl<QComboBox>(w, "ComboBox2")->itemText(0), QStringLiteral("新项目"));
            QCOMPARE(ctl<QComboBox>(w, "ComboBox2")->currentIndex(), 0);
            QCOMPARE(ctl<QComboBox>(w, "ComboBox3")->itemText(0), QStringLiteral("3"));
            QCOMPARE(ctl<QPushButton>(w, "Button1")->text(), QStringLiteral("确    定"));
            QCOMPARE(ctl<QPushButton>(w, "Button2")->text(), QStringLiteral("取   消"));
            QCOMPARE(frmadddata.data(), w.w.data());
            // The red note breaks only where it is told to, never inside a word.
            const auto* note = ctl<QLabel>(w, "Label5");
            QCOMPARE(note->text().split('\n').join(QString()),
                     QStringLiteral(
                         "注意：Excel文件格式应严格按照标准文件格式.前五列必须为：序号、姓名、区域、地址、电话号码，"
                         "且序号和电话号码不能为空，其他列可以为空，顺序可变。"));
            for (const QString& line : note->text().split('\n'))
                QVERIFY2(note->fontMetrics().horizontalAdvance(line) <= note->contentsRect().width(), qPrintable(line));
        }
        // Which batch number an opening takes is the operation's (tests/ops/customers).
    }

    void startChecksInOrder()
    {
        tst::TestDb db;
        QVERIFY(db.ok());
        db.loginAdmin();
        tst::MsgScript boxes;
        QTemporaryDir tmp;
        {
            Window w; // no active project at all
            ctl<QPushButton>(w, "Button1")->click();
            QCOMPARE(boxes.lastText(), QStringLiteral("请指定导入的项目"));
        }
        tst::addProject(db.con(), QStringLiteral("P"));
        Window w;
        ctl<QLineEdit>(w, "Edit1")->setText(QStringLiteral("  \t "));
        ctl<QPushButton>(w, "Button1")->click();
        QCOMPARE(boxes.lastText(), QStringLiteral("   请先选定作为数据源的Excel文档!    "));
        QCOMPARE(ctl<QLineEdit>(w, "Edit1")->text(), QString()); // trimmed and written back

        ctl<QLineEdit>(w, "Edit1")->setText(tmp.filePath(QStringLiteral("无此文件.xls")));
        ctl<QPushButton>(w, "Button1")->click();
        QCOMPARE(boxes.lastText(), QStringLiteral("   您输入的数据源文档不存在或者已经被删除!  "));
        ctl<QLineEdit>(w, "Edit1")->setText(tmp.path()); // a folder is no file
        ctl<QPushButton>(w, "Button1")->click();
        QCOMPARE(boxes.lastText(), QStringLiteral("   您输入的数据源文档不存在或者已经被删除!  "));

        const QString doc = tmp.filePath(QStringLiteral("five.doc"));
        QVERIFY(copyFixture(QStringLiteral("five.xls"), doc));
        QVERIFY(pick(w, doc)); // readable, but the name says otherwise
        ctl<QPushButton>(w, "Button1")->click();
        QCOMPARE(boxes.lastText(), QStringLiteral("   您输入的文档不是一个Excel文档。"));

        const QString text = tmp.filePath(QStringLiteral("notes.xls"));
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("序号,姓名\n1,张三\n");
        f.close();
        QVERIFY(!pick(w, text));
        ctl<QPushButton>(w, "Button1")->click();
        QCOMPARE(boxes.lastText(), QStringLiteral("数据表名不存在，请检查您输入的数据源文件是否是一个有效的Excel文档!"));
        QCOMPARE(db.count(QStringLiteral("yhda")), 0);
        QCOMPARE(db.count(QStringLiteral("syslog")), 0);
        QVERIFY(!waitMsgWindow());
        QCOMPARE(boxes.count(), 6);
    }

    void sheetListFollowsThePathField()
    {
        tst::TestDb db;
        QVERIFY(db.ok());
        db.loginAdmin();
        tst::addProject(db.con(), QStringLiteral("P"));
        Window w;
        QVERIFY(pick(w, fixture(QStringLiteral("extra.xls"))));
        QCOMPARE(ctl<QComboBox>(w, "ComboBox1")->count(), 2);
        QCOMPARE(ctl<QComboBox>(w, "ComboBox1")->itemText(0), QStringLiteral("名单"));
        QCOMPARE(ctl<QComboBox>(w, "ComboBox1")->itemText(1), QStringLiteral("第二页"));
        QCOMPARE(ctl<QComboBox>(w, "ComboBox1")->currentIndex(), 0);

        // Leaving the field with another existing workbook lists that one's sheets.
        ctl<QLineEdit>(w, "Edit1")->setText(QStringLiteral("  ") + fixture(QStringLiteral("five.xls")) + QStringLiteral(" "));
        QFocusEvent out(QEvent::FocusOut);
        QApplication::sendEvent(ctl<QLineEdit>(w, "Edit1"), &out);
        QCOMPARE(ctl<QComboBox>(w, "ComboBox1")->count(), 1);
        QCOMPARE(ctl<QComboBox>(w, "ComboBox1")->currentText(), QStringLiteral("客户"));
        // A missing file leaves the list alone; an unreadable one empties it, quietly.
        ctl<QLineEdit>(w, "Edit1")->setText(QStringLiteral("/nonexistent/x.xls"));
        QApplication::sendEvent(ctl<QLineEdit>(w, "Edit1"), &out);
        QCOMPARE(ctl<QComboBox>(w, "ComboBox1")->count(), 1);
        tst::MsgScript boxes;
        boxes.strict();
        ctl<QLineEdit>(w, "Edit1")->setText(QStringLiteral(TV_FIXTURES "/make_fixtures.py"));
        QApplication::sendEvent(ctl<QLineEdit>(w, "Edit1"), &out);
        QCOMPARE(ctl<QComboBox>(w, "ComboBox1")->count(), 0);
        QCOMPARE(boxes.count(), 0);
    }

    void importsFiveColumns()
    {
        tst::TestDb db;
        QVERIFY(db.ok());
        db.loginAs(QStringLiteral("imp"), QStringLiteral("导入员'甲"), QStringLiteral("管理员"));
        const int p = tst::addProject(db.con(), QStringLiteral("回访'项目"));
        tst::MsgScript boxes;
        Window w;
        QVERIFY(pick(w, fixture(QStringLiteral("five.xls"))));
        ctl<QPushButton>(w, "Button1")->click();
        QCOMPARE(boxes.texts(), QStringList{kDone.arg(3)});
        QVERIFY(!waitMsgWindow());
        // What the window passes on: the project, the first batch and the operator (the rows
        // themselves are the import's, tested there).
        QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("ywbh=%1 and pc=1 and drz='导入员''甲'").arg(p)), 3);
        QCOMPARE(db.scalar(QStringLiteral("select logcon from syslog")).toString(),
                 QStringLiteral("导入3条营销数据到项目:回访'项目"));
        QCOMPARE(ctl<QPushButton>(w, "Button2")->text(), QStringLiteral("取   消"));
        QVERIFY(ctl<QPushButton>(w, "Button1")->isEnabled());
        QVERIFY(ctl<QLineEdit>(w, "Edit1")->isEnabled());
    }

    // A .csv list shows the encoding it was found in, beside its one sheet; another one
    // chosen there is the one it is read in, and bytes that do not fit it import nothing.
    void importsCsvInTheEncodingShown()
    {
        Session session;
        QVERIFY(session.ok());
        tst::TestDb& db = session.db;
        QPointer<Tfrmadddata> w = session.window();
        auto* encoding = ctl<QComboBox>(w, "ComboBoxEncoding");
        QVERIFY(pick(w, fixture(QStringLiteral("five.xls"))));
        QVERIFY(encoding->isHidden()); // a workbook says its own
        QVERIFY(pick(w, fixture(QStringLiteral("lists_gb18030.csv"))));
        QCOMPARE(ctl<QComboBox>(w, "ComboBox1")->currentText(), QStringLiteral("lists_gb18030"));
        QVERIFY(!encoding->isHidden());
        QCOMPARE(ctl<QLabel>(w, "LabelEncoding")->text(), QStringLiteral("文件编码："));
        QCOMPARE(encoding->currentText(), QStringLiteral("GB18030"));

        encoding->setCurrentIndex(encoding->findText(QStringLiteral("UTF-8")));
        emit encoding->activated(encoding->currentIndex());
        QFocusEvent out(QEvent::FocusOut); // the same file listed again keeps the choice
        QApplication::sendEvent(ctl<QLineEdit>(w, "Edit1"), &out);
        QCOMPARE(encoding->currentText(), QStringLiteral("UTF-8"));
        ctl<QPushButton>(w, "Button1")->click();
        QCOMPARE(session.boxes.lastText(),
                 QStringLiteral("文件") + fixture(QStringLiteral("lists_gb18030.csv")) + QStringLiteral("格式无效!"));
        QCOMPARE(db.count(QStringLiteral("yhda")), 0);

        encoding->setCurrentIndex(encoding->findText(QStringLiteral("GB18030")));
        emit encoding->activated(encoding->currentIndex());
        ctl<QPushButton>(w, "Button1")->click();
        QCOMPARE(session.boxes.lastText(), kDone.arg(3));
        QCOMPARE(rowText(db, "yhxm", "xh=1"), QStringLiteral("张三"));
        QCOMPARE(rowText(db, "dhhm1", "xh=1"), QStringLiteral("13812345678"));
        QCOMPARE(rowText(db, "xxzl", "xh=2"),
                 QStringLiteral("性别:  女\r\n年龄:  41.5\r\n生日:  \r\n备注:  第一行\n第二行\r\n"));
    }

    void importsExtraColumnsAndSkipsRowsWithoutNumber()
    {
        Session session;
        QVERIFY(session.ok());
        tst::TestDb& db = session.db;
        tst::MsgScript& boxes = session.boxes;
        QPointer<Tfrmadddata> w = session.window();
        QVERIFY(pick(w, fixture(QStringLiteral("extra.xls")), QStringLiteral("名单")));
        ctl<QPushButton>(w, "Button1")->click();
        QCOMPARE(boxes.texts(), QStringList{kDone.arg(3)});
        // The rows as stored are the import's own test; the window's sheet and extra columns went in.
        QCOMPARE(rowText(db, "xxzl", "xh=1"),
                 QStringLiteral("性别:  男\r\n年龄:  35\r\n生日:  1990-05-17\r\n备注:  老客户\r\n"));

        // Another sheet of the same workbook, same opening: same batch; the same rows again
        // are imported again (no duplicate test).
        ctl<QComboBox>(w, "ComboBox1")->setCurrentIndex(1);
        ctl<QPushButton>(w, "Button1")->click();
        ctl<QComboBox>(w, "ComboBox1")->setCurrentIndex(0);
        ctl<QPushButton>(w, "Button1")->click();
        QCOMPARE(boxes.texts(), (QStringList{kDone.arg(3), kDone.arg(1), kDone.arg(3)}));
        QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("pc=1")), 7);
        QCOMPARE(rowText(db, "yhxm", "xh=7"), QStringLiteral("钱七"));
        QCOMPARE(db.count(QStringLiteral("syslog"), QStringLiteral("logcon='导入1条营销数据到项目:P'")), 1);
        // A new opening takes the next batch number.
        Window again;
        QVERIFY(pick(again, fixture(QStringLiteral("extra.xls")), QStringLiteral("名单")));
        ctl<QPushButton>(again, "Button1")->click();
        QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("pc=2")), 3);
    }

    void importsTextCellsHoldingEmptyStrings()
    {
        Session session;
        QVERIFY(session.ok());
        tst::TestDb& db = session.db;
        tst::MsgScript& boxes = session.boxes;
        QPointer<Tfrmadddata> w = session.window();
        QVERIFY(pick(w, fixture(QStringLiteral("emptytext.xls"))));
        QCOMPARE(ctl<QComboBox>(w, "ComboBox1")->count(), 2);
        ctl<QPushButton>(w, "Button1")->click();
        QCOMPARE(boxes.texts(), QStringList{kDone.arg(3)});
        // The empty cells are empty text, never null; everything else as written.
        QCOMPARE(db.count(QStringLiteral("yhda"), QStringLiteral("yhxm is null or dq is null or dz is null or "
                                                                   "dhhm1 is null")),
                 0);
        QCOMPARE(rowText(db, "yhxm||'|'||dq||'|'||dz||'|'||dhhm1", "xh=1"),
                 QStringLiteral("张三||人民路1号|13800138000"));
        QCOMPARE(rowText(db, "yhxm||'|'||dq||'|'||dz||'|'||dhhm1", "xh=2"), QStringLiteral("|西区||0755-1234567"));
        QCOMPARE(rowText(db, "yhxm||'|'||dq||'|'||dz||'|'||dhhm1", "xh=3"), QStringLiteral("王五|南区|中山路3号|"));
        QCOMPARE(rowText(db, "xxzl", "xh=1"), QStringLiteral("备注:  \r\n"));
        QString remark;
        for (int i = 0; i < 700; ++i)
            remark += QStringLiteral("长备注%1").arg(i, 4, 10, QLatin1Char('0'));
        QCOMPARE(rowText(db, "xxzl", "xh=2"), QStringLiteral("备注:  ") + remark + QStringLiteral("\r\n"));
        std::reverse(remark.begin(), remark.end());
        QCOMPARE(rowText(db, "xxzl", "xh=3"), QStringLiteral("备注:  ") + remark + QStringLiteral("\r\n"));
        // The sheet after the rewritten strings is found as well.
        ctl<QComboBox>(w, "ComboBox1")->setCurrentIndex(1);
        ctl<QPushButton>(w, "Button1")->click();
        QCOMPARE(boxes.lastText(), kDone.arg(1));
        QCOMPARE(rowText(db, "yhxm||'|'||dq||'|'||dz", "xh=7"), QStringLiteral("钱七||路7号"));
    }

    void headersInAnotherOrder()
    {
        Session session;
        QVERIFY(session.ok());
        tst::TestDb& db = session.db;
        tst::MsgScript& boxes = session.boxes;
        QPointer<Tfrmadddata> w = session.window();
        QTemporaryDir tmp;
        const QString upper = tmp.filePath(QStringLiteral("REORDERED.XLS"));
        QVERIFY(copyFixture(QStringLiteral("reordered.xls"), upper)); // any letter case of .xls
        QVERIFY(pick(w, upper));
        ctl<QPushButton>(w, "Button1")->click();
        QCOMPARE(boxes.texts(), QStringList{kDone.arg(2)});
        QCOMPARE(rowText(db, "yhxm", "xh=2"), QStringLiteral("乙"));
        QCOMPARE(rowText(db, "dq", "xh=2"), QStringLiteral("乙区"));
        QCOMPARE(rowText(db, "dz", "xh=2"), QStringLiteral("乙路2号"));
        QCOMPARE(rowText(db, "dhhm1", "xh=2"), QStringLiteral("13800000002"));
        // The extra information is taken by position: the sixth column on.
        QCOMPARE(rowText(db, "xxzl", "xh=2"), QStringLiteral("级别:  B\r\n"));
    }

    void missingHeaderOrDamagedFileIsInvalid()
    {
        Session session;
        QVERIFY(session.ok());
        tst::TestDb& db = session.db;
        tst::MsgScript& boxes = session.boxes;
        QPointer<Tfrmadddata> w = session.window();
        QVERIFY(pick(w, fixture(QStringLiteral("noheader.xls"))));
        ctl<QPushButton>(w, "Button1")->click();
        QCOMPARE(boxes.lastText(), QStringLiteral("文件") + fixture(QStringLiteral("noheader.xls")) +
                                       QStringLiteral("格式无效!"));

        // The file was a workbook when its sheets were listed, and is damaged by the start.
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("坏 文件's.xls"));
        QVERIFY(copyFixture(QStringLiteral("extra.xls"), path));
        QVERIFY(pick(w, path));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.resize(3000);
        f.close();
        ctl<QPushButton>(w, "Button1")->click();
        QCOMPARE(boxes.lastText(), QStringLiteral("文件") + path + QStringLiteral("格式无效!"));

        // ... or is no workbook at all any more.
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray(6000, '\0'));
        f.close();
        ctl<QPushButton>(w, "Button1")->click();
        QCOMPARE(boxes.lastText(), QStringLiteral("文件") + path + QStringLiteral("格式无效!"));
        QCOMPARE(boxes.count(), 3);
        QCOMPARE(db.count(QStringLiteral("yhda")), 0);
        QCOMPARE(db.count(QStringLiteral("syslog")), 0); // nothing logged
        QVERIFY(!waitMsgWindow());
        QVERIFY(ctl<QPushButton>(w, "Button1")->isEnabled());
    }

    void damagedBytesNeverCrash()
    {
        Session session;
        QVERIFY(session.ok());
        tst::MsgScript& boxes = session.boxes;
        QTemporaryDir tmp;
        QFile src(fixture(QStringLiteral("extra.xls")));
        QVERIFY(src.open(QIODevice::ReadOnly));
        // The second is read through a rewritten copy.
        QFile src2(fixture(QStringLiteral("emptytext.xls")));
        QVERIFY(src2.open(QIODevice::ReadOnly));
        const QByteArray goods[] = {src.readAll(), src2.readAll()};
        QPointer<Tfrmadddata> w = session.window();
        quint32 seed = 12345;
        auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
        for (int i = 0; i < 250; ++i) {
            const QByteArray& good = goods[i < 150 ? 0 : 1];
            QByteArray bad = good;
            for (int k = 0; k < 1 + i % 12; ++k)
                bad[int(next() % quint32(bad.size()))] = char(next() >> 16);
            const QString path = tmp.filePath(QStringLiteral("m%1.xls").arg(i));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(bad);
            f.close();
            boxes.clear();
            pick(w, path);
            ctl<QPushButton>(w, "Button1")->click();
            QVERIFY(!boxes.texts().isEmpty());
            QVERIFY(!waitMsgWindow());
            QVERIFY(ctl<QPushButton>(w, "Button1")->isEnabled());
        }
    }

    void nonIntegerNumberEndsTheImport()
    {
        Session session;
        QVERIFY(session.ok());
        tst::TestDb& db = session.db;
        tst::MsgScript& boxes = session.boxes;
        QPointer<Tfrmadddata> w = session.window();
        QVERIFY(pick(w, fixture(QStringLiteral("badxh.xls"))));
        ctl<QPushButton>(w, "Button1")->click();
        QCOMPARE(boxes.texts(), (QStringList{QStringLiteral("导入数据出错!"), kDone.arg(2)}));
        QCOMPARE(db.count(QStringLiteral("yhda")), 2);
        QCOMPARE(db.scalar(QStringLiteral("select logcon from syslog")).toString(),
                 QStringLiteral("导入2条营销数据到项目:P"));
        QVERIFY(!waitMsgWindow());
        QVERIFY(ctl<QPushButton>(w, "Button1")->isEnabled());
        QCOMPARE(ADOcon().transactionDepth(), 0);
    }

    void postingFailureKeepsEarlierRows()
    {
        Session session;
        QVERIFY(session.ok());
        tst::TestDb& db = session.db;
        tst::MsgScript& boxes = session.boxes;
        tst::addRefusal(ADOcon(), QStringLiteral("refuse"), QStringLiteral("before insert on yhda"),
                        QStringLiteral("new.xh=7"), QStringLiteral("disk full"));
        QPointer<Tfrmadddata> w = session.window();
        w->setPauseEvery(3, 0); // rows 4..6 are in an open batch when row 7 fails
        QVERIFY(pick(w, fixture(QStringLiteral("ten.xls"))));
        ctl<QPushButton>(w, "Button1")->click();
        QCOMPARE(boxes.texts(), (QStringList{QStringLiteral("导入数据出错!"), kDone.arg(6)}));
        QCOMPARE(db.count(QStringLiteral("yhda")), 6);
        QCOMPARE(db.count(QStringLiteral("syslog"), QStringLiteral("logcon='导入6条营销数据到项目:P'")), 1);
        QCOMPARE(ADOcon().transactionDepth(), 0);
    }

    void unreadableCellEndsTheImport()
    {
        Session session;
        QVERIFY(session.ok());
        tst::TestDb& db = session.db;
        tst::MsgScript& boxes = session.boxes;
        QPointer<Tfrmadddata> w = session.window();
        QVERIFY(pick(w, fixture(QStringLiteral("ten.xls"))));
        int cells = 0;
        XlsReader::setFaultHook([&cells](const char* op) {
            // the header row is read twice (check, then import), each data row is 5 cells:
            // fail inside the fifth data row
            if (qstrcmp(op, "cell") == 0 && ++cells == 2 * 5 + 4 * 5 + 3)
                throw XlsError(QStringLiteral("damaged record"), -26);
        });
        ctl<QPushButton>(w, "Button1")->click();
        QCOMPARE(boxes.texts(), (QStringList{QStringLiteral("导入数据出错!"), kDone.arg(4)}));
        QCOMPARE(db.count(QStringLiteral("yhda")), 4);
    }

    void sheetReadFailureAfterCheckIsReported()
    {
        Session session;
        QVERIFY(session.ok());
        tst::TestDb& db = session.db;
        tst::MsgScript& boxes = session.boxes;
        QPointer<Tfrmadddata> w = session.window();
        QVERIFY(pick(w, fixture(QStringLiteral("ten.xls"))));
        int sheets = 0;
        XlsReader::setFaultHook([&sheets](const char* op) {
            if (qstrcmp(op, "sheet") == 0 && ++sheets == 2) // the format check passes
                throw XlsError(QStringLiteral("read error"), -8);
        });
        ctl<QPushButton>(w, "Button1")->click();
        QCOMPARE(boxes.texts(), QStringList{QStringLiteral("读取数据表Sheet1时出错!")});
        QVERIFY(!waitMsgWindow());
        QCOMPARE(ctl<QPushButton>(w, "Button2")->text(), QStringLiteral("取   消"));
        QVERIFY(ctl<QPushButton>(w, "Button1")->isEnabled());
        QCOMPARE(db.count(QStringLiteral("yhda")), 0);
        QCOMPARE(db.count(QStringLiteral("syslog")), 0);
    }

    void stopAfterRowImportsOneMore()
    {
        Session session;
        QVERIFY(session.ok());
        tst::TestDb& db = session.db;
        tst::MsgScript& boxes = session.boxes;
        QPointer<Tfrmadddata> w = session.window();
        w->setPauseEvery(1, 0);
        QVERIFY(pick(w, fixture(QStringLiteral("ten.xls"))));
        QString during;
        boxes.answer(msg::Answer::Yes);
        AtPause pause(3, [&] {
            during = ctl<QPushButton>(w, "Button2")->text();
            QVERIFY(!ctl<QPushButton>(w, "Button1")->isEnabled());
            ctl<QPushButton>(w, "Button2")->click();
            QCOMPARE(ctl<QPushButton>(w, "Button2")->text(), QStringLiteral("取   消")); // at once
        });
        ctl<QPushButton>(w, "Button1")->click();
        QVERIFY(pause.fired());
        QCOMPARE(during, QStringLiteral("停　止"));
        QCOMPARE(pause.label(), QStringLiteral("正在导入营销数据表,共10条,已处理3条"));
        QCOMPARE(pause.maximum(), 30);
        QCOMPARE(boxes.count(), 2);
        QCOMPARE(boxes.boxes()[0].caption, QStringLiteral("中止确认"));
        QCOMPARE(boxes.boxes()[0].text, QStringLiteral("您确定要中止正在进行的数据导入么?"));
        QCOMPARE(boxes.boxes()[0].buttons, msg::Buttons::YesNo);
        QCOMPARE(boxes.lastText(), kStopped);
        QCOMPARE(db.count(QStringLiteral("yhda")), 4); // row 4 still came in
        QCOMPARE(db.scalar(QStringLiteral("select logcon from syslog")).toString(),
                 QStringLiteral("导入4条营销数据到业务:P"));
        QVERIFY(!waitMsgWindow());
        QCOMPARE(ctl<QPushButton>(w, "Button2")->text(), QStringLiteral("取   消"));
        QVERIFY(ctl<QPushButton>(w, "Button1")->isEnabled());
        QVERIFY(w); // the button did not close the window
    }

    void stopAnsweredNoOrAfterLastRow()
    {
        Session session;
        QVERIFY(session.ok());
        tst::TestDb& db = session.db;
        tst::MsgScript& boxes = session.boxes;
        QPointer<Tfrmadddata> w = session.window();
        w->setPauseEvery(1, 0);
        QVERIFY(pick(w, fixture(QStringLiteral("ten.xls"))));
        boxes.answer(msg::Answer::No);
        {
            AtPause pause(2, [&] { ctl<QPushButton>(w, "Button2")->click(); });
            ctl<QPushButton>(w, "Button1")->click();
            QVERIFY(pause.fired());
        }
        QCOMPARE(boxes.lastText(), kDone.arg(10));
        QCOMPARE(db.count(QStringLiteral("yhda")), 10);

        boxes.clear();
        boxes.answer(msg::Answer::Yes);
        {
            AtPause pause(10, [&] { ctl<QPushButton>(w, "Button2")->click(); });
            ctl<QPushButton>(w, "Button1")->click();
            QVERIFY(pause.fired());
        }
        QCOMPARE(boxes.lastText(), kDone.arg(10)); // the stop came too late to matter
        QCOMPARE(db.count(QStringLiteral("yhda")), 20);
        QCOMPARE(db.count(QStringLiteral("syslog"), QStringLiteral("logcon like '%业务%'")), 0);
    }

    void windowStaysWhileImporting()
    {
        Session session;
        QVERIFY(session.ok());
        tst::TestDb& db = session.db;
        tst::MsgScript& boxes = session.boxes;
        QPointer<Tfrmadddata> w = session.window();
        w->setPauseEvery(1, 0);
        QVERIFY(pick(w, fixture(QStringLiteral("ten.xls"))));
        bool closedDuringImport = true;
        bool closedAgain = true;
        boxes.answer(msg::Answer::Yes);
        AtPause pause(2, [&] {
            closedDuringImport = w->close(); // the close box: asks to stop, stays open
            closedAgain = w->close();        // stop confirmed but not yet noticed
            ctl<QPushButton>(w, "Button2")->click();             // reads 取消 now: still waits for the import
        });
        ctl<QPushButton>(w, "Button1")->click();
        QVERIFY(pause.fired());
        QVERIFY(!closedDuringImport);
        QVERIFY(!closedAgain);
        QCOMPARE(boxes.texts(), (QStringList{QStringLiteral("您确定要中止正在进行的数据导入么?"), kStopped}));
        QCOMPARE(db.count(QStringLiteral("yhda")), 3);
        // Once the import has ended, the window closes as asked.
        QTRY_VERIFY(w.isNull());
    }

    void fromTheMenuAndExitDuringImport()
    {
        tst::TestDb db;
        QVERIFY(db.ok());
        db.loginAdmin();
        tst::addProject(db.con(), QStringLiteral("P"));
        registerAllWindows();
        TfrmMain::setAutoLogin(false);
        TfrmMain main;
        main.show();
        main.applyGating();
        main.menuItem(QStringLiteral("客户数据导入"))->trigger();
        QPointer<Tfrmadddata> w = frmadddata;
        QVERIFY(w);
        QMdiSubWindow* sub = main.mdiArea()->subWindowList().value(0);
        QVERIFY(sub && sub->widget() == w);
        QVERIFY(!(sub->windowFlags() & Qt::WindowMaximizeButtonHint));
        w->setPauseEvery(1, 0);
        QVERIFY(pick(w, fixture(QStringLiteral("ten.xls"))));

        tst::MsgScript boxes;
        boxes.answer(msg::Answer::No).answer(msg::Answer::Yes);
        bool mainClosed = true;
        AtPause pause(5, [&] {
            sub->close();              // the close box: stop? No - goes on
            mainClosed = main.close(); // exit: stop? Yes - the program stays until it has stopped
        });
        ctl<QPushButton>(w, "Button1")->click();
        QVERIFY(pause.fired());
        QVERIFY(!mainClosed);
        QVERIFY(main.isVisible());
        QCOMPARE(boxes.count(), 3);
        QCOMPARE(boxes.lastText(), kStopped);
        QCOMPARE(db.count(QStringLiteral("yhda")), 6);
        QTRY_VERIFY(w.isNull());
        QTRY_COMPARE(main.mdiArea()->subWindowList().size(), 0);

        // Idle, the second button closes it, frame and all.
        main.openWindow(QStringLiteral("Tfrmadddata"));
        QVERIFY(frmadddata);
        ctl<QPushButton>(frmadddata, "Button2")->click();
        QTRY_COMPARE(main.mdiArea()->subWindowList().size(), 0);
        QTRY_VERIFY(frmadddata.isNull());
    }

    void closesWhenIdle()
    {
        tst::TestDb db;
        QVERIFY(db.ok());
        db.loginAdmin();
        Window w;
        ctl<QPushButton>(w, "Button2")->click();
        QTRY_VERIFY(w.w.isNull());
        Window closeBox; // the close box asks nothing either
        QVERIFY(closeBox->close());
        QTRY_VERIFY(closeBox.w.isNull());
    }
};

TV_TEST_MAIN(TestAddData)
#include "tst_adddata.moc"
