#ifndef GUI_CHANGEPKAS_H
#define GUI_CHANGEPKAS_H

#include "ui_gui_changepkas.h"

#include <QDialog>
#include <QString>

// The modal dialog in which the pKa values of the two chain ends are changed.
// It holds no values of its own beyond its two fields.
class GuiChangePkas : public QDialog, public Ui::QtChangePkas
{
    Q_OBJECT

public:
    explicit GuiChangePkas(QWidget *parent = nullptr);
    ~GuiChangePkas() override;

    virtual double amino();
    virtual double carboxyl();
    virtual void setAmino(double const &value);
    virtual void setCarboxyl(double const &value);

    // QDialog::Accepted for Ok (only with two valid values), Rejected otherwise.
    int execute();

    // A pKa is a finite number from 0 to 14.
    static bool isValidPka(const QString &text, double *value = nullptr);

public slots:
    void accept() override;

signals:
    void sigLog(QString message, int logLevel);
};

#endif
