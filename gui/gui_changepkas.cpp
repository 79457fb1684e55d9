#include "gui/gui_changepkas.h"

#include "app/app_number.h"

#include <QMessageBox>

GuiChangePkas::GuiChangePkas(QWidget *parent) : QDialog(parent)
{
    setupUi(this);
    connect(buttonBox, &QDialogButtonBox::accepted, this, &GuiChangePkas::accept);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &GuiChangePkas::reject);
}

GuiChangePkas::~GuiChangePkas() = default;

double GuiChangePkas::amino()
{
    return AppNumber::valueOrZero(qtAmino->text());
}

double GuiChangePkas::carboxyl()
{
    return AppNumber::valueOrZero(qtCarboxyl->text());
}

void GuiChangePkas::setAmino(double const &value)
{
    qtAmino->setText(QString::number(value, 'g', 6));
}

void GuiChangePkas::setCarboxyl(double const &value)
{
    qtCarboxyl->setText(QString::number(value, 'g', 6));
}

int GuiChangePkas::execute()
{
    return exec();
}

bool GuiChangePkas::isValidPka(const QString &text, double *value)
{
    double v = 0;
    if (!AppNumber::fromText(text, &v) || v < 0 || v > 14)
        return false;
    if (value)
        *value = v;
    return true;
}

void GuiChangePkas::accept()
{
    // A stored 0 for a mistyped value would silently shift the charge curve,
    // so the dialog stays open until both ends hold a pKa.
    QLineEdit *invalid = !isValidPka(qtAmino->text()) ? qtAmino
        : !isValidPka(qtCarboxyl->text())             ? qtCarboxyl
                                                      : nullptr;
    if (invalid) {
        QMessageBox::warning(this, QStringLiteral("Vornakel"),
            QStringLiteral("A pKa must be a number from 0 to 14: \"%1\" is not.").arg(invalid->text()));
        invalid->setFocus();
        invalid->selectAll();
        return;
    }
    QDialog::accept();
}
