#pragma once
// The question asked before queued deliveries from device-started scans run. The
// worker thread asks; the box lives on the user-interface thread beside the main window
// without blocking it. While it is open a stop request closes it with "no", and new
// work brings it to the front and keeps it on top.

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <atomic>
#include <memory>

#include "delivery/LaunchTaskWorker.h"

#include <QMessageBox>

namespace ui {

class LaunchQuestionWindow : public QObject, public delivery::ILaunchQuestion {
    Q_OBJECT
public:
    // Create it on the user-interface thread; `owner` is the main window.
    explicit LaunchQuestionWindow(QWidget* owner = nullptr);
    ~LaunchQuestionWindow() override;

    // Called on the worker thread; returns when the user answered or a stop was
    // requested (then false).
    bool Ask(const std::string& text, delivery::IF_OperationCollector& collector) override;

    // The open question box, if any (user-interface thread).
    QMessageBox* OpenBox() const { return box_; }
    // How often new work brought the box forward.
    int RaiseCount() const { return raises_.load(); }

private:
    struct Question;
    void Open(const std::shared_ptr<Question>& q, const QString& text);
    void Close(const std::shared_ptr<Question>& q);
    void BringForward(const std::shared_ptr<Question>& q);

    QPointer<QWidget> owner_;
    QPointer<QMessageBox> box_;
    std::atomic<int> raises_{0};
};

} // namespace ui
