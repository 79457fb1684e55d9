#ifndef APP_SCRIPTMESSAGES_H
#define APP_SCRIPTMESSAGES_H

#include <QPointer>
#include <QStringList>
#include <QWidget>

// One calculation pass of a window: while one is alive, populateForm gathers
// the WARNING and ERROR texts of the results it writes instead of showing a
// box for each, and the pass shows each distinct text once, in one warning box
// and one error box, when it ends. A pass made while another is alive adds to
// that one. A continuing pass (the second handler of the same edit) leaves out
// what the pass before it has just shown. A held-back pass shows nothing: its
// inputs are still being entered, and the pass that computes them once they
// are complete says what it finds then.
class AppScriptMessages
{
public:
    enum Kind { NewPass, ContinuingPass, HeldBackPass };

    explicit AppScriptMessages(QWidget *parent, Kind kind = NewPass);
    ~AppScriptMessages();

    // The pass that gathers now, or null: populateForm shows the boxes itself then.
    static AppScriptMessages *current();
    void addWarning(const QString &text);
    void addError(const QString &text);

private:
    Q_DISABLE_COPY(AppScriptMessages)

    QPointer<QWidget> m_parent;
    bool m_owner;
    bool m_continuing;
    bool m_heldBack;
    QStringList m_warnings;
    QStringList m_errors;
};

#endif
