#pragma once
// The program's message boxes on Qt: the style's button set and icon become the box's
// buttons and icon, and the button the user pressed comes back as its result number.

#include <QPointer>
#include <QWidget>

#include "core/Texts.h"

class QMessageBox;

namespace ui {

class QtMessageBox : public core::IMessageBox {
public:
    // Boxes are owned by `owner` (the main window), or by the active window when none.
    explicit QtMessageBox(QWidget* owner = nullptr) : owner_(owner) {}
    // Shows the box modally and returns the button chosen (IDOK, IDYES, ...). May be
    // called from any thread: the box is always shown on the user-interface thread.
    int Show(const std::string& text, unsigned style, unsigned helpContext) override;
    void SetOwner(QWidget* owner) { owner_ = owner; }

private:
    int ShowHere(const std::string& text, unsigned style);
    QPointer<QWidget> owner_;
};

// Builds (but does not show) the box for a text and style: the pieces the program's
// boxes share, used by the launch question too.
QMessageBox* CreateMessageBox(const std::string& text, unsigned style, QWidget* owner);
// The result number for the button that closed a box made by CreateMessageBox.
int MessageResultOf(QMessageBox& box);

} // namespace ui
