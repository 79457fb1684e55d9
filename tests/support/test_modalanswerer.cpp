#include "test_modalanswerer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

TestModalAnswerer::TestModalAnswerer(QObject *parent) : QObject(parent)
{
    m_timer.setInterval(10);
    connect(&m_timer, &QTimer::timeout, this, &TestModalAnswerer::poll);
    m_timer.start();
}

TestModalAnswerer::~TestModalAnswerer() = default;

void TestModalAnswerer::answerMessageBox(QMessageBox::StandardButton button)
{
    m_queue.enqueue([button](QWidget *w) {
        auto *box = qobject_cast<QMessageBox *>(w);
        if (!box) {
            qWarning("TestModalAnswerer: expected a message box, got %s", w->metaObject()->className());
            if (auto *d = qobject_cast<QDialog *>(w))
                d->reject();
            return;
        }
        if (QAbstractButton *b = box->button(button))
            b->click();
        else
            box->done(button);
    });
}

void TestModalAnswerer::answerFileDialog(const QString &path)
{
    answerFileDialog(path, QString());
}

void TestModalAnswerer::answerFileDialog(const QString &path, const QString &nameFilter)
{
    m_queue.enqueue([path, nameFilter](QWidget *w) {
        auto *dlg = qobject_cast<QFileDialog *>(w);
        if (!dlg) {
            qWarning("TestModalAnswerer: expected a file dialog, got %s", w->metaObject()->className());
            if (auto *d = qobject_cast<QDialog *>(w))
                d->reject();
            return;
        }
        if (path.isEmpty()) {
            dlg->reject();
            return;
        }
        if (!nameFilter.isEmpty())
            dlg->selectNameFilter(nameFilter);
        const QFileInfo info(path);
        dlg->setDirectory(info.absolutePath());
        dlg->selectFile(info.fileName());
        // selectFile() leaves the name field alone while it has the focus,
        // which it has once the application is active.
        if (auto *name = dlg->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            name->setText(info.fileName());
        // Protected in QFileDialog, a slot all the same. Queued: accepting may
        // ask whether to replace the file, and that box must find this
        // answerer's timer free to answer it.
        QMetaObject::invokeMethod(dlg, "accept", Qt::QueuedConnection);
    });
}

void TestModalAnswerer::answerPrintToFile(const QString &path)
{
    m_queue.enqueue([path](QWidget *w) {
        auto *printers = w->findChild<QComboBox *>(QStringLiteral("printers"));
        auto *name = w->findChild<QLineEdit *>(QStringLiteral("filename"));
        auto *buttons = w->findChild<QDialogButtonBox *>();
        if (!printers || !name || !buttons) {
            qWarning("TestModalAnswerer: expected a print dialog, got %s", w->metaObject()->className());
            if (auto *d = qobject_cast<QDialog *>(w))
                d->reject();
            return;
        }
        printers->setCurrentIndex(printers->count() - 1); // the last entry prints to a file
        name->setText(path);
        // Its OK button, not accept(): the button checks the file. Queued, so that this answerer's timer is
        // free to answer what it asks.
        QTimer::singleShot(0, buttons->button(QDialogButtonBox::Ok), &QAbstractButton::click);
    });
}

void TestModalAnswerer::answerWith(const std::function<void(QWidget *)> &action)
{
    m_queue.enqueue(action);
}

QStringList TestModalAnswerer::titles() const
{
    QStringList out;
    for (const Seen &s : m_seen)
        out << s.title;
    return out;
}

QStringList TestModalAnswerer::texts() const
{
    QStringList out;
    for (const Seen &s : m_seen)
        out << s.text;
    return out;
}

void TestModalAnswerer::clear()
{
    m_queue.clear();
    m_seen.clear();
}

bool TestModalAnswerer::eventFilter(QObject *watched, QEvent *event)
{
    // A dialog hidden has had its answer: shown again, even before the next poll, it asks anew.
    if (watched == m_handled && event->type() == QEvent::Hide)
        m_handled = nullptr;
    return false;
}

void TestModalAnswerer::poll()
{
    QWidget *w = QApplication::activeModalWidget();
    if (!w) {
        m_handled = nullptr; // a dialog shown again later is a new question
        return;
    }
    if (w == m_handled || !w->isVisible())
        return;
    m_handled = w;
    w->installEventFilter(this);

    Seen seen;
    seen.className = w->metaObject()->className();
    seen.title = w->windowTitle();
    if (auto *box = qobject_cast<QMessageBox *>(w)) {
        seen.text = box->text();
        seen.icon = box->icon();
    } else if (auto *dlg = qobject_cast<QFileDialog *>(w)) {
        seen.text = dlg->directory().absolutePath();
    }
    m_seen << seen;

    if (!m_queue.isEmpty()) {
        m_queue.dequeue()(w);
        return;
    }
    // Nobody expected this one: take the harmless way out.
    if (auto *box = qobject_cast<QMessageBox *>(w)) {
        QAbstractButton *b
            = box->defaultButton() ? static_cast<QAbstractButton *>(box->defaultButton()) : box->escapeButton();
        if (!b && !box->buttons().isEmpty())
            b = box->buttons().first();
        if (b)
            b->click();
        else
            box->reject();
    } else if (auto *d = qobject_cast<QDialog *>(w)) {
        d->reject();
    }
}
