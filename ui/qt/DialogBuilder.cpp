#include "ui/qt/DialogBuilder.h"

#include "ui/qt/CBitmapButton.h"
#include "ui/qt/CMyCheckListBox.h"
#include "ui/qt/Pictures.h"

#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>
#include <cmath>
#include <cstring>

QWidget* DialogControls::operator[](int id) const
{
    auto found = widgets.find(id);
    return found != widgets.end() ? found->second : nullptr;
}

void CBitmapButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, isDown() ? m_down : m_up);
}

QFont TemplateFont(const DialogTemplate& dialog)
{
    // The classic face names stand for "the system's dialog font": take the
    // desktop's own family at the template's size.
    QFont font = QApplication::font();
    font.setPointSize(dialog.pointSize);
    return font;
}

DialogUnits UnitsOf(const QFont& font)
{
    QFontMetrics metrics(font);
    int width = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    // Lines of wrapped text step by the line spacing; with it as the unit a
    // text fits the lines its template height gives it.
    return {(width / 26 + 1) / 2, static_cast<int>(std::ceil(QFontMetricsF(font).lineSpacing()))};
}

namespace {

Qt::Alignment AlignmentOf(unsigned style)
{
    Qt::Alignment horizontal = (style & kCenter) ? Qt::AlignHCenter : (style & kRight) ? Qt::AlignRight : Qt::AlignLeft;
    return horizontal | Qt::AlignTop;
}

constexpr char kTemplateRect[] = "templateRect";

QWidget* Create(const ControlTemplate& control, QWidget* window, const DialogUnits& units)
{
    QRect rect = units.Rect(control.x, control.y, control.width, control.height);
    QString text = QString::fromUtf8(control.text);
    QWidget* widget = nullptr;
    switch (control.kind) {
    case ControlKind::Static: {
        auto* label = new QLabel(window);
        label->setTextFormat(Qt::PlainText);
        label->setAlignment(AlignmentOf(control.style));
        label->setWordWrap(rect.height() >= 2 * units.baseY);
        label->setProperty(kTemplateRect, rect);
        widget = label;
        break;
    }
    case ControlKind::Bitmap:
    case ControlKind::Icon: {
        // A picture control takes the size of its picture.
        auto* label = new QLabel(window);
        QPixmap picture = Picture(control.text);
        label->setPixmap(picture);
        rect.setSize(picture.size());
        widget = label;
        break;
    }
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
        auto* button = new QPushButton(text, window);
        button->setAutoDefault(false);
        button->setDefault(control.kind == ControlKind::DefPushButton);
        widget = button;
        break;
    }
    case ControlKind::OwnerDrawButton:
        widget = new CBitmapButton(window);
        widget->setAccessibleName(text);
        break;
    case ControlKind::RadioButton:
        widget = new QRadioButton(text, window);
        break;
    case ControlKind::Edit:
        widget = new QLineEdit(window);
        break;
    case ControlKind::DropDownList: {
        auto* combo = new QComboBox(window);
        combo->setEditable(false);
        // The template's height includes the open list; the closed box is
        // as high as the box needs.
        rect.setHeight(combo->sizeHint().height());
        widget = combo;
        break;
    }
    case ControlKind::OwnerDrawListBox:
        widget = new CMyCheckListBox(window);
        break;
    case ControlKind::ProgressBar: {
        auto* bar = new QProgressBar(window);
        bar->setTextVisible(false);
        widget = bar;
        break;
    }
    case ControlKind::EtchedLine: {
        auto* line = new QFrame(window);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        widget = line;
        break;
    }
    }
    widget->setGeometry(rect);
    if (control.kind == ControlKind::Static)
        SetControlText(widget, text);
    // Tab reaches only the controls marked as tab stops.
    if (control.style & kTabStop)
        widget->setFocusPolicy(Qt::StrongFocus);
    else if (widget->focusPolicy() != Qt::NoFocus)
        widget->setFocusPolicy(Qt::ClickFocus);
    if (control.style & kDisabled)
        widget->setEnabled(false);
    widget->setVisible(!(control.style & kHidden));
    return widget;
}

}  // namespace

void SetControlText(QWidget* control, const QString& text)
{
    auto* label = qobject_cast<QLabel*>(control);
    if (label == nullptr)
        return;
    label->setText(text);
    // A label of one line whose text is a little wider than its box in this
    // font grows, away from the side it is aligned to, so that the text is
    // read whole; it never shrinks below its template size.
    QRect rect = label->property(kTemplateRect).toRect();
    if (label->wordWrap() || !rect.isValid())
        return;
    int extra = label->fontMetrics().horizontalAdvance(text) - rect.width();
    if (extra > 0) {
        if (label->alignment() & Qt::AlignRight)
            rect.adjust(-extra, 0, 0, 0);
        else if (label->alignment() & Qt::AlignHCenter)
            rect.adjust(-extra / 2, 0, extra - extra / 2, 0);
        else
            rect.adjust(0, 0, extra, 0);
    }
    label->setGeometry(rect);
}

void SetPathText(QWidget* control, const QString& path)
{
    auto* label = qobject_cast<QLabel*>(control);
    if (label == nullptr)
        return;
    QRect rect = label->property(kTemplateRect).toRect();
    QWidget* window = label->parentWidget();
    int room = rect.width();
    if (window != nullptr && rect.isValid()) {
        const int margin = UnitsOf(window->font()).X(7);
        room = std::max(room, window->width() - rect.left() - margin);
    }
    SetControlText(label, label->fontMetrics().elidedText(path, Qt::ElideMiddle, room));
    label->setToolTip(path);
}

DialogControls BuildDialog(int templateId, QWidget* window)
{
    DialogControls controls;
    const DialogTemplate* dialog = FindDialogTemplate(templateId);
    if (dialog == nullptr)
        return controls;
    QFont font = TemplateFont(*dialog);
    window->setFont(font);
    DialogUnits units = UnitsOf(font);
    for (const ControlTemplate& control : dialog->controls) {
        QWidget* widget = Create(control, window, units);
        if (control.id != kNoId)
            controls.widgets[control.id] = widget;
    }
    window->setFixedSize(units.X(dialog->width), units.Y(dialog->height));
    if (*dialog->caption != '\0')
        window->setWindowTitle(QString::fromUtf8(dialog->caption));
    return controls;
}
