#include "gui/gui_samplecomposition.h"

#include "app/app_calculationcontract.h"
#include "app/app_log.h"
#include "app/app_number.h"
#include "app/app_plugin.h"
#include "app/app_scriptlist.h"
#include "app/app_scriptmessages.h"
#include "app/app_scriptobject.h"
#include "app/app_version.h"
#include "gui/gui_aminoacidsequence.h"
#include "gui/gui_aminoacidsequenceedit.h"
#include "gui/gui_changepkas.h"
#include "gui/gui_fieldreader.h"
#include "gui/gui_figurechanges.h"
#include "gui/gui_figurewidth.h"
#include "gui/gui_grapher.h"
#include "gui/gui_graphpoints.h"
#include "gui/gui_printtofile.h"
#include "gui/gui_savefilename.h"
#include "gui/gui_waitcursor.h"
#include "sql/sql_records.h"
#include "sql/sql_referencerecords.h"

#include <QDate>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QListWidgetItem>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QSet>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableWidgetItem>
#include <QTextBrowser>
#include <QTextCodec>
#include <QTime>
#include <QVariant>
#include <cctype>
#include <climits>
#include <cmath>
#include <optional>

#include <qwt_plot_curve.h>

namespace {

const QColor invalidCellColour(170, 28, 29, 100);

// The heading of the box that names residues the counts could not take.
const char *const residuesLeftOut
    = "These residues have no row in the amino acid table and were left out of the counts:";

// The result fields the module writes; emptied together when its answer is an error.
const char *const resultFields[]
    = { "qtCalculatedVBar", "qtCalculatedMR", "qtCalculatedHydration", "qtUnDenaturedVBar", "qtCalculatedVBarWater",
          "qtIsoElectricPoint", "qtpHCharge", "qtAbsExtinction", "qtAbsMgMl", "qtEstAbsExtinction", "qtEstAbsMgMl" };

// The page's figures the main window takes: the run's vbar, Mr and hydration,
// and the vbar in water and without the denaturant that s20,w and the radius
// are computed with. The last two are not shown: they are named only when
// nothing shown changed.
const struct
{
    const char *caption;
    const char *field;
    bool shown;
} windowFigures[] = { { "vbar", "qtCalculatedVBar", true }, { "Mr", "qtCalculatedMR", true },
    { "hydration", "qtCalculatedHydration", true }, { "vbar in water", "qtCalculatedVBarWater", false },
    { "vbar without the denaturant", "qtUnDenaturedVBar", false } };

QTableWidgetItem *referenceCell(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    item->setBackground(QBrush(QColor(QStringLiteral("lightgray")), Qt::SolidPattern));
    item->setTextAlignment(Qt::AlignVCenter);
    return item;
}

QTableWidgetItem *amountCell()
{
    auto *item = new QTableWidgetItem(QString());
    item->setFlags(Qt::ItemIsEditable | Qt::ItemIsEnabled);
    return item;
}

QString cellText(const QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QString();
}

void setCellText(QTableWidget *table, int row, int column, const QString &text)
{
    QTableWidgetItem *item = table->item(row, column);
    if (!item) {
        item = amountCell();
        table->setItem(row, column, item);
    }
    item->setText(text);
}

// Valid rows of one table become children of an ARRAY node under the keys
// "0", "1", ... counted over the rows taken; invalid ones are marked and left out.
AppScriptObject *rowsArray(QTableWidget *table, int amountColumn, bool doubleCystine, double *total)
{
    auto *array = new AppScriptObject(AppScriptObject::Array);
    int key = 0;
    for (int row = 0; row < table->rowCount(); ++row) {
        QTableWidgetItem *cell = table->item(row, amountColumn);
        if (!cell)
            continue;
        const QString text = cell->text();
        if (text.isEmpty()) {
            // Made once: most of a thousand rows are empty on every computation.
            static const QBrush clear(QColor(0, 0, 0, 0));
            cell->setBackground(clear);
            continue;
        }
        double value = 0;
        if (!GuiSampleComposition::isValidAmount(text, &value)) {
            cell->setBackground(QBrush(invalidCellColour));
            continue;
        }
        // A cell that has become valid loses its mark.
        cell->setData(Qt::BackgroundRole, QVariant());
        const QString name = cellText(table, row, 0);
        const QVariant id
            = table->item(row, 0) ? table->item(row, 0)->data(GuiSampleComposition::RecordIdRole) : QVariant();
        QString moles = text;
        if (doubleCystine) {
            // A CY2 row counts disulfide bonds; the module wants half-cystines.
            if (name == QLatin1String("CY2"))
                value *= 2;
            moles = AppNumber::toText(value);
        }
        if (total)
            *total += value;
        auto *child = new AppScriptObject(name, text, AppScriptObject::Normal);
        child->setProperty("ID", id);
        child->setProperty("ROW", row);
        child->setProperty("MOLES", moles);
        child->setProperty("ITEMNAME", name);
        array->setProperty(QByteArray::number(key++).constData(), child);
    }
    return array;
}

} // namespace

const char *const GuiSampleComposition::compositionFilter = "Sample Composition (*.SMP)";
const char *const GuiSampleComposition::threeLetterSequenceFilter = "3 Letter Amino Code Sequence (*.SEQ)";
const char *const GuiSampleComposition::oneLetterSequenceFilter = "1 Letter Code (*.SEQ)";

GuiSampleComposition::GuiSampleComposition(QWidget *parent) : QWidget(parent), taken(new SqlSampleRecord)
{
    setupUi(this);
    // A click on a label or beside the fields leaves a count being typed: the
    // focus comes to the page, the cell's editor commits, and the total counts it.
    setFocusPolicy(Qt::ClickFocus);
    GuiFigureWidth::reserveFields(this);
    for (QLabel *label :
        { qtIsoElectricPoint, qtpHCharge, qtAbsExtinction, qtAbsMgMl, qtEstAbsExtinction, qtEstAbsMgMl })
        GuiFigureWidth::reserve(label);
    // qtUnDenaturedVBar carries its figure unseen (no size).
    for (QLineEdit *field : { qtTotalAminos, qtCalculatedVBarWater })
        GuiFigureWidth::reserve(field);
}

GuiSampleComposition::~GuiSampleComposition()
{
    delete chargeGraph;
    delete absorbanceGraph;
}

void GuiSampleComposition::setDatabasePath(const QString &path)
{
    databasePath = path;
    initialize();
    createConnections();
}

void GuiSampleComposition::setCalculationsPlugin(AppPlugin *module)
{
    calculations = module;
}

void GuiSampleComposition::initialize()
{
    denaturantId.clear();
    calculationsBlocked = false;
    database = QSqlDatabase::database(databasePath, true);

    qtpH->setRange(0.0, 14.0, 1000);
    qtpH->setFormat('f', 4);
    qtpH->setDefaultText(QStringLiteral("7.000"));
    qtpHTextLabel->hide();
    qtpH->hide();

    populateAmino();
    populateConjugates();
    populateDenaturants();

    qtTabWidget->setCurrentIndex(0);
    qtCompositionTab->setCurrentIndex(0);

    sequenceDialog = new GuiAminoAcidSequence(this);
    sequenceDialog->setDatabasePath(databasePath);

    aminoEndPka = defaultAminoPka;
    carboxylEndPka = defaultCarboxylPka;
    qtTitrableCarboxyl->setChecked(true);
    qtTitrableAmino->setChecked(true);
}

void GuiSampleComposition::createConnections()
{
    connect(qtButtonBox, &QDialogButtonBox::rejected, this, &GuiSampleComposition::onCancelClicked);
    connect(qtButtonBox, &QDialogButtonBox::accepted, this, &GuiSampleComposition::onAcceptClicked);
    connect(qtAminoAcids, &QTableWidget::itemChanged, this, &GuiSampleComposition::onItemChanged);
    connect(qtConjugates, &QTableWidget::itemChanged, this, &GuiSampleComposition::onItemChanged);
    connect(qtUseDefinedDenaturant, &QCheckBox::stateChanged, this, &GuiSampleComposition::onUseDenaturantStateChanged);
    connect(qtDenaturants, &QListWidget::itemClicked, this, &GuiSampleComposition::onDenaturantClicked);
    connect(qtCompute, &QPushButton::clicked, this, &GuiSampleComposition::onComputeClicked);
    connect(qtClear, &QPushButton::clicked, this, &GuiSampleComposition::onClearClicked);
    connect(qtReadCompositionFile, &QPushButton::clicked, this, &GuiSampleComposition::onReadFromFileClicked);
    connect(qtSaveCompositionFile, &QPushButton::clicked, this, &GuiSampleComposition::onSaveToFileClicked);
    connect(qtSaveToSampleDB, &QPushButton::clicked, this, &GuiSampleComposition::sigSaveToDatabase);
    connect(qtpH, &GuiLineEdit::sigValueEdited, this, &GuiSampleComposition::computeValues);
    connect(qtMakeOligomer, &QCheckBox::stateChanged, this, &GuiSampleComposition::onMakeOligomerStateChanged);
    connect(qtOligomerN, &QLineEdit::editingFinished, this, &GuiSampleComposition::onOligomerNEditingFinished);
    connect(qtAminoAcidSearch, &QLineEdit::textEdited, this, &GuiSampleComposition::onSearchTextEdited);
    connect(qtConjugateSearch, &QLineEdit::textEdited, this, &GuiSampleComposition::onSearchTextEdited);
    connect(qtTitrableCarboxyl, &QCheckBox::stateChanged, this, &GuiSampleComposition::computeValues);
    connect(qtTitrableAmino, &QCheckBox::stateChanged, this, &GuiSampleComposition::computeValues);
    connect(qtChangePeptide, &QPushButton::clicked, this, &GuiSampleComposition::OnClickedChangePeptide);
    connect(qtPrintReport, &QPushButton::clicked, this, &GuiSampleComposition::OnClickedPrintReport);
    connect(qtEditAASequence, &QPushButton::clicked, this, &GuiSampleComposition::onEditAASequenceClicked);
    connect(sequenceDialog, &GuiAminoAcidSequence::sigLog, this, &GuiSampleComposition::sigLog);
    connect(qtGraphCharge, &QPushButton::clicked, this, &GuiSampleComposition::onGraphChargeClicked);
    connect(qtGraphAbsorbance, &QPushButton::clicked, this, &GuiSampleComposition::onGraphAbsorbanceClicked);
}

// ---- Reference lists ----

bool GuiSampleComposition::populateAmino()
{
    const QSignalBlocker blocker(qtAminoAcids);
    qtAminoAcids->clearContents();
    qtAminoAcids->setRowCount(0);
    oneLetterCounts.clear();
    SqlReferenceRecords records(database);
    QVector<SqlReferenceRecords::AminoAcid> residues;
    if (!records.aminoAcidsByCode(&residues)) {
        QMessageBox::critical(this, QStringLiteral("Vornakel"), records.error(), QMessageBox::Ok);
        return false;
    }
    int row = 0;
    for (const SqlReferenceRecords::AminoAcid &residue : qAsConst(residues)) {
        QTableWidgetItem *name = referenceCell(residue.threeLetter.toString());
        name->setData(RecordIdRole, residue.id);
        name->setData(MrRole, residue.mr);
        name->setData(PkaRole, residue.pka);
        qtAminoAcids->setRowCount(row + 1);
        qtAminoAcids->setItem(row, AminoNameColumn, name);
        qtAminoAcids->setItem(row, AminoCodeColumn, referenceCell(residue.oneLetter.toString()));
        qtAminoAcids->setItem(row, AminoCountColumn, amountCell());
        if (!residue.oneLetter.isNull()) {
            const QString code = residue.oneLetter.toString();
            oneLetterCounts.insert(code.isEmpty() ? QChar(0) : code.at(0), 0);
        }
        ++row;
    }
    qtAminoAcids->resizeColumnsToContents();
    return true;
}

bool GuiSampleComposition::populateConjugates()
{
    const QSignalBlocker blocker(qtConjugates);
    qtConjugates->clearContents();
    qtConjugates->setRowCount(0);
    SqlReferenceRecords records(database);
    QVector<SqlReferenceRecords::Listed> conjugates;
    if (!records.list(SqlReferenceRecords::Kind::Conjugates, &conjugates)) {
        QMessageBox::critical(this, QStringLiteral("Vornakel"), records.error(), QMessageBox::Ok);
        return false;
    }
    int row = 0;
    for (const SqlReferenceRecords::Listed &conjugate : qAsConst(conjugates)) {
        QTableWidgetItem *name = referenceCell(conjugate.name);
        name->setData(RecordIdRole, conjugate.id);
        qtConjugates->setRowCount(row + 1);
        qtConjugates->setItem(row, 0, name);
        qtConjugates->setItem(row, ConjugateAmountColumn, amountCell());
        ++row;
    }
    qtConjugates->resizeColumnsToContents();
    return true;
}

bool GuiSampleComposition::populateDenaturants()
{
    const QSignalBlocker blocker(qtDenaturants);
    qtDenaturants->clear();
    SqlReferenceRecords records(database);
    QVector<SqlReferenceRecords::Listed> denaturants;
    if (!records.list(SqlReferenceRecords::Kind::Denature, &denaturants)) {
        QMessageBox::critical(this, QStringLiteral("Vornakel"), records.error(), QMessageBox::Ok);
        return false;
    }
    for (const SqlReferenceRecords::Listed &denaturant : qAsConst(denaturants)) {
        qtDenaturants->insertItem(qtDenaturants->count(), denaturant.name);
        qtDenaturants->item(qtDenaturants->count() - 1)->setData(DenaturantIdRole, QString::number(denaturant.id));
    }
    return true;
}

void GuiSampleComposition::onDatabaseImporterRun()
{
    if (!sender())
        return;
    // The import brings reference data: the composition shown is kept and
    // computed with them, as after a change in the reference data editor.
    followReferenceData();
}

void GuiSampleComposition::onAminoRecordRemoved(int id)
{
    removeRecordRow(qtAminoAcids, id);
}

void GuiSampleComposition::onConjugateRecordRemoved(int id)
{
    removeRecordRow(qtConjugates, id);
}

void GuiSampleComposition::removeRecordRow(QTableWidget *table, int id)
{
    {
        const QSignalBlocker blocker(table);
        for (int row = 0; row < table->rowCount(); ++row) {
            const QTableWidgetItem *name = table->item(row, 0);
            if (name && name->data(RecordIdRole).toInt() == id) {
                table->removeRow(row); // the table deletes the row's cells
                break;
            }
        }
    }
    computeValues();
}

void GuiSampleComposition::onNewAminoRecordAdded(int)
{
    followReferenceData();
}

void GuiSampleComposition::onAminoRecordChanged(int)
{
    followReferenceData();
}

void GuiSampleComposition::onNewDenaturantRecordAdded(int)
{
    followReferenceData();
}

void GuiSampleComposition::onDenaturantRecordChanged(int)
{
    followReferenceData();
}

void GuiSampleComposition::onNewConjugateRecordAdded(int)
{
    followReferenceData();
}

void GuiSampleComposition::onConjugateRecordChanged(int)
{
    followReferenceData();
}

void GuiSampleComposition::onExtinctionSpectrumChanged(const QString &)
{
    computeValues();
    // An absorbance graph on show is the spectrum as it was: it is drawn again.
    if (absorbanceGraph && absorbanceGraph->isVisible())
        onGraphAbsorbanceClicked();
}

void GuiSampleComposition::followReferenceData()
{
    // What the page shows, by record id and as typed (a count that is no number
    // too): the lists are read again as the reference data now are.
    struct Kept
    {
        int id;
        QString name, text;
    };
    const auto keep = [](const QTableWidget *table, int column) {
        QVector<Kept> kept;
        for (int row = 0; row < table->rowCount(); ++row) {
            const QTableWidgetItem *name = table->item(row, 0);
            const QString text = cellText(table, row, column);
            if (name && !text.isEmpty())
                kept.append({ name->data(RecordIdRole).toInt(), name->text(), text });
        }
        return kept;
    };
    const QVector<Kept> residues = keep(qtAminoAcids, AminoCountColumn);
    const QVector<Kept> amounts = keep(qtConjugates, ConjugateAmountColumn);
    const QString denaturantBefore = denaturantId;
    QString denaturantName;
    for (const QListWidgetItem *item : qtDenaturants->selectedItems())
        denaturantName = item->text();
    QHash<QString, QVariant> figuresBefore;
    for (const auto &figure : windowFigures)
        figuresBefore.insert(
            QLatin1String(figure.field), numberOrNull(findChild<QLineEdit *>(QLatin1String(figure.field))->text()));

    if (!populateAmino() || !populateConjugates() || !populateDenaturants())
        return;

    GuiFigureChanges changes;
    const auto restore = [&changes](QTableWidget *table, int column, const QVector<Kept> &kept, const QString &what) {
        const QSignalBlocker blocker(table);
        QHash<int, int> rowOfId;
        for (int row = 0; row < table->rowCount(); ++row) {
            if (const QTableWidgetItem *name = table->item(row, 0))
                rowOfId.insert(name->data(RecordIdRole).toInt(), row);
        }
        for (const Kept &k : kept) {
            const auto found = rowOfId.constFind(k.id);
            if (found == rowOfId.constEnd())
                changes.add(QStringLiteral("%1 is no longer in the reference data, and its %2 %3 were left out")
                                .arg(k.name, k.text, what));
            else
                setCellText(table, found.value(), column, k.text);
        }
    };
    restore(qtAminoAcids, AminoCountColumn, residues, QStringLiteral("residues"));
    restore(qtConjugates, ConjugateAmountColumn, amounts, QStringLiteral("moles"));
    QListWidgetItem *chosen = nullptr;
    for (int i = 0; i < qtDenaturants->count() && !denaturantBefore.isEmpty(); ++i) {
        if (qtDenaturants->item(i)->data(DenaturantIdRole).toString() == denaturantBefore)
            chosen = qtDenaturants->item(i);
    }
    if (chosen) {
        chosen->setSelected(true);
    } else if (!denaturantBefore.isEmpty()) {
        const QSignalBlocker blocker(qtUseDefinedDenaturant);
        qtUseDefinedDenaturant->setChecked(false);
        qtDenaturants->setEnabled(false);
        denaturantId.clear();
        changes.add(QStringLiteral("the denaturant %1 is no longer in the reference data and was left out")
                        .arg(denaturantName));
    }
    // A sequence stands only beside the counts it gave.
    if (countsLeftSequence())
        forgetSequence();
    computeValues();

    GuiFigureChanges shownFigures, otherFigures;
    for (const auto &figure : windowFigures)
        (figure.shown ? shownFigures : otherFigures)
            .compare(QLatin1String(figure.caption), figuresBefore.value(QLatin1String(figure.field)),
                numberOrNull(findChild<QLineEdit *>(QLatin1String(figure.field))->text()));
    QStringList said;
    if (!changes.isEmpty())
        said << changes.text(QString());
    const GuiFigureChanges &figures = shownFigures.isEmpty() ? otherFigures : shownFigures;
    if (!figures.isEmpty())
        said << figures.text(QStringLiteral("was"));
    if (!said.isEmpty())
        emit sigReferenceFiguresChanged(
            said.join(QStringLiteral("; ")), shownFigures.captions() + otherFigures.captions());
}

// ---- Inputs ----

bool GuiSampleComposition::isValidAmount(const QString &text, double *value)
{
    // No molecule has a billion of one residue or conjugate; beyond that the
    // sums lose all meaning (two counts of 1e308 make an infinite total).
    static constexpr double largestAmount = 1e9;
    double v = 0;
    if (!AppNumber::fromText(text, &v) || v < 0 || v > largestAmount)
        return false;
    if (value)
        *value = v;
    return true;
}

void GuiSampleComposition::onSearchTextEdited(const QString &text)
{
    QObject *from = sender();
    QTableWidget *table = from == qtAminoAcidSearch ? qtAminoAcids : from == qtConjugateSearch ? qtConjugates : nullptr;
    if (!table)
        return;
    auto *field = static_cast<QLineEdit *>(from);
    field->setStyleSheet(QStringLiteral("background-color:rgb(255,255,255)"));
    if (text.isEmpty())
        return;
    for (int row = 0; row < table->rowCount(); ++row) {
        if (table->isRowHidden(row))
            continue;
        QTableWidgetItem *name = table->item(row, 0);
        if (name && name->text().startsWith(text, Qt::CaseInsensitive)) {
            table->setCurrentItem(name);
            return;
        }
    }
    // rgba: Qt 5 style sheets refuse an alpha given to rgb().
    field->setStyleSheet(QStringLiteral("background-color:rgba(170, 28, 29, 100)"));
}

void GuiSampleComposition::onItemChanged(QTableWidgetItem *item)
{
    if (!sender() || !item || !item->tableWidget())
        return;
    QTableWidget *table = item->tableWidget();
    const bool counts = table == qtAminoAcids && item->column() == AminoCountColumn;
    const bool amounts = table == qtConjugates && item->column() == ConjugateAmountColumn;
    if (!counts && !amounts)
        return;
    const QSignalBlocker blocker(table);
    if (counts && !keepsSequence(item))
        return;
    table->resizeColumnToContents(item->column());
    computeValues();
}

bool GuiSampleComposition::keepsSequence(QTableWidgetItem *count)
{
    if (!countsLeftSequence())
        return true;
    // The counts no longer are the sequence's: the page must not show the one beside the other, nor save
    // the counts without it unsaid. The person decides; the count goes back unless they say otherwise.
    const QTableWidgetItem *name = qtAminoAcids->item(count->row(), AminoNameColumn);
    const double before = name ? sequenceCounts.value(name->data(RecordIdRole).toInt()) : 0;
    const QString now = count->text().simplified().isEmpty() ? QStringLiteral("none") : count->text();
    const QString residue = name ? name->text() : QString();
    // A sequence stored without counts (an older file's) gave none to compare with.
    const QString mismatch = sequenceCounts.isEmpty()
        ? QStringLiteral("The sequence of %1 residues was stored without counts, and counts typed are not the "
                         "sequence's (%2: now %3).")
              .arg(sequence.size())
              .arg(residue, now)
        : QStringLiteral("The counts no longer match the sequence of %1 residues (%2: %3 in the sequence, now %4).")
              .arg(sequence.size())
              .arg(residue, AppNumber::toText(before), now);
    const QString question = mismatch
        + QStringLiteral("\n\nChange the count and drop the sequence? The sample is then saved without a sequence.");
    if (QMessageBox::question(
            this, QStringLiteral("Vornakel Composition"), question, QMessageBox::Yes | QMessageBox::No, QMessageBox::No)
        == QMessageBox::Yes) {
        forgetSequence();
        return true;
    }
    count->setText(before != 0 ? AppNumber::toText(before) : QString());
    return false;
}

void GuiSampleComposition::onDenaturantClicked(QListWidgetItem *item)
{
    if (!item)
        return;
    denaturantId = item->data(DenaturantIdRole).toString();
    // A denaturant without its binding figures changes nothing: the module's
    // answer says so, to this page as to every other caller.
    computeValues();
}

void GuiSampleComposition::onUseDenaturantStateChanged(int state)
{
    const bool hadDenaturant = !denaturantId.isEmpty();
    if (state == Qt::Unchecked) {
        qtDenaturants->clearSelection();
        denaturantId.clear();
    }
    qtDenaturants->setEnabled(state != Qt::Unchecked);
    // The vbar on show was computed with the denaturant; Ok or a save must not
    // take it for the sample without one.
    if (hadDenaturant && denaturantId.isEmpty())
        computeValues();
}

void GuiSampleComposition::onMakeOligomerStateChanged(int state)
{
    qtOligomerN->setEnabled(state == Qt::Checked);
    computeValues();
}

bool GuiSampleComposition::isOligomerNumber(const QString &text, int *chains)
{
    double value = 0;
    if (!AppNumber::fromText(text, &value) || value < 1 || value > INT_MAX || value != std::trunc(value))
        return false;
    if (chains)
        *chains = static_cast<int>(value);
    return true;
}

void GuiSampleComposition::onOligomerNEditingFinished()
{
    const QString typed = qtOligomerN->text();
    int n = acceptedOligomerN;
    // Never rounded or wrapped into some other number without a word: the
    // last accepted one stays, and the person is told.
    if (!isOligomerNumber(typed, &n)) {
        qtOligomerN->setText(QString::number(acceptedOligomerN));
        QMessageBox::warning(this, QStringLiteral("Vornakel"),
            QStringLiteral("The oligomer number must be a whole number from 1 to %1; \"%2\" was not taken, the "
                           "oligomer keeps %3 chains.")
                .arg(INT_MAX)
                .arg(typed, QString::number(acceptedOligomerN)));
        return;
    }
    acceptedOligomerN = n;
    qtOligomerN->setText(QString::number(n));
    computeValues();
}

int GuiSampleComposition::oligomerNumber() const
{
    if (!qtMakeOligomer->isChecked())
        return 1;
    int chains = 0;
    return isOligomerNumber(qtOligomerN->text(), &chains) ? chains : acceptedOligomerN;
}

void GuiSampleComposition::OnClickedChangePeptide()
{
    GuiChangePkas dialog(this);
    dialog.setCarboxyl(carboxylEndPka);
    dialog.setAmino(aminoEndPka);
    if (dialog.execute() != QDialog::Accepted)
        return;
    aminoEndPka = dialog.amino();
    carboxylEndPka = dialog.carboxyl();
    computeValues();
}

void GuiSampleComposition::onComputeClicked()
{
    computeValues();
}

// ---- Values held for the main window and the save dialog ----

void GuiSampleComposition::blockCalculations(bool block)
{
    calculationsBlocked = block;
    if (!block)
        computeValues();
}

void GuiSampleComposition::setSampleName(const QString &name)
{
    sampleName = name;
}

QString GuiSampleComposition::countedResidues(const QString &text, bool convertCysteines, QStringList *leftOut) const
{
    const QChar cystine(QLatin1Char(' '));
    const QChar cysteine(QLatin1Char('C'));
    // Cysteines pair up into disulfides only where a CY2 row can count them.
    const bool convert = convertCysteines && oneLetterCounts.contains(cystine);
    QString residues;
    residues.reserve(text.size());
    int firstOfPair = -1; // where the cysteine waiting for its partner stands
    for (const QChar c : text.toUpper()) {
        if (convert && c == cysteine) {
            // A blank is one CY2 in every sequence text, so a pair leaves one
            // blank, at the place of its first cysteine.
            if (firstOfPair < 0) {
                firstOfPair = residues.size();
                residues += cystine;
            } else {
                firstOfPair = -1;
            }
        } else if (oneLetterCounts.contains(c)) {
            residues += c;
        } else if (leftOut) {
            *leftOut << QString(c);
        }
    }
    if (firstOfPair >= 0)
        residues[firstOfPair] = cysteine; // an odd one stays a free cysteine
    return residues;
}

void GuiSampleComposition::setSequence(const QString &text)
{
    // Kept as stored, whatever its form (typed order, count order, blocks of
    // ten): a save stores it again while the counts are the ones loaded with it.
    sequence = text;
    sequenceCounts = residueCounts();
    sequenceDialog->qtSequenceEdit->setSequence(text, false);
}

bool GuiSampleComposition::countsLeftSequence() const
{
    return !sequence.isEmpty() && residueCounts() != sequenceCounts;
}

void GuiSampleComposition::forgetSequence()
{
    sequence = QString();
    sequenceCounts.clear();
    if (sequenceDialog) // none before setDatabasePath
        sequenceDialog->clear();
}

QHash<int, double> GuiSampleComposition::residueCounts() const
{
    QHash<int, double> counts;
    for (int row = 0; row < qtAminoAcids->rowCount(); ++row) {
        const QTableWidgetItem *name = qtAminoAcids->item(row, AminoNameColumn);
        double count = 0;
        if (name && isValidAmount(cellText(qtAminoAcids, row, AminoCountColumn), &count) && count != 0)
            counts.insert(name->data(RecordIdRole).toInt(), count);
    }
    return counts;
}

void GuiSampleComposition::setpH(const QString &pH)
{
    qtpH->setText(pH);
}

double GuiSampleComposition::aminoValue() const
{
    return aminoEndPka;
}

double GuiSampleComposition::carboxylValue() const
{
    return carboxylEndPka;
}

void GuiSampleComposition::setAminoValue(double value)
{
    aminoEndPka = value;
}

void GuiSampleComposition::setCarboxylValue(double value)
{
    carboxylEndPka = value;
}

QString GuiSampleComposition::denaturant() const
{
    return denaturantId;
}

// ---- Clearing, accepting, cancelling ----

void GuiSampleComposition::clear()
{
    // Neither the page nor the sequence dialog keeps the sample before: the
    // page shows a new sample whole.
    showRecord(SqlSampleRecord());
}

void GuiSampleComposition::clearTableColumn(QTableWidget *table, int column)
{
    const QSignalBlocker blocker(table);
    for (int row = 0; row < table->rowCount(); ++row) {
        QTableWidgetItem *cell = table->item(row, column);
        if (!cell)
            continue;
        cell->setText(QString());
        cell->setToolTip(QString());
        cell->setBackground(QBrush(Qt::white, Qt::SolidPattern));
    }
}

void GuiSampleComposition::onClearClicked()
{
    // No figure, denaturant, oligomer, pH, end group or sequence of the
    // composition just cleared may stay on show, be printed in the summary,
    // drawn in a graph or go into the next save: the page starts anew.
    showComposition(SqlSampleRecord());
}

void GuiSampleComposition::holdAsTaken()
{
    *taken = SqlSampleRecord();
    fillRecord(taken.get());
}

void GuiSampleComposition::leaveCalculation(QGroupBox *box)
{
    {
        const QSignalBlocker blocker(box);
        box->setChecked(false);
    }
    struct Kept
    {
        const QGroupBox *box;
        Calculation calculation;
        QVariant SqlSampleRecord::*figure;
    };
    for (const Kept &kept : { Kept { qtCalculateVbar, VbarCalculation, &SqlSampleRecord::calculatedVbar },
             Kept { qtCalculateMr, MrCalculation, &SqlSampleRecord::calculatedMr },
             Kept { qtCalculateHydration, HydrationCalculation, &SqlSampleRecord::calculatedHydration } }) {
        if (kept.box == box) {
            taken->calculations = taken->calculations.toInt() & ~kept.calculation;
            (*taken).*kept.figure = QVariant(QVariant::Double);
        }
    }
}

void GuiSampleComposition::onAcceptClicked()
{
    holdAsTaken();
    // An empty or unusable field sends nothing, so the main window keeps its value.
    double value = 0;
    if (qtCalculateVbar->isChecked() && AppNumber::fromText(qtCalculatedVBar->text(), &value) && value > 0)
        emit sigCalculatedVBarAccepted(value);
    if (qtCalculateMr->isChecked() && AppNumber::fromText(qtCalculatedMR->text(), &value) && value > 0)
        emit sigCalculatedMrAccepted(value);
    if (qtCalculateHydration->isChecked() && AppNumber::fromText(qtCalculatedHydration->text(), &value))
        emit sigCalculatedHydrationAccepted(value);
    emit sigPageAccepted();
}

void GuiSampleComposition::onCancelClicked()
{
    // The tab keeps the sample it holds, and so does the page: the window
    // computes, saves and compares with the page's composition, which must not
    // be one the person cancelled. Its figures are computed again, not compared.
    const auto inputs = [](SqlSampleRecord sample) {
        sample.calculatedVbar = sample.calculatedMr = sample.calculatedHydration = QVariant();
        return SqlRecords::valuesOf(sample);
    };
    SqlSampleRecord shown;
    fillRecord(&shown);
    if (inputs(shown) != inputs(*taken))
        showComposition(*taken);
    emit sigPageCanceled();
}

// ---- The calculation ----

void GuiSampleComposition::computeValues()
{
    if (!calculations || calculationsBlocked)
        return;
    const GuiWaitCursor busy;
    // The page computes again at every edit: what the module says of inputs
    // that did not change (a denaturant without figures, a conjugate without
    // a vbar) was told at the computation before, and is not told again.
    const AppScriptMessages pass(this);
    std::optional<AppScriptMessages> said;
    said.emplace(this, AppScriptMessages::KeptPass);
    // The painting below must not re-enter the edit handler.
    const QSignalBlocker aminoBlocker(qtAminoAcids);
    const QSignalBlocker conjugateBlocker(qtConjugates);

    double total = 0;
    AppScriptObject *aminoRows = rowsArray(qtAminoAcids, AminoCountColumn, true, &total);
    // No residue given, no total: the page of a new sample, however it came to be empty.
    bool anyCount = false;
    for (int row = 0; row < qtAminoAcids->rowCount() && !anyCount; ++row)
        anyCount = !cellText(qtAminoAcids, row, AminoCountColumn).isEmpty();
    qtTotalAminos->setText(anyCount ? AppNumber::toText(total) : QString());
    AppScriptObject *conjugateRows = rowsArray(qtConjugates, ConjugateAmountColumn, false, nullptr);

    // Inputs in the module's positional order; a node owns its children, so
    // the list releases the row nodes with the arrays.
    const auto &contract = AppCalculationContract::calculationsFromComposition;
    const auto name = [&contract](int i) { return QString::fromLatin1(contract.names[i]); };
    AppScriptList inputs;
    inputs.add(name(0), AppNumber::valueOrZero(qtpH->text()));
    inputs.add(name(1), oligomerNumber());
    inputs.add(aminoRows);
    inputs.add(conjugateRows);
    inputs.add(name(4), qtTitrableAmino->isChecked() ? 1 : 0);
    inputs.add(name(5), aminoEndPka);
    inputs.add(name(6), qtTitrableCarboxyl->isChecked() ? 1 : 0);
    inputs.add(name(7), carboxylEndPka);
    inputs.add(name(8), denaturantId);

    AppScriptList results;
    AppScriptObject *result = results.add(calculations->execOne(contract.name(), inputs));
    chargeGraphPoints.clear();
    absorbanceGraphPoints.clear();
    qCDebug(lcGui) << "start" << contract.function;
    if (result && AppScriptObject::textOf(result->property(QStringLiteral("NAME"))) == QLatin1String("ScriptError")) {
        // The main window has shown the exception; no earlier figure may look current.
        emptyResults();
    } else {
        const bool wasBlocked = blockSignals(true);
        const QStringList graphs = AppScriptObject::populateForm(QList<AppScriptObject *> { result }, this);
        blockSignals(wasBlocked);
        for (const QString &point : graphs) {
            if (point.contains(QLatin1String("pH Graph")))
                chargeGraphPoints << point;
            else if (point.contains(QLatin1String("Absorbance Graph")))
                absorbanceGraphPoints << point;
        }
    }
    showChargePh();
    qCDebug(lcGui) << "end" << contract.function;
    const QStringList warnings = said->warnings();
    said.reset();
    for (const QString &text : warnings) {
        if (!toldWarnings.contains(text))
            AppScriptMessages::current()->addWarning(text);
    }
    toldWarnings = warnings;
}

void GuiSampleComposition::emptyResults()
{
    for (const char *name : resultFields) {
        if (auto *field = findChild<QLineEdit *>(QLatin1String(name)))
            field->setText(QString());
        else if (auto *label = findChild<QLabel *>(QLatin1String(name)))
            label->clear();
    }
}

// ---- Composition and sequence files ----

bool GuiSampleComposition::isSequenceFile(const QString &path, const QByteArray &data)
{
    if (path.endsWith(QLatin1String(".SEQ"), Qt::CaseInsensitive))
        return true;
    if (path.endsWith(QLatin1String(".SMP"), Qt::CaseInsensitive))
        return false;
    // Every line of a composition holds a TAB; a sequence the program wrote
    // (before it named its files) is letters and blanks only.
    bool letters = false;
    for (const char byte : data) {
        if (std::isalpha(static_cast<unsigned char>(byte)))
            letters = true;
        else if (byte != ' ' && byte != '\n' && byte != '\r')
            return false;
    }
    return letters;
}

QString GuiSampleComposition::compositionText() const
{
    QString text;
    const auto part = [&text](const QTableWidget *table, int column) {
        for (int row = 0; row < table->rowCount(); ++row) {
            const QString amount = cellText(table, row, column);
            if (!amount.simplified().isEmpty())
                text += cellText(table, row, 0) + QLatin1Char('\t') + amount + QLatin1Char('\n');
        }
    };
    part(qtAminoAcids, AminoCountColumn);
    text += QLatin1Char('\n');
    part(qtConjugates, ConjugateAmountColumn);
    return text;
}

void GuiSampleComposition::onSaveToFileClicked()
{
    const char *const key = "SampleComposition/Composition/lastSaveDirectory";
    QSettings settings;
    const QString path = GuiSaveFileName::ask(this, QStringLiteral("Save Sample Composition File"),
        settings.value(QLatin1String(key), QDir::currentPath()).toString(), QLatin1String(compositionFilter),
        QStringLiteral("SMP"));
    if (path.isEmpty())
        return;
    settings.setValue(QLatin1String(key), QFileInfo(path).absolutePath());
    const GuiWaitCursor busy;
    GuiAminoAcidSequence::writeFile(this, path, QTextCodec::codecForLocale()->fromUnicode(compositionText()));
}

void GuiSampleComposition::onReadFromFileClicked()
{
    const char *const key = "SampleComposition/Composition/lastOpenDirectory";
    QSettings settings;
    QString filter;
    // The one-letter filter reads back the sequence files the program writes.
    const QString path
        = QFileDialog::getOpenFileName(this, QStringLiteral("Open Sample Composition or Amino Acid Sequence"),
            settings.value(QLatin1String(key), QDir::currentPath()).toString(),
            QStringLiteral("%1;;%2;;%3")
                .arg(QLatin1String(compositionFilter), QLatin1String(threeLetterSequenceFilter),
                    QLatin1String(oneLetterSequenceFilter)),
            &filter);
    if (path.isEmpty() || !QFileInfo::exists(path))
        return;
    settings.setValue(QLatin1String(key), QFileInfo(path).absolutePath());
    QByteArray data;
    if (!GuiAminoAcidSequence::readFile(this, path, &data))
        return;
    if (filter == QLatin1String(threeLetterSequenceFilter) || filter == QLatin1String(oneLetterSequenceFilter))
        readSequenceData(data, filter == QLatin1String(threeLetterSequenceFilter));
    else if (isSequenceFile(path, data))
        // The sequence files the program writes hold one-letter codes, and the
        // sequence dialog reads them so by default.
        readSequenceData(data, false);
    else
        readCompositionText(QTextCodec::codecForLocale()->toUnicode(data));
}

void GuiSampleComposition::readCompositionText(const QString &text)
{
    const GuiWaitCursor busy;
    clearTableColumn(qtAminoAcids, AminoCountColumn);
    clearTableColumn(qtConjugates, ConjugateAmountColumn);
    const QSignalBlocker aminoBlocker(qtAminoAcids);
    const QSignalBlocker conjugateBlocker(qtConjugates);
    QTableWidget *table = qtAminoAcids;
    int column = AminoCountColumn;
    QStringList lines = text.split(QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n')))
        lines.removeLast();
    QStringList complaints;
    // Rows a line has set, and those already named as listed twice.
    QSet<QPair<const QTableWidget *, int>> taken;
    QSet<QPair<const QTableWidget *, int>> repeated;
    for (int i = 0; i < lines.size(); ++i) {
        QString line = lines.at(i);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.simplified().isEmpty()) {
            // The empty line parts the residues from the conjugates.
            table = qtConjugates;
            column = ConjugateAmountColumn;
            continue;
        }
        const QStringList parts = line.split(QLatin1Char('\t'));
        if (parts.size() < 2) {
            complaints << QStringLiteral("Line %1: Ignoring invalid row").arg(i + 1);
            continue;
        }
        const QString key = parts.at(0).simplified();
        int found = -1;
        for (int row = 0; row < table->rowCount() && found < 0; ++row)
            if (cellText(table, row, 0).simplified().compare(key, Qt::CaseInsensitive) == 0)
                found = row;
        if (found < 0) {
            complaints << QStringLiteral("Line %1: No record found for '%2'").arg(i + 1).arg(parts.at(0));
            continue;
        }
        const QPair<const QTableWidget *, int> row(table, found);
        if (taken.contains(row) && !repeated.contains(row)) {
            repeated.insert(row);
            complaints << QStringLiteral("Line %1: '%2' is listed more than once; its last line is used")
                              .arg(i + 1)
                              .arg(parts.at(0).trimmed());
        }
        taken.insert(row);
        setCellText(table, found, column, parts.at(1));
    }
    // The file's counts are the page's now; a sequence they no longer match goes, and the box says so.
    if (countsLeftSequence()) {
        complaints << QStringLiteral("The counts read do not match the sequence of %1 residues shown before; the "
                                     "sample has no sequence now.")
                          .arg(sequence.size());
        forgetSequence();
    }
    computeValues();
    if (!complaints.isEmpty()) {
        // One box for the whole file, however many lines it refuses.
        const int shown = 20;
        QString message = complaints.mid(0, shown).join(QLatin1Char('\n'));
        if (complaints.size() > shown)
            message += QStringLiteral("\n... and %1 more lines").arg(complaints.size() - shown);
        QMessageBox::warning(this, QStringLiteral("Vornakel"), message, QMessageBox::Ok);
    }
}

void GuiSampleComposition::readSequenceData(const QByteArray &data, bool threeLetter)
{
    const GuiWaitCursor busy;
    const QSignalBlocker aminoBlocker(qtAminoAcids);
    clearTableColumn(qtConjugates, ConjugateAmountColumn);
    sequenceDialog->qtSequenceEdit->setSequenceFromFile(data, threeLetter);
    // A sequence file keeps each cysteine as its C, so its disulfides come
    // back only by the question the sequence dialog asks too.
    const QString text = sequenceDialog->sequence();
    populateAminoTableFromSequence(text, askToConvertCysteines(text));
}

// ---- Summary report ----

void GuiSampleComposition::resetSummaryCounts()
{
    chargedCount = chargedWeight = acidicCount = acidicWeight = basicCount = basicWeight = 0;
    polarCount = polarWeight = hydrophobicCount = hydrophobicWeight = summaryMr = 0;
}

QString GuiSampleComposition::getAminoCount(const QString &code)
{
    summaryMr = AppNumber::valueOrZero(qtCalculatedMR->text());
    int row = 0;
    while (row < qtAminoAcids->rowCount() && cellText(qtAminoAcids, row, AminoNameColumn) != code)
        ++row;
    double count = 0;
    if (row == qtAminoAcids->rowCount() || !isValidAmount(cellText(qtAminoAcids, row, AminoCountColumn), &count))
        return QStringLiteral("0");
    // Counted as the number it is: 2.5 residues weigh 2.5 residues.
    const double mr = qtAminoAcids->item(row, AminoNameColumn)->data(MrRole).toDouble();
    const double weight = oligomerNumber() * count * mr;
    const auto add = [count, weight](double &classCount, double &classWeight) {
        classCount += count;
        classWeight += weight;
    };
    if (code == QLatin1String("ASP") || code == QLatin1String("GLU")) {
        add(acidicCount, acidicWeight);
        add(chargedCount, chargedWeight);
    } else if (code == QLatin1String("LYS") || code == QLatin1String("ARG")) {
        add(basicCount, basicWeight);
        add(chargedCount, chargedWeight);
    } else if (code == QLatin1String("HIS")) {
        add(chargedCount, chargedWeight);
    } else if (QStringList({ "ASN", "GLN", "SER", "THR", "TYR", "CYS" }).contains(code)) {
        add(polarCount, polarWeight);
    } else if (QStringList({ "ALA", "ILE", "LEU", "PHE", "TRP", "VAL", "MET" }).contains(code)) {
        add(hydrophobicCount, hydrophobicWeight);
    }
    return AppNumber::toText(count);
}

QString GuiSampleComposition::getAminoPKA(const QString &code) const
{
    for (int row = 0; row < qtAminoAcids->rowCount(); ++row) {
        if (cellText(qtAminoAcids, row, AminoNameColumn) != code)
            continue;
        const QVariant pka = qtAminoAcids->item(row, AminoNameColumn)->data(PkaRole);
        return pka.isNull() || pka.toString().isEmpty() ? QString() : QString::number(pka.toDouble(), 'f', 1);
    }
    return QString();
}

QString GuiSampleComposition::formatSummaryValue(const QString &text)
{
    return text.simplified().isEmpty() ? QStringLiteral("-") : text;
}

QString GuiSampleComposition::summaryHtml()
{
    resetSummaryCounts();
    const bool oligomer = qtMakeOligomer->isChecked();
    const double n = oligomer ? oligomerNumber() : 1;
    const double total = AppNumber::valueOrZero(qtTotalAminos->text()); // residues per monomer
    const double mr = AppNumber::valueOrZero(qtCalculatedMR->text());
    const auto value = [](const QLabel *label) { return formatSummaryValue(label->text()); };
    const auto field = [](const QLineEdit *edit) { return formatSummaryValue(edit->text()); };
    // A quotient whose divisor is zero, or whose figures are missing, prints as a dash.
    const auto quotient = [](double numerator, double divisor, char format, int precision) {
        const double q = numerator / divisor;
        return divisor > 0 && std::isfinite(q) ? QString::number(q, format, precision) : QStringLiteral("-");
    };

    QString html = QStringLiteral("<u><b>Sample Properties Calculated from Composition</b></u>\n\n");
    html += QStringLiteral("Sample Name: %1\n\n").arg(sampleName.toHtmlEscaped());
    if (oligomer)
        html += QStringLiteral("Values are for an N-mer of this monomeric composition, N=%1\n\n").arg(n);
    html += QStringLiteral("Molecular Weight = %1\n").arg(field(qtCalculatedMR));
    html += QStringLiteral("V-bar at 25C = %1\n").arg(field(qtCalculatedVBar));
    html += QStringLiteral("Molar extinction per cm at 280 nm: \n\tin 6M GdnHCl = %1; in water = %2\n")
                .arg(value(qtAbsExtinction), value(qtEstAbsExtinction));
    html += QStringLiteral("Absorbance per cm for 1 mg/ml at 280 nm:\n\tin 6M GdnHCl = %1; folded in water = %2\n")
                .arg(value(qtAbsMgMl), value(qtEstAbsMgMl));
    html += QStringLiteral("Hydration (g/g) = %1\n").arg(field(qtCalculatedHydration));
    // The pH the charge was computed at, not a fixed one.
    html += QStringLiteral("Charge at pH %1 = %2; Isoelectric point = %3\n")
                .arg(QString::number(AppNumber::valueOrZero(qtpH->text()), 'f', 1), value(qtpHCharge),
                    value(qtIsoElectricPoint));
    const bool amino = qtTitrableAmino->isChecked();
    const bool carboxyl = qtTitrableCarboxyl->isChecked();
    if (amino)
        html += QStringLiteral("\tcharge includes titrable alpha amino (pKa=%1)").arg(aminoEndPka, 0, 'f', 2);
    html += amino && carboxyl ? QStringLiteral(" and\n") : QStringLiteral("\n");
    if (carboxyl)
        html += QStringLiteral("\talpha carboxyl (pKa=%1) groups.\n").arg(carboxylEndPka, 0, 'f', 2);
    html += QStringLiteral("Total amino acids %1= %2\n")
                .arg(oligomer ? QStringLiteral("per monomer ") : QString(), field(qtTotalAminos));
    html += QStringLiteral("Mean residue weight (per residue) = %1; (per peptide bond) = %2\n")
                .arg(quotient(mr, n * total, 'g', 6), quotient(mr, n * (total - 1), 'g', 6));
    html += QStringLiteral("\nAmino Acid Composition:");

    const auto residueTable = [this](const QStringList &labels) {
        QString table = QStringLiteral(
            "<TABLE BORDER=1 cellspacing=0 cellpadding=2><TR><TH>Type</TH><TH>Moles</TH><TH>pKa</TH></TR>");
        for (const QString &label : labels) {
            const QString code = label.section(QLatin1Char('('), 1).chopped(1);
            table += QStringLiteral("<TR><TD ALIGN=right>%1</TD><TD ALIGN=right>%2</TD><TD ALIGN=right>%3</TD></TR>")
                         .arg(label, getAminoCount(code), getAminoPKA(code));
        }
        return table + QStringLiteral("</TABLE>");
    };
    html += QStringLiteral("<TABLE BORDER=0 cellspacing=0 cellpadding=0 width=\"80%\"><TR><TD ALIGN=left>");
    html += residueTable({ "(CY2)", "A (ALA)", "B (ASX)", "C (CYS)", "D (ASP)", "E (GLU)", "F (PHE)", "G (GLY)",
        "H (HIS)", "I (ILE)", "K (LYS)", "L (LEU)" });
    html += QStringLiteral("</TD><TD ALIGN=right>");
    html += residueTable({ "M (MET)", "N (ASN)", "P (PRO)", "Q (GLN)", "R (ARG)", "S (SER)", "T (THR)", "V (VAL)",
        "W (TRP)", "X (UNK)", "Y (TYR)", "Z (GLX)" });
    html += QStringLiteral("</TD></TR>\n");
    html += QStringLiteral("\n<TR><TD COLSPAN=2>Overall Amino Acid Composition Analysis:</TD></TR>");
    html += QStringLiteral("<TR><TD COLSPAN=2><TABLE BORDER=1 CELLSPACING=0 CELLPADDING=2 WIDTH=\"80%\"><TR><TH>"
                           "&nbsp;</TH><TH>number</TH><TH>% by weight</TH><TH>% by number</TH></TR>");
    const struct
    {
        const char *label;
        double count;
        double weight;
    } classes[] = {
        { "Charged (DEHKR)", chargedCount, chargedWeight },
        { "Acidic (DE)", acidicCount, acidicWeight },
        { "Basic (KR)", basicCount, basicWeight },
        { "Polar (CNQSTY)", polarCount, polarWeight },
        { "Hydrophobic (AFILMVW)", hydrophobicCount, hydrophobicWeight },
    };
    // Both shares per monomer: the weights of all chains over the mass of all
    // chains, the residues of one chain over the residues of one chain.
    for (const auto &c : classes)
        html += QStringLiteral("<TR><TD>%1</TD><TD ALIGN=right>%2</TD><TD ALIGN=right>%3</TD><TD ALIGN=right>%4</TD>"
                               "</TR>")
                    .arg(QLatin1String(c.label), AppNumber::toText(c.count),
                        quotient(c.weight * 100, summaryMr, 'f', 2), quotient(c.count * 100, total, 'f', 2));
    html += QStringLiteral("</TABLE></TD></TR></TABLE>\n");
    html += QStringLiteral("\nResults from Vornakel version %1\t%2\t%3\n")
                .arg(APPVERSION, QDate::currentDate().toString(QStringLiteral("MM-dd-yyyy")),
                    QTime::currentTime().toString(QStringLiteral("hh:mm:ss")));
    // Rich text folds a TAB into one blank; the indented lines need real room.
    return html.replace(QLatin1Char('\n'), QLatin1String("<br>"))
        .replace(QLatin1Char('\t'), QLatin1String("&nbsp;&nbsp;&nbsp;&nbsp;"));
}

void GuiSampleComposition::printSummary(QPrinter *printer)
{
    GuiPrintToFile file(printer);
    if (!file.begin(this))
        return;
    QTextBrowser browser;
    browser.setHtml(summaryHtml());
    QFont font = browser.font();
    font.setPointSize(10);
    browser.setFont(font);
    browser.print(file.device());
    file.finish(this);
}

void GuiSampleComposition::OnClickedPrintReport()
{
    QPrinter printer(QPrinter::ScreenResolution);
    printer.setPageOrientation(QPageLayout::Portrait);
    printer.setCopyCount(1);
    printer.setColorMode(QPrinter::Color);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Print Sample Summary"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    printSummary(&printer);
}

// ---- Charge and absorbance graphs ----

void GuiSampleComposition::onGraphChargeClicked()
{
    showGraph(chargeGraph, chargeGraphPoints, QStringLiteral("pH"), QStringLiteral("Net Charge"), false);
}

void GuiSampleComposition::onGraphAbsorbanceClicked()
{
    showGraph(absorbanceGraph, absorbanceGraphPoints, QStringLiteral("nm"), QStringLiteral("Molar Exctinction"), true);
}

void GuiSampleComposition::closeGraphs()
{
    for (GuiGrapher *window : { chargeGraph.data(), absorbanceGraph.data() }) {
        if (window)
            window->close();
    }
}

void GuiSampleComposition::showGraph(QPointer<GuiGrapher> &window, const QStringList &points, const QString &xTitle,
    const QString &yTitle, bool yTitleFirst)
{
    // One window per graph: a press replaces the earlier one.
    delete window;
    if (points.size() < 2)
        return;
    window = new GuiGrapher(nullptr);
    window->reset();
    connect(window, &GuiGrapher::sigLog, this, &GuiSampleComposition::sigLog);
    auto *curve = new QwtPlotCurve();
    curve->setSamples(graphStringsToPoints(points));
    if (yTitleFirst)
        window->setYAxisTitle(yTitle);
    window->setXAxisTitle(xTitle);
    if (!yTitleFirst)
        window->setYAxisTitle(yTitle);
    window->addCurve(curve);
    window->setVisible(true);
    window->raise();
}

// ---- Sequences and stored samples ----

void GuiSampleComposition::populateAminoTableFromSequence(QString const &sequenceText, bool const &convertCysteines)
{
    const GuiWaitCursor busy;
    const QSignalBlocker aminoBlocker(qtAminoAcids);
    const QSignalBlocker conjugateBlocker(qtConjugates);
    // A code the sequence field takes may have no row here (a residue made inactive since): it is named,
    // not counted as nothing.
    QStringList leftOut;
    for (const QChar c : countedResidues(sequenceText, convertCysteines, &leftOut)) {
        const auto found = oneLetterCounts.find(c);
        if (found != oneLetterCounts.end())
            ++found.value();
    }
    for (int row = 0; row < qtAminoAcids->rowCount(); ++row) {
        const QString code = cellText(qtAminoAcids, row, AminoCodeColumn);
        const auto found = oneLetterCounts.find(code.isEmpty() ? QChar(0) : code.at(0));
        if (found == oneLetterCounts.end())
            continue;
        setCellText(
            qtAminoAcids, row, AminoCountColumn, found.value() > 0 ? QString::number(found.value()) : QString());
        found.value() = 0;
    }
    // The residues as typed, each C where it stood: the counts say which of
    // them are disulfides.
    sequence = countedResidues(sequenceText, false);
    sequenceCounts = residueCounts();
    computeValues();
    GuiAminoAcidSequenceEdit::tellLeftOut(this, leftOut, QLatin1String(residuesLeftOut));
}

void GuiSampleComposition::fromOneLetterCodes(QString const &text)
{
    if (text.isEmpty()) {
        calculationsBlocked = false;
        computeValues();
        return;
    }
    calculationsBlocked = true;
    QStringList leftOut;
    {
        // Residues added by the program, not counts typed: no cell edit to answer.
        const QSignalBlocker blocker(qtAminoAcids);
        const auto addOne = [this](int row) {
            const int current = cellText(qtAminoAcids, row, AminoCountColumn).toInt();
            setCellText(qtAminoAcids, row, AminoCountColumn, QString::number(current + 1));
        };
        for (const QChar c : text) {
            int row = 0;
            for (; row < qtAminoAcids->rowCount(); ++row) {
                const bool match = c == QLatin1Char(' ')
                    ? cellText(qtAminoAcids, row, AminoNameColumn) == QLatin1String("CY2")
                    : cellText(qtAminoAcids, row, AminoCodeColumn).compare(QString(c), Qt::CaseInsensitive) == 0;
                if (match) {
                    addOne(row);
                    break;
                }
            }
            if (row == qtAminoAcids->rowCount())
                leftOut << QString(c);
        }
    }
    // The counts are no longer those of a sequence the page held.
    if (countsLeftSequence())
        forgetSequence();
    calculationsBlocked = false;
    computeValues();
    GuiAminoAcidSequenceEdit::tellLeftOut(this, leftOut, QLatin1String(residuesLeftOut));
}

void GuiSampleComposition::onEditAASequenceClicked()
{
    if (sequenceDialog->exec() != QDialog::Accepted)
        return;
    const QString text = sequenceDialog->sequence();
    populateAminoTableFromSequence(text, askToConvertCysteines(text));
}

bool GuiSampleComposition::askToConvertCysteines(const QString &sequence)
{
    if (sequence.indexOf(QLatin1Char('C'), 0, Qt::CaseInsensitive) < 0)
        return false;
    QMessageBox question(this);
    question.setWindowTitle(QStringLiteral("Vornakel Composition"));
    question.setText(QStringLiteral("Do you want all cysteines converted to disulfides?"));
    question.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    return question.exec() == QMessageBox::Yes;
}

QString GuiSampleComposition::toOneLetterCodes() const
{
    // Counted first, so an absurd count never makes the program build a huge text.
    QVector<qint64> counts(qtAminoAcids->rowCount(), 0);
    qint64 length = 0;
    for (int row = 0; row < qtAminoAcids->rowCount(); ++row) {
        const QString text = cellText(qtAminoAcids, row, AminoCountColumn).simplified();
        double value = 0;
        if (text.isEmpty() || !isValidAmount(text, &value))
            continue;
        if (value > maxSequenceLength)
            return QString();
        counts[row] = static_cast<qint64>(value);
        length += counts[row] * std::max(1, cellText(qtAminoAcids, row, AminoCodeColumn).size());
        if (length > maxSequenceLength)
            return QString();
    }
    QString codes;
    codes.reserve(static_cast<int>(length));
    for (int row = 0; row < counts.size(); ++row) {
        QString code = cellText(qtAminoAcids, row, AminoCodeColumn);
        if (code.isEmpty())
            code = QStringLiteral(" ");
        for (qint64 i = 0; i < counts[row]; ++i)
            codes += code;
    }
    return codes;
}

QString GuiSampleComposition::sequenceToStore() const
{
    // Counts typed or changed by hand come from no sequence: none is invented.
    if (sequence.isEmpty() || countsLeftSequence())
        return QStringLiteral("");
    return sequence;
}

void GuiSampleComposition::populateAminoTableFromSequence(int const &sampleId)
{
    SqlRecords records(database);
    SqlSampleRecord sample;
    if (!records.loadSample(sampleId, &sample)) {
        QMessageBox::critical(this, QStringLiteral("Vornakel"), records.error(), QMessageBox::Ok);
        return;
    }
    showRecord(sample);
}

QString GuiSampleComposition::changesSince(const SqlSampleRecord &saved, bool vbarIsComposition) const
{
    // Without a composition the page gives no figures: those stored stand alone.
    if (!holdsComposition(saved))
        return QString();
    // A figure the sample did not take from its composition is no figure the
    // composition gave: an imported sample keeps its typed vbar there too.
    GuiFigureChanges changes;
    const auto compare
        = [&](const QString &caption, const QVariant &figure, Calculation calculation, const QLineEdit *field) {
              if (tookFigure(saved, figure, calculation))
                  changes.compare(caption, figure, numberOrNull(field->text()));
          };
    if (vbarIsComposition)
        compare(QStringLiteral("vbar"), saved.calculatedVbar, VbarCalculation, qtCalculatedVBar);
    compare(QStringLiteral("Mr"), saved.calculatedMr, MrCalculation, qtCalculatedMR);
    compare(QStringLiteral("hydration"), saved.calculatedHydration, HydrationCalculation, qtCalculatedHydration);
    return changes.text(QStringLiteral("saved with"));
}

bool GuiSampleComposition::tookFigure(const SqlSampleRecord &sample, const QVariant &figure, Calculation calculation)
{
    if (figure.isNull())
        return false;
    if (!sample.calculations.isNull())
        return (sample.calculations.toInt() & calculation) != 0;
    return figure.toDouble() != 0.0;
}

bool GuiSampleComposition::holdsComposition(const SqlSampleRecord &sample)
{
    return !sample.sequence.isNull() || !sample.aminoAcids.isEmpty() || !sample.conjugates.isEmpty();
}

void GuiSampleComposition::showRecord(const SqlSampleRecord &sample)
{
    showComposition(sample);
    holdAsTaken();
}

void GuiSampleComposition::showComposition(const SqlSampleRecord &sample)
{
    // The stored rows, not the stored one-letter text: the text loses
    // fractional counts, residues sharing a letter and every conjugate.
    int missing = 0;
    const auto fill = [&missing](QTableWidget *table, int column, const QVector<SqlSampleRecord::Count> &rows) {
        const QSignalBlocker blocker(table);
        QHash<int, int> rowOfId;
        for (int row = 0; row < table->rowCount(); ++row) {
            if (const QTableWidgetItem *name = table->item(row, 0))
                rowOfId.insert(name->data(RecordIdRole).toInt(), row);
            if (QTableWidgetItem *cell = table->item(row, column)) {
                cell->setText(QString());
                cell->setToolTip(QString());
                cell->setData(Qt::BackgroundRole, QVariant());
            }
        }
        for (const SqlSampleRecord::Count &stored : rows) {
            const auto found = rowOfId.constFind(stored.id.toInt());
            if (found == rowOfId.constEnd()) {
                ++missing;
                continue;
            }
            const QVariant &count = stored.count;
            bool numeric = false;
            const double value = count.toDouble(&numeric);
            setCellText(table, found.value(), column, numeric ? AppNumber::toText(value) : count.toString());
        }
    };
    fill(qtAminoAcids, AminoCountColumn, sample.aminoAcids);
    fill(qtConjugates, ConjugateAmountColumn, sample.conjugates);

    QString denaturantText;
    if (!sample.denaturant.isNull())
        denaturantText = sample.denaturant.toString();
    QListWidgetItem *chosen = nullptr;
    for (int i = 0; i < qtDenaturants->count() && !denaturantText.isEmpty(); ++i)
        if (qtDenaturants->item(i)->data(DenaturantIdRole).toString() == denaturantText)
            chosen = qtDenaturants->item(i);
    if (!denaturantText.isEmpty() && !chosen)
        ++missing;
    {
        const QSignalBlocker checkBlocker(qtUseDefinedDenaturant);
        qtUseDefinedDenaturant->setChecked(chosen != nullptr);
    }
    qtDenaturants->setEnabled(chosen != nullptr);
    qtDenaturants->clearSelection();
    if (chosen)
        chosen->setSelected(true);
    denaturantId = chosen ? denaturantText : QString();
    // Another sample: what the module says of it is told anew.
    toldWarnings.clear();

    // No figure, graph or total of the sample before stays until the
    // composition is computed again.
    emptyResults();
    chargeGraphPoints.clear();
    absorbanceGraphPoints.clear();
    qtTotalAminos->clear();

    showCalculations(sample);

    qtpH->setRange(0.0, 14.0, 1000);
    qtpH->setFormat('f', 4);
    qtpH->setDefaultText(QStringLiteral("7.000"));
    if (sample.pH.isNull())
        qtpH->clear();
    else
        qtpH->setText(sample.pH.toString());
    aminoEndPka = sample.pkaAmino.isNull() ? defaultAminoPka : sample.pkaAmino.toDouble();
    carboxylEndPka = sample.pkaCarboxyl.isNull() ? defaultCarboxylPka : sample.pkaCarboxyl.toDouble();
    {
        const QSignalBlocker aminoBlocker(qtTitrableAmino);
        const QSignalBlocker carboxylBlocker(qtTitrableCarboxyl);
        qtTitrableAmino->setChecked(sample.titratableAmino.isNull() || sample.titratableAmino.toBool());
        qtTitrableCarboxyl->setChecked(sample.titratableCarboxyl.isNull() || sample.titratableCarboxyl.toBool());
    }
    const int chains = sample.nMer.isNull() ? 0 : sample.nMer.toInt();
    {
        const QSignalBlocker oligomerBlocker(qtMakeOligomer);
        qtMakeOligomer->setChecked(chains > 0);
    }
    acceptedOligomerN = chains > 0 ? chains : 2;
    qtOligomerN->setText(QString::number(acceptedOligomerN));
    qtOligomerN->setEnabled(chains > 0);

    showChargePh();
    qtTabWidget->setCurrentIndex(0);
    qtCompositionTab->setCurrentIndex(0);

    if (missing > 0)
        QMessageBox::warning(this, QStringLiteral("Vornakel"),
            QStringLiteral("%1 part(s) of the stored sample are no longer in the reference lists and were left out.")
                .arg(missing));
    if (sample.sequence.isNull())
        forgetSequence();
    else
        setSequence(sample.sequence.toString());
    computeValues();
}

void GuiSampleComposition::showCalculations(const SqlSampleRecord &sample)
{
    // The Calculate boxes as the sample stores them. A row stored before they
    // were has them on where it holds a figure (a new sample's without a
    // composition), and all three on with a sequence, as it always had.
    const bool composition = holdsComposition(sample);
    const bool older = sample.vbarSource.isNull() && !sample.sequence.isNull();
    const int boxes = sample.calculations.toInt();
    const auto showFigure = [&](QGroupBox *group, QLineEdit *field, const QVariant &figure, int bit, bool newSample) {
        const QSignalBlocker groupBlocker(group);
        const QSignalBlocker fieldBlocker(field);
        if (!sample.calculations.isNull())
            group->setChecked(boxes & bit);
        else
            group->setChecked(composition ? (older || !figure.isNull()) : newSample);
        field->setText(figure.isNull() ? QString() : AppNumber::toText(figure.toDouble()));
    };
    showFigure(qtCalculateVbar, qtCalculatedVBar, sample.calculatedVbar, VbarCalculation, true);
    showFigure(qtCalculateMr, qtCalculatedMR, sample.calculatedMr, MrCalculation, false);
    showFigure(qtCalculateHydration, qtCalculatedHydration, sample.calculatedHydration, HydrationCalculation, true);
}

void GuiSampleComposition::fillRecord(SqlSampleRecord *sample, GuiFieldReader *reader) const
{
    GuiFieldReader unread;
    GuiFieldReader &read = reader ? *reader : unread;
    const QVariant null(QVariant::Double);
    sample->calculatedVbar = qtCalculateVbar->isChecked() ? numberOrNull(qtCalculatedVBar->text()) : null;
    sample->calculatedMr = qtCalculateMr->isChecked() ? numberOrNull(qtCalculatedMR->text()) : null;
    sample->calculatedHydration
        = qtCalculateHydration->isChecked() ? numberOrNull(qtCalculatedHydration->text()) : null;
    // The denaturant goes with the sample: without it a reloaded sample would lose its vbar.
    sample->denaturant = denaturantId.isEmpty() ? QVariant(QVariant::Int) : QVariant(denaturantId.toInt());
    sample->pkaAmino = aminoEndPka;
    sample->pkaCarboxyl = carboxylEndPka;
    sample->calculations = (qtCalculateVbar->isChecked() ? VbarCalculation : 0)
        | (qtCalculateMr->isChecked() ? MrCalculation : 0)
        | (qtCalculateHydration->isChecked() ? HydrationCalculation : 0);
    sample->titratableAmino = qtTitrableAmino->isChecked() ? 1 : 0;
    sample->titratableCarboxyl = qtTitrableCarboxyl->isChecked() ? 1 : 0;
    sample->pH = read.number(qtpH, QStringLiteral("pH (composition page)"));
    if (qtMakeOligomer->isChecked() && !isOligomerNumber(qtOligomerN->text()))
        read.refuse(QStringLiteral("oligomer's chains"), qtOligomerN->text(), QStringLiteral("a whole number from 1"));
    sample->nMer = qtMakeOligomer->isChecked() ? QVariant(oligomerNumber()) : QVariant(QVariant::Int);
    // One composition row per count the page would send to the calculation;
    // an empty cell stores nothing, an invalid (red) one refuses the save.
    const auto counts = [&read](const QTableWidget *table, int amountColumn) {
        QVector<SqlSampleRecord::Count> rows;
        for (int row = 0; row < table->rowCount(); ++row) {
            const QTableWidgetItem *cell = table->item(row, amountColumn);
            const QTableWidgetItem *name = table->item(row, 0);
            double count = 0;
            if (!cell || !name || cell->text().simplified().isEmpty())
                continue;
            if (!isValidAmount(cell->text(), &count)) {
                read.refuse(QStringLiteral("amount of %1").arg(name->text()), cell->text());
                continue;
            }
            rows.append({ name->data(RecordIdRole).toInt(), count });
        }
        return rows;
    };
    sample->aminoAcids = counts(qtAminoAcids, AminoCountColumn);
    sample->conjugates = counts(qtConjugates, ConjugateAmountColumn);
    // NULL when the page holds no composition: a stored sequence, even an
    // empty one, makes the sample a computed one. Any composition stores a
    // text, also one of conjugates only, so that its rows are read back. A
    // sequence the page and its dialog show is the sample's also without
    // counts of its own (an older file's, or a row another program wrote):
    // it is saved as shown.
    const QString codes = sequenceToStore();
    const bool composition = !sample->aminoAcids.isEmpty() || !sample->conjugates.isEmpty() || !codes.isEmpty();
    sample->sequence = composition ? QVariant(codes.isNull() ? QStringLiteral("") : codes) : QVariant(QVariant::String);
}

QVariant GuiSampleComposition::numberOrNull(const QString &text)
{
    double value = 0.0;
    return AppNumber::fromText(text, &value) ? QVariant(value) : QVariant(QVariant::Double);
}

void GuiSampleComposition::showChargePh()
{
    // The charge is computed at the sample's pH: the label says which.
    QString pH = AppNumber::toText(AppNumber::valueOrZero(qtpH->text()));
    if (!pH.contains(QLatin1Char('.')) && !pH.contains(QLatin1Char('e')))
        pH += QStringLiteral(".0");
    qtpHLabel->setText(QStringLiteral("Charge at pH %1").arg(pH));
}
