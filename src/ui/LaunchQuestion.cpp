#include "ui/LaunchQuestion.h"

#include <QMessageBox>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "ui/QtMessageBox.h"
#include "ui/UiText.h"

namespace ui {

// One question's state, shared by the asking thread and the box.
struct LaunchQuestionWindow::Question {
    std::mutex lock;
    std::condition_variable changed;
    bool answered = false;
    bool yes = false;
    bool abandoned = false; // the asker has gone: the box must close (or never open)
};

LaunchQuestionWindow::LaunchQuestionWindow(QWidget* owner) : owner_(owner) {}

LaunchQuestionWindow::~LaunchQuestionWindow() {
    if (box_) delete box_.data();
}

bool LaunchQuestionWindow::Ask(const std::string& text, delivery::IF_OperationCollector& collector) {
    auto q = std::make_shared<Question>();
    const QString shown = DisplayText(text);
    QMetaObject::invokeMethod(
        this, [this, q, shown] { Open(q, shown); }, Qt::QueuedConnection);

    std::unique_lock<std::mutex> guard(q->lock);
    while (!q->answered) {
        if (collector.IsStopRequested()) {
            q->abandoned = true;
            guard.unlock();
            // Never wait for the user-interface thread here: it may be the one waiting
            // for this worker to stop.
            QMetaObject::invokeMethod(
                this, [this, q] { Close(q); }, Qt::QueuedConnection);
            return false;
        }
        if (collector.TakeNewWork()) {
            QMetaObject::invokeMethod(
                this, [this, q] { BringForward(q); }, Qt::QueuedConnection);
        }
        q->changed.wait_for(guard, std::chrono::milliseconds(50));
    }
    return q->yes;
}

void LaunchQuestionWindow::Open(const std::shared_ptr<Question>& q, const QString& text) {
    {
        std::lock_guard<std::mutex> guard(q->lock);
        if (q->abandoned) return;
    }
    QMessageBox* box = CreateMessageBox(std::string(), core::kMbYesNo | core::kMbIconQuestion, owner_);
    box->setText(text);
    box->setWindowModality(Qt::NonModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, box, [box, q] {
        std::lock_guard<std::mutex> guard(q->lock);
        q->answered = true;
        q->yes = MessageResultOf(*box) == core::kIdYes;
        q->changed.notify_all();
    });
    box_ = box;
    box->show();
}

void LaunchQuestionWindow::Close(const std::shared_ptr<Question>&) {
    if (box_) box_->done(QMessageBox::No);
}

void LaunchQuestionWindow::BringForward(const std::shared_ptr<Question>&) {
    if (!box_) return;
    ++raises_;
    if (!(box_->windowFlags() & Qt::WindowStaysOnTopHint)) {
        box_->setWindowFlag(Qt::WindowStaysOnTopHint, true);
        box_->show(); // a changed flag needs the window shown again
    }
    box_->raise();
    box_->activateWindow();
}

} // namespace ui
