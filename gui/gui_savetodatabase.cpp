#include "gui/gui_savetodatabase.h"

#include "app/app_log.h"
#include "app/app_number.h"
#include "gui/gui_recordlistmodel.h"
#include "gui/gui_resultfigure.h"
#include "gui/gui_vornakel.h"
#include "gui/gui_waitcursor.h"

#include <QDate>
#include <QDateTime>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>

namespace {

const char *const dateLabelFormat = "M/dd/yy";

QPushButton *saveButton(QDialogButtonBox *box)
{
    return box->button(QDialogButtonBox::Save);
}

QString dateText(const QVariant &modified)
{
    return modified.isValid() ? modified.toDateTime().toString(QLatin1String(dateLabelFormat)) : QString();
}

QString placeholderFor(const QComboBox *box, const QComboBox *sample, const QComboBox *solvent)
{
    if (box == sample)
        return QStringLiteral("New Sample");
    if (box == solvent)
        return QStringLiteral("New Solvent");
    return QString();
}

} // namespace

GuiSaveToDatabase::GuiSaveToDatabase(const QString &connectionName, GuiVornakel *mainWindow)
    : QDialog(mainWindow), m_mainWindow(mainWindow), m_connectionName(connectionName)
{
    setupUi(this);
    connect(qtButtonBox, &QDialogButtonBox::rejected, this, &QWidget::close);
    initialize();
    createConnections();
}

GuiSaveToDatabase::~GuiSaveToDatabase()
{
    m_database = QSqlDatabase();
    m_connectionName.clear();
}

int GuiSaveToDatabase::execute(GuiSaveToDatabase::Page page)
{
    showPage(page);
    return exec();
}

void GuiSaveToDatabase::showPage(GuiSaveToDatabase::Page page)
{
    switch (page) {
    case SampleRecordPage:
        qtTabWidget->setCurrentWidget(qtSampleTab);
        break;
    case SolventRecordPage:
        qtTabWidget->setCurrentWidget(qtSolventTab);
        break;
    case ExperimentRecordPage:
        qtTabWidget->setCurrentWidget(qtExperimentTab);
        break;
    case ResultsRecordPage:
        qtTabWidget->setCurrentWidget(qtResultsTab);
        break;
    }
    // Also when the tab was current already and so sent no change.
    fillShownTab();
}

void GuiSaveToDatabase::initialize()
{
    m_database = QSqlDatabase::database(m_connectionName, true);
    qtSampleSaved->hide();
    qtSolventSaved->hide();
    qtExperimentSaved->hide();
    qtResultsSaved->hide();
    m_lists[0] = { QStringLiteral("sample"), qtSampleName, QStringLiteral("New Sample"), true, qtLinkToSampleName,
        qtLinkToSample, qtLinkToSampleDate, qtSampleButtonBox };
    m_lists[1] = { QStringLiteral("buffer"), qtSolventName, QStringLiteral("New Solvent"), true, qtLinkToSolventName,
        qtLinkToSolvent, qtLinkToSolventDate, qtSolventButtonBox };
    m_lists[2] = { QStringLiteral("experiment"), qtExperimentName, QStringLiteral("New Experiment"), false, nullptr,
        nullptr, nullptr, qtExperimentButtonBox };
    m_lists[3] = { QStringLiteral("results"), qtResultsName, QStringLiteral("New Results"), false, qtLinkToResultsName,
        qtLinkToResults, qtLinkToResultsDate, qtResultsButtonBox };
    for (RecordList &list : m_lists) {
        saveButton(list.buttons)->setEnabled(false);
        for (QComboBox *box : { list.nameBox, list.linkList }) {
            if (!box)
                continue;
            auto *model = new GuiRecordListModel(box);
            model->setModifiedSource(m_database, list.table);
            box->setModel(model);
        }
    }
    // The lists are filled when their tab is first shown (showPage()): with
    // thousands of records, reading all four tables would hold up every opening.
}

void GuiSaveToDatabase::createConnections()
{
    const auto indexChanged = qOverload<int>(&QComboBox::currentIndexChanged);
    connect(qtTabWidget, &QTabWidget::currentChanged, this, &GuiSaveToDatabase::onCurrentTabChanged);
    for (QComboBox *box : { qtExperimentName, qtSampleName, qtSolventName, qtResultsName })
        connect(box, indexChanged, this, &GuiSaveToDatabase::onNameBoxCurrentIndexChanged);
    for (QCheckBox *box : { qtLinkToSample, qtLinkToSolvent, qtLinkToResults })
        connect(box, &QCheckBox::stateChanged, this, &GuiSaveToDatabase::onLinkToStateChanged);

    connect(saveButton(qtSampleButtonBox), &QAbstractButton::clicked, this, &GuiSaveToDatabase::onSaveSampleClicked);
    connect(saveButton(qtSolventButtonBox), &QAbstractButton::clicked, this, &GuiSaveToDatabase::onSaveSolventClicked);
    connect(saveButton(qtExperimentButtonBox), &QAbstractButton::clicked, this,
        &GuiSaveToDatabase::onSaveExperimentClicked);
    connect(saveButton(qtResultsButtonBox), &QAbstractButton::clicked, this, &GuiSaveToDatabase::onSaveResultsClicked);

    // The links follow a chosen experiment; typing a new name leaves them as chosen.
    connect(qtExperimentName, indexChanged, this, &GuiSaveToDatabase::loadExperiment);
    for (QComboBox *box : { qtSampleName, qtSolventName, qtExperimentName, qtResultsName }) {
        connect(box, &QComboBox::editTextChanged, this, &GuiSaveToDatabase::onRecordNameChanged);
        connect(box, indexChanged, this, &GuiSaveToDatabase::onRecordNameChanged);
    }
    for (QComboBox *box : { qtLinkToResultsName, qtLinkToSampleName, qtLinkToSolventName })
        connect(box, indexChanged, this, &GuiSaveToDatabase::onRecordNameChanged);
}

void GuiSaveToDatabase::keyPressEvent(QKeyEvent *event)
{
    // Enter in a name box only names the new record (the box's own insert at
    // item 0); left to the dialog it would press the tab's Save at once, under
    // a half-typed name or over the chosen record.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    QWidget *focus = focusWidget();
    for (const RecordList &list : m_lists) {
        if (enter && focus && (focus == list.nameBox || list.nameBox->isAncestorOf(focus))) {
            event->accept();
            return;
        }
    }
    QDialog::keyPressEvent(event);
}

// Record lists

bool GuiSaveToDatabase::readRecords(const QString &table, QVector<GuiRecordListModel::Entry> *entries)
{
    // `modified` is read by the list for the one record whose date is shown.
    QString error;
    if (!GuiRecordListModel::read(
            m_database, QStringLiteral("SELECT id, name FROM %1 WHERE active > 0 ").arg(table), entries, &error)) {
        QMessageBox::critical(nullptr, QStringLiteral("Vornakel"), error, QMessageBox::Ok, QMessageBox::NoButton);
        return false;
    }
    return true;
}

static GuiRecordListModel *recordsOf(const QComboBox *box)
{
    return qobject_cast<GuiRecordListModel *>(box->model());
}

void GuiSaveToDatabase::showLinkList(RecordList &list, const QVector<GuiRecordListModel::Entry> &entries)
{
    list.linkList->clear();
    recordsOf(list.linkList)->append(entries);
    list.linkFilled = true;
    setLinkAvailable(list, list.linkList->count() > 0);
}

void GuiSaveToDatabase::setLinkAvailable(RecordList &list, bool any)
{
    list.linkBox->setEnabled(any);
    list.linkList->setEnabled(any);
    if (any && list.linkFilled)
        list.linkDate->setText(dateText(list.linkList->currentData(Qt::UserRole + 1)));
}

void GuiSaveToDatabase::populate(RecordList &list)
{
    QComboBox *nameBox = list.nameBox;
    nameBox->clear();
    nameBox->addItem(list.newRecordIsPlaceholder ? QString() : list.newRecordText, -1);
    if (list.newRecordIsPlaceholder && nameBox->lineEdit())
        nameBox->lineEdit()->setPlaceholderText(list.newRecordText);
    list.nameFilled = true;

    QVector<GuiRecordListModel::Entry> entries;
    if (!readRecords(list.table, &entries))
        return;
    recordsOf(nameBox)->append(entries);
    if (list.linkList) {
        if (list.linkFilled)
            showLinkList(list, entries);
        else
            setLinkAvailable(list, !entries.isEmpty());
    }
    saveButton(list.buttons)->setEnabled(false);
}

void GuiSaveToDatabase::fillLinkList(RecordList &list)
{
    if (!list.linkList || list.linkFilled)
        return;
    QVector<GuiRecordListModel::Entry> entries;
    if (readRecords(list.table, &entries))
        showLinkList(list, entries);
}

void GuiSaveToDatabase::fillShownTab()
{
    QWidget *tab = qtTabWidget->currentWidget();
    const QWidget *tabs[4] = { qtSampleTab, qtSolventTab, qtExperimentTab, qtResultsTab };
    for (int i = 0; i < 4; ++i) {
        if (tab == tabs[i] && !m_lists[i].nameFilled)
            populate(m_lists[i]);
    }
    if (tab != qtExperimentTab)
        return;
    // A link check box is offered only when there is a record to link; the
    // list itself is read when the box is checked or an experiment names it.
    for (RecordList *list : { &m_lists[0], &m_lists[1], &m_lists[3] }) {
        if (list->nameFilled || list->linkFilled || list->linkKnown)
            continue;
        QSqlQuery query(m_database);
        query.setForwardOnly(true);
        if (!query.exec(QStringLiteral("SELECT 1 FROM %1 WHERE active > 0 LIMIT 1").arg(list->table))) {
            QMessageBox::critical(
                nullptr, QStringLiteral("Vornakel"), query.lastError().text(), QMessageBox::Ok, QMessageBox::NoButton);
            continue;
        }
        list->linkKnown = true;
        setLinkAvailable(*list, query.next());
    }
}

void GuiSaveToDatabase::populateSample()
{
    populate(m_lists[0]);
}

void GuiSaveToDatabase::populateSolvent()
{
    populate(m_lists[1]);
}

void GuiSaveToDatabase::populateExperiment()
{
    populate(m_lists[2]);
}

void GuiSaveToDatabase::populateResults()
{
    populate(m_lists[3]);
}

// Name and link handling

void GuiSaveToDatabase::onNameBoxCurrentIndexChanged(int index)
{
    auto *box = qobject_cast<QComboBox *>(sender());
    if (!box)
        return;
    // A new record is named by typing; a stored one is only chosen.
    const bool editable = index == 0;
    if (box->isEditable() == editable)
        return;
    box->setEditable(editable);
    if (editable && box->lineEdit()) {
        box->setInsertPolicy(QComboBox::InsertAtCurrent);
        // Editable again means a fresh line edit, without the form's placeholder.
        box->lineEdit()->setPlaceholderText(placeholderFor(box, qtSampleName, qtSolventName));
    }
}

bool GuiSaveToDatabase::experimentNamed() const
{
    return qtExperimentName->currentIndex() > 0
        || (qtExperimentName->currentIndex() == 0 && !qtExperimentName->currentText().trimmed().isEmpty());
}

void GuiSaveToDatabase::onRecordNameChanged()
{
    auto *box = qobject_cast<QComboBox *>(sender());
    if (!box)
        return;
    QDialogButtonBox *buttons = nullptr;
    QLabel *date = nullptr;
    bool link = false;
    if (box == qtSampleName) {
        buttons = qtSampleButtonBox;
        date = qtSampleModified;
    } else if (box == qtSolventName) {
        buttons = qtSolventButtonBox;
        date = qtSolventModified;
    } else if (box == qtExperimentName) {
        buttons = qtExperimentButtonBox;
        date = qtExperimentModified;
    } else if (box == qtResultsName) {
        buttons = qtResultsButtonBox;
        date = qtResultsModified;
    } else if (box == qtLinkToSampleName) {
        buttons = qtExperimentButtonBox;
        date = qtLinkToSampleDate;
        link = true;
    } else if (box == qtLinkToSolventName) {
        buttons = qtExperimentButtonBox;
        date = qtLinkToSolventDate;
        link = true;
    } else if (box == qtLinkToResultsName) {
        buttons = qtExperimentButtonBox;
        date = qtLinkToResultsDate;
        link = true;
    } else {
        return;
    }

    // A changed link may be saved only under a name: a stored experiment or a typed one.
    const bool named = link ? experimentNamed() : true;
    if (box->currentIndex() == 0 && !link) {
        date->clear();
        // Blanks alone are no name: the record would show in the lists as its date only.
        if (box->currentText().trimmed().isEmpty()) {
            saveButton(buttons)->setEnabled(false);
            setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    saveButton(buttons)->setEnabled(named);
    date->setText(dateText(box->currentData(Qt::UserRole + 1)));
}

void GuiSaveToDatabase::onLinkToStateChanged(int state)
{
    QObject *box = sender();
    if (!box)
        return;
    QFrame *frame = nullptr;
    RecordList *list = nullptr;
    if (box == qtLinkToSample) {
        frame = qtLinkToSampleFrame;
        list = &m_lists[0];
    } else if (box == qtLinkToSolvent) {
        frame = qtLinkToSolventFrame;
        list = &m_lists[1];
    } else if (box == qtLinkToResults) {
        frame = qtLinkToResultsFrame;
        list = &m_lists[3];
    }
    if (!frame)
        return;
    frame->setEnabled(state != 0);
    if (state != 0)
        fillLinkList(*list);
}

void GuiSaveToDatabase::onCurrentTabChanged(int)
{
    setFocus(Qt::OtherFocusReason);
    fillShownTab();
}

void GuiSaveToDatabase::onActivated(const QString &text)
{
    qCDebug(lcGui) << "Activated:" << text;
}

void GuiSaveToDatabase::loadExperiment()
{
    const QVariant data = qtExperimentName->currentData(Qt::UserRole);
    const int experimentId = data.isValid() ? data.toInt() : -1;

    QSqlQuery query(m_database);
    query.prepare(
        QStringLiteral("SELECT sample_id,        buffer_id,        results_id FROM   experiment WHERE  id=:id "));
    query.bindValue(QStringLiteral(":id"), experimentId);
    if (!query.exec()) {
        QMessageBox::critical(
            nullptr, QStringLiteral("Vornakel"), query.lastError().text(), QMessageBox::Ok, QMessageBox::NoButton);
        return;
    }
    // A NULL link is no link, like -1: no record has the id 0.
    int links[3] = { -1, -1, -1 };
    if (query.next()) {
        for (int i = 0; i < 3; ++i)
            links[i] = query.value(i).isNull() ? -1 : query.value(i).toInt();
    }
    query.finish();

    RecordList *rows[3] = { &m_lists[0], &m_lists[1], &m_lists[3] };
    for (int i = 0; i < 3; ++i) {
        if (links[i] < 0) {
            rows[i]->linkList->setCurrentIndex(0);
            rows[i]->linkBox->setChecked(false);
        } else {
            fillLinkList(*rows[i]);
            rows[i]->linkList->setCurrentIndex(rows[i]->linkList->findData(links[i], Qt::UserRole));
            rows[i]->linkBox->setChecked(true);
        }
    }
}

// The shared save frame

void GuiSaveToDatabase::saveRecord(RecordKind kind, Writer write)
{
    struct Names
    {
        QComboBox *nameBox;
        QDialogButtonBox *buttons;
        QLabel *saved;
        const char *savedText;
        QComboBox *mainList;
        void (GuiSaveToDatabase::*populate)();
        void (GuiSaveToDatabase::*changed)();
        bool askOverwrite;
        bool boxOnDialog;
    };
    Names n {};
    switch (kind) {
    case RecordKind::Sample:
        n = { qtSampleName, qtSampleButtonBox, qtSampleSaved, "Sample Saved as %1", m_mainWindow->qtSampleName,
            &GuiSaveToDatabase::populateSample, &GuiSaveToDatabase::sigSampleRecordsChanged, true, true };
        break;
    case RecordKind::Solvent:
        n = { qtSolventName, qtSolventButtonBox, qtSolventSaved, "Solvent Saved as %1", m_mainWindow->qtBufferName,
            &GuiSaveToDatabase::populateSolvent, &GuiSaveToDatabase::sigSolventRecordsChanged, true, false };
        break;
    case RecordKind::Experiment:
        n = { qtExperimentName, qtExperimentButtonBox, qtExperimentSaved, "Experiment Saved as %1",
            m_mainWindow->qtExperimentName, &GuiSaveToDatabase::populateExperiment,
            &GuiSaveToDatabase::sigExperimentRecordsChanged, true, false };
        break;
    case RecordKind::Results:
        n = { qtResultsName, qtResultsButtonBox, qtResultsSaved, "Results Saved as %1", m_mainWindow->qtResultsName,
            &GuiSaveToDatabase::populateResults, &GuiSaveToDatabase::sigResultsRecordsChanged, true, false };
        break;
    }

    // Given back before any box but the overwrite question.
    GuiWaitCursor cursor;
    const QString name = n.nameBox->currentText();
    const int index = n.nameBox->currentIndex();
    int storedId = -1;
    if (index != 0) {
        if (n.askOverwrite) {
            QMessageBox question;
            question.setText(QStringLiteral("Are you sure you wish to overwrite this record?"));
            question.setStandardButtons(QMessageBox::Save | QMessageBox::Cancel);
            question.setDefaultButton(QMessageBox::Cancel);
            if (question.exec() != QMessageBox::Save)
                return;
        }
        const QVariant data = n.nameBox->currentData(Qt::UserRole);
        storedId = data.isValid() ? data.toInt() : -1;
    }

    auto fail = [&](const QString &text) {
        cursor.restore();
        QMessageBox::critical(
            n.boxOnDialog ? this : nullptr, QStringLiteral("Vornakel"), text, QMessageBox::Ok, QMessageBox::NoButton);
    };

    // One save, one transaction: a record and its composition rows are stored
    // whole or not at all.
    if (!m_database.transaction()) {
        fail(m_database.lastError().text());
        return;
    }
    int savedId = -1;
    {
        QSqlQuery query(m_database);
        if (!(this->*write)(query, storedId, &savedId)) {
            const QString error = query.lastError().text();
            qCWarning(lcSql).noquote() << query.executedQuery();
            query.finish();
            m_database.rollback();
            fail(error);
            return;
        }
        query.finish();
    }
    if (!m_database.commit()) {
        const QString error = m_database.lastError().text();
        m_database.rollback();
        fail(error);
        return;
    }

    // Closing steps, only now that the record is on disk.
    (this->*n.populate)();
    // By id: two records may carry the same name.
    n.nameBox->setCurrentIndex(n.nameBox->findData(savedId, Qt::UserRole));
    n.saved->setText(QString::fromLatin1(n.savedText).arg(name));
    n.saved->setAlignment(Qt::AlignRight);
    n.saved->show();
    saveButton(n.buttons)->setEnabled(false);
    n.mainList->setProperty(GuiVornakel::lastRecordProperty,
        QStringLiteral("%1%2").arg(QDate::currentDate().toString(QStringLiteral("(MM/dd/yy)  ")), name));
    // The main window's list finds the record by this id: the remembered text
    // carries the local date, the list the stored UTC date.
    n.mainList->setProperty(GuiVornakel::lastRecordIdProperty, savedId);
    emit(this->*n.changed)();
    cursor.restore();
}

void GuiSaveToDatabase::onSaveSampleClicked()
{
    saveRecord(RecordKind::Sample, &GuiSaveToDatabase::writeSampleRecord);
}

void GuiSaveToDatabase::onSaveSolventClicked()
{
    saveRecord(RecordKind::Solvent, &GuiSaveToDatabase::writeSolventRecord);
}

void GuiSaveToDatabase::onSaveExperimentClicked()
{
    saveRecord(RecordKind::Experiment, &GuiSaveToDatabase::writeExperimentRecord);
}

void GuiSaveToDatabase::onSaveResultsClicked()
{
    // Results are stored only as computed from the values now on the tabs.
    if (!m_mainWindow->resultsUpToDate()) {
        QString text = QStringLiteral("The results cannot be computed from the values on the Sample, Solvent and "
                                      "Experiment tabs, so they were not saved.");
        const QString reason = m_mainWindow->qtResultsErrorText->text();
        if (!reason.isEmpty())
            text += QStringLiteral("\n\n") + reason;
        QMessageBox::warning(this, QStringLiteral("Vornakel"), text);
        return;
    }
    saveRecord(RecordKind::Results, &GuiSaveToDatabase::writeResultsRecord);
}

// Experiment and results records

QVariant GuiSaveToDatabase::numberOrNull(const QString &text, double factor)
{
    double value = 0.0;
    if (!AppNumber::fromText(text, &value))
        return QVariant(QVariant::Double);
    return QVariant(value * factor);
}

bool GuiSaveToDatabase::writeExperimentRecord(QSqlQuery &query, int storedId, int *savedId)
{
    GuiVornakel *w = m_mainWindow;

    // A checked link whose record is no longer listed keeps what was stored.
    int stored[3] = { -1, -1, -1 };
    if (storedId >= 0) {
        query.prepare(QStringLiteral("SELECT sample_id, buffer_id, results_id FROM experiment WHERE id = :id"));
        query.bindValue(QStringLiteral(":id"), storedId);
        if (!query.exec())
            return false;
        if (query.next()) {
            for (int i = 0; i < 3; ++i)
                stored[i] = query.value(i).isNull() ? -1 : query.value(i).toInt();
        }
        query.finish();
    }
    auto link = [](const QCheckBox *box, const QComboBox *list, int keep) {
        if (!box->isChecked())
            return -1;
        return list->currentIndex() >= 0 ? list->currentData(Qt::UserRole).toInt() : keep;
    };

    if (storedId < 0) {
        query.prepare(QStringLiteral(
            "INSERT INTO experiment (name, Tc,     RPM, sigma,  sstart, mgml,   sstar, vbar,   rho, vis,    Mp,Mb,     "
            "calculatedBy, sample_id, buffer_id, results_id, active) VALUES (:name, :Tc,    :RPM, :sigma, :sstart, "
            ":mgml,  :sstar, :vbar,  :rho, :vis,   :Mp,:Mb,    :calculatedBy, :sample_id, :buffer_id, "
            ":results_id,:active ) "));
    } else {
        query.prepare(QStringLiteral(
            "UPDATE experiment SET name = :name, Tc = :Tc, RPM = :RPM, sigma = :sigma, sstart = :sstart, mgml = "
            ":mgml, sstar = :sstar, vbar = :vbar, rho = :rho, vis = :vis, Mp = :Mp, Mb = :Mb, calculatedBy = "
            ":calculatedBy, sample_id = :sample_id, buffer_id = :buffer_id, results_id = :results_id, active = "
            ":active WHERE id = :bufId "));
        query.bindValue(QStringLiteral(":bufId"), storedId);
    }
    query.bindValue(QStringLiteral(":name"), qtExperimentName->currentText());
    query.bindValue(QStringLiteral(":Tc"), numberOrNull(w->qtSedEquilibriumTemp->text()));
    query.bindValue(QStringLiteral(":RPM"), numberOrNull(w->qtSedEquilibriumRPM->text()));
    query.bindValue(QStringLiteral(":sigma"), numberOrNull(w->qtSedEquilibriumSigma->text()));
    query.bindValue(QStringLiteral(":sstart"), numberOrNull(w->qtSedVelocityTemp->text()));
    query.bindValue(QStringLiteral(":mgml"), numberOrNull(w->qtSedVelocityConcentration->text()));
    query.bindValue(QStringLiteral(":sstar"), numberOrNull(w->qtSedVelocityCoefficient->text()));
    query.bindValue(QStringLiteral(":vbar"), numberOrNull(w->qtSampleVbar->text()));
    query.bindValue(QStringLiteral(":rho"), numberOrNull(w->qtBufferDensity->text()));
    query.bindValue(QStringLiteral(":vis"), numberOrNull(w->qtBufferViscosity->text()));
    query.bindValue(QStringLiteral(":Mp"), numberOrNull(w->qtSedEquilibriumMR->text()));
    query.bindValue(QStringLiteral(":Mb"), numberOrNull(w->qtExperimentResultsMb->text()));
    const GuiVornakel::MrMethod method = w->mrCalculationMethod();
    query.bindValue(QStringLiteral(":calculatedBy"),
        method == GuiVornakel::MrMethod::ExactMr         ? QStringLiteral("qtExactMolecularWeight")
            : method == GuiVornakel::MrMethod::FromSigma ? QStringLiteral("qtFromSigma")
                                                         : QStringLiteral("qtFromComposition"));
    query.bindValue(QStringLiteral(":sample_id"), link(qtLinkToSample, qtLinkToSampleName, stored[0]));
    query.bindValue(QStringLiteral(":buffer_id"), link(qtLinkToSolvent, qtLinkToSolventName, stored[1]));
    query.bindValue(QStringLiteral(":results_id"), link(qtLinkToResults, qtLinkToResultsName, stored[2]));
    query.bindValue(QStringLiteral(":active"), 1);
    if (!query.exec())
        return false;
    *savedId = storedId >= 0 ? storedId : query.lastInsertId().toInt();
    return true;
}

bool GuiSaveToDatabase::writeResultsRecord(QSqlQuery &query, int storedId, int *savedId)
{
    GuiVornakel *w = m_mainWindow;
    if (storedId < 0) {
        query.prepare(QStringLiteral(
            "INSERT INTO results (name, R,       Ro, Rp,      FFo, FFp,     Fo, Fp,     So, Sp,      Do, Dp,      "
            "Delta1v,Delta1t, abv, abt,     av, at,      bv, bt,      options, options_value, shape, sample_id, "
            "buffer_id, experiment_id, active, method) VALUES (:name, :R_t,       :Ro_t, :Rp_t,      :FFo_t, :FFp_t, "
            "     :Fo_t, :Fp_t,     :So_t, :Sp_t,      :Do_t, :Dp_t,      :Delta1v_t,:Delta1t_t, :abv_t, :abt_t,  "
            "   :av_t, :at_t,      :bv_t, :bt_t,      :options_t, :options_value_t, :shape_t, :sample_id_t, "
            ":buffer_id_t, :experiment_id_t, :active_t, :method_t) "));
        query.bindValue(QStringLiteral(":name"), qtResultsName->currentText());
    } else {
        // The name of a stored record stays as it is.
        query.prepare(QStringLiteral(
            "UPDATE results SET R = :R_t, Ro = :Ro_t, Rp = :Rp_t, FFo = :FFo_t, FFp = :FFp_t, Fo = :Fo_t, Fp = :Fp_t, "
            "So = :So_t, Sp = :Sp_t, Do = :Do_t, Dp = :Dp_t, Delta1v = :Delta1v_t,Delta1t = :Delta1t_t, abv = "
            ":abv_t, abt = :abt_t, av = :av_t, at = :at_t, bv = :bv_t, bt = :bt_t, method = :method_t, options = "
            ":options_t, options_value = :options_value_t, shape = :shape_t, sample_id = :sample_id_t, buffer_id = "
            ":buffer_id_t, experiment_id = :experiment_id_t, active = :active_t WHERE id = :bufId_t "));
        query.bindValue(QStringLiteral(":bufId_t"), storedId);
    }
    const struct
    {
        const char *placeholder;
        const QString text;
        double factor;
    } values[] = {
        { ":R_t", w->qtRStokes->text(), 1.0 },
        { ":Ro_t", GuiResultFigure::value(w->qtVbarRo), 1.0 },
        { ":Rp_t", GuiResultFigure::value(w->qtTellerRp), 1.0 },
        { ":FFo_t", GuiResultFigure::value(w->qtVbarffo), 1.0 },
        { ":FFp_t", GuiResultFigure::value(w->qtTellerffp), 1.0 },
        { ":Fo_t", GuiResultFigure::value(w->qtVbarFo), 1.0 },
        { ":Fp_t", GuiResultFigure::value(w->qtTellerFp), 1.0 },
        { ":So_t", GuiResultFigure::value(w->qtVbarSmax), 1.0 },
        { ":Sp_t", GuiResultFigure::value(w->qtTellerSmax), 1.0 },
        { ":Do_t", GuiResultFigure::value(w->qtVbarDmax), 1.0 },
        { ":Dp_t", GuiResultFigure::value(w->qtTellerDmax), 1.0 },
        { ":Delta1v_t", GuiResultFigure::value(w->qtVbarDelta1max), 1.0 },
        { ":Delta1t_t", GuiResultFigure::value(w->qtTellerDelta1max), 1.0 },
        { ":abv_t", GuiResultFigure::value(w->qtVbarmaxab), 1.0 },
        { ":abt_t", GuiResultFigure::value(w->qtTellermaxab), 1.0 },
        // The form shows the full axes; the record keeps the semi-axes.
        { ":av_t", GuiResultFigure::value(w->qtVbar2amax), 0.5 },
        { ":at_t", GuiResultFigure::value(w->qtTeller2amax), 0.5 },
        { ":bv_t", GuiResultFigure::value(w->qtVbar2bmin), 0.5 },
        { ":bt_t", GuiResultFigure::value(w->qtTeller2bmin), 0.5 },
    };
    for (const auto &v : values)
        query.bindValue(QLatin1String(v.placeholder), numberOrNull(v.text, v.factor));
    query.bindValue(QStringLiteral(":method_t"),
        w->qtVbarMethod->isChecked() ? QStringLiteral("qtVbarMethod") : QStringLiteral("qtTellerMethod"));
    QString option = QStringLiteral("qtHydrateDelta1");
    for (const QRadioButton *button :
        { w->qtHydrateNothing, w->qtHydrateProlate, w->qtHydrateOblate, w->qtHydrateComputed }) {
        if (button->isChecked()) {
            option = button->objectName();
            break;
        }
    }
    query.bindValue(QStringLiteral(":options_t"), option);
    query.bindValue(QStringLiteral(":options_value_t"), numberOrNull(w->qtHydrateRatio->text()));
    query.bindValue(QStringLiteral(":shape_t"),
        w->qtShapeProlate->isChecked()      ? QStringLiteral("qtShapeProlate")
            : w->qtShapeOblate->isChecked() ? QStringLiteral("qtShapeOblate")
                                            : QStringLiteral("qtShapeCylinder"));
    query.bindValue(QStringLiteral(":sample_id_t"), -1);
    query.bindValue(QStringLiteral(":buffer_id_t"), -1);
    query.bindValue(QStringLiteral(":experiment_id_t"), -1);
    query.bindValue(QStringLiteral(":active_t"), 1);
    if (!query.exec())
        return false;
    *savedId = storedId >= 0 ? storedId : query.lastInsertId().toInt();
    return true;
}
