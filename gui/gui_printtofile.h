#ifndef GUI_PRINTTOFILE_H
#define GUI_PRINTTOFILE_H

#include "app/app_savefile.h"

#include <QString>

#include <memory>

class QPagedPaintDevice;
class QPdfWriter;
class QPrinter;
class QWidget;

// Printing to a file (a PDF) is saving one, and goes the way every file of
// the program is written (AppSaveFile): the pages go through the new file
// the save holds, never to a file by its name, so that nothing done to the
// folder meanwhile sends them elsewhere; the new file takes the name only
// once the printing has ended and the file is whole. A printing that fails
// keeps the file that had the name, and the box says why. Printing to a
// printer passes through.
class GuiPrintToFile
{
public:
    // Settles where a printer that prints to a file prints.
    explicit GuiPrintToFile(QPrinter *printer);
    // A new file not finished is dropped.
    ~GuiPrintToFile();
    GuiPrintToFile(const GuiPrintToFile &) = delete;
    GuiPrintToFile &operator=(const GuiPrintToFile &) = delete;

    // Whether printing may begin; otherwise the box has said why.
    bool begin(QWidget *parent);
    // What to paint the pages on: the printer, or for a file a PDF writer
    // with the printer's page layout and resolution.
    QPagedPaintDevice *device() const;
    // Once the printing has ended (its painter too): puts the new file in
    // place, or says why it could not and keeps the old one.
    bool finish(QWidget *parent);

private:
    class Pages;

    QPrinter *m_printer;
    std::unique_ptr<AppSaveFile> m_file;
    std::unique_ptr<Pages> m_pages;
    std::unique_ptr<QPdfWriter> m_writer;
};

#endif
