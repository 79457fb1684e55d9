#include "app/app_plugin.h"
#include "app/app_scriptobject.h"
#include "gui/gui_buffercomponents.h"
#include "gui/gui_dataupdate.h"
#include "gui/gui_lineedit.h"
#include "gui/gui_samplecomposition.h"
#include "gui/gui_splashscreen.h"
#include "gui/gui_standardvalue.h"
#include "gui/gui_vornakel.h"
#include "sql/sql_updatedatabase.h"
#include "test_environment.h"
#include "test_log.h"
#include "test_mainwindow.h"
#include "test_processes.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDialogButtonBox>
#include <QScriptEngine>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStatusBar>
#include <QtTest>
#include <csignal>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

// The main window's start-up, its objects, its wiring and its geometry, on a
// temporary database and the shipped modules.
class TstGuiVornakel : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestMainWindow> m;
    GuiVornakel *start(const QString &fileName = QString()) { return m->start(TestMainWindow::Show::No, fileName); }

    // One connection of the window's wiring: its sender and signal, and a cut
    // of exactly this signal from exactly the named slot (true when there was
    // such a connection).
    struct Wire
    {
        QObject *sender;
        QMetaMethod signal;
        std::function<bool()> cut;
        QString name() const { return sender->objectName() + ' ' + signal.methodSignature(); }
    };
    template<typename Sender, typename Signal, typename Receiver, typename Slot>
    static Wire wire(Sender *sender, Signal signal, Receiver *receiver, Slot slot)
    {
        return { sender, QMetaMethod::fromSignal(signal),
            [=] { return QObject::disconnect(sender, signal, receiver, slot); } };
    }
    template<typename Sender, typename Signal>
    static Wire wireByName(Sender *sender, Signal signal, QObject *receiver, const char *slot)
    {
        const QMetaMethod method = QMetaMethod::fromSignal(signal);
        const QMetaMethod target = receiver->metaObject()->method(receiver->metaObject()->indexOfSlot(slot));
        return { sender, method, [=] { return QObject::disconnect(sender, method, receiver, target); } };
    }
    // How many connections leave the signal; QObject::receivers() is
    // protected, and a pointer to it taken through a derived class may be
    // called on any object.
    struct Receivers : QObject
    {
        static int of(const QObject *sender, const QMetaMethod &signal)
        {
            const QByteArray code = '2' + signal.methodSignature();
            return (sender->*(&Receivers::receivers))(code.constData());
        }
    };
    static int connections(const QObject *sender, const QMetaMethod &signal) { return Receivers::of(sender, signal); }

    static QList<GuiDataUpdate *> referenceEditors() { return testTopLevels<GuiDataUpdate>(); }

    static int stored(const char *key) { return QSettings().value(QLatin1String(key)).toInt(); }

private slots:
    void init() { m = std::make_unique<TestMainWindow>(); }
    void cleanup() { m.reset(); }

    // The reference data editor has no parent: the window deletes it with what
    // else its start-up made.
    void startUpBuildsTheWindowTellsTheSplashAndDestructionDeletesWhatItMade()
    {
        const int editorsBefore = referenceEditors().size();
        auto window = std::make_unique<GuiVornakel>(m->db.path());
        QSignalSpy spy(window.get(), &GuiVornakel::sigShowSplashMessage);
        QVERIFY(window->initVornakel());
        QVERIFY(m->answerer.seen().isEmpty());
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("Loading Vornakel..."));
        // The schema updater's progress reaches the splash through the window.
        QCOMPARE(spy.last().at(0).toString(), QStringLiteral("Updated Database schema to version '20120320'"));

        QCOMPARE(window->windowTitle(), QStringLiteral("Vornakel") + m->db.path());
        QCOMPARE(window->activeDbLocation(), m->db.path());
        QVERIFY(QSqlDatabase::database(m->db.path(), false).isOpen() && !window->isVisible());
        QCOMPARE(window->stackedWidget->currentWidget(), window->qtStackVornakel);
        QCOMPARE(window->qtTabWidget->currentWidget(), window->qtTabSample);
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Ready"));
        for (QComboBox *sortBy :
            { window->qtBufferSortBy, window->qtSampleSortBy, window->qtResultsSortBy, window->qtExperimentSortBy })
            QCOMPARE(QStringList({ sortBy->itemText(0), sortBy->itemText(1) }), QStringList({ "Date", "Name" }));
        QCOMPARE(window->qtSedEquilibriumMR->styleSheet(), QStringLiteral("color: rgb(28, 170, 29);"));

        QCOMPARE(referenceEditors().size(), editorsBefore + 1);
        QList<QPointer<QObject>> owned { window->qtStackComposition, window->qtStackBufferComponents,
            referenceEditors().last() };
        for (GuiStandardValue *dialog : window->findChildren<GuiStandardValue *>())
            owned << dialog;
        QCOMPARE(owned.size(), 6);
        window.reset();
        for (const QPointer<QObject> &object : owned)
            QVERIFY(object.isNull());
    }

    // A script exception reaches the person, never dropped silently.
    void scriptExceptionsAreShown()
    {
        auto window = start();
        QVERIFY(window);
        auto *module = qobject_cast<AppQtScriptPlugin *>(window->calculationsPlugin());
        QVERIFY(module);
        module->engine()->evaluate(QStringLiteral("function boom() { throw new Error('bad input'); }"));
        m->answerer.answerMessageBox(QMessageBox::Ok);
        TestLog::ignore(QtWarningMsg, "Exec Error: Error: bad input");
        delete module->execOne(QStringLiteral("boom"), {});
        QCOMPARE(m->answerer.titles(), QStringList { QStringLiteral("Plugin Error") });
        QVERIFY(m->answerer.texts().first().contains(QStringLiteral("bad input")));
        QCOMPARE(m->answerer.seen().first().icon, QMessageBox::Information);
    }

    // Each composition page leads back to the tabs, by OK and by Cancel; cancelling
    // the buffer page re-presses the sources chosen before it opened.
    void compositionPagesLeadBackToTheTabs_data()
    {
        QTest::addColumn<bool>("sample");
        QTest::addColumn<bool>("accept");
        QTest::newRow("sample, OK") << true << true;
        QTest::newRow("sample, Cancel") << true << false;
        QTest::newRow("buffer, OK") << false << true;
        QTest::newRow("buffer, Cancel") << false << false;
    }
    void compositionPagesLeadBackToTheTabs()
    {
        QFETCH(bool, sample);
        QFETCH(bool, accept);
        auto window = start();
        QVERIFY(window);
        window->show();
        window->qtDensityDirectEntry->click(); // the source chosen before the page opens
        window->qtTabWidget->setCurrentWidget(sample ? window->qtTabSample : window->qtTabSolvent);
        QTest::mouseClick(sample ? window->qtVbarCompute : window->qtDensityCompute, Qt::LeftButton);
        QWidget *page = window->stackedWidget->currentWidget();
        QCOMPARE(page, sample ? static_cast<QWidget *>(window->qtStackComposition) : window->qtStackBufferComponents);
        auto *box = page->findChild<QDialogButtonBox *>(QStringLiteral("qtButtonBox"));
        QVERIFY(box);
        QTest::mouseClick(box->button(accept ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel), Qt::LeftButton);
        QCOMPARE(window->stackedWidget->currentWidget(), window->qtStackVornakel);
        if (!sample && !accept)
            QVERIFY(window->qtDensityDirectEntry->isChecked());
    }

    // Each field starts at (and, emptied, returns to) its default, and keeps its
    // own format and range: name, default text, input, text shown, whether valid.
    void numericFieldsKeepTheirDefaultFormatAndRange_data()
    {
        QTest::addColumn<QStringList>("row");
        for (const char *row : { "qtSedEquilibriumTemp|20.00|50|50|0", "qtSedVelocityTemp|20.00|45|45.00|1",
                 "qtSampleVbar|0.73000|0|0|0", "qtBufferDensity|0.998230|0|0|0", "qtBufferViscosity|1.0020E-02|0|0|0",
                 "qtBufferpH|7.0000|15|15|0", "qtSedVelocityK|0.009|-1|-1|0", "qtSedEquilibriumRPM||90001|90001|0",
                 "qtSedEquilibriumMR||14300|14300.00|1", "qtSedVelocityConcentration||0.5|5.0000e-01|1",
                 "qtSedVelocityCoefficient||-1|-1.0000e+00|1", "qtExperimentResultsMb||123.456|123.46|1",
                 "qtSedEquilibriumSigma||1.23456789|1.23457|1" })
            QTest::newRow(row) << QString::fromLatin1(row).split(QLatin1Char('|'));
    }
    void numericFieldsKeepTheirDefaultFormatAndRange()
    {
        QFETCH(QStringList, row);
        auto window = start();
        auto *field = window ? window->findChild<GuiLineEdit *>(row[0]) : nullptr;
        QVERIFY(field);
        QCOMPARE(field->text(), row[1]);
        field->setText(row[2]);
        QCOMPARE(field->text(), row[3]);
        QCOMPARE(field->isValid(), row[4] == QLatin1String("1"));
        field->clear();
        QCOMPARE(field->text(), row[1]);
    }

    // Each symbol sits inside the field it labels and stays in sight when the
    // direct entry's "No Temp Correction" caption appears beside the field; the
    // stop sign in the molar mass leaves on any change of it.
    void symbolsSitAndStayInsideTheirFields()
    {
        auto window = start();
        QVERIFY(window);
        QSignalSpy shown(window, &GuiVornakel::sigShown);
        window->firstShow(); // tells main to close the splash
        QCOMPARE(shown.count(), 1);
        QVERIFY(QTest::qWaitForWindowExposed(window, testPatienceMs()));
        const QString pairs
            = QStringLiteral("qtskButton>qtSedVelocityKLabel qtSedVelocityKLabel>qtSedVelocityK "
                             "qtSampleVbarUnitLabel>qtSampleVbar qtStopSign>qtSedEquilibriumMR "
                             "qtSedEquilibriumSigmaLabel>qtSedEquilibriumSigma qtS20WLabel>qtExperimentResultsS");
        for (const QString &pair : pairs.split(QLatin1Char(' '))) {
            QWidget *label = window->findChild<QWidget *>(pair.section(QLatin1Char('>'), 0, 0));
            QVERIFY2(
                label && label->parentWidget()->objectName() == pair.section(QLatin1Char('>'), 1), qPrintable(pair));
        }
        for (QPushButton *direct :
            { window->qtVbarDirectEntry, window->qtDensityDirectEntry, window->qtViscosityDirectEntry }) {
            window->qtTabWidget->setCurrentWidget(
                direct == window->qtVbarDirectEntry ? window->qtTabSample : window->qtTabSolvent);
            QTest::mouseClick(direct, Qt::LeftButton);
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            QCoreApplication::processEvents();
            QWidget *symbol = direct == window->qtVbarDirectEntry ? window->qtSampleVbarUnitLabel
                : direct == window->qtDensityDirectEntry          ? window->qtBufferDensityUnitLabel
                                                                  : window->qtBufferViscosityUnitLabel;
            QVERIFY2(direct->isChecked() && symbol->isVisible() && symbol->x() >= 0
                    && symbol->geometry().right() < symbol->parentWidget()->width(),
                qPrintable(symbol->objectName()));
        }
        QVERIFY(!window->qtStopSign->isHidden());
        window->qtSedEquilibriumMR->setText(QStringLiteral("14300"));
        QVERIFY(window->qtStopSign->isHidden());
    }

    // Each wired signal reaches the slot its row names, and only once: a missing, wrong or doubled connection
    // fails.
    void eachWiredSignalReachesTheSlotItsRowNamesOnce()
    {
        GuiVornakel *w = start();
        QVERIFY(w);
        GuiSampleComposition *sample = w->qtStackComposition;
        GuiBufferComponents *buffer = w->qtStackBufferComponents;
        GuiDataUpdate *editor = referenceEditors().last();
        using V = GuiVornakel;
        using A = QAction;
        using B = QAbstractButton;
        const auto index = qOverload<int>(&QComboBox::currentIndexChanged);
        QList<Wire> wires = {
            wire(w->actionCheck_for_updates, &A::triggered, w, &V::onCheckForUpdates),
            wire(w->actionAbout_Vornakel, &A::triggered, w, &V::onShowAboutVornakel),
            wire(w->actionAdditional_Modules, &A::triggered, w, &V::onShowAdditionalModules),
            wire(w->actionDebug_Console, &A::triggered, w, &V::debug),
            wire(w->actionNew_Data_Entry_Form, &A::triggered, w, &V::clear),
            wire(w->actionOpen_Different_Experimental_Database, &A::triggered, w, &V::onShowExperimentalDatabases),
            wire(w->actionImport, &A::triggered, w, &V::onImport),
            wire(w, &V::sigModulePath, w, &V::onShowModuleWindow),
            wire(w->actionChange_Program_Defaults, &A::triggered, w, &V::onChangeDefaults),
            wire(w->actionUpdate_Amino_Acid_Data, &A::triggered, editor, &GuiDataUpdate::showAminoAcidPage),
            wire(w->actionUpdate_Conjugate_Data, &A::triggered, editor, &GuiDataUpdate::showConjugatePage),
            wire(w->actionUpdate_Denaturants_Data, &A::triggered, editor, &GuiDataUpdate::showDenaturantPage),
            wire(
                w->actionUpdate_BufferComponents_Data, &A::triggered, editor, &GuiDataUpdate::showBufferComponentsPage),
            wire(w->actionUpdate_Extinction_Data, &A::triggered, editor, &GuiDataUpdate::showExtinctionPage),
            wire(editor, &GuiDataUpdate::sigNewBufferComponentAdded, buffer,
                &GuiBufferComponents::onNewComponentRecordAdded),
            wire(editor, &GuiDataUpdate::sigComponentRecordChanged, buffer,
                &GuiBufferComponents::onComponentRecordChanged),
            wire(sample, &GuiSampleComposition::sigCalculatedVBarAccepted, w, &V::onCalculatedVBarAccepted),
            wire(sample, &GuiSampleComposition::sigCalculatedMrAccepted, w, &V::onCalculatedMrAccepted),
            wire(sample, &GuiSampleComposition::sigCalculatedHydrationAccepted, w, &V::onCalculatedHydrationAccepted),
            wire(editor, &GuiDataUpdate::sigNewAminoRecordAdded, sample, &GuiSampleComposition::onNewAminoRecordAdded),
            wire(editor, &GuiDataUpdate::sigAminoRecordChanged, sample, &GuiSampleComposition::onAminoRecordChanged),
            wire(editor, &GuiDataUpdate::sigNewDenaturantRecordAdded, sample,
                &GuiSampleComposition::onNewDenaturantRecordAdded),
            wire(editor, &GuiDataUpdate::sigDenaturantRecordChanged, sample,
                &GuiSampleComposition::onDenaturantRecordChanged),
            wire(editor, &GuiDataUpdate::sigNewConjugateRecordAdded, sample,
                &GuiSampleComposition::onNewConjugateRecordAdded),
            wire(editor, &GuiDataUpdate::sigConjugateRecordChanged, sample,
                &GuiSampleComposition::onConjugateRecordChanged),
            wire(w->qtVbarDirectEntry, &B::toggled, w, &V::onSampleVbarDirectEntry),
            wire(w->qtVbarStandard, &B::clicked, w, &V::onClickedVbarStandard),
            wire(w->qtVbarCompute, &B::clicked, w, &V::onClickedVbarCompute),
            wire(w->qtDensityDirectEntry, &B::toggled, w, &V::onBufferDensityDirectEntry),
            wire(w->qtDensityStandard, &B::clicked, w, &V::onClickedDensityStandard),
            wire(w->qtDensityCompute, &B::clicked, w, &V::onClickedDensityCompute),
            wire(w->qtViscosityDirectEntry, &B::toggled, w, &V::onBufferViscosityDirectEntry),
            wire(w->qtViscosityStandard, &B::clicked, w, &V::onClickedViscosityStandard),
            wire(w->qtViscosityCompute, &B::clicked, w, &V::onClickedViscosityCompute),
            wire(w->qtskButton, &B::clicked, w, &V::onskButtonClicked),
            wire(w->qtExactMolecularWeight, &B::clicked, w, &V::onExactMolecularWeightDirectEntry),
            wire(w->qtFromSigma, &B::clicked, w, &V::onSetFromSigma),
            wire(w->qtFromComposition, &B::clicked, w, &V::onClickedFromComposition),
            wire(w->qtVbarCompute, &B::clicked, w, &V::onClickedFromComposition),
            wire(w->qtSedEquilibriumMR, &QLineEdit::textChanged, w->qtStopSign, &QWidget::hide),
            wire(w->qtTabWidget, &QTabWidget::currentChanged, w, &V::onCurrentTabChanged),
            wire(sample, &GuiSampleComposition::sigPageCanceled, w, &V::onPageCanceled),
            wire(buffer, &GuiBufferComponents::sigPageCanceled, w, &V::onPageCanceled),
            wire(sample, &GuiSampleComposition::sigPageAccepted, w, &V::onPageAccepted),
            wire(sample, &GuiSampleComposition::sigSaveToDatabase, w, &V::onSaveToDBClicked),
            wire(buffer, &GuiBufferComponents::sigPageAccepted, w, &V::onPageAccepted),
            wire(buffer, &GuiBufferComponents::sigCalculatedDensityAccepted, w, &V::onBufferDensityCalculated),
            wire(buffer, &GuiBufferComponents::sigSaveToDatabase, w, &V::onSaveToDBClicked),
            wire(buffer, &GuiBufferComponents::sigCalculatedViscosityAccepted, w, &V::onBufferViscosityCalculated),
            wire(w->qtSampleSaveToDB, &B::clicked, w, &V::onSaveToDBClicked),
            wire(w->qtBufferSaveToDB, &B::clicked, w, &V::onSaveToDBClicked),
            wire(w->qtExperimentSaveToDB, &B::clicked, w, &V::onSaveToDBClicked),
            wire(w->qtResultsSaveToDB, &B::clicked, w, &V::onSaveToDBClicked),
            wire(w->qtBufferName, index, w, &V::onRecordComboBoxChanged),
            wire(w->qtBufferSortBy, index, w, &V::populateSolventRecordList),
            wire(w->qtSampleName, index, w, &V::onRecordComboBoxChanged),
            wire(w->qtSampleSortBy, index, w, &V::populateSampleRecordList),
            wire(w->qtExperimentName, index, w, &V::onRecordComboBoxChanged),
            wire(w->qtExperimentSortBy, index, w, &V::populateExperimentRecordList),
            wire(w->qtResultsName, index, w, &V::onRecordComboBoxChanged),
            wire(w->qtResultsSortBy, index, w, &V::populateResultsRecordList),
            wire(w->qtHydrateNothing, &B::toggled, w, &V::onToggledHydrateNothing),
            wire(w->qtHydrateProlate, &B::toggled, w, &V::onToggledHydrateProlate),
            wire(w->qtHydrateOblate, &B::toggled, w, &V::onToggledHydrateOblate),
            wire(w->qtHydrateComputed, &B::toggled, w, &V::onToggledHydrateComputed),
            wire(w->qtHydrateDelta1, &B::toggled, w, &V::onToggledHydrateDelta1),
            wire(w->qtHydrateRatio, &QLineEdit::editingFinished, w, &V::onHydrateRatioEdited),
            wire(w->qtShapeProlate, &B::toggled, w, &V::calculateResults),
            wire(w->qtShapeOblate, &B::toggled, w, &V::calculateResults),
            wire(w->qtShapeCylinder, &B::toggled, w, &V::calculateResults),
            wire(w->qtGraphShapeButton, &B::clicked, w, &V::onGraphShapeClicked),
            wire(w->qtAvsBGraphButton, &B::clicked, w, &V::onGraphAoverBClicked),
            wire(w->qtSedEquilibriumTemp, &QLineEdit::editingFinished, w, &V::onSedEqTempChanged),
            wire(w->actionContents, &A::triggered, w, &V::onHelpContentClicked),
            wire(w->actionSearch_for_Help_On, &A::triggered, w, &V::onHelpContentSearchClicked),
            wire(w->qtHydrateComputed, &B::toggled, w, &V::enableShapeButtons),
            wire(w->actionSave_Sample_Info_in_Database, &A::triggered, w, &V::onSaveToDBClicked),
            wire(w->actionSave_Buffer_Info_in_Database, &A::triggered, w, &V::onSaveToDBClicked),
            wire(w->actionSave_Experiment_Info_in_Database, &A::triggered, w, &V::onSaveToDBClicked),
            wire(w->actionSave_Results_in_Database, &A::triggered, w, &V::onSaveToDBClicked),
            // The form's own, by name.
            wireByName(w->actionExit, &A::triggered, w, "close()"),
        };
        // Every numeric field below the window, the pages' and the standard-value dialogs' too.
        const QList<GuiLineEdit *> fields = w->findChildren<GuiLineEdit *>();
        for (GuiStandardValue *dialog : w->findChildren<GuiStandardValue *>())
            QVERIFY(fields.contains(dialog->qtValue) && fields.contains(dialog->qtTemperature));
        for (GuiLineEdit *field : fields)
            wires << wire(field, &GuiLineEdit::sigValueEdited, w, &V::onValueEdited)
                  << wire(field, &GuiLineEdit::sigValueChanged, w, &V::onValueChanged);

        // Cutting each row's connection takes exactly one connection per row off its signal.
        QHash<QPair<QObject *, int>, int> rows, before;
        for (const Wire &row : qAsConst(wires)) {
            const auto key = qMakePair(row.sender, row.signal.methodIndex());
            ++rows[key];
            before[key] = connections(row.sender, row.signal);
        }
        for (const Wire &row : qAsConst(wires))
            QVERIFY2(row.cut(), qPrintable(row.name()));
        for (const Wire &row : qAsConst(wires)) {
            const auto key = qMakePair(row.sender, row.signal.methodIndex());
            QVERIFY2(
                before.value(key) - connections(row.sender, row.signal) == rows.value(key), qPrintable(row.name()));
        }
    }

    // The splash time ends while a start-up message box waits for the person:
    // the splash goes at once, the window only once it is built. Unreadable
    // defaults cost a message box, not the start-up: they read as 0. A failed
    // start shows no window and leaves the stored geometry alone.
    void aStartUpMessageHoldsTheWindowBackUntilTheStartUpEnds_data()
    {
        QTest::addColumn<bool>("databaseOpens");
        QTest::newRow("unreadable defaults") << true;
        QTest::newRow("unopenable database") << false;
    }
    void aStartUpMessageHoldsTheWindowBackUntilTheStartUpEnds()
    {
        QFETCH(bool, databaseOpens);
        QSettings().setValue(QStringLiteral("MainWindow/geometry/width"), 900);
        const QString path = m->db.path();
        if (databaseOpens) {
            SqlUpdateDatabase updater;
            QVERIFY(updater.openAndUpdate(path));
            QVERIFY(QSqlQuery(QSqlDatabase::database(path, false)).exec(QStringLiteral("DROP TABLE defaults")));
        } else {
            QVERIFY(QDir().mkpath(path)); // a folder where the database file should be
        }
        auto window = std::make_unique<GuiVornakel>(path);
        GuiSplashScreen splash(QPixmap(QStringLiteral(":files/images/ravo.jpg")));
        connect(window.get(), &GuiVornakel::sigShown, &splash, &QWidget::close);
        splash.show();
        bool shownDuringTheBox = true;
        m->answerer.answerWith([&](QWidget *box) {
            window->firstShow();
            shownDuringTheBox = window->isVisible() || splash.isVisible();
            qobject_cast<QMessageBox *>(box)->button(QMessageBox::Ok)->click();
        });
        QCOMPARE(window->initVornakel(), databaseOpens);
        QVERIFY(!m->answerer.seen().isEmpty() && !shownDuringTheBox);
        QCOMPARE(window->isVisible(), databaseOpens);
        if (databaseOpens)
            QCOMPARE(window->qtSedEquilibriumTemp->text() + ' ' + window->qtSedVelocityK->text(), QString("0.00 0"));
        window.reset();
        if (!databaseOpens)
            QVERIFY(m->answerer.seen().size() == 1 && stored("MainWindow/geometry/width") == 900);
    }

    // A save that wrote into a file in place and was cut off in an earlier
    // run (kill -9) is told of once the window shows: the box names the file
    // and where the whole of what was saved is, which is kept. Its note stays
    // in the settings while the box shows (a program ended then tells it again
    // at its next start), and goes once the box is closed.
    void aCutSaveOfAnEarlierRunIsToldOnceTheWindowShows()
    {
        const char *const notes = "SaveFile/copiesIntoFiles";
        const QString file = m->db.path(QStringLiteral("buffer.buf"));
        QVERIFY(testWriteFile(file, QByteArray(200000, 'O')));
        // A second name: the save copies into the file itself.
        QVERIFY(
            ::link(QFile::encodeName(file).constData(), QFile::encodeName(m->db.path("second.buf")).constData()) == 0);
        QCOMPARE(testCutSave(file, QByteArray(100000, 'N'), 50000), -SIGXFSZ);
        QVERIFY(start());
        QVERIFY(m->answerer.seen().isEmpty());
        QStringList noted;
        m->answerer.answerWith([&](QWidget *box) {
            noted = QSettings().value(notes).toStringList();
            qobject_cast<QMessageBox *>(box)->button(QMessageBox::Ok)->click();
        });
        m->window->firstShow();
        TEST_TRY_COMPARE(m->answerer.seen().size(), 1);
        QVERIFY2(noted.contains(file), qPrintable(noted.join(", ")));
        TEST_TRY_VERIFY(!QSettings().contains(notes));
        QCOMPARE(m->answerer.titles(), QStringList { "Vornakel" });
        const QString told = m->answerer.texts().first();
        QVERIFY2(told.startsWith("An earlier save of " + file + " was cut off while it wrote into the file itself")
                && told.contains(
                    QRegularExpression("The whole of what was saved then is in .*/buffer\\.[0-9a-f]{8}\\.buf\\.$")),
            qPrintable(told));
        QCOMPARE(testReadFile(told.section(" is in ", -1).chopped(1)), QByteArray(100000, 'N'));
    }

    // A file that is no database stops the start with a box that names it and says what to do; not a byte
    // of it is written.
    void aFileThatIsNoDatabaseNamesItselfAndStaysAsItWas()
    {
        const QString path = m->db.path(QStringLiteral("notes.db"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray("plain text, not a database\n").repeated(40)));
        file.close();
        auto checksum = [&path] {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                               : QByteArray();
        };
        const QByteArray before = checksum();
        GuiVornakel window(path);
        QVERIFY(!window.initVornakel());
        QCOMPARE(m->answerer.titles(), QStringList { "Vornakel" });
        const QString text = m->answerer.texts().value(0);
        QVERIFY2(text.contains(QDir::toNativeSeparators(path)) && text.contains("not a database")
                && text.contains("move this one aside"),
            qPrintable(text));
        QCOMPARE(checksum(), before);
        QCOMPARE(QDir(m->db.dir()).entryList(QDir::Files), QStringList { "notes.db" });
    }

    // At start, a database file another program holds is waited for with the event loop running: the hold ends
    // only on a tick of a timer of that loop. Held beyond the wait, a box says the file is in use and offers
    // Retry, which opens it once that program has let it go; Cancel opens nothing.
    void aDatabaseAnotherProgramHoldsAtStartIsWaitedForAndOffersRetry_data()
    {
        QTest::addColumn<bool>("released");
        QTest::addColumn<int>("answer"); // the button pressed in the box
        QTest::newRow("let go while waited for") << true << int(QMessageBox::NoButton);
        QTest::newRow("let go, then Retry") << false << int(QMessageBox::Retry);
        QTest::newRow("Cancel") << false << int(QMessageBox::Cancel);
    }
    void aDatabaseAnotherProgramHoldsAtStartIsWaitedForAndOffersRetry()
    {
        QFETCH(bool, released);
        QFETCH(int, answer);
        QVERIFY(!TestDatabase::createCurrent(m->db.path()).isEmpty());
        TestDatabase::removeConnection(m->db.path());
        TestLockHolder holder(m->db.path());
        QVERIFY(holder.isHolding());
        holder.meetTheWait(released);
        if (!released)
            m->answerer.answerWith([&](QWidget *box) {
                holder.release();
                qobject_cast<QMessageBox *>(box)->button(QMessageBox::StandardButton(answer))->click();
            });
        const bool started = m->start(TestMainWindow::Show::No);
        QCOMPARE(started, answer != QMessageBox::Cancel);
        if (released) {
            QVERIFY(holder.wasLetGoOnATick());
            QCOMPARE(m->answerer.texts(), QStringList());
            return;
        }
        QCOMPARE(m->answerer.titles(), QStringList { "Vornakel" });
        const QString text = m->answerer.texts().value(0);
        QVERIFY2(text.contains(QDir::toNativeSeparators(m->db.path())) && text.contains("is in use by another program")
                && text.contains("Retry opens it again") && !text.contains("Choose another"),
            qPrintable(text));
    }

    // A first start takes the default size and leaves the position to the window
    // system; the geometry is stored as soon as it changes and read by the next window.
    // The database file as the user last opened it is remembered: one that
    // another user now owns (put under its name between two sessions), or
    // that others may now write where they could not, is told before
    // anything is saved into it, and opened only when the person says so,
    // then taken as it is from then on. A group's shared file that has always
    // been so, or the user's own seen for the first time, opens without a word.
    void aDatabaseFileThatChangedHandsIsToldBeforeItIsOpened_data()
    {
        QTest::addColumn<int>("modeBefore"); // when last opened; 0: never opened
        QTest::addColumn<bool>("otherUsers"); // now another user's file (put in its place)
        QTest::addColumn<int>("modeNow");
        QTest::addColumn<QString>("told"); // empty: opened without a word
        QTest::newRow("replaced by another user's file anyone may write")
            << 0600 << true << 0666
            << "it now belongs to another user (nobody), where it was yours when Vornakel last opened it: it may "
               "have been moved aside and another file put under its name; anyone may now write it, where before "
               "not everyone could; the members of the group root may now write it, where they could not before";
        QTest::newRow("made writable by anyone")
            << 0600 << false << 0602 << "anyone may now write it, where before not everyone could";
        QTest::newRow("made writable by its group")
            << 0644 << false << 0664 << "the members of the group root may now write it, where they could not before";
        QTest::newRow("another user's, opened the first time")
            << 0 << true << 0644 << "it belongs to another user (nobody)";
        QTest::newRow("a group's shared file, as it always was") << 0664 << false << 0664 << "";
        QTest::newRow("the user's own that its group may write, opened the first time") << 0 << false << 0664 << "";
        QTest::newRow("made stricter") << 0666 << false << 0600 << "";
    }
    void aDatabaseFileThatChangedHandsIsToldBeforeItIsOpened()
    {
        QFETCH(int, modeBefore);
        QFETCH(bool, otherUsers);
        QFETCH(int, modeNow);
        QFETCH(QString, told);
        if (otherUsers && !testCanGiveAway())
            QSKIP("only the superuser can give a file to another user");
        const QString path = m->db.path();
        const QByteArray name = QFile::encodeName(path);
        const auto startAgain = [&](QMessageBox::StandardButton answer = QMessageBox::NoButton) {
            m->window.reset();
            TestDatabase::removeConnection(path);
            m->answerer.clear();
            if (answer != QMessageBox::NoButton)
                m->answerer.answerMessageBox(answer);
            return m->start(TestMainWindow::Show::No) != nullptr;
        };
        QVERIFY(!TestDatabase::createCurrent(path).isEmpty());
        TestDatabase::removeConnection(path);
        if (modeBefore) {
            QVERIFY(::chmod(name.constData(), mode_t(modeBefore)) == 0);
            QVERIFY(startAgain());
            QVERIFY(m->answerer.seen().isEmpty());
        }
        if (otherUsers) {
            // Another file under its name, made by the other user from a copy.
            QVERIFY(QFile::rename(path, path + ".aside") && QFile::copy(path + ".aside", path));
            QVERIFY(testGiveAway(path));
        }
        QVERIFY(::chmod(name.constData(), mode_t(modeNow)) == 0);
        const QByteArray before = testReadFile(path);

        // Not opened when the person says no; nothing is written to it.
        const bool opened = startAgain(told.isEmpty() ? QMessageBox::NoButton : QMessageBox::No);
        QCOMPARE(opened, told.isEmpty());
        if (!told.isEmpty()) {
            QCOMPARE(m->answerer.seen().size(), 1);
            QCOMPARE(m->answerer.seen().first().icon, QMessageBox::Warning);
            QCOMPARE(m->answerer.seen().first().text,
                QString("The database file\n%1\nis not as it was: %2. Others may read or change the records you "
                        "save into it.\n\nOpen it all the same? Yes opens it, and it is taken as it "
                        "is now from then on; No leaves it unopened.")
                    .arg(QDir::toNativeSeparators(path), told));
            QVERIFY(!QSqlDatabase::database(path, false).isOpen());
            QCOMPARE(testReadFile(path), before);
            // Yes opens it, and it is taken as it is from then on.
            QVERIFY(startAgain(QMessageBox::Yes));
            QCOMPARE(m->answerer.seen().size(), 1);
        }
        QVERIFY(startAgain());
        QVERIFY(m->answerer.seen().isEmpty());
    }

    void theGeometryIsStoredAtOnceAndKeptForTheNextWindow()
    {
        auto first = start();
        QVERIFY(first);
        QCOMPARE(first->geometry().size(), QSize(773, 739));
        QVERIFY(!first->testAttribute(Qt::WA_Moved));
        first->show();
        QVERIFY(QTest::qWaitForWindowExposed(first, testPatienceMs()));
        // Wider than the least width, which holds every figure whole.
        const int width = first->minimumWidth() + 39;
        first->setGeometry(37, 53, width, 644);
        TEST_TRY_COMPARE(stored("MainWindow/geometry/width"), width); // at once, not only when the window goes
        const QRect kept = first->geometry();
        auto second = start(QStringLiteral("second.db"));
        QVERIFY(second);
        QVERIFY(second->testAttribute(Qt::WA_Moved));
        QCOMPARE(second->geometry(), kept);
    }

    // A moved window is kept where it was moved to. A stored place whose title bar would be off every screen (as
    // one stored before the window system placed the window) is left to the window system; the size is kept.
    void aMovedWindowIsKeptThereAndNoneOpensWithItsTitleBarOffScreen()
    {
        GuiVornakel *first = m->start();
        QVERIFY(first);
        first->move(120, 90);
        QCOMPARE(QPoint(stored("MainWindow/geometry/x"), stored("MainWindow/geometry/y")), first->geometry().topLeft());
        const QSize size = first->size();
        m->window.reset();
        for (const QPoint &offScreen : { QPoint(0, 0), QPoint(100, -300), QPoint(5000, 100) }) {
            QSettings().setValue(QStringLiteral("MainWindow/geometry/x"), offScreen.x());
            QSettings().setValue(QStringLiteral("MainWindow/geometry/y"), offScreen.y());
            auto next = start(QStringLiteral("next.db"));
            QVERIFY(next);
            QVERIFY2(!next->testAttribute(Qt::WA_Moved) && next->size() == size,
                qPrintable(QStringLiteral("%1,%2").arg(offScreen.x()).arg(offScreen.y())));
        }
    }
};

TEST_MAIN(TstGuiVornakel)
#include "tst_gui_vornakel.moc"
