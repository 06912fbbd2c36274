#include "customers/frmadddata.h"

#include "core/choices.h"
#include "core/filedlg.h"
#include "core/msg.h"
#include "core/pub.h"
#include "core/text.h"
#include "core/waitmsg.h"
#include "core/widgets.h"
#include "db/dm.h"
#include "db/error.h"
#include "ops/customers/csvreader.h"
#include "ops/customers/customerimport.h"
#include "ops/customers/sheetreader.h"
#include "ops/design/projects.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

QPointer<Tfrmadddata> frmadddata;

namespace {

const QString kOk = QStringLiteral("确    定");
const QString kCancel = QStringLiteral("取   消");
const QString kStop = QStringLiteral("停　止");

// What the application's general error report would show for an error no handler caught.
void reportError(const db::Error& e)
{
    msg::logFailure(e);
    msg::box(e.text(), msg::appTitle(), msg::Buttons::Ok, msg::Icon::Error);
}

} // namespace

Tfrmadddata::Tfrmadddata(QWidget* parent) : TChildForm(parent)
{
    frmadddata = this;
    setObjectName(QStringLiteral("frmadddata"));
    setWindowTitle(QStringLiteral("客户数据导入"));
    setFixedSize(440, 250);

    auto label = [this](const char* name, const QString& text, int x, int y, int w, int h) {
        auto* l = widgets::named(new QLabel(text, this), name);
        l->setGeometry(x, y, w, h);
        return l;
    };
    Label1 = label("Label1", QStringLiteral("本程序用来从Excel文档导入客户数据："), 16, 12, 400, 20);
    Label2 = label("Label2", QStringLiteral("数据源文件："), 24, 44, 84, 22);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(108, 44, 268, 22);
    Edit1->installEventFilter(this);
    Button3 = new QPushButton(QStringLiteral("...."), this);
    Button3->setObjectName(QStringLiteral("Button3"));
    Button3->setGeometry(380, 44, 36, 22);

    Label3 = label("Label3", QStringLiteral("数据表名："), 24, 76, 84, 22);
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName(QStringLiteral("ComboBox1"));
    ComboBox1->setGeometry(108, 76, 308, 22);
    // A .csv list says nothing of its encoding: the one the reader found is shown beside the
    // sheet, and another can be chosen.
    LabelEncoding = label("LabelEncoding", QStringLiteral("文件编码："), 260, 76, 70, 22);
    ComboBoxEncoding = new QComboBox(this);
    ComboBoxEncoding->setObjectName(QStringLiteral("ComboBoxEncoding"));
    ComboBoxEncoding->setGeometry(330, 76, 86, 22);
    ComboBoxEncoding->addItems(CsvReader::encodings());
    connect(ComboBoxEncoding, &QComboBox::activated, this, [this] { m_encoding = ComboBoxEncoding->currentText(); });
    showEncoding();

    Label4 = label("Label4", QStringLiteral("项目名称："), 24, 108, 84, 22);
    ComboBox2 = new QComboBox(this);
    ComboBox2->setObjectName(QStringLiteral("ComboBox2"));
    ComboBox2->setGeometry(108, 108, 308, 22);
    ComboBox3 = new QComboBox(this);
    ComboBox3->setObjectName(QStringLiteral("ComboBox3"));
    ComboBox3->setVisible(false);

    // Broken after its punctuation: left to itself the line would break inside a word ("姓|名").
    Label5 = label("Label5",
                   QStringLiteral("注意：Excel文件格式应严格按照标准文件格式.前五列必须为：\n"
                                  "序号、姓名、区域、地址、电话号码，且序号和电话号码不能为空，\n"
                                  "其他列可以为空，顺序可变。"),
                   24, 140, 392, 54);
    Label5->setWordWrap(true);
    Label5->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette red = Label5->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    Label5->setPalette(red);

    Button1 = new QPushButton(kOk, this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(112, 204, 96, 28);
    Button2 = new QPushButton(kCancel, this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Button2->setGeometry(232, 204, 96, 28);

    connect(Button1, &QPushButton::clicked, this, &Tfrmadddata::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &Tfrmadddata::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &Tfrmadddata::Button3Click);

    FormCreate();
}

Tfrmadddata::~Tfrmadddata() = default;

void Tfrmadddata::FormCreate()
{
    ComboBox1->clear();
    try {
        choices::loadProjects(ComboBox2, ComboBox3, ops::design::activeProjectChoicesQuery());
        if (ComboBox2->count() > 0)
            ComboBox2->setCurrentIndex(0);
        m_pc = ops::customers::nextBatchNumber(ADOcon());
    } catch (const db::Error& e) {
        reportError(e);
    }
}

void Tfrmadddata::setPauseEvery(int rows, int ms)
{
    m_pacing = {rows, ms};
}

bool Tfrmadddata::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Edit1 && event->type() == QEvent::FocusOut)
        Edit1Exit();
    return TChildForm::eventFilter(watched, event);
}

void Tfrmadddata::Edit1Exit()
{
    const QString path = text::trimmed(Edit1->text());
    if (!m_importing && !path.isEmpty() && QFileInfo(path).isFile())
        listSheets(path);
}

void Tfrmadddata::Button3Click()
{
    const QString path = filedlg::openFileName(this, QString(), QString(),
                                               QStringLiteral("公话数据Excel文档(*.xls);;"
                                                              "公话数据Excel 2007文档(*.xlsx);;"
                                                              "公话数据CSV文本(*.csv *.txt);;"
                                                              "全部公话数据文档(*.xls *.xlsx *.csv *.txt)"));
    if (path.isEmpty())
        return;
    Edit1->setText(path);
    listSheets(path);
}

void Tfrmadddata::listSheets(const QString& path)
{
    ComboBox1->clear();
    m_book.reset();
    // The encoding chosen stays while the same file is listed again (the path field left).
    if (path != m_encodingOf)
        m_encoding.clear();
    m_encodingOf = path;
    try {
        openBook(path);
        for (QString name : m_book->tableNames()) {
            if (name.endsWith(u'$'))
                name.chop(1);
            ComboBox1->addItem(name);
        }
        if (ComboBox1->count() > 0)
            ComboBox1->setCurrentIndex(0);
    } catch (const XlsError&) {
        // Not a list we can read: the list stays as it is; the start checks say why.
    }
    showEncoding();
}

// A workbook already open is read again only when it is another file or has changed since: the
// parse of a large .xls is most of its reading, and the import of each of its sheets would repeat it.
void Tfrmadddata::openBook(const QString& path)
{
    const QFileInfo file(path);
    const BookStamp stamp{file.absoluteFilePath(), file.size(), file.lastModified()};
    if (!m_book || !m_book->isOpen() || stamp != m_bookStamp) {
        m_book.reset();
        m_book = openSheetReader(path);
        m_bookStamp = stamp;
    }
    if (auto* csv = dynamic_cast<CsvReader*>(m_book.get()); csv && !m_encoding.isEmpty() && path == m_encodingOf)
        csv->setEncoding(m_encoding);
}

void Tfrmadddata::showEncoding()
{
    const auto* csv = dynamic_cast<const CsvReader*>(m_book.get());
    LabelEncoding->setVisible(csv != nullptr);
    ComboBoxEncoding->setVisible(csv != nullptr);
    ComboBox1->setFixedWidth(csv ? 148 : 308);
    if (csv)
        ComboBoxEncoding->setCurrentText(csv->encoding());
}

void Tfrmadddata::Button1Click()
{
    if (m_importing)
        return;
    if (ComboBox2->currentIndex() < 0 || ComboBox2->currentText().isEmpty()) {
        msg::ShowMessage(QStringLiteral("请指定导入的项目"));
        return;
    }
    const QString path = text::trimEdit(Edit1);
    if (path.isEmpty()) {
        msg::ShowMessage(QStringLiteral("   请先选定作为数据源的Excel文档!    "));
        return;
    }
    if (!QFileInfo(path).isFile()) {
        msg::ShowMessage(QStringLiteral("   您输入的数据源文档不存在或者已经被删除!  "));
        return;
    }
    static const QStringList kSuffixes{QStringLiteral("xls"), QStringLiteral("xlsx"), QStringLiteral("csv"),
                                       QStringLiteral("txt")};
    if (!kSuffixes.contains(QFileInfo(path).suffix().toLower())) {
        msg::ShowMessage(QStringLiteral("   您输入的文档不是一个Excel文档。"));
        return;
    }
    if (ComboBox1->count() == 0) {
        msg::ShowMessage(QStringLiteral("数据表名不存在，请检查您输入的数据源文件是否是一个有效的Excel文档!"));
        return;
    }

    m_stopRequested = false;
    setImporting(true);
    try {
        runImport();
    } catch (const db::Error& e) {
        CloseWaitMsg();
        reportError(e);
    } catch (const XlsError&) {
        // The reader's own text is for developers; the user gets the window's message.
        CloseWaitMsg();
        msg::ShowMessage(QStringLiteral("文件") + text::trimmed(Edit1->text()) + QStringLiteral("格式无效!"));
    }
    // The next start reads the file afresh anyway.
    if (m_book)
        m_book->close();
    setImporting(false);
    if (m_closeWhenDone)
        closeWindow();
}

void Tfrmadddata::closeWindow()
{
    widgets::closeWindow(this);
}

void Tfrmadddata::setImporting(bool on)
{
    m_importing = on;
    Button2->setText(on ? kStop : kCancel);
    Button1->setEnabled(!on);
    // The workbook is in use: nothing may switch it under the running import.
    for (QWidget* w : {static_cast<QWidget*>(Edit1), static_cast<QWidget*>(Button3), static_cast<QWidget*>(ComboBox1),
                       static_cast<QWidget*>(ComboBox2), static_cast<QWidget*>(ComboBoxEncoding)})
        w->setEnabled(!on);
}

void Tfrmadddata::runImport()
{
    using ops::customers::CustomerImport;
    const QString path = text::trimmed(Edit1->text());
    const QString sheet = ComboBox1->currentText();
    const QString project = ComboBox2->currentText();
    const int ywbh = choices::projectNumber(ComboBox2, ComboBox3);

    ShowWaitMsg();
    SetWaitMsgText(QStringLiteral("正在检查数据源文件的有效性...."));
    try {
        openBook(path);
        m_book->checkColumns(sheet, ops::customers::importColumns());
    } catch (const XlsError&) {
        CloseWaitMsg();
        msg::ShowMessage(QStringLiteral("文件") + path + QStringLiteral("格式无效!"));
        return;
    }

    int n = 0;
    try {
        m_book->selectSheet(sheet);
        n = m_book->rowCount();
        SetWaitMsgProgress(n + 20, 20);
        SetWaitMsgText(QStringLiteral("正在处理") + sheet + QStringLiteral("表...."));
        m_import =
            std::make_unique<CustomerImport>(ADOcon(), *m_book, ops::customers::ImportTarget{ywbh, m_pc, gTruename});
    } catch (const std::exception& e) {
        // Not reached by the format check: report it instead of leaving the window stuck.
        qCWarning(lcUi).noquote() << QString::fromLocal8Bit(e.what());
        CloseWaitMsg();
        msg::ShowMessage(QStringLiteral("读取数据表") + sheet + QStringLiteral("时出错!"));
        return;
    }
    m_import->setCommitObserver(m_onCommit);

    auto showProgress = [n](int count) {
        SetWaitMsgProgress(n + 20, 20 + count);
        SetWaitMsgText(QStringLiteral("正在导入营销数据表,共") + QString::number(n) + QStringLiteral("条,已处理") +
                       QString::number(count) + QStringLiteral("条"));
    };
    const CustomerImport::End end = m_import->run(m_pacing, [&] {
        showProgress(m_import->count());
        QCoreApplication::processEvents();
    });
    const int count = m_import->count();
    m_import.reset();

    if (end == CustomerImport::End::Stopped) {
        showProgress(count);
        msg::ShowMessage(QStringLiteral("　　　用户中止数据导入！　　　"));
        CloseWaitMsg();
        ops::customers::logImport(ADOcon(), pub::currentOperator(), count, project, true);
        return;
    }
    if (end == CustomerImport::End::Failed) {
        msg::ShowMessage(QStringLiteral("导入数据出错!"));
        CloseWaitMsg();
    } else {
        showProgress(count);
    }
    SetWaitMsgText(QStringLiteral("完成数据导入"));
    ops::customers::logImport(ADOcon(), pub::currentOperator(), count, project, false);
    msg::ShowMessage(QStringLiteral("完成用户数据导入,共计处理") + QString::number(count) + QStringLiteral("条记录"));
    CloseWaitMsg();
}

void Tfrmadddata::Button2Click()
{
    if (!m_importing) {
        closeWindow();
        return;
    }
    if (m_stopRequested) {
        // Reads "取   消" already, but the import has not stopped yet: close once it has.
        m_closeWhenDone = true;
        return;
    }
    askStop();
}

void Tfrmadddata::askStop()
{
    if (!msg::confirmYes(QStringLiteral("您确定要中止正在进行的数据导入么?"), QStringLiteral("中止确认")))
        return;
    Button2->setText(kCancel);
    m_stopRequested = true;
    if (m_import)
        m_import->requestStop();
}

bool Tfrmadddata::FormCloseQuery()
{
    if (!m_importing)
        return true;
    // The import still needs this window and its workbook: it closes once the import has ended.
    if (!m_stopRequested)
        askStop();
    if (m_stopRequested)
        m_closeWhenDone = true;
    return false;
}
