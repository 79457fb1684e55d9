#ifndef GUI_STANDARDVALUE_H
#define GUI_STANDARDVALUE_H

#include "ui_gui_standardvalue.h"

#include <QDialog>

#include <cstddef>
#include <optional>

class AppPlugin;
template<std::size_t N> struct AppCalculation;

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
    // Runs one module function with its two inputs (value and temperature in
    // the function's order) and writes its results into the main window.
    void runConversion(const AppCalculation<2> &function, double first, double second);

    AppPlugin *m_calculations;
    QWidget *m_window;

private:
    // The value last set, whole, and the text the field showed for it.
    std::optional<double> m_setValue;
    QString m_setValueText;
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
