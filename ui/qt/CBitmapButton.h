#pragma once
// A push button drawn with two pictures, one for its normal state and one
// while it is held down, copied unscaled from its top-left corner.

#include <QAbstractButton>
#include <QPixmap>

class CBitmapButton : public QAbstractButton {
public:
    explicit CBitmapButton(QWidget* parent = nullptr) : QAbstractButton(parent) { setFocusPolicy(Qt::StrongFocus); }

    void LoadBitmaps(const QPixmap& up, const QPixmap& down)
    {
        m_up = up;
        m_down = down;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QPixmap m_up;
    QPixmap m_down;
};
