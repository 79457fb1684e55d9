#include "gui/gui_valuesources.h"

#include "app/app_number.h"

#include <QAbstractButton>
#include <QLineEdit>

QAbstractButton *GuiValueSources::button(Source source) const
{
    switch (source) {
    case Source::Vbar:
        return m_vbar;
    case Source::Density:
        return m_density;
    case Source::Viscosity:
        return m_viscosity;
    case Source::MrMethod:
        return m_mrMethod;
    }
    return nullptr;
}

void GuiValueSources::choose(Source source, QAbstractButton *button)
{
    switch (source) {
    case Source::Vbar:
        m_vbar = button;
        break;
    case Source::Density:
        m_density = button;
        break;
    case Source::Viscosity:
        m_viscosity = button;
        break;
    case Source::MrMethod:
        m_mrMethod = button;
        break;
    }
}

void GuiValueSources::pressAgain(std::initializer_list<Source> sources) const
{
    for (Source source : sources) {
        if (QAbstractButton *chosen = button(source))
            chosen->setChecked(true);
    }
}

double GuiValueSources::valueAt20(const QLineEdit *field) const
{
    return m_valueAt20.contains(field) ? m_valueAt20.value(field) : AppNumber::valueOrZero(field->text());
}

void GuiValueSources::typed(const QObject *field)
{
    m_valueAt20.remove(field);
}

void GuiValueSources::setValueAt20(const QObject *field, double value)
{
    m_valueAt20.insert(field, value);
}

void GuiValueSources::written(const QObject *field)
{
    if (!m_correcting)
        m_valueAt20.remove(field);
}

void GuiValueSources::beginCorrection()
{
    m_correcting = true;
}

void GuiValueSources::endCorrection(const QHash<const QObject *, double> &bases)
{
    m_correcting = false;
    for (auto it = bases.cbegin(); it != bases.cend(); ++it)
        m_valueAt20.insert(it.key(), it.value());
}

const double *GuiValueSources::computedHydration() const
{
    return m_computedHydration ? &*m_computedHydration : nullptr;
}

bool GuiValueSources::offersComputedHydration() const
{
    return m_computedHydration && *m_computedHydration != 0.0;
}

bool GuiValueSources::holdComputedHydration(const double *value)
{
    const bool changed = !value != !m_computedHydration || (value && *value != *m_computedHydration);
    if (value)
        m_computedHydration = *value;
    else
        m_computedHydration.reset();
    return changed;
}
