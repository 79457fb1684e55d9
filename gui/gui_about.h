#ifndef GUI_ABOUT_H
#define GUI_ABOUT_H

#include "ui_gui_about.h"

#include <QDialog>

// The about box: the program version, the schema revision and the credits.
class GuiAbout : public QDialog, public Ui::QtAbout
{
    Q_OBJECT

public:
    explicit GuiAbout(QWidget *parent = nullptr);

private:
    void initialize();
};

#endif
