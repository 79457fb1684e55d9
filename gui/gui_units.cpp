#include "gui/gui_units.h"

#include "app/app_number.h"

#include <QLineEdit>
#include <QMessageBox>

bool GuiUnits::askCentipoise(QLineEdit *field, QWidget *parent)
{
    double value = 0;
    if (!field || !AppNumber::fromText(field->text(), &value) || value < suspectPoise)
        return false;
    const QString asTyped = AppNumber::toText(value), inPoise = AppNumber::toText(value / 100);
    const QString text = QStringLiteral("The viscosity is entered in poise (water at 20 C: 0.01002 P = 1.002 cP).\n\n"
                                        "Was %1 meant in centipoise, that is %2 P?")
                             .arg(asTyped, inPoise);
    if (QMessageBox::question(
            parent, QStringLiteral("Vornakel"), text, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes)
        != QMessageBox::Yes)
        return false;
    field->setText(inPoise);
    return true;
}
