#include "labelobjects/imagebrowser.h"

#include "app/messages.h"
#include "app/modal.h"
#include "labelobjects/picture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace qb {

// ---- preview --------------------------------------------------------------------------

PicturePreview::PicturePreview(QWidget* parent) : QWidget(parent) {
    picture_.OnChange = [this] { update(); };
}

void PicturePreview::SetStretch(bool on) {
    stretch_ = on;
    update();
}

void PicturePreview::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    const QSize own = PictureSize(picture_);
    if (own.isEmpty())
        return;
    const QRectF target = stretch_ ? QRectF(rect()) : QRectF(QPointF(0, 0), QSizeF(own));
    PaintPicture(painter, picture_, target);
}

// ---- chooser --------------------------------------------------------------------------

namespace {
const char* const kFilters[] = {"*.BMP;*.WMF", "*.PNG;*.JPG;*.JPEG",
                                "*.BMP;*.WMF;*.PNG;*.JPG;*.JPEG"};
}

TKImageBrowser::TKImageBrowser(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Load Image File (BMP/WMF)"));
    auto* top = new QHBoxLayout;
    auto* lists = new QVBoxLayout;
    pathLabel_ = new QLabel(this);
    lists->addWidget(pathLabel_);
    drives_ = new QComboBox(this);
    for (const QFileInfo& drive : QDir::drives())
        drives_->addItem(QDir::toNativeSeparators(drive.absoluteFilePath()));
    lists->addWidget(drives_);
    folders_ = new QListWidget(this);
    lists->addWidget(folders_);
    files_ = new QListWidget(this);
    lists->addWidget(files_);
    filter_ = new QComboBox(this);
    for (const char* f : kFilters)
        filter_->addItem(QString::fromLatin1(f));
    lists->addWidget(filter_);
    top->addLayout(lists, 1);

    auto* right = new QVBoxLayout;
    previewPanel_ = new QWidget(this);
    previewPanel_->setMinimumSize(220, 220);
    previewPanel_->setAutoFillBackground(true);
    preview_ = new PicturePreview(previewPanel_);
    right->addWidget(previewPanel_, 1);
    auto* options = new QGroupBox(QStringLiteral(" Options "), this);
    auto* optionsLayout = new QVBoxLayout(options);
    stretch_ = new QCheckBox(QStringLiteral("Stretch"), options);
    stretch_->setToolTip(QStringLiteral("Stretch image to max display size"));
    autoSize_ = new QCheckBox(QStringLiteral("AutoSize"), options);
    autoSize_->setToolTip(QStringLiteral("AutoSize TImage"));
    optionsLayout->addWidget(stretch_);
    optionsLayout->addWidget(autoSize_);
    right->addWidget(options);
    top->addLayout(right, 1);

    QDialogButtonBox* buttons = DialogButtons(*this, [this] { ShowHelp(); });

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(buttons);

    connect(stretch_, &QCheckBox::toggled, this, &TKImageBrowser::stretchToggled);
    connect(autoSize_, &QCheckBox::toggled, this, &TKImageBrowser::autoSizeToggled);
    connect(filter_, &QComboBox::currentIndexChanged, this, [this] { refill(); });
    connect(drives_, &QComboBox::activated, this,
            [this](int i) { SetDirectory(QDir::fromNativeSeparators(drives_->itemText(i))); });
    connect(folders_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { OpenFolder(item->text()); });
    connect(files_, &QListWidget::currentTextChanged, this, [this](const QString& name) {
        if (!name.isEmpty() &&
            QFileInfo(QDir(directory_).filePath(name)).absoluteFilePath() != fileName_)
            SelectFile(name);
    });

    stretch_->setChecked(true);
    SetDirectory(QDir::currentPath());
    resize(560, 420);
}

bool TKImageBrowser::SetDirectory(const QString& path) {
    QDir dir(path);
    if (!dir.exists() || !dir.isReadable())
        return false;
    directory_ = dir.absolutePath();
    pathLabel_->setText(QDir::toNativeSeparators(directory_));
    refill();
    return true;
}

void TKImageBrowser::refill() {
    QDir dir(directory_);
    folders_->clear();
    if (!dir.isRoot())
        folders_->addItem(QStringLiteral(".."));
    folders_->addItems(
        dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase));
    files_->blockSignals(true);
    files_->clear();
    QStringList patterns = filter_->currentText().split(QLatin1Char(';'), Qt::SkipEmptyParts);
    dir.setNameFilters(patterns);
    files_->addItems(dir.entryList(QDir::Files, QDir::Name | QDir::IgnoreCase));
    files_->blockSignals(false);
}

QStringList TKImageBrowser::FileNames() const {
    QStringList out;
    for (int i = 0; i < files_->count(); ++i)
        out << files_->item(i)->text();
    return out;
}

QStringList TKImageBrowser::FolderNames() const {
    QStringList out;
    for (int i = 0; i < folders_->count(); ++i)
        out << folders_->item(i)->text();
    return out;
}

bool TKImageBrowser::OpenFolder(const QString& name) {
    QDir dir(directory_);
    if (!dir.cd(name))
        return false;
    return SetDirectory(dir.absolutePath());
}

bool TKImageBrowser::SelectFile(const QString& name) {
    const QString path = QFileInfo(QDir(directory_).filePath(name)).absoluteFilePath();
    const QList<QListWidgetItem*> found = files_->findItems(name, Qt::MatchExactly);
    if (!found.isEmpty()) {
        files_->blockSignals(true);
        files_->setCurrentItem(found.first());
        files_->blockSignals(false);
    }
    if (!preview_->Picture().LoadFromFile(path)) {
        fileName_.clear();
        preview_->Picture().Clear();
        Warn(QStringLiteral("Error loading file!"));
        return false;
    }
    fileName_ = path;
    fitPreview();
    return true;
}

void TKImageBrowser::ShowHelp() {
    Inform(QStringLiteral(
        "Choose a folder and a picture file (Windows bitmap or metafile; PNG and JPEG through "
        "the file type list). The preview shows the picture. \"Stretch\" makes the picture "
        "fill the image object; \"AutoSize\" makes the object take the picture's own size."));
}

bool TKImageBrowser::Stretch() const {
    return stretch_->isChecked();
}
bool TKImageBrowser::AutoSize() const {
    return autoSize_->isChecked();
}
void TKImageBrowser::SetStretch(bool on) {
    stretch_->setChecked(on);
}
void TKImageBrowser::SetAutoSize(bool on) {
    autoSize_->setChecked(on);
}

const TKPicture& TKImageBrowser::Preview() const {
    return preview_->PictureRef();
}

void TKImageBrowser::stretchToggled(bool on) {
    if (on)
        autoSize_->setChecked(false);
    preview_->SetStretch(on);
    fitPreview();
}

void TKImageBrowser::autoSizeToggled(bool on) {
    if (on)
        stretch_->setChecked(false);
    fitPreview();
}

void TKImageBrowser::fitPreview() {
    const QSize own = PictureSize(preview_->PictureRef());
    if (autoSize_->isChecked() && !own.isEmpty()) {
        preview_->setGeometry(
            QRect(QPoint(5, 5), own.boundedTo(previewPanel_->size() - QSize(10, 10))));
    } else {
        // The pane less 10 pixels each way.
        preview_->setGeometry(5, 5, std::max(0, previewPanel_->width() - 10),
                              std::max(0, previewPanel_->height() - 10));
    }
    preview_->update();
}

} // namespace qb
