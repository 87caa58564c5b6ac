// The program's help: HTML pages compiled into the program, one per help
// topic, shown in a help window with a contents list and a text search.
#pragma once

#include "storage/home.h"

#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVector>
#include <QWidget>

class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QTabWidget;
class QTextBrowser;

namespace qb {

// Topic numbers: qb::HelpTopic in storage/home.h.

// One page of help.
struct HelpPage {
    int topic = 0;
    QString file;  // resource path, e.g. ":/help/adding.html"
    QString title; // the page's <title>
    QString text;  // the page as plain text, for searching
};

// The catalogue of help pages; plain logic, no window.
class HelpIndex {
public:
    // The pages compiled into the program.
    static const HelpIndex& instance();

    const QVector<HelpPage>& pages() const { return pages_; }
    // The page of `topic`; the contents page for an unknown number.
    const HelpPage& page(int topic) const;
    bool hasTopic(int topic) const;
    // The topic of a page's URL ("adding.html", "qrc:/help/adding.html"), or 0.
    int topicForUrl(const QUrl& url) const;
    // Pages holding every word of `query` (case-insensitive), pages whose
    // title holds them first, each group by title. An empty query gives none.
    QVector<int> search(const QString& query) const;

private:
    HelpIndex();
    QVector<HelpPage> pages_;
};

// The help window (one for the whole program, created when first needed).
class HelpViewer : public QWidget {
    Q_OBJECT
public:
    static HelpViewer* instance();
    // Null until help was first shown; tests use it to reset.
    static HelpViewer* existing();

    void showTopic(int topic);
    void showContents();
    void showSearch();

    int currentTopic() const { return currentTopic_; }
    QTextBrowser* browser() const { return browser_; }
    QLineEdit* searchEdit() const { return searchEdit_; }
    QListWidget* searchResults() const { return results_; }
    QListWidget* contentsList() const { return contents_; }
    QTabWidget* tabs() const { return tabs_; }

public slots:
    void runSearch(const QString& query);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit HelpViewer(QWidget* parent = nullptr);
    // Keeps the window usable while a modal dialog runs (see the .cpp).
    void followModalDialog(QWidget* closing = nullptr);
    void setOwner(QWidget* owner);
    void openItem(QListWidgetItem* item);
    void sourceChanged(const QUrl& url);
    void raiseWindow();

    QTabWidget* tabs_ = nullptr;
    QListWidget* contents_ = nullptr;
    QLineEdit* searchEdit_ = nullptr;
    QListWidget* results_ = nullptr;
    QTextBrowser* browser_ = nullptr;
    QPushButton* back_ = nullptr;
    QPushButton* forward_ = nullptr;
    int currentTopic_ = 0;
};

// Open help at a topic, at the contents, at the search, or at the page on
// using help. The help window stays open beside the program's windows.
void ShowHelpTopic(int topic);
void ShowHelpContents();
void ShowHelpSearch();
void ShowHowToUseHelp();

} // namespace qb
