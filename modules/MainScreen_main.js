// Calculation module "MainScreen".
//
// Every calculation of the program is one call of a global function below. Each
// input arrives as an object with the string members NAME and VALUE (tables as
// arrays of row objects); inputs are looked up by NAME, never by position. An input
// not sent, empty, of blanks only or "NULL" is missing: a function that can do without
// it says what it took instead. One that is sent is a decimal number (at most 64
// characters) in its range, or it is refused with a warning, and so is every figure
// that needs it: a value that is sent is never taken as missing, so that no figure is
// computed from something other than what was sent. The windows send 0 for an
// undenatured vbar or a vbar in water that the composition does not have, and the
// empty speed field of calculationsFromMr as 0: these are missing too. A switch (aVbar,
// tellerMethod, model, UseTritrable...) is 0 or 1; a choice (Shape, Hydration) one of
// the object names it names, or "unchecked". Any text can be a name: names are
// kept apart from the members of script objects.
// Results are objects with NAME (the object name of the widget that shows them)
// and VALUE; problems are reported in a WARNING member (each once, the first 20 of a
// call listed and the rest counted), so that no field ever receives NaN or Infinity. A
// figure the module refuses (a missing, refused or non-physical input, a result that is
// not finite or is non-zero below 1e-300 in magnitude) is sent as an empty value, so
// that its field is emptied rather than left with a figure from earlier inputs. Graph
// points carry GRAPH, AXIS ("x" or "y"), INDEX and DATA.
//
// Functions and the widgets they fill:
//   calculateVBar20(VBar, Temperature)                 -> qtSampleVbar
//   calculateVBarAtT / _calculateVBarAtT(Vbar, EquilibriumTemp) -> qtSampleVbar
//   calculateSampleVbar(vBar, sedEqTemp)               -> qtSampleVbar
//   _calculateSampleVbar(vBar, sedEqTemp)              -> defaultVbarAtT (no widget, see below)
//   calculateDensityAt20(Temperature, Density, optional D2O, D2O18, H2O18) -> qtBufferDensity
//   calculateDensityAtT(EquilibriumTemp, Density, optional D2O, D2O18, H2O18) -> qtBufferDensity
//   calculateViscAtT(Temperature, Viscosity, optional D2O, D2O18, H2O18) -> qtBufferViscosity (value at 20 C)
//   calculateViscAtT(Viscosity, EquilibriumTemp, term, optional D2O, D2O18, H2O18)
//                                                      -> qtBufferViscosity (value at T)
//   calculateRo(Mr, Vbar, optional EquilibriumTemp, UnDenaturedVbar), calculateRp(Mr, Vbar)
//                                                      -> qtExperimentResultsRp
//   calculateMbDirectly(Mr, Vbar, Density)             -> qtExperimentResultsMb
//   calculateSigmaFromMr(EquilibriumTemp, RPM, Mr, Vbar, Density) -> qtSedEquilibriumSigma
//   calculateMbFromSigma(EquilibriumTemp, Sigma, RPM)  -> qtExperimentResultsMb
//   calculateMr(EquilibriumTemp, Sigma, RPM, Vbar, Density) -> qtSedEquilibriumMR
//   calculationsFromSigma(same inputs)                 -> qtSedEquilibriumMR, qtExperimentResultsMb
//   calculationsFromMr(EquilibriumTemp, RPM, Mr, Vbar, Density, tellerMethod, optional UnDenaturedVbar)
//                          -> qtExperimentResultsRp, qtExperimentResultsMb, qtSedEquilibriumSigma
//   calculateS20W(EquilibriumTemp, VelocityTemp, S, Vbar20, Viscosity, Vbar, Density, aVbar, vbarwater,
//                 optional D2O, D2O18, H2O18)          -> qtExperimentResultsS
//   calculateSo20W(the same, So20w_k, Cp)              -> qtExperimentResultsS
//   calculateResults(Mr, Vbar, UnDenaturedVbar, S20W, Mb, T, Sigma, RPM, Ratio, Hydration,
//                    HydrationValue, Shape, BufferViscosity, EquilibriumTemp, optional aVbar, vbarwater)
//        -> qtVbarRo, qtVbarFo, qtVbarffo, qtVbarSmax, qtVbarDmax, qtVbarDelta1max, qtVbarmaxab,
//           qtVbar2amax, qtVbar2bmin, qtTellerRp, qtTellerFp, qtTellerffp, qtTellerSmax,
//           qtTellerDmax, qtTellerDelta1max, qtTellermaxab, qtTeller2amax, qtTeller2bmin,
//           qtRStokes, qtGraphShapeHydrationExpansion
//   graphShape(Shape, model, tamax, tbmin, vamax, vbmin, hDelta, Mr, EquilibriumTemp)
//        -> graph points "GraphShape", "GraphWShape" (upper and lower half of the dry
//           particle), "GCraphShape", "GtraphShape" (upper and lower half of the hydrated
//           particle), "axel" (two invisible corner points that keep the axes equal);
//           qtGraphShapeHydrationExpansion, the water of the shell drawn in % of the dry
//           particle drawn
//   calculationsAvsBHydration(Shape, Hydration, model, Mr, HydrationValue, S20W, Vbar,
//                             BufferViscosity, Sigma, Mb, T, RPM, EquilibriumTemp,
//                             UnDenaturedVbar, Ratio, optional aVbar, vbarwater)
//        -> graph points "A over B Graph"
//   calculationsFromComposition(BufferpH, OligomerN, [amino rows], [conjugate rows],
//        UseTritrableAmino, AminoEndpKaValue, UseTritrableCarboxyl, CarboxylValue, denaturents)
//        -> qtCalculatedVBar, qtUnDenaturedVBar, qtCalculatedVBarWater, qtCalculatedMR,
//           qtCalculatedHydration, qtIsoElectricPoint, qtpHCharge, qtAbsExtinction, qtAbsMgMl,
//           qtEstAbsExtinction, qtEstAbsMgMl, graph points "pH Graph" and "Absorbance Graph"
//   calculateBufferDensity([components])               -> qtDensity
//   calculateBufferViscosity([components])             -> qtViscosity
//   correctBufferDensityAtT_Normal(Density, Temperature)  -> qtCorrectedDensity
//   correctBufferDensityAtT_Heavy(Density, Temperature, optional D2O, D2O18, H2O18, [components])
//                                                      -> qtCorrectedDensity
//   correctBufferViscosityAtT(Viscosity, Temperature, optional D2O, D2O18, H2O18) -> qtCorrectedViscosity
//
// Units: g/ml, poise (the forms show viscosity in poise), ml/g, g/mol, cm, seconds for
// sedimentation coefficients, cm^2/s, rpm, degrees Celsius.
//
// Choices where a published method leaves one open:
// - Water density: Kell 1975 (J Chem Eng Data 20:97), scaled by a constant factor so that
//   20 C gives the program's 0.998234 g/ml; the ratio to 20 C, which is all the corrections
//   use, agrees with the IAPWS-95 formulation within 2e-5 from 0 to 80 C.
// - Water viscosity: the ratio eta(t)/eta(20 C) of the IAPWS 2008 formulation (Huber et al.
//   2009, J Phys Chem Ref Data 38:101) at 0.1 MPa, with the density of Kell 1975, times the
//   program's 1.002 cP at 20 C (Kestin, Sokolov and Wakeham 1978; IAPWS 2008 gives 1.0016).
//   The module accepts 0 to 100 C.
// - Heavy-water viscosity: D2O from the IAPWS 2020 formulation for the viscosity of heavy
//   water (Assael et al. 2021, J Phys Chem Ref Data 50:033102), with the D2O density below,
//   on the same 20 C anchor (its ratio to H2O at 20 C is the formulations'). No correlation
//   is used for the 18O species: H2O18 takes the value of H2O and D2O18 that of D2O. A
//   mixture of species takes the fraction-weighted mean; a buffer's solutes are taken to
//   raise the viscosity of heavy water in the same ratio as that of light water (no series
//   of a solute in heavy water is known). A water below its melting point (3.82 C for D2O,
//   in proportion to the deuterium for a mixture) is computed as a supercooled liquid, with
//   a warning.
// - D2O density at 0.101325 MPa: a polynomial of degree 7 in (t - 50)/50 fitted by least
//   squares to the IAPWS 2017 formulation for heavy water (Herrig et al. 2018, J Phys Chem
//   Ref Data 47:043102) at every whole degree from 0 to 100 C; it stays within 1e-6 g/ml of
//   the formulation. The 18O species are their parent scaled by the molar masses; the
//   water of a buffer is the volume-fraction mean of the four species.
// - Buffers at 20 C: water plus the sum over components of each series' increment over
//   water (series value minus its a). Molal and % by wt need the solution density,
//   taken from the component's own density series by iteration; % by vol needs the
//   pure-solute density. Correction to T: density and viscosity scaled by the ratio of
//   water at T to water at 20 C; where a viscous buffer's figure carried so may be off by
//   more than 0.5 % (glycerol-water tables, Segur and Oberstar 1951), a warning says so,
//   in every call that carries a viscosity. With heavy water each solute's increment at 20 C is
//   c (1 - phi rho) with that water's density, phi its apparent specific volume from its own
//   light-water series at its concentration; that increment is scaled as above and added to
//   the isotope mixture's density at T. A concentration per mass (% by wt, molal) becomes a
//   molarity with the density of the solution in the buffer's water (that mass balance), so it
//   holds more solute per litre in heavy water, and the solutes' viscosity ratio is taken
//   there. s20,w carries the Solvent tab's figures (at the equilibrium temperature) to the
//   velocity temperature in the same way, in the water the buffer is made of. A protein's
//   exchange of hydrogen for deuterium is not included.
// - vbar: mass-weighted mean of residue and conjugate values (Cohn and Edsall 1943), at
//   25 C; temperature dependence 4.25e-4 ml/g per kelvin (Durchschlag 1986). A conjugate
//   without a vbar is left out of the vbar mean. With a denaturant whose v3 and g3
//   are known, the apparent vbar follows Casassa and Eisenberg 1964:
//   phi' = vbar - g3 (1/rho - v3), rho = rhomin or water; the shipped denaturant rows have
//   no v3/g3, so the vbar is then left unchanged. A reference row without a figure the
//   composition takes from it (a denaturant's v3, g3 or rhomin; a residue's or conjugate's
//   Mr, vbar, hydration, charge, pKa or extinction) is named in a warning with what stands
//   in the figure's place.
// - Molar mass: residue masses plus one water (18.015 g/mol) per chain, times the
//   oligomer number. Extinction at 280 nm: folded protein in water from the table's
//   values (Pace et al. 1995: Trp 5500, Tyr 1490, cystine 125); in 6 M guanidine
//   hydrochloride from Gill and von Hippel 1989 (Trp 5690, Tyr 1280, cystine 120).
// - Net charge: Henderson-Hasselbalch with the table's pKa values plus the two end
//   groups when they are titrable, per monomer; isoelectric point by bisection on 0..14.
// - Hydration: Kuntz 1971 waters per residue, linear in pH between the pH 4 and pH 7
//   values and held constant outside.
// - Figures that rest on reference values the shipped tables mark unverified:
//   qtCalculatedHydration (every HipH7/HipH4 value, typed from memory); qtCalculatedVBar,
//   qtUnDenaturedVBar, qtCalculatedVBarWater and the sample vbar taken from them when the
//   composition holds free CYS (its vbar 0.63 is the half-cystine's); qtIsoElectricPoint,
//   qtpHCharge and the pH graph when it holds Neu5Ac (pKa from a secondary source);
//   qtDensity and qtViscosity of a component given in % by vol (solid densities from
//   secondary sources); qtCorrectedDensity and qtCorrectedViscosity with heavy water (the
//   D2O anchors above).
// - Shape: the vbar method uses the anhydrous sphere Ro = (3 M vbar / 4 pi N)^1/3; the
//   Teller method uses the sphere whose surface equals the accessible surface area
//   As = 6.3 M^0.73 A^2 (the fit of Miller, Janin, Lesk and Chothia 1987, J Mol Biol
//   196:641; the use of the accessible surface for friction follows Teller 1976, Nature
//   260:729, and Teller, Swanson and de Haen 1979).
//   f = M (1 - vbar rho) / (N s20,w) with water at 20 C and the vbar s20,w was normalised
//   with; Stokes radius f / (6 pi eta).
//   Ellipsoids: Perrin 1936 friction ratios; cylinders: Tirado and Garcia de la Torre 1979
//   with end correction nu = 0.312 + 0.565/p - 0.100/p^2. The authors fitted it for
//   L/d 2 to 30; the search runs on to 200, where it is an extrapolation towards the long
//   rod limit (below 2 it stops rising, so no ratio under 2 is given). Axial ratios are
//   found by bisection. The hydrated volume is the model volume plus
//   delta1 M / (N rho_water).
// - The vbar the window holds is at the equilibrium temperature; calculateResults and
//   calculationsAvsBHydration carry it back to 20 C from "EquilibriumTemp" with the slope
//   above, since f uses (1 - vbar20 rho_w,20). Without "EquilibriumTemp" the vbar is taken
//   as the 20 C value. The dry volume uses the composition's undenatured vbar (brought
//   from 25 to 20 C) whenever one is sent, since only it is free of a denaturant's binding.
// - s20,w: a sign of s that contradicts the sign of (1 - vbar rho) at the velocity
//   temperature is refused; flotation (both negative) is computed, whatever vbar is. A
//   particle with |1 - vbar rho| below 1e-3 at the run or in water at 20 C is almost
//   neutrally buoyant: s20,w is then not given, since the ratio would rest on the fourth
//   decimal of vbar and rho. The shape figures of a floating particle take the
//   magnitudes of s20,w and of (1 - vbar rho_w,20), so Smax is the magnitude too.
// - The Teller sphere (surface 6.3 M^0.73) is larger than the Stokes sphere of compact
//   globular proteins (lysozyme: 2.3 nm against 1.9 nm), so f/fp can fall below 1; the
//   Teller hydration and axial ratio then stay at 0 and the shape's smallest ratio, and a
//   warning says that no axial ratio of the shape matches, as for the vbar method's f/f0 below 1.
// - calculateResults leaves a label empty (with a tool tip that says why) when s20,w or
//   Mr is missing, since the Results page shows its own message for those.
// - _calculateSampleVbar is given the program's default vbar, not the sample's; its
//   result carries no widget name so that it cannot replace a vbar the user typed.

function getModuleName() { return "MainScreen"; }
function getModuleVersion() { return "20120412"; }
function getModuleDate() { return "20120412"; }
function getModuleInteractionXml() { return ""; }
function getModuleUI() { return ""; }
function getModuleHTMLUI() { return ""; }

// ---------------------------------------------------------------- constants

var AVOGADRO = 6.02214076e23;       // 1/mol
var GAS_CONSTANT = 8.314462618e7;   // erg/(mol K)
var BOLTZMANN = 1.380649e-16;       // erg/K
var KELVIN = 273.15;
var WATER_DENSITY_20 = 0.998234;    // g/ml, the program's value
var WATER_VISCOSITY_20 = 0.01002;   // poise (Kestin et al. 1978)
var WATER_MR = 18.015;              // g/mol
var VBAR_PER_KELVIN = 4.25e-4;      // ml/(g K), Durchschlag 1986
// Below this |1 - vbar rho| a particle is almost neutrally buoyant: a figure divided by the
// buoyancy term rests on the fourth decimal of vbar and of the density.
var NEUTRAL_BUOYANCY = 1e-3;

// ---------------------------------------------------------------- inputs

var NUMBER_PATTERN = /^\s*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?\s*$/;
// No field holds a longer number; a longer text is refused before it is parsed, which
// would otherwise take time that grows with its length.
var MAX_NUMBER_TEXT = 64;
// Magnitudes below this are no physical figure here, and the engine cannot round them
// to a given number of digits (subnormal numbers come out as garbage).
var SMALLEST_FIGURE = 1e-300;

// A number from an input text, or null when the text is missing or not a number.
function toNumber(text)
{
    if (text === undefined || text === null)
        return null;
    var s = String(text);
    if (s.length > MAX_NUMBER_TEXT || s == "NULL" || !NUMBER_PATTERN.test(s))
        return null;
    var v = parseFloat(s);
    return isFinite(v) ? v : null;
}

// True when an input's text says nothing: not sent, empty, blanks only, or "NULL", the
// windows' word for an empty field.
function isMissing(text)
{
    return text === undefined || text === null || String(text) == "NULL" || !/\S/.test(String(text));
}

// An input's text as a warning quotes it: a long one is cut.
function quoted(text)
{
    var s = String(text);
    return "\"" + (s.length > MAX_NUMBER_TEXT ? s.substring(0, MAX_NUMBER_TEXT) + "..." : s) + "\"";
}

function isArrayValue(v)
{
    return v !== null && typeof v == "object" && Object.prototype.toString.call(v) == "[object Array]";
}

// A map from any text: the keys are prefixed, so that a name such as "__proto__" or
// "hasOwnProperty" is an ordinary key and never reaches a member of the object. No
// member an object inherits has a name that begins with "#", so a plain lookup finds
// only what was set (and is much quicker than asking hasOwnProperty each time).
function NameMap()
{
    this.store = {};
}
NameMap.prototype.has = function (key) { return ("#" + key) in this.store; };
NameMap.prototype.get = function (key) { return this.store["#" + key]; };
NameMap.prototype.set = function (key, value) { this.store["#" + key] = value; };

// Collects the named inputs and, separately, the table (array) inputs in order.
function Inputs(args)
{
    this.values = new NameMap();
    this.tables = [];
    for (var i = 0; i < args.length; ++i) {
        var a = args[i];
        if (a === null || a === undefined || typeof a != "object")
            continue;
        if (isArrayValue(a)) {
            this.tables.push(a);
            continue;
        }
        if (a.NAME !== undefined)
            this.values.set(String(a.NAME), a.VALUE === undefined ? "" : String(a.VALUE));
    }
}
// The text of the first of the given names that is present, else null.
Inputs.prototype.text = function () {
    for (var i = 0; i < arguments.length; ++i)
        if (this.values.has(arguments[i]))
            return this.values.get(arguments[i]);
    return null;
};
Inputs.prototype.number = function () {
    return toNumber(this.text.apply(this, arguments));
};
// An input that a function can do without, read by the first of `names` that is sent: `missing` when
// it says nothing; else its `value` when it is a number that `fits` its range (a check such as
// needPositive, which warns when it does not), or `refused`, with a warning that names it (`what`).
Inputs.prototype.read = function (res, names, what, fits) {
    var text = this.text.apply(this, names);
    if (isMissing(text))
        return {missing: true, refused: false, value: null};
    var value = toNumber(text);
    if (value === null) {
        res.warn(what + " " + quoted(text) + " is not a number.");
        return {missing: false, refused: true, value: null};
    }
    if (fits && !fits(res, value, what))
        return {missing: false, refused: true, value: null};
    return {missing: false, refused: false, value: value};
};
// A choice sent as the object name of the checked button, or "unchecked" (or nothing) for none:
// `none` then. Any other text is refused (null), with a warning.
Inputs.prototype.choice = function (res, name, names, none) {
    var text = this.text(name);
    if (isMissing(text) || text == "unchecked")
        return none;
    for (var i = 0; i < names.length; ++i)
        if (text == names[i])
            return text;
    res.warn(name + " " + quoted(text) + " is none of " + names.join(", ")
             + "; the figures that need it are not given.");
    return null;
};

// ---------------------------------------------------------------- results

// A call says at most this many problems: a table of thousands of rows that cannot be had would
// otherwise answer a box (or an answer of megabytes) with a line for each.
var MAX_WARNINGS = 20;

function Results()
{
    this.items = [];
    this.points = [];
    this.warnings = [];
    this.said = new NameMap(); // every text warned of, listed or not
    this.unlisted = 0;
}
Results.prototype.set = function (name, value, tip) {
    var item = {NAME: name};
    if (typeof value == "number") {
        // A figure that cannot be given empties its field rather than leaving
        // the one computed from earlier inputs.
        if (!isFinite(value)) {
            this.warn(name + ": the result is not a finite number.");
            item.VALUE = "";
        } else if (isTiny(value)) {
            this.warn(name + ": the result " + value + " is too small to be a physical figure.");
            item.VALUE = "";
        } else {
            item.VALUE = Number(value.toPrecision(10));
        }
    } else {
        item.VALUE = value === undefined || value === null ? "" : String(value);
    }
    if (tip !== undefined)
        item.TOOLTIP = tip;
    this.items.push(item);
};
// Each text once: several steps of one call may find the same. Looked up, not searched, so that a
// call of many rows that cannot be had costs time in proportion to its rows.
Results.prototype.warn = function (text) {
    if (this.said.has(text))
        return;
    this.said.set(text, true);
    if (this.warnings.length < MAX_WARNINGS)
        this.warnings.push(text);
    else
        ++this.unlisted;
};
// A result, or an empty field when it was refused (null): a refused figure
// must not stand beside inputs it was not computed from.
Results.prototype.setOrEmpty = function (name, value) { this.set(name, value === null ? "" : value); };
// A point that is no finite figure is left out (with one warning for the call), so that
// no graph receives a value that is not a number.
Results.prototype.point = function (graph, axis, index, value) {
    if (!isFinite(value) || isTiny(value)) {
        if (!this.pointRefused)
            this.warn(graph + ": points that are no finite figure were left out.");
        this.pointRefused = true;
        return;
    }
    var v = Number(value.toPrecision(8));
    this.points.push({GRAPH: graph, AXIS: axis, INDEX: String(index), DATA: v, VALUE: v});
};
// One named result travels alone; several (or graph points) as members of one object,
// keyed so that the named results come first, in the order they were set.
Results.prototype.build = function () {
    var warning = this.warnings.join("\n");
    if (this.unlisted > 0)
        warning += "\n" + this.unlisted + " more warnings are not listed.";
    if (this.items.length == 1 && this.points.length == 0) {
        var only = this.items[0];
        if (warning.length)
            only.WARNING = warning;
        return only;
    }
    var out = {};
    if (warning.length)
        out.WARNING = warning;
    for (var i = 0; i < this.items.length; ++i)
        out["R" + pad(i, 4)] = this.items[i];
    for (var j = 0; j < this.points.length; ++j)
        out["P" + pad(j, 5)] = this.points[j];
    return out;
};

function isTiny(value) { return value != 0 && Math.abs(value) < SMALLEST_FIGURE; }

var ZEROS = "0000000000";
function pad(n, width)
{
    var s = String(n);
    // Padded in one step: a result of hundreds of graph points pads a key for each.
    if (s.length < width && width <= ZEROS.length)
        return ZEROS.substring(0, width - s.length) + s;
    while (s.length < width)
        s = "0" + s;
    return s;
}

// Checks shared by many calls; each returns true when the value is usable.
function need(res, value, what)
{
    if (value === null) {
        res.warn(what + " is missing or not a number.");
        return false;
    }
    return true;
}
// A check of a value that must be there and `fits`: true when it does, else false with a warning
// that names it and says what it must be (`rule`, of the value).
function rangeCheck(fits, rule)
{
    return function (res, value, what) {
        if (!need(res, value, what))
            return false;
        if (fits(value))
            return true;
        res.warn(what + rule(value));
        return false;
    };
}
var needPositive = rangeCheck(function (v) { return v > 0; },
                              function (v) { return " must be greater than zero (got " + v + ")."; });
var needNotNegative = rangeCheck(function (v) { return v >= 0; },
                                 function (v) { return " must not be negative (got " + v + ")."; });
var needTemperature = rangeCheck(function (v) { return v >= 0 && v <= 100; }, function (v) {
    return " of " + v + " C is outside 0 to 100 C, the range of the water tables.";
});
// A switch: 1 on, 0 off.
var needSwitch = rangeCheck(function (v) { return v === 0 || v === 1; },
                            function (v) { return " must be 0 or 1 (got " + v + ")."; });
// The number of chains of an oligomer.
var needChains = rangeCheck(function (v) { return v >= 1 && Math.floor(v) == v; },
                            function (v) { return " must be a whole number of at least 1 (got " + v + ")."; });
var needPh = rangeCheck(function (v) { return v >= 0 && v <= 14; },
                        function (v) { return " must be from 0 to 14 (got " + v + ")."; });
function needBuoyancy(res, vbar, density)
{
    if (vbar * density >= 1) {
        res.warn("vbar times density is " + Number((vbar * density).toPrecision(6))
                 + "; it must stay below 1 for the particle to sediment.");
        return false;
    }
    return true;
}

// True when the buoyancy term 1 - vbar rho is far enough from 0 to divide by.
function nonNeutral(res, buoyancy, where, consequence)
{
    if (Math.abs(buoyancy) < NEUTRAL_BUOYANCY) {
        res.warn("1 - vbar times density is " + shown(buoyancy) + " " + where
                 + ": the particle is almost neutrally buoyant, so " + consequence + ".");
        return false;
    }
    return true;
}

// Six digits of a figure for a message (a subnormal one cannot be rounded).
function shown(value) { return isTiny(value) ? value : Number(value.toPrecision(6)); }

// ---------------------------------------------------------------- water

// Kell 1975: density of air-free water, kg/m^3, t in C.
function kellDensity(t)
{
    return (999.83952 + 16.945176 * t - 7.9870401e-3 * t * t - 46.170461e-6 * t * t * t
            + 105.56302e-9 * Math.pow(t, 4) - 280.54253e-12 * Math.pow(t, 5))
           / (1 + 16.879850e-3 * t);
}

// Water density in g/ml, scaled so that 20 C gives the program's 0.998234.
function waterDensity(t)
{
    return WATER_DENSITY_20 * kellDensity(t) / kellDensity(20);
}

// Viscosity correlations of the form mu = mu* mu0(Tr) mu1(Tr, rhor), with the dilute-gas
// term mu0 of each law and mu1 = exp(rhor sum(B_ij (1/Tr - 1)^i (rhor - 1)^j)); B holds the
// non-zero terms as [i, j, B_ij]. The critical enhancement is 1 at these temperatures and is
// left out. Result in Pa s; t in C, rho in kg/m^3.
function correlatedViscosity(law, t, rho)
{
    var tr = (t + KELVIN) / law.tStar, rr = rho / law.rhoStar;
    var sum1 = 0;
    for (var k = 0; k < law.b.length; ++k)
        sum1 += law.b[k][2] * Math.pow(1 / tr - 1, law.b[k][0]) * Math.pow(rr - 1, law.b[k][1]);
    return law.muStar * law.dilute(tr) * Math.exp(rr * sum1);
}

// Huber et al. 2009 (J Phys Chem Ref Data 38:101), the IAPWS 2008 formulation for H2O:
// mu0 = sqrt(Tr) / sum(A_i / Tr^i).
var H2O_VISCOSITY = {
    tStar: 647.096, rhoStar: 322, muStar: 1e-4,
    a: [1.67752, 2.20462, 0.6366564, -0.241605],
    dilute: function (tr) {
        var sum0 = 0;
        for (var i = 0; i < this.a.length; ++i)
            sum0 += this.a[i] / Math.pow(tr, i);
        return Math.sqrt(tr) / sum0;
    },
    b: [[0, 0, 5.20094e-1], [1, 0, 8.50895e-2], [2, 0, -1.08374], [3, 0, -2.89555e-1],
        [0, 1, 2.22531e-1], [1, 1, 9.99115e-1], [2, 1, 1.88797], [3, 1, 1.26613], [5, 1, 1.20573e-1],
        [0, 2, -2.81378e-1], [1, 2, -9.06851e-1], [2, 2, -7.72479e-1], [3, 2, -4.89837e-1], [4, 2, -2.57040e-1],
        [0, 3, 1.61913e-1], [1, 3, 2.57399e-1], [0, 4, -3.25372e-2], [3, 4, 6.98452e-2],
        [4, 5, 8.72102e-3], [3, 6, -4.35673e-3], [5, 6, -5.93264e-4]]
};

// Assael et al. 2021 (J Phys Chem Ref Data 50:033102), the IAPWS 2020 formulation for the
// viscosity of heavy water: mu* = 1 uPa s, rho* = 356 kg/m^3, T* = 643.847 K, and the
// dilute-gas term the ratio of two quartics, mu0 = sqrt(Tr) sum(n_i Tr^i) / sum(d_i Tr^i).
var D2O_VISCOSITY = {
    tStar: 643.847, rhoStar: 356, muStar: 1e-6,
    n: [0.889754, 61.22217, -44.8866, 111.5812, 3.547412],
    d: [0.79637, 2.38127, -0.33463, 2.669, 0.000211366],
    dilute: function (tr) {
        var num = 0, den = 0;
        for (var i = this.n.length - 1; i >= 0; --i) {
            num = num * tr + this.n[i];
            den = den * tr + this.d[i];
        }
        return Math.sqrt(tr) * num / den;
    },
    b: [[0, 0, 0.510953], [2, 0, -0.558947], [3, 0, -2.718820], [4, 0, 0.480990], [5, 0, 2.404510],
        [6, 0, -1.824320], [0, 1, 0.275847], [1, 1, 0.762957], [3, 1, 1.760340], [4, 1, 0.0819086],
        [6, 1, 1.417750], [0, 2, -0.228148], [1, 2, -0.321497], [5, 2, -2.302500],
        [0, 3, 0.0661035], [1, 3, 0.0449393], [2, 3, 1.466670], [5, 3, 0.938984], [6, 3, -0.108354],
        [0, 4, -0.00481265], [2, 4, -1.545710], [3, 4, -0.0570938], [5, 4, -0.0753783],
        [2, 5, 0.553080], [2, 6, -0.0650201]]
};

var h2oViscosity20 = null; // Pa s, the anchor of every ratio below

// Viscosity of water in poise: the IAPWS 2008 ratio to 20 C (density from Kell 1975)
// times the program's 0.01002 P at 20 C.
function waterViscosity(t)
{
    return heavyMixViscosity(t, 0, 0, 0);
}

// Viscosity in poise of a water of the given species fractions (H2O takes the rest), on
// the same 20 C anchor. D2O from the IAPWS 2020 formulation with the D2O density below; for
// the 18O species no correlation is used: each takes its parent's value. The mixture is
// the fraction-weighted mean of the species.
function heavyMixViscosity(t, d2o, d2o18, h2o18)
{
    if (h2oViscosity20 === null)
        h2oViscosity20 = correlatedViscosity(H2O_VISCOSITY, 20, kellDensity(20));
    var light = correlatedViscosity(H2O_VISCOSITY, t, kellDensity(t));
    var heavy = d2o + d2o18 > 0 ? correlatedViscosity(D2O_VISCOSITY, t, 1000 * heavyWaterDensity(t)) : 0;
    var mix = (1 - d2o - d2o18) * light + (d2o + d2o18) * heavy;
    return WATER_VISCOSITY_20 * mix / h2oViscosity20;
}

// D2O density, g/ml, at 0.101325 MPa: least-squares fit to the IAPWS 2017 heavy-water
// formulation (Herrig et al. 2018) from 0 to 100 C, within 1e-6 g/ml.
var D2O_DENSITY = [1.095732517, -0.02356654837, -0.01060589549, 0.002559357635, -0.00100016591,
                   0.0003546435401, -0.0001550364542, 4.834046481e-05];
function heavyWaterDensity(t)
{
    var x = (t - 50) / 50, sum = 0;
    for (var i = D2O_DENSITY.length - 1; i >= 0; --i)
        sum = sum * x + D2O_DENSITY[i];
    return sum;
}

// Molar masses, g/mol, for scaling the 18O species from their parents.
var MR_H2O = 18.0153, MR_H2O18 = 20.0146, MR_D2O = 20.0276, MR_D2O18 = 22.0269;

// Density of a water of the given species fractions at t; H2O takes the rest.
function waterMixDensity(t, d2o, d2o18, h2o18)
{
    var h2o = 1 - d2o - d2o18 - h2o18;
    var light = kellDensity(t) / 1000;
    var heavy = heavyWaterDensity(t);
    var mix = h2o * light + h2o18 * light * MR_H2O18 / MR_H2O + d2o * heavy + d2o18 * heavy * MR_D2O18 / MR_D2O;
    return mix * WATER_DENSITY_20 / (kellDensity(20) / 1000);
}

// The optional fractions D2O, D2O18 and H2O18 of a buffer's water, as the buffer page
// sends them: a missing, empty or "NULL" one is 0; one that is sent must be a number
// from 0 to 1, and together they may not exceed 1. Null (with a warning) when they are
// no water.
var WATER_FRACTIONS = ["D2O", "D2O18", "H2O18"];
function waterFractions(res, inp)
{
    var f = [0, 0, 0], ok = true;
    for (var i = 0; i < WATER_FRACTIONS.length; ++i) {
        var text = inp.text(WATER_FRACTIONS[i]);
        if (isMissing(text))
            continue;
        f[i] = toNumber(text);
        if (f[i] === null || f[i] < 0 || f[i] > 1) {
            res.warn("The " + WATER_FRACTIONS[i] + " fraction must be a number from 0 to 1.");
            ok = false;
        }
    }
    if (ok && f[0] + f[1] + f[2] > 1 + 1e-9) {
        res.warn("The heavy water fractions add up to more than 1.");
        ok = false;
    }
    return ok ? f : null;
}

function isLightWater(f) { return f[0] + f[1] + f[2] == 0; }

// Pure D2O melts at 3.82 C (its triple point, Herrig et al. 2018). A mixture is taken to melt
// in proportion to its deuterium, the 18O species with their parent as for the viscosity.
var D2O_MELTING_POINT = 3.82;
function meltingPoint(f) { return D2O_MELTING_POINT * (f[0] + f[1]); }

// A water below its melting point is computed as a supercooled liquid, and said so. The text
// names only the water and the temperature, so that the calls of one calculation say it once.
function meltingWarning(res, t, f)
{
    var melts = meltingPoint(f);
    if (t === null || !(t < melts))
        return;
    var species = [[f[0], "D2O"], [f[1], "D2-18O"], [f[2], "H2-18O"]], shares = [];
    for (var i = 0; i < species.length; ++i)
        if (species[i][0] > 0)
            shares.push(Number((100 * species[i][0]).toPrecision(6)) + " % " + species[i][1]);
    res.warn("Water of " + shares.join(", ") + " melts at about " + Number(melts.toFixed(2)) + " C: at " + t
             + " C it was taken as a supercooled liquid (a buffer's solutes lower the melting point a little).");
}

// A buffer density at teq carried to t in the water f it is made of, as the buffer page
// corrects it from 20 C: the isotope mixture's density (Kell 1975; Herrig et al. 2018)
// plus the solutes' increment, scaled by the ratio of light water (Kell 1975). In light
// water this is the plain ratio of water at t to water at teq.
function bufferDensityCarried(rho, teq, t, f)
{
    var ratio = waterDensity(t) / waterDensity(teq);
    if (isLightWater(f))
        return rho * ratio;
    return waterMixDensity(t, f[0], f[1], f[2]) + (rho - waterMixDensity(teq, f[0], f[1], f[2])) * ratio;
}

// Carried by water's ratio, a buffer's viscosity keeps the same factor over water at every temperature.
// Viscous solutes do not: their factor grows on cooling and falls on warming. Glycerol-water tables
// (Segur and Oberstar 1951, Ind Eng Chem 43:2117) put 10 and 20 wt % glycerol (1.31 and 1.76 times
// water at 20 C) about 3 and 7 % above water's ratio at 4 C, that is ln(eta/eta_w) larger by 0.7 to
// 0.75 % of itself per kelvin; the larger rate, rounded up, estimates how far the carried figure may be
// from the buffer's. A sedimentation correction cares about 0.5 %: a plain buffer (0.15 M NaCl, 1.6 %
// above water) stays within it from 0 to 40 C, and nothing carried at its own temperature is off.
var CARRIED_FACTOR_DRIFT = 0.008; // of ln(eta/eta_w), per kelvin
var CARRIED_TOLERANCE = 0.005;

// The viscosity eta at `from` in the water f, carried to `to` by that water's ratio (IAPWS 2008 and 2020),
// with a warning where the buffer's own change may differ from water's by more than the tolerance above.
function viscosityCarried(res, eta, from, to, f)
{
    var waterFrom = heavyMixViscosity(from, f[0], f[1], f[2]);
    var factor = eta / waterFrom;
    // Only a buffer above its water's viscosity: the few solutes that lower it do so by some per cent,
    // with no glycerol-like change to go by.
    var drift = factor > 1 ? Math.exp(Math.log(factor) * CARRIED_FACTOR_DRIFT * Math.abs(to - from)) - 1 : 0;
    if (drift > CARRIED_TOLERANCE) {
        // A solute that thickens water thickens it more when cold: the figure carried to a colder
        // temperature is low, to a warmer one high.
        var low = to < from;
        res.warn("The viscosity at " + shown(to) + " C is carried from " + shown(from) + " C by the ratio of water's "
                 + "viscosities, which takes no account of how a buffer " + Number(factor.toPrecision(3))
                 + " times as viscous as water changes with temperature: it may be " + (low ? "low" : "high")
                 + " by about " + Number((100 * drift).toPrecision(2)) + " % (as glycerol-water would be). Measure "
                 + "it at " + shown(to) + " C where that matters.");
    }
    return eta * heavyMixViscosity(to, f[0], f[1], f[2]) / waterFrom;
}

// ---------------------------------------------------------------- standard values

function calculateVBar20()
{
    var inp = new Inputs(arguments), res = new Results();
    var vbar = inp.number("VBar", "Vbar"), t = inp.number("Temperature", "T");
    var ok = needPositive(res, vbar, "vbar") & needTemperature(res, t, "The measuring temperature");
    res.setOrEmpty("qtSampleVbar", ok ? vbar - VBAR_PER_KELVIN * (t - 20) : null); // Durchschlag 1986
    return res.build();
}

function _calculateVBarAtT()
{
    var inp = new Inputs(arguments), res = new Results();
    var vbar = inp.number("Vbar", "VBar", "vBar"), t = inp.number("EquilibriumTemp", "T", "Temperature");
    var ok = needPositive(res, vbar, "vbar") & needTemperature(res, t, "The experiment temperature");
    res.setOrEmpty("qtSampleVbar", ok ? vbar + VBAR_PER_KELVIN * (t - 20) : null); // Durchschlag 1986
    return res.build();
}

function calculateVBarAtT() { return _calculateVBarAtT.apply(this, arguments); }

// The composition estimate is for 25 C (Cohn and Edsall 1943 residue values).
function calculateSampleVbar()
{
    var inp = new Inputs(arguments), res = new Results();
    var vbar = inp.number("vBar", "Vbar"), t = inp.number("sedEqTemp", "EquilibriumTemp");
    var ok = needPositive(res, vbar, "The calculated vbar") & needTemperature(res, t, "The experiment temperature");
    res.setOrEmpty("qtSampleVbar", ok ? vbar + VBAR_PER_KELVIN * (t - 25) : null);
    return res.build();
}

function _calculateSampleVbar()
{
    var inp = new Inputs(arguments), res = new Results();
    var vbar = inp.number("vBar", "Vbar"), t = inp.number("sedEqTemp", "EquilibriumTemp");
    if (needPositive(res, vbar, "The default vbar") & needTemperature(res, t, "The experiment temperature"))
        res.set("defaultVbarAtT", vbar + VBAR_PER_KELVIN * (t - 20));
    return res.build();
}

// A buffer's density or viscosity is carried between temperatures in the water it is
// made of: the optional fractions D2O, D2O18 and H2O18 (none: light water), as s20,w
// carries it, so that a figure taken to 20 C and on to another temperature gives what
// the direct carry gives.
function calculateDensityAt20()
{
    var inp = new Inputs(arguments), res = new Results();
    var t = inp.number("Temperature", "T"), rho = inp.number("Density");
    var f = waterFractions(res, inp);
    var ok = needTemperature(res, t, "The measuring temperature") & needPositive(res, rho, "Density") & (f !== null);
    if (ok)
        meltingWarning(res, t, f);
    res.setOrEmpty("qtBufferDensity", ok ? bufferDensityCarried(rho, t, 20, f) : null);
    return res.build();
}

function calculateDensityAtT()
{
    var inp = new Inputs(arguments), res = new Results();
    var t = inp.number("EquilibriumTemp", "T", "Temperature"), rho = inp.number("Density");
    var f = waterFractions(res, inp);
    var ok = needTemperature(res, t, "The experiment temperature") & needPositive(res, rho, "Density") & (f !== null);
    if (ok)
        meltingWarning(res, t, f);
    res.setOrEmpty("qtBufferDensity", ok ? bufferDensityCarried(rho, 20, t, f) : null);
    return res.build();
}

// Two callers: the standard-value dialog passes the temperature a viscosity was
// measured at ("Temperature") and wants the 20 C value; the experiment temperature
// correction passes "EquilibriumTemp" and wants the value at that temperature.
// Either way in the buffer's water, the ratio of that water's viscosities.
function calculateViscAtT()
{
    var inp = new Inputs(arguments), res = new Results();
    var eta = inp.number("Viscosity", "Visc");
    // A measuring temperature that is sent chooses the first use, whatever it holds.
    var measuring = !isMissing(inp.text("Temperature"));
    var measured = inp.number("Temperature");
    var target = inp.number("EquilibriumTemp", "T");
    var f = waterFractions(res, inp);
    var value = null;
    if (measuring || isMissing(inp.text("EquilibriumTemp", "T"))) {
        if (needPositive(res, eta, "Viscosity") & needTemperature(res, measured, "The measuring temperature")
            & (f !== null)) {
            meltingWarning(res, measured, f);
            value = viscosityCarried(res, eta, measured, 20, f);
        }
    } else {
        if (needPositive(res, eta, "Viscosity") & needTemperature(res, target, "The experiment temperature")
            & (f !== null)) {
            meltingWarning(res, target, f);
            value = viscosityCarried(res, eta, 20, target, f);
        }
    }
    res.setOrEmpty("qtBufferViscosity", value);
    return res.build();
}

// ---------------------------------------------------------------- equilibrium

function omega(rpm) { return 2 * Math.PI * rpm / 60; }

// The radius of the dry sphere, (3 M vbar / 4 pi N)^1/3 cm. An Mr near the largest number overflows the
// product before its root is taken: the root is then taken of each factor, so that the sphere has its radius
// rather than none (and the figures divided by it no 0).
function anhydrousRadius(mr, vbar)
{
    var volume = 3 * mr * vbar / (4 * Math.PI * AVOGADRO);
    if (isFinite(volume))
        return Math.pow(volume, 1 / 3);
    return Math.pow(mr, 1 / 3) * Math.pow(3 * vbar / (4 * Math.PI * AVOGADRO), 1 / 3);
}

// Accessible surface As = 6.3 M^0.73 A^2 (Miller et al. 1987); radius of the sphere of that surface, cm.
function tellerRadius(mr) { return Math.sqrt(6.3 * Math.pow(mr, 0.73) / (4 * Math.PI)) * 1e-8; }

// The temperature the vbar field holds its value at, the equilibrium temperature, as a reading
// (Inputs.read): the radius and the shape figures take the vbar back to 20 C from it.
function equilibriumReading(res, inp, names, what)
{
    return inp.read(res, names || ["EquilibriumTemp"], what || "The equilibrium temperature", needTemperature);
}

// The vbar at 20 C from the vbar at the equilibrium temperature teq, a reading that is not refused
// (Durchschlag 1986 slope). A caller that sends no equilibrium temperature gets the vbar as it stands.
function vbarAt20(vbar, teq)
{
    return vbar === null || teq.missing ? vbar : vbar - VBAR_PER_KELVIN * (teq.value - 20);
}

// The composition's vbar without denaturant (its 25 C estimate, Cohn and Edsall 1943) as a reading;
// the windows send 0 when there is none, which is then missing.
function undenaturedReading(res, inp)
{
    var dry = inp.read(res, ["UnDenaturedVbar"], "The undenatured vbar", needNotNegative);
    if (dry.value === 0)
        dry.missing = true;
    return dry;
}

// The dry particle's vbar at 20 C: the undenatured vbar (a reading that is not refused) where one
// is sent, else the vbar at 20 C.
function dryVbar(undenatured, vbar20)
{
    return undenatured.missing ? vbar20 : undenatured.value - VBAR_PER_KELVIN * 5;
}

// The anhydrous radius is the dry particle's at 20 C, the one the results page shows.
function calculateRo()
{
    var inp = new Inputs(arguments), res = new Results();
    var mr = inp.number("Mr"), vbar = inp.number("Vbar");
    var teq = equilibriumReading(res, inp), undenatured = undenaturedReading(res, inp);
    var ok = needPositive(res, mr, "Mr") & needPositive(res, vbar, "vbar") & !teq.refused & !undenatured.refused;
    var dry = ok ? dryVbar(undenatured, vbarAt20(vbar, teq)) : null;
    res.setOrEmpty("qtExperimentResultsRp", ok && dry > 0 ? anhydrousRadius(mr, dry) : null);
    return res.build();
}

function calculateRp()
{
    var inp = new Inputs(arguments), res = new Results();
    var mr = inp.number("Mr"), vbar = inp.number("Vbar");
    var ok = needPositive(res, mr, "Mr") & needPositive(res, vbar, "vbar");
    res.setOrEmpty("qtExperimentResultsRp", ok ? tellerRadius(mr) : null);
    return res.build();
}

function buoyantMass(res, mr, vbar, rho)
{
    if (!(needPositive(res, mr, "Mr") & needPositive(res, vbar, "vbar") & needPositive(res, rho, "Density")))
        return null;
    if (!needBuoyancy(res, vbar, rho))
        return null;
    return mr * (1 - vbar * rho);
}

function calculateMbDirectly()
{
    var inp = new Inputs(arguments), res = new Results();
    var mb = buoyantMass(res, inp.number("Mr"), inp.number("Vbar"), inp.number("Density", "density"));
    res.setOrEmpty("qtExperimentResultsMb", mb);
    return res.build();
}

// sigma = Mb omega^2 / (R T), cm^-2.
function sigmaFrom(res, inp)
{
    var t = inp.number("EquilibriumTemp", "T"), rpm = inp.number("RPM");
    var mb = buoyantMass(res, inp.number("Mr"), inp.number("Vbar"), inp.number("Density", "density"));
    var ok = needTemperature(res, t, "The experiment temperature") & needPositive(res, rpm, "The rotor speed");
    if (!ok || mb === null)
        return null;
    return mb * Math.pow(omega(rpm), 2) / (GAS_CONSTANT * (t + KELVIN));
}

function calculateSigmaFromMr()
{
    var inp = new Inputs(arguments), res = new Results();
    res.setOrEmpty("qtSedEquilibriumSigma", sigmaFrom(res, inp));
    return res.build();
}

// Mb = sigma R T / omega^2.
function mbFromSigma(res, inp)
{
    var t = inp.number("EquilibriumTemp", "T"), sigma = inp.number("Sigma", "sigma"), rpm = inp.number("RPM");
    var ok = needTemperature(res, t, "The experiment temperature") & needPositive(res, sigma, "Sigma")
             & needPositive(res, rpm, "The rotor speed");
    return ok ? sigma * GAS_CONSTANT * (t + KELVIN) / Math.pow(omega(rpm), 2) : null;
}

function calculateMbFromSigma()
{
    var inp = new Inputs(arguments), res = new Results();
    res.setOrEmpty("qtExperimentResultsMb", mbFromSigma(res, inp));
    return res.build();
}

function mrFromSigma(res, inp, mb)
{
    var vbar = inp.number("Vbar"), rho = inp.number("Density", "density");
    if (!(needPositive(res, vbar, "vbar") & needPositive(res, rho, "Density")) || !needBuoyancy(res, vbar, rho))
        return null;
    return mb === null ? null : mb / (1 - vbar * rho);
}

function calculateMr()
{
    var inp = new Inputs(arguments), res = new Results();
    res.setOrEmpty("qtSedEquilibriumMR", mrFromSigma(res, inp, mbFromSigma(res, inp)));
    return res.build();
}

function calculationsFromSigma()
{
    var inp = new Inputs(arguments), res = new Results();
    var mb = mbFromSigma(res, inp);
    res.setOrEmpty("qtSedEquilibriumMR", mrFromSigma(res, inp, mb));
    res.setOrEmpty("qtExperimentResultsMb", mb);
    return res.build();
}

// The radius of the method tellerMethod chooses (1 Teller, 0 or not sent the vbar method), the
// buoyant mass and sigma; each problem is said once, whichever figures it stops.
function calculationsFromMr()
{
    var inp = new Inputs(arguments), res = new Results();
    var mr = inp.number("Mr"), vbar = inp.number("Vbar");
    var teller = inp.read(res, ["tellerMethod"], "tellerMethod", needSwitch);
    var ok = needPositive(res, mr, "Mr") & needPositive(res, vbar, "vbar") & !teller.refused;
    var radius = null;
    if (ok && teller.value === 1) {
        radius = tellerRadius(mr);
    } else if (ok) {
        // The temperature's warning is sigma's too: one text for both.
        var teq = equilibriumReading(res, inp, ["EquilibriumTemp", "T"], "The experiment temperature");
        var undenatured = undenaturedReading(res, inp);
        var dry = teq.refused || undenatured.refused ? null : dryVbar(undenatured, vbarAt20(vbar, teq));
        radius = dry > 0 ? anhydrousRadius(mr, dry) : null;
    }
    res.setOrEmpty("qtExperimentResultsRp", radius);
    res.setOrEmpty("qtExperimentResultsMb", buoyantMass(res, mr, vbar, inp.number("Density", "density")));
    // The caller sends an empty speed field as 0 on every recalculation: a run without
    // a speed (velocity work) gets no sigma, and no box about it each time.
    if (inp.number("RPM") === 0) {
        res.set("qtSedEquilibriumSigma", "");
    } else {
        res.setOrEmpty("qtSedEquilibriumSigma", sigmaFrom(res, inp));
    }
    return res.build();
}

// ---------------------------------------------------------------- velocity

// The vbar at 20 C in water that s20,w is normalised with, in (1 - vbar rho_w,20): the
// composition's vbar in water ("vbarwater") when "aVbar" is 1, the Mr method that takes the
// composition's figures; else the sample's vbar at 20 C (vbar20). The shape figures take f from
// s20,w with the same vbar. A caller that sends no "aVbar" gets `unsaid`; the windows send a
// vbarwater of 0 when the composition has none, which is then missing. Null when either is refused.
function normalisingVbar(res, inp, vbar20, unsaid)
{
    var composition = inp.read(res, ["aVbar"], "aVbar", needSwitch);
    if (composition.refused)
        return null;
    if (composition.missing)
        return unsaid;
    if (composition.value === 0)
        return vbar20;
    var water = inp.read(res, ["vbarwater"], "vbarwater", needNotNegative);
    if (water.refused)
        return null;
    return water.missing || water.value === 0 ? vbar20 : water.value;
}

// The window takes a sedimentation coefficient above 9e-6 in magnitude as svedbergs and sends
// seconds; such a figure from another program cannot be seconds and gives none.
var LARGEST_SECONDS = 9e-6;
function inSeconds(res, s, what)
{
    if (s === null || Math.abs(s) <= LARGEST_SECONDS)
        return true;
    res.warn(what + " is " + s + ", which cannot be seconds (" + s + " S would be " + Number((s * 1e-13).toPrecision(6))
             + " s); the figures that need it are not given.");
    return false;
}

// s20,w = s (eta_b,T / eta_w,20) (1 - vbar20 rho_w,20) / (1 - vbar_T rho_b,T) (Svedberg and
// Pedersen 1940). The buffer values of the form are taken as valid at the equilibrium
// temperature and carried to the velocity temperature by the ratios of the water the buffer
// is made of ("D2O", "D2O18", "H2O18", light water when none is sent), as the buffer page
// carries them from 20 C: the viscosity by the isotope mixture's (IAPWS 2008 and 2020), the
// density as bufferDensityCarried does. A buffer the page computed then gives the same
// s20,w whatever the equilibrium temperature.
function s20w(res, inp)
{
    var tv = inp.number("VelocityTemp", "Ttwo");
    var equilibrium = equilibriumReading(res, inp, ["EquilibriumTemp", "Tone"]);
    var s = inp.number("S");
    var eta = inp.number("Viscosity", "Visc");
    var rho = inp.number("Density");
    var sample = inp.read(res, ["Vbar"], "vbar", needPositive);
    var f = waterFractions(res, inp);
    var ok = needTemperature(res, tv, "The velocity temperature") & need(res, s, "The sedimentation coefficient")
             & needPositive(res, eta, "Viscosity") & needPositive(res, rho, "Density") & (f !== null)
             & !equilibrium.refused & !sample.refused;
    if (s === 0) {
        res.warn("The sedimentation coefficient is zero.");
        ok = false;
    }
    ok = inSeconds(res, s, "The sedimentation coefficient S") && ok;
    var vbar = sample.value;
    if (sample.missing) {
        var fallback = inp.read(res, ["Vbar20"], "The default vbar (Vbar20)", needPositive);
        if (fallback.missing || fallback.refused) {
            need(res, null, "vbar");
            ok = false;
        } else {
            res.warn("The sample vbar is missing; the default vbar " + fallback.value + " was used.");
            vbar = fallback.value;
        }
    }
    if (!ok)
        return null;
    var teq = equilibrium.value;
    if (equilibrium.missing) {
        res.warn("The equilibrium temperature is missing; buffer values were taken at the velocity temperature.");
        teq = tv;
    }
    meltingWarning(res, teq, f);
    meltingWarning(res, tv, f);
    var etaT = viscosityCarried(res, eta, teq, tv, f);
    var rhoT = bufferDensityCarried(rho, teq, tv, f);
    var vbarT = vbar + VBAR_PER_KELVIN * (tv - teq);
    var vbar20 = vbar + VBAR_PER_KELVIN * (20 - teq);
    var vbarWater = normalisingVbar(res, inp, vbar20, vbar20);
    if (vbarWater === null)
        return null;
    // A particle sediments (s > 0) when vbar rho is below 1 and floats (s < 0) above it;
    // a sign of s that contradicts the buoyancy is a wrong input, not a figure.
    var buoyancy = 1 - vbarT * rhoT, buoyancyWater = 1 - vbarWater * WATER_DENSITY_20;
    if (!nonNeutral(res, buoyancy, "in the buffer at the velocity temperature", "s20,w is not given")
        || !nonNeutral(res, buoyancyWater, "in water at 20 C", "s20,w is not given"))
        return null;
    if ((s > 0) != (buoyancy > 0)) {
        res.warn("The sedimentation coefficient is " + (s > 0 ? "positive" : "negative") + " but vbar times density is "
                 + shown(vbarT * rhoT) + " at the velocity temperature: the particle would " + (buoyancy > 0 ? "sediment" : "float") + ".");
        return null;
    }
    return s * (etaT / WATER_VISCOSITY_20) * buoyancyWater / buoyancy;
}

function calculateS20W()
{
    var inp = new Inputs(arguments), res = new Results();
    res.setOrEmpty("qtExperimentResultsS", s20w(res, inp));
    return res.build();
}

// so20,w = s20,w / (1 - k c), k in ml/mg and c in mg/ml: the concentration dependence
// s = so (1 - k c) of Schachman 1959, the form the program's k explanation shows.
// A caller that sends no concentration or no k gets s20,w without the correction, and is told; one
// that is sent must be a number (the concentration not negative), and k c below 1.
function calculateSo20W()
{
    var inp = new Inputs(arguments), res = new Results();
    var s = s20w(res, inp);
    var k = inp.read(res, ["So20w_k", "K"], "k (So20w_k)");
    var c = inp.read(res, ["Cp"], "The concentration (Cp)", needNotNegative);
    if (s === null || k.refused || c.refused) {
        res.setOrEmpty("qtExperimentResultsS", null);
    } else if (k.missing || c.missing) {
        res.warn("The concentration or its coefficient k is missing; s20,w is given without the concentration "
                 + "correction.");
        res.set("qtExperimentResultsS", s);
    } else if (k.value * c.value >= 1) {
        res.warn("k times the concentration is 1 or more, beyond the dilute range where s = so (1 - k c) holds; "
                 + "so20,w is not given.");
        res.setOrEmpty("qtExperimentResultsS", null);
    } else {
        res.set("qtExperimentResultsS", s / (1 - k.value * c.value));
    }
    return res.build();
}

// ---------------------------------------------------------------- shape

// Perrin 1936: friction ratio of a prolate (a/b = p > 1) and an oblate ellipsoid.
function perrinProlate(p)
{
    if (p < 1 + 1e-9)
        return 1;
    var q = Math.sqrt(p * p - 1);
    return Math.pow(p, -1 / 3) * q / Math.log(p + q);
}
function perrinOblate(p)
{
    if (p < 1 + 1e-9)
        return 1;
    var q = Math.sqrt(p * p - 1);
    return Math.pow(p, -2 / 3) * q / Math.atan(q);
}
// Tirado and Garcia de la Torre 1979: cylinder of length/diameter p, relative to the
// sphere of equal volume.
function cylinderFactor(p)
{
    var nu = 0.312 + 0.565 / p - 0.100 / (p * p);
    return p / (2 * Math.pow(3 * p / 16, 1 / 3) * (Math.log(p) + nu));
}

function shapeModel(shape)
{
    if (shape == "qtShapeOblate")
        return {factor: perrinOblate, low: 1, high: 1000};
    if (shape == "qtShapeCylinder")
        return {factor: cylinderFactor, low: 2, high: 200};
    return {factor: perrinProlate, low: 1, high: 1000};
}

// Axial ratio whose friction factor equals target, by bisection; null when out of range.
function axialRatio(model, target)
{
    var lo = model.low, hi = model.high;
    if (target < model.factor(lo) - 1e-12 || target > model.factor(hi))
        return null;
    for (var i = 0; i < 200 && hi - lo > 1e-10 * hi; ++i) {
        var mid = (lo + hi) / 2;
        if (model.factor(mid) < target)
            lo = mid;
        else
            hi = mid;
    }
    return (lo + hi) / 2;
}

// Dimensions (2a, 2b) in nm of a particle of volume v (cm^3) and axial ratio p.
function dimensions(shape, volume, p)
{
    var a, b;
    if (shape == "qtShapeCylinder") {
        var d = Math.pow(4 * volume / (Math.PI * p), 1 / 3); // V = pi d^2 L / 4
        a = p * d / 2;
        b = d / 2;
    } else if (shape == "qtShapeOblate") {
        a = Math.pow(3 * volume * p / (4 * Math.PI), 1 / 3); // V = 4/3 pi a^2 b, a = p b
        b = a / p;
    } else {
        b = Math.pow(3 * volume / (4 * Math.PI * p), 1 / 3); // V = 4/3 pi a b^2, a = p b
        a = p * b;
    }
    return {twoA: 2 * a * 1e7, twoB: 2 * b * 1e7};
}

function sphereVolume(r) { return 4 / 3 * Math.PI * r * r * r; }

// One method's results: prefix "qtVbar" or "qtTeller"; modelVolume the dry particle volume.
function shapeResults(res, prefix, names, c)
{
    var r = c.radius, fric = 6 * Math.PI * WATER_VISCOSITY_20 * r;
    res.set(prefix + names.r, r);
    res.set(prefix + names.f, fric);
    res.set(prefix + "Smax", c.mr * Math.abs(c.buoyancy) / (AVOGADRO * fric),
            c.buoyancy < 0 ? "A floating particle: the magnitude of its flotation coefficient" : undefined);
    res.set(prefix + "Dmax", BOLTZMANN * (20 + KELVIN) / fric);
    var labels = [names.ff, "Delta1max", "maxab", "2amax", "2bmin"];
    if (c.stokes === null) {
        for (var i = 0; i < labels.length; ++i)
            res.set(prefix + labels[i], "", "Needs s20,w");
        return;
    }
    var ratio = c.stokes / r;
    res.set(prefix + names.ff, ratio);
    if (c.hydrationRefused !== undefined) {
        var needing = ["Delta1max", "maxab", "2amax", "2bmin"];
        for (var n = 0; n < needing.length; ++n)
            res.set(prefix + needing[n], "", c.hydrationRefused);
        return;
    }
    var modelVolume = sphereVolume(r);
    var waterVolume = c.mr / (AVOGADRO * WATER_DENSITY_20); // per g/g of hydration
    var stokesVolume = sphereVolume(c.stokes);
    var model = shapeModel(c.shape);
    var delta, p, volume, tip;
    if (c.hydration == "qtHydrateProlate" || c.hydration == "qtHydrateOblate") {
        p = c.ratio;
        delta = (stokesVolume / Math.pow(model.factor(p), 3) - modelVolume) / waterVolume;
        if (delta < 0) {
            // The ratio needs more friction than s20,w gives even to the dry model:
            // no hydration matches it, and dimensions at no hydration would be false.
            var largest = axialRatio(model, ratio);
            tip = "No hydration matches an axial ratio of " + shown(p) + ": "
                + (largest === null ? names.friction + " is below 1, so the model sphere is already too large"
                                    : "without hydration the largest is " + Number(largest.toPrecision(3)));
            c.problems.push(tip + " (" + names.method + ").");
            var unmatched = [ "Delta1max", "maxab", "2amax", "2bmin" ];
            for (var u = 0; u < unmatched.length; ++u)
                res.set(prefix + unmatched[u], "", tip);
            return;
        }
    } else if (c.hydration == "qtHydrateDelta1" || c.hydration == "qtHydrateComputed") {
        delta = c.delta;
        var hydrated = modelVolume + delta * waterVolume;
        p = axialRatio(model, c.stokes / Math.pow(3 * hydrated / (4 * Math.PI), 1 / 3));
        if (p === null) {
            tip = "No axial ratio of this shape matches the hydration";
            c.problems.push("No axial ratio of this shape matches a hydration of " + delta + " g/g ("
                            + names.method + ").");
        }
    } else {
        delta = (stokesVolume - modelVolume) / waterVolume;
        p = axialRatio(model, ratio);
        if (delta < 0) {
            // The shape's smallest axial ratio without hydration is shown, the nearest the model comes.
            tip = "No axial ratio of this shape matches: " + names.friction + " is below 1, the particle is smaller "
                + "than the " + names.sphere;
            delta = 0;
            p = model.low;
            c.problems.push("No axial ratio of this shape matches (" + names.method + "): " + names.friction + " is "
                            + shown(ratio) + ", below 1, as s20,w is above the Smax of the " + names.sphere
                            + "; the shape is shown at its smallest axial ratio, " + model.low
                            + ", without hydration." + names.check);
        }
        if (p === null) {
            tip = "No axial ratio of this shape matches: " + names.friction + " is beyond the range of this shape";
            c.problems.push("No axial ratio of this shape matches (" + names.method + "): " + names.friction + " is "
                            + shown(ratio) + ", outside what the shape gives for axial ratios of " + model.low
                            + " to " + model.high + ".");
        }
    }
    res.set(prefix + "Delta1max", delta, tip);
    if (p === null) {
        res.set(prefix + "maxab", "", tip);
        res.set(prefix + "2amax", "", tip);
        res.set(prefix + "2bmin", "", tip);
        return;
    }
    volume = c.hydration == "qtHydrateNothing" || c.hydration == "unchecked" ? modelVolume
                                                                              : modelVolume + delta * waterVolume;
    var dims = dimensions(c.shape, volume, p);
    res.set(prefix + "maxab", p, tip);
    res.set(prefix + "2amax", dims.twoA, tip);
    res.set(prefix + "2bmin", dims.twoB, tip);
}

var SHAPES = ["qtShapeProlate", "qtShapeOblate", "qtShapeCylinder"];
var HYDRATIONS = ["qtHydrateNothing", "qtHydrateProlate", "qtHydrateOblate", "qtHydrateComputed", "qtHydrateDelta1"];
var REFUSED_TIP = "Not given: an input was refused (see the warning)";

// Common preparation of calculateResults and calculationsAvsBHydration. A context without figures
// has only a `tip` that says why: Mr or vbar missing (the Results page says so itself), or an input
// refused. The figures that need s20,w are not given without it (stokes null), nor those that need
// the hydration option's value without a usable one (hydrationRefused, their tip).
function shapeContext(res, inp)
{
    var c = {problems: []};
    var mr = inp.read(res, ["Mr"], "Mr", needPositive), vbar = inp.read(res, ["Vbar"], "vbar", needPositive);
    // f, f0, Smax and the hydration all need the vbar at 20 C, the dry volume too.
    var teq = equilibriumReading(res, inp), undenatured = undenaturedReading(res, inp);
    c.shape = inp.choice(res, "Shape", SHAPES, "unchecked");
    c.hydration = inp.choice(res, "Hydration", HYDRATIONS, "unchecked");
    var sent = inp.read(res, ["S20W"], "S20W");
    if (!mr.missing && vbar.missing)
        res.warn("vbar is missing or not a number.");
    if (mr.refused || vbar.refused || teq.refused || undenatured.refused || c.shape === null || c.hydration === null
        || sent.refused)
        return {tip: REFUSED_TIP};
    if (mr.missing || vbar.missing)
        return {tip: "Needs Mr and vbar"};
    c.mr = mr.value;
    c.vbar = vbarAt20(vbar.value, teq);
    c.dryVbar = dryVbar(undenatured, c.vbar);
    if (c.vbar <= 0 || c.dryVbar <= 0) {
        res.warn("The vbar at 20 C is not greater than zero.");
        return {tip: REFUSED_TIP};
    }
    // f = M (1 - vbar rho) / (N s20,w) with the vbar s20,w was normalised with (normalisingVbar):
    // the composition's vbar in water, not a denaturant-bound one, where it took that. A caller that
    // does not say ("aVbar") has s20,w normalised with the vbar in water, the dry vbar. A floating
    // particle has both negative, and its friction from their magnitudes.
    var buoyant = normalisingVbar(res, inp, c.vbar, c.dryVbar);
    if (buoyant === null)
        return {tip: REFUSED_TIP};
    c.buoyancy = 1 - buoyant * WATER_DENSITY_20;
    c.stokes = null;
    var s = sent.value;
    if (s === 0)
        res.warn("S20W is zero; no figures were taken from s20,w.");
    if (!inSeconds(res, s, "S20W"))
        s = null;
    if (s !== null && s != 0 && nonNeutral(res, c.buoyancy, "in water at 20 C", "no figures were taken from s20,w")) {
        if ((s > 0) != (c.buoyancy > 0)) {
            res.warn("s20,w is " + (s > 0 ? "positive" : "negative") + " but vbar times the density of water at 20 C is "
                     + shown(buoyant * WATER_DENSITY_20) + ": the particle would "
                     + (c.buoyancy > 0 ? "sediment" : "float") + "; no figures were taken from s20,w.");
        } else {
            var fric = c.mr * Math.abs(c.buoyancy) / (AVOGADRO * Math.abs(s));
            c.stokes = fric / (6 * Math.PI * WATER_VISCOSITY_20);
        }
    }
    // The value the hydration option asks for: an axial ratio of the shape, or a hydration (delta1,
    // typed in "Ratio" or the composition's "HydrationValue"). The figures that need it are not given
    // without a usable one, rather than those of another option.
    var value = null, asked = null;
    if (c.hydration == "qtHydrateProlate" || c.hydration == "qtHydrateOblate") {
        var low = shapeModel(c.shape).low;
        asked = "The axial ratio";
        value = inp.read(res, ["Ratio"], asked, rangeCheck(function (v) { return v >= low; }, function () {
            return " must be a number of at least " + low + " for this shape.";
        }));
        c.ratio = value.value;
    } else if (c.hydration == "qtHydrateDelta1" || c.hydration == "qtHydrateComputed") {
        asked = "The hydration (delta1)";
        var from = c.hydration == "qtHydrateComputed" ? "HydrationValue" : "Ratio";
        value = inp.read(res, [from], asked, rangeCheck(function (v) { return v >= 0; }, function () {
            return " must be a number of at least 0 g/g.";
        }));
        c.delta = value.value;
    }
    if (value !== null && value.missing)
        res.warn(asked + " is missing.");
    if (value !== null && (value.missing || value.refused))
        c.hydrationRefused = "Not given: the hydration option's value is " + (value.missing ? "missing" : "refused");
    return c;
}

var RESULT_LABELS = ["Ro", "Fo", "ffo", "Smax", "Dmax", "Delta1max", "maxab", "2amax", "2bmin"];
var TELLER_LABELS = ["Rp", "Fp", "ffp", "Smax", "Dmax", "Delta1max", "maxab", "2amax", "2bmin"];

function calculateResults()
{
    var inp = new Inputs(arguments), res = new Results();
    var c = shapeContext(res, inp);
    if (c.tip !== undefined) {
        for (var i = 0; i < RESULT_LABELS.length; ++i) {
            res.set("qtVbar" + RESULT_LABELS[i], "", c.tip);
            res.set("qtTeller" + TELLER_LABELS[i], "", c.tip);
        }
        res.set("qtRStokes", "", c.tip);
        res.set("qtGraphShapeHydrationExpansion", "");
        return res.build();
    }
    c.radius = anhydrousRadius(c.mr, c.dryVbar);
    // One rule for both methods: where no axial ratio of the shape matches, a warning says so.
    // No particle is smaller than its dry sphere, so the vbar method's case points at the inputs;
    // the Teller sphere is larger than the Stokes sphere of most compact globular proteins.
    shapeResults(res, "qtVbar", {r: "Ro", f: "Fo", ff: "ffo", friction: "f/f0", method: "vbar method",
                                 sphere: "dry sphere", check: " Check s20,w, Mr and vbar."}, c);
    c.radius = tellerRadius(c.mr);
    shapeResults(res, "qtTeller", {r: "Rp", f: "Fp", ff: "ffp", friction: "f/fp", method: "Teller method",
                                   sphere: "Teller sphere", check: ""}, c);
    res.set("qtRStokes", c.stokes === null ? "" : c.stokes, c.stokes === null ? "Needs s20,w" : undefined);
    var expansion = 0;
    if (c.hydration == "qtHydrateDelta1" || c.hydration == "qtHydrateComputed")
        expansion = 100 * c.delta / (c.dryVbar * WATER_DENSITY_20);
    if (c.hydrationRefused !== undefined)
        res.set("qtGraphShapeHydrationExpansion", "");
    else
        res.set("qtGraphShapeHydrationExpansion", isTiny(expansion) ? 0 : Number(expansion.toPrecision(3)));
    for (var j = 0; j < c.problems.length; ++j)
        res.warn(c.problems[j]);
    return res.build();
}

// Axial ratio against hydration from no hydration to the largest the friction allows.
function calculationsAvsBHydration()
{
    var inp = new Inputs(arguments), res = new Results();
    var c = shapeContext(res, inp);
    // The method whose dry sphere the graph starts from: 1 Teller, 0 (or not sent) the vbar method.
    var teller = inp.read(res, ["model"], "model", needSwitch);
    if (c.tip !== undefined || c.stokes === null || teller.refused)
        return res.build();
    // The dry volume of the Results page's figures: the undenatured vbar's (c.dryVbar).
    var radius = teller.value === 1 ? tellerRadius(c.mr) : anhydrousRadius(c.mr, c.dryVbar);
    var modelVolume = sphereVolume(radius);
    var waterVolume = c.mr / (AVOGADRO * WATER_DENSITY_20);
    var maxDelta = (sphereVolume(c.stokes) - modelVolume) / waterVolume;
    if (maxDelta <= 0)
        return res.build();
    var model = shapeModel(c.shape);
    var steps = 40, index = 0;
    for (var i = 0; i <= steps; ++i) {
        var delta = maxDelta * i / steps;
        var r = Math.pow(3 * (modelVolume + delta * waterVolume) / (4 * Math.PI), 1 / 3);
        var p = axialRatio(model, c.stokes / r);
        if (p === null)
            continue;
        res.point("A over B Graph", "x", index, delta);
        res.point("A over B Graph", "y", index, p);
        ++index;
    }
    return res.build();
}

// Outlines of the dry and the hydrated particle, in nm, centred on the origin.
function outline(res, tagUpper, tagLower, shape, twoA, twoB)
{
    var a = twoA / 2, b = twoB / 2, n = 60, xs = [], ys = [];
    if (shape == "qtShapeCylinder") {
        xs = [-a, -a, a, a];
        ys = [0, b, b, 0];
    } else {
        for (var i = 0; i <= n; ++i) {
            var angle = Math.PI * (1 - i / n);
            xs.push(a * Math.cos(angle));
            ys.push(b * Math.sin(angle));
        }
    }
    for (var k = 0; k < xs.length; ++k) {
        res.point(tagUpper, "x", k, xs[k]);
        res.point(tagUpper, "y", k, ys[k]);
        res.point(tagLower, "x", k, xs[k]);
        res.point(tagLower, "y", k, -ys[k]);
    }
}

// The dimensions drawn are those of the method "model" names (1 Teller, 0 or not sent the vbar
// method); a hydration ("hDelta") above 0 is drawn as a shell, which needs Mr.
function graphShape()
{
    var inp = new Inputs(arguments), res = new Results();
    var shape = inp.choice(res, "Shape", SHAPES, "qtShapeProlate");
    var model = inp.read(res, ["model"], "model", needSwitch);
    var delta = inp.read(res, ["hDelta"], "The hydration (hDelta)", needNotNegative);
    var ok = shape !== null && !model.refused && !delta.refused;
    var teller = model.value === 1, shell = ok && !delta.missing && delta.value > 0;
    var twoA = inp.number(teller ? "tamax" : "vamax"), twoB = inp.number(teller ? "tbmin" : "vbmin");
    var mr = shell ? inp.number("Mr") : null;
    var dimensionsOk = ok && needPositive(res, twoA, "2a") & needPositive(res, twoB, "2b");
    if (!dimensionsOk || (shell && !needPositive(res, mr, "Mr"))) {
        res.set("qtGraphShapeHydrationExpansion", "");
        return res.build();
    }
    var volume; // nm^3 of the hydrated particle
    if (shape == "qtShapeCylinder")
        volume = Math.PI * twoB * twoB * twoA / 4;
    else if (shape == "qtShapeOblate")
        volume = Math.PI / 6 * twoA * twoA * twoB;
    else
        volume = Math.PI / 6 * twoA * twoB * twoB;
    var scale = 1, expansion = 0;
    if (shell) {
        var water = delta.value * mr / (AVOGADRO * WATER_DENSITY_20) * 1e21; // nm^3
        scale = water < volume ? Math.pow((volume - water) / volume, 1 / 3) : 1;
        // The shell drawn, as a share of the dry particle drawn: the Teller
        // method's dry sphere is larger than the vbar method's, its shell thinner.
        if (water < volume)
            expansion = 100 * water / (volume - water);
    }
    res.set("qtGraphShapeHydrationExpansion", isTiny(expansion) ? 0 : Number(expansion.toPrecision(3)));
    outline(res, "GCraphShape", "GtraphShape", shape, twoA, twoB);
    outline(res, "GraphShape", "GraphWShape", shape, twoA * scale, twoB * scale);
    var m = 0.55 * Math.max(twoA, twoB);
    res.point("axel", "x", 0, -m);
    res.point("axel", "y", 0, -m);
    res.point("axel", "x", 1, m);
    res.point("axel", "y", 1, m);
    return res.build();
}

// ---------------------------------------------------------------- reference data

function queryAvailable()
{
    return typeof m_query != "undefined" && m_query !== null;
}

// Runs a SELECT with named values; returns rows of texts ("" for NULL), or null on failure.
function selectRows(sql, columns, binds)
{
    if (!queryAvailable())
        return null;
    m_query.prepare(sql);
    if (binds)
        for (var key in binds)
            m_query.bindValue(key, binds[key]);
    if (!m_query.exec())
        return null;
    var rows = [];
    while (m_query.next()) {
        var row = {};
        for (var i = 0; i < columns.length; ++i)
            row[columns[i]] = String(m_query.value(i));
        rows.push(row);
    }
    return rows;
}

// ---------------------------------------------------------------- composition

var PACE_1995 = "Pace et al. 1995";
// Gill and von Hippel 1989, 6 M guanidine hydrochloride, per residue (cystine split in halves).
var GUHCL_EXTINCTION = {TRP: 5690, TYR: 1280, CY2: 60};

var COMPOSITION_SHAPE = "The composition comes as an ARRAY of residue rows and an ARRAY of conjugate rows (that "
                        + "one may be left out), each row with NAME or ID and its amount as MOLES or VALUE.";

// The residues or conjugates of a composition call with their reference rows; null (each
// problem told) when a row is not in the shape the composition page sends, or cannot be
// had: a protein without one of its residues is another protein.
function residueRows(table, byId, byName, res, what)
{
    var refused = "; no figure of the composition is given. " + COMPOSITION_SHAPE;
    if (!tableRows(res, table, what + " row", [["NAME", "ID"], ["MOLES", "VALUE"]], [], refused))
        return null;
    var out = [], complete = true;
    refused = "; no figure of the composition is given without it.";
    for (var i = 0; i < table.length; ++i) {
        var row = table[i];
        // The amount is MOLES where it is sent, else VALUE; the row is the reference row of its ID
        // where one is sent, else of its NAME. What is sent is never passed over for the other.
        var moles = toNumber(isMissing(row.MOLES) ? row.VALUE : row.MOLES);
        var name = row.NAME === undefined ? "" : String(row.NAME);
        var byItsId = !isMissing(row.ID), id = toNumber(row.ID);
        var ref = !byItsId ? byName.get(name) : id !== null && byId.has(String(id)) ? byId.get(String(id)) : undefined;
        var problem = moles === null ? ": the amount is not a number"
                    : moles < 0      ? ": the amount is negative"
                    : ref !== undefined ? null
                    : byItsId ? " (ID " + quoted(row.ID) + ") is not in the reference table"
                    : " is not in the reference table";
        if (problem === null) {
            out.push({ref: ref, moles: moles});
        } else {
            res.warn(what + " " + name + problem + refused);
            complete = false;
        }
    }
    return complete ? out : null;
}

function indexRows(rows, nameColumn)
{
    var byId = new NameMap(), byName = new NameMap();
    for (var i = 0; i < rows.length; ++i) {
        byId.set(String(toNumber(rows[i].id)), rows[i]);
        byName.set(rows[i][nameColumn], rows[i]);
    }
    return {byId: byId, byName: byName};
}

// The titrable groups of a composition, one per charge and pKa with the number of its kind: the charge
// is evaluated at some hundred pH values, and a composition may list a residue in many rows.
function ChargeGroups()
{
    this.list = [];
    this.index = new NameMap();
}
ChargeGroups.prototype.add = function (count, charge, pka) {
    var key = charge + " " + pka;
    if (this.index.has(key)) {
        this.list[this.index.get(key)].count += count;
    } else {
        this.index.set(key, this.list.length);
        this.list.push({count: count, charge: charge, pka: pka});
    }
};

// Net charge per monomer at pH (Henderson-Hasselbalch).
function netCharge(groups, pH)
{
    var z = 0;
    for (var i = 0; i < groups.length; ++i) {
        var g = groups[i];
        if (g.charge > 0)
            z += g.count * g.charge / (1 + Math.pow(10, pH - g.pka));
        else
            z += g.count * g.charge / (1 + Math.pow(10, g.pka - pH));
    }
    return z;
}

function isoelectricPoint(groups)
{
    var lo = 0, hi = 14;
    if (!(netCharge(groups, lo) > 0 && netCharge(groups, hi) < 0))
        return null;
    for (var i = 0; i < 60; ++i) {
        var mid = (lo + hi) / 2;
        if (netCharge(groups, mid) > 0)
            lo = mid;
        else
            hi = mid;
    }
    return (lo + hi) / 2;
}

// A reference row that lacks a figure a composition takes from it: what stands in its place, said once
// per row, so that no figure is taken for one that holds the row whole. A residue or conjugate
// without Mr is left out of the mass and of what is weighed by it, one without vbar out of the vbar
// mean (by mass), one without hydration binds no water (one of HipH7 and HipH4 stands for both),
// a charged one without pKa is left out of the charge, and one without extinction adds nothing at
// 280 nm. What a row says is 0 (no charge, no absorbance) is a figure, not a gap.
function referenceGaps(res, row, what)
{
    var name = row.Namethree !== undefined ? row.Namethree : row.name;
    var gaps = [], instead = [];
    var gap = function (column, text) {
        if (toNumber(row[column]) !== null)
            return false;
        gaps.push(column);
        if (text)
            instead.push(text);
        return true;
    };
    gap("Mr", "its mass was left out of the Mr and of every figure per mass");
    if (toNumber(row.Mr) !== null)
        gap("vbar", "the vbar is the mean of the others by mass");
    var h7 = toNumber(row.HipH7) === null, h4 = toNumber(row.HipH4) === null;
    if (h7 && h4) {
        gaps.push("HipH7", "HipH4");
        instead.push("it was taken to bind no water");
    } else if (h7 || h4) {
        gaps.push(h7 ? "HipH7" : "HipH4");
        instead.push("its " + (h7 ? "HipH4" : "HipH7") + " was used at every pH");
    }
    if (!gap("charge", "it was taken as uncharged") && toNumber(row.charge) != 0)
        gap("pka", "it was left out of the charge");
    gap("extinction", "it was taken to absorb nothing at 280 nm");
    if (gaps.length > 0)
        res.warn(what + " '" + name + "' has no " + gaps.join(", no ") + " in the reference data: "
                 + instead.join("; ") + ".");
}

// A chosen denaturant without the figures that correct the vbar for it: a caller must not take the vbar
// for one corrected for the denaturant it chose. Said whatever the composition, as the choice is made.
function denaturantGaps(res, row)
{
    // Named as the composition page lists it.
    var name = "'" + row.Name + "'", rho = toNumber(row.rhomin);
    if (toNumber(row.v3) === null || toNumber(row.g3) === null)
        res.warn("There are no data for the denaturant " + name + " (its v3 and g3 are not given in the reference "
                 + "data): the vbar is not corrected for it, and is the vbar without denaturant.");
    else if (rho === null || rho <= 0)
        res.warn("The denaturant " + name + " has no density (rhomin) in the reference data: the vbar with it was "
                 + "computed with the density of water at 20 C, " + WATER_DENSITY_20 + " g/ml.");
}

// Every figure of the composition page emptied: none may stand for other residues.
function emptyComposition(res)
{
    var names = ["qtCalculatedVBar", "qtUnDenaturedVBar", "qtCalculatedVBarWater", "qtCalculatedMR",
                 "qtCalculatedHydration", "qtIsoElectricPoint", "qtpHCharge", "qtAbsExtinction", "qtAbsMgMl",
                 "qtEstAbsExtinction", "qtEstAbsMgMl"];
    for (var e = 0; e < names.length; ++e)
        res.set(names[e], "");
    return res.build();
}

function calculationsFromComposition()
{
    var inp = new Inputs(arguments), res = new Results();
    var amino = selectRows("SELECT id, Namethree, Mr, vbar, HipH7, HipH4, extinction, charge, pka FROM amino",
                           ["id", "Namethree", "Mr", "vbar", "HipH7", "HipH4", "extinction", "charge", "pka"]);
    // The conjugate table may hold far more rows than a sample uses: read only when needed.
    var conj = inp.tables.length > 1 && inp.tables[1].length > 0
        ? selectRows("SELECT id, name, Mr, vbar, hiph7, hiph4, extinction, charge, pka FROM conjugates",
                     ["id", "name", "Mr", "vbar", "HipH7", "HipH4", "extinction", "charge", "pka"])
        : [];
    if (amino === null || conj === null) {
        res.warn("The amino acid and conjugate tables could not be read from the database.");
        return res.build();
    }
    var aminoIndex = indexRows(amino, "Namethree"), conjIndex = indexRows(conj, "name");
    var residues = null, conjugates = null;
    if (inp.tables.length == 0 || inp.tables.length > 2) {
        res.warn((inp.tables.length == 0 ? "No ARRAY of residue rows was sent" : "More than two ARRAYs were sent")
                 + "; no figure of the composition is given. " + COMPOSITION_SHAPE);
    } else {
        residues = residueRows(inp.tables[0], aminoIndex.byId, aminoIndex.byName, res, "Amino acid");
        conjugates = inp.tables.length > 1
            ? residueRows(inp.tables[1], conjIndex.byId, conjIndex.byName, res, "Conjugate") : [];
    }
    if (residues === null || conjugates === null)
        return emptyComposition(res);
    var all = residues.concat(conjugates);

    // The page's other inputs, each as it is sent: a missing one as said, one that is sent but cannot
    // be used refused with the figures that need it (the oligomer number: Mr and the extinctions of the
    // whole; the pH: the hydration and the charge at that pH; an end group: every charge figure; the
    // denaturant: the vbar with it).
    var oligomer = inp.read(res, ["OligomerN"], "The oligomer number", needChains);
    if (oligomer.missing)
        res.warn("The oligomer number is missing; 1 was used.");
    var n = oligomer.missing ? 1 : oligomer.value;
    var acidity = inp.read(res, ["BufferpH"], "The pH", needPh);
    if (acidity.missing)
        res.warn("The pH is missing; 7 was used.");
    var pH = acidity.missing ? 7 : acidity.value;
    var ends = [{use: "UseTritrableAmino", pka: "AminoEndpKaValue", what: "amino", charge: 1},
                {use: "UseTritrableCarboxyl", pka: "CarboxylValue", what: "carboxyl", charge: -1}];
    var chargeRefused = false, endGroups = [];
    for (var e = 0; e < ends.length; ++e) {
        var titrable = inp.read(res, [ends[e].use], ends[e].use, needSwitch);
        var endPka = titrable.value === 1 ? inp.read(res, [ends[e].pka], "The " + ends[e].what + " end pKa") : null;
        chargeRefused = chargeRefused || titrable.refused || (endPka !== null && endPka.refused);
        if (endPka !== null && endPka.missing)
            res.warn("The " + ends[e].what + " end pKa is missing; the " + ends[e].what
                     + " end was left out of the charge.");
        else if (endPka !== null && !endPka.refused)
            endGroups.push({count: 1, charge: ends[e].charge, pka: endPka.value});
    }
    var denaturant = inp.text("denaturents"), denaturantRow = null, denaturantRefused = false;
    if (!isMissing(denaturant)) {
        var denaturantId = toNumber(denaturant);
        var den = denaturantId === null ? []
            : selectRows("SELECT Name, rhomin, v3, g3 FROM denature WHERE id = :denatureId",
                         ["Name", "rhomin", "v3", "g3"], {":denatureId": denaturantId});
        denaturantRefused = den === null || den.length == 0;
        if (denaturantRefused)
            res.warn("The denaturant " + quoted(denaturant)
                     + (den === null ? " could not be read" : " is not in the reference table")
                     + "; the vbar with it is not given.");
        else
            denaturantRow = den[0];
    }
    if (denaturantRow !== null)
        denaturantGaps(res, denaturantRow);

    var mass = 0, vbarMass = 0, volume = 0, waters = 0, residueCount = 0;
    var hydrationWeight = pH === null ? 0 : Math.min(1, Math.max(0, (pH - 4) / 3));
    var groups = new ChargeGroups();
    var folded = 0, unfolded = 0;
    for (var i = 0; i < all.length; ++i) {
        var r = all[i].ref, m = all[i].moles;
        if (m > 0)
            referenceGaps(res, r, i < residues.length ? "Amino acid" : "Conjugate");
        var mr = toNumber(r.Mr), vbar = toNumber(r.vbar);
        if (mr !== null) {
            mass += m * mr; // Cohn and Edsall 1943: mass-weighted mean of the residue values
            if (vbar !== null) {
                volume += m * mr * vbar;
                vbarMass += m * mr;
            }
        }
        // Kuntz 1971: waters bound per residue, at pH 4 and at pH 7
        var h7 = toNumber(r.HipH7), h4 = toNumber(r.HipH4);
        if (h7 !== null || h4 !== null) {
            if (h7 === null)
                h7 = h4;
            if (h4 === null)
                h4 = h7;
            waters += m * (h4 + (h7 - h4) * hydrationWeight);
        }
        var charge = toNumber(r.charge), pka = toNumber(r.pka);
        if (charge !== null && charge != 0 && pka !== null)
            groups.add(m, charge, pka);
        var ext = toNumber(r.extinction);
        if (ext !== null)
            folded += m * ext; // Pace et al. 1995
        if (r.Namethree !== undefined && Object.prototype.hasOwnProperty.call(GUHCL_EXTINCTION, r.Namethree))
            unfolded += m * GUHCL_EXTINCTION[r.Namethree]; // Gill and von Hippel 1989
        if (i < residues.length)
            residueCount += m;
    }
    for (var g = 0; g < endGroups.length; ++g)
        groups.add(endGroups[g].count, endGroups[g].charge, endGroups[g].pka);

    if (mass <= 0)
        return emptyComposition(res);

    var vbar25 = vbarMass > 0 ? volume / vbarMass : null;
    var chainMass = mass + (residueCount > 0 ? WATER_MR : 0); // one water per chain
    var apparent = vbar25;
    if (vbar25 !== null && denaturantRow !== null) {
        var v3 = toNumber(denaturantRow.v3), g3 = toNumber(denaturantRow.g3), rho = toNumber(denaturantRow.rhomin);
        if (v3 !== null && g3 !== null) {
            // Casassa and Eisenberg 1964: apparent specific volume with preferential binding
            apparent = vbar25 - g3 * (1 / (rho !== null && rho > 0 ? rho : WATER_DENSITY_20) - v3);
        }
    }
    if (vbar25 === null) {
        res.set("qtCalculatedVBar", "");
        res.set("qtUnDenaturedVBar", "");
        res.set("qtCalculatedVBarWater", "");
    } else {
        res.set("qtCalculatedVBar", denaturantRefused ? "" : apparent);
        res.set("qtUnDenaturedVBar", vbar25);
        res.set("qtCalculatedVBarWater", vbar25 - VBAR_PER_KELVIN * 5); // 20 C, in water
    }
    res.set("qtCalculatedMR", n === null ? "" : chainMass * n);
    res.set("qtCalculatedHydration", pH === null ? "" : waters * WATER_MR / mass);

    var pI = chargeRefused ? null : isoelectricPoint(groups.list);
    res.set("qtIsoElectricPoint", pI === null ? "" : Number(pI.toFixed(2)));
    res.set("qtpHCharge", chargeRefused || pH === null ? "" : Number(netCharge(groups.list, pH).toFixed(2)));
    // Per mass the same for a chain as for the whole.
    res.set("qtAbsExtinction", n === null ? "" : unfolded * n);
    res.set("qtAbsMgMl", unfolded / chainMass);
    res.set("qtEstAbsExtinction", n === null ? "" : folded * n);
    res.set("qtEstAbsMgMl", folded / chainMass);

    for (var step = 0; step <= 56 && !chargeRefused; ++step) {
        res.point("pH Graph", "x", step, step / 4);
        res.point("pH Graph", "y", step, netCharge(groups.list, step / 4));
    }
    if (n !== null)
        absorbanceSpectrum(res, all, n);
    return res.build();
}

// The absorbance graph: molar extinction (1/(M cm)) of the whole N-mer against wavelength,
// the sum over the residues present of their number times the spectrum of the free amino
// acid in the extinction table (Trp, Tyr and Phe in phosphate at pH 7, scaled to Fasman
// 1976; there is no cystine spectrum, so disulfides add nothing), on the wavelengths that
// every contributing spectrum covers. It is not the page's 280 nm figures, which come from
// residue coefficients of the protein (Pace et al. 1995 folded, Gill and von Hippel 1989
// unfolded): for lysozyme the graph reads 36,636 at 280 nm, the folded figure 37,970.
function absorbanceSpectrum(res, all, n)
{
    // Every spectrum in one read: a sample may list a thousand residues and conjugates,
    // and a query per name made its recalculation slow.
    var rows = selectRows("SELECT name, nm, ext FROM extinction WHERE active > 0 ORDER BY nm",
                          ["name", "nm", "ext"]);
    if (rows === null)
        return;
    var stored = new NameMap();
    for (var k = 0; k < rows.length; ++k) {
        var spectrum = stored.get(rows[k].name);
        if (spectrum === undefined) {
            spectrum = {table: new NameMap(), grid: []};
            stored.set(rows[k].name, spectrum);
        }
        var nm = toNumber(rows[k].nm), ext = toNumber(rows[k].ext);
        if (nm === null || ext === null)
            continue;
        var wavelength = String(nm);
        if (!spectrum.table.has(wavelength)) {
            spectrum.table.set(wavelength, ext);
            spectrum.grid.push(nm);
        }
    }
    var spectra = new NameMap(), present = [];
    for (var i = 0; i < all.length; ++i) {
        var name = all[i].ref.Namethree !== undefined ? all[i].ref.Namethree : all[i].ref.name;
        if (all[i].moles <= 0 || spectra.has(name) || !stored.has(name))
            continue;
        spectra.set(name, stored.get(name));
        present.push(name);
    }
    if (present.length == 0)
        return;
    var moles = new NameMap();
    for (var j = 0; j < all.length; ++j) {
        var key = all[j].ref.Namethree !== undefined ? all[j].ref.Namethree : all[j].ref.name;
        moles.set(key, (moles.has(key) ? moles.get(key) : 0) + all[j].moles);
    }
    var grid = spectra.get(present[0]).grid.slice(0);
    // The rows come ordered by wavelength, so the grid is mostly in order already.
    var ascending = true;
    for (var a = 1; a < grid.length && ascending; ++a)
        ascending = grid[a - 1] < grid[a];
    if (!ascending)
        grid.sort(function (a, b) { return a - b; });
    var tables = [], amounts = [];
    for (var q = 0; q < present.length; ++q) {
        tables.push(spectra.get(present[q]).table);
        amounts.push(moles.get(present[q]));
    }
    var index = 0;
    for (var g = 0; g < grid.length; ++g) {
        var sum = 0, covered = true, at = String(grid[g]);
        for (var p = 0; p < present.length; ++p) {
            var value = tables[p].get(at);
            if (value === undefined) {
                covered = false;
                break;
            }
            sum += amounts[p] * value;
        }
        if (!covered)
            continue;
        res.point("Absorbance Graph", "x", index, grid[g]);
        res.point("Absorbance Graph", "y", index, sum * n);
        ++index;
    }
}

// ---------------------------------------------------------------- buffers

// Series forms of the reference data editor; C in mol/l.
function densitySeries(s, c)
{
    return s.a + s.b * 1e-3 * Math.sqrt(c) + s.c * 1e-2 * c + s.d * 1e-3 * c * c + s.e * 1e-4 * c * c * c
           + s.f * 1e-6 * c * c * c * c;
}
function viscositySeries(s, c)
{
    return s.a + 1e-3 * s.b * Math.sqrt(c) + 1e-2 * s.c * c + 1e-3 * s.d * c * c + 1e-3 * s.e * c * c * c;
}

// Reference rows of one buffer call, read once per key: a buffer of many rows of the
// same components queries each series and component only once.
function cached(cache, key, read)
{
    if (!cache.has(key))
        cache.set(key, read());
    return cache.get(key);
}

function seriesRow(cache, table, id)
{
    return cached(cache, table + ":" + id, function () { return readSeriesRow(table, id); });
}

function readSeriesRow(table, id)
{
    var columns = table == "rhoseries" ? "name, a, b, c, d, e, f, Cmax" : "name, a, b, c, d, e, 0, Cmax";
    var rows = selectRows("SELECT " + columns + " FROM " + table + " WHERE id = :seriesId",
                          ["name", "a", "b", "c", "d", "e", "f", "Cmax"], {":seriesId": id});
    if (rows === null || rows.length == 0)
        return null;
    var r = rows[0], s = {name: r.name, cmax: toNumber(r.Cmax)};
    var keys = ["a", "b", "c", "d", "e", "f"];
    for (var i = 0; i < keys.length; ++i) {
        var v = toNumber(r[keys[i]]);
        s[keys[i]] = v === null ? 0 : v;
    }
    return s;
}

function componentFor(cache, seriesColumn, id)
{
    return cached(cache, seriesColumn + ":" + id, function () { return readComponent(seriesColumn, id); });
}

function readComponent(seriesColumn, id)
{
    // The first component on the series is the one used; several may share it, and
    // reading them all made a buffer call slow on a large component table.
    var rows = selectRows("SELECT componentRhoId, componentMr, componentDensity FROM BufferComponent WHERE "
                          + seriesColumn + " = :componentSeries AND active > 0 LIMIT 1",
                          ["rho", "mr", "density"], {":componentSeries": id});
    if (rows === null || rows.length == 0)
        return {rho: null, mr: null, density: null};
    return {rho: toNumber(rows[0].rho), mr: toNumber(rows[0].mr), density: toNumber(rows[0].density)};
}

// The density of a solution of one component at c mol/l in light water at 20 C (water null): its
// series; in a water of density water: the mass balance rho = water + g (1 - phi water), g in g/ml,
// with phi the component's apparent specific volume from its light-water series at c, as for a
// buffer's density in heavy water.
function solutionDensity(series, c, mr, water)
{
    if (water === null)
        return densitySeries(series, c);
    var grams = c * mr / 1000;
    return water + grams - (grams - (densitySeries(series, c) - series.a)) * water / WATER_DENSITY_20;
}

// The unit a component row's concentration is given in: molar where the row says none.
function unitsOf(row) { return isMissing(row.UNITS) ? "molar" : String(row.UNITS); }

// Molar concentration of one component row; null (with a warning) when it cannot be had. A unit per
// mass of solution or of solvent (% by wt, molal) holds more of a solute per litre in a heavier
// water: water is the density at 20 C of the buffer's water, or null for light water.
function molarity(res, cache, row, x, component, name, refused, water)
{
    var units = unitsOf(row);
    if (units == "molar")
        return x;
    var mr = component.mr;
    if (mr === null || mr <= 0) {
        res.warn(name + ": the unit " + units + " needs the component's molar mass, which is not known" + refused);
        return null;
    }
    if (units == "mg/ml")
        return x / mr;
    if (units == "g/ml")
        return 1000 * x / mr;
    if (units == "% by vol") {
        if (component.density === null || component.density <= 0) {
            res.warn(name + ": % by vol needs the density of the pure component, which is not known" + refused);
            return null;
        }
        return 10 * x * component.density / mr;
    }
    if (units == "molal" || units == "% by wt") {
        var series = component.rho === null ? null : seriesRow(cache, "rhoseries", component.rho);
        var c = 0;
        // The solution density depends on C itself: iterate with the component's own series.
        for (var i = 0; i < 50; ++i) {
            var rho = series === null ? (water === null ? WATER_DENSITY_20 : water)
                                      : solutionDensity(series, c, mr, water);
            var next = units == "molal" ? 1000 * x * rho / (1000 + x * mr) : 10 * x * rho / mr;
            if (Math.abs(next - c) < 1e-12)
                break;
            c = next;
        }
        if (series === null)
            res.warn(name + ": no density series to convert " + units + "; the density of water was used.");
        return c;
    }
    res.warn(name + ": the unit \"" + units + "\" is not known" + refused);
    return null;
}

// True when every element of an ARRAY input is a row object whose members of each group of
// needed names hold one as text, and whose optional members hold text where sent; else false
// with a warning that names the first row that is not. A row the request gave no INDEX is a
// named member of the array, not one of its rows, and is refused as well.
function tableRows(res, rows, what, needed, optional, refused)
{
    // The host numbers the rows that have an INDEX, and only those: every other member's name
    // begins with something else than a digit. (A regular expression per key made a buffer of
    // ten thousand rows three times slower.)
    for (var key in rows) {
        var first = key.charCodeAt(0);
        if ((first < 48 || first > 57) && typeof rows[key] == "object") {
            res.warn("The ARRAY holds \"" + key + "\", which is no row numbered from 0" + refused);
            return false;
        }
    }
    for (var i = 0; i < rows.length; ++i) {
        var row = rows[i];
        if (row === null || typeof row != "object" || isArrayValue(row)) {
            res.warn(what + " " + i + " is no row" + refused);
            return false;
        }
        var missing = missingMembers(row, needed, optional);
        if (missing !== null) {
            res.warn(what + " " + i + " has no " + missing.join(", no ") + " as text" + refused);
            return false;
        }
    }
    return true;
}

function isText(v) { return v !== undefined && v !== null && typeof v != "object"; }

// The members a row lacks (of each group of needed names one, the optional ones as text where
// sent), or null when it has them all.
function missingMembers(row, needed, optional)
{
    var missing = null;
    for (var n = 0; n < needed.length; ++n) {
        var group = needed[n], found = false;
        for (var k = 0; k < group.length && !found; ++k)
            found = isText(row[group[k]]);
        if (!found)
            (missing = missing || []).push(group.join(" or "));
    }
    for (var o = 0; o < optional.length; ++o)
        if (row[optional[o]] !== undefined && !isText(row[optional[o]]))
            (missing = missing || []).push(optional[o]);
    return missing;
}

var COMPONENT_ROW_SHAPE = "one ARRAY of rows numbered from 0, each with NAME, VALUE (the concentration), "
                          + "ID (its series) and UNITS";

// The component rows of a buffer call in the shape the buffer page sends them: the call's one
// ARRAY, each element a row with VALUE and ID as texts (NAME and UNITS too where sent; a row
// without UNITS is molar; ROW is not read). Any other shape is refused with a warning (null),
// since reading only what fits would answer for another buffer: water, when nothing fits.
function componentRows(res, inp, figure)
{
    var refused = "; the " + figure + " is not given. The buffer's components come as " + COMPONENT_ROW_SHAPE + ".";
    if (inp.tables.length != 1) {
        res.warn((inp.tables.length == 0 ? "No ARRAY of component rows was sent" : "More than one ARRAY was sent")
                 + refused);
        return null;
    }
    var rows = inp.tables[0];
    return tableRows(res, rows, "Component row", [["VALUE"], ["ID"]], ["NAME", "UNITS"], refused) ? rows : null;
}

// Each row's molar concentration and the increment of its series over water, with the
// component's molar mass; null when a row cannot be had (each one told), since a buffer
// without one of its components is another buffer. Made up in a water of density water at
// 20 C (null: light water), a row also gives the increment at the molarity it has in light
// water (lightIncrement), the one the buffer's figures at 20 C in light water hold. `what` names
// the buffer's figure, `kind` the series' (the light-water series serve every water).
function componentFigures(res, rows, table, seriesColumn, evaluate, what, water, kind)
{
    var out = [], cache = new NameMap(), complete = true;
    var refused = "; the buffer's " + what + " is not given without it.";
    for (var i = 0; i < rows.length; ++i) {
        var row = rows[i];
        var name = row.NAME === undefined ? "Component row " + i : String(row.NAME);
        var text = String(row.VALUE);
        var x = toNumber(text);
        var id = toNumber(row.ID);
        var series = id === null ? null : seriesRow(cache, table, id);
        var c = null, component = null;
        if (x === null && text.replace(/\s/g, "") == "") {
            res.warn(name + ": no concentration is given" + refused);
        } else if (x === null) {
            res.warn(name + ": the concentration \"" + text + "\" is not a number" + refused);
        } else if (x < 0) {
            res.warn(name + ": the concentration is negative" + refused);
        } else if (series === null) {
            res.warn(name + ": its " + kind + " series could not be read" + refused);
        } else {
            component = componentFor(cache, seriesColumn, id);
            c = molarity(res, cache, row, x, component, name, refused, water);
        }
        if (c === null) {
            complete = false;
            continue;
        }
        if (series.cmax !== null && c > series.cmax) {
            // In the unit the row is given in, and as the molarity the series is read at.
            var units = unitsOf(row);
            var given = units == "molar" ? "" : text + " " + units + " is ";
            res.warn(name + ": " + given + Number(c.toPrecision(4)) + " M" + (given ? "," : " is") + " above the range "
                     + "of its " + kind + " series (Cmax " + series.cmax + " M).");
        }
        var increment = evaluate(series, c) - series.a, light = increment;
        if (water !== null)
            light = evaluate(series, molarity(res, cache, row, x, component, name, refused, null)) - series.a;
        out.push({name: name, molar: c, increment: increment, lightIncrement: light, mr: component.mr});
    }
    return complete ? out : null;
}

function sumOfIncrements(figures)
{
    var increment = 0;
    for (var i = 0; i < figures.length; ++i)
        increment += figures[i].increment;
    return increment;
}

// The figures of the call's component rows (componentFigures) for the buffer's `kind` (density
// or viscosity), made up in the water f: null (each problem told) when the rows cannot be read,
// one of them cannot be had, or f is no water.
function figuresInWater(res, inp, f, table, seriesColumn, evaluate, kind)
{
    var what = f === null || isLightWater(f) ? kind : kind + " in heavy water";
    var rows = componentRows(res, inp, "buffer's " + what);
    if (rows === null || f === null)
        return null;
    return componentFigures(res, rows, table, seriesColumn, evaluate, what,
                            isLightWater(f) ? null : waterMixDensity(20, f[0], f[1], f[2]), kind);
}

// A buffer's figures at 20 C in light water from its component rows: null (with a warning)
// when the rows cannot be read or one of them cannot be had.
function bufferFigures(res, inp, table, seriesColumn, evaluate, what)
{
    if (!queryAvailable()) {
        res.warn("The buffer component tables are not available.");
        return null;
    }
    return figuresInWater(res, inp, [0, 0, 0], table, seriesColumn, evaluate, what);
}

function calculateBufferDensity()
{
    var inp = new Inputs(arguments), res = new Results();
    var figures = bufferFigures(res, inp, "rhoseries", "componentRhoId", densitySeries, "density");
    var rho = figures === null ? null : WATER_DENSITY_20 + sumOfIncrements(figures);
    // Far beyond their range the series can fall below zero: that is no density to show or carry on.
    if (rho !== null && rho <= 0) {
        res.warn("The density series give no positive density for this buffer.");
        rho = null;
    }
    res.setOrEmpty("qtDensity", rho);
    return res.build();
}

function calculateBufferViscosity()
{
    var inp = new Inputs(arguments), res = new Results();
    // Relative to water at 20 C: 1.002 cP (Kestin et al. 1978).
    var figures = bufferFigures(res, inp, "viscseries", "componentViscId", viscositySeries, "viscosity");
    var relative = figures === null ? null : 1 + sumOfIncrements(figures);
    if (relative !== null && relative <= 0) {
        res.warn("The viscosity series give no positive viscosity for this buffer.");
        relative = null;
    }
    res.setOrEmpty("qtViscosity", relative === null ? null : WATER_VISCOSITY_20 * relative);
    return res.build();
}

function correctBufferDensityAtT_Normal()
{
    var inp = new Inputs(arguments), res = new Results();
    var rho = inp.number("Density"), t = inp.number("Temperature", "T");
    var ok = needPositive(res, rho, "Density") & needTemperature(res, t, "The temperature");
    res.setOrEmpty("qtCorrectedDensity", ok ? rho * waterDensity(t) / waterDensity(20) : null);
    return res.build();
}

// What a buffer's solutes add at 20 C to the water f beyond what they add to light water. Each
// adds its mass less the water it displaces, c (1 - phi rho) with the density rho of the buffer's
// water, phi its apparent specific volume from its own light-water series at its concentration by
// the mass balance rho = rho_w + c (1 - phi rho_w) (Kratky, Leopold and Stabinger 1973), c in g/ml;
// a row given per mass (% by wt, molal) holds more of its solute per litre in a heavier water. Null
// (each row told) when a solute's share cannot be had. The figures are the rows' made up in f
// (figuresInWater).
function heavyWaterIncrement(res, figures, f)
{
    var water = waterMixDensity(20, f[0], f[1], f[2]);
    var change = 0, complete = true;
    for (var i = 0; i < figures.length; ++i) {
        var s = figures[i];
        if (s.molar == 0)
            continue;
        if (s.mr === null || s.mr <= 0) {
            res.warn(s.name + ": its molar mass is not known, so neither is its share of the buffer's volume; the "
                     + "buffer's density in heavy water is not given without it.");
            complete = false;
            continue;
        }
        var grams = s.molar * s.mr / 1000;
        change += grams - (grams - s.increment) * water / WATER_DENSITY_20 - s.lightIncrement;
    }
    return complete ? change : null;
}

// A buffer made at 20 C with light water's figures, in the water f at t: the isotopes' excess over
// light water, and each solute's increment in that water in place of its light-water one
// (heavyWaterIncrement), carried to t as any buffer of that water is (bufferDensityCarried). The
// component rows are optional for a caller: without them the solutes' increment is the light-water one.
function correctBufferDensityAtT_Heavy()
{
    var inp = new Inputs(arguments), res = new Results();
    var rho = inp.number("Density"), t = inp.number("Temperature", "T");
    var f = waterFractions(res, inp);
    var ok = needPositive(res, rho, "Density") & needTemperature(res, t, "The temperature") & (f !== null);
    var solutes = 0;
    if (inp.tables.length > 0) {
        var figures = figuresInWater(res, inp, f, "rhoseries", "componentRhoId", densitySeries, "density");
        solutes = figures === null ? null : heavyWaterIncrement(res, figures, f);
        ok = ok && solutes !== null;
    } else if (ok && rho != WATER_DENSITY_20 && !isLightWater(f)) {
        res.warn("Without the buffer's component rows its solutes were taken to add to heavy water what they add to "
                 + "light water, which overstates the density by what they displace (1 % for 200 mg/ml sucrose in 90 % "
                 + "D2O); send them as " + COMPONENT_ROW_SHAPE + ".");
    }
    if (ok) {
        meltingWarning(res, t, f);
        var excess = waterMixDensity(20, f[0], f[1], f[2]) - WATER_DENSITY_20;
        res.set("qtCorrectedDensity", bufferDensityCarried(rho + excess + solutes, 20, t, f));
    } else {
        res.setOrEmpty("qtCorrectedDensity", null);
    }
    return res.build();
}

// The ratio of a buffer's viscosity in the water f to its figure at 20 C in light water, at 20 C: its
// solutes are taken to raise the viscosity of any water in the same ratio at the same molarity, and a
// row given per mass (% by wt, molal) holds more of its solute per litre in a heavier water. Null when
// the sum is no viscosity. The figures are the rows' made up in f (figuresInWater).
function heavyWaterViscosityRatio(res, figures)
{
    var heavy = 1, light = 1;
    for (var i = 0; i < figures.length; ++i) {
        heavy += figures[i].increment;
        light += figures[i].lightIncrement;
    }
    if (heavy <= 0 || light <= 0) {
        res.warn("The viscosity series give no positive viscosity for this buffer.");
        return null;
    }
    return heavy / light;
}

// The buffer's viscosity at 20 C in light water, carried to T and to the buffer's water:
// the solutes are taken to raise the viscosity of heavy water in the same ratio, at the molarity
// their rows give in that water where the rows are sent (heavyWaterViscosityRatio). The
// isotope fractions are optional; one that is sent must be a number from 0 to 1.
function correctBufferViscosityAtT()
{
    var inp = new Inputs(arguments), res = new Results();
    var eta = inp.number("Viscosity"), t = inp.number("Temperature", "T");
    var ok = needPositive(res, eta, "Viscosity") & needTemperature(res, t, "The temperature");
    var f = waterFractions(res, inp);
    var ratio = 1;
    if (inp.tables.length > 0) {
        var figures = figuresInWater(res, inp, f, "viscseries", "componentViscId", viscositySeries, "viscosity");
        ratio = figures === null ? null : heavyWaterViscosityRatio(res, figures);
    }
    ok = ok && f !== null && ratio !== null;
    var value = null;
    if (ok) {
        meltingWarning(res, t, f);
        // The buffer at 20 C in its own water, carried from there.
        value = viscosityCarried(res, eta * ratio * heavyMixViscosity(20, f[0], f[1], f[2]) / WATER_VISCOSITY_20,
                                 20, t, f);
    }
    res.setOrEmpty("qtCorrectedViscosity", value);
    return res.build();
}
