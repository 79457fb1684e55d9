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
#include "test_modalanswerer.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QMetaMethod>
#include <QPointer>
#include <QScriptEngine>
#include <QSettings>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
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
        if (!window->initVornakel())
            return nullptr;
        return window;
    }

    // Whether the signal had a receiver. Cuts its connections to find out, so
    // each check is the last use of that signal in a test.
    static bool connected(QObject *sender, const char *signature)
    {
        const int index = sender->metaObject()->indexOfSignal(QMetaObject::normalizedSignature(signature));
        if (index < 0)
            return false;
        return QObject::disconnect(sender, sender->metaObject()->method(index), nullptr, QMetaMethod());
    }

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

    void theFoldersFollowTheProgramsFolder()
    {
        const QString bin = QCoreApplication::applicationDirPath();
        // The build tree has Modules/ beside bin/.
        QCOMPARE(GuiVornakel::modulesPath(), bin + QStringLiteral("/../Modules"));
        const QString database = GuiVornakel::databasePath();
        QVERIFY(database == bin + QStringLiteral("/../Database/vornakel.db")
            || database == bin + QStringLiteral("/vornakel.db"));
        QCOMPARE(database == bin + QStringLiteral("/../Database/vornakel.db"),
            QFile::exists(bin + QStringLiteral("/../Database/vornakel.db")));
    }

    void startUpTellsTheSplashFirst()
    {
        GuiVornakel window(m_files->path());
        QSignalSpy spy(&window, &GuiVornakel::sigShowSplashMessage);
        QVERIFY(window.initVornakel());
        QVERIFY(spy.count() >= 2);
        QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("Loading Vornakel..."));
        // The schema updater's progress reaches the splash through the window.
        QCOMPARE(spy.last().at(0).toString(), QStringLiteral("Updated Database schema to version '20120320'"));
        QVERIFY(m_answerer->seen().isEmpty());
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
        window->qtTabWidget->setCurrentWidget(opener == QLatin1String("qtVbarCompute") ? window->qtTabSample
                                                                                      : window->qtTabSolvent);
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

    void startUpBuildsTheWindow()
    {
        auto window = start();
        QVERIFY(window);
        QCOMPARE(window->windowTitle(), QStringLiteral("Vornakel") + m_files->path());
        QCOMPARE(window->activeDbLocation(), m_files->path());
        QVERIFY(!window->isVisible());
        QCOMPARE(window->stackedWidget->currentWidget(), window->qtStackVornakel);
        QCOMPARE(window->qtTabWidget->currentWidget(), window->qtTabSample);
        QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Ready"));
        QVERIFY(window->qtErrorText->text().isEmpty());
        QVERIFY(QSqlDatabase::database(m_files->path(), false).isOpen());
        for (QComboBox *sortBy :
            { window->qtBufferSortBy, window->qtSampleSortBy, window->qtResultsSortBy, window->qtExperimentSortBy }) {
            QCOMPARE(sortBy->count(), 2);
            QCOMPARE(sortBy->itemText(0), QStringLiteral("Date"));
            QCOMPARE(sortBy->itemText(1), QStringLiteral("Name"));
            QVERIFY(!sortBy->itemData(0).isValid());
        }
        QCOMPARE(window->qtSedEquilibriumMR->styleSheet(), QStringLiteral("color: rgb(28, 170, 29);"));
        for (QWidget *w :
            QList<QWidget *> { window->qtExactMolecularWeight, window->qtFromSigma, window->qtVbarDirectEntry,
                window->qtVbarStandard, window->qtVbarCompute, window->qtDensityDirectEntry, window->qtDensityStandard,
                window->qtDensityCompute, window->qtViscosityDirectEntry, window->qtViscosityStandard,
                window->qtViscosityCompute, window->qtExperimentResultsRp, window->qtExperimentResultsS })
            QVERIFY2(w->isEnabled(), qPrintable(w->objectName()));
    }

    void theWindowOwnsThreeStandardValueDialogs()
    {
        auto window = start();
        QVERIFY(window);
        const QList<GuiStandardValue *> dialogs = window->findChildren<GuiStandardValue *>();
        QCOMPARE(dialogs.size(), 3);
        QVERIFY(qobject_cast<GuiVbarStandardValue *>(dialogs.at(0)));
        QVERIFY(qobject_cast<GuiDensityStandardValue *>(dialogs.at(1)));
        QVERIFY(qobject_cast<GuiViscosityStandardValue *>(dialogs.at(2)));
    }

    void numericFieldsTakeTheDefaultsRow_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("equilibrium temperature") << "qtSedEquilibriumTemp"
                                                 << "20.00";
        QTest::newRow("velocity temperature") << "qtSedVelocityTemp"
                                              << "20.00";
        QTest::newRow("vbar") << "qtSampleVbar"
                              << "0.73000";
        QTest::newRow("density") << "qtBufferDensity"
                                 << "0.998230";
        QTest::newRow("viscosity") << "qtBufferViscosity"
                                   << "1.0020E-02";
        QTest::newRow("pH") << "qtBufferpH"
                            << "7.0000";
        QTest::newRow("k") << "qtSedVelocityK"
                           << "0.009";
        QTest::newRow("rpm") << "qtSedEquilibriumRPM"
                             << "";
        QTest::newRow("mr") << "qtSedEquilibriumMR"
                            << "";
        QTest::newRow("sigma") << "qtSedEquilibriumSigma"
                               << "";
        QTest::newRow("concentration") << "qtSedVelocityConcentration"
                                       << "";
        QTest::newRow("coefficient") << "qtSedVelocityCoefficient"
                                     << "";
        QTest::newRow("mb") << "qtExperimentResultsMb"
                            << "";
    }
    void numericFieldsTakeTheDefaultsRow()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        auto window = start();
        QVERIFY(window);
        auto *field = window->findChild<GuiLineEdit *>(name);
        QVERIFY(field);
        QCOMPARE(field->text(), text);
        // Emptied, a field returns to its default.
        field->clear();
        QCOMPARE(field->text(), text);
    }

    void numericFieldsKeepTheirFormatAndRange_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("valid");
        QTest::newRow("rpm") << "qtSedEquilibriumRPM"
                             << "50000"
                             << "50000" << true;
        QTest::newRow("rpm above range") << "qtSedEquilibriumRPM"
                                         << "90001"
                                         << "90001" << false;
        QTest::newRow("rpm below range") << "qtSedEquilibriumRPM"
                                         << "60"
                                         << "60" << false;
        QTest::newRow("temperature") << "qtSedEquilibriumTemp"
                                     << "4"
                                     << "4.00" << true;
        QTest::newRow("temperature above range") << "qtSedEquilibriumTemp"
                                                 << "50"
                                                 << "50" << false;
        QTest::newRow("velocity temperature") << "qtSedVelocityTemp"
                                              << "45"
                                              << "45.00" << true;
        QTest::newRow("vbar") << "qtSampleVbar"
                              << "0.7"
                              << "0.70000" << true;
        QTest::newRow("vbar zero") << "qtSampleVbar"
                                   << "0"
                                   << "0" << false;
        QTest::newRow("pH") << "qtBufferpH"
                            << "7.5"
                            << "7.5000" << true;
        QTest::newRow("pH above range") << "qtBufferpH"
                                        << "15"
                                        << "15" << false;
        QTest::newRow("density") << "qtBufferDensity"
                                 << "1.0"
                                 << "1.000000" << true;
        QTest::newRow("viscosity") << "qtBufferViscosity"
                                   << "0.01"
                                   << "1.0000E-02" << true;
        QTest::newRow("mr") << "qtSedEquilibriumMR"
                            << "14300"
                            << "14300.00" << true;
        QTest::newRow("mr negative") << "qtSedEquilibriumMR"
                                     << "-1"
                                     << "-1" << false;
        QTest::newRow("concentration") << "qtSedVelocityConcentration"
                                       << "0.5"
                                       << "5.0000e-01" << true;
        QTest::newRow("coefficient") << "qtSedVelocityCoefficient"
                                     << "4.5e-13"
                                     << "4.5000e-13" << true;
        QTest::newRow("coefficient unbounded") << "qtSedVelocityCoefficient"
                                               << "-1"
                                               << "-1.0000e+00" << true;
        QTest::newRow("k") << "qtSedVelocityK"
                           << "0.0095"
                           << "0.0095" << true;
        QTest::newRow("k negative") << "qtSedVelocityK"
                                    << "-1"
                                    << "-1" << false;
        QTest::newRow("mb") << "qtExperimentResultsMb"
                            << "123.456"
                            << "123.46" << true;
        QTest::newRow("sigma") << "qtSedEquilibriumSigma"
                               << "1.23456789"
                               << "1.23457" << true;
        QTest::newRow("rstokes") << "qtRStokes"
                                 << "2.5e-07"
                                 << "2.5e-07" << true;
    }
    void numericFieldsKeepTheirFormatAndRange()
    {
        QFETCH(QString, name);
        QFETCH(QString, input);
        QFETCH(QString, shown);
        QFETCH(bool, valid);
        auto window = start();
        QVERIFY(window);
        auto *field = window->findChild<GuiLineEdit *>(name);
        QVERIFY(field);
        field->setText(input);
        QCOMPARE(field->text(), shown);
        QCOMPARE(field->isValid(), valid);
    }

    void unitLabelsSitInsideTheirFields_data()
    {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("field");
        QTest::newRow("k") << "qtSedVelocityKLabel"
                           << "qtSedVelocityK";
        QTest::newRow("k button") << "qtskButton"
                                  << "qtSedVelocityKLabel";
        QTest::newRow("vbar") << "qtSampleVbarUnitLabel"
                              << "qtSampleVbar";
        QTest::newRow("pH") << "qtBufferpHLabel"
                            << "qtBufferpH";
        QTest::newRow("density") << "qtBufferDensityUnitLabel"
                                 << "qtBufferDensity";
        QTest::newRow("viscosity") << "qtBufferViscosityUnitLabel"
                                   << "qtBufferViscosity";
        QTest::newRow("equilibrium temperature") << "qtSedEquilibriumTempLabel"
                                                 << "qtSedEquilibriumTemp";
        QTest::newRow("sigma") << "qtSedEquilibriumSigmaLabel"
                               << "qtSedEquilibriumSigma";
        QTest::newRow("rpm") << "qtSedEquilibriumRPMLabel"
                             << "qtSedEquilibriumRPM";
        QTest::newRow("mr") << "qtSedEquilibriumMRLabel"
                            << "qtSedEquilibriumMR";
        QTest::newRow("stop sign") << "qtStopSign"
                                   << "qtSedEquilibriumMR";
        QTest::newRow("velocity temperature") << "qtSedVelocityTempLabel"
                                              << "qtSedVelocityTemp";
        QTest::newRow("concentration") << "qtSedVelocityConcentrationLabel"
                                       << "qtSedVelocityConcentration";
        QTest::newRow("coefficient") << "qtSedVelocityCoefficientLabel"
                                     << "qtSedVelocityCoefficient";
        QTest::newRow("mb") << "qtExperimentResultsMbLabel"
                            << "qtExperimentResultsMb";
        QTest::newRow("rp") << "qtExperimentResultsRpLabel"
                            << "qtExperimentResultsRp";
        QTest::newRow("s20w") << "qtS20WLabel"
                              << "qtExperimentResultsS";
    }
    void unitLabelsSitInsideTheirFields()
    {
        QFETCH(QString, label);
        QFETCH(QString, field);
        auto window = start();
        QVERIFY(window);
        QWidget *child = window->findChild<QWidget *>(label);
        QVERIFY(child);
        QCOMPARE(child->parentWidget()->objectName(), field);
    }

    void everyNumericFieldBelowTheWindowIsWired()
    {
        auto window = start();
        QVERIFY(window);
        const QList<GuiLineEdit *> fields = window->findChildren<GuiLineEdit *>();
        // The main form's sixteen, the pages' and two in each standard-value dialog.
        QVERIFY(fields.size() >= 16 + 6);
        for (GuiStandardValue *dialog : window->findChildren<GuiStandardValue *>()) {
            QVERIFY(fields.contains(dialog->qtValue));
            QVERIFY(fields.contains(dialog->qtTemperature));
        }
        for (GuiLineEdit *field : fields) {
            QVERIFY2(connected(field, "sigValueEdited()"), qPrintable(field->objectName()));
            QVERIFY2(connected(field, "sigValueChanged()"), qPrintable(field->objectName()));
        }
        // A field made after the wiring is not caught.
        auto *late = new GuiLineEdit(window->qtTabExperiment);
        QVERIFY(!connected(late, "sigValueEdited()"));
        QVERIFY(!connected(late, "sigValueChanged()"));
    }

    void everyWiredSignalHasAReceiver_data()
    {
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QString>("signal");
        for (const char *action : { "actionCheck_for_updates", "actionAbout_Vornakel", "actionAdditional_Modules",
                 "actionDebug_Console", "actionNew_Data_Entry_Form", "actionOpen_Different_Experimental_Database",
                 "actionImport", "actionChange_Program_Defaults", "actionUpdate_Amino_Acid_Data",
                 "actionUpdate_Conjugate_Data", "actionUpdate_Denaturants_Data", "actionUpdate_BufferComponents_Data",
                 "actionUpdate_Extinction_Data", "actionContents", "actionSearch_for_Help_On",
                 "actionSave_Sample_Info_in_Database", "actionSave_Buffer_Info_in_Database",
                 "actionSave_Experiment_Info_in_Database", "actionSave_Results_in_Database", "actionExit" })
            QTest::newRow(action) << QString::fromLatin1(action) << "triggered(bool)";
        for (const char *button : { "qtVbarDirectEntry", "qtDensityDirectEntry", "qtViscosityDirectEntry",
                 "qtHydrateNothing", "qtHydrateProlate", "qtHydrateOblate", "qtHydrateComputed", "qtHydrateDelta1",
                 "qtShapeProlate", "qtShapeOblate", "qtShapeCylinder" })
            QTest::newRow(button) << QString::fromLatin1(button) << "toggled(bool)";
        for (const char *button : { "qtVbarStandard", "qtVbarCompute", "qtDensityStandard", "qtDensityCompute",
                 "qtViscosityStandard", "qtViscosityCompute", "qtskButton", "qtExactMolecularWeight", "qtFromSigma",
                 "qtFromComposition", "qtSampleSaveToDB", "qtBufferSaveToDB", "qtExperimentSaveToDB",
                 "qtResultsSaveToDB", "qtGraphShapeButton", "qtAvsBGraphButton" })
            QTest::newRow(button) << QString::fromLatin1(button) << "clicked(bool)";
        for (const char *combo : { "qtBufferName", "qtBufferSortBy", "qtSampleName", "qtSampleSortBy",
                 "qtExperimentName", "qtExperimentSortBy", "qtResultsName", "qtResultsSortBy" })
            QTest::newRow(combo) << QString::fromLatin1(combo) << "currentIndexChanged(int)";
        QTest::newRow("mr text") << "qtSedEquilibriumMR"
                                 << "textChanged(QString)";
        QTest::newRow("tabs") << "qtTabWidget"
                              << "currentChanged(int)";
        QTest::newRow("hydration ratio") << "qtHydrateRatio"
                                         << "editingFinished()";
        QTest::newRow("temperature") << "qtSedEquilibriumTemp"
                                     << "editingFinished()";
        for (const char *signal : { "sigCalculatedVBarAccepted(qreal)", "sigCalculatedMrAccepted(qreal)",
                 "sigCalculatedHydrationAccepted(qreal)", "sigPageCanceled()", "sigPageAccepted()",
                 "sigSaveToDatabase()" })
            QTest::newRow(qPrintable(QStringLiteral("sample page ") + QLatin1String(signal)))
                << "qtStackComposition" << QString::fromLatin1(signal);
        for (const char *signal : { "sigCalculatedDensityAccepted(qreal)", "sigCalculatedViscosityAccepted(qreal)",
                 "sigPageCanceled()", "sigPageAccepted()", "sigSaveToDatabase()" })
            QTest::newRow(qPrintable(QStringLiteral("buffer page ") + QLatin1String(signal)))
                << "qtStackBufferComponents" << QString::fromLatin1(signal);
        QTest::newRow("module windows") << "QtVornakel"
                                        << "sigModulePath(QString,QString)";
    }
    void everyWiredSignalHasAReceiver()
    {
        QFETCH(QString, sender);
        QFETCH(QString, signal);
        auto window = start();
        QVERIFY(window);
        QObject *object = sender == QLatin1String("QtVornakel") ? window.get() : window->findChild<QObject *>(sender);
        QVERIFY(object);
        QVERIFY(connected(object, qPrintable(signal)));
    }

    void theReferenceEditorIsWiredToBothPages()
    {
        const int before = [] {
            int n = 0;
            for (QWidget *w : QApplication::topLevelWidgets())
                n += qobject_cast<GuiDataUpdate *>(w) ? 1 : 0;
            return n;
        }();
        auto window = start();
        QVERIFY(window);
        GuiDataUpdate *editor = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets())
            if (auto *candidate = qobject_cast<GuiDataUpdate *>(w))
                editor = candidate;
        QVERIFY(editor);
        QVERIFY(!editor->parent());
        for (const char *signal :
            { "sigNewBufferComponentAdded(int)", "sigComponentRecordChanged(int)", "sigNewAminoRecordAdded(int)",
                "sigAminoRecordChanged(int)", "sigNewDenaturantRecordAdded(int)", "sigDenaturantRecordChanged(int)",
                "sigNewConjugateRecordAdded(int)", "sigConjugateRecordChanged(int)" })
            QVERIFY2(connected(editor, signal), signal);
        QPointer<GuiDataUpdate> guard(editor);
        window.reset();
        QVERIFY(guard.isNull());
        int after = 0;
        for (QWidget *w : QApplication::topLevelWidgets())
            after += qobject_cast<GuiDataUpdate *>(w) ? 1 : 0;
        QCOMPARE(after, before);
    }

    void anyChangeOfTheMolarMassHidesTheStopSign()
    {
        auto window = start();
        QVERIFY(window);
        QVERIFY(!window->qtStopSign->isHidden());
        window->qtSedEquilibriumMR->setText(QStringLiteral("14300"));
        QVERIFY(window->qtStopSign->isHidden());
    }

    void firstShowShowsTheWindowAndClosesTheSplash()
    {
        auto window = start();
        QVERIFY(window);
        GuiSplashScreen splash(QPixmap(QStringLiteral(":files/images/ravo.jpg")));
        connect(window.get(), &GuiVornakel::sigShowSplashMessage, &splash, &GuiSplashScreen::showSplashMessage);
        connect(window.get(), &GuiVornakel::sigShown, &splash, &QWidget::close);
        splash.show();
        emit window->sigShowSplashMessage(QStringLiteral("before"));
        QCOMPARE(splash.message(), QStringLiteral("before"));

        QSignalSpy shown(window.get(), &GuiVornakel::sigShown);
        window->firstShow();
        QCOMPARE(shown.count(), 1);
        QVERIFY(window->isVisible());
        QVERIFY(!splash.isVisible());
        // Later messages no longer reach the splash.
        emit window->sigShowSplashMessage(QStringLiteral("after"));
        QCOMPARE(splash.message(), QStringLiteral("before"));
    }

    // The splash time ends while a start-up message box waits for the person:
    // the splash goes at once, the window only once it is built.
    void theSplashEndingDuringAFailedStartShowsNoWindow()
    {
        const QString path = m_files->path(QStringLiteral("folder.db"));
        QVERIFY(QDir().mkpath(path)); // a folder where the database file should be
        GuiVornakel window(path);
        GuiSplashScreen splash(QPixmap(QStringLiteral(":files/images/ravo.jpg")));
        connect(&window, &GuiVornakel::sigShown, &splash, &QWidget::close);
        splash.show();
        bool windowShown = true;
        bool splashShown = true;
        m_answerer->answerWith([&](QWidget *box) {
            window.firstShow();
            windowShown = window.isVisible();
            splashShown = splash.isVisible();
            qobject_cast<QMessageBox *>(box)->button(QMessageBox::Ok)->click();
        });
        QVERIFY(!window.initVornakel());
        QCOMPARE(m_answerer->seen().size(), 1);
        QVERIFY(!windowShown);
        QVERIFY(!splashShown);
        QVERIFY(!window.isVisible());
    }

    void theSplashEndingDuringAStartThatGoesOnShowsTheWindowAtItsEnd()
    {
        const QString path = m_files->path();
        {
            SqlUpdateDatabase updater;
            QVERIFY(updater.openAndUpdate(path));
            QSqlQuery query(QSqlDatabase::database(path, false));
            QVERIFY(query.exec(QStringLiteral("DROP TABLE defaults"))); // its query fails with a box
        }
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
    }

    void closingOnlyHidesTheWindow()
    {
        auto window = start();
        QVERIFY(window);
        QPointer<GuiVornakel> guard(window.get());
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QVERIFY(window->close());
        QVERIFY(!window->isVisible());
        QVERIFY(!guard.isNull());
        window->show();
        QVERIFY(window->isVisible());
    }

    void aFirstStartUsesTheDefaultSize()
    {
        auto window = start();
        QVERIFY(window);
        QCOMPARE(window->geometry().size(), QSize(773, 739));
    }

    void aFirstStartLeavesThePositionToTheWindowSystem()
    {
        auto window = start();
        QVERIFY(window);
        QVERIFY(!window->testAttribute(Qt::WA_Moved));
    }

    void aStoredPositionIsRestored()
    {
        QSettings().setValue(QStringLiteral("MainWindow/geometry/x"), 41);
        QSettings().setValue(QStringLiteral("MainWindow/geometry/y"), 57);
        auto window = start();
        QVERIFY(window);
        QVERIFY(window->testAttribute(Qt::WA_Moved));
        QCOMPARE(window->geometry(), QRect(41, 57, 773, 739));
    }

    // Choosing direct entry shows the "No Temp Correction" caption beside the
    // field; the symbol inside the field must stay in sight.
    void symbolsStayInsideTheirFieldsWhenTheCaptionAppears_data()
    {
        QTest::addColumn<QString>("tab");
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("symbol");
        QTest::newRow("vbar") << "qtTabSample"
                              << "qtVbarDirectEntry"
                              << "qtSampleVbar"
                              << "qtSampleVbarUnitLabel";
        QTest::newRow("density") << "qtTabSolvent"
                                 << "qtDensityDirectEntry"
                                 << "qtBufferDensity"
                                 << "qtBufferDensityUnitLabel";
        QTest::newRow("viscosity") << "qtTabSolvent"
                                   << "qtViscosityDirectEntry"
                                   << "qtBufferViscosity"
                                   << "qtBufferViscosityUnitLabel";
    }
    void symbolsStayInsideTheirFieldsWhenTheCaptionAppears()
    {
        QFETCH(QString, tab);
        QFETCH(QString, button);
        QFETCH(QString, field);
        QFETCH(QString, symbol);
        auto window = start();
        QVERIFY(window);
        window->qtTabWidget->setCurrentWidget(window->findChild<QWidget *>(tab));
        window->firstShow();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        auto *pressed = window->findChild<QPushButton *>(button);
        auto *edit = window->findChild<QWidget *>(field);
        auto *label = window->findChild<QWidget *>(symbol);
        QVERIFY(pressed && edit && label);
        QTest::mouseClick(pressed, Qt::LeftButton);
        QVERIFY(pressed->isChecked());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        QCoreApplication::processEvents();
        // Across, the symbol lies wholly inside the field (its height is placed on purpose).
        QVERIFY2(label->isVisible(), qPrintable(symbol));
        QVERIFY2(label->geometry().left() >= 0 && label->geometry().right() < edit->width(), qPrintable(symbol));
    }

    void resizingStoresTheGeometryAtOnce()
    {
        auto window = start();
        QVERIFY(window);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        window->resize(801, 655);
        QTRY_COMPARE(QSettings().value(QStringLiteral("MainWindow/geometry/width")).toInt(), 801);
        QCOMPARE(QSettings().value(QStringLiteral("MainWindow/geometry/height")).toInt(), 655);
        QCOMPARE(QSettings().value(QStringLiteral("MainWindow/geometry/x")).toInt(), window->geometry().x());
        QCOMPARE(QSettings().value(QStringLiteral("MainWindow/geometry/y")).toInt(), window->geometry().y());
    }

    void theGeometryIsKeptFromOneWindowToTheNext()
    {
        QRect kept;
        {
            auto first = start();
            QVERIFY(first);
            first->show();
            QVERIFY(QTest::qWaitForWindowExposed(first.get()));
            first->setGeometry(37, 53, 812, 644);
            QTRY_COMPARE(first->geometry().size(), QSize(812, 644));
            kept = first->geometry();
        }
        QCOMPARE(QSettings().value(QStringLiteral("MainWindow/geometry/width")).toInt(), kept.width());
        QCOMPARE(QSettings().value(QStringLiteral("MainWindow/geometry/x")).toInt(), kept.x());
        auto second = start(QStringLiteral("second.db"));
        QVERIFY(second);
        QCOMPARE(second->geometry(), kept);
    }

    void aFailedStartLeavesTheStoredGeometryAlone()
    {
        QSettings().setValue(QStringLiteral("MainWindow/geometry/width"), 900);
        {
            // A folder where the database should be: the database layer refuses it.
            QVERIFY(QDir().mkpath(m_files->path(QStringLiteral("folder.db"))));
            GuiVornakel window(m_files->path(QStringLiteral("folder.db")));
            QVERIFY(!window.initVornakel());
        }
        QCOMPARE(QSettings().value(QStringLiteral("MainWindow/geometry/width")).toInt(), 900);
        QVERIFY(!m_answerer->seen().isEmpty());
    }

    void unreadableDefaultsStillStartTheWindow_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::newRow("no row") << "DELETE FROM defaults";
        QTest::newRow("no table") << "DROP TABLE defaults";
    }
    void unreadableDefaultsStillStartTheWindow()
    {
        QFETCH(QString, statement);
        const QString path = m_files->path();
        {
            SqlUpdateDatabase updater;
            QVERIFY(updater.openAndUpdate(path));
            QSqlQuery query(QSqlDatabase::database(path, false));
            QVERIFY2(query.exec(statement), qPrintable(query.lastError().text()));
        }
        GuiVornakel window(path);
        QVERIFY(window.initVornakel());
        // Without the defaults every default reads as 0.
        QCOMPARE(window.qtSedEquilibriumTemp->text(), QStringLiteral("0.00"));
        QCOMPARE(window.qtSedVelocityK->text(), QStringLiteral("0"));
        QVERIFY(window.qtSampleVbar->text() == QLatin1String("0") || !window.qtSampleVbar->isValid());
    }

    void destructionDeletesWhatTheStartUpMade()
    {
        auto window = start();
        QVERIFY(window);
        QList<QPointer<QObject>> owned;
        for (GuiStandardValue *dialog : window->findChildren<GuiStandardValue *>())
            owned << QPointer<QObject>(dialog);
        owned << QPointer<QObject>(window->qtStackComposition) << QPointer<QObject>(window->qtStackBufferComponents);
        QCOMPARE(owned.size(), 5);
        window.reset();
        for (const QPointer<QObject> &object : owned)
            QVERIFY(object.isNull());
    }
};

QTEST_MAIN(TstGuiVornakel)
#include "tst_gui_vornakel.moc"
