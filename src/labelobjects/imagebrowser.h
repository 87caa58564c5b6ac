// TKImageBrowser: the chooser of a picture file for an image object, with a
// preview. The image object runs it through RunModal, which tests answer.
#pragma once

#include "labelobjects/properties.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QListWidget;
class QListWidgetItem;
class QLabel;

namespace qb {

// Shows a picture in the chooser: stretched to the pane, or at its own size.
class PicturePreview : public QWidget {
    Q_OBJECT
public:
    explicit PicturePreview(QWidget* parent = nullptr);
    TKPicture& Picture() { return picture_; }
    const TKPicture& PictureRef() const { return picture_; }
    void SetStretch(bool on);
    bool Stretch() const { return stretch_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    TKPicture picture_;
    bool stretch_ = true;
};

class TKImageBrowser : public QDialog {
    Q_OBJECT
public:
    explicit TKImageBrowser(QWidget* parent = nullptr);

    // The folder whose files are listed; false when it cannot be read.
    bool SetDirectory(const QString& path);
    QString Directory() const { return directory_; }
    // Names in the file list, sorted.
    QStringList FileNames() const;
    // Subfolders in the folder list (with ".." first below a root).
    QStringList FolderNames() const;
    // The file chosen (full path), empty when none.
    QString FileName() const { return fileName_; }

    bool Stretch() const;
    bool AutoSize() const;
    void SetStretch(bool on);
    void SetAutoSize(bool on);

    const TKPicture& Preview() const;
    PicturePreview* PreviewPane() const { return preview_; }
    QComboBox* FilterBox() const { return filter_; }

public slots:
    // Selects a file of the list by name and loads it into the preview; a
    // file that cannot be loaded gives "Error loading file!" and an empty
    // preview.
    bool SelectFile(const QString& name);
    // Opens a subfolder by name ("..": the parent).
    bool OpenFolder(const QString& name);
    void ShowHelp();

private:
    void refill();
    void stretchToggled(bool on);
    void autoSizeToggled(bool on);
    void fitPreview();

    QString directory_;
    QString fileName_;
    QComboBox* drives_ = nullptr;
    QComboBox* filter_ = nullptr;
    QListWidget* folders_ = nullptr;
    QListWidget* files_ = nullptr;
    QWidget* previewPanel_ = nullptr;
    PicturePreview* preview_ = nullptr;
    QCheckBox* stretch_ = nullptr;
    QCheckBox* autoSize_ = nullptr;
    QLabel* pathLabel_ = nullptr;
};

} // namespace qb
