#include "ui/qt/CMyCheckListBox.h"

#include "ports/PortTable.h"
#include "ui/rules/WizardRules.h"

#include <QPainter>
#include <QStyle>

const QColor CMyCheckListBox::kGreyText(128, 128, 128);

CMyCheckListBox::CMyCheckListBox(QWidget* parent) : QListWidget(parent)
{
    setItemDelegate(new CheckListDelegate(this));
    setSelectionMode(QAbstractItemView::SingleSelection);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setUniformItemSizes(false);
    setFrameShape(QFrame::Box);
}

int CMyCheckListBox::AddString(const QString& text, int row)
{
    int index = 0;
    while (index < count() && QString::compare(item(index)->text(), text, Qt::CaseInsensitive) <= 0)
        ++index;
    auto* entry = new QListWidgetItem(text);
    entry->setData(Qt::UserRole, row);
    insertItem(index, entry);
    return index;
}

int CMyCheckListBox::GetItemData(int index) const
{
    const QListWidgetItem* entry = item(index);
    return entry != nullptr ? entry->data(Qt::UserRole).toInt() : -1;
}

void CMyCheckListBox::SetCurSel(int index) { setCurrentRow(index); }

int CMyCheckListBox::MeasureItem(int index) const
{
    return LookOfPortRow(GetItemData(index), false, isEnabled()).lines * fontMetrics().height();
}

void CMyCheckListBox::DrawItem(QPainter* painter, const QStyleOptionViewItem& option, int index) const
{
    const int row = GetItemData(index);
    if (index < 0 || row < 0 || row >= MAX_PORTS)
        return;
    const QRect rect = option.rect;
    const PortRowLook look = LookOfPortRow(row, option.state.testFlag(QStyle::State_Selected), isEnabled());

    QColor text = look.grey ? kGreyText : palette().color(QPalette::Active, QPalette::WindowText);
    QColor background = palette().color(QPalette::Active, QPalette::Base);
    if (look.highlighted) {
        text = palette().color(QPalette::Active, QPalette::HighlightedText);
        background = palette().color(QPalette::Active, QPalette::Highlight);
    }

    painter->save();
    painter->fillRect(rect, background);
    painter->setPen(text);
    painter->setFont(font());
    const int ascent = painter->fontMetrics().ascent();
    painter->drawText(QPoint(rect.left(), rect.top() + ascent), item(index)->text());
    if (!look.secondLine.empty()) {
        painter->drawText(QPoint(rect.left(), (rect.top() + rect.bottom() + 1) / 2 + ascent),
                          QString::fromStdString(look.secondLine));
    }
    painter->restore();

    if (option.state & QStyle::State_HasFocus) {
        // The focus rectangle whenever the list has the focus, however it
        // came: a dotted frame that inverts what is under it, so that it
        // shows on a grey row's white as on a modem row's highlight. (The
        // desktop styles draw theirs only after a key was used, and dark.)
        painter->save();
        painter->setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        QPen pen(Qt::white, 1, Qt::DotLine);
        painter->setPen(pen);
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(rect.adjusted(0, 0, -1, -1));
        painter->restore();
    }
}

void CheckListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    m_list->DrawItem(painter, option, index.row());
}

QSize CheckListDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    return {option.rect.width(), m_list->MeasureItem(index.row())};
}
