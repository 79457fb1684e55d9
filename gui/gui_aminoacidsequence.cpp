#include "gui/gui_aminoacidsequence.h"

#include "app/app_regularfile.h"
#include "app/app_savefile.h"
#include "gui/gui_printtofile.h"
#include "gui/gui_savefilename.h"
#include "gui/gui_waitcursor.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPageLayout>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QTextDocument>
#include <QTextOption>
#include <cmath>

namespace {

const char *const fontSizeKey = "SampleComposition/AminoAcidSequence/fontSize";
const char *const openDirectoryKey = "SampleComposition/AminoAcidSequence/lastOpenDirectory";
const char *const saveDirectoryKey = "SampleComposition/AminoAcidSequence/lastSaveDirectory";
const QString fullRuler = QStringLiteral("----|----| ----|----| ----|----| ----|----| ----|----|");

} // namespace

const char *const GuiAminoAcidSequence::oneLetterFilter = "1 Letter Code (*.SEQ)";
const char *const GuiAminoAcidSequence::threeLetterFilter = "3 Letter Code (*.SEQ)";

GuiAminoAcidSequence::GuiAminoAcidSequence(QWidget *parent) : QDialog(parent)
{
    setupUi(this);
    qtUse3LetterCodes->hide();
    qtUse1LetterCodes->hide();
    qtLeftOutNote->hide();
    connect(buttonBox, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

GuiAminoAcidSequence::~GuiAminoAcidSequence() = default;

void GuiAminoAcidSequence::setDatabasePath(QString const &path)
{
    qtSequenceEdit->setDatabasePath(path);
    initialize();
    createConnections();
}

void GuiAminoAcidSequence::initialize()
{
    const int size = QSettings().value(QLatin1String(fontSizeKey), 10).toInt();
    qtFontSize->setValue(size);
    onFontSizeChanged(qtFontSize->value());
    clear();
}

void GuiAminoAcidSequence::createConnections()
{
    connect(qtSequenceEdit->verticalScrollBar(), &QScrollBar::valueChanged, qtVCounter->verticalScrollBar(),
        &QScrollBar::setValue);
    connect(qtVCounter->verticalScrollBar(), &QScrollBar::valueChanged, qtSequenceEdit->verticalScrollBar(),
        &QScrollBar::setValue);
    connect(qtSequenceEdit, &GuiAminoAcidSequenceEdit::sigRowCountChanged, this,
        &GuiAminoAcidSequence::refreshVerticalCounter);
    // Rows wider than the screen scroll sideways: keep the typing position in view.
    connect(qtSequenceEdit, &QTextEdit::cursorPositionChanged, this, [this] {
        const QPoint at
            = qtSequenceEdit->viewport()->mapTo(qtSequenceAreaContents, qtSequenceEdit->cursorRect().center());
        qtSequenceArea->ensureVisible(at.x(), at.y(), 20, 0);
    });
    connect(qtCopy, &QPushButton::clicked, qtSequenceEdit, &QTextEdit::copy);
    connect(qtPaste, &QPushButton::clicked, qtSequenceEdit, &QTextEdit::paste);
    connect(qtReadFromFile, &QPushButton::clicked, this, &GuiAminoAcidSequence::onReadFromFileClicked);
    connect(qtSaveToFile, &QPushButton::clicked, this, &GuiAminoAcidSequence::onSaveToFileClicked);
    connect(qtPrint, &QPushButton::clicked, this, &GuiAminoAcidSequence::onPrintClicked);
    connect(qtFontSize, qOverload<int>(&QSpinBox::valueChanged), this, &GuiAminoAcidSequence::onFontSizeChanged);
    connect(qtSequenceEdit, &GuiAminoAcidSequenceEdit::sigLog, this, &GuiAminoAcidSequence::sigLog);
    // Letters typed that are no code stay named beside the field until it is cleared or the dialog opened again.
    connect(qtSequenceEdit, &GuiAminoAcidSequenceEdit::sigTypedLeftOut, this, [this](const QStringList &letters) {
        m_typedLeftOut += letters;
        qtLeftOutNote->setText(
            QStringLiteral("Typed, but no amino acid code, so left out: %1")
                .arg(GuiAminoAcidSequenceEdit::countedCodes(m_typedLeftOut).join(QStringLiteral(", "))));
        qtLeftOutNote->show();
    });
}

void GuiAminoAcidSequence::forgetTypedLeftOut()
{
    m_typedLeftOut.clear();
    qtLeftOutNote->clear();
    qtLeftOutNote->hide();
}

void GuiAminoAcidSequence::showEvent(QShowEvent *event)
{
    forgetTypedLeftOut();
    QDialog::showEvent(event);
}

void GuiAminoAcidSequence::clear()
{
    forgetTypedLeftOut();
    qtSequenceEdit->clear();
    refreshVerticalCounter(0);
}

QString GuiAminoAcidSequence::sequence() const
{
    return qtSequenceEdit->sequence();
}

void GuiAminoAcidSequence::onFontSizeChanged(int value)
{
    QSettings().setValue(QLatin1String(fontSizeKey), value);
    // No installed family has this name: the style hint picks a fixed-pitch font,
    // so the ruler's marks stand over the field's columns.
    QFont font(QStringLiteral("files:Monospace"));
    font.setStyleHint(QFont::TypeWriter, QFont::PreferDefault);
    font.setPointSize(value);
    qtSequenceEdit->setFont(font);
    qtVCounter->setFont(font);
    qtHCounter->setFont(font);
    // Measured with the fonts the widgets resolved, and by advance, not ink:
    // the ink box of a line that begins with blanks is narrower than the line.
    const QFontMetrics ruler(qtHCounter->font());
    const int textWidth
        = std::max(ruler.boundingRect(qtHCounter->text()).width(), ruler.horizontalAdvance(qtHCounter->text()));
    qtHCounter->setFixedWidth(2 * qtHCounter->frameWidth() + textWidth + 4);
    qtSequenceEdit->verticalScrollBar()->setFixedWidth(15);
    // A full row must not wrap, or the counter's labels stand beside the wrong residues.
    const int row = int(std::ceil(QFontMetricsF(qtSequenceEdit->font())
                                      .horizontalAdvance(QString(GuiAminoAcidSequenceEdit::residuesPerRow, 'W'))))
        + 1;
    const int rowField = row + int(2 * qtSequenceEdit->document()->documentMargin()) + 2 * qtSequenceEdit->frameWidth()
        + qtSequenceEdit->verticalScrollBar()->width();
    qtSequenceEdit->setFixedWidth(
        std::max(rowField, qtHCounter->width() + 4 + qtSequenceEdit->verticalScrollBar()->width()));
    // A smaller size shrinks the dialog too: the room a larger one left would
    // go to the size box and the counter and push the field aside. A row wider
    // than the screen scrolls sideways, so that OK and Cancel stay on screen.
    qtSequenceAreaContents->layout()->activate();
    const QSize rows = qtSequenceAreaContents->minimumSizeHint();
    qtSequenceArea->setMinimumSize(
        rows.width(), rows.height() + qtSequenceArea->horizontalScrollBar()->sizeHint().height());
    layout()->activate();
    const QScreen *shown = screen() ? screen() : QGuiApplication::primaryScreen();
    const int room = shown->availableGeometry().width() - (frameGeometry().width() - geometry().width());
    const int excess = minimumSizeHint().width() - room;
    if (excess > 0) {
        qtSequenceArea->setMinimumWidth(std::max(0, rows.width() - excess));
        layout()->activate();
    }
    resize(minimumSizeHint().width(), height());
}

void GuiAminoAcidSequence::refreshVerticalCounter(int rowCount)
{
    const GuiWaitCursor busy;
    // One text in one edit: a block inserted at a time lays the counter out again each time.
    QString labels;
    for (int i = 0; i <= rowCount; ++i) {
        if (i > 0)
            labels += QLatin1Char('\n');
        labels += QString::number(i * GuiAminoAcidSequenceEdit::residuesPerRow);
    }
    qtVCounter->setPlainText(labels);
    QTextOption right = qtVCounter->document()->defaultTextOption();
    right.setAlignment(Qt::AlignRight);
    qtVCounter->document()->setDefaultTextOption(right);
}

bool GuiAminoAcidSequence::readFile(QWidget *parent, const QString &path, QByteArray *data)
{
    const QString refused = AppRegularFile::refusal(path);
    if (!refused.isEmpty()) {
        QMessageBox::critical(parent, QStringLiteral("Vornakel"), refused, QMessageBox::Ok);
        return false;
    }
    QFile file(path);
    if (QFileInfo(path).size() > maxFileSize) {
        QMessageBox::critical(parent, QStringLiteral("Vornakel"),
            QStringLiteral("%1 is larger than %2 bytes and was not read.").arg(path).arg(maxFileSize), QMessageBox::Ok);
        return false;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        QMessageBox::critical(
            parent, QStringLiteral("Vornakel"), QStringLiteral("Cannot open %1").arg(path), QMessageBox::Ok);
        return false;
    }
    // The size is checked again on the open file: it may have grown meanwhile.
    *data = file.read(maxFileSize + 1);
    if (data->size() > maxFileSize) {
        QMessageBox::critical(parent, QStringLiteral("Vornakel"),
            QStringLiteral("%1 is larger than %2 bytes and was not read.").arg(path).arg(maxFileSize), QMessageBox::Ok);
        return false;
    }
    return true;
}

bool GuiAminoAcidSequence::writeFile(QWidget *parent, const QString &path, const QByteArray &data)
{
    QString failure;
    if (AppSaveFile::write(path, data, &failure))
        return true;
    QMessageBox::critical(parent, QStringLiteral("Vornakel"), failure, QMessageBox::Ok);
    return false;
}

void GuiAminoAcidSequence::onReadFromFileClicked()
{
    QSettings settings;
    QString filter;
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open Amino Acid Sequence"),
        settings.value(QLatin1String(openDirectoryKey), QDir::currentPath()).toString(),
        QStringLiteral("%1;;%2").arg(QLatin1String(oneLetterFilter), QLatin1String(threeLetterFilter)), &filter);
    if (path.isEmpty() || !QFileInfo::exists(path))
        return;
    settings.setValue(QLatin1String(openDirectoryKey), QFileInfo(path).absolutePath());
    QByteArray data;
    if (!readFile(this, path, &data))
        return;
    qtSequenceEdit->setSequenceFromFile(data, filter == QLatin1String(threeLetterFilter));
}

void GuiAminoAcidSequence::onSaveToFileClicked()
{
    QSettings settings;
    const QString path = GuiSaveFileName::ask(this, QStringLiteral("Save Amino Acid Sequence"),
        settings.value(QLatin1String(saveDirectoryKey), QDir::currentPath()).toString(),
        QStringLiteral("Amino Acid Sequence (*.SEQ)"), QStringLiteral("SEQ"));
    if (path.isEmpty())
        return;
    settings.setValue(QLatin1String(saveDirectoryKey), QFileInfo(path).absolutePath());
    const GuiWaitCursor busy;
    writeFile(this, path, sequence().toLatin1());
}

QList<GuiAminoAcidSequence::PrintGroup> GuiAminoAcidSequence::printGroups(const QString &sequence)
{
    QList<PrintGroup> groups;
    QString numbers;
    QString residues;
    for (int i = 0; i < sequence.size(); ++i) {
        if (i > 0 && i % 10 == 0) {
            const QString number = QString::number(i);
            numbers += QStringLiteral("          %1 ").arg(number).mid(number.size());
            residues += QLatin1Char(' ');
        }
        if (i > 0 && i % 50 == 0) {
            groups << PrintGroup { numbers, fullRuler, residues };
            numbers.clear();
            residues.clear();
        }
        residues += sequence.at(i);
    }
    groups << PrintGroup { numbers, fullRuler.left(std::max(0, int(residues.size()))), residues };
    return groups;
}

void GuiAminoAcidSequence::onPrintClicked()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer);
    if (dialog.exec() != QDialog::Accepted)
        return;
    print(&printer);
}

void GuiAminoAcidSequence::print(QPrinter *printer)
{
    // The page as the file printed to takes it.
    printer->setPageMargins(QMarginsF(1, 1, 1, 1), QPageLayout::Inch);
    GuiPrintToFile file(printer);
    if (!file.begin(this))
        return;
    GuiWaitCursor busy;
    QFont font = qtSequenceEdit->font();
    font.setPointSize(10);
    QPagedPaintDevice *pages = file.device();
    QPainter painter(pages);
    painter.setFont(font);
    const int h = QFontMetrics(font, pages).height();
    const int linesPerPage = std::max(1, pages->height() / std::max(1, h));
    int line = 0;
    const auto room = [&](int lines) {
        if (line + lines > linesPerPage) {
            pages->newPage();
            line = 0;
        }
    };
    const auto draw = [&](const QString &text, const char *colour) {
        painter.setPen(QColor(QLatin1String(colour)));
        painter.drawText(0, line * h, text);
        ++line;
    };
    for (const PrintGroup &group : printGroups(sequence())) {
        room(3);
        draw(group.numbers, "green");
        draw(group.ruler, "green");
        draw(group.residues, "black");
        ++line;
    }
    room(1);
    draw(QDate::currentDate().toString(QStringLiteral("ddd MMMM dd yyyy")), "black");
    painter.end();
    busy.restore();
    file.finish(this);
}
