// The program's message routines. Every message box goes through here so that
// tests can script the answers and read the texts: with a MessageScript
// installed nothing is shown and no test ever blocks on a dialog.
#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <functional>

class QWidget;

namespace qb {

// Information box: information icon, title "Information", OK button.
void Inform(const QString& text);
// Yes/No question with a question icon, Yes the default; true on Yes.
bool Confirm(const QString& text, const QString& title);
// The same with No the default.
bool ConfirmDefaultNo(const QString& text, const QString& title);
// A warning box (title "Warning", OK): engine and stream errors shown to the user.
void Warn(const QString& text, const QString& title = QStringLiteral("Warning"));
// Centre a window on the available screen area before it is shown.
void CenterOnScreen(QWidget* window);
// The system beep (counted by scripts).
void Beep();

// One message that was "shown".
struct ShownMessage {
    enum Kind { Information, Question, QuestionDefaultNo, Warning } kind;
    QString title;
    QString text;
    bool answer; // for questions
};

// While an instance exists, messages are recorded instead of shown; questions
// take their answers from the queue (or `defaultAnswer` when it is empty).
class MessageScript {
public:
    MessageScript();
    ~MessageScript();
    MessageScript(const MessageScript&) = delete;
    MessageScript& operator=(const MessageScript&) = delete;

    void answer(bool yes) { answers.push_back(yes); }
    bool defaultAnswer = true;
    std::deque<bool> answers;
    std::vector<ShownMessage> shown;
    int beeps = 0;

    QStringList texts() const;
    bool sawText(const QString& text) const;
    void clear() { shown.clear(); beeps = 0; }

    static MessageScript* current();
};

} // namespace qb
