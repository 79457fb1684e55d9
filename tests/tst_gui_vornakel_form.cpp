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

    QWidget *widget(const QString &name) const { return m_window->findChild<QWidget *>(name); }

    static QString textOf(QWidget *w)
    {
        if (auto *label = qobject_cast<QLabel *>(w))
            return Qt::mightBeRichText(label->text()) ? QTextDocumentFragment::fromHtml(label->text()).toPlainText()
                                                      : label->text();
        if (auto *button = qobject_cast<QAbstractButton *>(w))
            return button->text();
        if (auto *edit = qobject_cast<QLineEdit *>(w))
            return edit->text();
        if (auto *group = qobject_cast<QGroupBox *>(w))
            return group->title();
        return QStringLiteral("(no text)");
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

    void everyWidgetHasItsNameClassAndText()
    {
        // Per class, "name" or "name=text" entries joined by ";". Exact names
        // only: the calculation module reaches widgets by them.
        const QPair<const char *, const char *> classes[] = {
            { "QComboBox",
                "qtSampleName;qtSampleSortBy;qtBufferName;qtBufferSortBy;qtExperimentName;"
                "qtExperimentSortBy;qtResultsName;qtResultsSortBy" },
            { "QPushButton",
                "qtVbarDirectEntry=Direct Entry;qtVbarStandard=Standard;qtVbarCompute=Compute;"
                "qtSampleSaveToDB=Save to Database;qtDensityDirectEntry=Direct Entry;qtDensityStandard="
                "Standard;qtDensityCompute=Compute;qtViscosityDirectEntry=Direct Entry;"
                "qtViscosityStandard=Standard;qtViscosityCompute=Compute;qtBufferSaveToDB=Save to "
                "Database;qtExactMolecularWeight=Exact Molecular Weight;qtFromSigma=From Sigma;"
                "qtFromComposition=From Composition;qtskButton=;qtExperimentSaveToDB=Save to Database;"
                "qtGraphShapeButton=Graph Shape;qtAvsBGraphButton=Graph a/b vs Hydration;"
                "qtResultsSaveToDB=Save to Database" },
            { "GuiLineEdit",
                "qtSampleVbar=;qtBufferDensity;qtBufferViscosity;qtBufferpH;qtSedEquilibriumTemp;"
                "qtSedEquilibriumSigma;qtSedEquilibriumRPM;qtSedEquilibriumMR=;qtSedVelocityTemp;"
                "qtSedVelocityConcentration;qtSedVelocityK;qtSedVelocityCoefficient;"
                "qtExperimentResultsMb;qtExperimentResultsRp;qtExperimentResultsS;qtRStokes" },
            { "QLabel", // Greek letters as they are: rho, eta, sigma, and omicron for the degree sign
                "qtSampleVbarLabel=No Temp Correction;qtSampleVbarUnitLabel=V;qtSampleImage=;qtBufferDensityLabel=No "
                "Temp Correction;qtBufferDensityUnitLabel=ρ;qtBufferViscosityLabel=No Temp Correction;"
                "qtBufferViscosityUnitLabel=η;qtBufferpHLabel=pH;qtSolventImage;qtSedEquilibriumTempLabel=T (οC);"
                "qtSedEquilibriumSigmaLabel=σ;qtSedEquilibriumRPMLabel=rpm;qtStopSign;qtSedEquilibriumMRLabel=Mr;"
                "qtSedVelocityTempLabel=T (οC);qtSedVelocityConcentrationLabel=mg/ml;qtSedVelocityKLabel=k;"
                "qtSedVelocityCoefficientLabel=S*;qtExperimentResultsMbLabel=Mb;qtExperimentResultsRpLabel=Rp;"
                "qtS20WLabel=S20,w;qtErrorText=Error Text;qtExperimentImage;qtRStokesLabel=cm;qtVbarRo=;qtVbarFo;"
                "qtVbarffo=;qtVbarSmax;qtVbarDmax;qtVbarDelta1maxLabel=Delta1 max:;qtVbarDelta1max;qtVbarmaxabLabel="
                "max a/b:;qtVbarmaxab;qtVbar2amaxLabel=2a max:;qtVbar2amax;qtVbar2bminLabel=2b min:;qtVbar2bmin=;"
                "qtTellerRp=;qtTellerFp;qtTellerffp;qtTellerSmax;qtTellerDmax;qtTellerDelta1maxLabel=Delta1 max:;"
                "qtTellerDelta1max;qtTellermaxabLabel=max a/b:;qtTellermaxab=;qtTeller2amaxLabel=2a max:;"
                "qtTeller2amax;qtTeller2bminLabel=2b min:;qtTeller2bmin=;qtResultsErrorText=qtResultsErrorText" },
            { "QRadioButton",
                "qtHydrateNothing=Input nothing;qtHydrateProlate=Input a/b prolate;qtHydrateOblate="
                "Input a/b oblate;qtHydrateComputed=Use computed delta1;qtHydrateDelta1=Input Delta1;"
                "qtShapeProlate=Prolate ellipsoid;qtShapeOblate=Oblate ellipsoid;qtShapeCylinder="
                "Cylinder;qtVbarMethod=Vbar Method;qtTellerMethod=Teller Method" },
            { "QGroupBox",
                "groupBox_5=Sample Data;groupBox_7=Vbar;groupBox_6=Buffer Data;groupBox_61=Density;"
                "groupBox_51=Viscosity;groupBox=pH;groupBox_4=Experiment Data;groupBox1=Sed Equilibrium;"
                "groupBox_2=Sed Velocity;groupBox_3=Results;groupBox2=Results;groupBox_41=Use Results "
                "From Method;groupBox_71=Results from Vbar Method;groupBox_8=Results from Teller Method;"
                "qtHydrationOptions=Hydration Options;qtAssumedShape=Assumed Shape;groupBox_11=Rstokes" },
            { "QLineEdit", "qtHydrateRatio=;qtGraphShapeHydrationExpansion" },
            { "QWidget", "centralwidget;qtStackVornakel;qtTabSample;qtTabSolvent;qtTabExperiment;qtTabResults" },
            { "QStackedWidget", "stackedWidget" },
            { "QTabWidget", "qtTabWidget" },
            { "GuiBufferComponents", "qtStackBufferComponents" },
            { "GuiSampleComposition", "qtStackComposition" },
            { "QMenuBar", "menubar" },
            { "QMenu", "menuFile;menuEstimating_Database;menuHelp" },
            { "QStatusBar", "statusbar" },
        };
        for (const auto &[className, entries] : classes) {
            for (const QString &entry : QString(entries).split(';')) {
                const QString name = entry.section('=', 0, 0);
                const QList<QWidget *> found = m_window->findChildren<QWidget *>(name);
                QVERIFY2(found.size() == 1, qPrintable(name));
                QCOMPARE(found.first()->metaObject()->className(), className);
                if (entry.contains('='))
                    QCOMPARE(textOf(found.first()), entry.section('=', 1));
            }
        }
        // Units carry their marks as rich text.
        QVERIFY(m_ui->qtSampleVbarUnitLabel->text().contains("overline"));
        QVERIFY(m_ui->qtSedEquilibriumTempLabel->text().contains("super"));
        QVERIFY(m_ui->qtS20WLabel->text().contains("sub"));
        // The four data headings are flat; no group can be switched off.
        const QStringList flat { "groupBox_5", "groupBox_6", "groupBox_4", "groupBox2" };
        for (QGroupBox *group : m_ui->qtStackVornakel->findChildren<QGroupBox *>()) {
            QCOMPARE(group->isFlat(), flat.contains(group->objectName()));
            QVERIFY(!group->isCheckable());
        }
        // The record lists' captions.
        for (QWidget *tab : { m_ui->qtTabSample, m_ui->qtTabSolvent, m_ui->qtTabExperiment, m_ui->qtTabResults }) {
            QStringList captions;
            for (QLabel *label : tab->findChildren<QLabel *>(QRegularExpression("^label")))
                captions << label->text();
            QVERIFY(captions.contains("Select from list to retrieve from database"));
            QVERIFY(captions.contains(tab == m_ui->qtTabSample ? "Sort By" : "Sort by"));
            if (tab == m_ui->qtTabResults)
                for (const char *caption : { "Ro:", "Fo:", "f/fo:", "Smax:", "Dmax:", "Rp:", "Fp:", "f/fp:", "nm" })
                    QVERIFY2(captions.contains(caption), caption);
        }
        const QString tips[][2] = { { "qtSedEquilibriumTemp", "Accepts: 0 - 45" },
            { "qtSedEquilibriumRPM", "Accepts: 0 - 90,000" }, { "qtSedEquilibriumMR", "Accepts: Positive Values" },
            { "qtSedVelocityConcentration", "Accepts: Positive Values" },
            { "qtExperimentResultsRp", "Accepts: Positive Values" },
            { "qtExperimentResultsS", "Accepts: Positive Values" }, { "qtSedEquilibriumSigma", "" } };
        for (const auto &tip : tips)
            QCOMPARE(widget(tip[0])->toolTip(), tip[1]);
    }

    void windowStackAndTabsAreInOrder()
    {
        QCOMPARE(m_window->objectName() + " " + m_window->windowTitle(), "QtVornakel Vornakel");
        QCOMPARE(m_window->size(), QSize(761, 723));
        QCOMPARE(m_ui->stackedWidget->count(), 3);
        QCOMPARE(m_ui->stackedWidget->currentWidget(), m_ui->qtStackVornakel);
        QCOMPARE(m_ui->stackedWidget->widget(1), m_ui->qtStackBufferComponents);
        QCOMPARE(m_ui->stackedWidget->widget(2), m_ui->qtStackComposition);
        QStringList tabs;
        for (int i = 0; i < m_ui->qtTabWidget->count(); ++i)
            tabs << m_ui->qtTabWidget->tabText(i) + "=" + m_ui->qtTabWidget->widget(i)->objectName();
        QCOMPARE(tabs,
            QStringList({ "Sample=qtTabSample", "Solvent=qtTabSolvent", "Experiment=qtTabExperiment",
                "Results=qtTabResults" }));
        QCOMPARE(m_ui->qtTabWidget->currentWidget(), m_ui->qtTabResults);
    }

    void styleSheetsMarkState()
    {
        const QString green = "QPushButton:checked{\nbackground-color:rgba(28, 170, 29, 150);\nborder:1px solid "
                              "grey;\nborder-radius: 5px}\n";
        const QPair<QString, const char *> sheets[] = {
            { green,
                "qtVbarDirectEntry qtVbarStandard qtVbarCompute qtDensityDirectEntry qtDensityStandard "
                "qtDensityCompute qtViscosityDirectEntry qtViscosityStandard qtViscosityCompute "
                "qtExactMolecularWeight qtFromSigma qtFromComposition" },
            { "color: rgb(0, 128, 255);\n",
                "qtSampleVbarUnitLabel qtBufferDensityUnitLabel qtBufferViscosityUnitLabel "
                "qtBufferpHLabel qtSedEquilibriumTempLabel qtSedEquilibriumSigmaLabel "
                "qtSedEquilibriumRPMLabel qtSedVelocityTempLabel "
                "qtSedVelocityConcentrationLabel qtSedVelocityKLabel "
                "qtSedVelocityCoefficientLabel" },
            { "color: rgb(28, 170, 29);\n",
                "qtSedEquilibriumMRLabel qtExperimentResultsMbLabel qtExperimentResultsRpLabel qtS20WLabel" },
            { "color: rgb(28, 170, 29);", "qtExperimentResultsRp qtExperimentResultsS" },
            { "color: rgb(170, 0, 0);", "qtSampleVbarLabel qtBufferDensityLabel qtBufferViscosityLabel" },
            { "border-right-color: rgb(255, 255, 255);", "qtSedEquilibriumRPM qtSedEquilibriumMR" },
            { "border-right-color: rgb(255, 255, 255);\ncolor: rgb(76, 76, 76);", "qtExperimentResultsMb" },
            { QString(), "QtVornakel qtResultsErrorText qtTabWidget" },
        };
        for (const auto &[sheet, names] : sheets)
            for (const QString &name : QString(names).split(' '))
                QVERIFY2((name == "QtVornakel" ? m_window : widget(name))->styleSheet() == sheet, qPrintable(name));
    }

    void initialStates()
    {
        // Source and method buttons: checkable, none pressed, exclusive within their own group only.
        int sources = 0;
        for (QPushButton *b : m_ui->qtStackVornakel->findChildren<QPushButton *>())
            if (b->isCheckable() && ++sources)
                QVERIFY2(b->autoExclusive() && !b->isChecked() && b->styleSheet().contains(":checked"),
                    qPrintable(b->objectName()));
        QCOMPARE(sources, 12);
        m_ui->qtDensityStandard->setChecked(true);
        m_ui->qtVbarStandard->setChecked(true);
        m_ui->qtVbarCompute->setChecked(true);
        QVERIFY(!m_ui->qtVbarStandard->isChecked() && m_ui->qtDensityStandard->isChecked());
        for (QRadioButton *radio : m_window->findChildren<QRadioButton *>())
            QVERIFY2(!radio->isChecked(), qPrintable(radio->objectName()));
        for (QWidget *w : QList<QWidget *> { m_ui->qtGraphShapeButton, m_ui->qtAvsBGraphButton, m_ui->qtHydrateComputed,
                 m_ui->qtExperimentResultsMb })
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
        QVERIFY(m_ui->qtRStokes->isReadOnly());
        QVERIFY(m_ui->qtStopSign->pixmap() && !m_ui->qtStopSign->pixmap()->isNull());
        for (QLabel *image : { m_ui->qtSampleImage, m_ui->qtSolventImage, m_ui->qtExperimentImage })
            QVERIFY(image->pixmap() && !image->pixmap()->isNull());
        QVERIFY(m_ui->qtskButton->isFlat());
        QCOMPARE(m_ui->qtskButton->focusPolicy(), Qt::NoFocus);
        for (QWidget *w :
            QList<QWidget *> { m_ui->qtSedEquilibriumMR, m_ui->qtExperimentResultsRp, m_ui->qtExperimentResultsS })
            QCOMPARE(w->focusPolicy(), Qt::ClickFocus);
        QVERIFY(m_ui->qtErrorText->wordWrap() && m_ui->qtResultsErrorText->wordWrap());
        QVERIFY(m_ui->qtBufferSortBy->duplicatesEnabled());
        QCOMPARE(m_ui->qtGraphShapeHydrationExpansion->maximumSize(), QSize(0, 0));
        for (QLineEdit *field :
            { m_ui->qtSampleVbar, m_ui->qtBufferDensity, m_ui->qtBufferViscosity, m_ui->qtBufferpH })
            QCOMPARE(field->maxLength(), 12);
        QCOMPARE(m_ui->qtSedEquilibriumSigma->maxLength(), 40);
        // Fields read left to right, the Stokes radius at the right; the results' captions stand right.
        for (GuiLineEdit *field : m_window->findChildren<GuiLineEdit *>())
            QVERIFY2(field->alignment() & (field == m_ui->qtRStokes ? Qt::AlignRight : Qt::AlignLeft),
                qPrintable(field->objectName()));
        for (QLabel *label : m_ui->qtTabResults->findChildren<QLabel *>())
            if (label->text().endsWith(':'))
                QVERIFY2(label->alignment() & Qt::AlignRight, qPrintable(label->objectName()));
    }

    void menusAndActionsAreInOrder()
    {
        // Per menu its title, then per entry its object name, text and shortcut; "-" a separator.
        QStringList entries;
        for (QAction *menu : m_ui->menubar->actions()) {
            entries << menu->text();
            for (QAction *action : menu->menu()->actions())
                entries << (action->isSeparator() ? "-"
                                                  : action->objectName() + "=" + action->text() + "="
                            + action->shortcut().toString(QKeySequence::PortableText));
        }
        QCOMPARE(entries,
            QStringList({ "File", "actionNew_Data_Entry_Form=New Data Entry Form=Meta+D",
                "actionOpen_Different_Experimental_Database=Open Different Experimental Database...=", "-",
                "actionSave_Sample_Info_in_Database=Save Sample Info in Database...=",
                "actionSave_Buffer_Info_in_Database=Save Solvent Info in Database...=",
                "actionSave_Experiment_Info_in_Database=Save Experiment Info in Database...=",
                "actionSave_Results_in_Database=Save Results in Database...=", "-",
                "actionChange_Program_Defaults=Change Program Defaults...=", "-",
                "actionAdditional_Modules=Additional Modules...=", "-", "actionImport=Import Databases=", "-",
                "actionExit=Exit=", "Estimating Database", "actionUpdate_Amino_Acid_Data=Update Amino Acid Data...=",
                "actionUpdate_Conjugate_Data=Update Conjugate Data...=",
                "actionUpdate_Denaturants_Data=Update Denaturants Data...=",
                "actionUpdate_BufferComponents_Data=Update Buffer Components=",
                "actionUpdate_Extinction_Data=Update Extinction Data...=", "Help",
                "actionAbout_Vornakel=About Vornakel...=", "actionContents=Contents=",
                "actionSearch_for_Help_On=Search for Help On...=", "-",
                "actionCheck_for_updates=Check for updates=", "-" }));
        // Actions that are in no menu still belong to the window.
        const char *const unlisted[][2] = { { "actionUpdate_Density_Data", "Update Density Data...=" },
            { "actionUpdate_Viscosity_Data", "Update Viscosity Data...=" },
            { "actionDebug_Console", "Debug Console=Meta+W" }, { "actionOpen_Module", "Open Module=" } };
        for (const auto &[name, rest] : unlisted) {
            auto *action = m_window->findChild<QAction *>(name);
            QVERIFY2(action && action->parent() == m_window && action->associatedWidgets().isEmpty(), qPrintable(name));
            QCOMPARE(action->text() + "=" + action->shortcut().toString(QKeySequence::PortableText), rest);
        }
        // Exit closes the window.
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window));
        m_ui->actionExit->trigger();
        QVERIFY(!m_window->isVisible());
    }

    void focusFollowsTheTabOrder()
    {
        const char *const chain
            = "qtExperimentName qtExactMolecularWeight qtFromSigma qtFromComposition "
              "qtSedEquilibriumTemp qtSedEquilibriumSigma qtSedEquilibriumRPM qtSedEquilibriumMR qtSedVelocityTemp "
              "qtSedVelocityConcentration qtSedVelocityCoefficient qtExperimentResultsMb qtExperimentResultsRp "
              "qtHydrateNothing qtExperimentResultsS qtVbarDirectEntry qtVbarStandard qtVbarCompute qtSampleVbar "
              "qtBufferpH qtDensityDirectEntry qtDensityStandard qtDensityCompute qtBufferDensity "
              "qtViscosityDirectEntry "
              "qtViscosityStandard qtViscosityCompute qtBufferViscosity qtHydrateProlate qtHydrateOblate "
              "qtHydrateComputed qtHydrateDelta1 qtHydrateRatio qtShapeProlate qtShapeOblate qtShapeCylinder "
              "qtVbarMethod qtTellerMethod";
        const QStringList order = QString(chain).split(' ');
        for (int i = 0; i + 1 < order.size(); ++i) {
            QWidget *from = widget(order.at(i));
            QWidget *next = from->nextInFocusChain();
            while (next && from->isAncestorOf(next)) // a widget's own children follow it
                next = next->nextInFocusChain();
            QVERIFY2(next == widget(order.at(i + 1)), qPrintable(order.at(i) + " -> " + order.at(i + 1)));
        }
    }
};

QTEST_MAIN(TstGuiVornakelForm)
#include "tst_gui_vornakel_form.moc"
