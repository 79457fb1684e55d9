#include "gui/gui_savetodatabase.h"

#include "app/app_log.h"
#include "app/app_number.h"
#include "gui/gui_fieldreader.h"
#include "gui/gui_recordlistmodel.h"
#include "gui/gui_resultfigure.h"
#include "gui/gui_standardvalue.h"
#include "gui/gui_vornakel.h"
#include "gui/gui_waitcursor.h"

#include <QDate>
#include <QDateTime>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

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

// The kinds of record as the boxes name them, in the order of SqlRecordKind.
const char *const kindWords[] = { "sample", "solvent", "experiment", "results" };

// The records a run links, each with what its record held when the run was saved.
struct ExperimentLink
{
    SqlRecordKind kind;
    int SqlExperimentRecord::*id;
    QVariant SqlExperimentRecord::*stamp;
};
const ExperimentLink experimentLinks[]
    = { { SqlRecordKind::Sample, &SqlExperimentRecord::sampleId, &SqlExperimentRecord::sampleStamp },
          { SqlRecordKind::Solvent, &SqlExperimentRecord::bufferId, &SqlExperimentRecord::bufferStamp },
          { SqlRecordKind::Results, &SqlExperimentRecord::resultsId, &SqlExperimentRecord::resultsStamp } };

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
    qtLinkNotes->hide();
    qtSampleSaved->hide();
    qtSolventSaved->hide();
    qtExperimentSaved->hide();
    qtResultsSaved->hide();
    m_lists[0] = { SqlRecordKind::Sample, qtSampleName, QStringLiteral("New Sample"), true, qtLinkToSampleName,
        qtLinkToSample, qtLinkToSampleDate, qtSampleButtonBox };
    m_lists[1] = { SqlRecordKind::Solvent, qtSolventName, QStringLiteral("New Solvent"), true, qtLinkToSolventName,
        qtLinkToSolvent, qtLinkToSolventDate, qtSolventButtonBox };
    m_lists[2] = { SqlRecordKind::Experiment, qtExperimentName, QStringLiteral("New Experiment"), false, nullptr,
        nullptr, nullptr, qtExperimentButtonBox };
    m_lists[3] = { SqlRecordKind::Results, qtResultsName, QStringLiteral("New Results"), false, qtLinkToResultsName,
        qtLinkToResults, qtLinkToResultsDate, qtResultsButtonBox };
    for (RecordList &list : m_lists) {
        if (!list.newRecordIsPlaceholder)
            selectDefaultTextOnFocus(list.nameBox);
        saveButton(list.buttons)->setEnabled(false);
        for (QComboBox *box : { list.nameBox, list.linkList }) {
            if (!box)
                continue;
            GuiRecordListModel::showIn(box)->setModifiedSource(m_database, list.kind);
            // Sized by a name of some length, not by the longest stored.
            box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
            box->setMinimumContentsLength(30);
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

bool GuiSaveToDatabase::readRecords(SqlRecordKind kind, QVector<GuiRecordListModel::Entry> *entries)
{
    // `modified` is read by the list for the one record whose date is shown.
    SqlRecords records(m_database);
    QVector<SqlRecords::Entry> stored;
    if (!records.list(kind, SqlRecords::Order::AsStored, false, &stored)) {
        QMessageBox::critical(
            nullptr, QStringLiteral("Vornakel"), records.error(), QMessageBox::Ok, QMessageBox::NoButton);
        return false;
    }
    entries->reserve(entries->size() + stored.size());
    for (const SqlRecords::Entry &entry : qAsConst(stored))
        entries->append({ entry.name, entry.id });
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
    if (!readRecords(list.kind, &entries))
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
    if (readRecords(list.kind, &entries))
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
        SqlRecords records(m_database);
        bool any = false;
        if (!records.anyListed(list->kind, &any)) {
            QMessageBox::critical(
                nullptr, QStringLiteral("Vornakel"), records.error(), QMessageBox::Ok, QMessageBox::NoButton);
            continue;
        }
        list->linkKnown = true;
        setLinkAvailable(*list, any);
    }
    if (!m_linksOffered) {
        m_linksOffered = true;
        loadExperiment();
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
        if (box == qtExperimentName || box == qtResultsName)
            selectDefaultTextOnFocus(box);
    }
}

void GuiSaveToDatabase::selectDefaultTextOnFocus(QComboBox *nameBox)
{
    // The box takes the focus for its line edit (its focus proxy); the line
    // edit takes the click.
    nameBox->installEventFilter(this);
    if (nameBox->lineEdit())
        nameBox->lineEdit()->installEventFilter(this);
}

bool GuiSaveToDatabase::eventFilter(QObject *watched, QEvent *event)
{
    for (const RecordList &list : m_lists) {
        QLineEdit *edit = list.nameBox->lineEdit();
        if (list.newRecordIsPlaceholder || !edit)
            continue;
        if (watched == list.nameBox && event->type() == QEvent::FocusIn) {
            const bool showsDefault = list.nameBox->currentIndex() == 0 && edit->text() == list.newRecordText;
            if (showsDefault)
                edit->selectAll();
            m_selectOnPress = showsDefault && static_cast<QFocusEvent *>(event)->reason() == Qt::MouseFocusReason;
        } else if (watched == list.nameBox
            && (event->type() == QEvent::FocusOut || event->type() == QEvent::MouseButtonPress)) {
            m_selectOnPress = false; // the focus went, or the click was the box's own (its arrow)
        } else if (watched == edit && event->type() == QEvent::MouseButtonPress && m_selectOnPress) {
            // The click that gave the focus would place the cursor instead.
            m_selectOnPress = false;
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
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
            // Only an erased name hands the focus back: a leading blank is the start of a
            // name being typed, and moving the focus would drop the rest of it.
            if (box->currentText().isEmpty())
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
    // An experiment is stored with the records its tabs show, whichever
    // experiment it is saved as: a stored one's earlier links are told by
    // the overwrite question when the save changes them.
    for (const ExperimentLink &link : experimentLinks)
        offerLink(listOf(link.kind));
}

void GuiSaveToDatabase::offerLink(RecordList &row)
{
    // Only a record the tab shows exactly, as the file holds it: a tab changed
    // since its record was loaded is saved with the run's own figures.
    QString why;
    const int id = m_mainWindow->shownRecord(row.kind, nullptr, &why);
    int index = -1;
    if (id >= 0) {
        fillLinkList(row);
        index = row.linkList->findData(id, Qt::UserRole);
    }
    // A record no longer listed can be no link.
    row.linkList->setCurrentIndex(qMax(index, 0));
    row.linkBox->setChecked(index >= 0);
    row.unlinked = why;
    QStringList notes;
    for (const ExperimentLink &link : experimentLinks) {
        if (!listOf(link.kind).unlinked.isEmpty())
            notes << listOf(link.kind).unlinked;
    }
    qtLinkNotes->setText(notes.isEmpty()
            ? QString()
            : QStringLiteral("Not linked, saved with the run's own figures: ") + notes.join(QStringLiteral("; "))
                + (notes.size() > 1 ? QStringLiteral(". Save those records first to link them.")
                                    : QStringLiteral(". Save that record first to link it.")));
    qtLinkNotes->setVisible(!notes.isEmpty());
}

bool GuiSaveToDatabase::linksShown(SqlExperimentRecord *record)
{
    QStringList refused;
    for (const ExperimentLink &link : experimentLinks) {
        const int chosen = record->*link.id;
        if (chosen < 0)
            continue;
        QString stamp, why;
        const int shown = m_mainWindow->shownRecord(link.kind, &stamp, &why);
        if (chosen == shown) {
            record->*link.stamp = stamp;
            continue;
        }
        const QComboBox *list = listOf(link.kind).linkList;
        const int index = list->findData(chosen, Qt::UserRole);
        const QString name = index >= 0 ? list->itemText(index) : QString();
        refused << QStringLiteral("its %1 \"%2\": %3")
                       .arg(QLatin1String(kindWords[static_cast<int>(link.kind)]), name,
                           why.isEmpty() ? QStringLiteral("the tab shows another record") : why);
        record->*link.id = -1;
    }
    if (refused.isEmpty())
        return true;
    // Linked, the run would come back with figures it was not computed with.
    QMessageBox question;
    question.setText(QStringLiteral("The experiment can be linked only to records its tabs show as they are stored. "
                                    "Not linked, saved with the run's own figures: %1.")
                         .arg(refused.join(QStringLiteral("; "))));
    question.setInformativeText(QStringLiteral("Save the run without these links?"));
    question.setStandardButtons(QMessageBox::Save | QMessageBox::Cancel);
    question.setDefaultButton(QMessageBox::Cancel);
    return question.exec() == QMessageBox::Save;
}

QString GuiSaveToDatabase::linkChanges(SqlRecords &records, int storedId, const SqlExperimentRecord &saved)
{
    SqlExperimentRecord stored;
    bool found = false;
    if (!records.loadExperiment(storedId, &stored, &found) || !found)
        return QString();
    const auto named = [](const QComboBox *list, int id) {
        const int index = list->findData(id, Qt::UserRole);
        return index >= 0 ? QStringLiteral("\"%1\"").arg(list->itemText(index))
                          : QStringLiteral("a record no longer in the database");
    };
    QStringList changes;
    for (const ExperimentLink &link : experimentLinks) {
        const int before = stored.*link.id;
        const int after = saved.*link.id;
        if (after == SqlExperimentRecord::keepStoredLink || before == after || (before < 0 && after < 0))
            continue;
        // The records are named as the link list names them.
        RecordList &row = listOf(link.kind);
        fillLinkList(row);
        const QComboBox *list = row.linkList;
        const QString kind = QLatin1String(kindWords[static_cast<int>(link.kind)]);
        if (after < 0)
            changes << QStringLiteral("its %1 %2 is no longer linked").arg(kind, named(list, before));
        else if (before < 0)
            changes << QStringLiteral("it is linked to the %1 %2").arg(kind, named(list, after));
        else
            changes << QStringLiteral("its %1 %2 is replaced by %3").arg(kind, named(list, before), named(list, after));
    }
    if (changes.isEmpty())
        return QString();
    return QStringLiteral("It is saved with the records the tabs show: ") + changes.join(QStringLiteral("; "))
        + QLatin1Char('.');
}

// The shared save frame

bool GuiSaveToDatabase::refuses(RecordKind kind, const GuiFieldReader &read)
{
    // A field whose text is no number would be stored as nothing, and the
    // record come back with figures that were never shown.
    if (!read.refusedAny())
        return false;
    QMessageBox::warning(kind == RecordKind::Sample ? this : nullptr, QStringLiteral("Vornakel"),
        QStringLiteral("The %1 was not saved: %2\n\n%3\n\nCorrect %4 and save again. Nothing was written.")
            .arg(QLatin1String(kindWords[static_cast<int>(kind)]),
                read.refusals().size() == 1
                    ? QStringLiteral("this field holds a text that is not a number it takes.")
                    : QStringLiteral("these fields hold a text that is not a number they take."),
                read.refusals().join(QLatin1Char('\n')),
                read.refusals().size() == 1 ? QStringLiteral("it") : QStringLiteral("them")));
    return true;
}

void GuiSaveToDatabase::saveRecord(
    RecordKind kind, const GuiFieldReader &read, const Writer &write, const Details &details)
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

    if (refuses(kind, read))
        return;
    // Given back before any box but the overwrite question.
    GuiWaitCursor cursor;
    const auto fail = [&](const QString &text) {
        cursor.restore();
        QMessageBox::critical(
            n.boxOnDialog ? this : nullptr, QStringLiteral("Vornakel"), text, QMessageBox::Ok, QMessageBox::NoButton);
    };
    // Blanks around a name are seen in no list: " BufC" would look like "BufC".
    const QString name = n.nameBox->currentText().trimmed();
    const int index = n.nameBox->currentIndex();
    const SqlRecordKind recordKind = m_lists[static_cast<int>(kind)].kind;
    SqlRecords records(m_database);
    // The record of the name this window loaded or saved, if any.
    const int takenId = m_mainWindow->takenId(recordKind, name);
    int storedId = -1;
    if (index != 0) {
        const QVariant data = n.nameBox->currentData(Qt::UserRole);
        storedId = data.isValid() ? data.toInt() : -1;
    } else if (!records.findListed(recordKind, name, &storedId, takenId)) {
        fail(records.error());
        return;
    }
    // A name typed that a stored record already has is that record, as if
    // chosen from the list (of several of the name, the one this window
    // took): the same question, and one record of that name.
    if (storedId >= 0 && n.askOverwrite) {
        // Saved by another program since this window took it, the stored
        // record is not the one the person means to replace: they are told,
        // and choose.
        QString now;
        if (!records.version(recordKind, storedId, &now)) {
            fail(records.error());
            return;
        }
        const QString taken = m_mainWindow->takenVersion(recordKind, storedId);
        // A record of the name the tab's record had, but another one: either
        // the record this window took is gone (or renamed), and this one was
        // saved under its name since (by another program, or an import), or
        // both are stored under the name and the person chose the other one.
        const bool notTaken = takenId >= 0 && takenId != storedId;
        QString takenName;
        if (notTaken && !records.listedName(recordKind, takenId, &takenName)) {
            fail(records.error());
            return;
        }
        const bool otherOfName = notTaken && takenName.trimmed() == name;
        const bool another = notTaken && !otherOfName;
        // The record to be replaced, by its date: several may carry its name.
        const auto savedOn = [&](int id) {
            const QVariant written = records.modified(recordKind, id);
            return written.isNull() ? QString() : QStringLiteral("on %1 UTC").arg(written.toString());
        };
        const QString when = savedOn(storedId);
        int sameName = 0;
        for (int i = 1; i < n.nameBox->count(); ++i)
            sameName += n.nameBox->itemText(i).trimmed() == name ? 1 : 0;
        const QString told = details ? details(records, storedId) : QString();
        const QString what = QLatin1String(kindWords[static_cast<int>(kind)]);
        QMessageBox question;
        if (otherOfName) {
            question.setIcon(QMessageBox::Warning);
            question.setText(QStringLiteral("More than one stored %1 is named \"%2\", and the one chosen (saved %3) "
                                            "is not the one this window loaded or saved (saved %4). Saving now "
                                            "replaces the one saved %3 with what this window shows.")
                                 .arg(what, name, when, savedOn(takenId)));
            question.setInformativeText((told.isEmpty() ? QString() : told + QStringLiteral("\n\n"))
                + QStringLiteral("Save writes over it. Cancel writes nothing: choose the other one in the list to save "
                                 "over that, or save under another name to keep both."));
        } else if (another || (!taken.isEmpty() && !now.isEmpty() && now != taken)) {
            const QString on = when.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(when);
            // A row of a lower id was stored before the one the window took:
            // it was not saved in its place.
            const bool before = storedId < takenId;
            question.setIcon(QMessageBox::Warning);
            question.setText(another && before
                    ? QStringLiteral("The stored %1 \"%2\" is not the one this window loaded or saved: that one is "
                                     "no longer in the database file under this name, and this one is another %1 of "
                                     "the name, stored before it%3. Saving now replaces it with what this window "
                                     "shows.")
                          .arg(what, name, on)
                    : another
                    ? QStringLiteral("The stored %1 \"%2\" is not the one this window loaded or saved: that one is "
                                     "no longer in the database file under this name, and this one was saved in its "
                                     "place since%3. Saving now replaces it with what this window shows.")
                          .arg(what, name, on)
                    : QStringLiteral("The stored %1 \"%2\" has changed since this window loaded or saved it: "
                                     "another program using the database file saved it%3. Saving now "
                                     "replaces that version with what this window shows.")
                          .arg(what, name, on));
            question.setInformativeText((told.isEmpty() ? QString() : told + QStringLiteral("\n\n"))
                + QStringLiteral("Save writes over it. Cancel writes nothing: load it from the list to see it, or "
                                 "save under another name to keep both."));
        } else {
            question.setText(QStringLiteral("Are you sure you wish to overwrite this record?"));
            // Which of the records of this name, where several have it.
            const QString which = sameName > 1 && !when.isEmpty()
                ? QStringLiteral("More than one stored %1 is named \"%2\": this replaces the one saved %3.")
                      .arg(what, name, when)
                : QString();
            question.setInformativeText(
                which.isEmpty() || told.isEmpty() ? which + told : which + QStringLiteral("\n\n") + told);
        }
        question.setStandardButtons(QMessageBox::Save | QMessageBox::Cancel);
        question.setDefaultButton(QMessageBox::Cancel);
        if (question.exec() != QMessageBox::Save)
            return;
        // Written only as the person saw it: a save by another program while
        // they were asked is not written over unseen.
        records.expectVersion(now);
    }

    // One save, one transaction: a record and its composition rows are stored
    // whole or not at all.
    int savedId = -1;
    if (!write(records, storedId, &savedId)) {
        QString text = records.error();
        // The list no longer offers what is not there to save over.
        if (records.savedOverGone()) {
            (this->*n.populate)();
            text += QStringLiteral("\n\nThe list was read again; type the name to save it as a new record.");
        }
        if (records.savedOverChanged())
            text += QStringLiteral("\n\nSave again to be told what changed, and to choose.");
        fail(text);
        return;
    }

    // Closing steps, only now that the record is on disk.
    (this->*n.populate)();
    // By id: two records may carry the same name.
    n.nameBox->setCurrentIndex(n.nameBox->findData(savedId, Qt::UserRole));
    // Elided to half the dialog's width, whole in the tool tip: a long name must
    // not widen the dialog past the screen.
    const QString shown = n.saved->fontMetrics().elidedText(name, Qt::ElideMiddle, width() / 2);
    n.saved->setText(QString::fromLatin1(n.savedText).arg(shown.toHtmlEscaped()));
    n.saved->setToolTip(name);
    n.saved->setAlignment(Qt::AlignRight);
    n.saved->show();
    saveButton(n.buttons)->setEnabled(false);
    n.mainList->setProperty(GuiVornakel::lastRecordProperty,
        QStringLiteral("%1%2").arg(QDate::currentDate().toString(QStringLiteral("(MM/dd/yy)  ")), name));
    // The main window's list finds the record by this id: the remembered text
    // carries the local date, the list the stored UTC date.
    n.mainList->setProperty(GuiVornakel::lastRecordIdProperty, savedId);
    RecordList &saved = m_lists[static_cast<int>(kind)];
    m_mainWindow->holdSavedRecord(
        saved.kind, savedId, name, m_startedFromPage, records.savedStamp(), records.savedVersion());
    emit(this->*n.changed)();
    // The record the tab shows is stored now: the run may link it.
    if (kind != RecordKind::Experiment && listOf(SqlRecordKind::Experiment).nameFilled)
        offerLink(saved);
    cursor.restore();
}

void GuiSaveToDatabase::onSaveSampleClicked()
{
    GuiFieldReader read;
    const SqlSampleRecord record = sampleRecord(&read);
    saveRecord(RecordKind::Sample, read, [&record](SqlRecords &records, int storedId, int *savedId) {
        return records.saveSample(record, storedId, savedId);
    });
}

void GuiSaveToDatabase::onSaveSolventClicked()
{
    GuiFieldReader read;
    const SqlSolventRecord record = solventRecord(&read);
    saveRecord(RecordKind::Solvent, read, [&record](SqlRecords &records, int storedId, int *savedId) {
        return records.saveSolvent(record, storedId, savedId);
    });
}

void GuiSaveToDatabase::onSaveExperimentClicked()
{
    GuiFieldReader read;
    SqlExperimentRecord record = experimentRecord(&read);
    if (!read.refusedAny() && !linksShown(&record))
        return;
    saveRecord(
        RecordKind::Experiment, read,
        [&record](SqlRecords &records, int storedId, int *savedId) {
            return records.saveExperiment(record, storedId, savedId);
        },
        [this, &record](SqlRecords &records, int storedId) { return linkChanges(records, storedId, record); });
}

void GuiSaveToDatabase::onSaveResultsClicked()
{
    // Its own fields first: a ratio that is no number is named, not taken for
    // a calculation that cannot be made.
    GuiFieldReader typed;
    resultsRecord(&typed);
    if (refuses(RecordKind::Results, typed))
        return;
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
    GuiFieldReader read;
    const SqlResultsRecord record = resultsRecord(&read);
    saveRecord(RecordKind::Results, read, [&record](SqlRecords &records, int storedId, int *savedId) {
        return records.saveResults(record, storedId, savedId);
    });
}

// The records as the main window shows them, named as the dialog names them

SqlSampleRecord GuiSaveToDatabase::sampleRecord(GuiFieldReader *read) const
{
    SqlSampleRecord record = m_mainWindow->sampleShown(m_startedFromPage, read);
    record.name = qtSampleName->currentText().trimmed();
    return record;
}

SqlSolventRecord GuiSaveToDatabase::solventRecord(GuiFieldReader *read) const
{
    SqlSolventRecord record = m_mainWindow->solventShown(m_startedFromPage, read);
    record.name = qtSolventName->currentText().trimmed();
    return record;
}

SqlExperimentRecord GuiSaveToDatabase::experimentRecord(GuiFieldReader *read) const
{
    SqlExperimentRecord record = m_mainWindow->experimentShown(read);
    record.name = qtExperimentName->currentText().trimmed();
    // A checked link whose record is no longer listed keeps what was stored.
    auto link = [](const QCheckBox *box, const QComboBox *list) {
        if (!box->isChecked())
            return -1;
        return list->currentIndex() >= 0 ? list->currentData(Qt::UserRole).toInt()
                                         : SqlExperimentRecord::keepStoredLink;
    };
    record.sampleId = link(qtLinkToSample, qtLinkToSampleName);
    record.bufferId = link(qtLinkToSolvent, qtLinkToSolventName);
    record.resultsId = link(qtLinkToResults, qtLinkToResultsName);
    return record;
}

SqlResultsRecord GuiSaveToDatabase::resultsRecord(GuiFieldReader *read) const
{
    SqlResultsRecord record = m_mainWindow->resultsShown(read);
    record.name = qtResultsName->currentText().trimmed();
    return record;
}
