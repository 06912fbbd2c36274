#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QWidget>

class QChart;
class QChartView;
class QValueAxis;
class QLabel;
class QPushButton;
class QScrollArea;

// A count axis from 0 whose five steps are whole numbers of 1, 2 or 5 times a power of ten, up to
// at least top: nice numbers alone label a small count "0 0 0 1".
void setCountRange(QValueAxis* axis, qreal top);

// A chart under a statistics grid, with a button that saves it as a PNG picture. The chart
// grows with the number of bars and scrolls, so that many operators or answers stay legible;
// long names are shortened on the axis and shown whole when the pointer rests on a bar.
class TChartPanel : public QWidget
{
    Q_OBJECT
public:
    explicit TChartPanel(const QString& suggestedFile, QWidget* parent = nullptr);

    QLabel* LabelTitle; // stays in view while the chart scrolls
    QChartView* ChartView1;
    QPushButton* Button3; // 保存图表

    QChart* chart() const;
    QString title() const;
    // Saves the chart as it is now; false when the file could not be written.
    bool savePng(const QString& path) const;

public slots:
    void Button3Click();

protected:
    // count bars along the axis, each at least perBar pixels; vertical = bars stand side by side.
    void fitTo(int count, int perBar, bool sideBySide);
    void setTitle(const QString& title);
    static QString shortName(const QString& name, int maxChars);
    bool eventFilter(QObject* o, QEvent* e) override;

private:
    QScrollArea* m_scroll;
    QString m_suggested;
    int m_count = 0;
    int m_perBar = 0;
    bool m_sideBySide = true;
};

// One operator's row of the result statistics.
struct ResultFigures
{
    QString slz;
    int endings[7] = {}; // in the order of TResultChart::endings()
    double rate = 0;      // success rate in percent
};

// One stacked bar per operator with the seven endings, and the operators' success rates.
class TResultChart : public TChartPanel
{
    Q_OBJECT
public:
    explicit TResultChart(QWidget* parent = nullptr);
    // Titles of the seven endings and the grid fields they come from.
    static QStringList endings();
    static QStringList endingFields();
    void setFigures(const QList<ResultFigures>& rows);
};

// The answers given to one question, one bar per answer.
class TAnswerChart : public TChartPanel
{
    Q_OBJECT
public:
    explicit TAnswerChart(QWidget* parent = nullptr);
    void setAnswers(const QString& question, const QStringList& answers, const QList<int>& counts);
};
