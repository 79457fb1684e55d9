#include "gui/gui_changedefaults.h"

#include "app/app_constants.h"
#include "app/app_number.h"
#include "gui/gui_units.h"

#include "app/app_log.h"
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace {
const char *const lastOpenDirectoryKey = "ChangeDefaults/lastOpenDirectory";
constexpr int defaultsCount = 6;
} // namespace

GuiChangeDefaults::GuiChangeDefaults(QString connectionName, QDialog *parent)
    : QDialog(parent), m_connectionName(std::move(connectionName))
{
    setupUi(this);

    // The form's own wiring: each "Change" box unlocks its row.
    connect(qtChangeDefaultAccRej, &QDialogButtonBox::accepted, this, &QDialog::accept);
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
}

void GuiChangeDefaults::createConnections()
{
    // After the form's own, so OK closes the dialog before the changes are written.
    connect(qtChangeDbBrowseButton, &QPushButton::clicked, this, &GuiChangeDefaults::onBrowseClicked);
    connect(qtChangeDefaultAccRej, &QDialogButtonBox::accepted, this, &GuiChangeDefaults::onFinishedMakingChanges);
}

QStringList GuiChangeDefaults::defaultValues()
{
    QStringList values;
    for (int i = 0; i < defaultsCount; ++i)
        values << QString();

    QSqlQuery query(m_db);
    if (!query.exec(
            QStringLiteral("SELECT temperature, density, viscosity, vbar, pH, sk FROM defaults WHERE id = 1"))) {
        QMessageBox::critical(this, QStringLiteral("Vornakel"),
            QStringLiteral("The defaults of the database file\n%1\ncannot be read: %2")
                .arg(QDir::toNativeSeparators(m_connectionName), query.lastError().text()),
            QMessageBox::Ok);
        return values;
    }
    if (!query.next())
        return values;
    for (int i = 0; i < defaultsCount; ++i) {
        const QVariant value = query.value(i);
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

bool GuiChangeDefaults::updateDefault(const char *column, const QLabel *label, const GuiLineEdit *field)
{
    QString name = label->text().trimmed();
    if (name.endsWith(QLatin1Char(':')))
        name.chop(1);
    double value = 0;
    if (!AppNumber::fromText(field->text(), &value)) {
        QMessageBox::warning(this, QStringLiteral("Vornakel"),
            QStringLiteral("%1: '%2' is not a number, so this default was not changed.").arg(name, field->text()),
            QMessageBox::Ok);
        return false;
    }

    // The column is one of five fixed names; only the value comes from the user.
    QSqlQuery query(m_db);
    if (!query.prepare(QStringLiteral("UPDATE defaults SET %1 = :value WHERE id = 1").arg(QLatin1String(column)))) {
        QMessageBox::critical(this, QStringLiteral("Vornakel"), query.lastError().text(), QMessageBox::Ok);
        return false;
    }
    query.bindValue(QStringLiteral(":value"), value);
    if (!query.exec()) {
        QMessageBox::critical(this, QStringLiteral("Vornakel"), query.lastError().text(), QMessageBox::Ok);
        return false;
    }
    // A file whose defaults row is gone takes the update without error and
    // without storing anything; the typed value must not vanish unannounced.
    if (query.numRowsAffected() == 0) {
        QMessageBox::warning(this, QStringLiteral("Vornakel"),
            QStringLiteral("%1: the database holds no defaults row, so this default was not stored.").arg(name),
            QMessageBox::Ok);
        return false;
    }
    return true;
}

void GuiChangeDefaults::onFinishedMakingChanges()
{
    if (qtChangeExperimentalDatabase->isChecked())
        qCDebug(lcGui) << "Change Default Database not yet implemented.";

    // Each row on its own: a refused or failed one does not stop the others.
    if (qtChangeBufferDensity->isChecked())
        updateDefault("density", qtLabelBufferDensity, qtDefaultBufferDensityValue);
    if (qtChangeBufferViscosity->isChecked()) {
        // The dialog has closed by now: the question goes to whoever opened it.
        GuiUnits::askCentipoise(qtDefaultBufferViscosityValue, parentWidget());
        updateDefault("viscosity", qtLabelBufferViscosity, qtDefaultBufferViscosityValue);
    }
    if (qtChangeBufferpH->isChecked())
        updateDefault("pH", qtLabelBufferpH, qtDefaultBufferpHValue);
    if (qtChangeVbar->isChecked())
        updateDefault("vbar", qtLabelVbar, qtDefaultVbarValue);
    if (qtChangeDependence->isChecked())
        updateDefault("sk", qtLabelConcetrationDependenceSedimentation, qtDefaultConcentrationDependenceValue);

    if (qtChangeDefaultMethod->isChecked())
        qCDebug(lcGui) << "Change Default calculation method not yet implemented.";
}

void GuiChangeDefaults::onBrowseClicked()
{
    QSettings settings(QLatin1String(AppKeys::organisation), QLatin1String(AppKeys::application));
    const QString startFolder = settings.value(QLatin1String(lastOpenDirectoryKey), QDir::currentPath()).toString();
    const QString file = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open Database"), startFolder, QStringLiteral("Sqlite Database (*.db)"));
    if (file.isEmpty() || !QFileInfo::exists(file))
        return;
    const QFileInfo info(file);
    settings.setValue(QLatin1String(lastOpenDirectoryKey), info.absolutePath());
    // Only shown: switching databases is not done from here.
    qtDefaultDatabaseLocation->setText(info.absoluteFilePath());
}
