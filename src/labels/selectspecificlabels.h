// The position dialog of a label run, "Labels Print": a small picture of the
// sheet in which each label position can be switched on or off, the printer,
// and the number of labels to print for each record.
#pragma once

#include "labels/labelprinter.h"

#include <QDialog>
#include <QRect>
#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;

namespace qb {

// The sheet picture: 19.2 pixels an inch (a fifth of 96), 10 pixels in from
// the corner; positions switched on are red, the others white.
class TSheetPicture : public QWidget {
    Q_OBJECT
public:
    static constexpr double Scale = 19.2;
    static constexpr int Offset = 10;

    TSheetPicture(const LabelSheet& sheet, PositionMask& mask, QWidget* parent = nullptr);

    // The sheet and the rectangle of a position, in picture pixels.
    static QRect SheetRect(const LabelSheet& sheet);
    static QRect PositionRect(const LabelSheet& sheet, int col, int row);
    // The position index under a point, -1 for none.
    static int PositionAt(const LabelSheet& sheet, const QPoint& p);
    QSize sizeHint() const override;

    // A click at `p`: toggles the position there (true when there was one).
    bool ClickAt(const QPoint& p);

signals:
    void Changed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    const LabelSheet& sheet_;
    PositionMask& mask_;
};

class TSelectSpecificLabels : public QDialog {
    Q_OBJECT
public:
    // `presort`: a presorted run prints each record once, so the copies are
    // not offered.
    TSelectSpecificLabels(const LabelSheet& sheet, const PositionMask& mask,
                          const QStringList& printers, const QString& currentPrinter, bool presort,
                          QWidget* parent = nullptr);

    const PositionMask& Mask() const { return mask_; }
    int Copies() const;
    QString PrinterName() const;

    TSheetPicture* Picture() const { return picture_; }
    QSpinBox* CopiesSpin() const { return copies_; }
    QLabel* CopiesCaption() const { return copiesCaption_; }
    QComboBox* PrinterList() const { return printers_; }

public slots:
    void AllClick();
    void NoneClick();
    // "Ok": at least one position of the stock must be on.
    void OKButtonClick();
    void HelpClick();

private:
    LabelSheet sheet_;
    PositionMask mask_;
    TSheetPicture* picture_ = nullptr;
    QSpinBox* copies_ = nullptr;
    QLabel* copiesCaption_ = nullptr;
    QComboBox* printers_ = nullptr;
};

} // namespace qb
