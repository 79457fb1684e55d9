#include "gui/gui_dataupdate.h"

#include "app/app_number.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QDateTime>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSqlError>
#include <QSqlRecord>
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

const char *tableName(GuiDataUpdate::Table table)
{
    switch (table) {
    case GuiDataUpdate::Table::Amino:
        return "amino";
    case GuiDataUpdate::Table::Conjugates:
        return "conjugates";
    case GuiDataUpdate::Table::Denature:
        return "denature";
    case GuiDataUpdate::Table::BufferComponent:
        return "bufferComponent";
    case GuiDataUpdate::Table::Extinction:
        return "extinction";
    }
    return "amino";
}

const char *listingSql(GuiDataUpdate::Table table)
{
    switch (table) {
    case GuiDataUpdate::Table::Amino:
        return "SELECT id, name, modified FROM amino WHERE active > 0 ORDER BY name COLLATE NOCASE ASC ";
    case GuiDataUpdate::Table::Conjugates:
        return "SELECT id, name, modified FROM conjugates WHERE active > 0 ORDER BY name COLLATE NOCASE ASC ";
    case GuiDataUpdate::Table::Denature:
        return "SELECT id, name, modified FROM denature WHERE active > 0 ORDER BY name COLLATE NOCASE ASC ";
    case GuiDataUpdate::Table::BufferComponent:
        return "SELECT id, name AS Name, componentDensity, componentMR, modified FROM bufferComponent WHERE active > 0 "
               "ORDER BY name COLLATE NOCASE ASC ";
    case GuiDataUpdate::Table::Extinction:
        return "SELECT DISTINCT Name FROM extinction WHERE active > 0 ORDER BY name COLLATE NOCASE ASC ";
    }
    return "";
}

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

// The database's UPPER folds ASCII letters only; folding more on the typed side
// would let an identical name with a non-ASCII letter slip past the check.
QString asciiUpper(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    }
    return out;
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

} // namespace

// The three pages whose record is one row and one statement.
struct GuiDataUpdate::SimpleTable
{
    Table table;
    const char *insert;
    const char *update;
    QList<QPair<const char *, QLineEdit *>> fields;
    void (GuiDataUpdate::*added)(int);
    void (GuiDataUpdate::*changed)(int);
};

GuiDataUpdate::GuiDataUpdate(const QString &databasePath, QWidget *parent)
    : QWidget(parent), m_connectionName(databasePath), m_db(QSqlDatabase::database(databasePath)), m_listing(m_db)
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
    m_listing = QSqlQuery(m_db);

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
    for (QWidget *w : std::initializer_list<QWidget *> { qtDataTable, qtRecordFirst, qtRecordLast, qtRecordNext,
             qtRecordPrev, qtRecordSearch, qtDialogButtons, qtRecordAdd, qtRecordDelete })
        w->setEnabled(!lock);
    if (!lock) {
        qtRecordAdd->setChecked(false);
        qtRecordDelete->setChecked(false);
    }
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
    m_listing = QSqlQuery(m_db);
    if (!m_listing.prepare(QLatin1String(listingSql(currentTable()))) || !m_listing.exec()) {
        QMessageBox::critical(this, QStringLiteral("Vornakel"), m_listing.lastError().text(), QMessageBox::Ok);
        m_listing = QSqlQuery(m_db);
        return false;
    }
    // Read to the end, so the listing holds no read lock on the file that would
    // keep other connections from committing.
    m_listing.last();
    return true;
}

void GuiDataUpdate::updateRecordControlFrame(int id)
{
    if (!relist())
        return;
    bool found = false;
    if (id >= 1 && m_listing.first()) {
        do {
            found = m_listing.value(0).toInt() == id;
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
            found = m_listing.value(0).toString() == name;
        } while (!found && m_listing.next());
    }
    if (!found)
        m_listing.first();
    showNewRecord();
}

int GuiDataUpdate::listingId() const
{
    return m_listing.isValid() ? m_listing.value(0).toInt() : 0;
}

QString GuiDataUpdate::recordName() const
{
    return qtRecordName->text().trimmed();
}

void GuiDataUpdate::clear()
{
    m_listing = QSqlQuery(m_db);
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
        const int nameColumn = currentTable() == Table::Extinction ? 0 : 1;
        if (m_listing.first()) {
            do {
                if (m_listing.value(nameColumn).toString().startsWith(prefix, Qt::CaseInsensitive)) {
                    showNewRecord();
                    return;
                }
            } while (m_listing.next());
        }
        qtRecordName->setText(QStringLiteral("No Matching Records"));
        clearRecordFields();
        page->setEnabled(false);
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

    if (m_listing.at() == QSql::BeforeFirstRow)
        m_listing.first();
    else if (m_listing.at() == QSql::AfterLastRow)
        m_listing.last();

    const Table table = currentTable();
    if (!m_listing.isValid()) {
        qtRecordName->setText(QStringLiteral("No Records Found"));
        widgetsOf(table).page->setEnabled(false);
        clearRecordFields();
        return;
    }

    QVariant name;
    QVariant modified;
    // One row read by the listed id into the fields (emptied without a row).
    // The record's own row gives its name and date; a series row instead ticks
    // its box when there is one.
    using Fields = QList<QPair<const char *, QLineEdit *>>;
    auto fill = [&](const char *sql, const Fields &fields, QCheckBox *seriesBox = nullptr) {
        QSqlQuery query(m_db);
        query.prepare(QLatin1String(sql));
        query.bindValue(QStringLiteral(":id"), m_listing.value(0));
        if (!query.exec()) {
            QMessageBox::critical(this, QStringLiteral("Vornakel"), query.lastError().text(), QMessageBox::Ok);
            return false;
        }
        const bool row = query.next();
        if (seriesBox)
            seriesBox->setChecked(row);
        for (const auto &field : fields)
            field.second->setText(row ? displayText(query.value(QLatin1String(field.first))) : QString());
        if (!seriesBox && row) {
            name = query.value(QStringLiteral("name"));
            modified = query.value(QStringLiteral("modified"));
        }
        return true;
    };

    switch (table) {
    case Table::Amino:
        markField(qtAA3Letter, true, QString());
        markField(qtAA1Letter, true, QString());
        if (!fill("SELECT id, active, Name, NameThree, nameone, Mr, covalent, vbar, HipH7, HipH4, extinction, charge, "
                  "pka, modified FROM amino WHERE id = :id ",
                { { "Namethree", qtAA3Letter }, { "Nameone", qtAA1Letter }, { "Mr", qtAAMr },
                    { "covalent", qtAACovalent }, { "vbar", qtAAVbar }, { "HipH7", qtAAHipH7 }, { "HipH4", qtAAHipH4 },
                    { "extinction", qtAAExtinction }, { "charge", qtAACharge }, { "pka", qtAAPka } }))
            return;
        break;
    case Table::Conjugates:
        if (!fill("SELECT id, active, Name, Mr, covalent, vbar, hiph7, hiph4, extinction, charge, pka, Mcutoff, carbo, "
                  "modified FROM conjugates WHERE id = :id ",
                { { "Mr", qtConjugateMr }, { "covalent", qtConjugateCovalent }, { "vbar", qtConjugateVbar },
                    { "hiph7", qtConjugateHipH7 }, { "hiph4", qtConjugateHipH4 },
                    { "extinction", qtConjugateExtinction }, { "charge", qtConjugateCharge }, { "pka", qtConjugatePka },
                    { "Mcutoff", qtConjugateMCutOff }, { "carbo", qtConjugateCarbo } }))
            return;
        break;
    case Table::Denature:
        if (!fill("SELECT id, active, Name, rhomin, v3, g3, Md, carbo, modified FROM denature WHERE id = :id ",
                { { "rhomin", qtDenaturantRhomin }, { "v3", qtDenaturantv3 }, { "g3", qtDenaturantg3 },
                    { "Md", qtDenaturantMd }, { "carbo", qtDenaturantCarbo } }))
            return;
        break;
    case Table::BufferComponent: {
        qtComponentTabBar->setCurrentWidget(qtPropertiesTab);
        qtComponentDensity->setText(displayText(m_listing.value(2)));
        qtComponentMr->setText(displayText(m_listing.value(3)));
        if (!fill("SELECT id, a, b, c, d, e, f, Cmax, ErrorMax, Source, modified FROM rhoseries WHERE id =  "
                  "(SELECT componentrhoid FROM buffercomponent  WHERE id = :id)",
                { { "a", qtDensityA }, { "b", qtDensityB }, { "c", qtDensityC }, { "d", qtDensityD },
                    { "e", qtDensityE }, { "f", qtDensityF }, { "Cmax", qtDensityCmax },
                    { "ErrorMax", qtDensityErrorMax }, { "Source", qtDensitySource } },
                qtAddSolventDensityData))
            return;
        if (!fill("SELECT id, a, b, c, d, e, Cmax, ErrorMax, Source, modified FROM viscseries WHERE id =  "
                  "(SELECT componentviscid FROM buffercomponent  WHERE id = :id)",
                { { "a", qtViscosityA }, { "b", qtViscosityB }, { "c", qtViscosityC }, { "d", qtViscosityD },
                    { "e", qtViscosityE }, { "Cmax", qtViscosityCmax }, { "ErrorMax", qtViscosityErrorMax },
                    { "Source", qtViscositySource } },
                qtAddSolventViscosityData))
            return;
        name = m_listing.value(QStringLiteral("Name"));
        modified = m_listing.value(QStringLiteral("modified"));
        break;
    }
    case Table::Extinction:
        fillExtinctionGrid(false);
        name = m_listing.value(0);
        break;
    }

    qtRecordName->setText(displayText(name));
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
        QSqlQuery query(m_db);
        query.prepare(QStringLiteral("SELECT id, nm, ext FROM extinction WHERE Name = :name AND active > 0 "
                                     "ORDER BY nm ASC"));
        query.bindValue(QStringLiteral(":name"), m_listing.value(0));
        if (!query.exec()) {
            QMessageBox::critical(this, QStringLiteral("Vornakel"), query.lastError().text(), QMessageBox::Ok);
            return;
        }
        while (query.next())
            addRow(displayText(query.value(1)), query.value(0), displayText(query.value(2)));
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
        // The table name is one of the five fixed names of the callers; the
        // typed name is bound.
        QSqlQuery query(m_db);
        query.prepare(
            QStringLiteral("SELECT id, name FROM %1 WHERE UPPER(TRIM(name)) = :name AND active > 0").arg(table));
        query.bindValue(QStringLiteral(":name"), asciiUpper(text));
        if (!query.exec()) {
            // A database fault does not block Apply on its own.
            QMessageBox::critical(this, QStringLiteral("Vornakel"), query.lastError().text(), QMessageBox::Ok);
            return true;
        }
        if (query.next()) {
            // A spectrum is listed by its name, not by a row id.
            const bool own = currentTable() == Table::Extinction
                ? m_listing.isValid() && asciiUpper(m_listing.value(0).toString()) == asciiUpper(text)
                : query.value(0).toInt() == listingId();
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
        QSqlQuery query(m_db);
        query.prepare(field == qtAA3Letter
                ? QStringLiteral("SELECT id FROM amino WHERE namethree = :code AND active > 0")
                : QStringLiteral("SELECT id FROM amino WHERE nameone = :code AND active > 0"));
        // Exactly as typed: codes differ by letter case.
        query.bindValue(QStringLiteral(":code"), text);
        if (!query.exec()) {
            *failed = true;
            QMessageBox::critical(this, QStringLiteral("Vornakel"), query.lastError().text(), QMessageBox::Ok);
            return false;
        }
        if (query.next())
            valid = !qtRecordAdd->isChecked() && query.value(0).toInt() == listingId();
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
    const bool nameValid = validateRecordName(QLatin1String(tableName(table)));
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
    const bool name = validateRecordName(QLatin1String(tableName(Table::Extinction)));
    qtExtinctionButtonBox->button(QDialogButtonBox::Apply)->setEnabled(cells && name);
}

// ---- saves

void GuiDataUpdate::failSave(const QString &text)
{
    m_db.rollback();
    QMessageBox::critical(this, QStringLiteral("Vornakel"), text, QMessageBox::Ok);
}

void GuiDataUpdate::saveSimpleRecord(const SimpleTable &table)
{
    const bool adding = qtRecordAdd->isChecked();
    const bool deleting = qtRecordDelete->isChecked();
    if (!m_db.transaction()) {
        QMessageBox::critical(this, QStringLiteral("Vornakel"), m_db.lastError().text(), QMessageBox::Ok);
        return;
    }
    int id = adding ? 0 : listingId();
    {
        QSqlQuery query(m_db);
        if (!query.prepare(QLatin1String(adding ? table.insert : table.update)))
            return failSave(query.lastError().text());
        for (const auto &field : table.fields)
            query.bindValue(
                QLatin1String(field.first), field.second == qtRecordName ? recordName() : field.second->text());
        query.bindValue(QStringLiteral(":active"), adding || !deleting ? 1 : 0);
        if (!adding)
            query.bindValue(QStringLiteral(":id"), id);
        if (!query.exec())
            return failSave(query.lastError().text());
        if (adding)
            id = query.lastInsertId().toInt();
        else if (query.numRowsAffected() < 1)
            return failSave(QStringLiteral("The record to change is no longer in the database."));
    }
    if (!m_db.commit())
        return failSave(m_db.lastError().text());

    // Announced once it is stored: the receivers read the row.
    emit(this->*(adding ? table.added : table.changed))(id);
    updateRecordControlFrame(deleting ? -1 : id);
    showSave(table.table, false);
    lockRecordFrame(false);
}

void GuiDataUpdate::onAminoAcidRecordSaveClicked()
{
    saveSimpleRecord({ Table::Amino,
        "INSERT INTO amino (Namethree, name, nameone, Mr, covalent, vbar, HipH7, HipH4, extinction, charge, pka, "
        "active) VALUES (:Namethree, :name, :Nameone, :Mr, :covalent, :vbar, :HipH7, :HipH4, :extinction, :charge, "
        ":pka, :active) ",
        "UPDATE amino SET Namethree = :Namethree, name = :name, Nameone = :Nameone, Mr = :Mr, Covalent = :covalent, "
        "Vbar = :vbar, HipH7 = :HipH7, HipH4 = :HipH4, Extinction = :extinction, Charge = :charge, Pka = :pka, "
        "active = :active WHERE id = :id ",
        { { ":Namethree", qtAA3Letter }, { ":name", qtRecordName }, { ":Nameone", qtAA1Letter }, { ":Mr", qtAAMr },
            { ":covalent", qtAACovalent }, { ":vbar", qtAAVbar }, { ":HipH7", qtAAHipH7 }, { ":HipH4", qtAAHipH4 },
            { ":extinction", qtAAExtinction }, { ":charge", qtAACharge }, { ":pka", qtAAPka } },
        &GuiDataUpdate::sigNewAminoRecordAdded, &GuiDataUpdate::sigAminoRecordChanged });
}

void GuiDataUpdate::onConjugateRecordSaveClicked()
{
    saveSimpleRecord({ Table::Conjugates,
        "INSERT INTO conjugates (name, Mr, covalent, vbar, HipH7, HipH4, extinction, charge, pka, Mcutoff, carbo, "
        "active) VALUES (:name, :Mr, :covalent, :vbar, :HipH7, :HipH4, :extinction, :charge, :pka, :Mcutoff, :carbo, "
        ":active) ",
        "UPDATE conjugates SET name = :name, Mr = :Mr, Covalent = :covalent, Vbar = :vbar, HipH7 = :HipH7, "
        "HipH4 = :HipH4, Extinction = :extinction, Charge = :charge, Pka = :pka, Mcutoff = :Mcutoff, carbo = :carbo, "
        "active = :active WHERE id = :id ",
        { { ":name", qtRecordName }, { ":Mr", qtConjugateMr }, { ":covalent", qtConjugateCovalent },
            { ":vbar", qtConjugateVbar }, { ":HipH7", qtConjugateHipH7 }, { ":HipH4", qtConjugateHipH4 },
            { ":extinction", qtConjugateExtinction }, { ":charge", qtConjugateCharge }, { ":pka", qtConjugatePka },
            { ":Mcutoff", qtConjugateMCutOff }, { ":carbo", qtConjugateCarbo } },
        &GuiDataUpdate::sigNewConjugateRecordAdded, &GuiDataUpdate::sigConjugateRecordChanged });
}

void GuiDataUpdate::onDenaturantRecordSaveClicked()
{
    saveSimpleRecord({ Table::Denature,
        "INSERT INTO denature (name, rhomin, v3, g3, Md, carbo, active) VALUES (:name, :rhomin, :v3, "
        ":g3,:Md,:carbo,:active)",
        "UPDATE denature SET name = :name, rhomin = :rhomin, v3 = :v3, g3 = :g3, Md = :Md, carbo = :carbo, "
        "active = :active WHERE id = :id ",
        { { ":name", qtRecordName }, { ":rhomin", qtDenaturantRhomin }, { ":v3", qtDenaturantv3 },
            { ":g3", qtDenaturantg3 }, { ":Md", qtDenaturantMd }, { ":carbo", qtDenaturantCarbo } },
        &GuiDataUpdate::sigNewDenaturantRecordAdded, &GuiDataUpdate::sigDenaturantRecordChanged });
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
    const bool adding = qtRecordAdd->isChecked();
    const bool deleting = qtRecordDelete->isChecked();
    if (!m_db.transaction()) {
        QMessageBox::critical(this, QStringLiteral("Vornakel"), m_db.lastError().text(), QMessageBox::Ok);
        return;
    }
    const QVariant none(QVariant::Int); // bound as NULL
    QVariant recordId = none;
    QVariant rhoId = none;
    QVariant viscId = none;
    QSqlQuery query(m_db);

    if (!adding) {
        recordId = listingId();
        query.prepare(QStringLiteral("SELECT componentRhoId, componentViscId FROM bufferComponent WHERE id = :id "));
        query.bindValue(QStringLiteral(":id"), recordId);
        if (!query.exec())
            return failSave(query.lastError().text());
        if (query.next()) {
            if (!query.value(0).isNull())
                rhoId = query.value(0);
            if (!query.value(1).isNull())
                viscId = query.value(1);
        }
        query.finish();
    }

    // One series: inserted when the component gains it, updated while it keeps
    // it, unlinked (the row stays) when it is dropped.
    auto saveSeries = [&](QVariant *seriesId, QCheckBox *box, const char *insert, const char *update,
                          const QList<QPair<const char *, QLineEdit *>> &fields) {
        if (!box->isChecked()) {
            *seriesId = none;
            return true;
        }
        const bool inserting = seriesId->isNull();
        query.prepare(QLatin1String(inserting ? insert : update));
        query.bindValue(QStringLiteral(":name"), recordName());
        for (const auto &field : fields)
            query.bindValue(QLatin1String(field.first), field.second->text());
        if (!inserting)
            query.bindValue(QStringLiteral(":id"), recordId);
        if (!query.exec())
            return false;
        if (inserting)
            *seriesId = query.lastInsertId();
        return true;
    };
    if (!saveSeries(&rhoId, qtAddSolventDensityData,
            "INSERT INTO rhoseries (name, a, b, c, d, e, f, Cmax, ErrorMax, Source) VALUES (:name, :a, :b, :c, :d, "
            ":e, :f, :cmax, :errorMax, :source)",
            "UPDATE rhoseries SET name = :name, a = :a, b = :b, c = :c, d = :d, e = :e, f = :f, cmax = :cmax, "
            "errorMax = :errorMax, source = :source WHERE id =  (SELECT componentRhoId FROM bufferComponent  WHERE "
            "id= :id)",
            { { ":a", qtDensityA }, { ":b", qtDensityB }, { ":c", qtDensityC }, { ":d", qtDensityD },
                { ":e", qtDensityE }, { ":f", qtDensityF }, { ":cmax", qtDensityCmax },
                { ":errorMax", qtDensityErrorMax }, { ":source", qtDensitySource } }))
        return failSave(query.lastError().text());
    if (!saveSeries(&viscId, qtAddSolventViscosityData,
            "INSERT INTO viscseries (name, a, b, c, d, e, Cmax, ErrorMax, Source) VALUES (:name, :a, :b, :c, :d, :e, "
            ":cmax, :errorMax, :source)",
            "UPDATE viscseries SET name = :name, a = :a, b = :b, c = :c, d = :d, e = :e, cmax = :cmax, "
            "errorMax = :errorMax, source = :source WHERE id =  (SELECT componentViscId FROM bufferComponent  WHERE "
            "id= :id)",
            { { ":a", qtViscosityA }, { ":b", qtViscosityB }, { ":c", qtViscosityC }, { ":d", qtViscosityD },
                { ":e", qtViscosityE }, { ":cmax", qtViscosityCmax }, { ":errorMax", qtViscosityErrorMax },
                { ":source", qtViscositySource } }))
        return failSave(query.lastError().text());

    query.prepare(QLatin1String(adding ? "INSERT INTO bufferComponent (name, componentRhoId, componentViscId,  "
                                         "componentDensity, componentMr, active) VALUES (:name, :rhoid, :viscid, "
                                         ":density, :mr, :active)"
                                       : "UPDATE bufferComponent SET name = :name, componentRhoId = :rhoid, "
                                         "componentViscId = :viscid, componentDensity = :density, componentMr = :mr, "
                                         "active = :active WHERE id = :id"));
    query.bindValue(QStringLiteral(":name"), recordName());
    query.bindValue(QStringLiteral(":rhoid"), rhoId);
    query.bindValue(QStringLiteral(":viscid"), viscId);
    // An empty unit-conversion value is a missing one.
    const QVariant missing(QVariant::Double);
    query.bindValue(
        QStringLiteral(":density"), qtComponentDensity->text().isEmpty() ? missing : qtComponentDensity->text());
    query.bindValue(QStringLiteral(":mr"), qtComponentMr->text().isEmpty() ? missing : qtComponentMr->text());
    query.bindValue(QStringLiteral(":active"), adding || !deleting ? 1 : 0);
    if (!adding)
        query.bindValue(QStringLiteral(":id"), recordId);
    if (!query.exec())
        return failSave(query.lastError().text());
    if (adding)
        recordId = query.lastInsertId();
    else if (query.numRowsAffected() < 1)
        return failSave(QStringLiteral("The record to change is no longer in the database."));
    query.finish();
    if (!m_db.commit())
        return failSave(m_db.lastError().text());

    // Announced once it is stored: the buffer page reads the row.
    const int id = recordId.toInt();
    if (adding)
        emit sigNewBufferComponentAdded(id);
    else
        emit sigComponentRecordChanged(id);
    updateRecordControlFrame(deleting ? -1 : id);
    showComponentsSave(false);
    lockRecordFrame(false);
}

void GuiDataUpdate::onExtinctionRecordSaveClicked()
{
    QString name = recordName();
    const bool adding = qtRecordAdd->isChecked();
    const bool deleting = !adding && qtRecordDelete->isChecked();
    // A change or a deletion is of the spectrum listed, under its own name: the
    // grid shows that spectrum, and this page gives no spectrum another name.
    const QString listed = m_listing.isValid() ? m_listing.value(0).toString() : QString();

    auto count = [this](const char *sql, const QString &value, int *result) {
        QSqlQuery query(m_db);
        query.prepare(QLatin1String(sql));
        query.bindValue(QStringLiteral(":name"), value);
        if (!query.exec() || !query.next()) {
            QMessageBox::critical(this, QStringLiteral("Vornakel"), query.lastError().text(), QMessageBox::Ok);
            return false;
        }
        *result = query.value(0).toInt();
        return true;
    };
    if (adding) {
        // A spectrum belongs to an amino acid and is named by its code; a second
        // set of rows under one name would mix two spectra.
        int codes = 0;
        int rows = 0;
        if (!count("SELECT COUNT(*) FROM amino WHERE Namethree = :name", name, &codes)
            || !count("SELECT COUNT(*) FROM extinction WHERE name = :name AND active > 0", name, &rows))
            return;
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
        if (listed.isEmpty() || asciiUpper(listed) != asciiUpper(name)) {
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

    if (!m_db.transaction()) {
        QMessageBox::critical(this, QStringLiteral("Vornakel"), m_db.lastError().text(), QMessageBox::Ok);
        return;
    }
    QSqlQuery query(m_db);
    if (deleting) {
        query.prepare(QStringLiteral("DELETE FROM extinction WHERE name = :name"));
        query.bindValue(QStringLiteral(":name"), name);
        if (!query.exec())
            return failSave(query.lastError().text());
    } else {
        query.prepare(
            QLatin1String(adding ? "INSERT INTO extinction (name, nm, ext, active) VALUES (:name, :nm, :ext, 1)"
                                 : "UPDATE extinction SET ext = :ext WHERE name = :name AND nm = :nm"));
        for (int row = 0; row < qtExtinctionTable->rowCount(); ++row) {
            const QTableWidgetItem *wavelength = qtExtinctionTable->item(row, 0);
            const QTableWidgetItem *value = qtExtinctionTable->item(row, 1);
            double nm = 0;
            // An empty cell adds no row and leaves a stored one as it is.
            if (!wavelength || !value || value->text().isEmpty() || !AppNumber::fromText(wavelength->text(), &nm))
                continue;
            query.bindValue(QStringLiteral(":name"), name);
            query.bindValue(QStringLiteral(":nm"), nm);
            query.bindValue(QStringLiteral(":ext"), value->text());
            if (!query.exec())
                return failSave(query.lastError().text());
        }
    }
    query.finish();
    if (!m_db.commit())
        return failSave(m_db.lastError().text());

    if (deleting) {
        updateRecordControlFrame(-1);
        showExtinctionPage();
    } else if (adding) {
        // The new spectrum is the one on view, and the listing stands on it.
        showExtinctionSave(false);
        showSpectrum(name);
    }
}
