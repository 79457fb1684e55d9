#include "gui/gui_watercomposition.h"

#include <QSignalBlocker>
#include <algorithm>

GuiWaterComposition::GuiWaterComposition(QWidget *parent) : QWidget(parent)
{
    setupUi(this);
    initialize();
    createConnections();
}

GuiWaterComposition::~GuiWaterComposition() = default;

void GuiWaterComposition::initialize()
{
    clear();
}

void GuiWaterComposition::createConnections()
{
    const auto changed = qOverload<double>(&QDoubleSpinBox::valueChanged);
    connect(qtD2OBox, changed, this, &GuiWaterComposition::onValueChanged);
    connect(qtD2O18Box, changed, this, &GuiWaterComposition::onValueChanged);
    connect(qtH2O18Box, changed, this, &GuiWaterComposition::onValueChanged);
}

double GuiWaterComposition::D2O() const
{
    return qtD2OBox->value() / 100.0;
}

double GuiWaterComposition::D2O18() const
{
    return qtD2O18Box->value() / 100.0;
}

double GuiWaterComposition::H2O() const
{
    return qtH2OBox->value() / 100.0;
}

double GuiWaterComposition::H2O18() const
{
    return qtH2O18Box->value() / 100.0;
}

bool GuiWaterComposition::isPure() const
{
    return qtH2OBox->value() == 100.0;
}

void GuiWaterComposition::setValues(double D2O, double D2O18, double H2O18, double H2O)
{
    Q_UNUSED(H2O) // the share left over, whatever was passed
    showComposition(D2O, D2O18, H2O18);
}

void GuiWaterComposition::saveCurrentState()
{
    m_saved[0] = qtD2OBox->value();
    m_saved[1] = qtD2O18Box->value();
    m_saved[2] = qtH2O18Box->value();
    m_saved[3] = qtH2OBox->value();
}

void GuiWaterComposition::restoreLastSavedState()
{
    showComposition(m_saved[0], m_saved[1], m_saved[2]);
}

void GuiWaterComposition::clear()
{
    showComposition(0.0, 0.0, 0.0);
    m_saved[0] = m_saved[1] = m_saved[2] = 0.0;
    m_saved[3] = 100.0;
}

void GuiWaterComposition::onValueChanged(double)
{
    if (!sender())
        return;
    applyShareRule();
}

// A whole composition at once. Set box by box under the maxima of the
// composition shown before, 50 % D2O would be clipped while 95 % D2O18 still
// stands; so the maxima are lifted and the share rule runs once at the end.
void GuiWaterComposition::showComposition(double d2o, double d2o18, double h2o18)
{
    {
        const QSignalBlocker blockD2O(qtD2OBox), blockD2O18(qtD2O18Box), blockH2O18(qtH2O18Box);
        for (QDoubleSpinBox *box : { qtD2OBox, qtD2O18Box, qtH2O18Box }) {
            box->setMaximum(100.0);
        }
        qtD2OBox->setValue(d2o);
        qtD2O18Box->setValue(d2o18);
        qtH2O18Box->setValue(h2o18);
    }
    applyShareRule();
}

void GuiWaterComposition::applyShareRule()
{
    // A stored composition above 100 % leaves nothing to grow by, and no
    // maximum may fall under its own value (the box would clip it).
    const double left = std::max(0.0, 100.0 - qtD2OBox->value() - qtD2O18Box->value() - qtH2O18Box->value());
    {
        const QSignalBlocker blockD2O(qtD2OBox), blockD2O18(qtD2O18Box), blockH2O18(qtH2O18Box);
        for (QDoubleSpinBox *box : { qtD2OBox, qtD2O18Box, qtH2O18Box }) {
            box->setMaximum(box->value() + left);
        }
    }
    qtH2OBox->setValue(left);
    emit sigValueChanged();
}
