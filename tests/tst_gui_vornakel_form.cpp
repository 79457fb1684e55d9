#include "gui/gui_buffercomponents.h"
#include "gui/gui_lineedit.h"
#include "gui/gui_samplecomposition.h"
#include "gui/gui_vornakel.h" // the form class comes with the window

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QtTest>

// The main window's form on its own, as uic builds it: names, classes, texts,
// style sheets, states, menus and focus order.
class TstGuiVornakelForm : public QObject
{
    Q_OBJECT

    QMainWindow *m_window = nullptr;
    Ui_QtVornakel *m_ui = nullptr;

    template<class T = QWidget> T *widget(const QString &name) { return m_window->findChild<T *>(name); }

    static QString visibleText(const QLabel *label)
    {
        if (Qt::mightBeRichText(label->text()))
            return QTextDocumentFragment::fromHtml(label->text()).toPlainText();
        return label->text();
    }

private slots:
    void init()
    {
        m_window = new QMainWindow;
        m_ui = new Ui_QtVornakel;
        m_ui->setupUi(m_window);
    }
    void cleanup()
    {
        delete m_window;
        delete m_ui;
    }

    void windowIsNamedAndTitled()
    {
        QCOMPARE(m_window->objectName(), QStringLiteral("QtVornakel"));
        QCOMPARE(m_window->windowTitle(), QStringLiteral("Vornakel"));
        QCOMPARE(m_window->size(), QSize(761, 723));
        QVERIFY(m_window->styleSheet().isEmpty());
    }

    void everyWidgetHasItsNameAndClass_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        const QStringList combos { "qtSampleName", "qtSampleSortBy", "qtBufferName", "qtBufferSortBy",
            "qtExperimentName", "qtExperimentSortBy", "qtResultsName", "qtResultsSortBy" };
        const QStringList buttons { "qtVbarDirectEntry", "qtVbarStandard", "qtVbarCompute", "qtSampleSaveToDB",
            "qtDensityDirectEntry", "qtDensityStandard", "qtDensityCompute", "qtViscosityDirectEntry",
            "qtViscosityStandard", "qtViscosityCompute", "qtBufferSaveToDB", "qtExactMolecularWeight", "qtFromSigma",
            "qtFromComposition", "qtskButton", "qtExperimentSaveToDB", "qtGraphShapeButton", "qtAvsBGraphButton",
            "qtResultsSaveToDB" };
        const QStringList fields { "qtSampleVbar", "qtBufferDensity", "qtBufferViscosity", "qtBufferpH",
            "qtSedEquilibriumTemp", "qtSedEquilibriumSigma", "qtSedEquilibriumRPM", "qtSedEquilibriumMR",
            "qtSedVelocityTemp", "qtSedVelocityConcentration", "qtSedVelocityK", "qtSedVelocityCoefficient",
            "qtExperimentResultsMb", "qtExperimentResultsRp", "qtExperimentResultsS", "qtRStokes" };
        const QStringList labels { "qtSampleVbarLabel", "qtSampleVbarUnitLabel", "qtSampleImage",
            "qtBufferDensityLabel", "qtBufferDensityUnitLabel", "qtBufferViscosityLabel", "qtBufferViscosityUnitLabel",
            "qtBufferpHLabel", "qtSolventImage", "qtSedEquilibriumTempLabel", "qtSedEquilibriumSigmaLabel",
            "qtSedEquilibriumRPMLabel", "qtStopSign", "qtSedEquilibriumMRLabel", "qtSedVelocityTempLabel",
            "qtSedVelocityConcentrationLabel", "qtSedVelocityKLabel", "qtSedVelocityCoefficientLabel",
            "qtExperimentResultsMbLabel", "qtExperimentResultsRpLabel", "qtS20WLabel", "qtErrorText",
            "qtExperimentImage", "qtRStokesLabel", "qtVbarRo", "qtVbarFo", "qtVbarffo", "qtVbarSmax", "qtVbarDmax",
            "qtVbarDelta1maxLabel", "qtVbarDelta1max", "qtVbarmaxabLabel", "qtVbarmaxab", "qtVbar2amaxLabel",
            "qtVbar2amax", "qtVbar2bminLabel", "qtVbar2bmin", "qtTellerRp", "qtTellerFp", "qtTellerffp", "qtTellerSmax",
            "qtTellerDmax", "qtTellerDelta1maxLabel", "qtTellerDelta1max", "qtTellermaxabLabel", "qtTellermaxab",
            "qtTeller2amaxLabel", "qtTeller2amax", "qtTeller2bminLabel", "qtTeller2bmin", "qtResultsErrorText" };
        const QStringList radios { "qtHydrateNothing", "qtHydrateProlate", "qtHydrateOblate", "qtHydrateComputed",
            "qtHydrateDelta1", "qtShapeProlate", "qtShapeOblate", "qtShapeCylinder", "qtVbarMethod", "qtTellerMethod" };
        const QStringList groups { "groupBox_5", "groupBox_7", "groupBox_6", "groupBox_61", "groupBox_51", "groupBox",
            "groupBox_4", "groupBox1", "groupBox_2", "groupBox_3", "groupBox2", "groupBox_41", "groupBox_71",
            "groupBox_8", "qtHydrationOptions", "qtAssumedShape", "groupBox_11" };
        auto add = [](const QStringList &names, const char *cls) {
            for (const QString &name : names)
                QTest::newRow(qPrintable(name)) << name << QString::fromLatin1(cls);
        };
        add(combos, "QComboBox");
        add(buttons, "QPushButton");
        add(fields, "GuiLineEdit");
        add(labels, "QLabel");
        add(radios, "QRadioButton");
        add(groups, "QGroupBox");
        add({ "qtHydrateRatio", "qtGraphShapeHydrationExpansion" }, "QLineEdit");
        add({ "centralwidget", "qtStackVornakel", "qtTabSample", "qtTabSolvent", "qtTabExperiment", "qtTabResults" },
            "QWidget");
        add({ "stackedWidget" }, "QStackedWidget");
        add({ "qtTabWidget" }, "QTabWidget");
        add({ "qtStackBufferComponents" }, "GuiBufferComponents");
        add({ "qtStackComposition" }, "GuiSampleComposition");
        add({ "menubar" }, "QMenuBar");
        add({ "menuFile", "menuEstimating_Database", "menuHelp" }, "QMenu");
        add({ "statusbar" }, "QStatusBar");
    }
    void everyWidgetHasItsNameAndClass()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        const QList<QWidget *> found = m_window->findChildren<QWidget *>(name);
        QCOMPARE(found.size(), 1);
        QCOMPARE(QString::fromLatin1(found.first()->metaObject()->className()), className);
    }

    void namesAreCaseExact()
    {
        // The calculation module reaches widgets by exact object name only.
        QVERIFY(widget("qtVbarffo"));
        QVERIFY(widget("qtTellermaxab"));
        QVERIFY(!widget("qtVbarFFo"));
        QVERIFY(!widget("qtTellerMaxab"));
        QVERIFY(!widget("qtSedEquilibriumMr"));
    }

    void stackAndTabsAreInOrder()
    {
        QCOMPARE(m_ui->stackedWidget->count(), 3);
        QCOMPARE(m_ui->stackedWidget->widget(0), m_ui->qtStackVornakel);
        QCOMPARE(m_ui->stackedWidget->widget(1), static_cast<QWidget *>(m_ui->qtStackBufferComponents));
        QCOMPARE(m_ui->stackedWidget->widget(2), static_cast<QWidget *>(m_ui->qtStackComposition));
        QCOMPARE(m_ui->stackedWidget->currentIndex(), 0);
        const QStringList tabs { "Sample", "Solvent", "Experiment", "Results" };
        const QList<QWidget *> pages { m_ui->qtTabSample, m_ui->qtTabSolvent, m_ui->qtTabExperiment,
            m_ui->qtTabResults };
        QCOMPARE(m_ui->qtTabWidget->count(), 4);
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(m_ui->qtTabWidget->tabText(i), tabs.at(i));
            QCOMPARE(m_ui->qtTabWidget->widget(i), pages.at(i));
        }
        QCOMPARE(m_ui->qtTabWidget->currentIndex(), 3);
    }

    void textsAreTheFormsOwn_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        const QList<QPair<const char *, QString>> rows {
            { "qtVbarDirectEntry", "Direct Entry" },
            { "qtVbarStandard", "Standard" },
            { "qtVbarCompute", "Compute" },
            { "qtSampleVbarLabel", "No Temp Correction" },
            { "qtSampleVbarUnitLabel", "V" },
            { "qtSampleSaveToDB", "Save to Database" },
            { "qtDensityDirectEntry", "Direct Entry" },
            { "qtDensityStandard", "Standard" },
            { "qtDensityCompute", "Compute" },
            { "qtBufferDensityLabel", "No Temp Correction" },
            { "qtBufferDensityUnitLabel", QString(QChar(0x03c1)) },
            { "qtViscosityDirectEntry", "Direct Entry" },
            { "qtViscosityStandard", "Standard" },
            { "qtViscosityCompute", "Compute" },
            { "qtBufferViscosityLabel", "No Temp Correction" },
            { "qtBufferViscosityUnitLabel", QString(QChar(0x03b7)) },
            { "qtBufferpHLabel", "pH" },
            { "qtBufferSaveToDB", "Save to Database" },
            { "qtExactMolecularWeight", "Exact Molecular Weight" },
            { "qtFromSigma", "From Sigma" },
            { "qtFromComposition", "From Composition" },
            { "qtSedEquilibriumTempLabel", QStringLiteral("T (") + QChar(0x03bf) + QStringLiteral("C)") },
            { "qtSedEquilibriumSigmaLabel", QString(QChar(0x03c3)) },
            { "qtSedEquilibriumRPMLabel", "rpm" },
            { "qtSedEquilibriumMRLabel", "Mr" },
            { "qtSedVelocityTempLabel", QStringLiteral("T (") + QChar(0x03bf) + QStringLiteral("C)") },
            { "qtSedVelocityConcentrationLabel", "mg/ml" },
            { "qtskButton", "" },
            { "qtSedVelocityKLabel", "k" },
            { "qtSedVelocityCoefficientLabel", "S*" },
            { "qtExperimentResultsMbLabel", "Mb" },
            { "qtExperimentResultsRpLabel", "Rp" },
            { "qtS20WLabel", "S20,w" },
            { "qtErrorText", "Error Text" },
            { "qtExperimentSaveToDB", "Save to Database" },
            { "qtHydrateNothing", "Input nothing" },
            { "qtHydrateProlate", "Input a/b prolate" },
            { "qtHydrateOblate", "Input a/b oblate" },
            { "qtHydrateComputed", "Use computed delta1" },
            { "qtHydrateDelta1", "Input Delta1" },
            { "qtShapeProlate", "Prolate ellipsoid" },
            { "qtShapeOblate", "Oblate ellipsoid" },
            { "qtShapeCylinder", "Cylinder" },
            { "qtRStokesLabel", "cm" },
            { "qtVbarMethod", "Vbar Method" },
            { "qtTellerMethod", "Teller Method" },
            { "qtVbarDelta1maxLabel", "Delta1 max:" },
            { "qtVbarmaxabLabel", "max a/b:" },
            { "qtVbar2amaxLabel", "2a max:" },
            { "qtVbar2bminLabel", "2b min:" },
            { "qtTellerDelta1maxLabel", "Delta1 max:" },
            { "qtTellermaxabLabel", "max a/b:" },
            { "qtTeller2amaxLabel", "2a max:" },
            { "qtTeller2bminLabel", "2b min:" },
            { "qtResultsErrorText", "qtResultsErrorText" },
            { "qtGraphShapeButton", "Graph Shape" },
            { "qtAvsBGraphButton", "Graph a/b vs Hydration" },
            { "qtResultsSaveToDB", "Save to Database" },
            { "qtVbarRo", "" },
            { "qtVbarffo", "" },
            { "qtVbar2bmin", "" },
            { "qtTellerRp", "" },
            { "qtTellermaxab", "" },
            { "qtTeller2bmin", "" },
            { "qtSampleVbar", "" },
            { "qtSedEquilibriumMR", "" },
            { "qtHydrateRatio", "" },
            { "qtSampleImage", "" },
        };
        for (const auto &row : rows)
            QTest::newRow(row.first) << QString::fromLatin1(row.first) << row.second;
    }
    void textsAreTheFormsOwn()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QWidget *w = widget(name);
        QVERIFY(w);
        if (auto *label = qobject_cast<QLabel *>(w))
            QCOMPARE(visibleText(label), text);
        else if (auto *button = qobject_cast<QAbstractButton *>(w))
            QCOMPARE(button->text(), text);
        else if (auto *edit = qobject_cast<QLineEdit *>(w))
            QCOMPARE(edit->text(), text);
        else
            QFAIL("no text to compare");
    }

    void symbolsCarryTheirMarks()
    {
        QVERIFY(m_ui->qtSampleVbarUnitLabel->text().contains(QLatin1String("overline")));
        QVERIFY(m_ui->qtSedEquilibriumTempLabel->text().contains(QLatin1String("super")));
        QVERIFY(m_ui->qtSedVelocityCoefficientLabel->text().contains(QLatin1String("super")));
        QVERIFY(m_ui->qtS20WLabel->text().contains(QLatin1String("sub")));
        QCOMPARE(m_ui->qtSampleVbarUnitLabel->textFormat(), Qt::RichText);
    }

    void captionsOfTheRecordLists()
    {
        auto captions = [](QWidget *tab) {
            QStringList texts;
            for (QLabel *label : tab->findChildren<QLabel *>())
                if (label->objectName().startsWith(QLatin1String("label")))
                    texts << label->text();
            return texts;
        };
        QVERIFY(captions(m_ui->qtTabSample).contains(QStringLiteral("Sort By")));
        QVERIFY(captions(m_ui->qtTabSolvent).contains(QStringLiteral("Sort by")));
        QVERIFY(captions(m_ui->qtTabExperiment).contains(QStringLiteral("Sort by")));
        QVERIFY(captions(m_ui->qtTabResults).contains(QStringLiteral("Sort by")));
        for (QWidget *tab : { m_ui->qtTabSample, m_ui->qtTabSolvent, m_ui->qtTabExperiment, m_ui->qtTabResults })
            QVERIFY(captions(tab).contains(QStringLiteral("Select from list to retrieve from database")));
        const QStringList results = captions(m_ui->qtTabResults);
        for (const char *caption : { "Ro:", "Fo:", "f/fo:", "Smax:", "Dmax:", "Rp:", "Fp:", "f/fp:", "nm" })
            QVERIFY2(results.contains(QLatin1String(caption)), caption);
    }

    void groupTitles_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("title");
        QTest::addColumn<bool>("flat");
        QTest::newRow("sample") << "groupBox_5"
                                << "Sample Data" << true;
        QTest::newRow("vbar") << "groupBox_7"
                              << "Vbar" << false;
        QTest::newRow("buffer") << "groupBox_6"
                                << "Buffer Data" << true;
        QTest::newRow("density") << "groupBox_61"
                                 << "Density" << false;
        QTest::newRow("viscosity") << "groupBox_51"
                                   << "Viscosity" << false;
        QTest::newRow("pH") << "groupBox"
                            << "pH" << false;
        QTest::newRow("experiment") << "groupBox_4"
                                    << "Experiment Data" << true;
        QTest::newRow("equilibrium") << "groupBox1"
                                     << "Sed Equilibrium" << false;
        QTest::newRow("velocity") << "groupBox_2"
                                  << "Sed Velocity" << false;
        QTest::newRow("experiment results") << "groupBox_3"
                                            << "Results" << false;
        QTest::newRow("results") << "groupBox2"
                                 << "Results" << true;
        QTest::newRow("method") << "groupBox_41"
                                << "Use Results From Method" << false;
        QTest::newRow("vbar method") << "groupBox_71"
                                     << "Results from Vbar Method" << false;
        QTest::newRow("teller method") << "groupBox_8"
                                       << "Results from Teller Method" << false;
        QTest::newRow("hydration") << "qtHydrationOptions"
                                   << "Hydration Options" << false;
        QTest::newRow("shape") << "qtAssumedShape"
                               << "Assumed Shape" << false;
        QTest::newRow("rstokes") << "groupBox_11"
                                 << "Rstokes" << false;
    }
    void groupTitles()
    {
        QFETCH(QString, name);
        QFETCH(QString, title);
        QFETCH(bool, flat);
        auto *group = widget<QGroupBox>(name);
        QVERIFY(group);
        QCOMPARE(group->title(), title);
        QCOMPARE(group->isFlat(), flat);
        QVERIFY(!group->isCheckable());
    }

    void styleSheetsMarkState_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("styleSheet");
        const QString green = QStringLiteral("QPushButton:checked{\nbackground-color:rgba(28, 170, 29, "
                                             "150);\nborder:1px solid grey;\nborder-radius: 5px}\n");
        for (const char *name : { "qtVbarDirectEntry", "qtVbarStandard", "qtVbarCompute", "qtDensityDirectEntry",
                 "qtDensityStandard", "qtDensityCompute", "qtViscosityDirectEntry", "qtViscosityStandard",
                 "qtViscosityCompute", "qtExactMolecularWeight", "qtFromSigma", "qtFromComposition" })
            QTest::newRow(name) << QString::fromLatin1(name) << green;
        for (const char *name : { "qtSampleVbarUnitLabel", "qtBufferDensityUnitLabel", "qtBufferViscosityUnitLabel",
                 "qtBufferpHLabel", "qtSedEquilibriumTempLabel", "qtSedEquilibriumSigmaLabel",
                 "qtSedEquilibriumRPMLabel", "qtSedVelocityTempLabel", "qtSedVelocityConcentrationLabel",
                 "qtSedVelocityKLabel", "qtSedVelocityCoefficientLabel" })
            QTest::newRow(name) << QString::fromLatin1(name) << QStringLiteral("color: rgb(0, 128, 255);\n");
        for (const char *name :
            { "qtSedEquilibriumMRLabel", "qtExperimentResultsMbLabel", "qtExperimentResultsRpLabel", "qtS20WLabel" })
            QTest::newRow(name) << QString::fromLatin1(name) << QStringLiteral("color: rgb(28, 170, 29);\n");
        for (const char *name : { "qtExperimentResultsRp", "qtExperimentResultsS" })
            QTest::newRow(name) << QString::fromLatin1(name) << QStringLiteral("color: rgb(28, 170, 29);");
        for (const char *name : { "qtSampleVbarLabel", "qtBufferDensityLabel", "qtBufferViscosityLabel" })
            QTest::newRow(name) << QString::fromLatin1(name) << QStringLiteral("color: rgb(170, 0, 0);");
        for (const char *name : { "qtSedEquilibriumRPM", "qtSedEquilibriumMR" })
            QTest::newRow(name) << QString::fromLatin1(name)
                                << QStringLiteral("border-right-color: rgb(255, 255, 255);");
        QTest::newRow("qtExperimentResultsMb")
            << "qtExperimentResultsMb"
            << QStringLiteral("border-right-color: rgb(255, 255, 255);\ncolor: rgb(76, 76, 76);");
        QTest::newRow("qtResultsErrorText") << "qtResultsErrorText" << QString();
        QTest::newRow("qtTabWidget") << "qtTabWidget" << QString();
    }
    void styleSheetsMarkState()
    {
        QFETCH(QString, name);
        QFETCH(QString, styleSheet);
        QWidget *w = widget(name);
        QVERIFY(w);
        QCOMPARE(w->styleSheet(), styleSheet);
    }

    void sourceAndMethodButtonsAreExclusiveWithinTheirGroup()
    {
        const QStringList names { "qtVbarDirectEntry", "qtVbarStandard", "qtVbarCompute", "qtDensityDirectEntry",
            "qtDensityStandard", "qtDensityCompute", "qtViscosityDirectEntry", "qtViscosityStandard",
            "qtViscosityCompute", "qtExactMolecularWeight", "qtFromSigma", "qtFromComposition" };
        for (const QString &name : names) {
            auto *button = widget<QPushButton>(name);
            QVERIFY(button->isCheckable());
            QVERIFY(button->autoExclusive());
            QVERIFY2(!button->isChecked(), qPrintable(name));
        }
        // Pressing one source button releases the other of its group only.
        m_ui->qtDensityStandard->setChecked(true);
        m_ui->qtVbarStandard->setChecked(true);
        m_ui->qtVbarCompute->setChecked(true);
        QVERIFY(!m_ui->qtVbarStandard->isChecked());
        QVERIFY(m_ui->qtDensityStandard->isChecked());
    }

    void initialStates()
    {
        for (const char *name :
            { "qtGraphShapeButton", "qtAvsBGraphButton", "qtHydrateComputed", "qtExperimentResultsMb" })
            QVERIFY2(!widget(QLatin1String(name))->isEnabled(), name);
        QVERIFY(!m_ui->qtGraphShapeButton->isCheckable());
        QVERIFY(m_ui->qtRStokes->isReadOnly());
        QVERIFY(m_ui->qtRStokes->hasFrame());
        QVERIFY(m_ui->qtRStokes->alignment() & Qt::AlignRight);
        QVERIFY(m_ui->qtSampleVbar->alignment() & Qt::AlignLeft);
        QVERIFY(!m_ui->qtStopSign->isHidden());
        QVERIFY(m_ui->qtStopSign->hasScaledContents());
        QVERIFY(m_ui->qtStopSign->pixmap() && !m_ui->qtStopSign->pixmap()->isNull());
        for (QLabel *image : { m_ui->qtSampleImage, m_ui->qtSolventImage, m_ui->qtExperimentImage }) {
            QVERIFY(image->pixmap() && !image->pixmap()->isNull());
            QVERIFY(!image->hasScaledContents());
        }
        for (QRadioButton *radio : m_window->findChildren<QRadioButton *>())
            QVERIFY2(!radio->isChecked(), qPrintable(radio->objectName()));
        QVERIFY(m_ui->qtskButton->isFlat());
        QCOMPARE(m_ui->qtskButton->focusPolicy(), Qt::NoFocus);
        for (QWidget *w :
            QList<QWidget *> { m_ui->qtSedEquilibriumMR, m_ui->qtExperimentResultsRp, m_ui->qtExperimentResultsS })
            QCOMPARE(w->focusPolicy(), Qt::ClickFocus);
        QVERIFY(m_ui->qtBufferSortBy->duplicatesEnabled());
        QVERIFY(m_ui->qtErrorText->wordWrap());
        QVERIFY(m_ui->qtResultsErrorText->wordWrap());
        QCOMPARE(m_ui->qtGraphShapeHydrationExpansion->maximumSize(), QSize(0, 0));
        QCOMPARE(m_ui->qtSampleVbar->maxLength(), 12);
        QCOMPARE(m_ui->qtBufferDensity->maxLength(), 12);
        QCOMPARE(m_ui->qtBufferViscosity->maxLength(), 12);
        QCOMPARE(m_ui->qtBufferpH->maxLength(), 12);
        QCOMPARE(m_ui->qtSedEquilibriumSigma->maxLength(), 40);
        for (QWidget *w : QList<QWidget *> { m_ui->qtSedEquilibriumTemp, m_ui->qtSedEquilibriumSigma,
                 m_ui->qtSedEquilibriumRPM, m_ui->qtSedEquilibriumMR })
            QCOMPARE(w->minimumWidth(), 104);
        QCOMPARE(m_ui->qtS20WLabel->minimumWidth(), 42);
        QCOMPARE(m_ui->qtSampleVbarLabel->minimumWidth(), 45);
    }

    void alignmentsFollowTheTab()
    {
        const Qt::Alignment horizontal = Qt::AlignHorizontal_Mask;
        for (QLabel *symbol : { m_ui->qtSampleVbarUnitLabel, m_ui->qtBufferDensityUnitLabel,
                 m_ui->qtBufferViscosityUnitLabel, m_ui->qtBufferpHLabel })
            QVERIFY2(symbol->alignment() & Qt::AlignRight, qPrintable(symbol->objectName()));
        for (QLabel *symbol : m_ui->qtTabExperiment->findChildren<QLabel *>()) {
            if (symbol->textFormat() == Qt::RichText)
                QVERIFY2((symbol->alignment() & horizontal) & Qt::AlignLeft, qPrintable(symbol->objectName()));
        }
        int captions = 0;
        for (QLabel *label : m_ui->qtTabResults->findChildren<QLabel *>()) {
            if (label->text().endsWith(QLatin1Char(':'))) {
                ++captions;
                QVERIFY2(label->alignment() & Qt::AlignRight, qPrintable(label->objectName()));
            }
        }
        QCOMPARE(captions, 18);
        QCOMPARE(m_ui->qtResultsErrorText->alignment() & horizontal, Qt::AlignHCenter);
        for (QLabel *image : { m_ui->qtSampleImage, m_ui->qtSolventImage, m_ui->qtExperimentImage })
            QCOMPARE(image->alignment(), Qt::AlignBottom | Qt::AlignHCenter);
        for (GuiLineEdit *field : m_window->findChildren<GuiLineEdit *>()) {
            const Qt::Alignment expected = field == m_ui->qtRStokes ? Qt::AlignRight : Qt::AlignLeft;
            QVERIFY2(field->alignment() & expected, qPrintable(field->objectName()));
            QVERIFY2(field->alignment() & Qt::AlignVCenter, qPrintable(field->objectName()));
        }
    }

    void toolTips_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("temperature") << "qtSedEquilibriumTemp"
                                     << "Accepts: 0 - 45";
        QTest::newRow("rpm") << "qtSedEquilibriumRPM"
                             << "Accepts: 0 - 90,000";
        QTest::newRow("mr") << "qtSedEquilibriumMR"
                            << "Accepts: Positive Values";
        QTest::newRow("concentration") << "qtSedVelocityConcentration"
                                       << "Accepts: Positive Values";
        QTest::newRow("rp") << "qtExperimentResultsRp"
                            << "Accepts: Positive Values";
        QTest::newRow("s") << "qtExperimentResultsS"
                           << "Accepts: Positive Values";
        QTest::newRow("sigma") << "qtSedEquilibriumSigma"
                               << "";
    }
    void toolTips()
    {
        QFETCH(QString, name);
        QFETCH(QString, toolTip);
        QCOMPARE(widget(name)->toolTip(), toolTip);
    }

    void menusAreInOrder()
    {
        QStringList titles;
        for (QAction *action : m_ui->menubar->actions())
            titles << action->text();
        QCOMPARE(titles, (QStringList { "File", "Estimating Database", "Help" }));

        auto entries = [](QMenu *menu) {
            QStringList list;
            for (QAction *action : menu->actions())
                list << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
            return list;
        };
        QCOMPARE(entries(m_ui->menuFile),
            (QStringList { "actionNew_Data_Entry_Form", "actionOpen_Different_Experimental_Database", "-",
                "actionSave_Sample_Info_in_Database", "actionSave_Buffer_Info_in_Database",
                "actionSave_Experiment_Info_in_Database", "actionSave_Results_in_Database", "-",
                "actionChange_Program_Defaults", "-", "actionAdditional_Modules", "-", "actionImport", "-",
                "actionExit" }));
        QCOMPARE(entries(m_ui->menuEstimating_Database),
            (QStringList { "actionUpdate_Amino_Acid_Data", "actionUpdate_Conjugate_Data",
                "actionUpdate_Denaturants_Data", "actionUpdate_BufferComponents_Data",
                "actionUpdate_Extinction_Data" }));
        QCOMPARE(entries(m_ui->menuHelp),
            (QStringList { "actionAbout_Vornakel", "actionContents", "actionSearch_for_Help_On", "-",
                "actionCheck_for_updates", "-" }));
    }

    void actionsCarryTheirTexts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shortcut");
        QTest::addColumn<bool>("inAMenu");
        const QList<std::tuple<const char *, const char *, const char *, bool>> rows {
            { "actionNew_Data_Entry_Form", "New Data Entry Form", "Meta+D", true },
            { "actionOpen_Different_Experimental_Database", "Open Different Experimental Database...", "", true },
            { "actionSave_Sample_Info_in_Database", "Save Sample Info in Database...", "", true },
            { "actionSave_Buffer_Info_in_Database", "Save Solvent Info in Database...", "", true },
            { "actionSave_Experiment_Info_in_Database", "Save Experiment Info in Database...", "", true },
            { "actionSave_Results_in_Database", "Save Results in Database...", "", true },
            { "actionChange_Program_Defaults", "Change Program Defaults...", "", true },
            { "actionAdditional_Modules", "Additional Modules...", "", true },
            { "actionImport", "Import Databases", "", true },
            { "actionExit", "Exit", "", true },
            { "actionUpdate_Amino_Acid_Data", "Update Amino Acid Data...", "", true },
            { "actionUpdate_Conjugate_Data", "Update Conjugate Data...", "", true },
            { "actionUpdate_Denaturants_Data", "Update Denaturants Data...", "", true },
            { "actionUpdate_BufferComponents_Data", "Update Buffer Components", "", true },
            { "actionUpdate_Extinction_Data", "Update Extinction Data...", "", true },
            { "actionAbout_Vornakel", "About Vornakel...", "", true },
            { "actionContents", "Contents", "", true },
            { "actionSearch_for_Help_On", "Search for Help On...", "", true },
            { "actionCheck_for_updates", "Check for updates", "", true },
            { "actionUpdate_Density_Data", "Update Density Data...", "", false },
            { "actionUpdate_Viscosity_Data", "Update Viscosity Data...", "", false },
            { "actionDebug_Console", "Debug Console", "Meta+W", false },
            { "actionOpen_Module", "Open Module", "", false },
        };
        for (const auto &row : rows)
            QTest::newRow(std::get<0>(row))
                << QString::fromLatin1(std::get<0>(row)) << QString::fromLatin1(std::get<1>(row))
                << QString::fromLatin1(std::get<2>(row)) << std::get<3>(row);
    }
    void actionsCarryTheirTexts()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QFETCH(QString, shortcut);
        QFETCH(bool, inAMenu);
        auto *action = m_window->findChild<QAction *>(name);
        QVERIFY(action);
        QCOMPARE(action->parent(), static_cast<QObject *>(m_window));
        QCOMPARE(action->text(), text);
        QCOMPARE(action->shortcut(), QKeySequence(shortcut));
        QCOMPARE(!action->associatedWidgets().isEmpty(), inAMenu);
    }

    void exitClosesTheWindow()
    {
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        m_ui->actionExit->trigger();
        QVERIFY(!m_window->isVisible());
    }

    void focusFollowsTheTabOrder()
    {
        const QStringList order { "qtExperimentName", "qtExactMolecularWeight", "qtFromSigma", "qtFromComposition",
            "qtSedEquilibriumTemp", "qtSedEquilibriumSigma", "qtSedEquilibriumRPM", "qtSedEquilibriumMR",
            "qtSedVelocityTemp", "qtSedVelocityConcentration", "qtSedVelocityCoefficient", "qtExperimentResultsMb",
            "qtExperimentResultsRp", "qtHydrateNothing", "qtExperimentResultsS", "qtVbarDirectEntry", "qtVbarStandard",
            "qtVbarCompute", "qtSampleVbar", "qtBufferpH", "qtDensityDirectEntry", "qtDensityStandard",
            "qtDensityCompute", "qtBufferDensity", "qtViscosityDirectEntry", "qtViscosityStandard",
            "qtViscosityCompute", "qtBufferViscosity", "qtHydrateProlate", "qtHydrateOblate", "qtHydrateComputed",
            "qtHydrateDelta1", "qtHydrateRatio", "qtShapeProlate", "qtShapeOblate", "qtShapeCylinder", "qtVbarMethod",
            "qtTellerMethod" };
        for (int i = 0; i + 1 < order.size(); ++i) {
            QWidget *from = widget(order.at(i));
            QWidget *to = widget(order.at(i + 1));
            QVERIFY(from && to);
            QWidget *next = from->nextInFocusChain();
            // A widget's own children follow it in the chain.
            while (next && next != to && from->isAncestorOf(next))
                next = next->nextInFocusChain();
            QVERIFY2(next == to, qPrintable(order.at(i) + QStringLiteral(" -> ") + order.at(i + 1)));
        }
    }
};

QTEST_MAIN(TstGuiVornakelForm)
#include "tst_gui_vornakel_form.moc"
