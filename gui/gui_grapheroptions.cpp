#include "gui/gui_grapheroptions.h"

#include "app/app_windowgeometry.h"

#include <QAbstractButton>
#include <QColorDialog>
#include <QResizeEvent>

#include <qwt_plot.h>

namespace {

const char *const ColorProperty = "color";

// The plot reads these numbers as Qwt symbol styles; style 3 (the plain
// triangle) is not offered.
struct SymbolChoice
{
    const char *text;
    int style;
};
const SymbolChoice Symbols[] = {
    { "Ellipse", 0 },
    { "Rectangle", 1 },
    { "Diamond", 2 },
    { "Down Triangle", 4 },
    { "Up Triangle", 5 },
    { "Left Triangle", 6 },
    { "Right Triangle", 7 },
    { "Cross", 8 },
    { "XCross", 9 },
    { "Horizontal Line", 10 },
    { "Vertical Line", 11 },
    { "Star 1", 12 },
    { "Star 2", 13 },
    { "Hexagon", 14 },
};

// Default colour and symbol (index into Symbols) of series 1 to 14.
const char *const SeriesColors[GuiGrapherOptions::SeriesCount] = {
    "#000000",
    "#000080",
    "#008000",
    "#008080",
    "#800000",
    "#800080",
    "#808080",
    "#0000FF",
    "#00FF00",
    "#00FFFF",
    "#FF0000",
    "#FF00FF",
    "#808000",
    "#FFFF00",
};
const int SeriesSymbols[GuiGrapherOptions::SeriesCount] = { 0, 13, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12 };

QString seriesName(const char *prefix, int series)
{
    return QLatin1String(prefix) + QString::number(series);
}

void setButtonColor(QPushButton *button, const QString &name)
{
    button->setStyleSheet(QStringLiteral("background-color:") + name);
    button->setProperty(ColorProperty, name);
}

// The option widgets other than the series widgets, in the order in which
// they are recorded and put back.
QStringList axisNames(const QString &axis)
{
    static const char *const suffixes[] = {
        "ScaleRange",
        "ScaleType",
        "ScaleMin",
        "ScaleMax",
        "TicGrid",
        "TicMark",
        "TicColor",
        "TicStart",
        "TicInterval",
        "TicLabelBox",
        "TicLabelFormat",
        "TicLabelFont",
        "TicLabelDecimals",
        "TicLabelSize",
        "Title",
        "TitleFont",
        "TitleSize",
        "TitleColor",
    };
    QStringList names;
    for (const char *suffix : suffixes)
        names << QStringLiteral("qt") + axis + QLatin1String(suffix);
    return names;
}

QStringList titleNames()
{
    QStringList names;
    for (const char *which : { "Main", "Sub" })
        for (const char *suffix : { "Title", "Font", "Size", "Color", "Justification" })
            names << QStringLiteral("qtTitle") + QLatin1String(which) + QLatin1String(suffix);
    return names;
}

QStringList legendNames()
{
    return { QStringLiteral("qtLegendBox"), QStringLiteral("qtLegendPosition"), QStringLiteral("qtLegendFont"),
        QStringLiteral("qtLegendSize"), QStringLiteral("qtLegendUseSingleColor"), QStringLiteral("qtLegendColor") };
}

} // namespace

GuiGrapherOptions::GuiGrapherOptions(QWidget *parent) : QDialog(parent)
{
    setupUi(this);
    initialize();
    createConnections();
}

GuiGrapherOptions::~GuiGrapherOptions() = default;

void GuiGrapherOptions::initialize()
{
    AppWindowGeometry::restore(this, QStringLiteral("GrapherOptions"), QSize(525, 600));
}

void GuiGrapherOptions::createConnections()
{
    for (QPushButton *button : colorButtons())
        connect(button, &QPushButton::clicked, this, &GuiGrapherOptions::onShowColorPicker);
    // The box emits clicked() before accepted()/rejected(), so the state is
    // recorded or restored before the dialog hides.
    connect(qtDialogButtons, &QDialogButtonBox::clicked, this, &GuiGrapherOptions::onDialogButtonClicked);
    connect(qtDialogButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(qtDialogButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(qtHAxisScaleRange, qOverload<int>(&QComboBox::currentIndexChanged), this,
        [this] { onHAxisScaleRangeChanged(qtHAxisScaleRange->currentText()); });
    connect(qtVAxisScaleRange, qOverload<int>(&QComboBox::currentIndexChanged), this,
        [this] { onVAxisScaleRangeChanged(qtVAxisScaleRange->currentText()); });
    connect(qtHAxisTicMark, &QCheckBox::stateChanged, this, &GuiGrapherOptions::onHAxisTicMarkToggled);
    connect(qtVAxisTicMark, &QCheckBox::stateChanged, this, &GuiGrapherOptions::onVAxisTicMarkToggled);
}

QList<QPushButton *> GuiGrapherOptions::colorButtons() const
{
    QList<QPushButton *> buttons;
    for (int n = 1; n <= SeriesCount; ++n)
        buttons << findChild<QPushButton *>(seriesName("qtCurveSymbolColor", n));
    buttons << qtTitleMainColor << qtTitleSubColor << qtLegendColor << qtHAxisTitleColor << qtVAxisTitleColor
            << qtHAxisTicColor << qtVAxisTicColor;
    buttons.removeAll(nullptr);
    return buttons;
}

void GuiGrapherOptions::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    AppWindowGeometry::store(this, QStringLiteral("GrapherOptions"));
}

void GuiGrapherOptions::moveEvent(QMoveEvent *event)
{
    QDialog::moveEvent(event);
    AppWindowGeometry::store(this, QStringLiteral("GrapherOptions"));
}

void GuiGrapherOptions::showCurveAppearanceTab()
{
    qtTabWidget->setCurrentWidget(qtCurveAppearanceTab);
}

void GuiGrapherOptions::showTitleTab()
{
    qtTabWidget->setCurrentWidget(qtTitleTab);
}

void GuiGrapherOptions::showLegendTab()
{
    qtTabWidget->setCurrentWidget(qtLegendTab);
}

void GuiGrapherOptions::showAxesTab()
{
    qtTabWidget->setCurrentWidget(qtAxesTab);
}

void GuiGrapherOptions::setLegendText(int series, QString text)
{
    if (series < 1 || series > SeriesCount)
        return;
    if (auto *field = findChild<QLineEdit *>(seriesName("qtLegendSeries", series))) {
        field->setText(text);
        m_state.insert(field->objectName(), text);
    }
}

void GuiGrapherOptions::setXAxisTitle(QString title)
{
    qtHAxisTitle->setText(title);
    m_state.insert(qtHAxisTitle->objectName(), title);
}

void GuiGrapherOptions::setYAxisTitle(QString title)
{
    qtVAxisTitle->setText(title);
    m_state.insert(qtVAxisTitle->objectName(), title);
}

void GuiGrapherOptions::setHAxisTicGrid(bool on)
{
    qtHAxisTicGrid->setChecked(on);
    m_state.insert(qtHAxisTicGrid->objectName(), on);
}

void GuiGrapherOptions::setVAxisTicGrid(bool on)
{
    qtVAxisTicGrid->setChecked(on);
    m_state.insert(qtVAxisTicGrid->objectName(), on);
}

void GuiGrapherOptions::setScaleValue(QDoubleSpinBox *box, int v)
{
    box->setValue(v);
    m_state.insert(box->objectName(), v);
}

void GuiGrapherOptions::setHAxisScaleMin(int v)
{
    setScaleValue(qtHAxisScaleMin, v);
}

void GuiGrapherOptions::setHAxisScaleMax(int v)
{
    setScaleValue(qtHAxisScaleMax, v);
}

void GuiGrapherOptions::setVAxisScaleMin(int v)
{
    setScaleValue(qtVAxisScaleMin, v);
}

void GuiGrapherOptions::setVAxisScaleMax(int v)
{
    setScaleValue(qtVAxisScaleMax, v);
}

void GuiGrapherOptions::setHAxisTicInterval(int v)
{
    setScaleValue(qtHAxisTicInterval, v);
}

void GuiGrapherOptions::setVAxisTicInterval(int v)
{
    setScaleValue(qtVAxisTicInterval, v);
}

void GuiGrapherOptions::setScaleRange(QComboBox *box, ScaleRange range)
{
    box->setCurrentIndex(box->findData(int(range)));
    m_state.insert(box->objectName(), box->currentText());
}

void GuiGrapherOptions::setHAxisScaleRange(ScaleRange range)
{
    setScaleRange(qtHAxisScaleRange, range);
}

void GuiGrapherOptions::setVAxisScaleRange(ScaleRange range)
{
    setScaleRange(qtVAxisScaleRange, range);
}

int GuiGrapherOptions::curveSymbol(int series) const
{
    const auto *box = findChild<QComboBox *>(seriesName("qtCurveSymbol", series));
    if (!box)
        return -1;
    return box->currentData(Qt::UserRole).toInt();
}

QColor GuiGrapherOptions::curveColor(int series) const
{
    const auto *button
        = qtCurveSeriesAppearanceScrollArea->findChild<QPushButton *>(seriesName("qtCurveSymbolColor", series));
    if (!button)
        return QColor(QStringLiteral("black"));
    QColor color;
    color.setNamedColor(button->property(ColorProperty).toString());
    return color;
}

QString GuiGrapherOptions::legendLabel(int series) const
{
    const auto *field = findChild<QLineEdit *>(seriesName("qtLegendSeries", series));
    return field ? field->text() : QString();
}

void GuiGrapherOptions::onShowColorPicker()
{
    auto *button = qobject_cast<QPushButton *>(sender());
    if (!button)
        return;
    QColor initial;
    initial.setNamedColor(button->property(ColorProperty).toString());
    const QColor color = QColorDialog::getColor(initial, nullptr, QStringLiteral("Vornakel Color Picker"));
    if (!color.isValid())
        return;
    setButtonColor(button, color.name());
}

void GuiGrapherOptions::onDialogButtonClicked(QAbstractButton *button)
{
    if (button == qtDialogButtons->button(QDialogButtonBox::Cancel))
        onCancelTriggered();
    else if (button == qtDialogButtons->button(QDialogButtonBox::Apply))
        onOkayTriggered();
    else if (button == qtDialogButtons->button(QDialogButtonBox::Ok))
        onOkayTriggered();
}

void GuiGrapherOptions::onOkayTriggered()
{
    saveState();
    emit sigSettingsChanged();
}

void GuiGrapherOptions::onHAxisScaleRangeChanged(QString text)
{
    const bool manual = text.compare(QLatin1String("Manual"), Qt::CaseInsensitive) == 0;
    qtHAxisScaleMin->setEnabled(manual);
    qtHAxisScaleMax->setEnabled(manual);
    qtHAxisTicInterval->setEnabled(manual);
}

void GuiGrapherOptions::onVAxisScaleRangeChanged(QString text)
{
    const bool manual = text.compare(QLatin1String("Manual"), Qt::CaseInsensitive) == 0;
    qtVAxisScaleMin->setEnabled(manual);
    qtVAxisScaleMax->setEnabled(manual);
    qtVAxisTicInterval->setEnabled(manual);
}

void GuiGrapherOptions::onHAxisTicMarkToggled()
{
    qtHAxisTicLabelBox->setEnabled(qtHAxisTicMark->isChecked());
}

void GuiGrapherOptions::onVAxisTicMarkToggled()
{
    qtVAxisTicLabelBox->setEnabled(qtVAxisTicMark->isChecked());
}

QWidget *GuiGrapherOptions::optionWidget(const QString &objectName) const
{
    return findChild<QWidget *>(objectName);
}

// Each widget class keeps its value in its own form; a colour button keeps
// its colour name in the "color" property.
void GuiGrapherOptions::recordWidget(const QString &objectName)
{
    QWidget *widget = optionWidget(objectName);
    if (!widget)
        return;
    QVariant value;
    if (auto *box = qobject_cast<QGroupBox *>(widget))
        value = box->isChecked();
    else if (auto *check = qobject_cast<QCheckBox *>(widget))
        value = check->isChecked();
    else if (auto *dspin = qobject_cast<QDoubleSpinBox *>(widget))
        value = dspin->value();
    else if (auto *spin = qobject_cast<QSpinBox *>(widget))
        value = spin->value();
    else if (auto *combo = qobject_cast<QComboBox *>(widget))
        value = combo->currentText();
    else if (auto *edit = qobject_cast<QLineEdit *>(widget))
        value = edit->text();
    else if (qobject_cast<QPushButton *>(widget))
        value = widget->property(ColorProperty);
    else
        return;
    m_state.insert(objectName, value);
}

void GuiGrapherOptions::restoreWidget(const QString &objectName)
{
    QWidget *widget = optionWidget(objectName);
    if (!widget)
        return;
    // An option never recorded counts as empty, and is recorded as such.
    const QVariant value = m_state[objectName];
    if (auto *box = qobject_cast<QGroupBox *>(widget))
        box->setChecked(value.toBool());
    else if (auto *check = qobject_cast<QCheckBox *>(widget))
        check->setChecked(value.toBool());
    else if (auto *dspin = qobject_cast<QDoubleSpinBox *>(widget))
        dspin->setValue(value.toDouble());
    else if (auto *spin = qobject_cast<QSpinBox *>(widget))
        spin->setValue(value.toInt());
    else if (auto *combo = qobject_cast<QComboBox *>(widget))
        combo->setCurrentIndex(combo->findText(value.toString(), Qt::MatchExactly | Qt::MatchCaseSensitive));
    else if (auto *edit = qobject_cast<QLineEdit *>(widget))
        edit->setText(value.toString());
    else if (auto *button = qobject_cast<QPushButton *>(widget))
        setButtonColor(button, value.toString());
}

QStringList GuiGrapherOptions::optionNames() const
{
    QStringList names { QStringLiteral("qtCurvePlotLine"), QStringLiteral("qtCurveLineWidth") };
    for (int n = 1; n <= SeriesCount; ++n)
        names << seriesName("qtCurveSymbolColor", n);
    for (int n = 1; n <= SeriesCount; ++n)
        names << seriesName("qtCurveSymbol", n);
    names << QStringLiteral("qtCurvePlotSymbols") << QStringLiteral("qtCurveSymbolSize");
    names << titleNames() << axisNames(QStringLiteral("HAxis")) << axisNames(QStringLiteral("VAxis")) << legendNames();
    for (int n = 1; n <= SeriesCount; ++n)
        names << seriesName("qtLegendSeries", n);
    return names;
}

void GuiGrapherOptions::saveState()
{
    for (const QString &name : optionNames())
        recordWidget(name);
}

void GuiGrapherOptions::onCancelTriggered()
{
    for (const QString &name : optionNames())
        restoreWidget(name);
}

void GuiGrapherOptions::reset()
{
    qtCurvePlotLine->setChecked(true);
    qtCurveLineWidth->setValue(0.01);
    qtCurvePlotSymbols->setChecked(true);
    qtCurveSymbolSize->setValue(8);

    for (int n = 1; n <= SeriesCount; ++n) {
        if (auto *box = findChild<QComboBox *>(seriesName("qtCurveSymbol", n))) {
            box->clear();
            for (const SymbolChoice &symbol : Symbols)
                box->addItem(QLatin1String(symbol.text), symbol.style);
            box->setCurrentIndex(SeriesSymbols[n - 1]);
        }
    }
    for (int n = 1; n <= SeriesCount; ++n) {
        if (auto *button = findChild<QPushButton *>(seriesName("qtCurveSymbolColor", n)))
            setButtonColor(button, QLatin1String(SeriesColors[n - 1]));
    }

    for (QComboBox *range : { qtHAxisScaleRange, qtVAxisScaleRange }) {
        QComboBox *type = range == qtHAxisScaleRange ? qtHAxisScaleType : qtVAxisScaleType;
        QComboBox *format = range == qtHAxisScaleRange ? qtHAxisTicLabelFormat : qtVAxisTicLabelFormat;
        range->clear();
        range->addItem(QStringLiteral("Auto Range"), int(ScaleRange::Auto));
        range->addItem(QStringLiteral("Prescale"), int(ScaleRange::Prescale));
        range->addItem(QStringLiteral("Manual"), int(ScaleRange::Manual));
        type->clear();
        type->addItem(QStringLiteral("Linear"), int(ScaleType::Linear));
        type->addItem(QStringLiteral("Log Base 10"), int(ScaleType::Log10));
        type->addItem(QStringLiteral("Natural Log"), int(ScaleType::NaturalLog));
        format->clear();
        format->addItem(QStringLiteral("Fixed Decimals"), int(LabelFormat::FixedDecimals));
        format->addItem(QStringLiteral("Scientific Notation"), int(LabelFormat::Scientific));
    }

    qtTitleMainTitle->clear();
    qtTitleMainSize->setValue(10);
    setButtonColor(qtTitleMainColor, QStringLiteral("#000000"));
    qtTitleMainJustification->setCurrentIndex(0);
    qtTitleSubTitle->clear();
    qtTitleSubSize->setValue(10);
    setButtonColor(qtTitleSubColor, QStringLiteral("#000000"));
    qtTitleSubJustification->setCurrentIndex(0);

    struct Axis
    {
        QComboBox *range, *type, *format;
        QDoubleSpinBox *min, *max, *start, *interval;
        QCheckBox *grid, *mark;
        QPushButton *gridColor, *titleColor;
        QGroupBox *labelBox;
        QSpinBox *decimals, *labelSize, *titleSize;
    };
    const Axis axes[] = {
        { qtHAxisScaleRange, qtHAxisScaleType, qtHAxisTicLabelFormat, qtHAxisScaleMin, qtHAxisScaleMax, qtHAxisTicStart,
            qtHAxisTicInterval, qtHAxisTicGrid, qtHAxisTicMark, qtHAxisTicColor, qtHAxisTitleColor, qtHAxisTicLabelBox,
            qtHAxisTicLabelDecimals, qtHAxisTicLabelSize, qtHAxisTitleSize },
        { qtVAxisScaleRange, qtVAxisScaleType, qtVAxisTicLabelFormat, qtVAxisScaleMin, qtVAxisScaleMax, qtVAxisTicStart,
            qtVAxisTicInterval, qtVAxisTicGrid, qtVAxisTicMark, qtVAxisTicColor, qtVAxisTitleColor, qtVAxisTicLabelBox,
            qtVAxisTicLabelDecimals, qtVAxisTicLabelSize, qtVAxisTitleSize },
    };
    for (const Axis &axis : axes) {
        axis.range->setCurrentIndex(0);
        axis.type->setCurrentIndex(0);
        axis.min->setValue(0);
        axis.max->setValue(13);
        axis.min->setEnabled(false);
        axis.max->setEnabled(false);
        axis.grid->setChecked(true);
        axis.mark->setChecked(true);
        setButtonColor(axis.gridColor, QStringLiteral("#FF0000"));
        axis.start->setValue(0);
        axis.interval->setValue(1);
        axis.start->setEnabled(false);
        axis.interval->setEnabled(false);
        axis.labelBox->setChecked(true);
        axis.format->setCurrentIndex(0);
        axis.decimals->setValue(0);
        axis.labelSize->setValue(10);
        axis.titleSize->setValue(10);
        setButtonColor(axis.titleColor, QStringLiteral("#000000"));
    }

    qtLegendBox->setChecked(true);
    qtLegendPosition->clear();
    qtLegendPosition->addItem(QStringLiteral("Right"), int(QwtPlot::RightLegend));
    qtLegendPosition->addItem(QStringLiteral("Left"), int(QwtPlot::LeftLegend));
    qtLegendPosition->addItem(QStringLiteral("Bottom"), int(QwtPlot::BottomLegend));
    qtLegendSize->setValue(10);
    setButtonColor(qtLegendColor, QStringLiteral("#000000"));
    for (int n = 1; n <= SeriesCount; ++n)
        setLegendText(n, QStringLiteral("Series %1").arg(n));

    saveState();
}
