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
// are complete says what it finds then. A kept pass gathers the warnings of
// what is written while it lives, also inside another pass, for its window to
// show beside its figures (warnings()): they reach no box; its errors go on to
// the pass around it, or to their box.
class AppScriptMessages
{
public:
    enum Kind { NewPass, ContinuingPass, HeldBackPass, KeptPass };

    explicit AppScriptMessages(QWidget *parent, Kind kind = NewPass);
    ~AppScriptMessages();

    // The pass that gathers now, or null: populateForm shows the boxes itself then.
    static AppScriptMessages *current();
    void addWarning(const QString &text);
    void addError(const QString &text);
    // The distinct warnings gathered so far, in order.
    QStringList warnings() const { return m_warnings; }

private:
    Q_DISABLE_COPY(AppScriptMessages)

    QPointer<QWidget> m_parent;
    AppScriptMessages *m_outer; // the pass a kept pass was made in
    bool m_kept;
    bool m_owner;
    bool m_continuing;
    bool m_heldBack;
    QStringList m_warnings;
    QStringList m_errors;
};

#endif
