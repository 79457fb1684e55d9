#include "gui/gui_buffercomponents.h"

#include "app/app_calculationcontract.h"
#include "app/app_constants.h"
#include "app/app_log.h"
#include "app/app_number.h"
#include "app/app_plugin.h"
#include "app/app_regularfile.h"
#include "app/app_savefile.h"
#include "app/app_scriptlist.h"
#include "app/app_scriptmessages.h"
#include "app/app_scriptobject.h"
#include "gui/gui_complaints.h"
#include "gui/gui_fieldreader.h"
#include "gui/gui_figurechanges.h"
#include "gui/gui_figurewidth.h"
#include "gui/gui_savefilename.h"
#include "gui/gui_waitcursor.h"
#include "sql/sql_records.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QLocale>
#include <QMessageBox>
#include <QSet>
#include <QSettings>
#include <QSignalBlocker>
#include <QSqlError>
#include <QSqlQuery>
#include <QStyle>
#include <QTableWidgetItem>
#include <cmath>
#include <vector>

namespace {

const char *const title = "Vornakel";
const char *const redMark = "background-color:rgba(170, 28, 29, 100)";
const char *const lastSaveDirectoryKey = "BufferComponents/lastSaveDirectory";
const char *const lastOpenDirectoryKey = "BufferComponents/lastOpenDirectory";
const char *const fileFilter = "Buffer Composition (*.buf)";
// How many units a box offers of its own; a unit added beyond them is a kept one.
const char *const offeredUnitsProperty = "offeredUnits";
// A composition file names components; a million bytes is far beyond any buffer.
const qint64 maximumFileSize = 1024 * 1024;

const int nameColumn = 0;
const int concentrationColumn = 1;
const int unitsColumn = 2;

// Signals of several objects held back for a scope.
class Blockers
{
public:
    explicit Blockers(const QList<QObject *> &objects)
    {
        m_blockers.reserve(objects.size());
        for (QObject *object : objects)
            m_blockers.emplace_back(object);
    }

private:
    std::vector<QSignalBlocker> m_blockers;
};

// Name items sort by name, equal names by component id, so that both tables
// order such rows alike and stay paired row by row.
class ComponentItem : public QTableWidgetItem
{
public:
    explicit ComponentItem(const QString &text) : QTableWidgetItem(text) { }
    QTableWidgetItem *clone() const override { return new ComponentItem(*this); }
    bool operator<(const QTableWidgetItem &other) const override
    {
        const QString mine = text();
        const QString theirs = other.text();
        if (mine != theirs)
            return mine < theirs;
        return data(GuiBufferComponents::ComponentIdRole).toLongLong()
            < other.data(GuiBufferComponents::ComponentIdRole).toLongLong();
    }

private:
    ComponentItem(const ComponentItem &other) = default;
};

QString notQuantifiable(const QString &units)
{
    return QStringLiteral("Concentration of this component cannot be quantified in units of '") + units
        + QStringLiteral("'");
}

// True when the answer carries a node for the widget of that name.
bool answers(const AppScriptObject *node, const QString &name)
{
    return AppCalculationContract::resultNamed(node, name) != nullptr;
}

// Why a concentration read from a file is left out, or nothing when it is
// taken. An empty one is a component without a concentration yet, as on the page.
QString concentrationProblem(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return QString();
    double value = 0;
    if (AppNumber::fromText(trimmed, &value))
        return value < 0 ? QStringLiteral("is negative") : QString();
    if (trimmed.count(QLatin1Char(',')) == 1
        && AppNumber::fromText(QString(trimmed).replace(QLatin1Char(','), QLatin1Char('.')), nullptr))
        return QStringLiteral("has a decimal comma");
    // Beyond the range of a double reads as an infinity too.
    if (!std::isfinite(QLocale::c().toDouble(trimmed)))
        return QStringLiteral("is not a finite number");
    return QStringLiteral("is not a number");
}

// The module's figure in a field is kept whole (populateForm's LAST_VALUE)
// beside the text the field shows for it, rounded to its display format.
const char *const shownFigureProperty = "SHOWN_FIGURE";

double wholeFigure(const QLineEdit *field)
{
    double whole = 0.0;
    const QVariant shown = field->property(shownFigureProperty);
    if (shown.isValid() && shown.toString() == field->text()
        && AppNumber::fromText(field->property(AppKeys::lastValue).toString(), &whole))
        return whole;
    return AppNumber::valueOrZero(field->text());
}

// The whole figure of a field, or null when the field holds no number.
QVariant wholeFigureOrNull(const QLineEdit *field)
{
    double value = 0.0;
    return AppNumber::fromText(field->text(), &value) ? QVariant(wholeFigure(field)) : QVariant();
}

// A stored concentration as text: numbers through the one converter.
QString concentrationText(const QVariant &value)
{
    bool isNumber = false;
    const double number = value.toDouble(&isNumber);
    if (value.type() == QVariant::Double || value.type() == QVariant::LongLong || value.type() == QVariant::Int)
        return isNumber ? AppNumber::toText(number) : QString();
    return value.toString();
}

} // namespace

void GuiBufferComponents::SavedState::clear()
{
    densityComputed = false;
    viscosityComputed = false;
    heavyWater = false;
    components.clear();
}

GuiBufferComponents::GuiBufferComponents(QWidget *parent) : QWidget(parent)
{
    setupUi(this);
    GuiFigureWidth::reserveFields(this);
    m_waterDensity = qtDensity->text();
    m_waterViscosity = qtViscosity->text();
}

GuiBufferComponents::~GuiBufferComponents() = default;

void GuiBufferComponents::setDatabasePath(const QString &path)
{
    m_databasePath = path;
    initialize();
    // Once only: a second call would connect every signal twice.
    if (!m_connected) {
        createConnections();
        m_connected = true;
    }
}

void GuiBufferComponents::initialize()
{
    m_database = QSqlDatabase::database(m_databasePath, true);
    m_calculations = nullptr;
    clear();
    qtDensity->setFormat('g', 5);
    qtCorrectedDensity->setFormat('g', 5);
    qtViscosity->setFormat('e', 5);
    qtCorrectedViscosity->setFormat('e', 5);
    // The form's texts were written before these formats: shown in them at once,
    // the water viscosity reads 1.00200e-02 like every computed one, not 0.01002.
    for (GuiLineEdit *field : { qtDensity, qtCorrectedDensity, qtViscosity, qtCorrectedViscosity })
        field->validateAndFormat();
    qtHeavyWater->setChecked(false);
    qtCalculateDensity->setChecked(false);
    qtCalculateViscosity->setChecked(false);
    populateComponents();
}

void GuiBufferComponents::createConnections()
{
    connect(qtButtonBox, &QDialogButtonBox::rejected, this, &GuiBufferComponents::onCancelClicked);
    connect(qtButtonBox, &QDialogButtonBox::accepted, this, &GuiBufferComponents::onAcceptClicked);
    connect(qtAddComponent, &QAbstractButton::clicked, this, &GuiBufferComponents::onAddComponentClicked);
    connect(qtRemoveComponent, &QAbstractButton::clicked, this, &GuiBufferComponents::onRemoveComponentClicked);
    connect(qtCompute, &QAbstractButton::clicked, this, [this] {
        m_unitPending.clear();
        compute();
    });
    connect(qtAddedComponents, &QTableWidget::itemChanged, this, &GuiBufferComponents::onItemChanged);
    connect(qtCalculateDensity, &QGroupBox::toggled, this, &GuiBufferComponents::compute);
    connect(qtCalculateViscosity, &QGroupBox::toggled, this, &GuiBufferComponents::compute);
    connect(qtComponentsSearch, &QLineEdit::textEdited, this, &GuiBufferComponents::onSearchTextEdited);
    connect(qtAddedComponentsSearch, &QLineEdit::textEdited, this, &GuiBufferComponents::onSearchTextEdited);
    // Heavy water changes the viscosity as well as the density: both corrections follow the isotopes.
    connect(qtWaterComposition, &GuiWaterComposition::sigValueChanged, this, &GuiBufferComponents::correctBoth);
    connect(qtHeavyWater, &QGroupBox::toggled, this, &GuiBufferComponents::correctBoth);
    connect(qtReadFromFile, &QAbstractButton::clicked, this, &GuiBufferComponents::onReadFromFileClicked);
    connect(qtSaveToFile, &QAbstractButton::clicked, this, &GuiBufferComponents::onSaveToFileClicked);
    connect(qtSaveToDatabase, &QAbstractButton::clicked, this, [this] {
        finishEntries();
        emit sigSaveToDatabase();
    });
}

void GuiBufferComponents::setCalculationsPlugin(AppPlugin *module)
{
    m_calculations = module;
}

// Component tables

GuiBufferComponents::ComponentRecord GuiBufferComponents::recordFrom(
    const SqlReferenceRecords::BufferComponent &component)
{
    ComponentRecord record;
    record.id = static_cast<int>(component.id);
    record.name = component.name;
    const QVariant &rho = component.densitySeriesId;
    const QVariant &visc = component.viscositySeriesId;
    record.densitySeries = rho.isNull() ? QVariant() : QVariant(rho.toLongLong());
    record.viscositySeries = visc.isNull() ? QVariant() : QVariant(visc.toLongLong());
    record.hasDensity = !component.density.isNull();
    record.hasMr = !component.mr.isNull();
    record.active = component.active;
    return record;
}

void GuiBufferComponents::populateComponents()
{
    clearTables();
    const QSignalBlocker blockComponents(qtComponents);
    const QSignalBlocker blockAdded(qtAddedComponents);

    SqlReferenceRecords reference(m_database);
    QVector<SqlReferenceRecords::BufferComponent> components;
    if (!reference.bufferComponents(&components)) {
        QMessageBox::critical(nullptr, QLatin1String(title), reference.error(), QMessageBox::Ok);
        return;
    }
    QList<ComponentRecord> records;
    for (const SqlReferenceRecords::BufferComponent &component : qAsConst(components))
        records << recordFrom(component);

    qtComponents->setRowCount(records.size());
    qtAddedComponents->setRowCount(records.size());
    for (int row = 0; row < records.size(); ++row)
        fillRow(row, records.at(row));
    sortTables();
    fitAddedColumns();
}

void GuiBufferComponents::fitAddedColumns()
{
    // The name takes what concentration and units leave, so that no heading is cut off. A stretched last
    // section would take half of it, and a header clips a centred heading wider than its section at both
    // ends ("uffer Component") unless it elides. It elides in its own font but paints a highlighted
    // section bold, which would cut the name's heading again while its row is selected.
    QHeaderView *header = qtAddedComponents->horizontalHeader();
    header->setStretchLastSection(false);
    header->setTextElideMode(Qt::ElideRight);
    header->setHighlightSections(false);
    header->setSectionResizeMode(nameColumn, QHeaderView::Stretch);
    const QTableWidgetItem *heading = qtAddedComponents->horizontalHeaderItem(concentrationColumn);
    // Wide enough that the header does not elide it: it elides to its label, a margin in from each edge,
    // less a margin on each side again, and measures the text unrounded.
    const int margins = 4 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    const qreal text = QFontMetricsF(header->font()).horizontalAdvance(heading ? heading->text() : QString());
    header->resizeSection(concentrationColumn, int(std::ceil(text)) + margins);
    qtAddedComponents->resizeColumnToContents(unitsColumn);
}

void GuiBufferComponents::fillRow(int row, const ComponentRecord &record)
{
    auto *name = new ComponentItem(record.name);
    name->setData(ComponentIdRole, record.id);
    name->setData(DensitySeriesRole, record.densitySeries);
    name->setData(ViscositySeriesRole, record.viscositySeries);
    qtComponents->setItem(row, nameColumn, name);

    // Names are chosen, never typed: a renamed cell would match no component.
    QTableWidgetItem *copy = name->clone();
    copy->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    auto *concentration = new QTableWidgetItem();
    concentration->setFlags(Qt::ItemIsEnabled | Qt::ItemIsEditable);
    auto *unitsItem = new QTableWidgetItem();
    unitsItem->setFlags(Qt::ItemIsEnabled);

    auto *box = new QComboBox();
    // A box with a size of its own is not sized from its items when the view
    // shows it; the view gives it its cell's geometry anyway, and sizing a
    // thousand boxes of hidden rows took most of the time the page filled in.
    box->resize(qtAddedComponents->columnWidth(unitsColumn), qtAddedComponents->verticalHeader()->defaultSectionSize());
    populateUnitsBox(box, record.hasDensity, record.hasMr);
    connect(box, qOverload<int>(&QComboBox::currentIndexChanged), box, [box]() { dropKeptUnits(box); });
    // A unit chosen finishes the component being added: the buffer is computed, and what the
    // calculation finds is said, in that unit. Choosing the unit the box shows already changes nothing
    // but finishes the component all the same.
    const int id = record.id;
    connect(box, qOverload<int>(&QComboBox::currentIndexChanged), this, [this, id] {
        m_unitPending.remove(id);
        compute();
    });
    connect(box, qOverload<int>(&QComboBox::activated), this, [this, id] {
        if (m_unitPending.remove(id))
            compute();
    });

    qtAddedComponents->setItem(row, nameColumn, copy);
    qtAddedComponents->setItem(row, concentrationColumn, concentration);
    qtAddedComponents->setItem(row, unitsColumn, unitsItem);
    qtAddedComponents->setCellWidget(row, unitsColumn, box);
    qtAddedComponents->setRowHidden(row, true);
    setComponentStylesheet(name);
}

void GuiBufferComponents::populateUnitsBox(QComboBox *box, bool hasDensity, bool hasMr)
{
    // A component of the buffer keeps its unit, on screen or not; any other
    // box starts again from "molar".
    QString kept;
    for (int row = 0; box->count() > 0 && row < qtAddedComponents->rowCount(); ++row) {
        if (unitsBox(row) == box) {
            if (!qtAddedComponents->isRowHidden(row))
                kept = box->currentText();
            break;
        }
    }

    box->clear();
    box->setStyleSheet(QString());
    box->setToolTip(QString());
    box->addItem(QStringLiteral("molar"));
    if (hasDensity && hasMr) {
        box->addItems({ QStringLiteral("molal"), QStringLiteral("mg/ml"), QStringLiteral("g/ml"),
            QStringLiteral("% by wt"), QStringLiteral("% by vol") });
    }
    box->setProperty(offeredUnitsProperty, box->count());
    if (!kept.isEmpty())
        selectUnits(box, kept);
}

void GuiBufferComponents::selectUnits(QComboBox *box, const QString &units)
{
    int index = box->findText(units, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0) {
        box->setToolTip(notQuantifiable(units));
        box->setStyleSheet(QLatin1String(redMark));
        box->addItem(units);
        index = box->count() - 1;
    }
    box->setCurrentIndex(index);
    dropKeptUnits(box);
}

void GuiBufferComponents::dropKeptUnits(QComboBox *box)
{
    // A unit the box offers replaces a kept one: the red mark and the kept
    // unit go, or a valid choice would stay marked as impossible.
    const int offered = box->property(offeredUnitsProperty).toInt();
    if (box->currentIndex() < 0 || box->currentIndex() >= offered)
        return;
    const QSignalBlocker block(box);
    while (box->count() > offered)
        box->removeItem(box->count() - 1);
    box->setStyleSheet(QString());
    box->setToolTip(QString());
}

void GuiBufferComponents::setComponentStylesheet(QTableWidgetItem *item)
{
    if (!item || item->tableWidget() != qtComponents || qtComponents->item(item->row(), item->column()) != item) {
        qCWarning(lcGui) << "GuiBufferComponent::setComponentStylesheet invalid component passed as param";
        return;
    }
    const int row = item->row();
    const QString name = item->text();
    const bool noDensity = item->data(DensitySeriesRole).isNull();
    const bool noViscosity = item->data(ViscositySeriesRole).isNull();

    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    QBrush background(QColor(QStringLiteral("white")));
    QString tip;
    if (noDensity && noViscosity) {
        background = QBrush(QColor(170, 28, 29, 100));
        tip = QStringLiteral("No Solvent Data defined for component: '%1'\n\nComponent will not be used to calculate "
                             "buffer density or buffer viscosity.")
                  .arg(name);
    } else if (noDensity) {
        background = QBrush(QColor(QStringLiteral("#EDAE6F")));
        tip = QStringLiteral(
            "No Solvent Density data defined for component: '%1'\n\nComponent will not be used to calculate buffer "
            "density")
                  .arg(name);
    } else if (noViscosity) {
        background = QBrush(QColor(QStringLiteral("#EDAE6F")));
        tip = QStringLiteral("No Solvent Viscosity data defined for component: '%1'\n\nComponent will not be used to "
                             "calculate buffer viscosity")
                  .arg(name);
    }
    item->setBackground(background);
    item->setToolTip(tip);
    if (noDensity && noViscosity)
        qtComponents->setCurrentItem(nullptr);

    if (QTableWidgetItem *copy = qtAddedComponents->item(row, nameColumn)) {
        copy->setBackground(background);
        // The buffer's column is too narrow for names such as the sodium
        // phosphates: the tip tells the rows apart, ahead of any warning.
        copy->setToolTip(tip.isEmpty() ? name : name + QStringLiteral("\n\n") + tip);
    }
    if (QTableWidgetItem *concentration = qtAddedComponents->item(row, concentrationColumn))
        concentration->setFlags(Qt::ItemIsEnabled | Qt::ItemIsEditable);
    if (QComboBox *box = unitsBox(row))
        box->setEnabled(true);
}

void GuiBufferComponents::clearTables()
{
    m_unitPending.clear();
    const QSignalBlocker blockComponents(qtComponents);
    const QSignalBlocker blockAdded(qtAddedComponents);
    // The boxes go with their rows; none may compute on its way out.
    const QList<QComboBox *> boxes = unitsBoxes();
    for (QComboBox *box : boxes) {
        box->blockSignals(true);
        delete box;
    }
    qtAddedComponents->setRowCount(0);
    qtAddedComponents->setColumnCount(3);
    qtComponents->clearContents();
    qtComponents->setRowCount(0);
    qtComponents->setColumnCount(1);
    // The temperature stays: it is the experiment's, whatever the tables hold.
}

void GuiBufferComponents::sortTables()
{
    // Which components are in the buffer is kept by id, not by row position.
    QSet<int> shown;
    for (int row = 0; row < qtAddedComponents->rowCount(); ++row) {
        if (!qtAddedComponents->isRowHidden(row))
            shown.insert(qtAddedComponents->item(row, nameColumn)->data(ComponentIdRole).toInt());
    }
    qtComponents->sortItems(nameColumn, Qt::AscendingOrder);
    qtAddedComponents->sortItems(nameColumn, Qt::AscendingOrder);
    for (int row = 0; row < qtAddedComponents->rowCount(); ++row) {
        const int id = qtAddedComponents->item(row, nameColumn)->data(ComponentIdRole).toInt();
        qtAddedComponents->setRowHidden(row, !shown.contains(id));
    }
}

int GuiBufferComponents::rowOf(int componentId) const
{
    for (int row = 0; row < qtComponents->rowCount(); ++row) {
        const QTableWidgetItem *item = qtComponents->item(row, nameColumn);
        if (item && item->data(ComponentIdRole).toInt() == componentId)
            return row;
    }
    return -1;
}

QComboBox *GuiBufferComponents::unitsBox(int row) const
{
    return qobject_cast<QComboBox *>(qtAddedComponents->cellWidget(row, unitsColumn));
}

QList<QComboBox *> GuiBufferComponents::unitsBoxes() const
{
    QList<QComboBox *> boxes;
    for (int row = 0; row < qtAddedComponents->rowCount(); ++row) {
        if (QComboBox *box = unitsBox(row))
            boxes << box;
    }
    return boxes;
}

void GuiBufferComponents::onAddComponentClicked()
{
    if (sender() != qtAddComponent || !qtComponents->currentItem())
        return;
    // The component added before is finished now, in the unit it has.
    finishEntries();
    QTableWidgetItem *current = qtComponents->currentItem();
    const int row = current->row();
    const bool inBuffer = !qtAddedComponents->isRowHidden(row);
    if (!inBuffer && (current->data(DensitySeriesRole).isNull() || current->data(ViscositySeriesRole).isNull())) {
        QMessageBox::warning(this, QLatin1String(title), current->toolTip(), QMessageBox::Ok);
    }

    QTableWidgetItem *concentration = qtAddedComponents->item(row, concentrationColumn);
    // Emptying the concentration of a component already in the buffer changes
    // the buffer; a component just added adds nothing until it has one.
    const bool changesBuffer = inBuffer && hasConcentration(row);
    {
        const QSignalBlocker block(qtAddedComponents);
        qtAddedComponents->setRowHidden(row, false);
        concentration->setText(QString());
    }
    // A new component whose box offers a choice of units waits for it: its concentration may be typed first.
    const QComboBox *box = unitsBox(row);
    if (!inBuffer && box && box->property(offeredUnitsProperty).toInt() > 1)
        m_unitPending.insert(current->data(ComponentIdRole).toInt());
    qtAddedComponents->setCurrentItem(concentration);
    qtAddedComponents->editItem(concentration);
    fitAddedColumns();
    if (changesBuffer)
        compute();
}

void GuiBufferComponents::onRemoveComponentClicked()
{
    if (sender() != qtRemoveComponent || !qtAddedComponents->currentItem())
        return;
    const QSignalBlocker block(qtAddedComponents);
    const int row = qtAddedComponents->currentItem()->row();
    // Another component may still wait for its unit: removing this one finishes nothing else.
    m_unitPending.remove(qtAddedComponents->item(row, nameColumn)->data(ComponentIdRole).toInt());
    qtAddedComponents->setRowHidden(row, true);
    fitAddedColumns();
    compute();
}

void GuiBufferComponents::onItemChanged(QTableWidgetItem *item)
{
    // A concentration typed, changed or emptied changes the buffer.
    if (!sender() || sender() != qtAddedComponents || !item || item->column() != concentrationColumn)
        return;
    compute();
}

void GuiBufferComponents::onSearchTextEdited(const QString &text)
{
    auto *field = qobject_cast<QLineEdit *>(sender());
    if (!field)
        return;
    field->setStyleSheet(QStringLiteral("background-color:rgb(255,255,255)"));
    if (text.isEmpty())
        return;
    QTableWidget *table = field == qtComponentsSearch ? qtComponents : qtAddedComponents;
    for (int row = 0; row < table->rowCount(); ++row) {
        QTableWidgetItem *item = table->item(row, nameColumn);
        if (!table->isRowHidden(row) && item && item->text().startsWith(text, Qt::CaseInsensitive)) {
            table->setCurrentItem(item);
            return;
        }
    }
    // rgba: Qt 5 style sheets ignore an alpha given to rgb().
    field->setStyleSheet(QLatin1String(redMark));
}

// Computation

void GuiBufferComponents::compute()
{
    namespace Calc = AppCalculationContract;
    if (!m_calculations)
        return;
    // Computed without a component, the figures would be another buffer's
    // (pure water's, when it was the only one) under this buffer's name.
    if (!m_missingComponents.isEmpty() && (qtCalculateDensity->isChecked() || qtCalculateViscosity->isChecked())) {
        QMessageBox::warning(this, QLatin1String(title),
            QStringLiteral("The density and viscosity of this solvent cannot be computed: its composition depends on "
                           "a record which was not found in the database!\n\nMissing record: '%1'\n\nThe figures "
                           "shown are those stored with the solvent.")
                .arg(m_missingComponents.join(QStringLiteral("', '"))),
            QMessageBox::Ok);
        return;
    }
    GuiWaitCursor wait;
    const QSignalBlocker block(qtAddedComponents);
    const AppScriptMessages messages(this, messagesPass());
    // Computed anew, the figures are this page's at 20 C and follow the run temperature.
    m_olderFigures = false;

    // A component whose concentration is still to be typed makes no buffer yet: the
    // figures wait for it (the module would refuse them), without a box while it is typed.
    const bool complete = concentrationsGiven();
    if (qtCalculateDensity->isChecked())
        writeResult(complete ? askAt20(Calc::calculateBufferDensity.name(), DensitySeriesRole) : nullptr, qtDensity);
    if (qtCalculateViscosity->isChecked())
        writeResult(
            complete ? askAt20(Calc::calculateBufferViscosity.name(), ViscositySeriesRole) : nullptr, qtViscosity);
    calculateDensityTemperatureCorrection();
    calculateViscosityTemperatureCorrection();
}

AppScriptObject *GuiBufferComponents::askAt20(const QString &function, Role seriesRole) const
{
    AppScriptList arrays;
    arrays.add(componentRows(seriesRole));
    return m_calculations->execOne(function, arrays);
}

AppScriptObject *GuiBufferComponents::componentRows(Role seriesRole) const
{
    // One row per shown component that has a series of the figure's kind.
    auto *rows = new AppScriptObject(AppScriptObject::Array);
    int count = 0;
    for (int row = 0; row < qtAddedComponents->rowCount(); ++row) {
        if (qtAddedComponents->isRowHidden(row))
            continue;
        const QTableWidgetItem *name = qtAddedComponents->item(row, nameColumn);
        const QVariant series = name->data(seriesRole);
        if (series.isNull())
            continue;
        const QComboBox *box = unitsBox(row);
        auto *component = new AppScriptObject(
            name->text(), qtAddedComponents->item(row, concentrationColumn)->text(), AppScriptObject::Normal);
        component->setProperty("ID", series);
        component->setProperty("ROW", row);
        component->setProperty("UNITS", box ? box->currentText() : QString());
        rows->setProperty(QByteArray::number(count++).constData(), component);
    }
    return rows;
}

bool GuiBufferComponents::hasConcentration(int row) const
{
    return !qtAddedComponents->item(row, concentrationColumn)->text().trimmed().isEmpty();
}

bool GuiBufferComponents::concentrationsGiven() const
{
    for (int row = 0; row < qtAddedComponents->rowCount(); ++row) {
        if (!qtAddedComponents->isRowHidden(row) && !hasConcentration(row))
            return false;
    }
    return true;
}

QPair<QVariant, QVariant> GuiBufferComponents::figuresAt20Now(const SqlSolventRecord &solvent) const
{
    namespace Calc = AppCalculationContract;
    if (!m_calculations || !m_missingComponents.isEmpty())
        return {};
    const auto now = [this](const QVariant &stored, const QString &function, Role series, const QLineEdit *field) {
        if (stored.isNull())
            return QVariant();
        AppScriptList answer;
        answer.add(askAt20(function, series));
        const std::optional<double> at20 = Calc::figureOf(answer.first(), field->objectName());
        return at20 ? QVariant(*at20) : QVariant();
    };
    return { now(solvent.computedDensity, Calc::calculateBufferDensity.name(), DensitySeriesRole, qtDensity),
        now(solvent.computedViscosity, Calc::calculateBufferViscosity.name(), ViscositySeriesRole, qtViscosity) };
}

bool GuiBufferComponents::givesStoredFiguresAt20(const SqlSolventRecord &solvent) const
{
    // Without the module or a component, figuresAt20Now() gives none.
    const QPair<QVariant, QVariant> now = figuresAt20Now(solvent);
    const QPair<const QVariant &, const QVariant &> figures[]
        = { { solvent.computedDensity, now.first }, { solvent.computedViscosity, now.second } };
    for (const auto &figure : figures) {
        if (figure.first.isNull())
            continue;
        // Figures at another temperature differ in the third digit at least.
        const double at20 = figure.second.toDouble();
        if (figure.second.isNull() || std::fabs(figure.first.toDouble() - at20) > 1e-6 * std::fabs(at20))
            return false;
    }
    return true;
}

void GuiBufferComponents::tellChangedFigures(
    const QVariant &densityBefore, const QVariant &viscosityBefore, const QString &removed)
{
    GuiFigureChanges changes;
    if (!removed.isEmpty())
        changes.add(
            QStringLiteral("%1 is no longer in the reference data and was taken out of the buffer").arg(removed));
    if (qtCalculateDensity->isChecked())
        changes.compare(QStringLiteral("density at 20 C"), densityBefore, densityAt20());
    if (qtCalculateViscosity->isChecked())
        changes.compare(QStringLiteral("viscosity at 20 C"), viscosityBefore, viscosityAt20());
    if (!changes.isEmpty())
        emit sigReferenceFiguresChanged(changes.text(QStringLiteral("was")), changes.captions());
}

void GuiBufferComponents::writeResult(AppScriptObject *result, QLineEdit *field)
{
    AppScriptList owned;
    owned.add(result);
    const bool wasBlocked = blockSignals(true);
    AppScriptObject::populateForm(result, this);
    blockSignals(wasBlocked);
    const bool answered = answers(result, field->objectName());
    if (!answered)
        field->setText(QString());
    field->setProperty(shownFigureProperty, answered ? QVariant(field->text()) : QVariant());
}

namespace {

// The figure at 20 C in a field, whole as the module gave it, or false when
// the field holds no number: such a field is never sent, and the corrected
// one is emptied instead of being made from 0.
bool figureAt20(const QLineEdit *source, QLineEdit *target, double *value)
{
    if (AppNumber::fromText(source->text(), value)) {
        *value = wholeFigure(source);
        return true;
    }
    target->setText(QString());
    return false;
}

} // namespace

void GuiBufferComponents::calculateDensityTemperatureCorrection()
{
    if (qtCalculateDensity->isChecked())
        correctToTemperature(qtDensity, qtCorrectedDensity, DensitySeriesRole,
            AppCalculationContract::correctBufferDensityNormal, AppCalculationContract::correctBufferDensityHeavy);
}

void GuiBufferComponents::calculateViscosityTemperatureCorrection()
{
    if (qtCalculateViscosity->isChecked())
        correctToTemperature(qtViscosity, qtCorrectedViscosity, ViscositySeriesRole,
            AppCalculationContract::correctBufferViscosity, AppCalculationContract::correctBufferViscosityHeavy);
}

void GuiBufferComponents::correctToTemperature(const QLineEdit *at20, QLineEdit *corrected, Role seriesRole,
    const AppCalculation<2> &normal, const AppCalculation<5> &heavyWater)
{
    // Figures stored at a temperature nobody knows are never corrected again.
    if (m_olderFigures)
        return;
    double figure = 0.0;
    if (!m_calculations || !figureAt20(at20, corrected, &figure))
        return;
    if (!qtHeavyWater->isChecked()) {
        writeResult(normal.call(m_calculations, figure, m_temperature), corrected);
        return;
    }
    // In heavy water each solute adds what it weighs less the water it displaces, and a
    // concentration per mass holds more of it per litre: the module takes both from the rows.
    // Without all of the buffer's components there are none to send (the box of the missing
    // component said so when it was loaded), and a component still without its concentration
    // is not in the figure at 20 C either.
    if (!m_missingComponents.isEmpty() || !concentrationsGiven()) {
        writeResult(nullptr, corrected);
        return;
    }
    const GuiWaterComposition *water = qtWaterComposition;
    AppScriptList inputs = heavyWater.inputs(figure, m_temperature, water->D2O(), water->D2O18(), water->H2O18());
    inputs.add(componentRows(seriesRole));
    writeResult(m_calculations->execOne(heavyWater.name(), inputs), corrected);
}

bool GuiBufferComponents::awaitsUnit() const
{
    for (const int id : m_unitPending) {
        const int row = rowOf(id);
        if (row >= 0 && !qtAddedComponents->isRowHidden(row) && hasConcentration(row))
            return true;
    }
    return false;
}

void GuiBufferComponents::finishEntries()
{
    // Computed again whenever anything was held back, so that it is said now, of the buffer as it stands.
    const bool held = awaitsUnit();
    m_unitPending.clear();
    if (held)
        compute();
}

AppScriptMessages::Kind GuiBufferComponents::messagesPass() const
{
    // The figures are always the buffer's as it stands; what the calculation says of it waits while a
    // component just added has its concentration but not yet its unit, rather than speak of a row the
    // person has not finished, in a unit it may not keep.
    return awaitsUnit() ? AppScriptMessages::HeldBackPass : AppScriptMessages::NewPass;
}

void GuiBufferComponents::correctBoth()
{
    // The corrections to the temperature and water read the rows too (in heavy water).
    const AppScriptMessages messages(this, messagesPass());
    calculateDensityTemperatureCorrection();
    calculateViscosityTemperatureCorrection();
}

bool GuiBufferComponents::showsOlderFigures() const
{
    return m_olderFigures;
}

void GuiBufferComponents::setTemperature(double temperature)
{
    m_temperature = temperature;
    correctBoth();
}

double GuiBufferComponents::temperature() const
{
    return m_temperature;
}

double GuiBufferComponents::calculatedDensity() const
{
    return wholeFigure(qtCorrectedDensity);
}

double GuiBufferComponents::calculatedViscosity() const
{
    return wholeFigure(qtCorrectedViscosity);
}

QVariant GuiBufferComponents::densityAt20() const
{
    return wholeFigureOrNull(qtDensity);
}

QVariant GuiBufferComponents::viscosityAt20() const
{
    return wholeFigureOrNull(qtViscosity);
}

void GuiBufferComponents::showStoredFigure(QLineEdit *field, const QVariant &value)
{
    double figure = 0.0;
    if (value.isNull() || !AppNumber::fromText(value.toString(), &figure)) {
        field->setText(QString());
        field->setProperty(shownFigureProperty, QVariant());
        return;
    }
    field->setText(AppNumber::toText(figure));
    field->setProperty(AppKeys::lastValue, AppNumber::toText(figure));
    field->setProperty(shownFigureProperty, field->text());
}

// State, OK and Cancel

QHash<int, GuiBufferComponents::SavedState::ComponentPair> GuiBufferComponents::shownComponents() const
{
    QHash<int, SavedState::ComponentPair> components;
    for (int row = 0; row < qtAddedComponents->rowCount(); ++row) {
        if (qtAddedComponents->isRowHidden(row))
            continue;
        const QComboBox *box = unitsBox(row);
        components.insert(qtAddedComponents->item(row, nameColumn)->data(ComponentIdRole).toInt(),
            { qtAddedComponents->item(row, concentrationColumn)->text(), box ? box->currentText() : QString() });
    }
    return components;
}

void GuiBufferComponents::showComponents(const QHash<int, SavedState::ComponentPair> &components)
{
    // Every component shown comes with its unit.
    m_unitPending.clear();
    for (int row = 0; row < qtAddedComponents->rowCount(); ++row) {
        const int id = qtAddedComponents->item(row, nameColumn)->data(ComponentIdRole).toInt();
        const auto found = components.constFind(id);
        if (found == components.constEnd()) {
            qtAddedComponents->setRowHidden(row, true);
            continue;
        }
        qtAddedComponents->setRowHidden(row, false);
        qtAddedComponents->item(row, concentrationColumn)->setText(found->concentration);
        if (QComboBox *box = unitsBox(row)) {
            if (!found->units.isEmpty())
                selectUnits(box, found->units);
        }
    }
}

void GuiBufferComponents::saveCurrentState()
{
    m_savedState.clear();
    m_savedState.densityComputed = qtCalculateDensity->isChecked();
    m_savedState.viscosityComputed = qtCalculateViscosity->isChecked();
    m_savedState.heavyWater = qtHeavyWater->isChecked();
    m_savedState.components = shownComponents();
    qtWaterComposition->saveCurrentState();
}

void GuiBufferComponents::showWaterWhereUnchecked()
{
    // A calculation that is off computes nothing: its greyed fields show the
    // form's water, as at the start, not the figures of a buffer no longer shown.
    if (!qtCalculateDensity->isChecked()) {
        qtDensity->setText(m_waterDensity);
        qtCorrectedDensity->setText(m_waterDensity);
    }
    if (!qtCalculateViscosity->isChecked()) {
        qtViscosity->setText(m_waterViscosity);
        qtCorrectedViscosity->setText(m_waterViscosity);
    }
}

void GuiBufferComponents::leaveCalculation(QGroupBox *box)
{
    {
        const QSignalBlocker blocker(box);
        box->setChecked(false);
    }
    if (box == qtCalculateDensity)
        m_savedState.densityComputed = false;
    else if (box == qtCalculateViscosity)
        m_savedState.viscosityComputed = false;
    showWaterWhereUnchecked();
}

void GuiBufferComponents::restoreToLastSavedState()
{
    {
        // Everything is put back first; the figures then belong to the buffer shown.
        QList<QObject *> held { this, qtCalculateDensity, qtCalculateViscosity, qtHeavyWater, qtAddedComponents,
            qtWaterComposition };
        const QList<QComboBox *> boxes = unitsBoxes();
        for (QComboBox *box : boxes)
            held << box;
        const Blockers block(held);
        qtCalculateDensity->setChecked(m_savedState.densityComputed);
        qtCalculateViscosity->setChecked(m_savedState.viscosityComputed);
        qtHeavyWater->setChecked(m_savedState.heavyWater);
        showComponents(m_savedState.components);
        qtWaterComposition->restoreLastSavedState();
    }
    showWaterWhereUnchecked();
    compute();
}

void GuiBufferComponents::clear()
{
    // A new buffer: no component, no calculation, pure water.
    showBufferRecord(SqlSolventRecord());
}

void GuiBufferComponents::onAcceptClicked()
{
    finishEntries();
    saveCurrentState();
    // Only a figure is handed on: an empty or unreadable field would arrive as 0.
    if (qtCalculateDensity->isChecked() && calculatedDensity() > 0)
        emit sigCalculatedDensityAccepted(calculatedDensity());
    if (qtCalculateViscosity->isChecked() && calculatedViscosity() > 0)
        emit sigCalculatedViscosityAccepted(calculatedViscosity());
    emit sigPageAccepted();
}

void GuiBufferComponents::onCancelClicked()
{
    restoreToLastSavedState();
    emit sigPageCanceled();
}

void GuiBufferComponents::loadBufferRecord(int id)
{
    SqlRecords records(m_database);
    SqlSolventRecord solvent;
    if (!records.loadSolvent(id, &solvent)) {
        QMessageBox::critical(this, QLatin1String(title), records.error(), QMessageBox::Ok);
        return;
    }
    showBufferRecord(solvent);
}

void GuiBufferComponents::showBufferRecord(const SqlSolventRecord &solvent)
{
    m_changedSinceSaved.clear();
    {
        QList<QObject *> held { qtCalculateDensity, qtCalculateViscosity, qtHeavyWater, qtAddedComponents,
            qtWaterComposition };
        const QList<QComboBox *> boxes = unitsBoxes();
        for (QComboBox *box : boxes)
            held << box;
        const Blockers block(held);

        qtCalculateDensity->setChecked(!solvent.computedDensity.isNull() || !solvent.computedDensityAt20.isNull());
        qtCalculateViscosity->setChecked(
            !solvent.computedViscosity.isNull() || !solvent.computedViscosityAt20.isNull());
        qtHeavyWater->setChecked(solvent.heavyWater.toBool());
        // Fractions of 1 in the record; a solvent saved without a calculation
        // has none, and its water is pure.
        auto percent = [](const QVariant &fraction) { return fraction.toDouble() * 100.0; };
        qtWaterComposition->setValues(percent(solvent.d2o), percent(solvent.d2o18), percent(solvent.h2o18), 100.0);

        QHash<int, int> rows; // component id to row, the first row of each
        for (int row = qtComponents->rowCount() - 1; row >= 0; --row)
            rows.insert(qtComponents->item(row, nameColumn)->data(ComponentIdRole).toInt(), row);
        QHash<int, SavedState::ComponentPair> components;
        QStringList missing;
        for (const SqlSolventRecord::Component &component : solvent.components) {
            const int componentId = component.id.toInt();
            if (!rows.contains(componentId)) {
                missing << (component.name.isEmpty()
                        ? QStringLiteral("component %1, no longer in the reference data").arg(component.id.toString())
                        : component.name);
                continue;
            }
            components.insert(componentId, { concentrationText(component.concentration), component.units });
        }
        // In heavy water each solute's share is taken from its own series: without one, figures
        // stored at 20 C cannot be carried to the run temperature.
        const bool heavy = qtHeavyWater->isChecked() && keepsFiguresAt20(solvent)
            && (qtCalculateDensity->isChecked() || qtCalculateViscosity->isChecked());
        for (const QString &name : qAsConst(missing)) {
            QMessageBox::warning(this, QLatin1String(title),
                QStringLiteral("The Buffer Composition for this Solvent depends on a record which was not found in "
                               "the database!\n\nMissing record: '")
                    + name + QStringLiteral("'")
                    + (heavy ? QStringLiteral("\n\nIn heavy water its figures cannot be carried from 20 C to the run "
                                              "temperature without it: they are left empty.")
                             : QString()),
                QMessageBox::Ok);
        }
        m_missingComponents = missing;
        showComponents(components);
        saveCurrentState();
        fitAddedColumns();
    }
    showWaterWhereUnchecked();
    // The figures the solvent was saved with. A record of the current form
    // keeps them at 20 C in light water besides: they are shown at the
    // page's temperature and water, so that saving it again stores its own
    // figures. So did the release that kept them at 20 C in place of those
    // the page showed (its rows are marked). An older record holds them at
    // the run temperature of its save, which it does not name: they are
    // shown as stored, and not corrected again until the page computes the
    // buffer anew.
    m_olderFigures
        = !keepsFiguresAt20(solvent) && (!solvent.computedDensity.isNull() || !solvent.computedViscosity.isNull());
    // The release that first stored them at 20 C in light water did not mark
    // them either: its rows are told by their figures, which are what their
    // components give at 20 C in light water.
    if (m_olderFigures && givesStoredFiguresAt20(solvent))
        m_olderFigures = false;
    // Its figures at 20 C: in their own columns, else (the marked or told
    // rows of the releases before) in place of those shown.
    SqlSolventRecord at20 = solvent;
    if (!solvent.computedDensityAt20.isNull())
        at20.computedDensity = solvent.computedDensityAt20;
    if (!solvent.computedViscosityAt20.isNull())
        at20.computedViscosity = solvent.computedViscosityAt20;
    const struct
    {
        QGroupBox *box;
        const QVariant &stored;
        const QVariant &at20;
        GuiLineEdit *at20Field;
        GuiLineEdit *corrected;
    } figures[] = {
        { qtCalculateDensity, solvent.computedDensity, at20.computedDensity, qtDensity, qtCorrectedDensity },
        { qtCalculateViscosity, solvent.computedViscosity, at20.computedViscosity, qtViscosity, qtCorrectedViscosity }
    };
    for (const auto &figure : figures) {
        if (!figure.box->isChecked())
            continue;
        if (m_olderFigures) {
            showStoredFigure(figure.at20Field, QVariant());
            showStoredFigure(figure.corrected, figure.stored);
        } else {
            showStoredFigure(figure.at20Field, figure.at20);
        }
    }
    // Figures its components no longer give are no figures of the buffer shown:
    // it is computed again, and what changed since its save is kept to be told.
    if (keepsFiguresAt20(solvent) && !m_olderFigures && m_missingComponents.isEmpty()) {
        const QPair<QVariant, QVariant> now = figuresAt20Now(at20);
        GuiFigureChanges changes;
        changes.compare(QStringLiteral("density at 20 C"), at20.computedDensity, now.first);
        changes.compare(QStringLiteral("viscosity at 20 C"), at20.computedViscosity, now.second);
        if (!changes.isEmpty() && m_calculations) {
            m_changedSinceSaved = changes.text(QStringLiteral("saved with"));
            compute();
            return;
        }
    }
    correctBoth();
}

bool GuiBufferComponents::keepsFiguresAt20(const SqlSolventRecord &solvent)
{
    return !solvent.computedDensityAt20.isNull() || !solvent.computedViscosityAt20.isNull()
        || !solvent.computedAt20.isNull();
}

void GuiBufferComponents::fillRecord(
    SqlSolventRecord *solvent, bool densityComputed, bool viscosityComputed, GuiFieldReader *reader) const
{
    // The water the page shows goes with its components, whichever source the
    // tab uses: reloaded, the page shows both as they were.
    solvent->heavyWater = qtHeavyWater->isChecked() ? 1 : 0;
    solvent->d2o = qtWaterComposition->D2O();
    solvent->d2o18 = qtWaterComposition->D2O18();
    solvent->h2o18 = qtWaterComposition->H2O18();
    solvent->h2o = qtWaterComposition->H2O();
    // The page's figures as it shows them, at the run temperature in its
    // water: what the file's format keeps, and what every program that reads
    // it takes for the buffer's. Beside them its whole figures at 20 C in
    // light water, whatever the run temperature: a loaded solvent is taken
    // from them to the temperature of its run. An older record not computed
    // since keeps its figures and its form, without figures at 20 C.
    const QVariant null(QVariant::Double);
    const auto figure
        = [&null](bool computed, const QVariant &value) { return computed && value.isValid() ? value : null; };
    solvent->computedDensity = figure(densityComputed, wholeFigureOrNull(qtCorrectedDensity));
    solvent->computedViscosity = figure(viscosityComputed, wholeFigureOrNull(qtCorrectedViscosity));
    solvent->computedDensityAt20 = figure(densityComputed && !m_olderFigures, densityAt20());
    solvent->computedViscosityAt20 = figure(viscosityComputed && !m_olderFigures, viscosityAt20());
    // Its figures at 20 C have columns of their own.
    solvent->computedAt20 = QVariant(QVariant::Int);
    // The buffer shown: its hidden rows are components not in it.
    for (int row = 0; row < qtAddedComponents->rowCount(); ++row) {
        if (qtAddedComponents->isRowHidden(row))
            continue;
        const QComboBox *box = unitsBox(row);
        const QString concentration = qtAddedComponents->item(row, concentrationColumn)->text();
        const QString problem = concentrationProblem(concentration);
        if (reader && !problem.isEmpty())
            reader->refuse(QStringLiteral("concentration of %1").arg(qtAddedComponents->item(row, nameColumn)->text()),
                concentration, problem);
        solvent->components.append({ qtAddedComponents->item(row, nameColumn)->data(ComponentIdRole), QString(),
            concentration, box ? box->currentText() : QString() });
    }
}

// Buffer composition file

void GuiBufferComponents::onSaveToFileClicked()
{
    const QString folder = QSettings().value(QLatin1String(lastSaveDirectoryKey), QDir::currentPath()).toString();
    const QString fileName = GuiSaveFileName::ask(
        this, QStringLiteral("Save Buffer Composition File"), folder, QLatin1String(fileFilter), QStringLiteral("buf"));
    if (fileName.isEmpty())
        return;
    QSettings().setValue(QLatin1String(lastSaveDirectoryKey), QFileInfo(fileName).absolutePath());
    if (!writeCompositionFile(fileName) || !qtHeavyWater->isChecked() || qtWaterComposition->isPure())
        return;
    // The file keeps the form older files and other programs read: components
    // only. The water is not lost without a word.
    QStringList water;
    const QPair<const char *, double> isotopes[] = { { "D2O", qtWaterComposition->D2O() },
        { "D2O18", qtWaterComposition->D2O18() }, { "H2O18", qtWaterComposition->H2O18() } };
    for (const auto &isotope : isotopes) {
        if (isotope.second > 0)
            water << QStringLiteral("%1 % %2").arg(AppNumber::toText(100 * isotope.second), isotope.first);
    }
    QMessageBox::warning(this, QLatin1String(title),
        QStringLiteral("%1 holds the buffer's components only: a buffer composition file has no place for its water "
                       "(%2). Read back, it is a buffer in ordinary water; the solvent saved in the database keeps "
                       "its water.")
            .arg(QFileInfo(fileName).fileName(), water.join(QStringLiteral(", "))),
        QMessageBox::Ok);
}

bool GuiBufferComponents::writeCompositionFile(const QString &fileName)
{
    QString text;
    {
        GuiWaitCursor wait;
        for (int row = 0; row < qtAddedComponents->rowCount(); ++row) {
            if (qtAddedComponents->isRowHidden(row))
                continue;
            const QComboBox *box = unitsBox(row);
            // Trimmed, as the reader matches names: a name stored with blanks around it
            // is still read back.
            text += qtAddedComponents->item(row, nameColumn)->text().trimmed() + QLatin1Char('\t')
                + qtAddedComponents->item(row, concentrationColumn)->text() + QLatin1Char('\t')
                + (box ? box->currentText() : QString()) + QLatin1Char('\n');
        }
    }
    QString failure;
    if (AppSaveFile::write(fileName, text.toLocal8Bit(), &failure))
        return true;
    QMessageBox::critical(this, QLatin1String(title), failure, QMessageBox::Ok);
    return false;
}

void GuiBufferComponents::onReadFromFileClicked()
{
    const QString folder = QSettings().value(QLatin1String(lastOpenDirectoryKey), QDir::currentPath()).toString();
    const QString fileName = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open Buffer Composition File"), folder, QLatin1String(fileFilter));
    if (fileName.isEmpty() || !QFileInfo::exists(fileName))
        return;
    QSettings().setValue(QLatin1String(lastOpenDirectoryKey), QFileInfo(fileName).absolutePath());
    readCompositionFile(fileName);
}

void GuiBufferComponents::readCompositionFile(const QString &fileName)
{
    const QString refused = AppRegularFile::refusal(fileName);
    if (!refused.isEmpty()) {
        QMessageBox::critical(this, QLatin1String(title), refused, QMessageBox::Ok);
        return;
    }
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        QMessageBox::critical(
            this, QLatin1String(title), QStringLiteral("Cannot open %1").arg(fileName), QMessageBox::Ok);
        return;
    }
    if (file.size() > maximumFileSize) {
        QMessageBox::critical(this, QLatin1String(title),
            QStringLiteral("%1 is larger than 1 MiB and is not read as a buffer composition.").arg(fileName),
            QMessageBox::Ok);
        return;
    }
    const QByteArray bytes = file.read(maximumFileSize + 1);
    file.close();
    if (bytes.size() > maximumFileSize) {
        QMessageBox::critical(this, QLatin1String(title),
            QStringLiteral("%1 is larger than 1 MiB and is not read as a buffer composition.").arg(fileName),
            QMessageBox::Ok);
        return;
    }

    // Decoded whole: the conversion of a byte array stops at a NUL byte, and would
    // drop every line after it in silence.
    QStringList lines = QString::fromLocal8Bit(bytes.constData(), bytes.size()).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the end of the last line, not a line of its own

    // Names are matched with their blanks normalised and letter case folded, on
    // both sides, so that every name the page writes is found again.
    auto key = [](const QString &name) { return name.simplified().toCaseFolded(); };
    QHash<QString, int> rows; // folded name to its first row
    for (int row = qtAddedComponents->rowCount() - 1; row >= 0; --row)
        rows.insert(key(qtAddedComponents->item(row, nameColumn)->text()), row);

    QStringList complaints;
    {
        QList<QObject *> held { qtAddedComponents };
        const QList<QComboBox *> boxes = unitsBoxes();
        for (QComboBox *box : boxes)
            held << box;
        const Blockers block(held);
        for (int row = 0; row < qtAddedComponents->rowCount(); ++row)
            qtAddedComponents->setRowHidden(row, true);
        // The file gives every component its unit.
        m_unitPending.clear();

        QSet<int> taken; // rows a line of the file has set
        QSet<int> repeated; // rows already named as listed twice
        for (int i = 0; i < lines.size(); ++i) {
            QString line = lines.at(i);
            if (line.endsWith(QLatin1Char('\r')))
                line.chop(1);
            if (line.contains(QChar::Null)) {
                complaints << QStringLiteral("Ignoring line %1: it holds a NUL byte").arg(i + 1);
                continue;
            }
            const QStringList fields = line.split(QLatin1Char('\t'));
            if (fields.size() < 2) {
                complaints << QStringLiteral("Ignoring invalid row");
                continue;
            }
            const int row = rows.value(key(fields.at(0)), -1);
            if (row < 0) {
                complaints << QStringLiteral("No matching record found for '%1'").arg(fields.at(0));
                continue;
            }
            const QString concentration = fields.at(1);
            const QString refused = concentrationProblem(concentration);
            if (!refused.isEmpty()) {
                complaints << QStringLiteral("Ignoring '%1': the concentration '%2' %3")
                                  .arg(fields.at(0).trimmed(), concentration, refused);
                continue;
            }
            // A line written with a trailing TAB still has its units in field 3;
            // no units at all mean molar, never an empty unit.
            QString units = fields.size() >= 3 ? fields.at(2) : QString();
            if (units.isEmpty())
                units = QStringLiteral("molar");
            if (taken.contains(row) && !repeated.contains(row)) {
                repeated.insert(row);
                complaints << QStringLiteral("'%1' is listed more than once; its last line is used")
                                  .arg(fields.at(0).trimmed());
            }
            taken.insert(row);
            qtAddedComponents->setRowHidden(row, false);
            qtAddedComponents->item(row, concentrationColumn)->setText(concentration);
            if (QComboBox *box = unitsBox(row))
                selectUnits(box, units);
        }
    }
    if (!complaints.isEmpty())
        QMessageBox::warning(this, QLatin1String(title), GuiComplaints::text(complaints), QMessageBox::Ok);
    // The buffer is now the file's, whatever the loaded solvent lacked.
    m_missingComponents.clear();
    compute();
}

// Reference data changes

bool GuiBufferComponents::readComponent(int id, ComponentRecord *record, bool *failed)
{
    SqlReferenceRecords reference(m_database);
    SqlReferenceRecords::BufferComponent component;
    bool found = false;
    *failed = !reference.loadBufferComponent(id, &component, &found);
    if (*failed) {
        QMessageBox::critical(this, QLatin1String(title), reference.error(), QMessageBox::Ok);
        return false;
    }
    if (!found)
        return false;
    *record = recordFrom(component);
    return true;
}

void GuiBufferComponents::onNewComponentRecordAdded(int id)
{
    if (rowOf(id) >= 0) {
        onComponentRecordChanged(id);
        return;
    }
    ComponentRecord record;
    bool failed = false;
    if (!readComponent(id, &record, &failed) || !record.active)
        return;
    const QSignalBlocker blockComponents(qtComponents);
    const QSignalBlocker blockAdded(qtAddedComponents);
    qtComponents->insertRow(0);
    qtAddedComponents->insertRow(0);
    fillRow(0, record);
    sortTables();
}

void GuiBufferComponents::onComponentRecordChanged(int id)
{
    ComponentRecord record;
    bool failed = false;
    if (!readComponent(id, &record, &failed))
        return;
    const int row = rowOf(id);
    if (row < 0) {
        // Made active again: offered at once, as a new component is.
        if (record.active)
            onNewComponentRecordAdded(id);
        return;
    }
    const bool inBuffer = !qtAddedComponents->isRowHidden(row);
    // The buffer shown is computed again with the component as it is now, and
    // what that changes is told.
    const QVariant densityBefore = densityAt20(), viscosityBefore = viscosityAt20();
    const QString nameBefore = qtComponents->item(row, nameColumn)->text();
    {
        const QSignalBlocker blockComponents(qtComponents);
        const QSignalBlocker blockAdded(qtAddedComponents);
        if (!record.active) {
            if (QComboBox *box = unitsBox(row)) {
                box->blockSignals(true);
                delete box;
            }
            qtComponents->removeRow(row);
            qtAddedComponents->removeRow(row);
        } else {
            // Both tables carry the new series: the computation reads the buffer's.
            for (QTableWidgetItem *item :
                { qtComponents->item(row, nameColumn), qtAddedComponents->item(row, nameColumn) }) {
                item->setData(DensitySeriesRole, record.densitySeries);
                item->setData(ViscositySeriesRole, record.viscositySeries);
                item->setText(record.name);
            }
            setComponentStylesheet(qtComponents->item(row, nameColumn));
            if (QComboBox *box = unitsBox(row)) {
                const QSignalBlocker blockBox(box);
                populateUnitsBox(box, record.hasDensity, record.hasMr);
            }
            sortTables();
        }
    }
    if (!inBuffer)
        return;
    compute();
    tellChangedFigures(densityBefore, viscosityBefore, record.active ? QString() : nameBefore);
}

void GuiBufferComponents::onDatabaseImporterRun()
{
    if (!sender())
        return;
    // The buffer shown survives the reload, as far as its components still
    // exist, and is computed with the reference data the import brought.
    const QHash<int, SavedState::ComponentPair> shown = shownComponents();
    const QVariant densityBefore = densityAt20(), viscosityBefore = viscosityAt20();
    populateComponents();
    {
        QList<QObject *> held { qtAddedComponents };
        const QList<QComboBox *> boxes = unitsBoxes();
        for (QComboBox *box : boxes)
            held << box;
        const Blockers block(held);
        showComponents(shown);
    }
    compute();
    tellChangedFigures(densityBefore, viscosityBefore);
}
