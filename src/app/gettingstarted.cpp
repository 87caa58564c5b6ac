#include "app/gettingstarted.h"

#include "app/helpviewer.h"
#include "app/messages.h"
#include "storage/settings.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace qb {

namespace {

struct Link {
    const char* name;
    int topic;
};

const Link kLinks[] = {
    {"NEW", HelpTopic::NewFile},
    {"DBASE", HelpTopic::DBaseImport},
    {"ASCII", HelpTopic::AsciiImport},
    {"ADD", HelpTopic::AddingChanging},
    {"CHANGE", HelpTopic::AddingChanging},
    {"FIND", HelpTopic::Finding},
    {"DELETE", HelpTopic::Deleting},
    {"TECHNICAL SUPPORT", HelpTopic::TechnicalSupport},
    {"FREQUENTLY ASKED QUESTIONS", HelpTopic::Faq},
};

// Links are named by their text, so each href is the link's own name.
const char* const kPage = R"(
<h2 align="center">Getting Started</h2>
<p>Welcome to Quillbury, the program for your mailing lists. Here is how
to begin; click a word in capitals to read more about it.</p>
<ul>
<li>Start a <a href="NEW">NEW</a> address file, or bring in addresses you
already have from a <a href="DBASE">DBASE</a> (DBF) file or an
<a href="ASCII">ASCII</a> (comma-delimited text) file.</li>
<li><a href="ADD">ADD</a> a record with the Add button, and
<a href="CHANGE">CHANGE</a> one with the Edit button or by typing into it.</li>
<li><a href="FIND">FIND</a> a record with Search, Browse or a filter.</li>
<li><a href="DELETE">DELETE</a> a record you no longer need.</li>
<li>Print labels, envelopes, letters and reports with the buttons at the
top of the main window.</li>
</ul>
<p>Questions? See the <a href="FREQUENTLY ASKED QUESTIONS">FREQUENTLY ASKED
QUESTIONS</a> or <a href="TECHNICAL SUPPORT">TECHNICAL SUPPORT</a>.</p>
)";

} // namespace

TGettingStarted::TGettingStarted(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setWindowTitle(QStringLiteral("Getting Started"));
    setObjectName(QStringLiteral("GettingStarted"));
    openTopic = [](int topic) { ShowHelpTopic(topic); };

    // Without a frame the window draws its own border.
    auto* frame = new QFrame(this);
    frame->setFrameShape(QFrame::Box);
    frame->setLineWidth(1);

    page_ = new QTextBrowser(frame);
    page_->setOpenLinks(false);
    page_->setHtml(QString::fromUtf8(kPage));
    page_->setMinimumSize(460, 300);
    connect(page_, &QTextBrowser::anchorClicked, this, &TGettingStarted::LinkClick);

    dontShow_ = new QCheckBox(QStringLiteral("Do not show this screen at start up"), frame);
    dontShow_->setChecked(ReadGettingStartedSuppressed());
    ok_ = new QPushButton(QStringLiteral("Ok"), frame);
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(dontShow_);
    bottom->addStretch(1);
    bottom->addWidget(ok_);
    auto* inner = new QVBoxLayout(frame);
    inner->addWidget(page_, 1);
    inner->addLayout(bottom);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(frame);

    adjustSize();
    CenterOnScreen(this);
}

int TGettingStarted::TopicForLink(const QString& name) {
    const QString key = name.trimmed().toUpper();
    for (const Link& link : kLinks)
        if (key == QLatin1String(link.name))
            return link.topic;
    return 0;
}

void TGettingStarted::LinkClick(const QUrl& link) {
    // The href is the link name; URL parsing may have escaped its blanks.
    const int topic = TopicForLink(QUrl::fromPercentEncoding(link.toString().toUtf8()));
    if (topic != 0 && openTopic)
        openTopic(topic);
}

void TGettingStarted::done(int result) {
    WriteGettingStartedSuppressed(dontShow_->isChecked());
    QDialog::done(result);
}

void ShowGettingStarted(QWidget* parent) {
    TGettingStarted window(parent);
    window.exec();
}

} // namespace qb
