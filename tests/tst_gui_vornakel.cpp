#include "app/app_plugin.h"
#include "app/app_scriptobject.h"
#include "gui/gui_dataupdate.h"
#include "gui/gui_lineedit.h"
#include "gui/gui_splashscreen.h"
#include "gui/gui_standardvalue.h"
#include "gui/gui_vornakel.h"
#include "sql/sql_updatedatabase.h"
#include "test_environment.h"
#include "test_modalanswerer.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QMetaMethod>
#include <QPointer>
#include <QScriptEngine>
#include <QSettings>
#include <QSignalSpy>
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

    std::unique_ptr<TestSettings> m_settings;
    std::unique_ptr<TestDatabaseFiles> m_files;
    std::unique_ptr<TestModalAnswerer> m_answerer;

    std::unique_ptr<GuiVornakel> start(const QString &fileName = QStringLiteral("test.db"))
    {
        auto window = std::make_unique<GuiVornakel>(m_files->path(fileName));
        return window->initVornakel() ? std::move(window) : nullptr;
    }

    // A current database on which one statement was run; empty if that failed.
    QString databaseAfter(const QString &statement)
    {
        const QString path = m_files->path();
        SqlUpdateDatabase updater;
        if (!updater.openAndUpdate(path))
            return QString();
        QSqlQuery query(QSqlDatabase::database(path, false));
        return query.exec(statement) ? path : QString();
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
    void init()
    {
        m_settings = std::make_unique<TestSettings>();
        m_files = std::make_unique<TestDatabaseFiles>();
        m_answerer = std::make_unique<TestModalAnswerer>();
    }
    void cleanup()
    {
        m_answerer.reset();
        m_files.reset();
        m_settings.reset();
    }

    void startUpBuildsTheWindowAndTellsTheSplash()
    {
        GuiVornakel window(m_files->path());
        QSignalSpy spy(&window, &GuiVornakel::sigShowSplashMessage);
        QVERIFY(window.initVornakel());
        QVERIFY(m_answerer->seen().isEmpty());
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("Loading Vornakel..."));
        // The schema updater's progress reaches the splash through the window.
        QCOMPARE(spy.last().at(0).toString(), QStringLiteral("Updated Database schema to version '20120320'"));

        QCOMPARE(window.windowTitle(), QStringLiteral("Vornakel") + m_files->path());
        QCOMPARE(window.activeDbLocation(), m_files->path());
        QVERIFY(QSqlDatabase::database(m_files->path(), false).isOpen());
        QVERIFY(!window.isVisible());
        QCOMPARE(window.stackedWidget->currentWidget(), window.qtStackVornakel);
        QCOMPARE(window.qtTabWidget->currentWidget(), window.qtTabSample);
        QCOMPARE(window.statusBar()->currentMessage(), QStringLiteral("Ready"));
        for (QComboBox *sortBy :
            { window.qtBufferSortBy, window.qtSampleSortBy, window.qtResultsSortBy, window.qtExperimentSortBy })
            QCOMPARE(QStringList({ sortBy->itemText(0), sortBy->itemText(1) }), QStringList({ "Date", "Name" }));
        QCOMPARE(window.qtSedEquilibriumMR->styleSheet(), QStringLiteral("color: rgb(28, 170, 29);"));
    }

    // A script exception reaches the person, never dropped silently.
    void scriptExceptionsAreShown()
    {
        auto window = start();
        QVERIFY(window);
        auto *module = qobject_cast<AppQtScriptPlugin *>(window->calculationsPlugin());
        QVERIFY(module);
        module->engine()->evaluate(QStringLiteral("function boom() { throw new Error('bad input'); }"));
        m_answerer->answerMessageBox(QMessageBox::Ok);
        delete module->execOne(QStringLiteral("boom"), {});
        QCOMPARE(m_answerer->titles(), QStringList { QStringLiteral("Plugin Error") });
        QVERIFY(m_answerer->texts().first().contains(QStringLiteral("bad input")));
        QCOMPARE(m_answerer->seen().first().icon, QMessageBox::Information);
    }

    // Each composition page leads back to the tabs, by OK and by Cancel; cancelling
    // the buffer page re-presses the sources chosen before it opened.
    void compositionPagesLeadBackToTheTabs_data()
    {
        QTest::addColumn<QString>("opener");
        QTest::addColumn<bool>("accept");
        QTest::newRow("sample, OK") << "qtVbarCompute" << true;
        QTest::newRow("sample, Cancel") << "qtVbarCompute" << false;
        QTest::newRow("buffer, OK") << "qtDensityCompute" << true;
        QTest::newRow("buffer, Cancel") << "qtDensityCompute" << false;
    }
    void compositionPagesLeadBackToTheTabs()
    {
        QFETCH(QString, opener);
        QFETCH(bool, accept);
        auto window = start();
        QVERIFY(window);
        window->show();
        auto *button = window->findChild<QAbstractButton *>(opener);
        QVERIFY(button);
        window->qtTabWidget->setCurrentWidget(window->qtTabSolvent);
        QTest::mouseClick(window->qtDensityDirectEntry, Qt::LeftButton);
        window->qtTabWidget->setCurrentWidget(
            opener == QLatin1String("qtVbarCompute") ? window->qtTabSample : window->qtTabSolvent);
        QTest::mouseClick(button, Qt::LeftButton);
        QWidget *page = window->stackedWidget->currentWidget();
        QVERIFY(page != window->qtStackVornakel);
        auto *box = page->findChild<QDialogButtonBox *>(QStringLiteral("qtButtonBox"));
        QVERIFY(box);
        QTest::mouseClick(box->button(accept ? QDialogButtonBox::Ok : QDialogButtonBox::Cancel), Qt::LeftButton);
        QCOMPARE(window->stackedWidget->currentWidget(), window->qtStackVornakel);
        if (page == window->qtStackBufferComponents && !accept)
            QVERIFY(window->qtDensityDirectEntry->isChecked());
    }

    // Each field starts at (and, emptied, returns to) its default, and keeps its
    // own format and range.
    void numericFieldsKeepTheirDefaultFormatAndRange_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("defaultText");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("valid");
        const struct
        {
            const char *tag, *name, *defaultText, *input, *shown;
            bool valid;
        } rows[] = {
            { "temperature above range", "qtSedEquilibriumTemp", "20.00", "50", "50", false },
            { "velocity temperature", "qtSedVelocityTemp", "20.00", "45", "45.00", true },
            { "vbar zero", "qtSampleVbar", "0.73000", "0", "0", false },
            { "density zero", "qtBufferDensity", "0.998230", "0", "0", false },
            { "viscosity zero", "qtBufferViscosity", "1.0020E-02", "0", "0", false },
            { "pH above range", "qtBufferpH", "7.0000", "15", "15", false },
            { "k negative", "qtSedVelocityK", "0.009", "-1", "-1", false },
            { "rpm above range", "qtSedEquilibriumRPM", "", "90001", "90001", false },
            { "rpm below range", "qtSedEquilibriumRPM", "", "60", "60", false },
            { "mr", "qtSedEquilibriumMR", "", "14300", "14300.00", true },
            { "concentration", "qtSedVelocityConcentration", "", "0.5", "5.0000e-01", true },
            { "coefficient unbounded", "qtSedVelocityCoefficient", "", "-1", "-1.0000e+00", true },
            { "mb", "qtExperimentResultsMb", "", "123.456", "123.46", true },
            { "sigma", "qtSedEquilibriumSigma", "", "1.23456789", "1.23457", true },
        };
        for (const auto &row : rows)
            QTest::newRow(row.tag) << row.name << row.defaultText << row.input << row.shown << row.valid;
    }
    void numericFieldsKeepTheirDefaultFormatAndRange()
    {
        QFETCH(QString, name);
        QFETCH(QString, defaultText);
        QFETCH(QString, input);
        QFETCH(QString, shown);
        QFETCH(bool, valid);
        auto window = start();
        QVERIFY(window);
        auto *field = window->findChild<GuiLineEdit *>(name);
        QVERIFY(field);
        QCOMPARE(field->text(), defaultText);
        field->setText(input);
        QCOMPARE(field->text(), shown);
        QCOMPARE(field->isValid(), valid);
        field->clear();
        QCOMPARE(field->text(), defaultText);
    }

    // Each symbol sits inside the field it labels; the stop sign in the molar
    // mass leaves on any change of it.
    void symbolsSitInsideTheirFields()
    {
        auto window = start();
        QVERIFY(window);
        const QString pairs = QStringLiteral(
            "qtSedVelocityKLabel>qtSedVelocityK qtskButton>qtSedVelocityKLabel qtSampleVbarUnitLabel>qtSampleVbar "
            "qtBufferpHLabel>qtBufferpH qtBufferDensityUnitLabel>qtBufferDensity "
            "qtBufferViscosityUnitLabel>qtBufferViscosity qtSedEquilibriumTempLabel>qtSedEquilibriumTemp "
            "qtSedEquilibriumSigmaLabel>qtSedEquilibriumSigma qtSedEquilibriumRPMLabel>qtSedEquilibriumRPM "
            "qtSedEquilibriumMRLabel>qtSedEquilibriumMR qtStopSign>qtSedEquilibriumMR "
            "qtSedVelocityTempLabel>qtSedVelocityTemp qtSedVelocityConcentrationLabel>qtSedVelocityConcentration "
            "qtSedVelocityCoefficientLabel>qtSedVelocityCoefficient qtExperimentResultsMbLabel>qtExperimentResultsMb "
            "qtExperimentResultsRpLabel>qtExperimentResultsRp qtS20WLabel>qtExperimentResultsS");
        for (const QString &pair : pairs.split(QLatin1Char(' '))) {
            QWidget *label = window->findChild<QWidget *>(pair.section(QLatin1Char('>'), 0, 0));
            QVERIFY2(
                label && label->parentWidget()->objectName() == pair.section(QLatin1Char('>'), 1), qPrintable(pair));
        }
        QVERIFY(!window->qtStopSign->isHidden());
        window->qtSedEquilibriumMR->setText(QStringLiteral("14300"));
        QVERIFY(window->qtStopSign->isHidden());
    }

    // Choosing direct entry shows the "No Temp Correction" caption beside the
    // field; the symbol inside the field must stay in sight.
    void symbolsStayInsideTheirFieldsWhenTheCaptionAppears()
    {
        auto window = start();
        QVERIFY(window);
        window->firstShow();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QList<QPair<QPushButton *, QWidget *>> pairs { { window->qtVbarDirectEntry,
                                                                 window->qtSampleVbarUnitLabel },
            { window->qtDensityDirectEntry, window->qtBufferDensityUnitLabel },
            { window->qtViscosityDirectEntry, window->qtBufferViscosityUnitLabel } };
        for (const auto &pair : pairs) {
            window->qtTabWidget->setCurrentWidget(
                pair.first == window->qtVbarDirectEntry ? window->qtTabSample : window->qtTabSolvent);
            QTest::mouseClick(pair.first, Qt::LeftButton);
            QVERIFY(pair.first->isChecked());
            QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
            QCoreApplication::processEvents();
            const QRect symbol = pair.second->geometry();
            QVERIFY2(
                pair.second->isVisible() && symbol.left() >= 0 && symbol.right() < pair.second->parentWidget()->width(),
                qPrintable(pair.second->objectName()));
        }
    }

    void everyWiredSignalHasAReceiver()
    {
        auto window = start();
        QVERIFY(window);
        // Every numeric field below the window, the standard-value dialogs' too.
        const QList<GuiLineEdit *> fields = window->findChildren<GuiLineEdit *>();
        for (GuiStandardValue *dialog : window->findChildren<GuiStandardValue *>())
            QVERIFY(fields.contains(dialog->qtValue) && fields.contains(dialog->qtTemperature));
        for (GuiLineEdit *field : fields) {
            QVERIFY2(connected(field, "sigValueEdited()"), qPrintable(field->objectName()));
            QVERIFY2(connected(field, "sigValueChanged()"), qPrintable(field->objectName()));
        }
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
            { "sigCalculatedVBarAccepted(qreal)", "qtStackComposition" },
            { "sigCalculatedMrAccepted(qreal)", "qtStackComposition" },
            { "sigCalculatedHydrationAccepted(qreal)", "qtStackComposition" },
            { "sigCalculatedDensityAccepted(qreal)", "qtStackBufferComponents" },
            { "sigCalculatedViscosityAccepted(qreal)", "qtStackBufferComponents" },
            { "sigPageCanceled()", "qtStackComposition qtStackBufferComponents" },
            { "sigPageAccepted()", "qtStackComposition qtStackBufferComponents" },
            { "sigSaveToDatabase()", "qtStackComposition qtStackBufferComponents" },
        };
        for (const auto &row : wiring)
            for (const QString &name : QString::fromLatin1(row[1]).split(QLatin1Char(' '))) {
                QObject *sender = window->findChild<QObject *>(name);
                QVERIFY2(sender && connected(sender, row[0]), qPrintable(name + QLatin1Char(' ') + row[0]));
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

    // The reference data editor has no parent: the window deletes it with what
    // else its start-up made.
    void destructionDeletesWhatTheStartUpMade()
    {
        const int editorsBefore = referenceEditors().size();
        auto window = start();
        QVERIFY(window);
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

    // The first show tells main to close the splash; closing only hides the window.
    void firstShowShowsTheWindowOnceAndClosingOnlyHidesIt()
    {
        auto window = start();
        QVERIFY(window);
        QSignalSpy shown(window.get(), &GuiVornakel::sigShown);
        window->firstShow();
        QCOMPARE(shown.count(), 1);
        QVERIFY(window->isVisible());
        QVERIFY(window->close());
        QVERIFY(!window->isVisible());
        window->show();
        QVERIFY(window->isVisible());
    }

    // The splash time ends while a start-up message box waits for the person:
    // the splash goes at once, the window only once it is built, here never;
    // the stored geometry is not replaced by that of a window nobody saw.
    void aFailedStartShowsNoWindowAndLeavesTheStoredGeometryAlone()
    {
        QSettings().setValue(QStringLiteral("MainWindow/geometry/width"), 900);
        const QString path = m_files->path(QStringLiteral("folder.db"));
        QVERIFY(QDir().mkpath(path)); // a folder where the database file should be
        bool windowShown = true;
        bool splashShown = true;
        {
            GuiVornakel window(path);
            GuiSplashScreen splash(QPixmap(QStringLiteral(":files/images/ravo.jpg")));
            connect(&window, &GuiVornakel::sigShown, &splash, &QWidget::close);
            splash.show();
            m_answerer->answerWith([&](QWidget *box) {
                window.firstShow();
                windowShown = window.isVisible();
                splashShown = splash.isVisible();
                qobject_cast<QMessageBox *>(box)->button(QMessageBox::Ok)->click();
            });
            QVERIFY(!window.initVornakel());
            QVERIFY(!window.isVisible());
        }
        QCOMPARE(m_answerer->seen().size(), 1);
        QVERIFY(!windowShown);
        QVERIFY(!splashShown);
        QCOMPARE(stored("MainWindow/geometry/width"), 900);
    }

    // Unreadable defaults cost a message box, not the start-up: they read as 0.
    // A splash time ending meanwhile shows the window only at the end.
    void aStartWithUnreadableDefaultsGoesOnAndShowsTheWindowAtItsEnd()
    {
        const QString path = databaseAfter(QStringLiteral("DROP TABLE defaults"));
        QVERIFY(!path.isEmpty());
        GuiVornakel window(path);
        QSignalSpy shown(&window, &GuiVornakel::sigShown);
        bool windowShown = true;
        m_answerer->answerWith([&](QWidget *box) {
            window.firstShow();
            windowShown = window.isVisible();
            qobject_cast<QMessageBox *>(box)->button(QMessageBox::Ok)->click();
        });
        QVERIFY(window.initVornakel());
        QVERIFY(!windowShown);
        QVERIFY(window.isVisible());
        QVERIFY(shown.count() >= 1);
        QCOMPARE(window.qtSedEquilibriumTemp->text(), QStringLiteral("0.00"));
        QCOMPARE(window.qtSedVelocityK->text(), QStringLiteral("0"));
    }

    // A first start takes the default size and leaves the position to the window
    // system; the geometry is stored as soon as it changes and read by the next window.
    void theGeometryIsStoredAtOnceAndKeptForTheNextWindow()
    {
        QRect kept;
        {
            auto first = start();
            QVERIFY(first);
            QCOMPARE(first->geometry().size(), QSize(773, 739));
            QVERIFY(!first->testAttribute(Qt::WA_Moved));
            first->show();
            QVERIFY(QTest::qWaitForWindowExposed(first.get()));
            first->setGeometry(37, 53, 812, 644);
            QTRY_COMPARE(stored("MainWindow/geometry/width"), 812);
            QCOMPARE(stored("MainWindow/geometry/height"), 644);
            kept = first->geometry();
            QCOMPARE(stored("MainWindow/geometry/x"), kept.x());
            QCOMPARE(stored("MainWindow/geometry/y"), kept.y());
        }
        auto second = start(QStringLiteral("second.db"));
        QVERIFY(second);
        QVERIFY(second->testAttribute(Qt::WA_Moved));
        QCOMPARE(second->geometry(), kept);
    }
};

QTEST_MAIN(TstGuiVornakel)
#include "tst_gui_vornakel.moc"
