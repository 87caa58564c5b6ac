#include "app/whatsthis.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>
#include <QWhatsThis>
#include <QWidget>

namespace qb {

namespace {

const char* const kConnectedProperty = "qbWhatsThisMenu";

// The editing menu a text control would show by itself, if it has one.
QMenu* standardMenu(QWidget* widget, const QPoint& globalPos) {
    if (auto* line = qobject_cast<QLineEdit*>(widget))
        return line->createStandardContextMenu();
    if (auto* text = qobject_cast<QTextEdit*>(widget))
        return text->createStandardContextMenu(text->viewport()->mapFromGlobal(globalPos));
    if (auto* plain = qobject_cast<QPlainTextEdit*>(widget))
        return plain->createStandardContextMenu(plain->viewport()->mapFromGlobal(globalPos));
    return nullptr;
}

} // namespace

QMenu* CreateWhatsThisMenu(QWidget* widget, const QPoint& globalPos) {
    if (!widget)
        return nullptr;
    QMenu* menu = standardMenu(widget, globalPos);
    if (widget->whatsThis().isEmpty())
        return menu; // the text was removed: only the editing commands remain
    if (menu)
        menu->addSeparator();
    else
        menu = new QMenu(widget);
    QAction* action = menu->addAction(QStringLiteral("What's this?"));
    QPointer<QWidget> target(widget);
    QObject::connect(action, &QAction::triggered, widget, [target, globalPos] {
        if (target)
            QWhatsThis::showText(globalPos, target->whatsThis(), target);
    });
    return menu;
}

void SetWhatsThis(QWidget* widget, const QString& text) {
    if (!widget)
        return;
    widget->setWhatsThis(text);
    if (widget->property(kConnectedProperty).toBool())
        return;
    widget->setProperty(kConnectedProperty, true);
    // Text edits raise the request on their viewport's coordinates.
    QWidget* source = widget;
    if (auto* area = qobject_cast<QAbstractScrollArea*>(widget))
        source = area->viewport();
    widget->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(widget, &QWidget::customContextMenuRequested, widget,
                     [widget, source](const QPoint& pos) {
                         QMenu* menu = CreateWhatsThisMenu(widget, source->mapToGlobal(pos));
                         if (!menu) {
                             return;
                         }
                         menu->setAttribute(Qt::WA_DeleteOnClose);
                         menu->popup(source->mapToGlobal(pos));
                     });
}

} // namespace qb
