#ifndef GUI_VALUESOURCES_H
#define GUI_VALUESOURCES_H

#include <QHash>

#include <initializer_list>
#include <optional>

class QAbstractButton;
class QLineEdit;
class QObject;

// Where the main window's experiment values come from, and what their
// temperature correction starts from: the button that last chose each source
// (pressed again when a page or a standard-value dialog is left), the 20 C
// base of every temperature-corrected field, and the computed hydration of the
// sample shown. The window holds one by value; it owns none of the widgets.
class GuiValueSources
{
public:
    enum class Source { Vbar, Density, Viscosity, MrMethod };

    // The button that last chose the source, or null.
    QAbstractButton *button(Source source) const;
    void choose(Source source, QAbstractButton *button);
    // Presses the remembered buttons again, in the order given.
    void pressAgain(std::initializer_list<Source> sources) const;

    // The value a temperature-corrected field holds at 20 C: the base every
    // correction starts from, so that corrections never compound; a field
    // without one is read as it stands.
    double valueAt20(const QLineEdit *field) const;
    // A value typed into the field is its new base.
    void typed(const QObject *field);
    // A base known with more digits than the field shows.
    void setValueAt20(const QObject *field, double value);
    // So is a value written by anything but the temperature correction.
    void written(const QObject *field);
    // The correction writes its figures between these two and keeps the bases
    // it started from.
    void beginCorrection();
    void endCorrection(const QHash<const QObject *, double> &bases);

    // The computed hydration (g/g) of the sample shown, or null.
    const double *computedHydration() const;
    // "Use computed delta1" is offered only for a computed hydration that is not 0.
    bool offersComputedHydration() const;
    // Holds the value (none for null); true when that changes what was held.
    bool holdComputedHydration(const double *value);

private:
    QAbstractButton *m_vbar = nullptr;
    QAbstractButton *m_density = nullptr;
    QAbstractButton *m_viscosity = nullptr;
    QAbstractButton *m_mrMethod = nullptr;
    QHash<const QObject *, double> m_valueAt20;
    bool m_correcting = false;
    std::optional<double> m_computedHydration;
};

#endif
