#ifndef APP_CALCULATIONCONTRACT_H
#define APP_CALCULATIONCONTRACT_H

#include "app/app_plugin.h"
#include "app/app_scriptlist.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "app/app_number.h"

#include <array>
#include <cstddef>
#include <optional>

// One function of the calculation module "MainScreen" and the names of its
// inputs in the order the windows send them. The module reads its inputs by
// name, so a name written differently here and there would silently turn into
// a missing input: every caller and the module test build their inputs from
// these entries, and a call with the wrong number of values does not compile.
template<std::size_t N> struct AppCalculation
{
    const char *function;
    std::array<const char *, N> names;

    QString name() const { return QString::fromLatin1(function); }
    QStringList inputNames() const
    {
        QStringList out;
        for (const char *input : names)
            out << QString::fromLatin1(input);
        return out;
    }
    // The inputs, one value per name in order, as plain named nodes.
    template<typename... Values> AppScriptList inputs(const Values &...values) const
    {
        static_assert(sizeof...(Values) == N, "one value per input of the calculation");
        AppScriptList list;
        std::size_t i = 0;
        (list.add(QString::fromLatin1(names[i++]), QVariant(values)), ...);
        return list;
    }
    // The module's answer (the caller owns it), or null without a module.
    template<typename... Values> AppScriptObject *call(AppPlugin *module, const Values &...values) const
    {
        if (!module)
            return nullptr;
        const AppScriptList list = inputs(values...);
        return module->execOne(name(), list);
    }
};

template<typename... Names>
constexpr AppCalculation<sizeof...(Names)> appCalculation(const char *function, Names... names)
{
    return { function, { { names... } } };
}

namespace AppCalculationContract {

// The water of a buffer: the shares of D2O, D2-18O and H2-18O (fractions of 1, H2O
// the rest), in which the buffer's figures are carried between temperatures.
struct Water
{
    double d2o = 0, d2o18 = 0, h2o18 = 0;
    bool isLight() const { return d2o == 0 && d2o18 == 0 && h2o18 == 0; }
    bool operator==(const Water &other) const
    {
        return d2o == other.d2o && d2o18 == other.d2o18 && h2o18 == other.h2o18;
    }
};

// Experiment tab: equilibrium figures.
// The anhydrous radius is the dry particle's at 20 C: the vbar is sent with the
// temperature it holds its value at, and the composition's undenatured vbar ("" for none).
inline constexpr auto calculateRo = appCalculation("calculateRo", "Mr", "Vbar", "EquilibriumTemp", "UnDenaturedVbar");
inline constexpr auto calculateRp = appCalculation("calculateRp", "Mr", "Vbar");
inline constexpr auto calculateMbDirectly = appCalculation("calculateMbDirectly", "Mr", "Vbar", "Density");
inline constexpr auto calculateSigmaFromMr
    = appCalculation("calculateSigmaFromMr", "EquilibriumTemp", "RPM", "Mr", "Vbar", "Density");
inline constexpr auto calculateMbFromSigma = appCalculation("calculateMbFromSigma", "EquilibriumTemp", "Sigma", "RPM");
inline constexpr auto calculateMr = appCalculation("calculateMr", "EquilibriumTemp", "Sigma", "RPM", "Vbar", "Density");
inline constexpr auto calculationsFromMr = appCalculation(
    "calculationsFromMr", "EquilibriumTemp", "RPM", "Mr", "Vbar", "Density", "tellerMethod", "UnDenaturedVbar");

// Experiment tab: sedimentation coefficient, plain and concentration-corrected.
// "D2O", "D2O18" and "H2O18" are the buffer's water (fractions of 1, all 0 for
// light water), in which the buffer's figures are carried to the velocity temperature.
inline constexpr auto calculateS20W = appCalculation("calculateS20W", "EquilibriumTemp", "VelocityTemp", "S", "Vbar20",
    "Viscosity", "Vbar", "Density", "aVbar", "vbarwater", "D2O", "D2O18", "H2O18");
inline constexpr auto calculateSo20W = appCalculation("calculateSo20W", "EquilibriumTemp", "VelocityTemp", "S",
    "Vbar20", "Viscosity", "Vbar", "Density", "aVbar", "vbarwater", "So20w_k", "Cp", "D2O", "D2O18", "H2O18");

// From 20 C to the experiment temperature. A buffer's figures are carried in its
// water ("D2O", "D2O18", "H2O18" as for s20,w).
inline constexpr auto vbarAtT = appCalculation("_calculateVBarAtT", "Vbar", "EquilibriumTemp");
inline constexpr auto densityAtT
    = appCalculation("calculateDensityAtT", "EquilibriumTemp", "Density", "D2O", "D2O18", "H2O18");
inline constexpr auto viscosityAtT
    = appCalculation("calculateViscAtT", "Viscosity", "EquilibriumTemp", "term", "D2O", "D2O18", "H2O18");
// The sample's vbar at the experiment temperature: the composition's, or the default one.
inline constexpr auto calculateSampleVbar = appCalculation("calculateSampleVbar", "vBar", "sedEqTemp");
inline constexpr auto defaultSampleVbar = appCalculation("_calculateSampleVbar", "vBar", "sedEqTemp");

// Standard-value dialogs: a value measured at a temperature, back to 20 C. The
// viscosity shares its function with viscosityAtT; the input names tell them apart.
inline constexpr auto vbarTo20 = appCalculation("calculateVBar20", "VBar", "Temperature");
inline constexpr auto densityTo20
    = appCalculation("calculateDensityAt20", "Temperature", "Density", "D2O", "D2O18", "H2O18");
inline constexpr auto viscosityTo20
    = appCalculation("calculateViscAtT", "Temperature", "Viscosity", "D2O", "D2O18", "H2O18");

// Results tab. "T" is the velocity temperature; "EquilibriumTemp" tells the module
// the temperature of the vbar field, which it carries back to 20 C. "aVbar" and
// "vbarwater" are s20,w's: f is taken from s20,w with the vbar it was normalised with.
inline constexpr auto calculateResults
    = appCalculation("calculateResults", "Mr", "Vbar", "UnDenaturedVbar", "S20W", "Mb", "T", "Sigma", "RPM", "Ratio",
        "Hydration", "HydrationValue", "Shape", "BufferViscosity", "EquilibriumTemp", "aVbar", "vbarwater");
inline constexpr auto graphShape = appCalculation(
    "graphShape", "Shape", "model", "tamax", "tbmin", "vamax", "vbmin", "hDelta", "Mr", "EquilibriumTemp");
// The a/b graph takes the page's dry volume ("UnDenaturedVbar"), for the options
// that need one its axial ratio or hydration ("Ratio"), and s20,w's vbar as the page.
inline constexpr auto calculationsAvsBHydration = appCalculation("calculationsAvsBHydration", "Shape", "Hydration",
    "model", "Mr", "HydrationValue", "S20W", "Vbar", "BufferViscosity", "Sigma", "Mb", "T", "RPM", "EquilibriumTemp",
    "UnDenaturedVbar", "Ratio", "aVbar", "vbarwater");

// Sample composition page. The residue and conjugate rows travel as two unnamed
// ARRAY nodes in the third and fourth place; "Tritrable" and "denaturents" are
// spelled as the module reads them.
inline constexpr auto calculationsFromComposition
    = appCalculation("calculationsFromComposition", "BufferpH", "OligomerN", "", "", "UseTritrableAmino",
        "AminoEndpKaValue", "UseTritrableCarboxyl", "CarboxylValue", "denaturents");

// Buffer page: the buffer's components, one array of rows (NAME, VALUE, ID of
// the series, ROW, UNITS) without a name, to its figures at 20 C.
inline constexpr auto calculateBufferDensity = appCalculation("calculateBufferDensity", "");
inline constexpr auto calculateBufferViscosity = appCalculation("calculateBufferViscosity", "");
// Buffer page: a measured buffer corrected from 20 C to a temperature. In heavy
// water the page sends its density rows after these, as calculateBufferDensity
// takes them: each solute's increment depends on the water it displaces.
inline constexpr auto correctBufferDensityNormal
    = appCalculation("correctBufferDensityAtT_Normal", "Density", "Temperature");
inline constexpr auto correctBufferDensityHeavy
    = appCalculation("correctBufferDensityAtT_Heavy", "Density", "Temperature", "D2O", "D2O18", "H2O18");
inline constexpr auto correctBufferViscosity = appCalculation("correctBufferViscosityAtT", "Viscosity", "Temperature");
// Heavy water changes the viscosity too: the same function, given the isotope
// shares, and the page's viscosity rows after them: a concentration per mass (% by
// wt, molal) holds more of its solute per litre in a heavier water.
inline constexpr auto correctBufferViscosityHeavy
    = appCalculation("correctBufferViscosityAtT", "Viscosity", "Temperature", "D2O", "D2O18", "H2O18");

// The name of the calculation module, the one whose functions are listed here.
inline constexpr char moduleName[] = "MainScreen";

// The functions of the calculation module that a request from another program
// or a page may call: those the windows call, and the two the request builder
// names besides. Its helpers (the constructors of its inputs and results) and
// the engine's own globals are not among them.
inline const QStringList &offeredFunctions()
{
    static const QStringList names { calculateRo.name(), calculateRp.name(), calculateMbDirectly.name(),
        calculateSigmaFromMr.name(), calculateMbFromSigma.name(), calculateMr.name(), calculationsFromMr.name(),
        QStringLiteral("calculationsFromSigma"), calculateS20W.name(), calculateSo20W.name(), vbarAtT.name(),
        QStringLiteral("calculateVBarAtT"), densityAtT.name(), viscosityAtT.name(), viscosityTo20.name(),
        calculateSampleVbar.name(), defaultSampleVbar.name(), vbarTo20.name(), densityTo20.name(),
        calculateResults.name(), graphShape.name(), calculationsAvsBHydration.name(),
        calculationsFromComposition.name(), calculateBufferDensity.name(), calculateBufferViscosity.name(),
        correctBufferDensityNormal.name(), correctBufferDensityHeavy.name(), correctBufferViscosity.name(),
        correctBufferViscosityHeavy.name() };
    return names;
}

// The names of the inputs of every function above.
inline const QStringList &inputNames()
{
    static const QStringList names = [] {
        QStringList all;
        const QStringList lists[] = { calculateRo.inputNames(), calculateRp.inputNames(),
            calculateMbDirectly.inputNames(), calculateSigmaFromMr.inputNames(), calculateMbFromSigma.inputNames(),
            calculateMr.inputNames(), calculationsFromMr.inputNames(), calculateS20W.inputNames(),
            calculateSo20W.inputNames(), vbarAtT.inputNames(), densityAtT.inputNames(), viscosityAtT.inputNames(),
            calculateSampleVbar.inputNames(), defaultSampleVbar.inputNames(), vbarTo20.inputNames(),
            densityTo20.inputNames(), viscosityTo20.inputNames(), calculateResults.inputNames(),
            graphShape.inputNames(), calculationsAvsBHydration.inputNames(), calculationsFromComposition.inputNames(),
            correctBufferDensityNormal.inputNames(), correctBufferDensityHeavy.inputNames(),
            correctBufferViscosity.inputNames(), correctBufferViscosityHeavy.inputNames() };
        for (const QStringList &list : lists) {
            for (const QString &name : list) {
                if (!name.isEmpty() && !all.contains(name))
                    all << name;
            }
        }
        return all;
    }();
    return names;
}

// The inputs the module names by these names in what it says, without words
// of its own ("S20W is zero"), each with the object name of the field (or
// button) the windows take it from: a message shown in a window names the
// figure by that field's caption ("s20,w is zero"). Where the module gives an
// input's name in brackets after its own words ("k (So20w_k)"), the words
// name it already.
inline const QHash<QString, QString> &inputFields()
{
    static const QHash<QString, QString> fields {
        { QStringLiteral("S20W"), QStringLiteral("qtExperimentResultsS") },
        { QStringLiteral("vbarwater"), QStringLiteral("qtCalculatedVBarWater") },
        { QStringLiteral("aVbar"), QStringLiteral("qtVbarCompute") },
        { QStringLiteral("tellerMethod"), QStringLiteral("qtTellerMethod") },
        { QStringLiteral("model"), QStringLiteral("qtTellerMethod") },
        { QStringLiteral("Shape"), QStringLiteral("qtAssumedShape") },
        { QStringLiteral("Hydration"), QStringLiteral("qtHydrationOptions") },
        { QStringLiteral("UseTritrableAmino"), QStringLiteral("qtTitrableAmino") },
        { QStringLiteral("UseTritrableCarboxyl"), QStringLiteral("qtTitrableCarboxyl") },
    };
    return fields;
}

// The node that answers for the widget of that name: the answer itself or
// one of its members; null when the answer carries none.
inline const AppScriptObject *resultNamed(const AppScriptObject *answer, const QString &name)
{
    if (!answer)
        return nullptr;
    if (answer->property(QStringLiteral("NAME")).toString() == name && answer->hasProperty(QStringLiteral("VALUE")))
        return answer;
    const auto &children = answer->children();
    for (const AppScriptObject *child : children) {
        if (const AppScriptObject *found = resultNamed(child, name))
            return found;
    }
    return nullptr;
}

// The figure a result gives, every digit; none for an empty or missing one
// (a refused input, no module, a script error).
inline std::optional<double> figureOf(const AppScriptObject *result)
{
    double value = 0.0;
    if (result && AppNumber::fromText(AppScriptObject::textOf(result->property(QStringLiteral("VALUE"))), &value))
        return value;
    return std::nullopt;
}

// The figure of the result of that name in an answer of several.
inline std::optional<double> figureOf(const AppScriptObject *answer, const QString &name)
{
    return figureOf(resultNamed(answer, name));
}

} // namespace AppCalculationContract

#endif
