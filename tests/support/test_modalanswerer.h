#ifndef TEST_MODALANSWERER_H
#define TEST_MODALANSWERER_H

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QStringList>
#include <QTimer>
#include <functional>

// Answers the modal dialogs a test provokes: polls the application's active
// modal widget, records what it showed and answers it from a queue. A box
// nobody queued an answer for is answered with its default (or escape) button,
// so an unexpected box never hangs a test; the record shows it was there.
class TestModalAnswerer : public QObject
{
    Q_OBJECT

public:
    struct Seen
    {
        QString className; // "QMessageBox", "QFileDialog", or the dialog's own class
        QString title;
        QString text; // message text, or the file dialog's directory
        QMessageBox::Icon icon = QMessageBox::NoIcon;
    };

    explicit TestModalAnswerer(QObject *parent = nullptr);
    ~TestModalAnswerer() override;

    // Queued answers, taken in order by the next modal widgets.
    void answerMessageBox(QMessageBox::StandardButton button);
    void answerFileDialog(const QString &path); // an empty path cancels the dialog
    // The same with that name filter chosen first.
    void answerFileDialog(const QString &path, const QString &nameFilter);
    // A print dialog told to print to that PDF file, then its OK button (which asks about a file of that name).
    void answerPrintToFile(const QString &path);
    void answerWith(const std::function<void(QWidget *)> &action);

    QList<Seen> seen() const { return m_seen; }
    QStringList titles() const;
    QStringList texts() const;
    int pending() const { return m_queue.size(); }
    void clear();

private:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void poll();

    QTimer m_timer;
    QQueue<std::function<void(QWidget *)>> m_queue;
    QList<Seen> m_seen;
    QPointer<QWidget> m_handled;
};

#endif
