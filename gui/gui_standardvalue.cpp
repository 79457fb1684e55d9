#include "gui/gui_standardvalue.h"

#include "app/app_calculationcontract.h"
#include "app/app_log.h"
#include "app/app_number.h"
#include "app/app_plugin.h"
#include "app/app_scriptobject.h"
#include "gui/gui_figurewidth.h"
#include "gui/gui_units.h"

#include <QMessageBox>

namespace {

bool holdsNumber(const QLineEdit *field)
{
    double value = 0.0;
    return AppNumber::fromText(field->text(), &value);
}

} // namespace

GuiStandardValue::GuiStandardValue(QWidget *window) : QDialog(window), m_calculations(nullptr), m_window(window)
{
    setupUi(this);
    GuiFigureWidth::reserveFields(this);
    connect(buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
    qtTemperature->setFormat('f', 2);
}

double GuiStandardValue::value()
{
    // A value set whole keeps its digits while the field still shows it.
    if (m_setValue && qtValue->text() == m_setValueText)
        return *m_setValue;
    return AppNumber::valueOrZero(qtValue->text());
}

double GuiStandardValue::temperature()
{
    return AppNumber::valueOrZero(qtTemperature->text());
}

void GuiStandardValue::setValue(double const &value)
{
    qtValue->setText(AppNumber::toText(value));
    m_setValue = value;
    m_setValueText = qtValue->text();
}

void GuiStandardValue::setTemperature(double const &temperature)
{
    qtTemperature->setText(AppNumber::toText(temperature));
}

void GuiStandardValue::setCalculations(AppPlugin *module)
{
    m_calculations = module;
}

int GuiStandardValue::execute()
{
    const int result = exec();
    if (result == QDialog::Accepted)
        calculate();
    return result;
}

void GuiStandardValue::accept()
{
    if (!holdsNumber(qtValue) || !holdsNumber(qtTemperature)) {
        QMessageBox::warning(this, QStringLiteral("Vornakel"),
            QStringLiteral("Please enter the value and the temperature at which it was measured."));
        (holdsNumber(qtValue) ? qtTemperature : qtValue)->setFocus(Qt::OtherFocusReason);
        return;
    }
    QDialog::accept();
}

AppCalculationContract::Water GuiStandardValue::water() const
{
    return m_water ? m_water() : AppCalculationContract::Water();
}

template<std::size_t N, typename... Values>
void GuiStandardValue::runConversion(const AppCalculation<N> &function, const Values &...values)
{
    m_valueAt20.reset();
    if (!m_calculations) {
        emit sigLog(QStringLiteral("No calculation module for %1").arg(function.name()), AppLog::Warning);
        return;
    }
    AppScriptList results;
    results.add(function.call(m_calculations, QVariant(values)...));
    m_valueAt20 = AppCalculationContract::figureOf(results.first());

    blockSignals(true);
    AppScriptObject::populateForm(results, m_window);
    blockSignals(false);
}

GuiViscosityStandardValue::GuiViscosityStandardValue(QWidget *window) : GuiStandardValue(window)
{
    qtHeader->setText(QStringLiteral("Enter Viscosity"));
    qtValue->setFormat('E', 4);
    qtValue->setToolTip(QLatin1String(GuiUnits::viscosityTip));
}

void GuiViscosityStandardValue::accept()
{
    // Asked before the checks of every kind, so that a value converted here is the one taken.
    GuiUnits::askCentipoise(qtValue, this);
    GuiStandardValue::accept();
}

void GuiViscosityStandardValue::calculate()
{
    const AppCalculationContract::Water in = water();
    runConversion(AppCalculationContract::viscosityTo20, temperature(), value(), in.d2o, in.d2o18, in.h2o18);
}

GuiDensityStandardValue::GuiDensityStandardValue(QWidget *window) : GuiStandardValue(window)
{
    qtHeader->setText(QStringLiteral("Enter Density"));
    qtValue->setFormat('f', 5);
    qtValue->setToolTip(QLatin1String(GuiUnits::densityTip));
}

void GuiDensityStandardValue::calculate()
{
    const AppCalculationContract::Water in = water();
    runConversion(AppCalculationContract::densityTo20, temperature(), value(), in.d2o, in.d2o18, in.h2o18);
}

GuiVbarStandardValue::GuiVbarStandardValue(QWidget *window) : GuiStandardValue(window)
{
    qtHeader->setText(QStringLiteral("Enter Partial Specific Volume"));
    qtValue->setFormat('f', 4);
}

void GuiVbarStandardValue::calculate()
{
    // The module expects the vbar first, unlike the other two conversions.
    runConversion(AppCalculationContract::vbarTo20, value(), temperature());
}

GuiS20W_KStandardValue::GuiS20W_KStandardValue(QWidget *window) : GuiStandardValue(window)
{
    qtHeader->setText(QStringLiteral(
        "S20w is the sedimentation coefficient from experiment corrected to 20 degrees C and water. The correction "
        "may be large if the viscosity, density, or vbar due to non-covalent conjugation of buffer components is "
        "significant. The concentration correction is performed if you enter a protein concentration and includes "
        "an empirical coefficient that out to be 0.009 only for roughly spherical globular proteins. You may enter "
        "another coefficient, k, below."));
}

void GuiS20W_KStandardValue::calculate() { }
