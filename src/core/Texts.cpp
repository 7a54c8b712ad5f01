#include "core/Texts.h"

#include <atomic>

#include "settings/ProductData.h"
#include "settings/Profile.h"

namespace core {
namespace {

std::shared_ptr<IMessageBox>& BoxSlot() {
    static std::shared_ptr<IMessageBox> slot;
    return slot;
}
std::shared_ptr<IScanStatus>& StatusSlot() {
    static std::shared_ptr<IScanStatus> slot;
    return slot;
}

thread_local MessageCapture* t_capture = nullptr;

} // namespace

MessageCapture::MessageCapture() : outer_(t_capture) { t_capture = this; }
MessageCapture::~MessageCapture() { t_capture = outer_; }

std::vector<HeldMessage> MessageCapture::Take() {
    std::vector<HeldMessage> taken;
    taken.swap(held_);
    return taken;
}

void ShowHeldMessages(const std::vector<HeldMessage>& messages) {
    for (const HeldMessage& m : messages) ShowMessage(m.text, m.style, m.helpContext);
}

std::string LoadMessageText(int number) {
    return settings::ReadProfileString(settings::TextFilePath(), "Messages", std::to_string(number), "");
}

// The settings read the same section for their own captions: one reader serves both.
std::string LoadUIString(const std::string& key) { return settings::ReadUIText(key); }

void SetMessageBox(std::shared_ptr<IMessageBox> box) { std::atomic_store(&BoxSlot(), std::move(box)); }
void SetScanStatus(std::shared_ptr<IScanStatus> status) { std::atomic_store(&StatusSlot(), std::move(status)); }

int ShowMessage(const std::string& text, unsigned style, unsigned helpContext) {
    if (t_capture) {
        t_capture->Hold({text, style, helpContext});
        return 0;
    }
    auto status = std::atomic_load(&StatusSlot());
    if (status && status->Unattended()) return 0;
    auto box = std::atomic_load(&BoxSlot());
    return box ? box->Show(text, style, helpContext) : 0;
}

} // namespace core
