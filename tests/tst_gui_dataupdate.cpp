#include "gui/gui_buffercomponents.h"
#include "gui/gui_dataupdate.h"
#include "test_database.h"
#include "test_environment.h"
#include "test_log.h"
#include "test_modalanswerer.h"
#include "test_refdata.h"

#include <QSignalSpy>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>
#include <memory>

using Table = GuiDataUpdate::Table;

// The reference data editor on a temporary file holding the shipped reference
// data, driven through its widgets by object name.
class TstGuiDataUpdate : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestReferenceDatabase> m_db;
    std::unique_ptr<TestModalAnswerer> m_answerer;
    std::unique_ptr<GuiDataUpdate> m_editor;

    GuiDataUpdate &editor()
    {
        if (!m_editor)
            m_editor.reset(new GuiDataUpdate(m_db->path()));
        return *m_editor;
    }
    template<typename T = QWidget> T *w(const QString &name) { return editor().findChild<T *>(name); }
    void open(Table table)
    {
        void (GuiDataUpdate::*pages[])() = { &GuiDataUpdate::showAminoAcidPage, &GuiDataUpdate::showConjugatePage,
            &GuiDataUpdate::showDenaturantPage, &GuiDataUpdate::showBufferComponentsPage,
            &GuiDataUpdate::showExtinctionPage };
        (editor().*pages[static_cast<int>(table)])();
    }
    void click(const QString &name) { QTest::mouseClick(w<QAbstractButton>(name), Qt::LeftButton); }
    QPushButton *apply(const char *box)
    {
        return w<QDialogButtonBox>(QLatin1String(box))->button(QDialogButtonBox::Apply);
    }
    // Replaces a field's text as a person would, so that it sends textEdited.
    void type(const QString &field, const QString &text)
    {
        auto *edit = w<QLineEdit>(field);
        QVERIFY2(edit, qPrintable(field));
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        for (const QChar c : text) // keyClicks() takes ASCII only
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
    QString name() { return editor().qtRecordName->text(); }
    QVariant value(const QString &sql)
    {
        QSqlQuery q(QSqlDatabase::database(m_db->path()));
        return q.exec(sql) && q.next() ? q.value(0) : QVariant(QStringLiteral("<none>"));
    }
    bool exec(const QString &sql)
    {
        QSqlQuery q(QSqlDatabase::database(m_db->path()));
        return q.exec(sql) || (qWarning() << q.lastError().text(), false);
    }
    bool isRed(QWidget *field) { return field->styleSheet().contains(QLatin1String("170, 28, 29, 100")); }

private slots:
    void init()
    {
        m_db.reset(new TestReferenceDatabase);
        QVERIFY2(m_db->isValid(), qPrintable(m_db->error()));
        m_answerer.reset(new TestModalAnswerer);
    }
    void cleanup()
    {
        m_editor.reset();
        m_answerer.reset();
    }

    // Listings hold active rows only, ordered ignoring case; the ends hold.
    void browsesEachTableInNameOrder_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<QString>("extra");
        QTest::addColumn<QString>("last");
        QTest::newRow("amino") << 0 << "INSERT INTO amino (name, active) VALUES ('aardvark', 1), ('Aa gone', 0)"
                               << "Valine";
        QTest::newRow("conjugates") << 1
                                    << "INSERT INTO conjugates (name, active) VALUES ('aardvark', 1), ('Aa gone', 0)"
                                    << "N-Acetylneuraminic acid";
        QTest::newRow("denature") << 2 << "INSERT INTO denature (name, active) VALUES ('aardvark', 1), ('Aa gone', 0)"
                                  << "Urea";
        QTest::newRow("components")
            << 3 << "INSERT INTO bufferComponent (name, active) VALUES ('aardvark', 1), ('Aa gone', 0)"
            << "Urea";
        QTest::newRow("extinction")
            << 4
            << "INSERT INTO extinction (name, nm, ext, active) VALUES ('aardvark', 230, 1, 1), ('Aa gone', 230, 1, 0)"
            << "TYR";
    }
    void browsesEachTableInNameOrder()
    {
        QFETCH(int, table);
        QFETCH(QString, extra);
        QFETCH(QString, last);
        QVERIFY(exec(extra));
        open(static_cast<Table>(table));
        QVERIFY(editor().isVisible());
        QCOMPARE(editor().qtStackedWidget->currentIndex(),
            editor().qtStackedWidget->indexOf(editor().findChild<QWidget *>(QStringList { "qtStackAminoAcidPage",
                "qtStackConjugatePage", "qtStackDenaturantPage", "qtStackComponentsPage", "qtStackExtinctionPage" }
                                                                                .at(table))));
        const QStringList steps = { "qtRecordPrev", "qtRecordLast", "qtRecordNext", "qtRecordFirst" };
        const QStringList expected = { "aardvark", "aardvark", last, last, "aardvark" };
        QStringList seen = { name() };
        for (const QString &step : steps)
            click(step), seen << name();
        QCOMPARE(seen, expected);
        QVERIFY(m_answerer->seen().isEmpty());
    }

    void searchFindsByPrefixAndAMissDisablesThePage()
    {
        open(Table::Conjugates);
        QLineEdit *search = editor().qtRecordSearch;
        QTest::keyClicks(search, "  n-acetylGL ");
        QCOMPARE(name(), QStringLiteral("N-Acetylglucosamine (residue)"));
        QTest::keyClicks(search, "x");
        QCOMPARE(name(), QStringLiteral("No Matching Records"));
        QVERIFY(!editor().qtStackConjugatePage->isEnabled() && editor().qtConjugateMr->text().isEmpty());
        search->clear();
        QVERIFY(editor().qtStackConjugatePage->isEnabled());
        QCOMPARE(name(), QStringLiteral("D-Galactose (residue)"));
        // With a search text, running off the end shows the first record and empties the search.
        QTest::keyClicks(search, "L-");
        click("qtRecordLast");
        QCOMPARE(name() + '|' + search->text(), QStringLiteral("D-Galactose (residue)|"));
        open(Table::Extinction);
        QTest::keyClicks(search, "ty");
        QCOMPARE(name(), QStringLiteral("TYR"));
    }

    // Numbers in the program's form, NULL empty, the date as M/dd/yy.
    void showsStoredValuesByTheDisplayRules()
    {
        QVERIFY(exec("DROP TRIGGER amino_update_modified_time"));
        QVERIFY(
            exec("UPDATE amino SET Mr = 110, HipH7 = NULL, modified = '2011-03-05 10:00:00' WHERE name = 'Alanine'"));
        open(Table::Amino);
        QCOMPARE(QStringList({ name(), editor().qtAA3Letter->text(), editor().qtAAMr->text(), editor().qtAAVbar->text(),
                     editor().qtAAHipH7->text(), editor().qtRecordModified->text() }),
            QStringList({ "Alanine", "ALA", "110", "0.74", "", "3/05/11" }));
    }

    void showsComponentsWithAndWithoutSeries()
    {
        QVERIFY(exec("INSERT INTO bufferComponent (name, active) VALUES ('Bare', 1)"));
        open(Table::BufferComponent);
        QTabWidget *tabs = editor().qtComponentTabBar;
        QLineEdit *search = editor().qtRecordSearch;
        QTest::keyClicks(search, "Sodium chloride");
        QVERIFY(editor().qtAddSolventViscosityData->isChecked() && tabs->isTabEnabled(1) && tabs->isTabEnabled(2));
        QVERIFY(!editor().qtComponentViscosityNote->isVisible());
        QCOMPARE(
            editor().qtDensityA->text(), value("SELECT a FROM rhoseries WHERE name = 'Sodium chloride'").toString());
        QCOMPARE(editor().qtComponentDensity->text(), QStringLiteral("2.17"));
        tabs->setCurrentIndex(2);
        search->clear();
        QTest::keyClicks(search, "Bare");
        QCOMPARE(tabs->currentWidget(), editor().qtPropertiesTab);
        QVERIFY(!editor().qtAddSolventDensityData->isChecked() && !tabs->isTabEnabled(1) && !tabs->isTabEnabled(2));
        QVERIFY(editor().qtComponentDensityNote->isVisible() && editor().qtDensityA->text().isEmpty());
        QVERIFY(editor().qtComponentDensity->text().isEmpty());
    }

    void showsSpectraAsAGridOfWavelengths()
    {
        open(Table::Extinction);
        QVERIFY(!isRed(editor().qtRecordName)); // its own name is no clash
        QTest::keyClicks(editor().qtRecordSearch, "TRP");
        QTableWidget *grid = editor().qtExtinctionTable;
        QCOMPARE(grid->rowCount(), 43);
        QCOMPARE(grid->item(0, 0)->text(), QStringLiteral("236"));
        QCOMPARE(grid->item(0, 0)->flags(), Qt::ItemFlags(Qt::ItemIsEnabled));
        QCOMPARE(grid->item(0, 0)->background().color(), QColor("lightgray"));
        QVERIFY(!apply("qtExtinctionButtonBox")->isEnabled() && editor().qtRecordModified->text().isEmpty());
        grid->item(3, 1)->setText("1234");
        QVERIFY(apply("qtExtinctionButtonBox")->isEnabled());
    }

    // What gates Apply: the name, the amino codes and the value fields.
    void checksGateApply_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<bool>("add");
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QStringList>("edits"); // field=text, in order
        QTest::addColumn<bool>("applies");
        QTest::addColumn<QString>("marked"); // the field marked red, with its tooltip
        QTest::addColumn<QString>("tooltip");
        const QString clash = "Another record exists with this name";
        const QStringList newAmino = { "qtRecordName=Norleucine", "qtAA3Letter=NLE", "qtAA1Letter=J" };
        QTest::newRow("add, other case") << 1 << true << "" << QStringList("qtRecordName=heme B (FE-protoporphyrin IX)")
                                         << false << "qtRecordName" << clash;
        QTest::newRow("add, name of a deactivated record")
            << 1 << true << "UPDATE conjugates SET active = 0 WHERE name LIKE 'Heme%'"
            << QStringList("qtRecordName=Heme b (Fe-protoporphyrin IX)") << true << ""
            << "";
        QTest::newRow("edit, own name in capitals")
            << 2 << false << "" << QStringList("qtRecordName=GUANIDINE HYDROCHLORIDE") << true << ""
            << "";
        QTest::newRow("edit, another record's name")
            << 2 << false << "" << QStringList("qtRecordName=urea") << false << "qtRecordName" << clash;
        QTest::newRow("empty name") << 2 << false << "" << QStringList("qtRecordName=") << false << "qtRecordName"
                                    << "";
        QTest::newRow("blanks only") << 2 << false << "" << QStringList("qtRecordName=   ") << false << "qtRecordName"
                                     << "";
        QTest::newRow("another record's name with blanks")
            << 3 << true << "" << QStringList("qtRecordName= Sodium chloride ") << false << "qtRecordName" << clash;
        QTest::newRow("non-ASCII duplicate") << 2 << true << "INSERT INTO denature (name, active) VALUES ('éther', 1)"
                                             << QStringList("qtRecordName=éther") << false << "qtRecordName" << clash;
        QTest::newRow("new amino acid") << 0 << true << "" << newAmino << true << ""
                                        << "";
        QTest::newRow("code of other case")
            << 0 << true << "" << (newAmino + QStringList("qtAA3Letter=ala")) << true << ""
            << "";
        QTest::newRow("code clash") << 0 << true << "" << (newAmino + QStringList("qtAA3Letter=ALA")) << false
                                    << "qtAA3Letter"
                                    << "Another record exists with this code";
        QTest::newRow("red code after other edits")
            << 0 << true << "" << (newAmino + QStringList({ "qtAA1Letter=A", "qtAAMr=1", "qtRecordName=Norvaline" }))
            << false << "qtAA1Letter"
            << "Another record exists with this code";
        QTest::newRow("empty code") << 0 << false << "" << QStringList("qtAA1Letter=") << false << "qtAA1Letter"
                                    << "";
        QTest::newRow("own codes") << 0 << false << "" << QStringList({ "qtAA3Letter=ALA", "qtAAPka=9.5" }) << true
                                   << ""
                                   << "";
        QTest::newRow("amino value") << 0 << false << "" << QStringList("qtAAVbar=0.7x") << false << "qtAAVbar"
                                     << "Not a number";
        QTest::newRow("conjugate value") << 1 << false << "" << QStringList("qtConjugateCarbo=1,5") << false
                                         << "qtConjugateCarbo"
                                         << "Not a number";
        QTest::newRow("denaturant value")
            << 2 << false << "" << QStringList("qtDenaturantMd=nan") << false << "qtDenaturantMd"
            << "Not a number";
        QTest::newRow("component value") << 3 << false << "" << QStringList("qtComponentMr=1e999") << false
                                         << "qtComponentMr"
                                         << "Not a number";
        QTest::newRow("series value") << 3 << false << "" << QStringList("qtViscosityErrorMax=two") << false
                                      << "qtViscosityErrorMax"
                                      << "Not a number";
        QTest::newRow("sources are text") << 3 << false << "" << QStringList("qtDensitySource=CRC, 2021") << true << ""
                                          << "";
    }
    void checksGateApply()
    {
        QFETCH(int, table);
        QFETCH(bool, add);
        QFETCH(QString, setup);
        QFETCH(QStringList, edits);
        QFETCH(bool, applies);
        QFETCH(QString, marked);
        QFETCH(QString, tooltip);
        if (!setup.isEmpty())
            QVERIFY(exec(setup));
        open(static_cast<Table>(table));
        if (add)
            click("qtRecordAdd");
        for (const QString &edit : edits)
            type(edit.section('=', 0, 0), edit.section('=', 1));
        const char *boxes[]
            = { "qtAAButtonBox", "qtConjugateButtonBox", "qtDenaturantButtonBox", "qtComponentButtonBox" };
        QCOMPARE(apply(boxes[table])->isEnabled(), applies);
        QVERIFY(!editor().qtRecordFirst->isEnabled()); // every edit locks the frame
        QStringList red;
        for (QLineEdit *field : editor().findChildren<QLineEdit *>())
            if (isRed(field))
                red << field->objectName() + '|' + field->toolTip();
        QCOMPARE(red, marked.isEmpty() ? QStringList() : QStringList(marked + '|' + tooltip));
        QVERIFY(m_answerer->seen().isEmpty());
    }

    void aNonNumberInASpectrumCellBlocksApply()
    {
        open(Table::Extinction);
        QTableWidgetItem *cell = editor().qtExtinctionTable->item(2, 1);
        cell->setText("12 34");
        QVERIFY(!apply("qtExtinctionButtonBox")->isEnabled());
        QCOMPARE(cell->background().color(), QColor(170, 28, 29, 100));
        cell->setText("1234");
        QVERIFY(apply("qtExtinctionButtonBox")->isEnabled() && cell->background().style() == Qt::NoBrush);
    }

    // Add, change and deactivate: the row in the file, the signal and its id.
    void savesEachKindOfRecord_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<QString>("mode");
        for (const char *mode : { "add", "change", "deactivate" })
            for (int table : { 0, 1, 2 })
                QTest::addRow("%s %d", mode, table) << table << mode;
    }
    void savesEachKindOfRecord()
    {
        QFETCH(int, table);
        QFETCH(QString, mode);
        const char *tables[] = { "amino", "conjugates", "denature" };
        const char *fields[] = { "qtAAMr", "qtConjugateMr", "qtDenaturantMd" };
        const char *columns[] = { "Mr", "Mr", "Md" };
        const char *boxes[] = { "qtAAButtonBox", "qtConjugateButtonBox", "qtDenaturantButtonBox" };
        void (GuiDataUpdate::*added[])(int) = { &GuiDataUpdate::sigNewAminoRecordAdded,
            &GuiDataUpdate::sigNewConjugateRecordAdded, &GuiDataUpdate::sigNewDenaturantRecordAdded };
        void (GuiDataUpdate::*changed[])(int) = { &GuiDataUpdate::sigAminoRecordChanged,
            &GuiDataUpdate::sigConjugateRecordChanged, &GuiDataUpdate::sigDenaturantRecordChanged };
        open(static_cast<Table>(table));
        QSignalSpy addedSpy(&editor(), added[table]);
        QSignalSpy changedSpy(&editor(), changed[table]);
        const QString shown = name();
        const int shownId
            = value(QStringLiteral("SELECT id FROM %1 WHERE name = '%2'").arg(tables[table], shown)).toInt();
        if (mode == "add") {
            click("qtRecordAdd");
            type("qtRecordName", "Test record");
            if (table == 0)
                type("qtAA3Letter", "tst"), type("qtAA1Letter", "j");
            type(fields[table], " 1.5 ");
        } else if (mode == "change") {
            type(fields[table], "2.5");
        } else {
            click("qtRecordDelete");
        }
        QVERIFY(apply(boxes[table])->isEnabled());
        QTest::mouseClick(apply(boxes[table]), Qt::LeftButton);
        QVERIFY(m_answerer->seen().isEmpty() && !apply(boxes[table])->isEnabled());
        QVERIFY(editor().qtRecordFirst->isEnabled() && !editor().qtRecordAdd->isChecked()
            && !editor().qtRecordDelete->isChecked());
        if (mode == "add") {
            QCOMPARE(addedSpy.size(), 1);
            QVERIFY(changedSpy.isEmpty());
            const int id = addedSpy.at(0).at(0).toInt();
            QCOMPARE(value(QStringLiteral("SELECT name FROM %1 WHERE id = %2").arg(tables[table]).arg(id)).toString(),
                QStringLiteral("Test record"));
            QCOMPARE(
                value(QStringLiteral("SELECT %1 FROM %2 WHERE id = %3").arg(columns[table], tables[table]).arg(id)),
                QVariant(1.5));
            QCOMPARE(name(), QStringLiteral("Test record"));
            if (table == 0)
                QCOMPARE(value(QStringLiteral("SELECT Namethree || nameone FROM amino WHERE id = %1").arg(id)),
                    QVariant("tstj"));
        } else {
            QCOMPARE(changedSpy.size(), 1);
            QVERIFY(addedSpy.isEmpty());
            QCOMPARE(changedSpy.at(0).at(0).toInt(), shownId);
            const bool gone = mode == "deactivate";
            QCOMPARE(value(QStringLiteral("SELECT active FROM %1 WHERE id = %2").arg(tables[table]).arg(shownId)),
                QVariant(gone ? 0 : 1));
            QCOMPARE(name() == shown, !gone);
            if (!gone)
                QCOMPARE(value(QStringLiteral("SELECT %1 FROM %2 WHERE id = %3")
                                   .arg(columns[table], tables[table])
                                   .arg(shownId)),
                    QVariant(2.5));
        }
    }

    void savesComponentsWithTheirSeries()
    {
        open(Table::BufferComponent);
        QSignalSpy added(&editor(), &GuiDataUpdate::sigNewBufferComponentAdded);
        QSignalSpy changed(&editor(), &GuiDataUpdate::sigComponentRecordChanged);
        const int rhoRows = value("SELECT COUNT(*) FROM rhoseries").toInt();
        auto save = [&] { QTest::mouseClick(apply("qtComponentButtonBox"), Qt::LeftButton); };
        auto component = [&](const QString &columns, int id) {
            return value(QStringLiteral("SELECT %1 FROM bufferComponent WHERE id = %2").arg(columns).arg(id));
        };

        // Neither series; empty unit-conversion values are NULL.
        click("qtRecordAdd");
        type("qtRecordName", "Plain");
        save();
        QCOMPARE(added.size(), 1);
        const int plain = added.last().at(0).toInt();
        QCOMPARE(
            component("quote(componentRhoId) || quote(componentViscId) || quote(componentDensity) || active", plain),
            QVariant("NULLNULLNULL1"));
        QCOMPARE(value("SELECT COUNT(*) FROM rhoseries").toInt(), rhoRows);

        // Both series, written before the component that links them.
        click("qtRecordAdd");
        type("qtRecordName", "Both");
        click("qtAddSolventDensityData");
        click("qtAddSolventViscosityData");
        type("qtDensityA", "0.998");
        type("qtViscosityA", "1");
        type("qtComponentDensity", "1.2");
        save();
        const int both = added.last().at(0).toInt();
        const int rho = component("componentRhoId", both).toInt();
        QCOMPARE(value(QStringLiteral("SELECT name || ' ' || a FROM rhoseries WHERE id = %1").arg(rho)),
            QVariant("Both 0.998"));
        QCOMPARE(value(QStringLiteral("SELECT name || ' ' || a FROM viscseries WHERE id = %1")
                           .arg(component("componentViscId", both).toInt())),
            QVariant("Both 1.0"));
        QCOMPARE(component("componentDensity", both), QVariant(1.2));

        // Unchecking unlinks and keeps the row; rechecking inserts a new one.
        click("qtAddSolventDensityData");
        save();
        QCOMPARE(changed.last().at(0).toInt(), both);
        QVERIFY(component("componentRhoId", both).isNull());
        QCOMPARE(value(QStringLiteral("SELECT a FROM rhoseries WHERE id = %1").arg(rho)), QVariant(0.998));
        click("qtAddSolventDensityData");
        type("qtDensityA", "0.999");
        save();
        QVERIFY(component("componentRhoId", both).toInt() > rho);

        // A rename renames the linked series; clearing the density makes it NULL.
        type("qtRecordName", "Both renamed");
        type("qtComponentDensity", "");
        save();
        QCOMPARE(value(QStringLiteral("SELECT COUNT(*) FROM rhoseries r, viscseries v, bufferComponent c WHERE "
                                      "c.id = %1 AND r.id = c.componentRhoId AND v.id = c.componentViscId AND "
                                      "r.name = 'Both renamed' AND v.name = r.name AND c.componentDensity IS NULL")
                           .arg(both)),
            QVariant(1));
        QCOMPARE(changed.size(), 3);
        QVERIFY(m_answerer->seen().isEmpty());
    }

    // A failing statement: one box with the driver's text, nothing written, no
    // signal, the typed values and the editing state kept.
    void aFailingComponentSaveRollsBackTheSeries()
    {
        QVERIFY(exec("CREATE TRIGGER refuse BEFORE INSERT ON bufferComponent BEGIN SELECT RAISE(ABORT, 'refused "
                     "here'); END"));
        const QVariant before = value("SELECT (SELECT COUNT(*) FROM rhoseries) + (SELECT COUNT(*) FROM viscseries)");
        open(Table::BufferComponent);
        QSignalSpy added(&editor(), &GuiDataUpdate::sigNewBufferComponentAdded);
        click("qtRecordAdd");
        type("qtRecordName", "Doomed");
        click("qtAddSolventDensityData");
        click("qtAddSolventViscosityData");
        QTest::mouseClick(apply("qtComponentButtonBox"), Qt::LeftButton);
        QCOMPARE(m_answerer->titles(), QStringList("Vornakel"));
        QVERIFY(m_answerer->texts().first().contains("refused here"));
        QCOMPARE(value("SELECT (SELECT COUNT(*) FROM rhoseries) + (SELECT COUNT(*) FROM viscseries)"), before);
        QVERIFY(added.isEmpty());
        QVERIFY(name() == "Doomed" && editor().qtRecordAdd->isChecked() && apply("qtComponentButtonBox")->isEnabled());
    }

    // The box of a database failure says which file refused, before the driver's text.
    void aDatabaseErrorNamesTheFile()
    {
        QVERIFY(exec("CREATE TRIGGER refuse BEFORE UPDATE ON amino BEGIN SELECT RAISE(ABORT, 'refused here'); END"));
        open(Table::Amino);
        type("qtAAMr", "99");
        QTest::mouseClick(apply("qtAAButtonBox"), Qt::LeftButton);
        const QString text = m_answerer->texts().value(0);
        QVERIFY2(m_answerer->texts().size() == 1
                && text.startsWith(QDir::toNativeSeparators(m_db->path()) + ":\nrefused here"),
            qPrintable(text));
    }

    // A change applied while another program holds the file waits for it with the event loop running: the hold
    // ends only on a tick of a timer of that loop. Held beyond the wait, the box says the file is in use and
    // nothing is stored.
    void aChangeWaitsForAFileAnotherProgramHolds_data()
    {
        QTest::addColumn<bool>("released");
        QTest::newRow("let go while the change waits") << true;
        QTest::newRow("held beyond the wait") << false;
    }
    void aChangeWaitsForAFileAnotherProgramHolds()
    {
        QFETCH(bool, released);
        TestSettings settings;
        open(Table::Amino);
        type("qtAAMr", "99");
        TestLockHolder holder(m_db->path());
        QVERIFY(holder.isHolding());
        holder.meetTheWait(released);
        QTest::mouseClick(apply("qtAAButtonBox"), Qt::LeftButton);
        holder.release();
        if (released)
            QVERIFY(holder.wasLetGoOnATick() && m_answerer->texts().isEmpty());
        else
            QVERIFY2(m_answerer->texts().size() == 1
                    && m_answerer->texts().first().contains("is in use by another program, which holds it locked"),
                qPrintable(m_answerer->texts().join('\n')));
        QCOMPARE(value("SELECT Mr FROM amino WHERE name = 'Alanine'"), QVariant(released ? 99.0 : 71.079));
    }

    // A reader on another connection keeps the commit from taking the file.
    void aFailedCommitStoresNothingAndSendsNothing()
    {
        QSqlDatabase db = QSqlDatabase::database(m_db->path());
        db.close();
        db.setConnectOptions("QSQLITE_BUSY_TIMEOUT=50");
        QVERIFY(db.open());
        {
            TestOtherProgram other(m_db->path());
            QVERIFY(other.isOpen());
            QSqlQuery reading(other.database());
            QVERIFY(reading.exec("SELECT name FROM amino") && reading.next());

            open(Table::Amino);
            QSignalSpy changed(&editor(), &GuiDataUpdate::sigAminoRecordChanged);
            type("qtAAMr", "99");
            QTest::mouseClick(apply("qtAAButtonBox"), Qt::LeftButton);
            QCOMPARE(m_answerer->titles(), QStringList("Vornakel"));
            QVERIFY(changed.isEmpty() && editor().qtAAMr->text() == "99" && apply("qtAAButtonBox")->isEnabled());
        }
        QCOMPARE(value("SELECT Mr FROM amino WHERE name = 'Alanine'"), QVariant(71.079));
    }

    void extinctionAddWritesTheGridItsWavelengthsAndNoEmptyCells()
    {
        open(Table::Extinction);
        click("qtRecordAdd");
        QTableWidget *grid = editor().qtExtinctionTable;
        QCOMPARE(grid->rowCount(), 46);
        QCOMPARE(grid->item(45, 0)->text(), QStringLiteral("320"));
        for (int row = 0; row < 46; ++row)
            if (row != 1)
                grid->item(row, 1)->setText(QString::number(row * 10));
        type("qtRecordName", "ALA");
        QTest::mouseClick(apply("qtExtinctionButtonBox"), Qt::LeftButton);
        QVERIFY(m_answerer->seen().isEmpty());
        QCOMPARE(value("SELECT COUNT(*) || ' ' || MIN(nm) || ' ' || MAX(nm) || ' ' || SUM(nm = 232) || ' ' || "
                       "SUM(ext) FROM extinction WHERE name = 'ALA' AND active = 1"),
            QVariant("45 230.0 320.0 0 10340.0"));
        QVERIFY(value("SELECT COUNT(*) FROM extinction WHERE name = 'ALA' AND ext = nm * 5 - 1150").toInt() == 45);
        QCOMPARE(name() + '|' + QString::number(grid->rowCount()), QStringLiteral("ALA|45"));
        QVERIFY(editor().qtRecordFirst->isEnabled() && !editor().qtRecordAdd->isChecked());
    }

    void extinctionGridKeepsItsWidthForANewSpectrum()
    {
        open(Table::Extinction);
        QTableWidget *grid = editor().qtExtinctionTable;
        QVERIFY(QTest::qWaitForWindowExposed(&editor(), testPatienceMs()));
        click("qtRecordAdd");
        QCoreApplication::processEvents();
        // The coefficient column reaches the right edge, however empty its cells.
        QCOMPARE(grid->horizontalHeader()->sectionPosition(1) + grid->horizontalHeader()->sectionSize(1),
            grid->viewport()->width());
    }

    void extinctionAddRefusesNamesThatAreNoNewCode_data()
    {
        QTest::addColumn<QString>("spectrum");
        QTest::addColumn<bool>("nameCheckPasses");
        QTest::newRow("letter case") << "ala" << true;
        QTest::newRow("stored spectrum") << "TRP" << false;
        QTest::newRow("quote") << "A'L" << true;
    }
    void extinctionAddRefusesNamesThatAreNoNewCode()
    {
        QFETCH(QString, spectrum);
        QFETCH(bool, nameCheckPasses);
        const QVariant before = value("SELECT COUNT(*) FROM extinction");
        open(Table::Extinction);
        click("qtRecordAdd");
        type("qtRecordName", spectrum);
        // A cell edit enables Apply only past the name check; the save refuses the rest.
        editor().qtExtinctionTable->item(0, 1)->setText("5");
        QCOMPARE(apply("qtExtinctionButtonBox")->isEnabled(), nameCheckPasses);
        QTest::mouseClick(apply("qtExtinctionButtonBox"), Qt::LeftButton);
        QCOMPARE(m_answerer->titles(), nameCheckPasses ? QStringList("Vornakel") : QStringList());
        if (nameCheckPasses)
            QVERIFY(m_answerer->texts().first().contains("'" + spectrum + "'"));
        QCOMPARE(value("SELECT COUNT(*) FROM extinction"), before);
    }

    // Another spectrum's name keeps Apply off through any cell edit; the spectrum
    // listed is saved under its own name, however its name is typed.
    void extinctionEditNeverWritesOverAnotherSpectrum()
    {
        open(Table::Extinction);
        QTest::keyClicks(editor().qtRecordSearch, "TRP");
        const QVariant tyr = value("SELECT group_concat(ext) FROM extinction WHERE name = 'TYR'");
        QTableWidget *grid = editor().qtExtinctionTable;
        const int row = grid->findItems("280", Qt::MatchExactly).first()->row();
        grid->item(row, 1)->setText("5600");
        type("qtRecordName", "TYR");
        grid->item(row + 1, 1)->setText("5700");
        QVERIFY(!apply("qtExtinctionButtonBox")->isEnabled());
        type("qtRecordName", " trp ");
        QVERIFY(apply("qtExtinctionButtonBox")->isEnabled());
        QTest::mouseClick(apply("qtExtinctionButtonBox"), Qt::LeftButton);
        QVERIFY(m_answerer->seen().isEmpty());
        QCOMPARE(value("SELECT group_concat(ext) FROM extinction WHERE name = 'TRP' AND nm IN (280, 282)"),
            QVariant("5600.0,5700.0"));
        QCOMPARE(value("SELECT group_concat(ext) FROM extinction WHERE name = 'TYR'"), tyr);
    }

    void extinctionAddWithoutValuesSaysSoAndStaysInAddMode()
    {
        const QVariant before = value("SELECT COUNT(*) FROM extinction");
        open(Table::Extinction);
        click("qtRecordAdd");
        type("qtRecordName", "ALA");
        QVERIFY(apply("qtExtinctionButtonBox")->isEnabled());
        QTest::mouseClick(apply("qtExtinctionButtonBox"), Qt::LeftButton);
        QCOMPARE(m_answerer->titles(), QStringList("Vornakel"));
        QVERIFY(m_answerer->texts().first().contains("'ALA'"));
        QCOMPARE(value("SELECT COUNT(*) FROM extinction"), before);
        QVERIFY(editor().qtRecordAdd->isChecked() && name() == "ALA");
    }

    void extinctionEditUnderANameWithoutSpectrumSaysSo()
    {
        open(Table::Extinction);
        const QVariant before = value("SELECT group_concat(ext) FROM extinction");
        editor().qtExtinctionTable->item(0, 1)->setText("5");
        type("qtRecordName", "XYZ");
        QVERIFY(apply("qtExtinctionButtonBox")->isEnabled());
        QTest::mouseClick(apply("qtExtinctionButtonBox"), Qt::LeftButton);
        QCOMPARE(m_answerer->titles(), QStringList("Vornakel"));
        QVERIFY(m_answerer->texts().first().contains("'XYZ'"));
        QCOMPARE(value("SELECT group_concat(ext) FROM extinction"), before);
        QCOMPARE(editor().qtExtinctionTable->item(0, 1)->text(), QStringLiteral("5"));
    }

    void extinctionEditsByWavelengthAndDeletesByName()
    {
        open(Table::Extinction);
        QTest::keyClicks(editor().qtRecordSearch, "TRP");
        QTableWidget *grid = editor().qtExtinctionTable;
        const int row = grid->findItems("280", Qt::MatchExactly).first()->row();
        grid->item(row, 1)->setText("5600");
        QTest::mouseClick(apply("qtExtinctionButtonBox"), Qt::LeftButton);
        QCOMPARE(value("SELECT ext FROM extinction WHERE name = 'TRP' AND nm = 280"), QVariant(5600.0));

        click("qtRecordDelete");
        QVERIFY(apply("qtExtinctionButtonBox")->isEnabled() && !editor().qtRecordName->isEnabled());
        QTest::mouseClick(apply("qtExtinctionButtonBox"), Qt::LeftButton);
        QCOMPARE(value("SELECT COUNT(*) FROM extinction WHERE name = 'TRP'"), QVariant(0));
        QCOMPARE(name(), QStringLiteral("PHE"));
        QVERIFY(!apply("qtExtinctionButtonBox")->isEnabled() && editor().qtRecordName->isEnabled());
        QVERIFY(m_answerer->seen().isEmpty());
    }

    // A number emptied in any table of the editor is stored as NULL, never as an empty text; the record's other
    // numbers stay as they were.
    void anEmptiedNumberIsStoredAsNull_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<QString>("record");
        QTest::addColumn<QString>("field"); // a line edit, or the coefficient cell at a wavelength
        QTest::addColumn<QString>("stored"); // the emptied value and one kept beside it
        QTest::newRow("amino acid") << 0 << "Alanine"
                                    << "qtAAHipH7"
                                    << "SELECT typeof(HipH7) || ' ' || HipH4 FROM amino WHERE name = 'Alanine'";
        QTest::newRow("conjugate") << 1 << "D-Galactose (residue)"
                                   << "qtConjugateVbar"
                                   << "SELECT typeof(vbar) || ' ' || typeof(Mr) FROM conjugates WHERE name = "
                                      "'D-Galactose (residue)'";
        QTest::newRow("denaturant") << 2 << "Urea"
                                    << "qtDenaturantMd"
                                    << "SELECT typeof(Md) || ' ' || name FROM denature WHERE name = 'Urea'";
        QTest::newRow("density series") << 3 << "Sodium chloride"
                                        << "qtDensityB"
                                        << "SELECT typeof(b) || ' ' || typeof(a) FROM rhoseries WHERE id = (SELECT "
                                           "componentRhoId FROM bufferComponent WHERE name = 'Sodium chloride')";
        QTest::newRow("viscosity series") << 3 << "Sodium chloride"
                                          << "qtViscosityCmax"
                                          << "SELECT typeof(Cmax) || ' ' || typeof(a) FROM viscseries WHERE id = "
                                             "(SELECT componentViscId FROM bufferComponent WHERE name = "
                                             "'Sodium chloride')";
        QTest::newRow("spectrum") << 4 << "TRP"
                                  << "282"
                                  << "SELECT group_concat(typeof(ext), ' ') FROM (SELECT ext FROM extinction WHERE "
                                     "name = 'TRP' AND nm IN (282, 280) ORDER BY nm DESC)";
    }
    void anEmptiedNumberIsStoredAsNull()
    {
        QFETCH(int, table);
        QFETCH(QString, record);
        QFETCH(QString, field);
        QFETCH(QString, stored);
        const char *boxes[] = { "qtAAButtonBox", "qtConjugateButtonBox", "qtDenaturantButtonBox",
            "qtComponentButtonBox", "qtExtinctionButtonBox" };
        open(static_cast<Table>(table));
        QTest::keyClicks(editor().qtRecordSearch, record);
        QCOMPARE(name(), record);
        const QString kept = value(stored).toString().section(' ', 1);
        QVERIFY(kept != "null");
        if (table == 4) {
            QTableWidget *grid = editor().qtExtinctionTable;
            grid->item(grid->findItems(field, Qt::MatchExactly).first()->row(), 1)->setText("");
        } else {
            type(field, "");
        }
        QVERIFY(apply(boxes[table])->isEnabled());
        QTest::mouseClick(apply(boxes[table]), Qt::LeftButton);
        QCOMPARE(value(stored).toString(), "null " + kept);
        QVERIFY(m_answerer->seen().isEmpty());
    }

    // The name check reads the name without blanks around it; so does every save.
    void savesStoreTheNameWithoutBlanks_data()
    {
        QTest::addColumn<int>("table");
        QTest::addColumn<QString>("name");
        QTest::newRow("amino") << 0 << "Thiourea";
        QTest::newRow("conjugate") << 1 << "Thiourea";
        QTest::newRow("denaturant") << 2 << "Thiourea";
        QTest::newRow("buffer component") << 3 << "Thiourea";
        QTest::newRow("spectrum") << 4 << "ALA";
    }
    void savesStoreTheNameWithoutBlanks()
    {
        QFETCH(int, table);
        QFETCH(QString, name);
        const char *tables[] = { "amino", "conjugates", "denature", "bufferComponent", "extinction" };
        const char *boxes[] = { "qtAAButtonBox", "qtConjugateButtonBox", "qtDenaturantButtonBox",
            "qtComponentButtonBox", "qtExtinctionButtonBox" };
        open(static_cast<Table>(table));
        click("qtRecordAdd");
        type("qtRecordName", "  " + name + "  ");
        if (table == 0)
            type("qtAA3Letter", "tou"), type("qtAA1Letter", "j");
        if (table == 4)
            editor().qtExtinctionTable->item(0, 1)->setText("5");
        QVERIFY(apply(boxes[table])->isEnabled());
        QTest::mouseClick(apply(boxes[table]), Qt::LeftButton);
        QVERIFY(m_answerer->seen().isEmpty());
        QCOMPARE(
            value(QStringLiteral("SELECT group_concat(DISTINCT '[' || name || ']') FROM %1 WHERE TRIM(name) = '%2'")
                      .arg(tables[table], name)),
            QVariant('[' + name + ']'));
        QCOMPARE(this->name(), name);
    }

    // Wired as the main window wires them: the page offers what the editor stored.
    void theBufferPageFollowsAddedAndChangedComponents()
    {
        GuiBufferComponents page;
        page.setDatabasePath(m_db->path());
        connect(&editor(), &GuiDataUpdate::sigNewBufferComponentAdded, &page,
            &GuiBufferComponents::onNewComponentRecordAdded);
        connect(&editor(), &GuiDataUpdate::sigComponentRecordChanged, &page,
            &GuiBufferComponents::onComponentRecordChanged);
        auto item = [&](QTableWidget *table, const QString &text) {
            const QList<QTableWidgetItem *> found = table->findItems(text, Qt::MatchExactly);
            return found.isEmpty() ? nullptr : found.first();
        };
        open(Table::BufferComponent);
        click("qtRecordAdd");
        type("qtRecordName", "Zinc acetate");
        click("qtAddSolventDensityData");
        type("qtDensityA", "0.998");
        QTest::mouseClick(apply("qtComponentButtonBox"), Qt::LeftButton);
        QTableWidgetItem *added = item(page.qtAddedComponents, "Zinc acetate");
        QVERIFY(item(page.qtComponents, "Zinc acetate") && added && page.qtAddedComponents->isRowHidden(added->row()));
        QVERIFY(!added->data(Qt::UserRole + 3).isNull() && added->data(Qt::UserRole + 4).isNull());

        type("qtRecordName", "Zinc acetate dihydrate");
        click("qtAddSolventViscosityData");
        QTest::mouseClick(apply("qtComponentButtonBox"), Qt::LeftButton);
        QVERIFY(!item(page.qtComponents, "Zinc acetate"));
        added = item(page.qtAddedComponents, "Zinc acetate dihydrate");
        QVERIFY(added && !added->data(Qt::UserRole + 4).isNull());
        QVERIFY(m_answerer->seen().isEmpty());
    }

    // Each opening starts a new search; Delete is offered only for a record on view; Close and an edit's
    // Cancel always answer; and no opening shows a record greyed.
    void noStateOfTheWindowTrapsItsUser()
    {
        QLineEdit *search = editor().qtRecordSearch;
        auto button = [this](const char *box, QDialogButtonBox::StandardButton which) {
            return w<QDialogButtonBox>(QLatin1String(box))->button(which);
        };
        QPushButton *close = editor().qtDialogButtons->button(QDialogButtonBox::Close);
        for (int opening = 0; opening < 2; ++opening) {
            open(Table::Denature);
            QVERIFY(editor().qtStackDenaturantPage->isEnabled() && editor().qtRecordDelete->isEnabled());
            QTest::keyClicks(search, "Guanidine");
            QCOMPARE(name(), QStringLiteral("Guanidine hydrochloride"));
            QTest::keyClicks(search, "x");
            QCOMPARE(name(), QStringLiteral("No Matching Records"));
            QVERIFY(!editor().qtRecordDelete->isEnabled() && close->isEnabled());
            // The message in the name line is no name to edit: typing there starts no edit.
            QTest::keyClicks(editor().qtRecordName, "y");
            QVERIFY(editor().qtRecordFirst->isEnabled() && !apply("qtDenaturantButtonBox")->isEnabled());
            QTest::mouseClick(close, Qt::LeftButton);
            QVERIFY(!editor().isVisible());
        }
        open(Table::Denature);
        QTest::keyClicks(search, "Ur");
        click("qtRecordDelete");
        QVERIFY(close->isEnabled() && button("qtDenaturantButtonBox", QDialogButtonBox::Cancel)->isEnabled());
        QVERIFY(apply("qtDenaturantButtonBox")->isEnabled() && !editor().qtDenaturantRhomin->isEnabled());
        QTest::mouseClick(close, Qt::LeftButton);
        open(Table::Denature);
        QVERIFY(editor().qtStackDenaturantPage->isEnabled() && editor().qtDenaturantRhomin->isEnabled());
        QVERIFY(!editor().qtRecordDelete->isChecked() && editor().qtRecordDelete->isEnabled());
        QCOMPARE(name(), QStringLiteral("Guanidine hydrochloride"));
        QCOMPARE(value("SELECT COUNT(*) FROM denature WHERE active > 0").toInt(), 2);
    }

    void addDeleteAndCancelLockAndReleaseTheFrame()
    {
        open(Table::Amino);
        QList<QWidget *> frame = { editor().qtDataTable, editor().qtRecordNext, editor().qtRecordSearch,
            editor().qtRecordAdd, editor().qtRecordDelete };
        auto locked = [&] {
            int n = 0;
            for (QWidget *widget : frame)
                n += widget->isEnabled() ? 0 : 1;
            return n == frame.size() ? 1 : n == 0 ? 0 : -1;
        };
        auto cancel = [&] {
            QTest::mouseClick(w<QDialogButtonBox>("qtAAButtonBox")->button(QDialogButtonBox::Cancel), Qt::LeftButton);
        };
        click("qtRecordNext");
        click("qtRecordAdd");
        QVERIFY(locked() == 1 && name().isEmpty() && editor().qtAAMr->text().isEmpty());
        cancel();
        QVERIFY(locked() == 0 && name() == "Arginine" && !editor().qtRecordAdd->isChecked());
        click("qtRecordDelete");
        QVERIFY(locked() == 1 && !editor().qtRecordName->isEnabled() && !editor().qtAAMr->isEnabled());
        cancel();
        QVERIFY(locked() == 0 && editor().qtRecordName->isEnabled() && editor().qtAAMr->isEnabled());

        QVERIFY(editor().qtDialogButtons->isEnabled()); // Close hides the window whatever the frame is in
        // Closed in add mode and opened again from the menu: browsing.
        click("qtRecordAdd");
        type("qtRecordName", "Half typed");
        editor().close();
        open(Table::Amino);
        QVERIFY(locked() == 0 && !editor().qtRecordAdd->isChecked() && name() == "Alanine");
        QVERIFY(!apply("qtAAButtonBox")->isEnabled() && !editor().qtAAInstructionLabel->isVisible());
    }
};

TEST_MAIN(TstGuiDataUpdate)
#include "tst_gui_dataupdate.moc"
