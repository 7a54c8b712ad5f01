#pragma once
// A push button drawn from image files: the normal picture, a hover picture while the
// mouse is over it, and one picture for both the pressed and the disabled state.

#include <QAbstractButton>
#include <QPixmap>
#include <QString>

namespace ui {

class CSkinButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CSkinButton(QWidget* parent = nullptr);

    // Loads the four images, replacing the earlier ones. The third is kept but never
    // drawn. The button then takes the first image's size, its top-left corner staying
    // where it is; when the first image cannot be loaded the size is left alone. A
    // missing image draws nothing in its state.
    void SetImages(const QString& normal, const QString& hover, const QString& third, const QString& pressedOrDisabled);

    bool IsHovered() const { return hover_; }
    // Which picture the current state draws: 0 normal, 1 hover, 3 pressed, checked or
    // disabled.
    int CurrentImageIndex() const;
    const QPixmap& Image(int index) const { return images_[index]; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    QPixmap images_[4];
    bool hover_ = false;
};

} // namespace ui
