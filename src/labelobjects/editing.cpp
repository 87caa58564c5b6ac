// The panel's editing commands: align and centre, stacking order, the
// clipboard file, delete and clone, lock and selectability, the font for the
// selection, the panel menu and the editing keys.
#include "app/messages.h"
#include "labelobjects/handles.h"
#include "labelobjects/objectfiler.h"
#include "labelobjects/panels.h"
#include "labelobjects/textdialogs.h"

#include <QFile>
#include <QMenu>

#include <algorithm>

namespace qb {

namespace {
// The entries of the panel menu that act on the selection.
const char* const kSelectionEntries[] = {
    "Bring To Front",      "Send To Back", "Cut",        "Copy",          "Delete",
    "Align Left",          "Align Right",  "Align Tops", "Align Bottoms", "Center Vertically",
    "Center Horizontally", "Font"};
} // namespace

// ---- menu -------------------------------------------------------------------

void TKBasePanel::BuildPanelMenu() {
    panelMenu_ = new QMenu(this);
    auto add = [this](const char* caption, void (TKBasePanel::*command)()) {
        QAction* a = panelMenu_->addAction(tr(caption));
        connect(a, &QAction::triggered, this,
                [this, command] { RunGuarded([&] { (this->*command)(); }); });
    };
    add("Bring To Front", &TKBasePanel::BringToFront);
    add("Send To Back", &TKBasePanel::SendToBack);
    panelMenu_->addSeparator();
    add("Cut", &TKBasePanel::CutSelection);
    add("Copy", &TKBasePanel::CopySelection);
    QAction* paste = panelMenu_->addAction(tr("Paste"));
    connect(paste, &QAction::triggered, this, [this] { RunGuarded([this] { Paste(); }); });
    panelMenu_->addSeparator();
    add("Delete", &TKBasePanel::DeleteSelection);
    panelMenu_->addSeparator();
    add("Align Left", &TKBasePanel::AlignLeft);
    add("Align Right", &TKBasePanel::AlignRight);
    add("Align Tops", &TKBasePanel::AlignTops);
    add("Align Bottoms", &TKBasePanel::AlignBottoms);
    panelMenu_->addSeparator();
    add("Center Vertically", &TKBasePanel::CenterVertically);
    add("Center Horizontally", &TKBasePanel::CenterHorizontally);
    panelMenu_->addSeparator();
    add("Lock All", &TKBasePanel::LockAll);
    add("Unlock All", &TKBasePanel::UnlockAll);
    panelMenu_->addSeparator();
    add("Mark All Selectable", &TKBasePanel::MarkAllSelectable);
    add("Mark All Unselectable", &TKBasePanel::MarkAllUnselectable);
    add("Select All", &TKBasePanel::SelectAll);
    panelMenu_->addSeparator();
    QAction* font = panelMenu_->addAction(tr("Font"));
    connect(font, &QAction::triggered, this, [this] { RunGuarded([this] { SelectionFont(); }); });
}

QAction* TKBasePanel::PanelMenuAction(const QString& caption) const {
    for (QAction* a : panelMenu_->actions())
        if (a->text() == caption)
            return a;
    return nullptr;
}

void TKBasePanel::UpdatePanelMenu() {
    const bool selected = !Selection().isEmpty();
    for (const char* caption : kSelectionEntries)
        PanelMenuAction(tr(caption))->setEnabled(selected);
    PanelMenuAction(tr("Paste"))->setEnabled(QFile::exists(clipboardFile_));
    const bool any = !Objects().isEmpty();
    PanelMenuAction(tr("Lock All"))->setEnabled(any);
    PanelMenuAction(tr("Unlock All"))->setEnabled(any);
}

void TKBasePanel::ShowPanelMenu(const QPoint& globalPos) {
    UpdatePanelMenu();
    ShowMenu(panelMenu_, globalPos);
}

void TKBasePanel::ShowMenu(QMenu* menu, const QPoint& globalPos) {
    if (PopupHook)
        PopupHook(menu, globalPos);
    else
        menu->popup(globalPos);
}

void TKBasePanel::RunGuarded(const std::function<void()>& command) {
    // A layout stream error (a damaged clipboard file, a file that cannot be
    // written) ends the command with its message; what was read stays.
    try {
        command();
    } catch (const std::exception& e) {
        Warn(QString::fromUtf8(e.what()));
    }
}

// ---- selection --------------------------------------------------------------

void TKBasePanel::SelectAll() {
    handle_->Clear();
    for (TKGraphicControl* o : Objects())
        handle_->AddObject(o);
}

QList<TKGraphicControl*> TKBasePanel::ObjectOrSelection(TKGraphicControl* object) const {
    const QList<TKGraphicControl*> sel = Selection();
    if (object && !sel.contains(object))
        return {object};
    return sel;
}

// ---- align and centre -------------------------------------------------------

void TKBasePanel::AlignLeft() {
    const QList<TKGraphicControl*> sel = Selection();
    if (sel.isEmpty())
        return;
    NotifyChange();
    int left = sel[0]->Left();
    for (const TKGraphicControl* o : sel)
        left = std::min(left, o->Left());
    for (TKGraphicControl* o : sel)
        o->SetLeft(left);
    handle_->Refit();
}

void TKBasePanel::AlignTops() {
    const QList<TKGraphicControl*> sel = Selection();
    if (sel.isEmpty())
        return;
    NotifyChange();
    int top = sel[0]->Top();
    for (const TKGraphicControl* o : sel)
        top = std::min(top, o->Top());
    for (TKGraphicControl* o : sel)
        o->SetTop(top);
    handle_->Refit();
}

void TKBasePanel::AlignRight() {
    const QList<TKGraphicControl*> sel = Selection();
    if (sel.isEmpty())
        return;
    NotifyChange();
    int right = sel[0]->Left() + sel[0]->Width();
    for (const TKGraphicControl* o : sel)
        right = std::max(right, o->Left() + o->Width());
    for (TKGraphicControl* o : sel)
        o->SetLeft(right - o->Width());
    handle_->Refit();
}

void TKBasePanel::AlignBottoms() {
    const QList<TKGraphicControl*> sel = Selection();
    if (sel.isEmpty())
        return;
    NotifyChange();
    int bottom = sel[0]->Top() + sel[0]->Height();
    for (const TKGraphicControl* o : sel)
        bottom = std::max(bottom, o->Top() + o->Height());
    for (TKGraphicControl* o : sel)
        o->SetTop(bottom - o->Height());
    handle_->Refit();
}

void TKBasePanel::CenterVertically() {
    const QList<TKGraphicControl*> sel = Selection();
    if (sel.isEmpty())
        return;
    NotifyChange();
    for (TKGraphicControl* o : sel)
        o->SetTop(Height() / 2 - o->Height() / 2);
    handle_->Refit();
}

void TKBasePanel::CenterHorizontally() {
    const QList<TKGraphicControl*> sel = Selection();
    if (sel.isEmpty())
        return;
    NotifyChange();
    for (TKGraphicControl* o : sel)
        o->SetLeft(Width() / 2 - o->Width() / 2);
    handle_->Refit();
}

void TKBasePanel::CenterObjectVertically(TKGraphicControl* object) {
    NotifyChange();
    object->SetTop(Height() / 2 - object->Height() / 2);
    handle_->Refit();
}

void TKBasePanel::CenterObjectHorizontally(TKGraphicControl* object) {
    NotifyChange();
    object->SetLeft(Width() / 2 - object->Width() / 2);
    handle_->Refit();
}

// ---- stacking order ---------------------------------------------------------

void TKBasePanel::BringToFront() {
    const QList<TKGraphicControl*> sel = Selection();
    if (handle_->Locked() || sel.isEmpty())
        return;
    NotifyChange();
    for (TKGraphicControl* o : sel)
        o->raise();
    KeepHolderOnTop();
    update();
}

void TKBasePanel::SendToBack() {
    const QList<TKGraphicControl*> sel = Selection();
    if (handle_->Locked() || sel.isEmpty())
        return;
    NotifyChange();
    // Lowered from the last selected to the first, so they keep the order in
    // which they were selected at the back.
    for (int i = sel.size() - 1; i >= 0; --i)
        sel[i]->lower();
    KeepHolderOnTop();
    ClearSelection();
    update();
}

void TKBasePanel::BringObjectToFront(TKGraphicControl* object) {
    if (handle_->Locked())
        return;
    NotifyChange();
    object->raise();
    KeepHolderOnTop();
}

void TKBasePanel::SendObjectToBack(TKGraphicControl* object) {
    if (handle_->Locked())
        return;
    NotifyChange();
    object->lower();
    KeepHolderOnTop();
    ClearSelection();
}

// ---- clipboard, delete, clone -----------------------------------------------

void TKBasePanel::AtZoomOne(const QList<TKGraphicControl*>& objects,
                            const std::function<void()>& fn) {
    if (zoom_ == 1.0f) {
        fn();
        return;
    }
    // Streams always hold zoom-1 bounds; the round trip is exact (the zoom
    // memory) and, like zooming, no change of the layout.
    const bool was = zooming_;
    zooming_ = true;
    for (TKGraphicControl* o : objects)
        ZoomObject(o, 1.0f);
    auto back = [&] {
        for (TKGraphicControl* o : objects)
            ZoomObject(o, zoom_);
        zooming_ = was;
    };
    try {
        fn();
    } catch (...) {
        back();
        throw;
    }
    back();
}

void TKBasePanel::WriteClipboard(const QList<TKGraphicControl*>& objects) {
    if (objects.isEmpty())
        return;
    AtZoomOne(objects, [&] { TKLabelObjectFiler::SaveSelection(objects, clipboardFile_); });
}

void TKBasePanel::CopySelection() {
    WriteClipboard(Selection());
}

void TKBasePanel::CutSelection() {
    if (Selection().isEmpty())
        return;
    CopySelection();
    DeleteSelection();
}

void TKBasePanel::DestroyObject(TKGraphicControl* object) {
    handle_->RemoveObject(object);
    object->hide();
    // Off the panel at once; destroyed once the event that asked for it (it
    // may come from the object's own menu) is over.
    object->setParent(nullptr);
    object->deleteLater();
}

void TKBasePanel::DeleteSelection() {
    const QList<TKGraphicControl*> sel = Selection();
    if (sel.isEmpty())
        return;
    NotifyChange();
    for (int i = sel.size() - 1; i >= 0; --i)
        DestroyObject(sel[i]);
    handle_->Clear();
    update();
}

QList<TKGraphicControl*> TKBasePanel::Paste() {
    const qint64 now = Now();
    if (lastPaste_ != 0 && now - lastPaste_ < 1000)
        return {};
    if (!QFile::exists(clipboardFile_))
        return {};
    lastPaste_ = now;
    TKLabelObjectFiler filer(Owner());
    QList<TKGraphicControl*> pasted;
    {
        // One paste is one change, however many objects it brings.
        const bool was = zooming_;
        zooming_ = true;
        try {
            pasted = filer.Paste(*this, clipboardFile_);
        } catch (...) {
            zooming_ = was;
            NotifyChange();
            throw;
        }
        zooming_ = was;
    }
    NotifyChange();
    KeepHolderOnTop();
    // The pasted copies become the selection, ready to be moved into place.
    SetSelection(pasted);
    return pasted;
}

void TKBasePanel::CopyObject(TKGraphicControl* object) {
    WriteClipboard(ObjectOrSelection(object));
}

void TKBasePanel::CutObject(TKGraphicControl* object) {
    const QList<TKGraphicControl*> objects = ObjectOrSelection(object);
    NotifyChange();
    WriteClipboard(objects);
    for (int i = objects.size() - 1; i >= 0; --i)
        DestroyObject(objects[i]);
    update();
}

void TKBasePanel::DeleteObject(TKGraphicControl* object) {
    const QList<TKGraphicControl*> objects = ObjectOrSelection(object);
    NotifyChange();
    for (int i = objects.size() - 1; i >= 0; --i)
        DestroyObject(objects[i]);
    update();
}

TKGraphicControl* TKBasePanel::CloneObject(TKGraphicControl* object) {
    TKGraphicControl* copy = nullptr;
    AtZoomOne({object}, [&] { copy = TKLabelObjectFiler::Clone(*object, *this); });
    if (!copy)
        return nullptr;
    // Exactly the source's bounds on screen (no second rounding), 25 lower.
    copy->SetBounds(object->Left(), object->Top() + 25, object->Width(), object->Height());
    copy->raise();
    KeepHolderOnTop();
    if (handle_->IsSelected(object)) {
        handle_->RemoveObject(object);
        handle_->AddObject(copy);
    }
    NotifyChange();
    return copy;
}

// ---- lock and selectability -------------------------------------------------

void TKBasePanel::ToggleObjectLocked(TKGraphicControl* object) {
    object->SetLocked(!object->Locked());
    NotifyChange();
}

void TKBasePanel::MarkObjectUnselectable(TKGraphicControl* object) {
    object->SetUnselectable(true);
    handle_->RemoveObject(object);
    NotifyChange();
}

void TKBasePanel::LockAll() {
    for (TKGraphicControl* o : Objects())
        o->SetLocked(true);
    NotifyChange();
}

void TKBasePanel::UnlockAll() {
    for (TKGraphicControl* o : Objects())
        o->SetLocked(false);
    NotifyChange();
}

void TKBasePanel::MarkAllSelectable() {
    for (TKGraphicControl* o : Objects())
        o->SetUnselectable(false);
    NotifyChange();
}

void TKBasePanel::MarkAllUnselectable() {
    for (TKGraphicControl* o : Objects())
        o->SetUnselectable(true);
    // Unselectable objects are never part of the selection.
    ClearSelection();
    NotifyChange();
}

// ---- font -------------------------------------------------------------------

bool TKBasePanel::SelectionFont() {
    const QList<TKGraphicControl*> sel = Selection();
    if (sel.isEmpty())
        return false;
    TKFont font;
    font.Assign(panelFont_);
    if (!ChooseFont(this, font, true))
        return false;
    NotifyChange();
    for (TKGraphicControl* o : sel)
        o->ApplyFont(font);
    handle_->Refit();
    return true;
}

// ---- keys -------------------------------------------------------------------

bool TKBasePanel::EditingKeyPress(int key, Qt::KeyboardModifiers mods) {
    if (!pointing_)
        return false;
    const bool ctrl = mods & Qt::ControlModifier;
    if (ctrl && key == Qt::Key_C) {
        RunGuarded([this] { CopySelection(); });
        return true;
    }
    if (ctrl && key == Qt::Key_X) {
        RunGuarded([this] { CutSelection(); });
        return true;
    }
    if (ctrl && key == Qt::Key_V) {
        RunGuarded([this] { Paste(); });
        return true;
    }
    if (key == Qt::Key_Delete) {
        DeleteSelection();
        return true;
    }
    if (Selection().isEmpty())
        return false;
    return handle_->KeyStep(key, mods & Qt::ShiftModifier);
}

bool TKBasePanel::EditingKeyRelease(int key, bool autoRepeat) {
    if (key != Qt::Key_Left && key != Qt::Key_Right && key != Qt::Key_Up && key != Qt::Key_Down)
        return false;
    if (!autoRepeat)
        handle_->KeyApply();
    return true;
}

} // namespace qb
