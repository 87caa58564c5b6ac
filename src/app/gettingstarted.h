// The Getting Started window: a short page of first steps whose links open
// help topics, shown at start-up unless the user turned it off.
#pragma once

#include <QDialog>
#include <functional>

class QCheckBox;
class QPushButton;
class QTextBrowser;
class QUrl;

namespace qb {

class TGettingStarted : public QDialog {
    Q_OBJECT
public:
    // The box "Do not show this screen at start up" is read from the settings
    // file; it is written back whenever the window closes.
    explicit TGettingStarted(QWidget* parent = nullptr);

    // The help topic of a link name ("NEW", "dbase", ...: compared upper-cased),
    // 0 for a name that is not a topic.
    static int TopicForLink(const QString& name);

    // Where link clicks go; opens the help window unless replaced (tests).
    std::function<void(int topic)> openTopic;

    QCheckBox* dontShowBox() const { return dontShow_; }
    QPushButton* okButton() const { return ok_; }
    QTextBrowser* page() const { return page_; }

    void done(int result) override;

public slots:
    void LinkClick(const QUrl& link);

private:
    QTextBrowser* page_ = nullptr;
    QCheckBox* dontShow_ = nullptr;
    QPushButton* ok_ = nullptr;
};

// Shows the window modally (start-up and "&Getting Started").
void ShowGettingStarted(QWidget* parent);

} // namespace qb
