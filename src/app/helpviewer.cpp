#include "app/helpviewer.h"

#include "app/messages.h"

#include <QApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTextDocument>
#include <QVBoxLayout>

#include <algorithm>

// Help pages are compiled into the program library; a static library's
// resources are registered explicitly.
static void registerHelpPages() {
    static const bool once = [] {
        Q_INIT_RESOURCE(help);
        return true;
    }();
    (void)once;
}

namespace qb {

namespace {

struct TopicFile {
    int topic;
    const char* file;
};

// Every topic and its page, in the order of the contents list.
const TopicFile kTopics[] = {
    {HelpTopic::Contents, "contents.html"},
    {HelpTopic::GettingStarted, "gettingstarted.html"},
    {HelpTopic::MainWindow, "mainwindow.html"},
    {HelpTopic::NewFile, "newfile.html"},
    {HelpTopic::AddingChanging, "adding.html"},
    {HelpTopic::Finding, "finding.html"},
    {HelpTopic::Deleting, "deleting.html"},
    {HelpTopic::DBaseImport, "dbaseimport.html"},
    {HelpTopic::AsciiImport, "asciiimport.html"},
    {HelpTopic::Version1Import, "version1import.html"},
    {HelpTopic::Filters, "filters.html"},
    {HelpTopic::Tags, "tags.html"},
    {HelpTopic::Dialer, "dialer.html"},
    {HelpTopic::Labels, "labels.html"},
    {HelpTopic::LabelDesign, "labeldesign.html"},
    {HelpTopic::Envelopes, "envelopes.html"},
    {HelpTopic::Letters, "letters.html"},
    {HelpTopic::Reports, "reports.html"},
    {HelpTopic::Preview, "preview.html"},
    {HelpTopic::StateZipCheck, "statezip.html"},
    {HelpTopic::DuplicateCheck, "duplicates.html"},
    {HelpTopic::Export, "export.html"},
    {HelpTopic::BulkEdits, "bulkedits.html"},
    {HelpTopic::ZipCounts, "zipcounts.html"},
    {HelpTopic::Preferences, "preferences.html"},
    {HelpTopic::RebuildIndexes, "rebuild.html"},
    {HelpTopic::RebuildSystemIndexes, "rebuildsystem.html"},
    {HelpTopic::Faq, "faq.html"},
    {HelpTopic::TechnicalSupport, "support.html"},
    {HelpTopic::HowToUseHelp, "howtouse.html"},
    {HelpTopic::SearchingHelp, "searchhelp.html"},
};

const QString kHelpRoot = QStringLiteral(":/help/");

QString readPage(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

QString titleOf(const QString& html) {
    static const QRegularExpression title(QStringLiteral("<title>(.*?)</title>"),
                                          QRegularExpression::CaseInsensitiveOption |
                                              QRegularExpression::DotMatchesEverythingOption);
    const auto m = title.match(html);
    return m.hasMatch() ? m.captured(1).simplified() : QString();
}

QString plainTextOf(const QString& html) {
    QTextDocument doc;
    doc.setHtml(html);
    return doc.toPlainText();
}

QStringList wordsOf(const QString& query) {
    return query.simplified().split(' ', Qt::SkipEmptyParts);
}

bool containsAll(const QString& text, const QStringList& words) {
    return std::all_of(words.begin(), words.end(),
                       [&](const QString& w) { return text.contains(w, Qt::CaseInsensitive); });
}

HelpViewer*& viewerInstance() {
    static HelpViewer* viewer = nullptr;
    return viewer;
}

} // namespace

// ---- HelpIndex -------------------------------------------------------------------

HelpIndex::HelpIndex() {
    registerHelpPages();
    for (const TopicFile& t : kTopics) {
        HelpPage page;
        page.topic = t.topic;
        page.file = kHelpRoot + QLatin1String(t.file);
        const QString html = readPage(page.file);
        page.title = titleOf(html);
        page.text = plainTextOf(html);
        pages_.push_back(page);
    }
}

const HelpIndex& HelpIndex::instance() {
    static const HelpIndex index;
    return index;
}

bool HelpIndex::hasTopic(int topic) const {
    return std::any_of(pages_.begin(), pages_.end(),
                       [topic](const HelpPage& p) { return p.topic == topic; });
}

const HelpPage& HelpIndex::page(int topic) const {
    for (const HelpPage& p : pages_)
        if (p.topic == topic)
            return p;
    return pages_.front(); // the contents
}

int HelpIndex::topicForUrl(const QUrl& url) const {
    const QString name = url.path().section('/', -1);
    for (const HelpPage& p : pages_)
        if (p.file.section('/', -1).compare(name, Qt::CaseInsensitive) == 0)
            return p.topic;
    return 0;
}

QVector<int> HelpIndex::search(const QString& query) const {
    const QStringList words = wordsOf(query);
    if (words.isEmpty())
        return {};
    QVector<const HelpPage*> inTitle, inText;
    for (const HelpPage& p : pages_) {
        if (containsAll(p.title, words))
            inTitle.push_back(&p);
        else if (containsAll(p.title + QLatin1Char('\n') + p.text, words))
            inText.push_back(&p);
    }
    const auto byTitle = [](const HelpPage* a, const HelpPage* b) {
        return a->title.compare(b->title, Qt::CaseInsensitive) < 0;
    };
    std::sort(inTitle.begin(), inTitle.end(), byTitle);
    std::sort(inText.begin(), inText.end(), byTitle);
    QVector<int> out;
    for (const HelpPage* p : inTitle)
        out.push_back(p->topic);
    for (const HelpPage* p : inText)
        out.push_back(p->topic);
    return out;
}

// ---- HelpViewer -----------------------------------------------------------------

HelpViewer::HelpViewer(QWidget* parent) : QWidget(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Quillbury Help"));
    setObjectName(QStringLiteral("HelpViewer"));
    const HelpIndex& index = HelpIndex::instance();

    tabs_ = new QTabWidget(this);
    contents_ = new QListWidget(tabs_);
    for (const HelpPage& p : index.pages()) {
        auto* item = new QListWidgetItem(p.title, contents_);
        item->setData(Qt::UserRole, p.topic);
    }
    tabs_->addTab(contents_, QStringLiteral("&Contents"));

    auto* searchPage = new QWidget(tabs_);
    auto* searchLabel = new QLabel(QStringLiteral("&Type the words to look for:"), searchPage);
    searchEdit_ = new QLineEdit(searchPage);
    searchEdit_->setClearButtonEnabled(true);
    searchLabel->setBuddy(searchEdit_);
    results_ = new QListWidget(searchPage);
    auto* searchLayout = new QVBoxLayout(searchPage);
    searchLayout->addWidget(searchLabel);
    searchLayout->addWidget(searchEdit_);
    searchLayout->addWidget(results_, 1);
    tabs_->addTab(searchPage, QStringLiteral("&Search"));

    browser_ = new QTextBrowser(this);
    browser_->setSearchPaths({kHelpRoot});
    browser_->setOpenExternalLinks(true);

    back_ = new QPushButton(QStringLiteral("&Back"), this);
    forward_ = new QPushButton(QStringLiteral("&Forward"), this);
    auto* contentsButton = new QPushButton(QStringLiteral("C&ontents"), this);
    auto* close = new QPushButton(QStringLiteral("Close"), this);
    back_->setEnabled(false);
    forward_->setEnabled(false);

    auto* splitter = new QSplitter(this);
    splitter->addWidget(tabs_);
    splitter->addWidget(browser_);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({250, 510});

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(contentsButton);
    buttons->addWidget(back_);
    buttons->addWidget(forward_);
    buttons->addStretch(1);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(splitter, 1);
    resize(780, 540);

    connect(contentsButton, &QPushButton::clicked, this, &HelpViewer::showContents);
    connect(back_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
    connect(forward_, &QPushButton::clicked, browser_, &QTextBrowser::forward);
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    connect(browser_, &QTextBrowser::backwardAvailable, back_, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QPushButton::setEnabled);
    connect(browser_, &QTextBrowser::sourceChanged, this, &HelpViewer::sourceChanged);
    connect(contents_, &QListWidget::itemActivated, this, &HelpViewer::openItem);
    connect(contents_, &QListWidget::itemClicked, this, &HelpViewer::openItem);
    connect(results_, &QListWidget::itemActivated, this, &HelpViewer::openItem);
    connect(results_, &QListWidget::itemClicked, this, &HelpViewer::openItem);
    connect(searchEdit_, &QLineEdit::textChanged, this, &HelpViewer::runSearch);
    connect(searchEdit_, &QLineEdit::returnPressed, this, [this] {
        if (results_->count() > 0)
            openItem(results_->item(0));
    });
}

HelpViewer* HelpViewer::instance() {
    HelpViewer*& viewer = viewerInstance();
    if (!viewer) {
        viewer = new HelpViewer;
        // Closing only hides it (its history is kept for the next request),
        // and an open help window does not keep the program running.
        viewer->setAttribute(Qt::WA_DeleteOnClose, false);
        viewer->setAttribute(Qt::WA_QuitOnClose, false);
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, viewer, &QObject::deleteLater);
        QObject::connect(viewer, &QObject::destroyed, [] { viewerInstance() = nullptr; });
    }
    return viewer;
}

HelpViewer* HelpViewer::existing() {
    return viewerInstance();
}

void HelpViewer::showTopic(int topic) {
    const HelpPage& page = HelpIndex::instance().page(topic);
    browser_->setSource(QUrl(QStringLiteral("qrc") + page.file));
    currentTopic_ = page.topic;
    raiseWindow();
}

void HelpViewer::showContents() {
    tabs_->setCurrentWidget(contents_);
    showTopic(HelpTopic::Contents);
}

void HelpViewer::showSearch() {
    tabs_->setCurrentIndex(1);
    if (currentTopic_ == 0)
        showTopic(HelpTopic::SearchingHelp);
    raiseWindow();
    searchEdit_->setFocus();
    searchEdit_->selectAll();
}

void HelpViewer::runSearch(const QString& query) {
    results_->clear();
    const HelpIndex& index = HelpIndex::instance();
    for (int topic : index.search(query)) {
        auto* item = new QListWidgetItem(index.page(topic).title, results_);
        item->setData(Qt::UserRole, topic);
    }
    if (!query.trimmed().isEmpty() && results_->count() == 0) {
        auto* none = new QListWidgetItem(QStringLiteral("No topics found"), results_);
        none->setFlags(Qt::NoItemFlags);
    }
}

void HelpViewer::openItem(QListWidgetItem* item) {
    if (!item)
        return;
    const int topic = item->data(Qt::UserRole).toInt();
    if (topic != 0)
        showTopic(topic);
}

void HelpViewer::sourceChanged(const QUrl& url) {
    // Links between pages and Back/Forward keep the current topic in step.
    if (const int topic = HelpIndex::instance().topicForUrl(url))
        currentTopic_ = topic;
    for (int i = 0; i < contents_->count(); ++i)
        if (contents_->item(i)->data(Qt::UserRole).toInt() == currentTopic_)
            contents_->setCurrentRow(i);
}

// A modal dialog blocks input to every other window, so help opened from a
// dialog's Help button could be read but not scrolled, searched or followed.
// While a modal dialog runs, the help window therefore becomes a window of
// that dialog (which modality does not block), and returns to being a window
// of its own when the dialog goes away.
void HelpViewer::followModalDialog(QWidget* closing) {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == this || modal == closing)
        modal = nullptr;
    if (modal && modal != parentWidget())
        setOwner(modal);
}

void HelpViewer::setOwner(QWidget* owner) {
    if (QWidget* old = parentWidget())
        old->removeEventFilter(this);
    const bool wasVisible = isVisible();
    const QRect frame = geometry();
    setParent(owner, Qt::Window); // hides the window
    setGeometry(frame);
    if (owner)
        owner->installEventFilter(this);
    if (wasVisible)
        show();
}

bool HelpViewer::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Hide) {
        // The dialog is closing (or being destroyed): move out before it takes
        // this window with it. A further modal dialog below it takes over.
        QWidget* closing = parentWidget();
        setOwner(nullptr);
        followModalDialog(closing);
    }
    return QWidget::eventFilter(watched, event);
}

void HelpViewer::raiseWindow() {
    followModalDialog();
    if (!isVisible()) {
        CenterOnScreen(this);
        show();
    }
    raise();
    activateWindow();
}

// Windows beneath the application layer reach help through the hook.
static const bool helpHookInstalled = [] {
    SetHelpTopicHandler([](int topic) { ShowHelpTopic(topic); });
    return true;
}();

void ShowHelpTopic(int topic) {
    HelpViewer::instance()->showTopic(topic);
}

void ShowHelpContents() {
    HelpViewer::instance()->showContents();
}

void ShowHelpSearch() {
    HelpViewer::instance()->showSearch();
}

void ShowHowToUseHelp() {
    HelpViewer::instance()->showTopic(HelpTopic::HowToUseHelp);
}

} // namespace qb
