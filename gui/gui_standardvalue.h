#ifndef GUI_STANDARDVALUE_H
#define GUI_STANDARDVALUE_H

#include "app/app_calculationcontract.h"
#include "ui_gui_standardvalue.h"

#include <QDialog>

#include <functional>
#include <optional>

class AppPlugin;

// A value measured at some temperature (vbar, density or viscosity), which the
// calculation module converts to the program's working temperature; the
// converted results are written straight into the main window's fields.
class GuiStandardValue : public QDialog, public Ui::QtStandardValue
{
    Q_OBJECT

public:
    // window: the main window; it is the dialog's parent and the form that
    // receives the module's results.
    explicit GuiStandardValue(QWidget *window);

    int execute();
    void setCalculations(AppPlugin *module);
    // The water of the solvent a density or viscosity belongs to, asked at
    // each conversion: its figures are carried to 20 C in that water.
    void setWaterSource(const std::function<AppCalculationContract::Water()> &water) { m_water = water; }
    // The last conversion's value at 20 C, every digit the module gave (its
    // field shows only as many as its format); none when it gave none.
    std::optional<double> valueAt20() const { return m_valueAt20; }

signals:
    void sigLog(QString message, int logLevel);

public slots:
    virtual double value();
    virtual double temperature();
    virtual void setValue(double const &value);
    virtual void setTemperature(double const &temperature);
    virtual void calculate() = 0;

    // OK is taken only when both fields hold numbers: a blank would reach the
    // module as 0 and put a figure computed from nothing into the main window.
    void accept() override;

protected:
    // Runs one module function with its inputs (value and temperature in the
    // function's order, then the water where it takes one) and writes its
    // results into the main window.
    template<std::size_t N, typename... Values>
    void runConversion(const AppCalculation<N> &function, const Values &...values);
    AppCalculationContract::Water water() const;

    AppPlugin *m_calculations;
    QWidget *m_window;

private:
    // The value last set, whole, and the text the field showed for it.
    std::optional<double> m_setValue;
    QString m_setValueText;
    std::function<AppCalculationContract::Water()> m_water;
    std::optional<double> m_valueAt20;
};

class GuiViscosityStandardValue : public GuiStandardValue
{
    Q_OBJECT

public:
    explicit GuiViscosityStandardValue(QWidget *window);

public slots:
    void calculate() override;
    // A value of 0.5 P or more is first asked about: was it meant in centipoise?
    void accept() override;
};

class GuiDensityStandardValue : public GuiStandardValue
{
    Q_OBJECT

public:
    explicit GuiDensityStandardValue(QWidget *window);

public slots:
    void calculate() override;
};

class GuiVbarStandardValue : public GuiStandardValue
{
    Q_OBJECT

public:
    explicit GuiVbarStandardValue(QWidget *window);

public slots:
    void calculate() override;
};

// Explains s20,w and its concentration coefficient; computes nothing and is
// not created by the program.
class GuiS20W_KStandardValue : public GuiStandardValue
{
    Q_OBJECT

public:
    explicit GuiS20W_KStandardValue(QWidget *window);

public slots:
    void calculate() override;
};

#endif
