#ifndef GUI_PRINTTOFILE_H
#define GUI_PRINTTOFILE_H

#include "app/app_savefile.h"

#include <QString>

#include <memory>

class QPrinter;
class QWidget;

// Printing to a file (a PDF) is saving one, and goes the way every file of
// the program is written (AppSaveFile): the print engine writes a new file
// beside the one named, which takes the name only once the printing has
// ended and the file is whole. A printing that fails keeps the file that had
// the name, and the box says why. Printing to a printer passes through.
class GuiPrintToFile
{
public:
    // From here on, a printer that prints to a file prints into the new one.
    explicit GuiPrintToFile(QPrinter *printer);
    // Gives the printer back its file name; a new file not finished is dropped.
    ~GuiPrintToFile();
    GuiPrintToFile(const GuiPrintToFile &) = delete;
    GuiPrintToFile &operator=(const GuiPrintToFile &) = delete;

    // Whether printing may begin; otherwise the box has said why.
    bool begin(QWidget *parent);
    // Once the printing has ended (its painter too): puts the new file in
    // place, or says why it could not and keeps the old one.
    bool finish(QWidget *parent);

private:
    QPrinter *m_printer;
    QString m_name; // the file printed to, empty for a printer
    std::unique_ptr<AppSaveFile> m_file;
};

#endif
