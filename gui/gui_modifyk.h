#ifndef GUI_MODIFYK_H
#define GUI_MODIFYK_H

// The form's header lives in the library's generated folder, which targets
// linking the library (the tests) reach only through the build tree.
#if __has_include("ui_gui_modifyk.h")
#include "ui_gui_modifyk.h"
#else
#include "vornakel_core_autogen/include/ui_gui_modifyk.h"
#endif

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
