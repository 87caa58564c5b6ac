#include "app/messages.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QWidget>

namespace qb {

namespace {
MessageScript* g_script = nullptr;

bool scriptedAnswer(ShownMessage::Kind kind, const QString& title, const QString& text) {
    bool yes = g_script->defaultAnswer;
    if (!g_script->answers.empty()) {
        yes = g_script->answers.front();
        g_script->answers.pop_front();
    }
    g_script->shown.push_back({kind, title, text, yes});
    return yes;
}

bool ask(const QString& text, const QString& title, bool defaultYes) {
    if (g_script)
        return scriptedAnswer(defaultYes ? ShownMessage::Question : ShownMessage::QuestionDefaultNo,
                              title, text);
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No,
                    QApplication::activeWindow());
    box.setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
} // namespace

MessageScript::MessageScript() { g_script = this; }
MessageScript::~MessageScript() {
    if (g_script == this)
        g_script = nullptr;
}
MessageScript* MessageScript::current() { return g_script; }

QStringList MessageScript::texts() const {
    QStringList list;
    for (const auto& m : shown)
        list << m.text;
    return list;
}

bool MessageScript::sawText(const QString& text) const { return texts().contains(text); }

void Inform(const QString& text) {
    if (g_script) {
        g_script->shown.push_back({ShownMessage::Information, QStringLiteral("Information"), text, true});
        return;
    }
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

bool Confirm(const QString& text, const QString& title) { return ask(text, title, true); }

bool ConfirmDefaultNo(const QString& text, const QString& title) { return ask(text, title, false); }

void Warn(const QString& text, const QString& title) {
    if (g_script) {
        g_script->shown.push_back({ShownMessage::Warning, title, text, true});
        return;
    }
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

void CenterOnScreen(QWidget* window) {
    if (!window)
        return;
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    QSize size = window->frameGeometry().size();
    if (size.isEmpty())
        size = window->sizeHint();
    window->move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}

void Beep() {
    if (g_script) {
        ++g_script->beeps;
        return;
    }
    QApplication::beep();
}

} // namespace qb
