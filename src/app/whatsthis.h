// "What's this?" help for single controls: right-clicking a control that has
// a text offers "What's this?", which shows the text in a popup beside it.
#pragma once

#include <QPoint>
#include <QString>

class QMenu;
class QWidget;

namespace qb {

// Attaches `text` to `widget` (an empty text removes it) and gives the widget
// a context menu with "What's this?"; text editors keep their own editing
// commands above it.
void SetWhatsThis(QWidget* widget, const QString& text);

// The context menu SetWhatsThis shows at `globalPos` (owned by the caller):
// a text control's editing commands, then "What's this?" (which shows the
// text) when the widget has a text; null when there is nothing to offer.
QMenu* CreateWhatsThisMenu(QWidget* widget, const QPoint& globalPos);

} // namespace qb
