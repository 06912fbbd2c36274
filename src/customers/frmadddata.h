#pragma once

#include "core/windows.h"
#include "ops/customers/customerimport.h"
#include "ops/customers/sheetreader.h"

#include <QDateTime>
#include <QPointer>
#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// 客户数据导入: imports the rows of one sheet of a list (.xls or .xlsx workbook, .csv file) as
// customers of an active project. The import runs on the user-interface thread and lets input in between rows; the
// only input it acts on then is the stop button.
class Tfrmadddata : public TChildForm
{
    Q_OBJECT
public:
    explicit Tfrmadddata(QWidget* parent = nullptr);
    ~Tfrmadddata() override;

    bool FormCloseQuery() override;

    // How often the import lets input in: after `rows` rows, or when `ms` milliseconds have
    // passed since the last time (0 = no such limit). Input, the progress and the commit of
    // the rows so far all happen at these pauses.
    void setPauseEvery(int rows, int ms);
    // Called after each commit with the number of rows committed so far (the kill test).
    void setCommitObserver(std::function<void(int)> observer) { m_onCommit = std::move(observer); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* Label1;
    QLabel* Label2;
    QLineEdit* Edit1;     // data source file
    QPushButton* Button3; // "...."
    QLabel* Label3;
    QComboBox* ComboBox1; // sheet names
    QLabel* LabelEncoding;
    QComboBox* ComboBoxEncoding; // a .csv list's text encoding, shown for those only
    QLabel* Label4;
    QComboBox* ComboBox2; // active projects, newest first
    QComboBox* ComboBox3; // hidden: their numbers
    QLabel* Label5;       // the red note
    QPushButton* Button1; // "确    定"
    QPushButton* Button2; // "取   消" / "停　止"

    void FormCreate();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Edit1Exit();

    void listSheets(const QString& path);
    void openBook(const QString& path);
    void showEncoding();
    void runImport();
    void setImporting(bool on);
    void askStop();
    void closeWindow();
    std::unique_ptr<SheetReader> m_book;                      // the workbook connection
    struct BookStamp
    {
        QString path;
        qint64 size = -1;
        QDateTime modified;
        bool operator==(const BookStamp&) const = default;
    };
    BookStamp m_bookStamp; // the file m_book was opened from, as it was then
    QString m_encoding;                                       // chosen for a .csv list (empty: as found)
    QString m_encodingOf;                                     // the file it was chosen for
    std::unique_ptr<ops::customers::CustomerImport> m_import; // while an import runs
    qint64 m_pc = 1;
    bool m_importing = false;
    bool m_stopRequested = false;
    bool m_closeWhenDone = false;
    ops::customers::CustomerImport::Pacing m_pacing;
    std::function<void(int)> m_onCommit;
};

extern QPointer<Tfrmadddata> frmadddata;
