// The "About" box: the program's name and version.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace qb {

// The program's version as shown to the user ("0.1").
QString ProgramVersion();

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);
    QLabel* versionLabel() const { return version_; }
    QPushButton* okButton() const { return ok_; }

private:
    QLabel* version_ = nullptr;
    QPushButton* ok_ = nullptr;
};

// Shows the box until it is closed.
void ShowAbout(QWidget* parent);

} // namespace qb
