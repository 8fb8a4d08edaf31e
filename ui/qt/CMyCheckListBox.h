#pragma once
// The port list: every port of the port table, in text order without regard
// to letter case. A port with a modem is drawn in normal colours on two
// lines, its text and below it what the modem said about itself; a port
// without one is drawn grey and never highlighted, even when selected.

#include <QListWidget>
#include <QStyledItemDelegate>

class CMyCheckListBox : public QListWidget {
public:
    explicit CMyCheckListBox(QWidget* parent = nullptr);

    // Adds an item at its sorted place, storing the port table row with it;
    // returns its index.
    int AddString(const QString& text, int row);
    int GetItemData(int index) const;
    int GetCurSel() const { return currentRow(); }
    void SetCurSel(int index);

    // One line of the list's font, two for a port with a modem.
    int MeasureItem(int index) const;
    void DrawItem(QPainter* painter, const QStyleOptionViewItem& option, int index) const;

    static const QColor kGreyText;
};

class CheckListDelegate : public QStyledItemDelegate {
public:
    explicit CheckListDelegate(CMyCheckListBox* list) : QStyledItemDelegate(list), m_list(list) {}
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    CMyCheckListBox* m_list;
};
