#pragma once

#include "core/windows.h"
#include "ops/visit/draw.h"

#include <QList>
#include <QPair>
#include <QPointer>
#include <optional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSqlQuery;
class QTimer;
class TClickLabel;
class TDBGrid;

// The telephone visit: the operator draws customers of a project one by one, reads the
// questionnaire with them and ends each call with one outcome.
class Tfrmuserhf : public TChildForm
{
    Q_OBJECT
public:
    explicit Tfrmuserhf(QWidget* parent = nullptr);

    // One question of the questionnaire with its answer options (text, jump).
    struct Question
    {
        QString qid;
        QString qbh;
        QString qnr;
        QList<QPair<QString, QString>> options;
    };
    enum class DrawBy { State, Number };

    // Customer conditions
    QGroupBox* GroupBox1;
    QComboBox* ComboBox1; // project names
    QComboBox* ComboBox2; // project numbers (hidden)
    QComboBox* ComboBox3; // handling state to draw
    QLineEdit* Edit1;     // a given number
    // Customer data
    QGroupBox* GroupBox2;
    QLabel* Label46; // name
    QLineEdit* Edit2; // number
    QLabel* Label4;  // address
    QLabel* Label7;  // area
    QLabel* Label17; // state when drawn
    QPlainTextEdit* Memo2; // details
    QPlainTextEdit* Memo3; // project prompt
    // Questionnaire
    QGroupBox* GroupBox3;
    QPlainTextEdit* Memo1; // question
    TClickLabel* Label19;  // previous question
    TClickLabel* Label20;  // next question
    QGroupBox* GroupBox4;
    QComboBox* ComboBox4; // answer options
    QComboBox* ComboBox5; // their jumps (hidden)
    QPlainTextEdit* Memo4; // remark
    // History
    QGroupBox* GroupBox5;
    TDBGrid* DBGrid1;
    // Buttons and counters
    QPushButton* Button1;
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button4;
    QPushButton* Button5;
    QPushButton* Button6;
    QPushButton* Button7;
    QPushButton* Button8;
    QPushButton* Button9;
    QLabel* Label40; // today's visits
    QLabel* Label41; // not yet handled
    QTimer* Timer1;

    int FElapsed = 0; // whole seconds since the customer was drawn
    QString FCurQid;
    QString FCurQbh;
    int FQCount = 0;
    QString FJg;

    void FormShow();
    bool FormCloseQuery() override;
    void ComboBox1Change();
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();
    void Button6Click();
    void Button7Click();
    void Button8Click();
    void Button9Click();
    void Label19Click();
    void Label20Click();
    void Timer1Timer();

    void LoadProjectTips();
    void RefreshCounters();
    void LoadFirstQuestion();
    void ShowQuestion(const Question& q);
    void DrawCustomer(DrawBy by);

    bool customerHeld() const { return m_held.has_value(); }
    qint64 heldCustomerId() const { return m_held ? m_held->id : -1; }
    int projectNumber() const;

protected:
    void showEvent(QShowEvent* e) override;

private:
    // An ending of the call: what is written, besides the history row.
    struct Ending
    {
        QString update;  // the customer record
        QString answer;  // answer row text
        QString history; // history row's handling result
        bool replaceAnswer = false;
        QString failure; // message when it cannot be written
    };

    void buildLayout();
    QWidget* buildConditions();
    QWidget* buildCustomer();
    QWidget* buildQuestionnaire();
    QWidget* buildButtons();

    void clearCustomerFields();
    void showCustomer(const std::optional<ops::visit::Customer>& c);
    void showEmptyHistory();
    QString remark() const;
    Question readQuestion(const QSqlQuery& row);
    std::optional<Question> findQuestion(const QString& jet);
    void stepQuestion(bool back);
    void outcome(const QString& word, const QString& failure);
    bool endCall(const Ending& e);
    void completeCall(const QString& answer);
    QString answerInsert(const QString& answer) const;

    std::optional<ops::visit::Customer> m_held;
    int m_projectIndex = -1;
    bool m_loadingProjects = false;
    bool m_shown = false;
};

extern QPointer<Tfrmuserhf> frmuserhf;
