#include "ui/SkinButton.h"

#include <QMouseEvent>
#include <QPainter>

namespace ui {

CSkinButton::CSkinButton(QWidget* parent) : QAbstractButton(parent) {
    setAttribute(Qt::WA_Hover, true);
    setAttribute(Qt::WA_TranslucentBackground, true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(Qt::PointingHandCursor);
}

void CSkinButton::SetImages(const QString& normal, const QString& hover, const QString& third,
                            const QString& pressedOrDisabled) {
    const QString paths[4] = {normal, hover, third, pressedOrDisabled};
    for (int i = 0; i < 4; ++i) images_[i] = paths[i].isEmpty() ? QPixmap() : QPixmap(paths[i]);
    if (!images_[0].isNull()) {
        // resize() keeps the top-left corner.
        resize(images_[0].size() / images_[0].devicePixelRatio());
    }
    updateGeometry();
    update();
}

int CSkinButton::CurrentImageIndex() const {
    // A checked button (a selected tab) keeps the pressed picture.
    if (!isEnabled() || isDown() || isChecked()) return 3;
    return hover_ ? 1 : 0;
}

QSize CSkinButton::sizeHint() const {
    if (!images_[0].isNull()) return images_[0].size() / images_[0].devicePixelRatio();
    return size();
}

void CSkinButton::paintEvent(QPaintEvent*) {
    const QPixmap& image = images_[CurrentImageIndex()];
    if (image.isNull()) return;
    QPainter painter(this);
    painter.drawPixmap(0, 0, image);
    if (hasFocus() && !isDown() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
        // A quiet focus mark, once the keyboard is in use, shows where Space will act.
        QPen pen(palette().color(QPalette::Highlight));
        pen.setStyle(Qt::DotLine);
        painter.setPen(pen);
        painter.drawRect(rect().adjusted(1, 1, -2, -2));
    }
}

void CSkinButton::enterEvent(QEnterEvent* event) {
    if (!hover_) {
        hover_ = true;
        update();
    }
    QAbstractButton::enterEvent(event);
}

void CSkinButton::leaveEvent(QEvent* event) {
    hover_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void CSkinButton::mousePressEvent(QMouseEvent* event) {
    // The pressed picture replaces the hover picture until the mouse comes back.
    if (event->button() == Qt::LeftButton) hover_ = false;
    QAbstractButton::mousePressEvent(event);
}

void CSkinButton::mouseDoubleClickEvent(QMouseEvent* event) {
    // A quick second click is a click of its own, not a double click to be ignored.
    mousePressEvent(event);
}

void CSkinButton::focusOutEvent(QFocusEvent* event) {
    if (mouseGrabber() == this) releaseMouse();
    QAbstractButton::focusOutEvent(event);
}

} // namespace ui
