#include "app/app_plugin.h"
#include "app/app_scriptobject.h"
#include "gui/gui_dataupdate.h"
#include "gui/gui_lineedit.h"
#include "gui/gui_splashscreen.h"
#include "gui/gui_standardvalue.h"
#include "gui/gui_vornakel.h"
#include "sql/sql_updatedatabase.h"
#include "test_environment.h"
#include "test_log.h"
#include "test_modalanswerer.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDialogButtonBox>
#include <QScriptEngine>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStatusBar>
#include <QtTest>
#include <memory>

// The main window's start-up, its objects, its wiring and its geometry, on a
// temporary database and the shipped modules.
class TstGuiVornakel : public QObject
{
    Q_OBJECT

    struct Fixture
    {
        TestSettings settings;
        TestDatabaseFiles files;
        TestModalAnswerer answerer;
    };
    std::unique_ptr<Fixture> m;

    std::unique_ptr<GuiVornakel> start(const QString &fileName = QStringLiteral("test.db"))
    {
        auto window = std::make_unique<GuiVornakel>(m->files.path(fileName));
        return window->initVornakel() ? std::move(window) : nullptr;
    }

    // Whether the signal had a receiver. Cuts its connections to find out, so
    // each check is the last use of that signal in a test.
    static bool connected(QObject *sender, const char *signature)
    {
        const int index = sender->metaObject()->indexOfSignal(QMetaObject::normalizedSignature(signature));
        return index >= 0 && QObject::disconnect(sender, sender->metaObject()->method(index), nullptr, QMetaMethod());
    }

    static QList<GuiDataUpdate *> referenceEditors()
    {
        QList<GuiDataUpdate *> editors;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *editor = qobject_cast<GuiDataUpdate *>(w))
                editors << editor;
        return editors;
    }

    static int stored(const char *key) { return QSettings().value(QLatin1String(key)).toInt(); }

private slots:
    void init() { m = std::make_unique<Fixture>(); }
    void cleanup() { m.reset(); }

    // The reference data editor has no parent: the window deletes it with what
    // else its start-up made.
    void startUpBuildsTheWindowTellsTheSplashAndDestructionDeletesWhatItMade()
    {
        const int editorsBefore = referenceEditors().size();
        auto window = std::make_unique<GuiVornakel>(m->files.path());
        QSignalSpy spy(window.get(), &GuiVornakel::sigShowSplashMessage);
        QVERIFY(window->initVornakel());
        QVERIFY(m->answerer.seen().isEmpty());
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("Loading Vornakel..."));
        // The schema updater's progress reaches the splash through the window.
        QCOMPARE(spy.last().at(0).toString(), QStringLiteral("Updated Database schema to version '20120320'"));

        QCOMPARE(window->windowTitle(), QStringLiteral("Vornakel") + m->files.path());
        QCOMPARE(window->activeDbLocation(), m->files.path());
        QVERIFY(QSqlDatabase::database(m->files.path(), false).isOpen() && !window->isVisible());
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
        QSignalSpy shown(window.get(), &GuiVornakel::sigShown);
        window->firstShow(); // tells main to close the splash
        QCOMPARE(shown.count(), 1);
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
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

    void everyWiredSignalHasAReceiver()
    {
        auto window = start();
        QVERIFY(window);
        // Every numeric field below the window, the standard-value dialogs' too.
        const QList<GuiLineEdit *> fields = window->findChildren<GuiLineEdit *>();
        for (GuiStandardValue *dialog : window->findChildren<GuiStandardValue *>())
            QVERIFY(fields.contains(dialog->qtValue) && fields.contains(dialog->qtTemperature));
        for (GuiLineEdit *field : fields)
            QVERIFY2(connected(field, "sigValueEdited()") && connected(field, "sigValueChanged()"),
                qPrintable(field->objectName()));
        const char *const wiring[][2] = {
            { "triggered(bool)",
                "actionCheck_for_updates actionAbout_Vornakel actionAdditional_Modules actionDebug_Console "
                "actionNew_Data_Entry_Form actionOpen_Different_Experimental_Database actionImport "
                "actionChange_Program_Defaults actionUpdate_Amino_Acid_Data actionUpdate_Conjugate_Data "
                "actionUpdate_Denaturants_Data actionUpdate_BufferComponents_Data actionUpdate_Extinction_Data "
                "actionContents actionSearch_for_Help_On actionSave_Sample_Info_in_Database "
                "actionSave_Buffer_Info_in_Database actionSave_Experiment_Info_in_Database "
                "actionSave_Results_in_Database actionExit" },
            { "toggled(bool)",
                "qtVbarDirectEntry qtDensityDirectEntry qtViscosityDirectEntry qtHydrateNothing qtHydrateProlate "
                "qtHydrateOblate qtHydrateComputed qtHydrateDelta1 qtShapeProlate qtShapeOblate qtShapeCylinder" },
            { "clicked(bool)",
                "qtVbarStandard qtVbarCompute qtDensityStandard qtDensityCompute qtViscosityStandard "
                "qtViscosityCompute qtskButton qtExactMolecularWeight qtFromSigma qtFromComposition qtSampleSaveToDB "
                "qtBufferSaveToDB qtExperimentSaveToDB qtResultsSaveToDB qtGraphShapeButton qtAvsBGraphButton" },
            { "currentIndexChanged(int)",
                "qtBufferName qtBufferSortBy qtSampleName qtSampleSortBy qtExperimentName qtExperimentSortBy "
                "qtResultsName qtResultsSortBy" },
            { "textChanged(QString)", "qtSedEquilibriumMR" },
            { "currentChanged(int)", "qtTabWidget" },
            { "editingFinished()", "qtHydrateRatio qtSedEquilibriumTemp" },
            { "sigCalculatedVBarAccepted(qreal) sigCalculatedMrAccepted(qreal) sigCalculatedHydrationAccepted(qreal)",
                "qtStackComposition" },
            { "sigCalculatedDensityAccepted(qreal) sigCalculatedViscosityAccepted(qreal)", "qtStackBufferComponents" },
            { "sigPageCanceled() sigPageAccepted() sigSaveToDatabase()", "qtStackComposition qtStackBufferComponents" },
        };
        for (const auto &row : wiring)
            for (const QString &name : QString::fromLatin1(row[1]).split(QLatin1Char(' ')))
                for (const QString &signal : QString::fromLatin1(row[0]).split(QLatin1Char(' '))) {
                    // The sample page has a tab widget of the same name.
                    QObject *sender = name == QLatin1String("qtTabWidget") ? window->qtTabWidget
                                                                           : window->findChild<QObject *>(name);
                    QVERIFY2(sender && connected(sender, qPrintable(signal)), qPrintable(name + ' ' + signal));
                }
        QVERIFY(connected(window.get(), "sigModulePath(QString,QString)"));
        // The reference data editor tells both composition pages of new and changed records.
        GuiDataUpdate *editor = referenceEditors().last();
        for (const char *signal :
            { "sigNewBufferComponentAdded(int)", "sigComponentRecordChanged(int)", "sigNewAminoRecordAdded(int)",
                "sigAminoRecordChanged(int)", "sigNewDenaturantRecordAdded(int)", "sigDenaturantRecordChanged(int)",
                "sigNewConjugateRecordAdded(int)", "sigConjugateRecordChanged(int)" })
            QVERIFY2(connected(editor, signal), signal);
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
        const QString path = m->files.path();
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

    // A file that is no database stops the start with a box that names it and says what to do; not a byte
    // of it is written.
    void aFileThatIsNoDatabaseNamesItselfAndStaysAsItWas()
    {
        const QString path = m->files.path(QStringLiteral("notes.db"));
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
        QCOMPARE(QDir(m->files.dir()).entryList(QDir::Files), QStringList { "notes.db" });
    }

    // A first start takes the default size and leaves the position to the window
    // system; the geometry is stored as soon as it changes and read by the next window.
    void theGeometryIsStoredAtOnceAndKeptForTheNextWindow()
    {
        auto first = start();
        QVERIFY(first);
        QCOMPARE(first->geometry().size(), QSize(773, 739));
        QVERIFY(!first->testAttribute(Qt::WA_Moved));
        first->show();
        QVERIFY(QTest::qWaitForWindowExposed(first.get()));
        first->setGeometry(37, 53, 812, 644);
        QTRY_COMPARE(stored("MainWindow/geometry/width"), 812); // at once, not only when the window goes
        const QRect kept = first->geometry();
        first.reset();
        auto second = start(QStringLiteral("second.db"));
        QVERIFY(second);
        QVERIFY(second->testAttribute(Qt::WA_Moved));
        QCOMPARE(second->geometry(), kept);
    }
};

TEST_MAIN(TstGuiVornakel)
#include "tst_gui_vornakel.moc"
