#include "ui/CMyCheckListBox.h"

#include "ports/PortTable.h"

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

void CMyCheckListBox::SetCurSel(int index)
{
    setCurrentRow(index);
}

namespace {

const PortEntry* RowOf(const CMyCheckListBox& list, int index)
{
    int row = list.GetItemData(index);
    return row >= 0 && row < MAX_PORTS ? &PortTable[row] : nullptr;
}

} // namespace

int CMyCheckListBox::MeasureItem(int index) const
{
    int height = fontMetrics().height();
    const PortEntry* row = RowOf(*this, index);
    return row != nullptr && row->modemFound ? 2 * height : height;
}

void CMyCheckListBox::DrawItem(QPainter* painter, const QStyleOptionViewItem& option, int index) const
{
    const PortEntry* row = RowOf(*this, index);
    if (index < 0 || row == nullptr)
        return;
    const QRect rect = option.rect;
    const bool grey = !isEnabled() || !row->modemFound;
    const bool selected = option.state & QStyle::State_Selected;

    QColor text = grey ? kGreyText : palette().color(QPalette::Active, QPalette::WindowText);
    QColor background = palette().color(QPalette::Active, QPalette::Base);
    if (!grey && selected) {
        text = palette().color(QPalette::Active, QPalette::HighlightedText);
        background = palette().color(QPalette::Active, QPalette::Highlight);
    }

    painter->save();
    painter->fillRect(rect, background);
    painter->setPen(text);
    painter->setFont(font());
    const int ascent = painter->fontMetrics().ascent();
    painter->drawText(QPoint(rect.left(), rect.top() + ascent), item(index)->text());
    if (!row->identification.empty()) {
        // The identification, indented by seven blanks, on the second line.
        QString second = QStringLiteral("       ") + QString::fromStdString(row->identification);
        painter->drawText(QPoint(rect.left(), (rect.top() + rect.bottom() + 1) / 2 + ascent), second);
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
