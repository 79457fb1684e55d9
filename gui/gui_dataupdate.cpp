#include "gui/gui_dataupdate.h"

#include "app/app_number.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QDateTime>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTableWidgetItem>
#include <QVariant>

namespace {

const char *const invalidStyle = "QLineEdit{background-color: rgba(170, 28, 29, 100);}";
const char *const nameClash = "Another record exists with this name";
const char *const codeClash = "Another record exists with this code";
const char *const notANumber = "Not a number";

// A stored spectrum: 230 to 320 nm in steps of 2 nm.
constexpr int spectrumRows = 46;
constexpr int firstWavelength = 230;
constexpr int wavelengthStep = 2;

// Numbers as the program writes them everywhere; text as stored; NULL empty.
QString displayText(const QVariant &value)
{
    if (value.isNull())
        return QString();
    switch (value.type()) {
    case QVariant::Double:
    case QVariant::Int:
    case QVariant::LongLong:
    case QVariant::UInt:
    case QVariant::ULongLong:
        return AppNumber::toText(value.toDouble());
    default:
        return value.toString();
    }
}

// The triggers store datetime('now'), "yyyy-MM-dd hh:mm:ss"; older rows may
// hold other forms or nothing.
QString dateText(const QVariant &value)
{
    if (value.isNull())
        return QString();
    const QString text = value.toString().trimmed();
    QDateTime stamp = QDateTime::fromString(text, Qt::ISODate);
    for (const char *format : { "yyyy-MM-dd hh:mm:ss", "yyyy-MM-dd hh:mm", "yyyy-MM-dd" }) {
        if (stamp.isValid())
            break;
        stamp = QDateTime::fromString(text, QLatin1String(format));
    }
    return stamp.isValid() ? stamp.toString(QStringLiteral("M/dd/yy")) : QString();
}

bool isEmptyOrNumber(const QString &text)
{
    return text.isEmpty() || AppNumber::fromText(text, nullptr);
}

void markField(QLineEdit *field, bool valid, const QString &reason)
{
    field->setStyleSheet(valid ? QString() : QLatin1String(invalidStyle));
    field->setToolTip(valid ? QString() : reason);
}

bool sameName(const QString &a, const QString &b)
{
    return SqlReferenceRecords::foldedName(a) == SqlReferenceRecords::foldedName(b);
}

// What a save stores of a field: the text as typed, the column's type making
// a number of it. An emptied number is a missing one, NULL, never an empty text
// that reads as no number and no NULL either.
QVariant storedValue(const QString &typed, bool text = false)
{
    return !text && typed.isEmpty() ? QVariant(QVariant::Double) : QVariant(typed);
}

// A page's fields against the members of its record; every field holds a
// number but those marked as text (codes, a source).
template<typename R> struct Field
{
    QVariant R::*member;
    QLineEdit *edit;
    bool text = false;
};
template<typename R> using Fields = QList<Field<R>>;

template<typename R> void readFields(R *record, const Fields<R> &fields)
{
    for (const auto &field : fields)
        record->*(field.member) = storedValue(field.edit->text(), field.text);
}

// Emptied where the record holds nothing.
template<typename R> void showFields(const R &record, const Fields<R> &fields)
{
    for (const auto &field : fields)
        field.edit->setText(displayText(record.*(field.member)));
}

Fields<SqlReferenceRecords::AminoAcid> aminoFields(const GuiDataUpdate &w)
{
    using R = SqlReferenceRecords::AminoAcid;
    return { { &R::threeLetter, w.qtAA3Letter, true }, { &R::oneLetter, w.qtAA1Letter, true }, { &R::mr, w.qtAAMr },
        { &R::covalent, w.qtAACovalent }, { &R::vbar, w.qtAAVbar }, { &R::hipH7, w.qtAAHipH7 },
        { &R::hipH4, w.qtAAHipH4 }, { &R::extinction, w.qtAAExtinction }, { &R::charge, w.qtAACharge },
        { &R::pka, w.qtAAPka } };
}

Fields<SqlReferenceRecords::Conjugate> conjugateFields(const GuiDataUpdate &w)
{
    using R = SqlReferenceRecords::Conjugate;
    return { { &R::mr, w.qtConjugateMr }, { &R::covalent, w.qtConjugateCovalent }, { &R::vbar, w.qtConjugateVbar },
        { &R::hipH7, w.qtConjugateHipH7 }, { &R::hipH4, w.qtConjugateHipH4 },
        { &R::extinction, w.qtConjugateExtinction }, { &R::charge, w.qtConjugateCharge }, { &R::pka, w.qtConjugatePka },
        { &R::mCutoff, w.qtConjugateMCutOff }, { &R::carbo, w.qtConjugateCarbo } };
}

Fields<SqlReferenceRecords::Denaturant> denaturantFields(const GuiDataUpdate &w)
{
    using R = SqlReferenceRecords::Denaturant;
    return { { &R::rhomin, w.qtDenaturantRhomin }, { &R::v3, w.qtDenaturantv3 }, { &R::g3, w.qtDenaturantg3 },
        { &R::md, w.qtDenaturantMd }, { &R::carbo, w.qtDenaturantCarbo } };
}

Fields<SqlReferenceRecords::DensitySeries> densityFields(const GuiDataUpdate &w)
{
    using S = SqlReferenceRecords::DensitySeries;
    return { { &S::a, w.qtDensityA }, { &S::b, w.qtDensityB }, { &S::c, w.qtDensityC }, { &S::d, w.qtDensityD },
        { &S::e, w.qtDensityE }, { &S::f, w.qtDensityF }, { &S::cmax, w.qtDensityCmax },
        { &S::errorMax, w.qtDensityErrorMax }, { &S::source, w.qtDensitySource, true } };
}

Fields<SqlReferenceRecords::ViscositySeries> viscosityFields(const GuiDataUpdate &w)
{
    using S = SqlReferenceRecords::ViscositySeries;
    return { { &S::a, w.qtViscosityA }, { &S::b, w.qtViscosityB }, { &S::c, w.qtViscosityC }, { &S::d, w.qtViscosityD },
        { &S::e, w.qtViscosityE }, { &S::cmax, w.qtViscosityCmax }, { &S::errorMax, w.qtViscosityErrorMax },
        { &S::source, w.qtViscositySource, true } };
}

} // namespace

// ---- the listing

bool GuiDataUpdate::Listing::first()
{
    if (m_rows.isEmpty())
        return false;
    m_at = 0;
    return true;
}

bool GuiDataUpdate::Listing::last()
{
    if (m_rows.isEmpty())
        return false;
    m_at = m_rows.size() - 1;
    return true;
}

bool GuiDataUpdate::Listing::next()
{
    if (m_at == beforeFirst)
        return first();
    if (m_at == afterLast)
        return false;
    if (m_at + 1 < m_rows.size()) {
        ++m_at;
        return true;
    }
    m_at = afterLast;
    return false;
}

bool GuiDataUpdate::Listing::previous()
{
    if (m_at == beforeFirst)
        return false;
    if (m_at == afterLast)
        return last();
    if (m_at > 0) {
        --m_at;
        return true;
    }
    m_at = beforeFirst;
    return false;
}

const SqlReferenceRecords::Listed &GuiDataUpdate::Listing::current() const
{
    static const SqlReferenceRecords::Listed none;
    return isValid() ? m_rows.at(m_at) : none;
}

GuiDataUpdate::GuiDataUpdate(const QString &databasePath, QWidget *parent)
    : QWidget(parent), m_connectionName(databasePath), m_records(QSqlDatabase::database(databasePath))
{
    setupUi(this);
    initialize();
    createConnections();
}

GuiDataUpdate::~GuiDataUpdate() = default;

void GuiDataUpdate::closeEvent(QCloseEvent *event)
{
    // Closing only hides: a half-done edit is found again at the next showing.
    event->accept();
}

void GuiDataUpdate::initialize()
{
    m_listing = Listing();

    qtDataTable->clear();
    qtDataTable->addItem(QStringLiteral("Amino Acid Data"), static_cast<int>(Table::Amino));
    qtDataTable->addItem(QStringLiteral("Conjugate Data"), static_cast<int>(Table::Conjugates));
    qtDataTable->addItem(QStringLiteral("Denaturant Data"), static_cast<int>(Table::Denature));
    qtDataTable->addItem(QStringLiteral("Buffer Components Data"), static_cast<int>(Table::BufferComponent));
    qtDataTable->addItem(QStringLiteral("Extinction Data"), static_cast<int>(Table::Extinction));
    qtDataTable->setCurrentIndex(0);

    m_aminoValues = { qtAAMr, qtAACovalent, qtAAVbar, qtAAHipH7, qtAAHipH4, qtAAExtinction, qtAACharge, qtAAPka };
    m_conjugateValues = { qtConjugateMr, qtConjugateCovalent, qtConjugateVbar, qtConjugateHipH7, qtConjugateHipH4,
        qtConjugateExtinction, qtConjugateCharge, qtConjugatePka, qtConjugateMCutOff, qtConjugateCarbo };
    m_denaturantValues = { qtDenaturantRhomin, qtDenaturantv3, qtDenaturantg3, qtDenaturantMd, qtDenaturantCarbo };
    m_densityValues
        = { qtDensityA, qtDensityB, qtDensityC, qtDensityD, qtDensityE, qtDensityF, qtDensityCmax, qtDensityErrorMax };
    m_viscosityValues = { qtViscosityA, qtViscosityB, qtViscosityC, qtViscosityD, qtViscosityE, qtViscosityCmax,
        qtViscosityErrorMax };

    clear();
    endEdit(); // the form's Apply buttons start enabled
    qtRecordControlFrame->show();
    updateRecordControlFrame(-1);
}

void GuiDataUpdate::createConnections()
{
    connect(qtDialogButtons, &QDialogButtonBox::clicked, this, &GuiDataUpdate::onDialogButtonClicked);
    connect(qtDataTable, qOverload<int>(&QComboBox::currentIndexChanged), this, &GuiDataUpdate::onDataTableChanged);
    connect(qtRecordFirst, &QToolButton::clicked, this, &GuiDataUpdate::onFirstRecordClicked);
    connect(qtRecordPrev, &QToolButton::clicked, this, &GuiDataUpdate::onPrevRecordClicked);
    connect(qtRecordNext, &QToolButton::clicked, this, &GuiDataUpdate::onNextRecordClicked);
    connect(qtRecordLast, &QToolButton::clicked, this, &GuiDataUpdate::onLastRecordClicked);
    connect(qtRecordSearch, &QLineEdit::textChanged, this, &GuiDataUpdate::onRecordSearchEdited);
    connect(qtRecordAdd, &QPushButton::toggled, this, &GuiDataUpdate::onRecordAddToggled);
    connect(qtRecordDelete, &QPushButton::toggled, this, &GuiDataUpdate::onRecordDeleteToggled);
    connect(qtRecordName, &QLineEdit::textEdited, this, &GuiDataUpdate::onRecordNameChanged);

    auto connectBox = [this](QDialogButtonBox *box, void (GuiDataUpdate::*save)(), void (GuiDataUpdate::*reset)()) {
        connect(box->button(QDialogButtonBox::Apply), &QPushButton::clicked, this, save);
        connect(box->button(QDialogButtonBox::Cancel), &QPushButton::clicked, this, reset);
    };
    connectBox(
        qtAAButtonBox, &GuiDataUpdate::onAminoAcidRecordSaveClicked, &GuiDataUpdate::onAminoAcidRecordResetClicked);
    connectBox(qtConjugateButtonBox, &GuiDataUpdate::onConjugateRecordSaveClicked,
        &GuiDataUpdate::onConjugateRecordResetClicked);
    connectBox(qtDenaturantButtonBox, &GuiDataUpdate::onDenaturantRecordSaveClicked,
        &GuiDataUpdate::onDenaturantRecordResetClicked);
    connectBox(qtComponentButtonBox, &GuiDataUpdate::onComponentRecordSaveClicked,
        &GuiDataUpdate::onComponentRecordResetClicked);
    connectBox(qtExtinctionButtonBox, &GuiDataUpdate::onExtinctionRecordSaveClicked,
        &GuiDataUpdate::onExtinctionRecordResetClicked);

    // Only a person's edit starts an edit: filling the fields by program sends
    // no textEdited.
    for (QLineEdit *edit : qtStackAminoAcidPage->findChildren<QLineEdit *>()) {
        if (edit == qtAA3Letter || edit == qtAA1Letter)
            connect(edit, &QLineEdit::textEdited, this, &GuiDataUpdate::validateAminoCode);
        else
            connect(edit, &QLineEdit::textEdited, this, [this] { showAminoAcidSave(true); });
    }
    for (QLineEdit *edit : qtStackConjugatePage->findChildren<QLineEdit *>())
        connect(edit, &QLineEdit::textEdited, this, [this] { showConjugateSave(true); });
    for (QLineEdit *edit : qtStackDenaturantPage->findChildren<QLineEdit *>())
        connect(edit, &QLineEdit::textEdited, this, [this] { showDenaturantSave(true); });
    for (QLineEdit *edit : qtStackComponentsPage->findChildren<QLineEdit *>())
        connect(edit, &QLineEdit::textEdited, this, [this] { showComponentsSave(true); });
    for (QCheckBox *box : { qtAddSolventDensityData, qtAddSolventViscosityData }) {
        connect(box, &QCheckBox::stateChanged, this, &GuiDataUpdate::onAddSolventDataStateChanged);
        connect(box, &QCheckBox::clicked, this, [this] { showComponentsSave(true); });
    }
    connect(qtExtinctionTable, &QTableWidget::cellChanged, this, &GuiDataUpdate::enableExtinctionApplyButton);
}

// ---- tables, pages and the record frame

GuiDataUpdate::Table GuiDataUpdate::currentTable() const
{
    const int index = qtDataTable->currentIndex();
    if (index < 0)
        return Table::Amino;
    const int id = qtDataTable->itemData(index).toInt();
    return id >= 0 && id <= static_cast<int>(Table::Extinction) ? static_cast<Table>(id) : Table::Amino;
}

GuiDataUpdate::PageWidgets GuiDataUpdate::widgetsOf(Table table) const
{
    switch (table) {
    case Table::Amino:
        return { qtStackAminoAcidPage, qtAAButtonBox, qtAAInstructionLabel };
    case Table::Conjugates:
        return { qtStackConjugatePage, qtConjugateButtonBox, qtConjugateInstructionLabel };
    case Table::Denature:
        return { qtStackDenaturantPage, qtDenaturantButtonBox, qtDenaturantInstructionLabel };
    case Table::BufferComponent:
        return { qtStackComponentsPage, qtComponentButtonBox, qtComponentInstructionLabel };
    case Table::Extinction:
        return { qtStackExtinctionPage, qtExtinctionButtonBox, qtExtinctionInstructionLabel };
    }
    return { qtStackAminoAcidPage, qtAAButtonBox, qtAAInstructionLabel };
}

void GuiDataUpdate::showSave(Table table, bool show)
{
    switch (table) {
    case Table::Amino:
        showAminoAcidSave(show);
        break;
    case Table::Conjugates:
        showConjugateSave(show);
        break;
    case Table::Denature:
        showDenaturantSave(show);
        break;
    case Table::BufferComponent:
        showComponentsSave(show);
        break;
    case Table::Extinction:
        showExtinctionSave(show);
        break;
    }
}

void GuiDataUpdate::lockRecordFrame(bool lock)
{
    m_frameLocked = lock;
    // Close stays: it only hides the window, and the next opening leaves the edit.
    for (QWidget *w : std::initializer_list<QWidget *> {
             qtDataTable, qtRecordFirst, qtRecordLast, qtRecordNext, qtRecordPrev, qtRecordSearch, qtRecordAdd })
        w->setEnabled(!lock);
    qtRecordDelete->setEnabled(!lock && m_listing.isValid());
    if (lock) {
        // An edit can always be cancelled: its Cancel is on the page.
        widgetsOf(currentTable()).page->setEnabled(true);
    } else {
        qtRecordAdd->setChecked(false);
        qtRecordDelete->setChecked(false);
    }
}

void GuiDataUpdate::offerShownRecord(bool shown)
{
    widgetsOf(currentTable()).page->setEnabled(shown);
    // The name line then holds a message, no name to edit.
    qtRecordName->setReadOnly(!shown);
    qtRecordDelete->setEnabled(shown && !m_frameLocked);
}

void GuiDataUpdate::endEdit()
{
    lockRecordFrame(false);
    for (Table table :
        { Table::Amino, Table::Conjugates, Table::Denature, Table::BufferComponent, Table::Extinction }) {
        const PageWidgets widgets = widgetsOf(table);
        widgets.buttons->button(QDialogButtonBox::Apply)->setEnabled(false);
        widgets.buttons->button(QDialogButtonBox::Cancel)->setEnabled(true);
        widgets.instruction->hide();
        for (QLineEdit *edit : widgets.page->findChildren<QLineEdit *>())
            edit->setEnabled(true);
    }
    qtRecordName->setEnabled(true);
    qtAddSolventDensityData->setEnabled(true);
    qtAddSolventViscosityData->setEnabled(true);
}

void GuiDataUpdate::showTable(Table table)
{
    // An edit left open when the window was closed must not be applied later
    // to whatever record the relisting shows.
    endEdit();
    // A search of an earlier opening would take what is typed now as its continuation.
    qtRecordSearch->clear();
    // Through "no entry", so that choosing the table already shown still relists it.
    qtDataTable->setCurrentIndex(-1);
    qtDataTable->setCurrentIndex(qtDataTable->findData(static_cast<int>(table)));
}

void GuiDataUpdate::showAminoAcidPage()
{
    showTable(Table::Amino);
    show();
}

void GuiDataUpdate::showConjugatePage()
{
    showTable(Table::Conjugates);
    show();
}

void GuiDataUpdate::showDenaturantPage()
{
    showTable(Table::Denature);
    show();
}

void GuiDataUpdate::showBufferComponentsPage()
{
    showTable(Table::BufferComponent);
    showComponentsSave(false);
    show();
}

void GuiDataUpdate::showExtinctionPage()
{
    showTable(Table::Extinction);
    showExtinctionSave(false);
    show();
}

void GuiDataUpdate::onDialogButtonClicked(QAbstractButton *button)
{
    if (button == qtDialogButtons->button(QDialogButtonBox::Close))
        hide();
}

void GuiDataUpdate::onDataTableChanged(int index)
{
    // The pass through "no entry" on the way to a table is no table of its own.
    if (index < 0)
        return;
    qtStackedWidget->setCurrentWidget(widgetsOf(currentTable()).page);
    updateRecordControlFrame(-1);
}

bool GuiDataUpdate::relist()
{
    QVector<SqlReferenceRecords::Listed> rows;
    if (!m_records.list(currentTable(), &rows)) {
        m_listing = Listing();
        showDatabaseError();
        return false;
    }
    m_listing = Listing(rows);
    return true;
}

void GuiDataUpdate::showDatabaseError()
{
    QMessageBox::critical(this, QStringLiteral("Vornakel"), m_records.error(), QMessageBox::Ok);
}

void GuiDataUpdate::updateRecordControlFrame(int id)
{
    if (!relist())
        return;
    bool found = false;
    if (id >= 1 && m_listing.first()) {
        do {
            found = m_listing.current().id == id;
        } while (!found && m_listing.next());
    }
    if (!found)
        m_listing.first();
    showNewRecord();
}

void GuiDataUpdate::showSpectrum(const QString &name)
{
    if (!relist())
        return;
    bool found = false;
    if (m_listing.first()) {
        do {
            found = m_listing.current().name == name;
        } while (!found && m_listing.next());
    }
    if (!found)
        m_listing.first();
    showNewRecord();
}

int GuiDataUpdate::listingId() const
{
    return m_listing.isValid() ? static_cast<int>(m_listing.current().id) : 0;
}

QString GuiDataUpdate::recordName() const
{
    return qtRecordName->text().trimmed();
}

void GuiDataUpdate::clear()
{
    m_listing = Listing();
    clearRecordFields();
    showAminoAcidSave(false);
    showConjugateSave(false);
    showDenaturantSave(false);
    qtComponentTabBar->setTabEnabled(1, false);
    qtComponentTabBar->setTabEnabled(2, false);
}

// ---- navigation and search

void GuiDataUpdate::onFirstRecordClicked()
{
    m_listing.first();
    m_listing.previous();
    showNewRecord();
}

void GuiDataUpdate::onPrevRecordClicked()
{
    m_listing.previous();
    showNewRecord();
}

void GuiDataUpdate::onNextRecordClicked()
{
    m_listing.next();
    showNewRecord();
}

void GuiDataUpdate::onLastRecordClicked()
{
    m_listing.last();
    m_listing.next();
    showNewRecord();
}

void GuiDataUpdate::onRecordSearchEdited(const QString &text)
{
    const QString prefix = text.simplified();
    QWidget *page = widgetsOf(currentTable()).page;
    if (!prefix.isEmpty()) {
        if (m_listing.first()) {
            do {
                if (m_listing.current().name.startsWith(prefix, Qt::CaseInsensitive)) {
                    showNewRecord();
                    return;
                }
            } while (m_listing.next());
        }
        qtRecordName->setText(QStringLiteral("No Matching Records"));
        clearRecordFields();
        offerShownRecord(false);
        return;
    }
    page->setEnabled(true);
    if (m_listing.isValid())
        return;
    m_listing.first();
    showNewRecord();
}

void GuiDataUpdate::onRecordAddToggled(bool checked)
{
    if (!checked)
        return;
    widgetsOf(currentTable()).page->setEnabled(true);
    lockRecordFrame(true);
    clearRecordFields();
    if (currentTable() == Table::Extinction)
        fillExtinctionGrid(true);
    qtRecordName->clear();
    qtRecordName->setReadOnly(false);
    qtRecordModified->clear();
    qtRecordName->setFocus();
}

void GuiDataUpdate::onRecordDeleteToggled(bool checked)
{
    const Table table = currentTable();
    showSave(table, checked);
    if (table == Table::BufferComponent) {
        qtAddSolventDensityData->setEnabled(!checked);
        qtAddSolventViscosityData->setEnabled(!checked);
    }
    // A spectrum is deleted by its name alone, so nothing on the page has to pass.
    if (table == Table::Extinction && checked)
        qtExtinctionButtonBox->button(QDialogButtonBox::Apply)->setEnabled(true);
    qtRecordName->setEnabled(!checked);
    for (QLineEdit *edit : widgetsOf(table).page->findChildren<QLineEdit *>())
        edit->setEnabled(!checked);
}

void GuiDataUpdate::onRecordNameChanged()
{
    if (!sender())
        return;
    showSave(currentTable(), true);
}

void GuiDataUpdate::onAddSolventDataStateChanged(int state)
{
    QObject *box = sender();
    if (box == qtAddSolventDensityData) {
        qtComponentTabBar->setTabEnabled(qtComponentTabBar->indexOf(qtDensityTab), state != 0);
        qtComponentDensityNote->setVisible(state == 0);
    } else if (box == qtAddSolventViscosityData) {
        qtComponentTabBar->setTabEnabled(qtComponentTabBar->indexOf(qtViscosityTab), state != 0);
        qtComponentViscosityNote->setVisible(state == 0);
    }
}

// ---- showing and clearing records

void GuiDataUpdate::showNewRecord()
{
    // Emptying the search shows the first record by itself (a nested showing);
    // this one then goes on from that row.
    if (!m_listing.isValid() && !qtRecordSearch->text().isEmpty())
        qtRecordSearch->clear();

    qtRecordName->setStyleSheet(QString());
    qtRecordName->setToolTip(QString());
    clearValueMarks();

    if (m_listing.isBeforeFirst())
        m_listing.first();
    else if (m_listing.isAfterLast())
        m_listing.last();

    const Table table = currentTable();
    if (!m_listing.isValid()) {
        qtRecordName->setText(QStringLiteral("No Records Found"));
        offerShownRecord(false);
        clearRecordFields();
        return;
    }
    // A page greyed by a search that found nothing is usable again with the record.
    offerShownRecord(true);

    // The record's own row gives its name and date (both empty without a row);
    // a component's come from the listing, a series ticks its box when there is one.
    const SqlReferenceRecords::Listed listed = m_listing.current();
    QString name;
    QVariant modified;
    switch (table) {
    case Table::Amino: {
        markField(qtAA3Letter, true, QString());
        markField(qtAA1Letter, true, QString());
        SqlReferenceRecords::AminoAcid record;
        if (!m_records.load(listed.id, &record))
            return showDatabaseError();
        showFields(record, aminoFields(*this));
        name = record.name;
        modified = record.modified;
        break;
    }
    case Table::Conjugates: {
        SqlReferenceRecords::Conjugate record;
        if (!m_records.load(listed.id, &record))
            return showDatabaseError();
        showFields(record, conjugateFields(*this));
        name = record.name;
        modified = record.modified;
        break;
    }
    case Table::Denature: {
        SqlReferenceRecords::Denaturant record;
        if (!m_records.load(listed.id, &record))
            return showDatabaseError();
        showFields(record, denaturantFields(*this));
        name = record.name;
        modified = record.modified;
        break;
    }
    case Table::BufferComponent: {
        qtComponentTabBar->setCurrentWidget(qtPropertiesTab);
        qtComponentDensity->setText(displayText(listed.density));
        qtComponentMr->setText(displayText(listed.mr));
        bool found = false;
        SqlReferenceRecords::DensitySeries density;
        if (!m_records.loadDensitySeries(listed.id, &density, &found))
            return showDatabaseError();
        qtAddSolventDensityData->setChecked(found);
        showFields(density, densityFields(*this));
        SqlReferenceRecords::ViscositySeries viscosity;
        if (!m_records.loadViscositySeries(listed.id, &viscosity, &found))
            return showDatabaseError();
        qtAddSolventViscosityData->setChecked(found);
        showFields(viscosity, viscosityFields(*this));
        name = listed.name;
        modified = listed.modified;
        break;
    }
    case Table::Extinction:
        fillExtinctionGrid(false);
        name = listed.name;
        break;
    }

    qtRecordName->setText(name);
    qtRecordModified->setText(dateText(modified));
}

void GuiDataUpdate::fillExtinctionGrid(bool freshGrid)
{
    // Filled with the table's signals blocked: filling is no edit.
    const QSignalBlocker blocker(qtExtinctionTable);
    qtExtinctionTable->clearContents();
    qtExtinctionTable->setRowCount(0);

    auto addRow = [this](const QString &nm, const QVariant &id, const QString &ext) {
        const int row = qtExtinctionTable->rowCount();
        qtExtinctionTable->insertRow(row);
        auto *wavelength = new QTableWidgetItem(nm);
        wavelength->setFlags(Qt::ItemIsEnabled);
        wavelength->setBackground(QBrush(QColor(QStringLiteral("lightgray"))));
        wavelength->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        wavelength->setData(Qt::UserRole + 1, id);
        qtExtinctionTable->setItem(row, 0, wavelength);
        qtExtinctionTable->setItem(row, 1, new QTableWidgetItem(ext));
    };

    if (freshGrid) {
        // A new spectrum starts on the whole grid, whatever the shown one had.
        for (int r = 0; r < spectrumRows; ++r)
            addRow(AppNumber::toText(firstWavelength + wavelengthStep * r), QVariant(), QString());
    } else {
        QVector<SqlReferenceRecords::SpectrumPoint> points;
        if (!m_records.loadSpectrum(m_listing.current().name, &points))
            return showDatabaseError();
        for (const SqlReferenceRecords::SpectrumPoint &point : points)
            addRow(displayText(point.nm), point.id, displayText(point.ext));
    }
    // Sized once to its contents, the last column would keep the width of its header
    // until the window is next resized; the header keeps both widths itself.
    qtExtinctionTable->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    qtExtinctionTable->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
}

void GuiDataUpdate::clearRecordFields()
{
    qtRecordModified->clear();
    for (QLineEdit *edit : { qtAA3Letter, qtAA1Letter })
        edit->clear();
    for (const QList<QLineEdit *> *fields : { &m_aminoValues, &m_conjugateValues, &m_denaturantValues }) {
        for (QLineEdit *edit : *fields)
            edit->clear();
    }
    qtComponentDensity->clear();
    qtComponentMr->clear();
    qtAddSolventDensityData->setChecked(false);
    qtAddSolventViscosityData->setChecked(false);
    for (const QList<QLineEdit *> *fields : { &m_densityValues, &m_viscosityValues }) {
        for (QLineEdit *edit : *fields)
            edit->clear();
    }
    qtDensitySource->clear();
    qtViscositySource->clear();
    clearValueMarks();
}

void GuiDataUpdate::clearValueMarks()
{
    for (const QList<QLineEdit *> *fields :
        { &m_aminoValues, &m_conjugateValues, &m_denaturantValues, &m_densityValues, &m_viscosityValues }) {
        for (QLineEdit *edit : *fields)
            markField(edit, true, QString());
    }
    markField(qtComponentDensity, true, QString());
    markField(qtComponentMr, true, QString());
}

// ---- checks

bool GuiDataUpdate::validateRecordName(const QString &table)
{
    // Blanks around a name are not seen in any list: " Urea" would be a second Urea,
    // and blanks alone no name at all. The saves store it so.
    const QString text = recordName();
    bool valid = !text.isEmpty();
    QString message;
    if (valid) {
        bool found = false;
        qint64 id = 0;
        if (!m_records.findName(table, text, &found, &id)) {
            // A database fault does not block Apply on its own.
            showDatabaseError();
            return true;
        }
        if (found) {
            // A spectrum is listed by its name, not by a row id.
            const bool own = currentTable() == Table::Extinction
                ? m_listing.isValid() && sameName(m_listing.current().name, text)
                : id == listingId();
            valid = !qtRecordAdd->isChecked() && own;
        }
        message = QLatin1String(nameClash);
    }
    markField(qtRecordName, valid, message);
    return valid;
}

bool GuiDataUpdate::checkAminoCode(QLineEdit *field, bool *failed)
{
    const QString text = field->text();
    bool valid = !text.isEmpty();
    if (valid) {
        bool found = false;
        qint64 id = 0;
        // Exactly as typed: codes differ by letter case.
        if (!m_records.findAminoCode(text, field == qtAA3Letter, &found, &id)) {
            *failed = true;
            showDatabaseError();
            return false;
        }
        if (found)
            valid = !qtRecordAdd->isChecked() && id == listingId();
    }
    markField(field, valid, text.isEmpty() ? QString() : QLatin1String(codeClash));
    return valid;
}

void GuiDataUpdate::validateAminoCode()
{
    QObject *field = sender();
    if (field != qtAA3Letter && field != qtAA1Letter)
        return;
    // Both codes are checked with every update of the save controls.
    showAminoAcidSave(true);
}

bool GuiDataUpdate::checkValueFields(const QList<QLineEdit *> &fields)
{
    bool all = true;
    for (QLineEdit *field : fields) {
        const bool valid = isEmptyOrNumber(field->text());
        markField(field, valid, QLatin1String(notANumber));
        all = all && valid;
    }
    return all;
}

bool GuiDataUpdate::checkExtinctionCells()
{
    // Colouring a cell is a change of the cell too.
    const QSignalBlocker blocker(qtExtinctionTable);
    bool all = true;
    for (int row = 0; row < qtExtinctionTable->rowCount(); ++row) {
        QTableWidgetItem *cell = qtExtinctionTable->item(row, 1);
        if (!cell)
            continue;
        const bool valid = isEmptyOrNumber(cell->text());
        cell->setBackground(valid ? QBrush() : QBrush(QColor(170, 28, 29, 100)));
        all = all && valid;
    }
    return all;
}

QList<QLineEdit *> GuiDataUpdate::componentValueFields() const
{
    QList<QLineEdit *> fields = { qtComponentDensity, qtComponentMr };
    // A series that will not be written need not hold numbers.
    if (qtAddSolventDensityData->isChecked())
        fields += m_densityValues;
    if (qtAddSolventViscosityData->isChecked())
        fields += m_viscosityValues;
    return fields;
}

// ---- save controls

void GuiDataUpdate::updateSaveControls(Table table, bool show, bool checksPass)
{
    const bool nameValid = validateRecordName(SqlReferenceRecords::tableName(table));
    const bool enable = show && nameValid && checksPass;
    const PageWidgets widgets = widgetsOf(table);
    widgets.buttons->button(QDialogButtonBox::Apply)->setEnabled(enable);
    widgets.buttons->button(QDialogButtonBox::Cancel)->setEnabled(true);
    widgets.instruction->setVisible(enable);
}

void GuiDataUpdate::showAminoAcidSave(bool showSaveButtons)
{
    lockRecordFrame(showSaveButtons);
    bool pass = true;
    // A record being deactivated is written as stored.
    if (showSaveButtons && !qtRecordDelete->isChecked()) {
        pass = checkValueFields(m_aminoValues);
        bool failed = false;
        pass = checkAminoCode(qtAA3Letter, &failed) && pass;
        if (!failed)
            pass = checkAminoCode(qtAA1Letter, &failed) && pass;
    }
    updateSaveControls(Table::Amino, showSaveButtons, pass);
}

void GuiDataUpdate::showConjugateSave(bool showSaveButtons)
{
    lockRecordFrame(showSaveButtons);
    const bool pass = !showSaveButtons || qtRecordDelete->isChecked() || checkValueFields(m_conjugateValues);
    updateSaveControls(Table::Conjugates, showSaveButtons, pass);
}

void GuiDataUpdate::showDenaturantSave(bool showSaveButtons)
{
    lockRecordFrame(showSaveButtons);
    const bool pass = !showSaveButtons || qtRecordDelete->isChecked() || checkValueFields(m_denaturantValues);
    updateSaveControls(Table::Denature, showSaveButtons, pass);
}

void GuiDataUpdate::showComponentsSave(bool showSaveButtons)
{
    lockRecordFrame(showSaveButtons);
    bool pass = true;
    if (showSaveButtons && !qtRecordDelete->isChecked()) {
        for (const QList<QLineEdit *> *fields : { &m_densityValues, &m_viscosityValues }) {
            for (QLineEdit *edit : *fields)
                markField(edit, true, QString());
        }
        pass = checkValueFields(componentValueFields());
    }
    updateSaveControls(Table::BufferComponent, showSaveButtons, pass);
}

void GuiDataUpdate::showExtinctionSave(bool showSaveButtons)
{
    lockRecordFrame(showSaveButtons);
    const bool pass = !showSaveButtons || qtRecordDelete->isChecked() || checkExtinctionCells();
    updateSaveControls(Table::Extinction, showSaveButtons, pass);
}

void GuiDataUpdate::enableExtinctionApplyButton()
{
    // A cell edit never lets Apply past a name that fails its check.
    const bool cells = checkExtinctionCells();
    const bool name = validateRecordName(SqlReferenceRecords::tableName(Table::Extinction));
    qtExtinctionButtonBox->button(QDialogButtonBox::Apply)->setEnabled(cells && name);
}

// ---- saves

template<typename R>
void GuiDataUpdate::saveRecord(
    Table table, R record, void (GuiDataUpdate::*added)(int), void (GuiDataUpdate::*changed)(int))
{
    const bool adding = qtRecordAdd->isChecked();
    const bool deleting = qtRecordDelete->isChecked();
    record.id = adding ? 0 : listingId();
    record.name = recordName();
    record.active = adding || !deleting;
    if (!(adding ? m_records.add(&record) : m_records.change(record)))
        return showDatabaseError();

    // Announced once it is stored: the receivers read the row.
    const int id = static_cast<int>(record.id);
    emit(this->*(adding ? added : changed))(id);
    updateRecordControlFrame(deleting ? -1 : id);
    showSave(table, false);
    lockRecordFrame(false);
}

void GuiDataUpdate::onAminoAcidRecordSaveClicked()
{
    SqlReferenceRecords::AminoAcid record;
    readFields(&record, aminoFields(*this));
    saveRecord(Table::Amino, record, &GuiDataUpdate::sigNewAminoRecordAdded, &GuiDataUpdate::sigAminoRecordChanged);
}

void GuiDataUpdate::onConjugateRecordSaveClicked()
{
    SqlReferenceRecords::Conjugate record;
    readFields(&record, conjugateFields(*this));
    saveRecord(Table::Conjugates, record, &GuiDataUpdate::sigNewConjugateRecordAdded,
        &GuiDataUpdate::sigConjugateRecordChanged);
}

void GuiDataUpdate::onDenaturantRecordSaveClicked()
{
    SqlReferenceRecords::Denaturant record;
    readFields(&record, denaturantFields(*this));
    saveRecord(Table::Denature, record, &GuiDataUpdate::sigNewDenaturantRecordAdded,
        &GuiDataUpdate::sigDenaturantRecordChanged);
}

void GuiDataUpdate::onAminoAcidRecordResetClicked()
{
    showAminoAcidSave(false);
    showNewRecord();
}

void GuiDataUpdate::onConjugateRecordResetClicked()
{
    showConjugateSave(false);
    showNewRecord();
}

void GuiDataUpdate::onDenaturantRecordResetClicked()
{
    showDenaturantSave(false);
    showNewRecord();
}

void GuiDataUpdate::onComponentRecordResetClicked()
{
    showComponentsSave(false);
    showNewRecord();
}

void GuiDataUpdate::onExtinctionRecordResetClicked()
{
    showExtinctionSave(false);
    showNewRecord();
}

void GuiDataUpdate::onComponentRecordSaveClicked()
{
    SqlReferenceRecords::BufferComponent record;
    record.withDensitySeries = qtAddSolventDensityData->isChecked();
    if (record.withDensitySeries)
        readFields(&record.densitySeries, densityFields(*this));
    record.withViscositySeries = qtAddSolventViscosityData->isChecked();
    if (record.withViscositySeries)
        readFields(&record.viscositySeries, viscosityFields(*this));
    record.density = storedValue(qtComponentDensity->text());
    record.mr = storedValue(qtComponentMr->text());
    saveRecord(Table::BufferComponent, record, &GuiDataUpdate::sigNewBufferComponentAdded,
        &GuiDataUpdate::sigComponentRecordChanged);
}

void GuiDataUpdate::onExtinctionRecordSaveClicked()
{
    QString name = recordName();
    const bool adding = qtRecordAdd->isChecked();
    const bool deleting = !adding && qtRecordDelete->isChecked();
    // A change or a deletion is of the spectrum listed, under its own name: the
    // grid shows that spectrum, and this page gives no spectrum another name.
    const QString listed = m_listing.isValid() ? m_listing.current().name : QString();

    if (adding) {
        // A spectrum belongs to an amino acid and is named by its code; a second
        // set of rows under one name would mix two spectra.
        int codes = 0;
        int rows = 0;
        if (!m_records.countSpectrumName(name, &codes, &rows))
            return showDatabaseError();
        // Empty cells add no rows, so a grid without a value would add nothing at all.
        bool anyValue = false;
        for (int row = 0; row < qtExtinctionTable->rowCount() && !anyValue; ++row) {
            const QTableWidgetItem *value = qtExtinctionTable->item(row, 1);
            anyValue = value && !value->text().isEmpty();
        }
        if (!anyValue) {
            QMessageBox::warning(this, QStringLiteral("Vornakel"),
                QStringLiteral("The spectrum '%1' has no coefficients, so no spectrum was added.").arg(name),
                QMessageBox::Ok);
            return;
        }
        if (codes == 0 || rows > 0) {
            QMessageBox::warning(this, QStringLiteral("Vornakel"),
                codes == 0
                    ? QStringLiteral("'%1' is not the three-letter code of an amino acid, so no spectrum was "
                                     "added.")
                          .arg(name)
                    : QStringLiteral("A spectrum named '%1' already exists, so no spectrum was added.").arg(name),
                QMessageBox::Ok);
            return;
        }
    }

    if (!adding) {
        if (listed.isEmpty() || !sameName(listed, name)) {
            QMessageBox::warning(this, QStringLiteral("Vornakel"),
                listed.isEmpty()
                    ? QStringLiteral("There is no spectrum named '%1', so nothing was changed.").arg(name)
                    : QStringLiteral("The grid shows the spectrum '%1', not '%2'. A spectrum keeps its name here, so "
                                     "nothing was changed.")
                          .arg(listed, name),
                QMessageBox::Ok);
            return;
        }
        name = listed;
    }

    QVector<SqlReferenceRecords::SpectrumPoint> points;
    for (int row = 0; row < qtExtinctionTable->rowCount() && !deleting; ++row) {
        const QTableWidgetItem *wavelength = qtExtinctionTable->item(row, 0);
        const QTableWidgetItem *value = qtExtinctionTable->item(row, 1);
        double nm = 0;
        // An empty cell adds no row; emptied, a stored coefficient is a missing one.
        if (!wavelength || !value || (adding && value->text().isEmpty())
            || !AppNumber::fromText(wavelength->text(), &nm))
            continue;
        points.append({ QVariant(), nm, storedValue(value->text()) });
    }
    const bool stored = deleting ? m_records.removeSpectrum(name)
        : adding                 ? m_records.addSpectrum(name, points)
                                 : m_records.changeSpectrum(name, points);
    if (!stored)
        return showDatabaseError();
    emit sigExtinctionSpectrumChanged(name);

    if (deleting) {
        updateRecordControlFrame(-1);
        showExtinctionPage();
    } else if (adding) {
        // The new spectrum is the one on view, and the listing stands on it.
        showExtinctionSave(false);
        showSpectrum(name);
    }
}
