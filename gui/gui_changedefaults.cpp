#include "gui/gui_changedefaults.h"

#include "app/app_constants.h"
#include "app/app_number.h"
#include "gui/gui_units.h"
#include "sql/sql_transaction.h"

#include "app/app_log.h"
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QVariant>

namespace {
constexpr int defaultsCount = 6;
} // namespace

GuiChangeDefaults::GuiChangeDefaults(QString connectionName, QDialog *parent)
    : QDialog(parent), m_connectionName(std::move(connectionName))
{
    setupUi(this);

    // The form's own wiring: each "Change" box unlocks its row. OK closes the
    // dialog only once the changes are stored (onFinishedMakingChanges), so a
    // refused value can be mended where it was typed.
    connect(qtChangeDefaultAccRej, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(qtChangeExperimentalDatabase, &QCheckBox::clicked, qtDefaultDatabaseLocation, &QWidget::setEnabled);
    connect(qtChangeExperimentalDatabase, &QCheckBox::clicked, qtChangeDbBrowseButton, &QWidget::setEnabled);
    connect(qtChangeBufferDensity, &QCheckBox::clicked, qtDefaultBufferDensityValue, &QWidget::setEnabled);
    connect(qtChangeBufferViscosity, &QCheckBox::clicked, qtDefaultBufferViscosityValue, &QWidget::setEnabled);
    connect(qtChangeBufferpH, &QCheckBox::clicked, qtDefaultBufferpHValue, &QWidget::setEnabled);
    connect(qtChangeVbar, &QCheckBox::clicked, qtDefaultVbarValue, &QWidget::setEnabled);
    connect(qtChangeDependence, &QCheckBox::clicked, qtDefaultConcentrationDependenceValue, &QWidget::setEnabled);

    m_db = QSqlDatabase::database(m_connectionName, true);
    initialize();
    createConnections();
}

GuiChangeDefaults::~GuiChangeDefaults() = default;

void GuiChangeDefaults::initialize()
{
    qtDefaultDatabaseLocation->setText(m_connectionName);
    const GuiDefaultsRow values = defaultsRow();
    // The temperature has no field here.
    qtDefaultBufferDensityValue->setText(values.density);
    qtDefaultBufferViscosityValue->setText(values.viscosity);
    qtDefaultVbarValue->setText(values.vbar);
    qtDefaultBufferpHValue->setText(values.pH);
    qtDefaultConcentrationDependenceValue->setText(values.sk);
    qtDefaultBufferDensityValue->setToolTip(QLatin1String(GuiUnits::densityTip));
    qtDefaultBufferViscosityValue->setToolTip(QLatin1String(GuiUnits::viscosityTip));

    // The rules of the main window's fields these values become the defaults of.
    for (const ValueRow &row : valueRows()) {
        row.field->setBottom(row.least);
        row.field->setTop(row.greatest);
    }
}

void GuiChangeDefaults::createConnections()
{
    connect(qtChangeDbBrowseButton, &QPushButton::clicked, this, &GuiChangeDefaults::onBrowseClicked);
    connect(qtChangeDefaultAccRej, &QDialogButtonBox::accepted, this, &GuiChangeDefaults::onFinishedMakingChanges);
}

QStringList GuiChangeDefaults::defaultValues()
{
    QStringList values;
    for (int i = 0; i < defaultsCount; ++i)
        values << QString();

    SqlRecords records(m_db);
    SqlDefaultsRow row;
    if (!records.loadDefaults(&row)) {
        QMessageBox::critical(this, QStringLiteral("Vornakel"),
            records.refused()
                ? QStringLiteral("The defaults cannot be read.\n\n%1").arg(records.error())
                : QStringLiteral("The defaults of the database file\n%1\ncannot be read: %2")
                      .arg(QDir::toNativeSeparators(m_connectionName), SqlTransaction::reason(records.driverText())),
            QMessageBox::Ok);
        return values;
    }
    const QVariant stored[defaultsCount] = { row.temperature, row.density, row.viscosity, row.vbar, row.pH, row.sk };
    for (int i = 0; i < defaultsCount; ++i) {
        const QVariant &value = stored[i];
        if (value.isNull())
            continue;
        bool isNumber = false;
        const double number = value.toDouble(&isNumber);
        values[i] = isNumber ? AppNumber::toText(number) : value.toString();
    }
    return values;
}

GuiDefaultsRow GuiChangeDefaults::defaultsRow()
{
    const QStringList values = defaultValues();
    return { values.value(0), values.value(1), values.value(2), values.value(3), values.value(4), values.value(5) };
}

QList<GuiChangeDefaults::ValueRow> GuiChangeDefaults::valueRows() const
{
    using namespace GuiDefaultBounds;
    using Row = SqlDefaultsRow;
    return { { qtChangeBufferDensity, qtLabelBufferDensity, qtDefaultBufferDensityValue, &Row::density, leastPositive },
        { qtChangeBufferViscosity, qtLabelBufferViscosity, qtDefaultBufferViscosityValue, &Row::viscosity,
            leastPositive },
        { qtChangeBufferpH, qtLabelBufferpH, qtDefaultBufferpHValue, &Row::pH, leastPositive, greatestpH },
        { qtChangeVbar, qtLabelVbar, qtDefaultVbarValue, &Row::vbar, leastPositive },
        { qtChangeDependence, qtLabelConcetrationDependenceSedimentation, qtDefaultConcentrationDependenceValue,
            &Row::sk, leastSk } };
}

bool GuiChangeDefaults::readChanges(SqlDefaultsRow *changes)
{
    for (const ValueRow &row : valueRows()) {
        if (!row.box->isChecked())
            continue;
        QString name = row.label->text().trimmed();
        if (name.endsWith(QLatin1Char(':')))
            name.chop(1);
        const QString text = row.field->text();
        double value = 0;
        QString refusal;
        if (!AppNumber::fromText(text, &value))
            refusal = QStringLiteral("%1: '%2' is not a number.").arg(name, text);
        else if (!row.field->takes(text.trimmed()))
            refusal = QStringLiteral("%1: %2 is refused; the form takes %3.")
                          .arg(name, AppNumber::toText(value),
                              qIsFinite(row.greatest)
                                  ? QStringLiteral("values from %1 to %2")
                                        .arg(AppNumber::toText(row.least), AppNumber::toText(row.greatest))
                                  : QStringLiteral("values of %1 or more").arg(AppNumber::toText(row.least)));
        if (!refusal.isEmpty()) {
            QMessageBox::warning(this, QStringLiteral("Vornakel"),
                refusal + QStringLiteral("\nNo default was changed."), QMessageBox::Ok);
            row.field->setFocus(Qt::OtherFocusReason);
            return false;
        }
        (changes->*row.column) = value;
    }
    return true;
}

bool GuiChangeDefaults::writeChanges(const SqlDefaultsRow &changes)
{
    SqlRecords records(m_db);
    switch (records.saveDefaults(changes)) {
    case SqlRecords::DefaultsSave::Stored:
        return true;
    case SqlRecords::DefaultsSave::NotBegun:
        QMessageBox::critical(this, QStringLiteral("Vornakel"), records.error(), QMessageBox::Ok);
        return false;
    case SqlRecords::DefaultsSave::Failed:
        QMessageBox::critical(this, QStringLiteral("Vornakel"),
            records.error() + QStringLiteral("\nNo default was changed."), QMessageBox::Ok);
        return false;
    case SqlRecords::DefaultsSave::NoDefaultsRow:
        // A file whose defaults row is gone takes the update without error and
        // without storing anything; the typed values must not vanish unannounced.
        QMessageBox::warning(this, QStringLiteral("Vornakel"),
            QStringLiteral("The database holds no defaults row.\nNo default was changed."), QMessageBox::Ok);
        return false;
    }
    return false;
}

void GuiChangeDefaults::onFinishedMakingChanges()
{
    if (qtChangeExperimentalDatabase->isChecked())
        qCDebug(lcGui) << "Change Default Database not yet implemented.";

    if (qtChangeBufferViscosity->isChecked())
        GuiUnits::askCentipoise(qtDefaultBufferViscosityValue, this);
    // All checked rows or none: a refused or failed one leaves the dialog open
    // on what was typed, and the stored defaults as they were.
    SqlDefaultsRow changes;
    if (!readChanges(&changes) || !writeChanges(changes))
        return;

    if (qtChangeDefaultMethod->isChecked())
        qCDebug(lcGui) << "Change Default calculation method not yet implemented.";
    accept();
}

void GuiChangeDefaults::onBrowseClicked()
{
    QSettings settings(QLatin1String(AppKeys::organisation), QLatin1String(AppKeys::application));
    const QString startFolder
        = settings.value(QLatin1String(AppKeys::lastDatabaseFolder), QDir::currentPath()).toString();
    const QString file = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open Database"), startFolder, QStringLiteral("Sqlite Database (*.db)"));
    if (file.isEmpty() || !QFileInfo::exists(file))
        return;
    const QFileInfo info(file);
    settings.setValue(QLatin1String(AppKeys::lastDatabaseFolder), info.absolutePath());
    // Only shown: switching databases is not done from here.
    qtDefaultDatabaseLocation->setText(info.absoluteFilePath());
}
