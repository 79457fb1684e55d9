#ifndef GUI_MODULE_H
#define GUI_MODULE_H

#include <QObject>
#include <QPointer>
#include <QString>

class AppPlugin;
class QWidget;

// The window of an add-on module, built from the module's Designer form. The
// form's connections to custom slots of the form class end in sendMessage().
// The object lives as long as its window: closing the window releases both.
class GuiModule : public QObject
{
    Q_OBJECT

public:
    GuiModule(AppPlugin *module, QWidget *parent = nullptr);
    ~GuiModule() override;

    // The form window; null when the form text built none.
    QWidget *window() const { return m_window; }

public slots:
    void sendMessage();

signals:
    void sigSendMessage(QString message);
    void sigLog(const QString &message, int logLevel);

private:
    void initialize();

    AppPlugin *m_module;
    QPointer<QWidget> m_window;
};

#endif
