#include "app/app_number.h"
#include "gui/gui_buffercomponents.h"
#include "gui/gui_dataupdate.h"

#include "test_environment.h"
#include "test_log.h"
#include "test_mainwindow.h"
#include "test_recordsteps.h"

#include <QComboBox>
#include <QHeaderView>
#include <QPainter>
#include <QProxyStyle>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTextDocument>
#include <QtTest>
#include <cmath>
#include <memory>

// Water (IAPWS-95 density in g/ml, IAPWS 2008 viscosity in mPa s) at 5, 20 and 37 C: buffer figures at another
// temperature are the 20 C figures times the water ratio.
static const double kRho5 = 0.999967, kRho20 = 0.998207, kRho37 = 0.993330;
static const double kEta5 = 1.51817, kEta20 = 1.00160, kEta37 = 0.69130;
// 0.15 M NaCl at 20 C (CRC Handbook, concentrative properties of aqueous solutions): density and viscosity in poise.
static const double kNaClRho = 1.0044, kNaClEta = 1.018e-02;

class TstGuiBufferComponents : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestMainWindow> m_f;
    GuiBufferComponents *m_page = nullptr;

    int rowOf(const QString &name) const
    {
        const QList<QTableWidgetItem *> found = m_page->qtComponents->findItems(name, Qt::MatchExactly);
        return found.isEmpty() ? -1 : found.first()->row();
    }
    QComboBox *units(const QString &name) const
    {
        return qobject_cast<QComboBox *>(m_page->qtAddedComponents->cellWidget(rowOf(name), 2));
    }
    QTableWidgetItem *concentration(const QString &name) const
    {
        return m_page->qtAddedComponents->item(rowOf(name), 1);
    }
    // Picks the component and adds it; its concentration is still to be typed.
    void pickAndAdd(const QString &name)
    {
        m_page->qtComponents->setCurrentItem(m_page->qtComponents->item(rowOf(name), 0));
        m_page->qtAddComponent->click();
    }
    // Picks the component, adds it, chooses the unit and types the concentration into the cell's editor; with
    // unitLast the concentration is typed first and the unit chosen after it (none: the box left as it is).
    void add(
        const QString &name, const QString &value, const QString &unit = QStringLiteral("molar"), bool unitLast = false)
    {
        pickAndAdd(name);
        if (!unitLast)
            units(name)->setCurrentText(unit);
        // The cell's editor, open on the concentration (the focus may still be with a box just answered).
        QLineEdit *editor = m_page->qtAddedComponents->viewport()->findChild<QLineEdit *>();
        QVERIFY(editor);
        QTest::keyClicks(editor, value);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents(); // the delegate commits the edit queued
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); // and drops its editor later
        QCOMPARE(concentration(name)->text(), value);
        if (unitLast && !unit.isEmpty())
            chooseUnit(name, unit);
    }
    // Selects the component in the buffer's table and removes it.
    void remove(const QString &name)
    {
        m_page->qtAddedComponents->setCurrentItem(m_page->qtAddedComponents->item(rowOf(name), 0));
        m_page->qtRemoveComponent->click();
    }
    // As a pick from the box's list: a change of the unit, if any, then the choice itself.
    void chooseUnit(const QString &name, const QString &unit)
    {
        QComboBox *box = units(name);
        const int index = box->findText(unit);
        box->setCurrentIndex(index);
        emit box->activated(index);
    }
    // The buffer as the page shows it: "name=concentration=units" per component, in table order.
    QStringList buffer() const
    {
        QStringList shown;
        QTableWidget *table = m_page->qtAddedComponents;
        for (int row = 0; row < table->rowCount(); ++row) {
            if (!table->isRowHidden(row)) {
                shown << table->item(row, 0)->text() + "=" + table->item(row, 1)->text() + "="
                        + qobject_cast<QComboBox *>(table->cellWidget(row, 2))->currentText();
            }
        }
        return shown;
    }
    // The tables are paired row by row.
    void verifyPaired() const
    {
        QCOMPARE(m_page->qtComponents->rowCount(), m_page->qtAddedComponents->rowCount());
        for (int row = 0; row < m_page->qtComponents->rowCount(); ++row) {
            QCOMPARE(m_page->qtAddedComponents->item(row, 0)->data(GuiBufferComponents::ComponentIdRole),
                m_page->qtComponents->item(row, 0)->data(GuiBufferComponents::ComponentIdRole));
        }
    }
    void openPage() { m_f->click("qtDensityCompute"), m_f->click("qtViscosityCompute"); }
    GuiDataUpdate *editor() const
    {
        const QList<GuiDataUpdate *> editors = testTopLevels<GuiDataUpdate>();
        if (editors.isEmpty())
            qFatal("no reference data editor");
        return editors.first();
    }
    // The texts of the message boxes shown so far (file dialogs left out).
    QStringList boxes() const
    {
        QStringList texts;
        for (const TestModalAnswerer::Seen &seen : m_f->answerer.seen()) {
            if (seen.className == QLatin1String("QMessageBox"))
                texts << seen.text;
        }
        return texts;
    }
    // Saves the solvent through the main window's save dialog: as a new record of that name, or over the
    // stored record of that name after the overwrite question.
    void saveSolvent(const QString &name, bool overwrite)
    {
        m_f->answerer.answerWith([name, overwrite](QWidget *w) {
            QTimer::singleShot(0, w, [w, name, overwrite] {
                auto *box = w->findChild<QComboBox *>("qtSolventName");
                box->setCurrentIndex(overwrite ? box->findText(name) : 0);
                if (!overwrite)
                    box->setEditText(name);
                w->findChild<QDialogButtonBox *>("qtSolventButtonBox")->button(QDialogButtonBox::Save)->click();
                static_cast<QDialog *>(w)->reject();
            });
        });
        if (overwrite)
            m_f->answerer.answerMessageBox(QMessageBox::Save);
        m_f->click("qtBufferSaveToDB");
        TEST_TRY_COMPARE(m_f->answerer.pending(), 0);
    }
    // "column=value" of the named buffer record, for the columns given.
    QStringList stored(const QString &name, const QString &columns) const
    {
        QSqlQuery query(m_f->db.database());
        query.prepare("SELECT " + columns + " FROM buffer WHERE name = :name");
        query.bindValue(":name", name);
        QStringList out;
        if (query.exec() && query.next()) {
            for (int i = 0; i < query.record().count(); ++i)
                out << query.record().fieldName(i) + "="
                        + (query.value(i).isNull() ? QStringLiteral("NULL")
                                                   : AppNumber::toText(query.value(i).toDouble()));
        }
        return out;
    }
    // The active components of the named record, "name=concentration=units" in name order.
    QStringList storedComponents(const QString &name) const
    {
        QSqlQuery query(m_f->db.database());
        query.prepare("SELECT c.name, b.concentration, b.units FROM bufferComposition b JOIN BufferComponent c ON "
                      "c.id = b.componentID JOIN buffer ON buffer.id = b.bufferId WHERE buffer.name = :name AND "
                      "b.active > 0 ORDER BY c.name");
        query.bindValue(":name", name);
        QStringList out;
        if (query.exec()) {
            while (query.next())
                out << query.value(0).toString() + "=" + query.value(1).toString() + "=" + query.value(2).toString();
        }
        return out;
    }
    qlonglong id(const QString &name) const
    {
        return m_f->db.value("SELECT id FROM BufferComponent WHERE name = :name", { { "name", name } }).toLongLong();
    }
    // The buffer table's headings as its header paints them; one wider than its label, in the font it is
    // painted in, is marked: it shows cut at both ends.
    QStringList paintedHeadings() const
    {
        class Recorder : public QProxyStyle
        {
        public:
            void drawItemText(QPainter *painter, const QRect &rect, int flags, const QPalette &palette, bool enabled,
                const QString &text, QPalette::ColorRole role) const override
            {
                const bool cut = painter->fontMetrics().horizontalAdvance(text) > rect.width();
                painted << text + (cut ? " (cut)" : "");
                QProxyStyle::drawItemText(painter, rect, flags, palette, enabled, text, role);
            }
            mutable QStringList painted;
        } recorder;
        QHeaderView *header = m_page->qtAddedComponents->horizontalHeader();
        header->setStyle(&recorder);
        header->grab();
        header->setStyle(nullptr);
        return recorder.painted;
    }
    QString writeFile(const QByteArray &bytes) const
    {
        const QString path = m_f->settings.path() + "/composition.buf";
        if (!testWriteFile(path, bytes))
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private slots:
    void init()
    {
        m_f = std::make_unique<TestMainWindow>(TestDatabase::Contents::ReferenceData);
        QVERIFY(m_f->db.isValid());
        QVERIFY(m_f->start());
        m_page = m_f->window->qtStackBufferComponents;
        m_f->showTab("qtTabExperiment");
    }
    void cleanup()
    {
        m_f.reset();
        m_page = nullptr;
    }

    void figuresAgreeWithPublishedTables_data()
    {
        QTest::addColumn<QStringList>("components"); // name=concentration=units
        QTest::addColumn<QString>("temperature");
        QTest::addColumn<double>("d2o"); // percent
        QTest::addColumn<double>("density");
        QTest::addColumn<double>("viscosity"); // poise; 0 when not checked
        const QStringList nacl { "Sodium chloride=0.15=molar" };
        QTest::newRow("NaCl 20 C") << nacl << "20" << 0.0 << kNaClRho << kNaClEta;
        QTest::newRow("NaCl 5 C") << nacl << "5" << 0.0 << kNaClRho * kRho5 / kRho20 << kNaClEta * kEta5 / kEta20;
        QTest::newRow("NaCl 37 C") << nacl << "37" << 0.0 << kNaClRho * kRho37 / kRho20 << kNaClEta * kEta37 / kEta20;
        // CRC: Tris 0.05 M; NaCl 10 mg/ml is 1.0 % by mass at 1.0053 g/ml.
        QTest::newRow("Tris") << QStringList { "Tris base=0.05=molar" } << "20" << 0.0 << 0.9997 << 1.018e-02;
        QTest::newRow("NaCl, 10 % D2O") << nacl << "20" << 10.0 << 1.0151 << kNaClEta;
        QTest::newRow("NaCl mg/ml") << QStringList { "Sodium chloride=10=mg/ml" } << "20" << 0.0 << 1.0053 << 0.0;
    }
    void figuresAgreeWithPublishedTables()
    {
        QFETCH(QStringList, components);
        QFETCH(QString, temperature);
        QFETCH(double, d2o);
        QFETCH(double, density);
        QFETCH(double, viscosity);
        m_f->type("qtSedEquilibriumTemp", temperature);
        openPage();
        for (const QString &c : components)
            add(c.section('=', 0, 0), c.section('=', 1, 1), c.section('=', 2, 2));
        const double light = m_f->number("qtCorrectedViscosity");
        if (d2o > 0) {
            m_page->qtHeavyWater->setChecked(true);
            m_page->qtWaterComposition->qtD2OBox->setValue(d2o);
            // Heavy water is more viscous: 10 % D2O adds 2.4 % (IAPWS 2008 and 2020 at 20 C).
            const double ratio = m_f->number("qtCorrectedViscosity") / light;
            QVERIFY2(std::fabs(ratio - 1.024) < 3e-3, qPrintable(AppNumber::toText(ratio)));
        }
        QVERIFY2(std::fabs(m_f->number("qtCorrectedDensity") - density) < 1.5e-4,
            qPrintable(m_f->text("qtCorrectedDensity")));
        if (viscosity > 0 && d2o == 0) {
            QVERIFY2(std::fabs(m_f->number("qtCorrectedViscosity") / viscosity - 1) < 5e-3,
                qPrintable(m_f->text("qtCorrectedViscosity")));
        }
        QVERIFY(m_f->answerer.seen().isEmpty());
    }

    // A component whose concentration is still to be typed makes no buffer yet: no figure (never those of the other
    // components alone), and no box while the person types it.
    void aComponentWithoutConcentrationGivesNoFigure()
    {
        openPage();
        add("Glycerol", "0.15");
        m_page->qtHeavyWater->setChecked(true);
        m_page->qtWaterComposition->qtD2OBox->setValue(50);
        QVERIFY(!m_f->text("qtDensity").isEmpty() && !m_f->text("qtCorrectedDensity").isEmpty());
        pickAndAdd("Sodium chloride");
        units("Sodium chloride")->setCurrentText("mg/ml");
        for (const char *field : { "qtDensity", "qtViscosity", "qtCorrectedDensity", "qtCorrectedViscosity" })
            QVERIFY2(m_f->text(field).isEmpty(), field);
        QVERIFY2(boxes().isEmpty(), qPrintable(boxes().join('\n')));
        concentration("Sodium chloride")->setText("10");
        QVERIFY(!m_f->text("qtDensity").isEmpty() && !m_f->text("qtCorrectedDensity").isEmpty());
    }

    // A concentration of blanks typed into the cell is no concentration: the page waits for it as for an empty
    // cell, in light or heavy water and whether the unit is chosen before or after, shows what an empty cell
    // shows and says nothing; a number typed then gives the figures.
    void aConcentrationOfBlanksIsAnEmptyCell_data()
    {
        QTest::addColumn<bool>("heavy");
        QTest::addColumn<bool>("unitLast");
        QTest::newRow("unit first") << false << false;
        QTest::newRow("unit after") << false << true;
        QTest::newRow("heavy water") << true << false;
    }
    void aConcentrationOfBlanksIsAnEmptyCell()
    {
        QFETCH(bool, heavy);
        QFETCH(bool, unitLast);
        const auto figures = [this] {
            QStringList shown;
            for (const char *field : { "qtDensity", "qtViscosity", "qtCorrectedDensity", "qtCorrectedViscosity" })
                shown << m_f->text(field);
            return shown;
        };
        openPage();
        add("Glycerol", "0.15");
        m_page->qtHeavyWater->setChecked(heavy);
        m_page->qtWaterComposition->qtD2OBox->setValue(heavy ? 50 : 0);
        m_f->answerer.clear();
        add("Sodium chloride", "   ", "mg/ml", unitLast);
        const QStringList blanks = figures();
        QCOMPARE(blanks, QStringList({ QString(), QString(), QString(), QString() }));
        QVERIFY2(boxes().isEmpty(), qPrintable(boxes().join('\n')));
        concentration("Sodium chloride")->setText(QString());
        QCOMPARE(figures(), blanks);
        concentration("Sodium chloride")->setText("10");
        QVERIFY2(!figures().contains(QString()), qPrintable(figures().join(' ')));
        QVERIFY2(boxes().isEmpty(), qPrintable(boxes().join('\n')));
    }

    // A concentration per mass holds more of its solute per litre in heavy water: 20 % sucrose by mass is 1.0810 g/ml
    // in light water at 20 C (CRC Handbook), c = 0.21620 g/ml, so c phi = c - (1.0810 - 0.998234) and phi = 0.61826
    // ml/g. In D2O (IAPWS 2017: 1.105336 g/ml, 1.105366 on the program's scale) its density is rho = 1.105366 /
    // (0.8 + 0.2 phi 1.105366) = 1.18009 g/ml, so 0.68952 M: its density and viscosity are that molarity's in D2O.
    void aConcentrationPerMassHoldsMoreSoluteInHeavyWater()
    {
        m_f->type("qtSedEquilibriumTemp", "20");
        openPage();
        add("Sucrose", "20", "% by wt");
        m_page->qtHeavyWater->setChecked(true);
        m_page->qtWaterComposition->qtD2OBox->setValue(100);
        const double density = m_f->number("qtCorrectedDensity"), viscosity = m_f->number("qtCorrectedViscosity");
        concentration("Sucrose")->setText("0.68952");
        units("Sucrose")->setCurrentText("molar");
        const QList<QPair<const char *, double>> figures { { "qtCorrectedDensity", density },
            { "qtCorrectedViscosity", viscosity } };
        for (const auto &figure : figures)
            QVERIFY2(std::fabs(figure.second / m_f->number(figure.first) - 1) < 5e-4,
                qPrintable(AppNumber::toText(figure.second) + " for " + m_f->text(figure.first) + " at 0.68952 M"));
        QVERIFY2(boxes().isEmpty(), qPrintable(boxes().join('\n')));
    }

    // Units follow the component's data; a component without series is marked and warned about when added.
    void unitsMarksAndSearch()
    {
        const QStringList all { "molar", "molal", "mg/ml", "g/ml", "% by wt", "% by vol" };
        auto offered = [this](const QString &name) {
            QStringList items;
            for (int i = 0; i < units(name)->count(); ++i)
                items << units(name)->itemText(i);
            return items;
        };
        QCOMPARE(offered("Sodium chloride"), all);
        QCOMPARE(offered("EDTA disodium"), QStringList { "molar" }); // Mr but no density
        QVERIFY(m_f->sql("UPDATE BufferComponent SET componentMr = NULL WHERE name = 'Glycerol'"));
        QVERIFY(
            m_f->sql("INSERT INTO BufferComponent (name, componentDensity, componentMr) VALUES ('aaa salt', 2, 50)"));
        emit editor()->sigComponentRecordChanged(id("Glycerol"));
        emit editor()->sigNewBufferComponentAdded(id("aaa salt"));
        QCOMPARE(offered("Glycerol"), QStringList { "molar" });
        QCOMPARE(offered("aaa salt"), all);
        verifyPaired();

        QTableWidgetItem *salt = m_page->qtComponents->item(rowOf("aaa salt"), 0);
        QCOMPARE(salt->background().color(), QColor(170, 28, 29, 100));
        const QString tip = "No Solvent Data defined for component: 'aaa salt'\n\nComponent will not be used to "
                            "calculate buffer density or buffer viscosity.";
        QCOMPARE(salt->toolTip(), tip);
        QCOMPARE(m_page->qtAddedComponents->item(rowOf("aaa salt"), 0)->toolTip(), "aaa salt\n\n" + tip);
        QVERIFY(m_page->qtComponents->item(rowOf("Glycerol"), 0)->toolTip().isEmpty());
        openPage();
        add("aaa salt", "1");
        QCOMPARE(boxes(), QStringList { tip });
        add("aaa salt", "2"); // already in the buffer: no second warning
        QCOMPARE(m_f->answerer.seen().size(), 1);

        // Search selects the first visible row starting with the text, in any case; a miss turns the field red.
        QTest::keyClicks(m_page->qtComponentsSearch, "sOd");
        QVERIFY(m_page->qtComponents->currentItem()->text().startsWith("Sodium"));
        QTest::keyClicks(m_page->qtAddedComponentsSearch, "Gly");
        QVERIFY(m_page->qtAddedComponentsSearch->styleSheet().contains("170, 28, 29"));
        m_page->qtAddedComponentsSearch->clear();
        QTest::keyClicks(m_page->qtAddedComponentsSearch, "A");
        QCOMPARE(m_page->qtAddedComponents->currentItem()->text(), QStringLiteral("aaa salt"));
        QVERIFY(!m_page->qtAddedComponentsSearch->styleSheet().contains("170, 28, 29"));
    }

    // OK keeps the page and hands on figures only; Cancel brings back what OK kept.
    void okSendsFiguresAndCancelRestores()
    {
        openPage();
        add("Sodium chloride", "0.15");
        QSignalSpy density(m_page, &GuiBufferComponents::sigCalculatedDensityAccepted);
        QSignalSpy viscosity(m_page, &GuiBufferComponents::sigCalculatedViscosityAccepted);
        QSignalSpy accepted(m_page, &GuiBufferComponents::sigPageAccepted);
        m_page->qtButtonBox->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(density.count() + viscosity.count() + accepted.count(), 3);
        QVERIFY(std::fabs(m_f->number("qtBufferDensity") - kNaClRho) < 1.5e-4);
        const QStringList kept = buffer();
        const QString keptDensity = m_f->text("qtCorrectedDensity");

        openPage();
        add("Glycerol", "10", "% by vol");
        units("Sodium chloride")->setCurrentText("mg/ml");
        m_page->qtRemoveComponent->setFocus();
        remove("Sodium chloride");
        QCOMPARE(buffer(), QStringList { "Glycerol=10=% by vol" });
        m_page->qtHeavyWater->setChecked(true);
        m_page->qtWaterComposition->qtD2OBox->setValue(20);
        m_page->qtButtonBox->button(QDialogButtonBox::Cancel)->click();
        QCOMPARE(buffer(), kept);
        QVERIFY(!m_page->qtHeavyWater->isChecked());
        QCOMPARE(m_page->qtWaterComposition->H2O(), 1.0);
        QCOMPARE(m_f->text("qtCorrectedDensity"), keptDensity);

        // A corrected field that holds no figure is not sent.
        density.clear(), viscosity.clear(), accepted.clear();
        openPage();
        m_page->qtCorrectedDensity->setText(QString());
        m_page->qtCorrectedViscosity->setText("abc");
        m_page->qtButtonBox->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(density.count() + viscosity.count(), 0);
        QCOMPARE(accepted.count(), 1);
    }

    // A component's concentration typed before its unit is chosen is computed in the unit its box shows, but
    // nothing is said of it until the person has chosen the unit (or is done with it: OK); then it is said once,
    // of the row as it stands, in that unit. The figures are those of the same buffer entered unit first.
    void aComponentIsWarnedAboutOnceItsUnitIsChosen_data()
    {
        QTest::addColumn<QString>("component");
        QTest::addColumn<QString>("concentration");
        QTest::addColumn<QString>("unit"); // chosen after the concentration; none: OK without a choice
        QTest::addColumn<QStringList>("said"); // what the one box says, or no box
        QTest::newRow("glycerol 5, then % by wt") << "Glycerol"
                                                  << "5"
                                                  << "% by wt" << QStringList();
        QTest::newRow("sucrose 200, then mg/ml") << "Sucrose"
                                                 << "200"
                                                 << "mg/ml" << QStringList();
        // Glycerol (92.094 g/mol) at 60 % by weight is some 7.5 M, beyond its viscosity series.
        QTest::newRow("glycerol 60, then % by wt")
            << "Glycerol"
            << "60"
            << "% by wt"
            << QStringList { "Glycerol: 60 % by wt is 7.", " M, above the range of its viscosity series (Cmax " };
        QTest::newRow("glycerol 5, molar chosen")
            << "Glycerol"
            << "5"
            << "molar" << QStringList { "Glycerol: 5 M is above the range of its viscosity series (Cmax " };
        QTest::newRow("glycerol 5, OK") << "Glycerol"
                                        << "5"
                                        << "" << QStringList { "Glycerol: 5 M is above the range of its viscosity" };
    }
    void aComponentIsWarnedAboutOnceItsUnitIsChosen()
    {
        QFETCH(QString, component);
        QFETCH(QString, concentration);
        QFETCH(QString, unit);
        QFETCH(QStringList, said);
        openPage();
        add("Sodium chloride", "0.15");
        m_f->answerer.clear();
        add(component, concentration, unit, true);
        if (unit.isEmpty()) {
            QCOMPARE(boxes(), QStringList());
            m_page->qtButtonBox->button(QDialogButtonBox::Ok)->click();
        }
        const QStringList shown = boxes();
        QCOMPARE(shown.size(), said.isEmpty() ? 0 : 1);
        for (const QString &part : said)
            QVERIFY2(shown.first().contains(part), qPrintable(shown.join('|')));
        QVERIFY2(
            said.isEmpty() || !shown.first().contains(" " + concentration + " M") || unit.isEmpty() || unit == "molar",
            qPrintable(shown.join('|')));
        const QStringList figures { m_f->text("qtDensity"), m_f->text("qtViscosity") };

        // The same buffer entered unit first.
        remove(component);
        add(component, concentration, unit.isEmpty() ? QStringLiteral("molar") : unit);
        QCOMPARE((QStringList { m_f->text("qtDensity"), m_f->text("qtViscosity") }), figures);
    }

    // A buffer's viscosity is carried from 20 C to the run by water's ratio, which a viscous buffer does not
    // follow: glycerol-water tables (Segur and Oberstar 1951) put 20 wt % glycerol (1.761 cP at 20 C) some 7 %
    // above that ratio at 4 C, and below it when warm. The page says the figure may be low (or high) there, in
    // one box; a figure within 0.5 % says nothing: at 20 C, or a plain buffer (0.9 % NaCl, 1.6 % above water)
    // at 4 C.
    void aViscousBufferCarriedFrom20CSaysItsFigureMayBeOff_data()
    {
        QTest::addColumn<QString>("component");
        QTest::addColumn<QString>("percent"); // by weight
        QTest::addColumn<QString>("temperature");
        QTest::addColumn<QString>("word"); // of the one box; none: no box
        QTest::newRow("glycerol 20 % at 4 C") << "Glycerol"
                                              << "20"
                                              << "4"
                                              << "may be low";
        QTest::newRow("glycerol 20 % at 30 C") << "Glycerol"
                                               << "20"
                                               << "30"
                                               << "may be high";
        QTest::newRow("glycerol 20 % at 20 C") << "Glycerol"
                                               << "20"
                                               << "20" << QString();
        QTest::newRow("NaCl 0.9 % at 4 C") << "Sodium chloride"
                                           << "0.9"
                                           << "4" << QString();
    }
    void aViscousBufferCarriedFrom20CSaysItsFigureMayBeOff()
    {
        QFETCH(QString, component);
        QFETCH(QString, percent);
        QFETCH(QString, temperature);
        QFETCH(QString, word);
        m_f->type("qtSedEquilibriumTemp", temperature);
        openPage();
        m_f->answerer.clear();
        add(component, percent, "% by wt");
        QVERIFY(!m_f->text("qtCorrectedViscosity").isEmpty());
        const QStringList shown = boxes();
        if (word.isEmpty()) {
            QVERIFY2(shown.isEmpty(), qPrintable(shown.join('|')));
            return;
        }
        QCOMPARE(shown.size(), 1);
        QCOMPARE(m_f->answerer.seen().first().title, QStringLiteral("Vornakel Warning"));
        QVERIFY2(shown.first().contains(
                     "The viscosity at " + temperature + " C is carried from 20 C by the ratio of water's viscosities")
                && shown.first().contains(word),
            qPrintable(shown.first()));
    }

    // A component waiting for its unit is spoken of by nothing else done on the page meanwhile: another
    // component removed, or the water made heavy or its share changed, says nothing of sucrose 200 in a unit
    // not chosen; 200 mg/ml, once chosen, is within its series.
    void aComponentWaitingForItsUnitIsNotWarnedAboutByOtherEdits_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::newRow("another component removed") << "remove";
        QTest::newRow("heavy water ticked") << "heavy";
        QTest::newRow("the heavy water's share changed") << "share";
    }
    void aComponentWaitingForItsUnitIsNotWarnedAboutByOtherEdits()
    {
        QFETCH(QString, edit);
        openPage();
        add("Sodium chloride", "0.15");
        m_page->qtHeavyWater->setChecked(edit == "share");
        m_f->answerer.clear();
        add("Sucrose", "200", QString(), true);
        if (edit == "remove") {
            remove("Sodium chloride");
        } else if (edit == "heavy") {
            m_page->qtHeavyWater->setChecked(true);
        } else {
            m_page->qtWaterComposition->setValues(30, 0, 0, 70);
        }
        QCOMPARE(boxes(), QStringList());
        chooseUnit("Sucrose", "mg/ml");
        QCOMPARE(boxes(), QStringList());
    }

    // The Solvent tab holds the buffer at the equilibrium temperature; s20,w carries it to the velocity
    // temperature in the buffer's own water, so a run at 10 C gives one s20,w whatever the equilibrium
    // temperature: within 2e-4, as the window calculates from the figures it shows (the viscosity to five
    // figures, vbar to five decimals). Carried in light water, 50 % D2O was 1.4 % off at 4 C.
    void sedimentationIsTheSameAtEveryEquilibriumTemperature_data()
    {
        QTest::addColumn<double>("d2o"); // percent
        QTest::newRow("50 % D2O") << 50.0;
        QTest::newRow("light water") << 0.0;
    }
    void sedimentationIsTheSameAtEveryEquilibriumTemperature()
    {
        QFETCH(double, d2o);
        m_f->type("qtSedEquilibriumTemp", "10");
        openPage();
        add("Sodium chloride", "0.15");
        m_page->qtHeavyWater->setChecked(d2o > 0);
        m_page->qtWaterComposition->qtD2OBox->setValue(d2o);
        m_page->qtButtonBox->button(QDialogButtonBox::Ok)->click();
        m_f->type("qtSedVelocityTemp", "10");
        m_f->type("qtSedVelocityCoefficient", "3");
        const double atTen = m_f->number("qtExperimentResultsS");
        QVERIFY2(atTen > 0, qPrintable(m_f->text("qtExperimentResultsS")));
        for (const char *equilibrium : { "4", "15", "20", "10" }) {
            m_f->type("qtSedEquilibriumTemp", equilibrium);
            QCOMPARE(m_f->text("qtSedVelocityTemp"), QStringLiteral("10.00"));
            QVERIFY2(std::fabs(m_f->number("qtExperimentResultsS") / atTen - 1) < 2e-4,
                qPrintable(QString("%1 C: %2, at 10 C %3")
                               .arg(equilibrium, m_f->text("qtExperimentResultsS"), AppNumber::toText(atTen))));
        }
        QVERIFY(m_f->answerer.seen().isEmpty());
    }

    // OK hands on the page's whole figure, not its display: water at 20 C is the program's 0.998234 g/ml, shown
    // 0.99823 on the page; the Solvent tab shows it to its own six decimals, and a save stores it whole.
    void okHandsOnTheWholeFigure()
    {
        m_f->click("qtDensityCompute");
        QCOMPARE(m_page->qtCorrectedDensity->text(), QStringLiteral("0.99823"));
        m_page->qtButtonBox->button(QDialogButtonBox::Ok)->click();
        QCOMPARE(m_f->text("qtBufferDensity"), QStringLiteral("0.998234"));
        saveSolvent("water", false);
        QCOMPARE(stored("water", "computeDensity"), QStringList { "computeDensity=0.998234" });
    }

    // A calculation switched on and then cancelled leaves its greyed fields with the water, not its figures.
    void cancelledCalculationLeavesTheWater()
    {
        m_f->click("qtDensityCompute");
        add("Sodium chloride", "0.15");
        m_page->qtButtonBox->button(QDialogButtonBox::Ok)->click();
        QVERIFY(!m_page->qtCalculateViscosity->isChecked());

        m_f->click("qtDensityCompute");
        m_page->qtCalculateViscosity->setChecked(true);
        QVERIFY(m_f->number("qtCorrectedViscosity") > 0);
        m_page->qtButtonBox->button(QDialogButtonBox::Cancel)->click();
        QVERIFY(!m_page->qtCalculateViscosity->isChecked());
        QCOMPARE(m_page->qtViscosity->text() + ' ' + m_page->qtCorrectedViscosity->text(),
            QStringLiteral("1.00200e-02 1.00200e-02"));
        QVERIFY(m_f->number("qtCorrectedDensity") > 0);
    }

    void compositionFileRoundTrip()
    {
        openPage();
        add("Sodium chloride", "0.15");
        add("Glycerol", "10", "% by vol");
        add("Urea", "1e-3");
        const QString path = m_f->settings.path() + "/written.buf";
        m_f->answerer.answerFileDialog(path);
        m_page->qtSaveToFile->click();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(
            file.readAll(), QByteArray("Glycerol\t10\t% by vol\nSodium chloride\t0.15\tmolar\nUrea\t1e-3\tmolar\n"));
        QCOMPARE(QSettings().value("BufferComponents/lastSaveDirectory").toString(), m_f->settings.path());

        // A file that cannot be written says why; one whose write fails
        // (here past the size this process may write, as on a full disk)
        // keeps what it held.
        const QString nowhere = m_f->settings.path() + "/missing/written.buf";
        QVERIFY(!m_page->writeCompositionFile(nowhere));
        QCOMPARE(boxes(), QStringList { "Cannot open " + nowhere + ": No such file or directory." });
        m_f->answerer.clear();
        {
            const TestFileSizeLimit full(8);
            QVERIFY(!m_page->writeCompositionFile(path));
        }
        QCOMPARE(boxes(),
            QStringList { path + " could not be written: " + TestFileSizeLimit::reason()
                + ". The file keeps what it held before." });
        m_f->answerer.clear();

        const QStringList written = buffer();
        m_page->qtCalculateDensity->setChecked(false);
        add("Sucrose", "0.1");
        units("Glycerol")->setCurrentText("mg/ml");
        m_f->answerer.answerFileDialog(path);
        m_page->qtReadFromFile->click();
        QCOMPARE(buffer(), written);
        QCOMPARE(boxes().join("|"), QString());
    }

    void compositionFileReading_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("complaints");
        const QStringList both { "Glycerol=5=% by vol", "Sodium chloride=0.1=molar" };
        QTest::newRow("CR LF") << QByteArray("Sodium chloride\t0.1\tmolar\r\nGlycerol\t5\t% by vol\r\n") << both << "";
        QTest::newRow("empty line") << QByteArray("Sodium chloride\t0.1\tmolar\n\nGlycerol\t5\t% by vol") << both
                                    << "Ignoring invalid row";
        QTest::newRow("two fields, blanks and case")
            << QByteArray(" sodium  CHLORIDE \t0.1\n") << QStringList { "Sodium chloride=0.1=molar" } << "";
        QTest::newRow("trailing TAB") << QByteArray("Sodium chloride\t10\tmg/ml\t\n")
                                      << QStringList { "Sodium chloride=10=mg/ml" } << "";
        QTest::newRow("empty units") << QByteArray("Sodium chloride\t0.2\t\n")
                                     << QStringList { "Sodium chloride=0.2=molar" } << "";
        QTest::newRow("four fields, later line wins")
            << QByteArray("Sodium chloride\t1\tmolar\nSodium chloride\t10\tmg/ml\textra\n")
            << QStringList { "Sodium chloride=10=mg/ml" }
            << "'Sodium chloride' is listed more than once; its last line is used";
        QTest::newRow("unknown names in one box")
            << QByteArray("Foo\t1\tmolar\nSodium chloride\t0.1\tmolar\nBar\t2\n")
            << QStringList { "Sodium chloride=0.1=molar" }
            << "No matching record found for 'Foo'\nNo matching record found for 'Bar'";
        QTest::newRow("unit not offered")
            << QByteArray("EDTA disodium\t1\tmg/ml\n") << QStringList { "EDTA disodium=1=mg/ml" } << "";
        const QByteArray nul = QByteArray("Sodium chloride\t0.1\tmolar\nGly") + '\0' + "cerol\t5\nUrea\t2\tmolar\n";
        QTest::newRow("NUL byte") << nul << QStringList { "Sodium chloride=0.1=molar", "Urea=2=molar" }
                                  << "Ignoring line 2: it holds a NUL byte";
        QTest::newRow("numbers left out")
            << QByteArray("Sodium chloride\t0,15\tmolar\nGlycerol\t-5\t% by vol\nUrea\t1e400\nSucrose\t0.1\n")
            << QStringList { "Sucrose=0.1=molar" }
            << "Ignoring 'Sodium chloride': the concentration '0,15' has a decimal comma\n"
               "Ignoring 'Glycerol': the concentration '-5' is negative\n"
               "Ignoring 'Urea': the concentration '1e400' is not a finite number";
        QStringList twenty;
        for (int i = 0; i < 20; ++i)
            twenty << "Ignoring invalid row";
        QTest::newRow("3,000 bad lines") << QByteArray(3000, '\n') << QStringList()
                                         << twenty.join('\n') + QStringLiteral("\n\u2026 and 2980 more lines");
        QTest::newRow("empty file") << QByteArray() << QStringList() << "";
        QTest::newRow("over 1 MiB") << QByteArray(1024 * 1024 + 1, 'x') << QStringList { "Urea=1=molar" }
                                    << "composition.buf is larger than 1 MiB and is not read as a buffer composition.";
    }
    void compositionFileReading()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, expected);
        QFETCH(QString, complaints);
        openPage();
        add("Urea", "1");
        m_page->readCompositionFile(writeFile(bytes));
        QCOMPARE(buffer(), expected);
        QCOMPARE(boxes().join('\n').remove(m_f->settings.path() + "/"), complaints);
        if (QTest::currentDataTag() == QByteArray("unit not offered")) {
            QVERIFY(units("EDTA disodium")->styleSheet().contains("170, 28, 29"));
            QCOMPARE(units("EDTA disodium")->toolTip(),
                QStringLiteral("Concentration of this component cannot be quantified in units of 'mg/ml'"));
        }
    }

    // A name stored with blanks around it, as earlier editors kept what was typed,
    // is written without them and found again.
    void aNameStoredWithBlanksIsFiledAndReadBack()
    {
        const qlonglong urea = id("Urea");
        QVERIFY(m_f->sql("UPDATE BufferComponent SET name = ' Audit blank ' WHERE id = :id", { { ":id", urea } }));
        m_page->onComponentRecordChanged(int(urea));
        openPage();
        add(" Audit blank ", "0.5");
        const QString path = m_f->settings.path() + "/blank.buf";
        QVERIFY(m_page->writeCompositionFile(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("Audit blank\t0.5\tmolar\n"));
        const QStringList written = buffer();
        m_page->readCompositionFile(path);
        QCOMPARE(buffer(), written);
        QCOMPARE(boxes(), QStringList());
    }

    void fieldsShowTheirFormatFromTheStart()
    {
        QCOMPARE(m_page->qtViscosity->text(), QStringLiteral("1.00200e-02"));
        QCOMPARE(m_page->qtCorrectedViscosity->text(), QStringLiteral("1.00200e-02"));
        QCOMPARE(m_page->qtCorrectedDensity->text(), QStringLiteral("0.99823"));
    }

    // Rows whose names the column cuts ("Sodium ...") are told apart by the name cell's tool tip, a warning
    // kept behind the name; the heavy-water labels show their "18" at the window's default size.
    void rowsAndWaterLabelsReadWhole()
    {
        QVERIFY(m_f->sql("UPDATE BufferComponent SET componentViscId = NULL WHERE name = 'Sodium chloride'"));
        emit editor()->sigComponentRecordChanged(id("Sodium chloride"));
        openPage();
        for (const char *name : { "Sodium phosphate monobasic (NaH2PO4)", "Sodium phosphate dibasic (Na2HPO4)" })
            add(name, "0.01");
        add("Sodium chloride", "0.1");
        QCOMPARE(m_f->answerer.seen().size(), 1); // the warning for the chloride
        QStringList tips;
        for (int row = 0; row < m_page->qtAddedComponents->rowCount(); ++row) {
            if (!m_page->qtAddedComponents->isRowHidden(row))
                tips << m_page->qtAddedComponents->item(row, 0)->toolTip();
        }
        QCOMPARE(tips,
            (QStringList { "Sodium chloride\n\n" + m_page->qtComponents->item(rowOf("Sodium chloride"), 0)->toolTip(),
                "Sodium phosphate dibasic (Na2HPO4)", "Sodium phosphate monobasic (NaH2PO4)" }));
        QVERIFY(tips.first().endsWith("will not be used to calculate buffer viscosity"));

        m_page->qtHeavyWater->setChecked(true);
        for (const char *name : { "label_5", "label_2", "label_4", "label_3" }) {
            const auto *label = m_page->qtWaterComposition->findChild<QLabel *>(name);
            QVERIFY(label && label->isVisible());
            // Measured apart from the label: the rich text laid out in its font, on one line.
            QTextDocument text;
            text.setDocumentMargin(0);
            text.setDefaultFont(label->font());
            text.setHtml(label->text());
            QVERIFY2(label->contentsRect().width() >= std::ceil(text.idealWidth()),
                qPrintable(QStringLiteral("%1: %2 of %3 pixels")
                               .arg(text.toPlainText())
                               .arg(label->contentsRect().width())
                               .arg(text.idealWidth())));
            QVERIFY(label->width() >= label->sizeHint().width());
        }
    }

    // The buffer table fits its width unscrolled, empty, with a component added and its concentration typed,
    // with its unit changed, and in a window just wide enough for the name's heading while its row is
    // selected. The name gives way, its heading read from the first letter (whole, or elided at the right);
    // concentration and units keep theirs whole.
    void bufferTableFitsUnscrolledWithItsHeadings()
    {
        openPage();
        QTableWidget *table = m_page->qtAddedComponents;
        const QHeaderView *header = table->horizontalHeader();
        const QString name = QStringLiteral("Buffer Components");
        for (int step = 0; step < 4; ++step) {
            if (step == 1)
                add("Sodium chloride", "0.15");
            if (step == 2)
                units("Sodium chloride")->setCurrentText("mg/ml");
            if (step == 3) {
                const int whole = std::ceil(QFontMetricsF(header->font()).horizontalAdvance(name))
                    + 4 * header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
                for (int grown = 0; header->sectionSize(0) < whole && grown < 400; ++grown) {
                    m_f->window->resize(m_f->window->width() + 1, m_f->window->height());
                    QCoreApplication::processEvents();
                }
                QVERIFY(header->sectionSize(0) >= whole);
            }
            const QStringList painted = paintedHeadings();
            const QString shown = painted.value(0);
            const bool readable = painted.mid(1) == QStringList { "Concentration", "Units" }
                && (shown == name || (shown.endsWith(QChar(0x2026)) && name.startsWith(shown.chopped(1))));
            QVERIFY2(readable && header->offset() == 0 && table->horizontalScrollBar()->value() == 0
                    && header->length() == table->viewport()->width(),
                qPrintable(QStringLiteral("step %1: headings '%2', offset %3, scrolled %4, sections %5 of %6 pixels")
                               .arg(step)
                               .arg(painted.join("' '"))
                               .arg(header->offset())
                               .arg(table->horizontalScrollBar()->value())
                               .arg(header->length())
                               .arg(table->viewport()->width())));
        }
    }

    void offeredUnitClearsKeptOne()
    {
        openPage();
        m_page->readCompositionFile(writeFile("Sodium chloride\t0.2\tfoo\n"));
        QComboBox *box = units("Sodium chloride");
        QCOMPARE(box->count(), 7);
        // Read again with a unit the component offers, then chosen by hand.
        m_page->readCompositionFile(writeFile("Sodium chloride\t0.15\tmolar\n"));
        QCOMPARE(box->currentText(), QStringLiteral("molar"));
        QCOMPARE(box->count(), 6);
        QCOMPARE(box->styleSheet(), QString());
        QCOMPARE(box->toolTip(), QString());
        m_page->readCompositionFile(writeFile("Sodium chloride\t0.2\tfoo\n"));
        box->setCurrentText("mg/ml");
        QCOMPARE(box->count(), 6);
        QCOMPARE(box->styleSheet(), QString());
    }

    void savedFileGetsItsExtension()
    {
        openPage();
        add("Sodium chloride", "0.15");
        m_f->answerer.answerFileDialog(m_f->settings.path() + "/noextension");
        m_page->qtSaveToFile->click();
        QVERIFY(QFile::exists(m_f->settings.path() + "/noextension.buf"));
    }

    // A buffer composition file has no place for the water: saving a buffer in heavy water says so.
    void aWaterTheFileCannotHoldIsNamedWhenSaving_data()
    {
        QTest::addColumn<bool>("heavy");
        QTest::addColumn<double>("d2o");
        QTest::addColumn<QString>("said");
        QTest::newRow("ordinary water") << false << 50.0 << "";
        QTest::newRow("heavy water box on, no isotope") << true << 0.0 << "";
        QTest::newRow("half D2O") << true << 50.0
                                  << "bufB.buf holds the buffer's components only: a buffer composition file has no "
                                     "place for its water (50 % D2O). Read back, it is a buffer in ordinary water; "
                                     "the solvent saved in the database keeps its water.";
    }
    void aWaterTheFileCannotHoldIsNamedWhenSaving()
    {
        QFETCH(bool, heavy);
        QFETCH(double, d2o);
        QFETCH(QString, said);
        openPage();
        add("Sodium chloride", "0.15");
        m_page->qtHeavyWater->setChecked(true);
        m_page->qtWaterComposition->qtD2OBox->setValue(d2o);
        m_page->qtHeavyWater->setChecked(heavy);
        m_f->answerer.clear();
        m_f->answerer.answerFileDialog(m_f->settings.path() + "/bufB.buf");
        m_page->qtSaveToFile->click();
        QCOMPARE(boxes().join('|'), said);
        QFile file(m_f->settings.path() + "/bufB.buf");
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("Sodium chloride\t0.15\tmolar\n")); // the form older files have
    }

    void solventRecordLoads()
    {
        QVERIFY(m_f->sql("INSERT INTO buffer (id, name, computeDensity, isHeavyWater, D2O, D2O18, H2O18, H2O) "
                         "VALUES (1, 'heavy', 1.1, 1, 0, 0.95, 0, 0.05), (2, 'half', 1.05, 1, 0.5, 0, 0, 0.5), "
                         "(3, 'plain', NULL, NULL, NULL, NULL, NULL, NULL)"));
        QVERIFY(m_f->sql("INSERT INTO bufferComposition (bufferId, componentID, concentration, units, active) VALUES "
                         "(2, :nacl, '0.15', 'molar', 1), (2, :edta, 1e-3, '% by wt', 1), (2, :urea, 1, 'molar', 0), "
                         "(2, :methanol, 1, 'molar', 1)",
            { { ":nacl", id("Sodium chloride") }, { ":edta", id("EDTA disodium") }, { ":urea", id("Urea") },
                { ":methanol", id("Methanol") } }));
        QVERIFY(m_f->sql("UPDATE BufferComponent SET active = 0 WHERE name = 'Methanol'"));
        emit editor()->sigComponentRecordChanged(id("Methanol"));

        m_page->loadBufferRecord(1);
        m_page->loadBufferRecord(2);
        QCOMPARE(buffer(), QStringList({ "EDTA disodium=0.001=% by wt", "Sodium chloride=0.15=molar" }));
        QVERIFY(units("EDTA disodium")->styleSheet().contains("170, 28, 29"));
        QCOMPARE(boxes(),
            QStringList { "The Buffer Composition for this Solvent depends on a record which was not "
                          "found in the database!\n\nMissing record: 'Methanol'" });
        QVERIFY(m_page->qtCalculateDensity->isChecked() && !m_page->qtCalculateViscosity->isChecked());
        QVERIFY(m_page->qtHeavyWater->isChecked());
        QCOMPARE(m_page->qtWaterComposition->D2O(), 0.5); // not clipped by the 95 % D2O18 before
        QCOMPARE(m_page->qtWaterComposition->D2O18(), 0.0);
        // The figures are the loaded buffer's, not those of the record shown before: a row saved before figures
        // were stored at 20 C shows its figure as stored, not corrected a second time.
        QCOMPARE(m_f->number("qtCorrectedDensity"), 1.05);
        QVERIFY(m_page->showsOlderFigures());

        // Stored at 20 C in heavy water, the figures cannot be carried to the run temperature without the
        // missing component's series: they are left empty and the box says so, in the person's words.
        QVERIFY(m_f->sql("UPDATE buffer SET computedAt20 = 1 WHERE id = 2"));
        m_f->answerer.clear();
        m_page->loadBufferRecord(2);
        QCOMPARE(boxes(),
            QStringList { "The Buffer Composition for this Solvent depends on a record which was not "
                          "found in the database!\n\nMissing record: 'Methanol'\n\nIn heavy water its figures "
                          "cannot be carried from 20 C to the run temperature without it: they are left empty." });
        QVERIFY(m_page->qtCorrectedDensity->text().isEmpty());

        m_page->loadBufferRecord(3); // saved without a calculation: pure water
        QVERIFY(buffer().isEmpty());
        QVERIFY(!m_page->qtHeavyWater->isChecked() && !m_page->qtCalculateDensity->isChecked());
        QCOMPARE(m_page->qtWaterComposition->H2O(), 1.0);
        m_page->loadBufferRecord(2);
        m_page->clear(); // a new buffer: nothing of the record before, its water neither
        QVERIFY(buffer().isEmpty() && !m_page->qtHeavyWater->isChecked() && !m_page->showsOlderFigures());
        QCOMPARE(m_page->qtWaterComposition->H2O(), 1.0);
    }

    // The reference data editor's announcements, by their signals after the rows were changed.
    void referenceChangesAreFollowed()
    {
        m_f->type("qtSedEquilibriumTemp", "20");
        openPage();
        add("Glycerol", "0.15");
        const double glycerol = m_f->number("qtDensity");
        units("Glycerol")->setCurrentText("mg/ml");
        add("Sodium chloride", "0.15");
        // 0.15 mg/ml glycerol adds 3.5e-5 g/ml to the NaCl: within the data's 1e-4.
        QVERIFY2(std::fabs(m_f->number("qtDensity") - kNaClRho) < 1e-4, qPrintable(m_f->text("qtDensity")));

        // Renamed: still in the buffer with its concentration, at its new place in both tables.
        QVERIFY(m_f->sql("UPDATE BufferComponent SET name = 'Zinc salt' WHERE name = 'Sodium chloride'"));
        emit editor()->sigComponentRecordChanged(id("Zinc salt"));
        QCOMPARE(
            m_page->qtComponents->item(m_page->qtComponents->rowCount() - 1, 0)->text(), QStringLiteral("Zinc salt"));
        QCOMPARE(buffer().last(), QStringLiteral("Zinc salt=0.15=molar"));
        verifyPaired();

        // Given the glycerol series: the density follows it (glycerol itself at none: a concentration left
        // empty is no buffer yet).
        units("Glycerol")->setCurrentText("molar");
        concentration("Glycerol")->setText("0");
        QVERIFY(
            m_f->sql("UPDATE BufferComponent SET componentRhoId = (SELECT componentRhoId FROM BufferComponent WHERE "
                     "name = 'Glycerol') WHERE name = 'Zinc salt'"));
        emit editor()->sigComponentRecordChanged(id("Zinc salt"));
        QCOMPARE(m_f->number("qtDensity"), glycerol);

        // Its data lose the density off screen: the unit in the buffer stays, marked.
        units("Zinc salt")->setCurrentText("mg/ml");
        m_page->qtButtonBox->button(QDialogButtonBox::Ok)->click();
        QVERIFY(!m_page->isVisible());
        QVERIFY(m_f->sql("UPDATE BufferComponent SET componentDensity = NULL WHERE name = 'Zinc salt'"));
        emit editor()->sigComponentRecordChanged(id("Zinc salt"));
        QCOMPARE(units("Zinc salt")->currentText(), QStringLiteral("mg/ml"));
        QVERIFY(units("Zinc salt")->styleSheet().contains("170, 28, 29"));

        // Deactivated: gone from both tables and from the figures; made active again: offered at once.
        QVERIFY(m_f->sql("UPDATE BufferComponent SET active = 0 WHERE name = 'Zinc salt'"));
        emit editor()->sigComponentRecordChanged(id("Zinc salt"));
        QCOMPARE(rowOf("Zinc salt"), -1);
        verifyPaired();
        QCOMPARE(m_f->number("qtDensity"), 0.99823);
        QVERIFY(m_f->sql("UPDATE BufferComponent SET active = 1 WHERE name = 'Zinc salt'"));
        emit editor()->sigComponentRecordChanged(id("Zinc salt"));
        QVERIFY(rowOf("Zinc salt") >= 0);
        QVERIFY(m_page->qtAddedComponents->isRowHidden(rowOf("Zinc salt")));
        emit editor()->sigComponentRecordChanged(999999); // no such row
        // Equal names sort by id in both tables; names in the buffer are chosen, not typed.
        QVERIFY(m_f->sql("INSERT INTO BufferComponent (id, name) VALUES (5000, 'Urea'), (4000, 'Urea')"));
        emit editor()->sigNewBufferComponentAdded(5000);
        emit editor()->sigNewBufferComponentAdded(4000);
        verifyPaired();
        const int urea = rowOf("Urea");
        QCOMPARE(m_page->qtComponents->item(urea + 1, 0)->data(GuiBufferComponents::ComponentIdRole).toInt(), 4000);
        QCOMPARE(m_page->qtComponents->item(urea + 2, 0)->data(GuiBufferComponents::ComponentIdRole).toInt(), 5000);
        QVERIFY(!(m_page->qtAddedComponents->item(urea, 0)->flags() & Qt::ItemIsEditable));
    }

    // The page works at the experiment temperature, however it was set.
    void temperatureFollowsTheExperiment()
    {
        QVERIFY(m_f->sql("INSERT INTO experiment (name, Tc) VALUES ('cold', 5)"));
        m_f->window->populateExperimentRecordList();
        m_f->answerer.answerMessageBox(QMessageBox::Ok);
        auto *experiments = m_f->widget<QComboBox>("qtExperimentName");
        experiments->setCurrentIndex(experiments->findText("cold", Qt::MatchEndsWith));
        QCOMPARE(m_page->temperature(), 5.0);
        openPage();
        add("Sodium chloride", "0.15");
        QPushButton reload;
        connect(&reload, &QPushButton::clicked, m_page, &GuiBufferComponents::onDatabaseImporterRun);
        reload.click(); // an import's reload keeps the temperature and the buffer
        QCOMPARE(m_page->temperature(), 5.0);
        QCOMPARE(buffer(), QStringList { "Sodium chloride=0.15=molar" });
        m_page->qtButtonBox->button(QDialogButtonBox::Ok)->click();
        QVERIFY(std::fabs(m_f->number("qtBufferDensity") - kNaClRho * kRho5 / kRho20) < 1.5e-4);
        m_f->type("qtSedEquilibriumTemp", "20");
        QVERIFY2(
            std::fabs(m_f->number("qtBufferDensity") - kNaClRho) < 1.5e-4, qPrintable(m_f->text("qtBufferDensity")));
        QVERIFY2(std::fabs(m_f->number("qtBufferViscosity") / kNaClEta - 1) < 5e-3,
            qPrintable(m_f->text("qtBufferViscosity")));
    }

    // A viscosity typed after a computed one stays typed, even when a Cancel on the page checks the
    // calculation again: the record stores the typed figure alone.
    void typedViscosityOutlivesACancelOnThePage()
    {
        openPage();
        add("Sodium chloride", "0.15");
        m_page->qtButtonBox->button(QDialogButtonBox::Ok)->click();
        m_f->click("qtViscosityDirectEntry");
        m_f->type("qtBufferViscosity", "0.02");
        m_f->click("qtDensityCompute");
        m_page->qtButtonBox->button(QDialogButtonBox::Cancel)->click();
        saveSolvent("typed", false);
        QCOMPARE(m_f->db.value("SELECT viscositySource FROM buffer WHERE name = 'typed'").toString(),
            QStringLiteral("direct"));
        QCOMPARE(stored("typed", "viscosityDirectEntry"), QStringList({ "viscosityDirectEntry=0.02" }));
        QVERIFY(!stored("typed", "computeDensity").contains("computeDensity=NULL"));
        // Loaded again, the typed figure is the solvent's, beside the page's computation.
        QVERIFY(m_f->start());
        TestRecordSteps(m_f.get()).step("load qtBufferName=typed");
        QVERIFY(m_f->checked("qtViscosityDirectEntry"));
        QCOMPARE(m_f->text("qtBufferViscosity"), QStringLiteral("2.0000E-02"));
    }

    void solventRecordsAreSavedWhole()
    {
        m_f->showTab("qtTabSolvent");
        openPage();
        add("Sodium chloride", "0.15");
        m_page->qtHeavyWater->setChecked(true);
        m_page->qtWaterComposition->qtD2OBox->setValue(10);
        m_page->qtButtonBox->button(QDialogButtonBox::Ok)->click();
        saveSolvent("saline", false);
        QCOMPARE(stored("saline", "isHeavyWater, D2O, H2O, densityDirectEntry"),
            QStringList({ "isHeavyWater=1", "D2O=0.1", "H2O=0.9", "densityDirectEntry=NULL" }));
        // The buffer's figure as the tab shows it, in its water at the run temperature, as the file's format has it
        // and other programs read it (0.15 M NaCl in 10 % D2O at 20 C: 1.0151 g/ml); beside it the buffer's own at
        // 20 C in light water, from which it is shown at another run's temperature.
        const auto figure
            = [this](const QString &column) { return stored("saline", column).value(0).section('=', 1).toDouble(); };
        const double shown = figure("computeDensity");
        QVERIFY2(std::fabs(shown - 1.0151) < 1.5e-4, qPrintable(AppNumber::toText(shown)));
        const double light = figure("computeDensityAt20");
        QVERIFY2(std::fabs(light - kNaClRho) < 1.5e-4, qPrintable(AppNumber::toText(light)));
        QCOMPARE(storedComponents("saline"), QStringList { "Sodium chloride=0.15=molar" });

        // Another buffer on the page, then the record loaded and saved again without opening the page: it
        // stores its own figures, not those shown before.
        openPage();
        remove("Sodium chloride");
        m_page->qtHeavyWater->setChecked(false);
        m_page->qtButtonBox->button(QDialogButtonBox::Ok)->click();
        m_f->answerer.answerMessageBox(QMessageBox::Ok);
        auto *list = m_f->widget<QComboBox>("qtBufferName");
        {
            const QSignalBlocker quiet(list); // the saved record is the one selected after the save
            list->setCurrentIndex(0);
        }
        list->setCurrentIndex(list->findText("saline", Qt::MatchEndsWith));
        QCOMPARE(buffer(), QStringList { "Sodium chloride=0.15=molar" });
        saveSolvent("saline", true);
        QCOMPARE(figure("computeDensity"), shown);
        QCOMPARE(figure("computeDensityAt20"), light);
        QCOMPARE(storedComponents("saline"), QStringList { "Sodium chloride=0.15=molar" });

        // A component row that cannot be written undoes the whole overwrite: the old components stay.
        QVERIFY(m_f->sql("CREATE TEMP TRIGGER refuse BEFORE INSERT ON bufferComposition BEGIN SELECT RAISE(ABORT, "
                         "'refused'); END"));
        openPage();
        add("Glycerol", "5", "% by vol");
        m_page->qtButtonBox->button(QDialogButtonBox::Ok)->click();
        m_f->answerer.clear();
        TestLog::ignore(QtWarningMsg, QRegularExpression("^INSERT INTO bufferComposition"));
        saveSolvent("saline", true);
        QVERIFY(boxes().join('\n').contains("refused"));
        QCOMPARE(storedComponents("saline"), QStringList { "Sodium chloride=0.15=molar" });
        QCOMPARE(figure("computeDensityAt20"), light);
        QVERIFY(m_f->sql("DROP TRIGGER refuse"));
    }
};

TEST_MAIN(TstGuiBufferComponents)
#include "tst_gui_buffercomponents.moc"
