#pragma once

#include "core/windows.h"
#include "ops/visit/call.h"

#include "phone/softphone.h"

#include <QPointer>
#include <functional>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
class TClickLabel;
class TDBGrid;

// The telephone visit: the operator draws customers of a project one by one, reads the
// questionnaire with them and ends each call with one outcome. The call itself (what is held,
// what is written) is ops::visit::Call; this window turns its controls into the call's
// operations and shows what comes back.
class Tfrmuserhf : public TChildForm
{
    Q_OBJECT
public:
    explicit Tfrmuserhf(QWidget* parent = nullptr);
    ~Tfrmuserhf() override;

    bool FormCloseQuery() override;

protected:
    void firstShow() override { FormShow(); }

private:
    enum class DrawBy { State, Number };

    bool customerHeld() const { return m_call.held(); }
    void buildLayout();
    QWidget* buildConditions();
    QWidget* buildCustomer();
    QWidget* buildQuestionnaire();
    QWidget* buildButtons();
    QWidget* buildCallBack(QWidget* parent);

    void FormShow();
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
    void TimerCallBacksTimer();

    void LoadProjectTips();
    void RefreshCounters();
    void LoadFirstQuestion();
    void ShowQuestion();
    void DrawCustomer(DrawBy by);
    void useChosenProject();

    void clearCustomerFields();
    void showCustomer(const std::optional<ops::visit::Customer>& c,
                      const std::optional<QDateTime>& resumes = std::nullopt);
    void showBooked(const std::optional<ops::visit::Customer>& c);
    std::optional<ops::visit::Booking> callBackBooking() const;
    void clearCallBack();
    void showEmptyHistory();
    QString remark() const;
    void stepQuestion(bool back);
    void outcome(const QString& word, const QString& failure);
    void completeCall(int option);
    bool showEnding(const std::function<ops::visit::Call::Next()>& end, const QString& failure);

    // The seat's telephone (userhf_phone.cpp); none of it exists when the seat has no account.
    void buildPhone(QGridLayout* into, int row);
    void showNumbers();
    void ButtonDialClick();
    void ButtonHangUpClick();
    void phoneStateChanged(phone::Softphone::State state);
    void phoneProblem(const QString& text);
    void callEnded(const phone::CallResult& result);
    void showCallTime();
    // Before an ending: the call on the line is hung up and what it measured goes with the ending.
    void hangUpFirst();
    void offerEnding(const phone::CallResult& result);

    // Customer conditions
    QGroupBox* GroupBox1;
    QComboBox* ComboBox1; // project names
    QComboBox* ComboBox2; // project numbers (hidden)
    QComboBox* ComboBox3; // handling state to draw
    QLineEdit* Edit1;     // a given number
    // Customer data
    QGroupBox* GroupBox2;
    QLabel* Label46;       // name
    QLineEdit* Edit2;      // number
    QLabel* Label4;        // address
    QLabel* Label7;        // area
    QLabel* Label17;       // state when drawn
    QLabel* LabelBooked;   // the call-back the customer was drawn for
    QPlainTextEdit* Memo2; // details
    QPlainTextEdit* Memo3; // project prompt
    // Questionnaire
    QGroupBox* GroupBox3;
    QPlainTextEdit* Memo1; // question
    TClickLabel* Label19;  // previous question
    TClickLabel* Label20;  // next question
    QGroupBox* GroupBox4;
    QComboBox* ComboBox4;  // answer options
    QPlainTextEdit* Memo4; // remark
    // History
    QGroupBox* GroupBox5;
    TDBGrid* DBGrid1;
    // Buttons and counters
    QPushButton* Button1; // draw a customer
    QPushButton* Button2;
    QPushButton* Button3;
    QPushButton* Button4;
    QPushButton* Button5; // no answer
    QPushButton* Button6;
    QPushButton* Button7;
    QPushButton* Button8;
    QPushButton* Button9;
    // A call-back at a time, booked with "下次联系"
    QDateTimeEdit* DateTimeCallBack; // blank: none
    QComboBox* ComboCallBackLength;  // the window's length in minutes
    QCheckBox* CheckOnlyMe;
    QLabel* Label40;           // today's visits
    QLabel* Label41;           // not yet handled
    QLabel* LabelDueCallBacks; // call-backs due that this operator may draw
    QTimer* Timer1;
    QTimer* TimerCallBacks; // looks for call-backs falling due while no customer is held
    // The telephone: dial the number chosen, the call's state and talk time, hang up.
    QPushButton* ButtonDial = nullptr;
    QPushButton* ButtonHangUp = nullptr;
    QComboBox* ComboDialNumber = nullptr;
    QLabel* LabelCallState = nullptr;
    QLabel* LabelCallTime = nullptr;
    QTimer* TimerCall = nullptr;

    QPointer<phone::Softphone> m_phone;
    qint64 m_dialledFor = -1;     // the customer the call on the line is for
    QString m_recording;          // where that call's recording goes, when the seat records
    bool m_endingHangsUp = false; // the call ends because an ending was chosen: nothing to offer
    ops::visit::Call m_call;
    int m_projectIndex = -1;
    bool m_loadingProjects = false;
};

extern QPointer<Tfrmuserhf> frmuserhf;
