#ifndef GUI_WATERCOMPOSITION_H
#define GUI_WATERCOMPOSITION_H

#include "ui_gui_watercomposition.h"

#include <QWidget>

// The isotope composition of a buffer's water, in percent by volume. H2O is the
// share left over: the person edits D2O, D2O18 and H2O18, and each of those can
// grow only by what H2O still holds, so the four always add up to 100.
class GuiWaterComposition : public QWidget, public Ui_QtWaterComposition
{
    Q_OBJECT

public:
    explicit GuiWaterComposition(QWidget *parent = nullptr);
    ~GuiWaterComposition() override;

    void initialize();
    void createConnections();

    // Fractions of 1, not percent: pure water gives H2O() == 1.
    double D2O() const;
    double D2O18() const;
    double H2O() const;
    double H2O18() const;
    bool isPure() const;

    // All in percent. H2O follows from the other three.
    void setValues(double D2O, double D2O18, double H2O18, double H2O);
    void saveCurrentState();
    void restoreLastSavedState();
    void clear();

public slots:
    void onValueChanged(double);

signals:
    void sigValueChanged();

private:
    void showComposition(double d2o, double d2o18, double h2o18);
    void applyShareRule();

    // Percent, in the order D2O, D2O18, H2O18, H2O.
    double m_saved[4] = { 0.0, 0.0, 0.0, 100.0 };
};

#endif
