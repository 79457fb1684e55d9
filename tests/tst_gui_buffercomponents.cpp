#include "app/app_number.h"
#include "gui/gui_buffercomponents.h"
#include "gui/gui_dataupdate.h"
#include "gui/gui_vornakel.h"

#include "test_environment.h"
#include "test_modalanswerer.h"
#include "test_refdata.h"

#include <QComboBox>
#include <QSqlError>
#include <QSqlQuery>
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

    struct Fixture
    {
        TestSettings settings;
        TestReferenceDatabase db;
        TestModalAnswerer answerer;
        std::unique_ptr<GuiVornakel> window;
    };
    std::unique_ptr<Fixture> m_f;
    GuiBufferComponents *m_page = nullptr;

    template<typename T = QWidget> T *widget(const QString &name) const
    {
        T *w = m_f->window->findChild<T *>(name);
        if (!w)
            qFatal("no widget %s", qPrintable(name));
        return w;
    }
    double number(const QString &name) const { return widget<QLineEdit>(name)->text().toDouble(); }
    void type(const QString &name, const QString &text)
    {
        auto *field = widget<QLineEdit>(name);
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, "\b" + text + "\r");
    }
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
    // Picks the component, adds it, chooses the unit and types the concentration into the cell's editor.
    void add(const QString &name, const QString &value, const QString &unit = QStringLiteral("molar"))
    {
        m_page->qtComponents->setCurrentItem(m_page->qtComponents->item(rowOf(name), 0));
        m_page->qtAddComponent->click();
        units(name)->setCurrentText(unit);
        auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
        QVERIFY(editor && m_page->qtAddedComponents->isAncestorOf(editor));
        QTest::keyClicks(editor, value);
        QTest::keyClick(editor, Qt::Key_Return);
        QCoreApplication::processEvents(); // the delegate commits the edit queued
        QCOMPARE(concentration(name)->text(), value);
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
    void openPage()
    {
        widget<QAbstractButton>("qtDensityCompute")->click(), widget<QAbstractButton>("qtViscosityCompute")->click();
    }
    GuiDataUpdate *editor() const
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *e = qobject_cast<GuiDataUpdate *>(w))
                return e;
        }
        qFatal("no reference data editor");
    }
    bool sql(const QString &text, const QVariantMap &values = {}) const
    {
        QSqlQuery query(QSqlDatabase::database(m_f->db.path()));
        query.prepare(text);
        for (auto it = values.cbegin(); it != values.cend(); ++it)
            query.bindValue(it.key(), it.value());
        if (!query.exec())
            qWarning("%s", qPrintable(query.lastError().text()));
        return query.isActive();
    }
    qlonglong id(const QString &name) const { return m_f->db.idOf(QStringLiteral("BufferComponent"), name); }
    QString writeFile(const QByteArray &bytes) const
    {
        const QString path = m_f->settings.path() + "/composition.buf";
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

private slots:
    void init()
    {
        m_f = std::make_unique<Fixture>();
        QVERIFY2(m_f->db.isValid(), qPrintable(m_f->db.error()));
        m_f->window = std::make_unique<GuiVornakel>(m_f->db.path());
        QVERIFY(m_f->window->initVornakel());
        m_f->window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_f->window.get()));
        m_page = m_f->window->qtStackBufferComponents;
        widget<QTabWidget>("qtTabWidget")->setCurrentWidget(widget("qtTabExperiment"));
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
        QTest::newRow("NaCl mg/ml") << QStringList { "Sodium chloride=10=mg/ml" } << "20" << 0.0 << 1.0053 << 0.0;
    }
    void figuresAgreeWithPublishedTables()
    {
        QFETCH(QStringList, components);
        QFETCH(QString, temperature);
        QFETCH(double, d2o);
        QFETCH(double, density);
        QFETCH(double, viscosity);
        type("qtSedEquilibriumTemp", temperature);
        openPage();
        for (const QString &c : components)
            add(c.section('=', 0, 0), c.section('=', 1, 1), c.section('=', 2, 2));
        if (d2o > 0) {
            m_page->qtHeavyWater->setChecked(true);
            m_page->qtWaterComposition->qtD2OBox->setValue(d2o);
        }
        QVERIFY2(std::fabs(number("qtCorrectedDensity") - density) < 1.5e-4,
            qPrintable(widget<QLineEdit>("qtCorrectedDensity")->text()));
        if (viscosity > 0) {
            QVERIFY2(std::fabs(number("qtCorrectedViscosity") / viscosity - 1) < 5e-3,
                qPrintable(widget<QLineEdit>("qtCorrectedViscosity")->text()));
        }
        QVERIFY(m_f->answerer.seen().isEmpty());
    }
};

QTEST_MAIN(TstGuiBufferComponents)
#include "tst_gui_buffercomponents.moc"
