#ifndef APP_MASTERGRAPHICS_H
#define APP_MASTERGRAPHICS_H

#include <QObject>
#include <QPointer>

class QWebView;

// The window of an HTML module and what its page may do with it: size and
// place it within the available screen area. Published to the page as
// "graphics"; it owns the view.
class AppMasterGraphics : public QObject
{
    Q_OBJECT

public:
    explicit AppMasterGraphics(QObject *parent = nullptr);
    ~AppMasterGraphics() override;

    QWebView *view() const;

public slots:
    // Height first. Only an upper bound is applied: the available screen area.
    void changeWindowSize(int height, int width);
    void changeWindowLocation(int x, int y);
    int maximumWidth();
    int maximumHeight();

private:
    void initialize();

    QPointer<QWebView> m_view;
};

#endif
