#ifndef GUI_GRAPHEROPTIONS_H
#define GUI_GRAPHEROPTIONS_H

#include "ui_gui_grapheroptions.h"

#include <QColor>
#include <QDialog>
#include <QHash>
#include <QString>
#include <QVariant>

class QAbstractButton;
class QPushButton;
class QMoveEvent;
class QResizeEvent;

// The options dialog of one plot window. It never draws: on Ok or Apply it
// records its widgets and announces the change, and the plot window reads the
// widgets (by object name) and the accessors below.
class GuiGrapherOptions : public QDialog, public Ui::QtGrapherOptions
{
    Q_OBJECT

public:
    static const int SeriesCount = 14;

    // The codes the items of an axis's range, type and label format boxes carry.
    enum class ScaleRange { Auto = 0, Prescale = 1, Manual = 2 };
    enum class ScaleType { Linear = 0, Log10 = 1, NaturalLog = 2 };
    enum class LabelFormat { FixedDecimals = 0, Scientific = 1 };
    // The legend position box's items carry a QwtPlot::LegendPosition.

    explicit GuiGrapherOptions(QWidget *parent = nullptr);
    ~GuiGrapherOptions() override;

    void showCurveAppearanceTab();
    void showTitleTab();
    void showLegendTab();
    void showAxesTab();

    // Setters for the plot window and its creators: each writes the widget and the
    // saved option state, so a Cancel keeps what the caller set.
    void setLegendText(int series, QString text);
    void setXAxisTitle(QString title);
    void setYAxisTitle(QString title);
    void setHAxisTicGrid(bool on);
    void setVAxisTicGrid(bool on);
    void setHAxisScaleMin(int v);
    void setHAxisScaleMax(int v);
    void setVAxisScaleMin(int v);
    void setVAxisScaleMax(int v);
    void setHAxisTicInterval(int v);
    void setVAxisTicInterval(int v);
    void setHAxisScaleRange(ScaleRange range);
    void setVAxisScaleRange(ScaleRange range);

    // Series 1 to 14; a missing series gives -1, black and a null string.
    int curveSymbol(int series) const;
    QColor curveColor(int series) const;
    QString legendLabel(int series) const;

    void saveState();
    void reset();
    const QHash<QString, QVariant> &savedState() const { return m_state; }

signals:
    void sigSettingsChanged();

public slots:
    void onShowColorPicker();
    void onCancelTriggered();
    void onOkayTriggered();
    void onDialogButtonClicked(QAbstractButton *button);
    void onHAxisScaleRangeChanged(QString text);
    void onVAxisScaleRangeChanged(QString text);
    void onHAxisTicMarkToggled();
    void onVAxisTicMarkToggled();
    void resizeEvent(QResizeEvent *event) override;

protected:
    void moveEvent(QMoveEvent *event) override;

private:
    void initialize();
    void createConnections();
    QList<QPushButton *> colorButtons() const;
    QWidget *optionWidget(const QString &objectName) const;
    void recordWidget(const QString &objectName);
    void restoreWidget(const QString &objectName);
    void setScaleValue(QDoubleSpinBox *box, int v);
    void setScaleRange(QComboBox *box, ScaleRange range);
    // Every option widget, in the order it is recorded and put back.
    QStringList optionNames() const;

    QHash<QString, QVariant> m_state;
};

#endif
