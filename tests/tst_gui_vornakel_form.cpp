#include "gui/gui_vornakel.h" // the form class comes with the window

#include "test_log.h"

#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QtTest>
#include <algorithm>

// The main window's form on its own, as uic builds it: names, classes, texts,
// style sheets, states and menus.
class TstGuiVornakelForm : public QObject
{
    Q_OBJECT

    QMainWindow *m_window = nullptr;
    Ui_QtVornakel *m_ui = nullptr;

    QWidget *widget(const QString &name) const { return m_window->findChild<QWidget *>(name); }

    // A widget's shown text: a label's rich text as read, a group's title.
    static QString textOf(QWidget *w)
    {
        const QString text = w->property(qobject_cast<QGroupBox *>(w) ? "title" : "text").toString();
        return Qt::mightBeRichText(text) ? QTextDocumentFragment::fromHtml(text).toPlainText() : text;
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
                QList<QWidget *> found = m_window->findChildren<QWidget *>(name);
                // The composition pages have widgets of the same names (the sample page's own tab widget, the
                // buffer page's groupBox).
                found.erase(std::remove_if(found.begin(), found.end(),
                                [this](QWidget *w) {
                                    return (w != m_ui->qtStackComposition && m_ui->qtStackComposition->isAncestorOf(w))
                                        || (w != m_ui->qtStackBufferComponents
                                            && m_ui->qtStackBufferComponents->isAncestorOf(w));
                                }),
                    found.end());
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
        // Every tab's record list has its caption.
        for (QWidget *tab : { m_ui->qtTabSample, m_ui->qtTabSolvent, m_ui->qtTabExperiment, m_ui->qtTabResults }) {
            QStringList captions;
            for (QLabel *label : tab->findChildren<QLabel *>(QRegularExpression("^label")))
                captions << label->text();
            QVERIFY(captions.contains("Select from list to retrieve from database"));
        }
    }

    void windowStartsWithItsTabsSheetsTipsAndStates()
    {
        QCOMPARE(m_window->objectName() + " " + m_window->windowTitle(), "QtVornakel Vornakel");
        QCOMPARE(m_ui->stackedWidget->currentWidget(), m_ui->qtStackVornakel);
        QCOMPARE(m_ui->stackedWidget->indexOf(m_ui->qtStackComposition), 2);
        QStringList tabs;
        for (int i = 0; i < m_ui->qtTabWidget->count(); ++i)
            tabs << m_ui->qtTabWidget->tabText(i) + "=" + m_ui->qtTabWidget->widget(i)->objectName();
        QCOMPARE(
            tabs.join(' '), "Sample=qtTabSample Solvent=qtTabSolvent Experiment=qtTabExperiment Results=qtTabResults");
        QCOMPARE(m_ui->qtTabWidget->currentWidget(), m_ui->qtTabResults);

        // Widget, property, value. One widget per distinct style sheet: they mark where a value comes from.
        const char *const rows[][3] = {
            { "qtVbarDirectEntry", "styleSheet",
                "QPushButton:checked{\nbackground-color:rgba(28, 170, 29, 150);\nborder:1px solid grey;\n"
                "border-radius: 5px}\n" },
            { "qtSampleVbarUnitLabel", "styleSheet", "color: rgb(0, 128, 255);\n" },
            { "qtS20WLabel", "styleSheet", "color: rgb(28, 170, 29);\n" },
            { "qtExperimentResultsS", "styleSheet", "color: rgb(28, 170, 29);" },
            { "qtBufferDensityLabel", "styleSheet", "color: rgb(170, 0, 0);" },
            { "qtSedEquilibriumMR", "styleSheet", "border-right-color: rgb(255, 255, 255);" },
            { "qtExperimentResultsMb", "styleSheet",
                "border-right-color: rgb(255, 255, 255);\ncolor: rgb(76, 76, 76);" },
            { "qtResultsErrorText", "styleSheet", "" }, { "qtSedEquilibriumTemp", "toolTip", "Accepts: 0 - 45" },
            { "qtSedEquilibriumRPM", "toolTip", "Accepts: 0 - 90,000" },
            { "qtExperimentResultsS", "toolTip",
                "Accepts: a number in seconds (4.2e-13) or in svedbergs (4.2); negative for a floating particle" },
            { "qtGraphShapeButton", "enabled", "false" }, { "qtAvsBGraphButton", "enabled", "false" },
            { "qtHydrateComputed", "enabled", "false" }, { "qtExperimentResultsMb", "enabled", "false" },
            { "qtRStokes", "readOnly", "true" }, { "qtskButton", "flat", "true" },
            { "qtskButton", "focusPolicy", "0" }, // Qt::NoFocus
            { "qtSedEquilibriumMR", "focusPolicy", "2" }, // Qt::ClickFocus
            { "qtResultsErrorText", "wordWrap", "true" }, { "qtBufferSortBy", "duplicatesEnabled", "true" },
            { "qtSampleVbar", "maxLength", "12" }, { "qtSedEquilibriumSigma", "maxLength", "40" }
        };
        for (const auto &[name, property, value] : rows)
            QVERIFY2(widget(name) && widget(name)->property(property).toString() == value,
                qPrintable(QString("%1 %2").arg(name, property)));

        // Source and method buttons: exclusive within their group, none pressed; no option chosen.
        int sources = 0;
        for (QPushButton *b : m_ui->qtStackVornakel->findChildren<QPushButton *>())
            if (b->isCheckable() && ++sources)
                QVERIFY2(b->autoExclusive() && !b->isChecked(), qPrintable(b->objectName()));
        QCOMPARE(sources, 12);
        for (QRadioButton *radio : m_window->findChildren<QRadioButton *>())
            QVERIFY2(!radio->isChecked(), qPrintable(radio->objectName()));
        for (QLabel *image : { m_ui->qtStopSign, m_ui->qtSampleImage, m_ui->qtSolventImage, m_ui->qtExperimentImage })
            QVERIFY2(!image->pixmap(Qt::ReturnByValue).isNull(), qPrintable(image->objectName()));
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
        QCOMPARE(entries.join('|'),
            "File|actionNew_Data_Entry_Form=New Data Entry Form=Meta+D|actionOpen_Different_Experimental_Database="
            "Open Different Experimental Database...=|-|actionSave_Sample_Info_in_Database=Save Sample Info in "
            "Database...=|actionSave_Buffer_Info_in_Database=Save Solvent Info in Database...=|"
            "actionSave_Experiment_Info_in_Database=Save Experiment Info in Database...=|actionSave_Results_in_"
            "Database=Save Results in Database...=|-|actionChange_Program_Defaults=Change Program Defaults...=|-|"
            "actionAdditional_Modules=Additional Modules...=|-|actionImport=Import Databases=|-|actionExit=Exit=|"
            "Estimating Database|actionUpdate_Amino_Acid_Data=Update Amino Acid Data...=|actionUpdate_Conjugate_"
            "Data=Update Conjugate Data...=|actionUpdate_Denaturants_Data=Update Denaturants Data...=|"
            "actionUpdate_BufferComponents_Data=Update Buffer Components=|actionUpdate_Extinction_Data=Update "
            "Extinction Data...=|Help|actionAbout_Vornakel=About Vornakel...=|actionContents=Contents=|"
            "actionSearch_for_Help_On=Search for Help On...=|-|actionCheck_for_updates=Check for updates=|-");
        // Actions that are in no menu still belong to the window.
        QStringList unlisted;
        for (QAction *action : m_window->findChildren<QAction *>(QString(), Qt::FindDirectChildrenOnly))
            if (action->associatedWidgets().isEmpty())
                unlisted << action->objectName() + "=" + action->text() + "="
                        + action->shortcut().toString(QKeySequence::PortableText);
        unlisted.sort();
        QCOMPARE(unlisted.join('|'),
            "actionDebug_Console=Debug Console=Meta+W|actionOpen_Module=Open Module=|actionUpdate_Density_Data="
            "Update Density Data...=|actionUpdate_Viscosity_Data=Update Viscosity Data...=");
    }
};

TEST_MAIN(TstGuiVornakelForm)
#include "tst_gui_vornakel_form.moc"
