#include "labelobjects/textlabels.h"

#include "addressbook/addressfile.h"
#include "app/modal.h"
#include "labelobjects/panels.h"
#include "labelobjects/symbolfonts.h"
#include "labelobjects/textdialogs.h"
#include "printing/printsurface.h"
#include "storage/dataset.h"

#include <QActionGroup>
#include <QFontMetrics>
#include <QFontMetricsF>
#include <QLocale>
#include <QMenu>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <utility>

namespace qb {

// ---- helpers --------------------------------------------------------------------------------

QFont ScreenFont(const TKFont& font, double zoom) {
    QFont f = font.ToQFont(zoom);
    const ResolvedText r = ResolveSymbolText(font.Name(), QString());
    if (r.translated)
        f.setFamily(r.family);
    // Sizes in design pixels, whatever the screen's resolution.
    const int points = std::max(1, int(font.Size() * zoom));
    f.setPixelSize(std::max(1, int(std::lround(points * double(kPixelsPerInch) / 72.0))));
    return f;
}

namespace {

// The text as the face draws it (picture fonts translated when missing).
QString DrawnText(const TKFont& font, const QString& text) {
    return ResolveSymbolText(font.Name(), text).text;
}

// Windows' cell height: ascent + descent, which holds the internal leading.
int TextHeight(const QFontMetrics& fm) {
    return fm.ascent() + fm.descent();
}

int InternalLeading(const QFontMetrics& fm, const QFont& f) {
    return std::max(0, TextHeight(fm) - f.pixelSize());
}

QRect FromLTRB(int l, int t, int r, int b) {
    return QRect(QPoint(l, t), QPoint(r - 1, b - 1));
}
int R(const QRect& r) {
    return r.left() + r.width();
}
int B(const QRect& r) {
    return r.top() + r.height();
}

QString UpperAscii(const QString& s) {
    QString out = s;
    for (QChar& c : out)
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 32);
    return out;
}

QAction* AddItem(QMenu& menu, const QString& text, std::function<void()> fn) {
    QAction* a = menu.addAction(text);
    QObject::connect(a, &QAction::triggered, a, [fn = std::move(fn)] { fn(); });
    return a;
}

} // namespace

QStringList WrapText(const QStringList& lines, int width,
                     const std::function<int(const QString&)>& measure) {
    QStringList out;
    const auto fits = [&](const QString& s) { return measure(s) <= width; };
    for (const QString& paragraph : lines) {
        const QStringList words = paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.isEmpty()) {
            out << QString();
            continue;
        }
        QString line;
        for (QString word : words) {
            if (!line.isEmpty()) {
                const QString joined = line + QLatin1Char(' ') + word;
                if (fits(joined)) {
                    line = joined;
                    continue;
                }
                out << line;
                line.clear();
            }
            // A word wider than the line is cut where it stops fitting.
            while (word.size() > 1 && !fits(word)) {
                int n = 1;
                while (n < word.size() && fits(word.left(n + 1)))
                    ++n;
                out << word.left(n);
                word = word.mid(n);
            }
            line = word;
        }
        out << line;
    }
    return out;
}

// Runs an object's dialog on the object's current settings; true when the
// user accepted and the dialog's settings were applied.
template <class Dialog, class Object> bool EditInDialog(Object& object) {
    Dialog dlg(object.window());
    dlg.Load(object);
    if (RunModal(dlg) != QDialog::Accepted)
        return false;
    dlg.Apply(object);
    return true;
}

TKDataPanel* DataPanelOf(const TKGraphicControl* object) {
    return qobject_cast<TKDataPanel*>(object->parentWidget());
}

QString FieldByDisplayLabel(const TKDataPanel* panel, const QString& displayLabel) {
    return panel ? panel->FieldNameByLabel(displayLabel) : QString();
}

QStringList ComposeAddress(const AddressOptions& o,
                           const std::function<std::optional<QString>(const QString&)>& field) {
    QStringList lines;
    const auto L = [](const QString& s) { return TrimLeft(s); };
    const auto add = [&](const QString& line) {
        if (!line.isEmpty())
            lines << line;
    };
    const auto finish = [&] {
        if (o.upperCase)
            for (QString& l : lines)
                l = UpperAscii(l);
        return lines;
    };
    // Reads a field; false ends the composition.
    const auto get = [&](const char* name, QString& value) {
        const std::optional<QString> v = field(QString::fromLatin1(name));
        if (!v)
            return false;
        value = *v;
        return true;
    };
    const QString sp = QStringLiteral(" ");
    QString a, b, c, d;
    if (o.useName) {
        if (!get("MIDDLE", a) || !get("PREFIX", b) || !get("FNAME", c) || !get("LNAME", d))
            return finish();
        if (!Trim(a).isEmpty())
            a += QLatin1Char('.');
        add(L(b + sp) + L(c + sp) + L(a + sp) + L(d + sp));
    }
    const std::pair<bool, const char*> simple[] = {{o.useTitle, "TITLE"},
                                                   {o.useCompany, "ORG"},
                                                   {o.useStreet, "STREET"},
                                                   {o.useStreet2, "STREET2"}};
    for (const auto& [use, name] : simple) {
        if (!use)
            continue;
        if (!get(name, a))
            return finish();
        add(a);
    }
    const bool zipWithState =
        o.useZip && (o.zipOptions == zoAfterState || o.zipOptions == zoBeforeCity);
    const bool zipWithCountry =
        o.useZip && (o.zipOptions == zoAfterCountry || o.zipOptions == zoBeforeCountry);
    if (o.useCityState) {
        if (!get("CITY", a) || !get("STATE", b) || !get("ZIP", c))
            return finish();
        QString line;
        if (zipWithState && o.zipOptions == zoAfterState)
            line = L(a + sp) + sp + L(b + sp) + L(c);
        else if (zipWithState)
            line = L(c + sp) + L(a + sp) + L(b + sp);
        else
            line = L(a + sp) + L(b);
        if (!Trim(line).isEmpty())
            lines << line;
    } else if (zipWithState) {
        if (!get("ZIP", c))
            return finish();
        add(L(c));
    }
    if (o.useCountry) {
        if (!get("COUNTRY", a) || !get("ZIP", c))
            return finish();
        if (zipWithCountry && o.zipOptions == zoAfterCountry)
            add(L(a + sp) + L(c));
        else if (zipWithCountry)
            add(L(c + sp) + L(a));
        else
            add(L(a));
    } else if (zipWithCountry) {
        if (!get("ZIP", c))
            return finish();
        add(L(c));
    }
    if (o.usePhone) {
        if (!get("PHONE", a))
            return finish();
        add(a);
    }
    return finish();
}

// ---- TKBaseLabel ------------------------------------------------------------------------

TKBaseLabel::TKBaseLabel() {
    SetBounds(0, 0, 142, 33);
    font_.OnChange = [this] {
        Dirty();
        NotifyChange();
    };
}

void TKBaseLabel::SetAlignment(int v) {
    alignment_ = v;
    Dirty();
    NotifyChange();
}

void TKBaseLabel::SetAngle(int v) {
    if (v != 0 && v != 90 && v != 180 && v != 270)
        return;
    angle_ = v;
    if (v != 0)
        alignment_ = taLeftJustify;
    if (!Loading()) {
        const bool upright = v == 90 || v == 270;
        if ((upright && Width() > Height()) || (!upright && Height() > Width()))
            SetBounds(Left(), Top(), Height(), Width());
    }
    Dirty();
}

void TKBaseLabel::SetCaption(const QString& v) {
    if (v == caption_)
        return;
    caption_ = v;
    Dirty();
    NotifyChange();
}

void TKBaseLabel::SetTransparent(bool v) {
    transparent_ = v;
    NotifyChange();
    update();
}

void TKBaseLabel::SetBackColor(int32_t v) {
    backColor_ = v;
    NotifyChange();
    update();
}

void TKBaseLabel::ApplyFont(const TKFont& font) {
    font_.Assign(font);
    Dirty();
}

QPoint TKBaseLabel::ShadowOffset() const {
    const int d = depthShadow_;
    switch (directionShadow_) {
    case sdRight:
        return {d, 0};
    case sdLeft:
        return {-d, 0};
    case sdDownRight:
        return {d, d};
    case sdDownLeft:
        return {-d, d};
    case sdDown:
        return {0, d};
    default:
        return {0, 0};
    }
}

QPoint TKBaseLabel::HighlightOffset() const {
    const int d = depthHighlight_;
    switch (directionHighlight_) {
    case hdright:
        return {d, 0};
    case hdLeft:
        return {-d, 0};
    case hdUpRight:
        return {d, -d};
    case hdUpLeft:
        return {-d, -d};
    case hdUp:
        return {0, -d};
    default:
        return {0, 0};
    }
}

const TKBaseLabel::Layout& TKBaseLabel::DoLayout() {
    if (!dirty_)
        return layout_;
    const QFont f = ScreenFont(font_, Zoom());
    const QFontMetrics fm(f);
    const QString text = DrawnText(font_, ShownCaption());
    Layout l;
    // 1. Extent of the caption and one blank, and the line height.
    l.textWidth = fm.horizontalAdvance(text + QLatin1Char(' '));
    l.lineHeight = TextHeight(fm) + InternalLeading(fm, f) + std::max(0, fm.leading());
    const int tw = l.textWidth;
    const int line = l.lineHeight;
    const QPoint so = ShadowOffset(), ho = HighlightOffset();
    const int sx = so.x(), sy = so.y(), hx = ho.x(), hy = ho.y();
    // 2. Margins keep shifted copies inside the object.
    const int mx = std::max({0, sx < 0 ? -sx : 0, hx < 0 ? -hx : 0});
    const int my = std::max({0, sy < 0 ? -sy : 0, hy < 0 ? -hy : 0});
    // 3. Block height.
    const int block = line + sy - hy;
    // 4. Fit the box.
    int w = Width(), h = Height();
    if (angle_ == 0 || angle_ == 180) {
        if (angle_ == 180 && 2 * tw < w)
            w = 2 * tw;
        if (w <= 5)
            w = tw;
        if (h > 1.2 * block)
            h = int(1.2 * block);
        if (h < block)
            h = block;
    } else {
        if (h > 1.2 * tw)
            h = int(1.2 * tw);
        if (h < 5)
            h = tw;
        if (w > 1.2 * block)
            w = int(1.2 * block);
        if (w < block)
            w = block;
    }
    if (!FitsBoxToText()) {
        w = Width();
        h = Height();
    } else if (w != Width() || h != Height()) {
        SetBounds(Left(), Top(), w, h);
    }
    // 5. The face rectangle.
    QRect t = (angle_ == 0 || angle_ == 180) ? FromLTRB(mx, my, w, my + line)
                                             : FromLTRB(my, mx, my + line, h - my);
    if (angle_ == 90)
        t.translate(0, h - (B(t) - t.top() + 1) + hx);
    else if (angle_ == 180)
        t.translate(w - (R(t) - t.left() + 1) - sy, 0);
    // 6. Shadow and highlight follow the rotation.
    const auto turned = [&](int dx, int dy) {
        switch (angle_) {
        case 90:
            return QPoint(dy, -dx);
        case 180:
            return QPoint(-dx, -dy);
        case 270:
            return QPoint(-dy, dx);
        default:
            return QPoint(dx, dy);
        }
    };
    l.face = t;
    l.shadow = t.translated(turned(sx, sy));
    l.highlight = t.translated(turned(hx, hy));
    // 7. Where each copy starts.
    const auto origin = [&](const QRect& r) {
        switch (angle_) {
        case 90:
            return QPoint(r.left(), B(r));
        case 180:
            return QPoint(R(r), B(r));
        case 270:
            return QPoint(R(r), r.top());
        default:
            return r.topLeft();
        }
    };
    l.faceOrigin = origin(l.face);
    l.shadowOrigin = origin(l.shadow);
    l.highlightOrigin = origin(l.highlight);
    // 8. Horizontal alignment of unrotated text.
    if (angle_ == 0) {
        int x0 = t.left();
        if (alignment_ == taRightJustify)
            x0 = R(t) - tw;
        else if (alignment_ == taCenter)
            x0 = (R(t) - t.left()) / 2 - tw / 2;
        l.faceOrigin.setX(x0);
        l.shadowOrigin.setX(x0 + sx);
        l.highlightOrigin.setX(x0 + hx);
    }
    layout_ = l;
    dirty_ = false;
    return layout_;
}

void TKBaseLabel::GrowToFit() {
    if (angle_ != 0)
        return;
    dirty_ = true;
    const Layout& l = DoLayout();
    const QFontMetrics fm(ScreenFont(font_, Zoom()));
    const QString text = DrawnText(font_, ShownCaption());
    const int x1 = std::max({l.face.left(), l.shadow.left(), l.highlight.left()});
    const int y1 = std::max({l.face.top(), l.shadow.top(), l.highlight.top()});
    const int needW = x1 + fm.horizontalAdvance(text + QStringLiteral("     "));
    const int needH = y1 + TextHeight(fm);
    SetBounds(Left(), Top(), std::max(Width(), needW), std::max(Height(), needH));
    Dirty();
}

void TKBaseLabel::BoundsChanged() {
    TKGraphicControl::BoundsChanged();
    dirty_ = true;
    if (Width() < 1 || Height() < 1)
        SetBounds(Left(), Top(), std::max(1, Width()), std::max(1, Height()));
}

void TKBaseLabel::Paint(QPainter& painter) {
    if (Width() < 5 || Height() < 5)
        dirty_ = true;
    const Layout& l = DoLayout();
    if (!transparent_)
        painter.fillRect(QRect(0, 0, Width(), Height()), ToQColor(backColor_));
    const QFont f = ScreenFont(font_, Zoom());
    const QFontMetrics fm(f);
    const QString text = DrawnText(font_, ShownCaption());
    painter.setFont(f);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    const auto draw = [&](const QRect& clip, const QPoint& origin, const QColor& color) {
        painter.save();
        painter.setClipRect(clip);
        painter.setPen(color);
        painter.translate(origin);
        painter.rotate(-angle_);
        painter.drawText(QPointF(0, fm.ascent()), text);
        painter.restore();
    };
    // Copies at depth 0 would lie under the face.
    if (depthShadow_ > 0 && directionShadow_ != sdNone)
        draw(l.shadow, l.shadowOrigin, ToQColor(colorShadow_));
    if (depthHighlight_ > 0 && directionHighlight_ != hdNone)
        draw(l.highlight, l.highlightOrigin, ToQColor(colorHighlight_));
    draw(l.face, l.faceOrigin, font_.ToQColor());
}

void TKBaseLabel::PrintTo(PrintSurface& surface, double x0, double y0) {
    const double p = kPixelsPerInch;
    dirty_ = true;
    const Layout& l = DoLayout();
    if (!transparent_) {
        const QColor back = ToQColor(backColor_);
        surface.UsePen(back, PenStyle::Clear, 0);
        surface.UseBrush(back, BrushStyle::Solid);
        surface.Rectangle(x0 + Left() / p, y0 + Top() / p, x0 + (Left() + Width() - 1) / p,
                          y0 + (Top() + Height() - 1) / p);
    }
    const ResolvedText face = ResolveSymbolText(font_.Name(), caption_);
    surface.UseFont(face.family, font_.Size());
    surface.SetBold(font_.Style() & fsBold);
    surface.SetItalic(font_.Style() & fsItalic);
    surface.SetTextAngle(angle_);
    surface.UseBrush(Qt::white, BrushStyle::Clear);
    // The surface puts the baseline one ascent below the given point down the
    // page; turned text needs its baseline one ascent below the start point
    // across the text's own down direction, so the point is corrected here.
    const double ascent = surface.FontAscent();
    const double rad = angle_ * M_PI / 180.0;
    const double ax = ascent * std::sin(rad);
    const double ay = ascent * std::cos(rad) - ascent;
    const auto write = [&](const QRect& r, const QPoint& origin, const QColor& color) {
        if (face.text.isEmpty())
            return;
        surface.SetTextColor(color);
        const QRectF clip(
            QPointF(x0 + (Left() + r.left()) / p - 0.03, y0 + (Top() + r.top()) / p - 0.03),
            QPointF(x0 + (Left() + R(r)) / p, y0 + (Top() + B(r)) / p));
        surface.WriteClipped(clip, x0 + (Left() + origin.x()) / p + ax,
                             y0 + (Top() + origin.y()) / p + ay, face.text);
    };
    if (depthShadow_ > 0 && directionShadow_ != sdNone)
        write(l.shadow, l.shadowOrigin, ToQColor(colorShadow_));
    if (depthHighlight_ > 0 && directionHighlight_ != hdNone)
        write(l.highlight, l.highlightOrigin, ToQColor(colorHighlight_));
    write(l.face, l.faceOrigin, font_.ToQColor());
    surface.SetTextAngle(0);
}

void TKBaseLabel::AddMenuItems(QMenu& menu) {
    menu.addSeparator();
    AddItem(menu, QStringLiteral("Font"), [this] { EditFont(); });
    AddItem(menu, QStringLiteral("3D Effects"), [this] { Edit3DEffects(); });
    QMenu* align = menu.addMenu(QStringLiteral("Alignment"));
    alignItems_.clear();
    const std::pair<const char*, int> entries[] = {
        {"Left", taLeftJustify}, {"Center", taCenter}, {"Right", taRightJustify}};
    for (const auto& [text, value] : entries) {
        QAction* a =
            AddItem(*align, QString::fromLatin1(text), [this, v = value] { SetAlignment(v); });
        a->setCheckable(true);
        a->setData(value);
        alignItems_ << a;
    }
    menu.addSeparator();
    AddItem(menu, QStringLiteral("Background Color"), [this] { EditBackColor(); });
    transparentItem_ =
        AddItem(menu, QStringLiteral("Transparent"), [this] { SetTransparent(!Transparent()); });
    transparentItem_->setCheckable(true);
}

void TKBaseLabel::AddRotationMenu(QMenu& menu) {
    menu.addSeparator();
    QMenu* rot = menu.addMenu(QStringLiteral("Rotation"));
    rotationItems_.clear();
    const std::pair<const char*, int> entries[] = {
        {"No Rotation", 0}, {"90 Degrees", 90}, {"180 Degrees", 180}, {"270 Degrees", 270}};
    for (const auto& [text, value] : entries) {
        QAction* a = AddItem(*rot, QString::fromLatin1(text), [this, v = value] {
            SetAngle(v);
            NotifyChange();
        });
        a->setCheckable(true);
        a->setData(value);
        rotationItems_ << a;
    }
}

void TKBaseLabel::UpdateMenuChecks() {
    for (QAction* a : alignItems_)
        a->setChecked(a->data().toInt() == alignment_);
    for (QAction* a : rotationItems_)
        a->setChecked(a->data().toInt() == angle_);
    if (transparentItem_)
        transparentItem_->setChecked(transparent_);
}

void TKBaseLabel::EditFont() {
    TKFont f;
    f.Assign(font_);
    if (!ChooseFont(window(), f))
        return;
    ApplyFont(f);
    NotifyChange();
}

void TKBaseLabel::Edit3DEffects() {
    if (EditInDialog<TKFont3DEffects>(*this))
        NotifyChange();
}

void TKBaseLabel::EditBackColor() {
    int32_t c = backColor_;
    if (!ChooseColor(window(), c))
        return;
    SetBackColor(c);
    SetTransparent(false);
}

const ClassInfo& TKBaseLabel::StaticInfo() {
    static const ClassInfo info = MakeInfo(
        "TKBaseLabel", &TKGraphicControl::StaticInfo(),
        {
            EnumProp<TKBaseLabel>("Alignment", AlignmentNames(), &TKBaseLabel::Alignment,
                                  &TKBaseLabel::SetAlignment, taLeftJustify),
            IntProp<TKBaseLabel, int>("DepthHighlight", &TKBaseLabel::DepthHighlight,
                                      &TKBaseLabel::SetDepthHighlight, 0),
            IntProp<TKBaseLabel, int>("DepthShadow", &TKBaseLabel::DepthShadow,
                                      &TKBaseLabel::SetDepthShadow, 0),
            EnumProp<TKBaseLabel>("DirectionHighlight",
                                  {"hdNone", "hdright", "hdLeft", "hdUpRight", "hdUpLeft", "hdUp"},
                                  &TKBaseLabel::DirectionHighlight,
                                  &TKBaseLabel::SetDirectionHighlight, hdUpLeft),
            EnumProp<TKBaseLabel>(
                "DirectionShadow",
                {"sdNone", "sdRight", "sdLeft", "sdDownRight", "sdDownLeft", "sdDown"},
                &TKBaseLabel::DirectionShadow, &TKBaseLabel::SetDirectionShadow, sdDownRight),
            ColorProp<TKBaseLabel>("colorHighlight", &TKBaseLabel::ColorHighlight,
                                   &TKBaseLabel::SetColorHighlight, 0xFFFF00),
            ColorProp<TKBaseLabel>("colorShadow", &TKBaseLabel::ColorShadow,
                                   &TKBaseLabel::SetColorShadow, 0x808080),
            IntProp<TKBaseLabel, int>("Angle", &TKBaseLabel::Angle, &TKBaseLabel::SetAngle, 0),
            [] {
                PropertyDef d = StringProp<TKBaseLabel>("Caption", &TKBaseLabel::Caption,
                                                        &TKBaseLabel::SetCaption);
                d.writeEmpty = true; // "Text" at creation
                return d;
            }(),
            ObjectProp<TKBaseLabel, TKFont>("Font", &TKBaseLabel::Font, TKFont::Table()),
            BoolProp<TKBaseLabel>("Transparent", &TKBaseLabel::Transparent,
                                  &TKBaseLabel::SetTransparent),
            ColorProp<TKBaseLabel>("BackColor", &TKBaseLabel::BackColor,
                                   &TKBaseLabel::SetBackColor),
        },
        nullptr);
    return info;
}

const ClassInfo& TKPLabel::StaticInfo() {
    static const ClassInfo info =
        MakeInfo("TKPLabel", &TKBaseLabel::StaticInfo(), {}, Factory<TKPLabel>());
    return info;
}

const ClassInfo& TKPDLabel::StaticInfo() {
    static const ClassInfo info =
        MakeInfo("TKPDLabel", &TKBaseLabel::StaticInfo(),
                 {
                     StringProp<TKPDLabel>("DataFieldName", &TKPDLabel::DataFieldName,
                                           &TKPDLabel::SetDataFieldName),
                     StringProp<TKPDLabel>("DataFieldDescript", &TKPDLabel::DataFieldDescript,
                                           &TKPDLabel::SetDataFieldDescript),
                     IntProp<TKPDLabel, int>("LengthOfText", &TKPDLabel::LengthOfText,
                                             &TKPDLabel::SetLengthOfText),
                 },
                 Factory<TKPDLabel>());
    return info;
}

// ---- TKPLabel, TKPDLabel -----------------------------------------------------------------------

void TKPLabel::EditText() {
    EditInDialog<TGetLabelText>(*this);
}

void TKPLabel::AddMenuItems(QMenu& menu) {
    TKBaseLabel::AddMenuItems(menu);
    menu.addSeparator();
    AddItem(menu, QStringLiteral("Text"), [this] { EditText(); });
    AddRotationMenu(menu);
}

void TKPDLabel::RefreshData() {
    TKDataPanel* panel = DataPanelOf(this);
    const bool printing = panel && panel->Printing();
    const QString name = FieldByDisplayLabel(panel, dataFieldDescript_);
    if (!name.isEmpty()) {
        if (panel->DisplayDataValues() || printing) {
            const QString text = TrimRight(panel->Dataset()->asString(name));
            SetCaptionQuietly(Trim(text).isEmpty() && !printing ? QStringLiteral("<blank field>")
                                                                : text);
        } else {
            SetCaptionQuietly(QLatin1Char('[') + dataFieldDescript_ + QLatin1Char(']'));
        }
    } else {
        // On paper an undefined field prints nothing, whatever text the
        // layout was saved with (a placeholder is never printed).
        SetCaptionQuietly(printing ? QString() : QStringLiteral("<undefined field>"));
    }
    Dirty();
}

// The field chooser of a data object (one-line field or memo): the choice
// becomes the object's field, and the panel shows the current record again.
template <class DataObject> void ChooseDataField(DataObject& object, bool memo) {
    TKDataPanel* panel = DataPanelOf(&object);
    TFieldSelectionBox dlg(panel ? panel->Dataset() : nullptr, memo, object.DataFieldDescript(),
                           object.window());
    if (RunModal(dlg) == QDialog::Accepted && !dlg.Chosen().isEmpty()) {
        object.SetDataFieldName(dlg.ChosenFieldName());
        object.SetDataFieldDescript(dlg.Chosen());
        object.NotifyChange();
    }
    if (panel)
        panel->RefreshAllData();
}

void TKPDLabel::EditField() {
    ChooseDataField(*this, false);
}

void TKPDLabel::AddMenuItems(QMenu& menu) {
    TKBaseLabel::AddMenuItems(menu);
    menu.addSeparator();
    AddItem(menu, QStringLiteral("Field"), [this] { EditField(); });
}

// ---- TKCounterLabel ----------------------------------------------------------------------------

TKCounterLabel::TKCounterLabel() {
    UpdateCaption();
}

void TKCounterLabel::SetStartingnumber(int v) {
    if (v == startingNumber_)
        return;
    startingNumber_ = v;
    ResetCounter();
}

void TKCounterLabel::ResetCounter() {
    value_ = startingNumber_;
    repeatCount_ = 0;
    UpdateCaption();
}

void TKCounterLabel::AdvanceCounter() {
    ++repeatCount_;
    if (repeatCount_ == repeatEach_) {
        ++value_;
        repeatCount_ = 0;
        UpdateCaption();
    }
}

void TKCounterLabel::UpdateCaption() {
    SetCaption(textBefore_ + QString::number(value_) + textAfter_);
}

void TKCounterLabel::Paint(QPainter& painter) {
    UpdateCaption();
    TKBaseLabel::Paint(painter);
    BoundsChanged();
}

void TKCounterLabel::ApplyCounterSettings(int start, int repeatEach, const QString& before,
                                          const QString& after) {
    SetStartingnumber(start);
    repeatEach_ = repeatEach;
    textBefore_ = before;
    textAfter_ = after;
    UpdateCaption();
    if (Angle() == 0) {
        SetWidth(10);
        GrowToFit();
    }
    NotifyChange();
}

void TKCounterLabel::EditCounter() {
    EditInDialog<TGetCounter>(*this);
}

void TKCounterLabel::AddMenuItems(QMenu& menu) {
    TKBaseLabel::AddMenuItems(menu);
    menu.addSeparator();
    AddItem(menu, QStringLiteral("Counter Settings"), [this] { EditCounter(); });
    AddRotationMenu(menu);
}

const ClassInfo& TKCounterLabel::StaticInfo() {
    static const ClassInfo info =
        MakeInfo("TKCounterLabel", &TKBaseLabel::StaticInfo(),
                 {
                     StringProp<TKCounterLabel>("TextBefore", &TKCounterLabel::TextBefore,
                                                &TKCounterLabel::SetTextBefore),
                     StringProp<TKCounterLabel>("TextAfter", &TKCounterLabel::TextAfter,
                                                &TKCounterLabel::SetTextAfter),
                     IntProp<TKCounterLabel, int>("Startingnumber", &TKCounterLabel::Startingnumber,
                                                  &TKCounterLabel::SetStartingnumber),
                     IntProp<TKCounterLabel, int>("RepeatEach", &TKCounterLabel::RepeatEach,
                                                  &TKCounterLabel::SetRepeatEach),
                 },
                 Factory<TKCounterLabel>());
    return info;
}

TKSymbolLabel::TKSymbolLabel() {
    Font()->SetName(QStringLiteral("WingDings"));
    Font()->SetSize(24);
    SetCaption(QStringLiteral("["));
}

void TKSymbolLabel::FitToGlyph() {
    const QFontMetrics fm(ScreenFont(FontRef(), Zoom()));
    const QString text = DrawnText(FontRef(), Caption());
    SetBounds(Left(), Top(), int(1.1 * fm.horizontalAdvance(text)), int(1.1 * TextHeight(fm)));
}

void TKSymbolLabel::BoundsChanged() {
    TKBaseLabel::BoundsChanged();
    if (!Loading())
        FitToGlyph();
}

void TKSymbolLabel::EditSymbol() {
    if (!EditInDialog<TGetSymbol>(*this))
        return;
    FitToGlyph();
    NotifyChange();
}

void TKSymbolLabel::AddMenuItems(QMenu& menu) {
    TKBaseLabel::AddMenuItems(menu);
    for (QAction* a : menu.actions()) {
        const QString t = a->text();
        if (t == QLatin1String("Font") || t == QLatin1String("Alignment") ||
            t == QLatin1String("Text"))
            menu.removeAction(a);
    }
    menu.addSeparator();
    AddItem(menu, QStringLiteral("Symbol Selector"), [this] { EditSymbol(); });
}

const ClassInfo& TKSymbolLabel::StaticInfo() {
    static const ClassInfo info =
        MakeInfo("TKSymbolLabel", &TKBaseLabel::StaticInfo(), {}, Factory<TKSymbolLabel>());
    return info;
}

QString TKDateTimeLabel::TextFor(const QDateTime& moment) const {
    const QLocale locale = QLocale::system();
    QString text;
    if (dateFormat_ == dtfDateShort)
        text = locale.toString(moment.date(), QLocale::ShortFormat);
    else if (dateFormat_ == dtfDateLong)
        text = locale.toString(moment.date(), QLocale::LongFormat);
    if (timeFormat_ == dtfTimeShort)
        text += QLatin1Char(' ') + locale.toString(moment.time(), QLocale::ShortFormat);
    else if (timeFormat_ == dtfTimeLong)
        text += QLatin1Char(' ') + locale.toString(moment.time(), QLocale::LongFormat);
    return text;
}

void TKDateTimeLabel::Paint(QPainter& painter) {
    SetCaptionQuietly(TextFor(QDateTime::currentDateTime()));
    TKBaseLabel::Paint(painter);
}

void TKDateTimeLabel::PrintTo(PrintSurface& surface, double x0, double y0) {
    SetCaptionQuietly(TextFor(QDateTime::currentDateTime()));
    TKBaseLabel::PrintTo(surface, x0, y0);
}

void TKDateTimeLabel::AddMenuItems(QMenu& menu) {
    TKBaseLabel::AddMenuItems(menu);
    menu.addSeparator();
    dateItems_.clear();
    timeItems_.clear();
    QMenu* date = menu.addMenu(QStringLiteral("Date Format"));
    const char* dates[] = {"No Date", "Windows Short Date", "Windows Long Date"};
    for (int i = 0; i < 3; ++i) {
        QAction* a = AddItem(*date, QString::fromLatin1(dates[i]), [this, i] {
            SetDateFormat(i);
            NotifyChange();
        });
        a->setCheckable(true);
        dateItems_ << a;
    }
    QMenu* time = menu.addMenu(QStringLiteral("Time Format"));
    const char* times[] = {"No Time", "Windows Short Time", "Windows Long Time"};
    for (int i = 0; i < 3; ++i) {
        QAction* a = AddItem(*time, QString::fromLatin1(times[i]), [this, i] {
            SetTimeFormat(i);
            NotifyChange();
        });
        a->setCheckable(true);
        timeItems_ << a;
    }
}

void TKDateTimeLabel::UpdateMenuChecks() {
    TKBaseLabel::UpdateMenuChecks();
    for (int i = 0; i < dateItems_.size(); ++i)
        dateItems_[i]->setChecked(i == dateFormat_);
    for (int i = 0; i < timeItems_.size(); ++i)
        timeItems_[i]->setChecked(i == timeFormat_);
}

void TKPageNumberLabel::Paint(QPainter& painter) {
    SetCaptionQuietly(QStringLiteral("##"));
    TKBaseLabel::Paint(painter);
}

void TKPageNumberLabel::PrintTo(PrintSurface& surface, double x0, double y0) {
    SetCaptionQuietly(QString::number(surface.PageNumber()));
    TKBaseLabel::PrintTo(surface, x0, y0);
}

const ClassInfo& TKDateTimeLabel::StaticInfo() {
    static const ClassInfo info = MakeInfo(
        "TKDateTimeLabel", &TKBaseLabel::StaticInfo(),
        {
            EnumProp<TKDateTimeLabel>("DateFormat", {"dtfDateNone", "dtfDateShort", "dtfDateLong"},
                                      &TKDateTimeLabel::DateFormat, &TKDateTimeLabel::SetDateFormat,
                                      dtfDateShort),
            EnumProp<TKDateTimeLabel>("TimeFormat", {"dtfTimeNone", "dtfTimeShort", "dtfTimeLong"},
                                      &TKDateTimeLabel::TimeFormat, &TKDateTimeLabel::SetTimeFormat,
                                      dtfTimeNone),
        },
        Factory<TKDateTimeLabel>());
    return info;
}

const ClassInfo& TKPageNumberLabel::StaticInfo() {
    static const ClassInfo info =
        MakeInfo("TKPageNumberLabel", &TKBaseLabel::StaticInfo(), {}, Factory<TKPageNumberLabel>());
    return info;
}

// ---- multi-line
// ------------------------------------------------------------------------------------

TKMultiLineBaseLabel::TKMultiLineBaseLabel() {
    SetBounds(0, 0, 190, 33);
    font_.OnChange = [this] {
        Dirty();
        NotifyChange();
    };
    items_.OnChange = [this] {
        Dirty();
        if (wordWrap_)
            wrapped_ = WrapToWidth(items_.Lines());
    };
}

void TKMultiLineBaseLabel::Loaded() {
    TKGraphicControl::Loaded();
    if (wordWrap_)
        wrapped_ = WrapToWidth(items_.Lines());
}

void TKMultiLineBaseLabel::ApplyFont(const TKFont& font) {
    font_.Assign(font);
    Rewrap();
    Dirty();
}

int TKMultiLineBaseLabel::LineHeight() const {
    return TextHeight(QFontMetrics(ScreenFont(font_, Zoom())));
}

namespace {
// Text widths in design pixels as the printer sees them: measured at a large
// size, so the whole-pixel screen font (10 points is 13.33 pixels, drawn at
// 13) does not make lines that run out of their box on paper.
class PaperMeasure {
public:
    PaperMeasure(const TKFont& font, double zoom) : points_(std::max(1, int(font.Size() * zoom))) {
        QFont f = ScreenFont(font, zoom);
        f.setPixelSize(kScale);
        metrics_.emplace(f);
    }
    int Width(const QString& text) const {
        const double px = points_ * double(kPixelsPerInch) / 72.0;
        return int(std::ceil(metrics_->horizontalAdvance(text) * px / kScale));
    }

private:
    static constexpr int kScale = 400;
    int points_;
    std::optional<QFontMetricsF> metrics_;
};
} // namespace

QStringList TKMultiLineBaseLabel::WrapToWidth(const QStringList& lines) const {
    const PaperMeasure measure(font_, Zoom());
    const QFontMetrics fm(ScreenFont(font_, Zoom()));
    QStringList split;
    for (const QString& l : lines)
        split << l.split(QLatin1Char('\n'));
    // A line must fit both on screen and on paper.
    return WrapText(split, Width(), [&](const QString& s) {
        const QString t = DrawnText(font_, s);
        return std::max(fm.horizontalAdvance(t), measure.Width(t));
    });
}

void TKMultiLineBaseLabel::Rewrap() {
    if (wordWrap_)
        wrapped_ = WrapToWidth(items_.Lines());
    update();
}

void TKMultiLineBaseLabel::FitToText() {
    const QFontMetrics fm(ScreenFont(font_, Zoom()));
    const QStringList lines = Lines();
    int widest = 0;
    for (const QString& l : lines)
        widest = std::max(widest, fm.horizontalAdvance(DrawnText(font_, l)));
    // The printed line pitch (points / 60 inch) may exceed the screen's line
    // height; fitted to the larger, the object prints all of its lines.
    const int pitch =
        int(std::ceil(std::max(1, int(font_.Size() * Zoom())) / 60.0 * kPixelsPerInch));
    SetBounds(Left(), Top(), std::max(Width(), widest),
              int(lines.size()) * std::max(LineHeight(), pitch));
}

void TKMultiLineBaseLabel::BoundsChanged() {
    TKGraphicControl::BoundsChanged();
    if (wordWrap_ && !Loading())
        Rewrap();
}

void TKMultiLineBaseLabel::Paint(QPainter& painter) {
    QStringList lines = Lines();
    if (lines.isEmpty())
        lines << BlankText();
    else if (lines.size() == 1 && Trim(lines.first()).isEmpty())
        lines << BlankText();
    const QFont f = ScreenFont(font_, Zoom());
    const QFontMetrics fm(f);
    const int step = TextHeight(fm);
    painter.setFont(f);
    painter.setPen(font_.ToQColor());
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    int y = 0;
    for (const QString& line : lines) {
        const QString text = DrawnText(font_, line);
        const int w = fm.horizontalAdvance(text);
        int x = 0;
        if (alignment_ == taRightJustify)
            x = Width() - (w + 1);
        else if (alignment_ == taCenter)
            x = Width() / 2 - w / 2 + 1;
        painter.drawText(QPoint(x, y + fm.ascent()), text);
        y += step;
    }
}

void TKMultiLineBaseLabel::PrintTo(PrintSurface& surface, double x0, double y0) {
    const double p = kPixelsPerInch;
    const ResolvedText face = ResolveSymbolText(font_.Name(), QString());
    surface.UseFont(face.family, font_.Size());
    surface.SetBold(font_.Style() & fsBold);
    surface.SetTextColor(font_.ToQColor());
    surface.SetItalic(font_.Style() & fsItalic);
    surface.SetTextAngle(0);
    surface.UseBrush(Qt::white, BrushStyle::Clear);
    const DeviceMetrics& m = surface.Metrics();
    const double pitch = std::nearbyint(surface.LineSpacing() * m.dpiY) / m.dpiY;
    const QRectF clip(QPointF(x0 + Left() / p, y0 + Top() / p),
                      QPointF(x0 + (Left() + Width()) / p, y0 + (Top() + Height()) / p));
    // Horizontal placement in device pixels.
    const int e = int(m.dpiX / kPixelsPerInch);
    const int rectW = int(std::nearbyint(clip.width() * m.dpiX));
    double y = clip.top();
    for (const QString& line : Lines()) {
        if (y >= clip.bottom() - 1e-9)
            break;
        const QString text = DrawnText(font_, line);
        const int w = int(std::nearbyint(surface.MeasureText(text) * m.dpiX));
        int dx = 0;
        if (alignment_ == taRightJustify)
            dx = rectW - w - e;
        else if (alignment_ == taCenter)
            dx = rectW / 2 + e - w / 2;
        if (!text.isEmpty())
            surface.WriteClipped(clip, clip.left() + dx / m.dpiX, y, text);
        y += pitch;
    }
}

void TKMultiLineBaseLabel::EditFont() {
    TKFont f;
    f.Assign(font_);
    if (!ChooseFont(window(), f))
        return;
    ApplyFont(f);
    if (TKDataPanel* panel = DataPanelOf(this))
        panel->RefreshAllData();
    NotifyChange();
}

void TKMultiLineBaseLabel::AddMenuItems(QMenu& menu) {
    menu.addSeparator();
    AddItem(menu, QStringLiteral("Font"), [this] { EditFont(); });
    QMenu* align = menu.addMenu(QStringLiteral("Alignment"));
    alignItems_.clear();
    const std::pair<const char*, int> entries[] = {
        {"Left", taLeftJustify}, {"Center", taCenter}, {"Right", taRightJustify}};
    for (const auto& [text, value] : entries) {
        QAction* a =
            AddItem(*align, QString::fromLatin1(text), [this, v = value] { SetAlignment(v); });
        a->setCheckable(true);
        a->setData(value);
        alignItems_ << a;
    }
}

void TKMultiLineBaseLabel::AddWordWrapItem(QMenu& menu) {
    wrapItem_ = AddItem(menu, QStringLiteral("Word Wrap"), [this] {
        SetWordWrap(!WordWrap());
        Rewrap();
        NotifyChange();
    });
    wrapItem_->setCheckable(true);
}

void TKMultiLineBaseLabel::UpdateMenuChecks() {
    for (QAction* a : alignItems_)
        a->setChecked(a->data().toInt() == alignment_);
    if (wrapItem_)
        wrapItem_->setChecked(wordWrap_);
}

void TKMultiLineLabel::EditText() {
    TMultiLineTextEditor dlg(window());
    dlg.Load(*this);
    if (RunModal(dlg) != QDialog::Accepted)
        return;
    Items()->SetLines(dlg.Lines());
    Rewrap();
    FitToText();
    NotifyChange();
}

void TKMultiLineLabel::EditAfterPlacing() {
    EditText();
}

void TKMultiLineLabel::AddMenuItems(QMenu& menu) {
    TKMultiLineBaseLabel::AddMenuItems(menu);
    menu.addSeparator();
    AddItem(menu, QStringLiteral("Text"), [this] { EditText(); });
    AddWordWrapItem(menu);
}

void TKDMultiLineLabel::RefreshData() {
    TKDataPanel* panel = DataPanelOf(this);
    const bool printing = panel && panel->Printing();
    const QString name = FieldByDisplayLabel(panel, dataFieldDescript_);
    QStringList lines;
    if (!name.isEmpty()) {
        if (panel->DisplayDataValues() || printing) {
            QString memo = panel->Dataset()->memo(name);
            if (!memo.isEmpty()) {
                memo.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
                memo.replace(QLatin1Char('\r'), QLatin1Char('\n'));
                const QStringList raw = memo.split(QLatin1Char('\n'));
                lines = WordWrap() ? WrapToWidth(raw) : raw;
            }
        } else {
            lines << QLatin1Char('[') + dataFieldDescript_ + QLatin1Char(']');
        }
    } else if (!printing) {
        lines << QStringLiteral("<undefined memo>");
    }
    Items()->SetLines(lines);
    SetWrapped(WordWrap() ? lines : QStringList());
    Dirty();
}

void TKDMultiLineLabel::ClearData() {
    Items()->SetLines({});
    SetWrapped({});
    Dirty();
}

void TKDMultiLineLabel::EditField() {
    ChooseDataField(*this, true);
}

void TKDMultiLineLabel::AddMenuItems(QMenu& menu) {
    TKMultiLineBaseLabel::AddMenuItems(menu);
    menu.addSeparator();
    AddItem(menu, QStringLiteral("Memo Field"), [this] { EditField(); });
    AddWordWrapItem(menu);
}

AddressOptions TKDMultiLineAddressLabel::Options() const {
    AddressOptions o;
    o.useName = useName_;
    o.useTitle = useTitle_;
    o.useCompany = useCompany_;
    o.useStreet = useStreet_;
    o.useStreet2 = useStreet2_;
    o.useCityState = useCityState_;
    o.useZip = useZip_;
    o.usePhone = usePhone_;
    o.useCountry = useCountry_;
    o.upperCase = upperCase_;
    o.zipOptions = zipOptions_;
    return o;
}

void TKDMultiLineAddressLabel::SetOptions(const AddressOptions& o) {
    useName_ = o.useName;
    useTitle_ = o.useTitle;
    useCompany_ = o.useCompany;
    useStreet_ = o.useStreet;
    useStreet2_ = o.useStreet2;
    useCityState_ = o.useCityState;
    useZip_ = o.useZip;
    usePhone_ = o.usePhone;
    useCountry_ = o.useCountry;
    upperCase_ = o.upperCase;
    zipOptions_ = o.zipOptions;
    Dirty();
}

void TKDMultiLineAddressLabel::RefreshData() {
    TKDataPanel* panel = DataPanelOf(this);
    if (!panel)
        return;
    QStringList lines;
    if (panel->DisplayDataValues() || panel->Printing()) {
        const TableDataset* ds = panel->DatasetOpen() ? panel->Dataset() : nullptr;
        lines = ComposeAddress(Options(), [ds](const QString& name) -> std::optional<QString> {
            if (!ds || !ds->hasField(name))
                return std::nullopt;
            return TrimRight(ds->asString(name));
        });
    } else {
        lines << QStringLiteral("[Address Label]");
    }
    Items()->SetLines(lines);
    Rewrap();
    Dirty();
}

void TKDMultiLineAddressLabel::ClearData() {
    Items()->SetLines({});
    SetWrapped({});
    Dirty();
}

void TKDMultiLineAddressLabel::EditLayout() {
    TAddressLayout dlg(window());
    dlg.Load(Options());
    if (RunModal(dlg) != QDialog::Accepted)
        return;
    SetOptions(dlg.Options());
    if (TKDataPanel* panel = DataPanelOf(this))
        panel->RefreshAllData();
    NotifyChange();
}

void TKDMultiLineAddressLabel::EditAfterPlacing() {
    FitToText();
}

void TKDMultiLineAddressLabel::AddMenuItems(QMenu& menu) {
    TKMultiLineBaseLabel::AddMenuItems(menu);
    menu.addSeparator();
    AddItem(menu, QStringLiteral("Address Layout"), [this] { EditLayout(); });
}

const ClassInfo& TKMultiLineBaseLabel::StaticInfo() {
    static const ClassInfo info = MakeInfo(
        "TKMultiLineBaseLabel", &TKGraphicControl::StaticInfo(),
        {
            ObjectProp<TKMultiLineBaseLabel, TKStrings>("Items", &TKMultiLineBaseLabel::Items,
                                                        TKStrings::Table()),
            BoolProp<TKMultiLineBaseLabel>("AutoSize", &TKMultiLineBaseLabel::AutoSize,
                                           &TKMultiLineBaseLabel::SetAutoSize),
            EnumProp<TKMultiLineBaseLabel>("Alignment", AlignmentNames(),
                                           &TKMultiLineBaseLabel::Alignment,
                                           &TKMultiLineBaseLabel::SetAlignment, taLeftJustify),
            ObjectProp<TKMultiLineBaseLabel, TKFont>("Font", &TKMultiLineBaseLabel::Font,
                                                     TKFont::Table()),
            BoolProp<TKMultiLineBaseLabel>("WordWrap", &TKMultiLineBaseLabel::WordWrap,
                                           &TKMultiLineBaseLabel::SetWordWrap, false),
        },
        nullptr);
    return info;
}

const ClassInfo& TKMultiLineLabel::StaticInfo() {
    static const ClassInfo info = MakeInfo("TKMultiLineLabel", &TKMultiLineBaseLabel::StaticInfo(),
                                           {}, Factory<TKMultiLineLabel>());
    return info;
}

const ClassInfo& TKDMultiLineLabel::StaticInfo() {
    static const ClassInfo info = MakeInfo(
        "TKDMultiLineLabel", &TKMultiLineBaseLabel::StaticInfo(),
        {
            StringProp<TKDMultiLineLabel>("DataFieldName", &TKDMultiLineLabel::DataFieldName,
                                          &TKDMultiLineLabel::SetDataFieldName),
            StringProp<TKDMultiLineLabel>("DataFieldDescript",
                                          &TKDMultiLineLabel::DataFieldDescript,
                                          &TKDMultiLineLabel::SetDataFieldDescript),
        },
        Factory<TKDMultiLineLabel>());
    return info;
}

const ClassInfo& TKDMultiLineAddressLabel::StaticInfo() {
    using T = TKDMultiLineAddressLabel;
    static const ClassInfo info = MakeInfo(
        "TKDMultiLineAddressLabel", &TKMultiLineBaseLabel::StaticInfo(),
        {
            BoolProp<T>("UseName", &T::UseName, &T::SetUseName),
            BoolProp<T>("UseTitle", &T::UseTitle, &T::SetUseTitle),
            BoolProp<T>("UseCompany", &T::UseCompany, &T::SetUseCompany),
            BoolProp<T>("UseStreet", &T::UseStreet, &T::SetUseStreet),
            BoolProp<T>("UseStreet2", &T::UseStreet2, &T::SetUseStreet2),
            BoolProp<T>("UseCityState", &T::UseCityState, &T::SetUseCityState),
            BoolProp<T>("UseZip", &T::UseZip, &T::SetUseZip),
            BoolProp<T>("UsePhone", &T::UsePhone, &T::SetUsePhone),
            BoolProp<T>("UseCountry", &T::UseCountry, &T::SetUseCountry),
            EnumProp<T>("ZipOptions",
                        {"zoAfterState", "zoBeforeCity", "zoAfterCountry", "zoBeforeCountry"},
                        &T::ZipOptions, &T::SetZipOptions),
            BoolProp<T>("UpperCase", &T::UpperCase, &T::SetUpperCase),
        },
        Factory<T>());
    return info;
}

} // namespace qb
