#ifndef GUI_MODIFYK_H
#define GUI_MODIFYK_H

#include "ui_gui_modifyk.h"

#include <QDialog>

// Explains the correction of s to standard conditions and the concentration
// coefficient k; it has no inputs and changes nothing.
class GuiModifyK : public QDialog, public Ui::QtModifyK
{
    Q_OBJECT

public:
    explicit GuiModifyK(QWidget *parent);

    void initialize();
    void createConnections();
    int execute();

signals:
    void sigLog(QString message, int logLevel);

public slots:
    void onOkClicked();
};

#endif
