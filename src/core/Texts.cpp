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

} // namespace

std::string LoadMessageText(int number) {
    return settings::ReadProfileString(settings::TextFilePath(), "Messages", std::to_string(number), "");
}

// The settings read the same section for their own captions: one reader serves both.
std::string LoadUIString(const std::string& key) { return settings::ReadUIText(key); }

void SetMessageBox(std::shared_ptr<IMessageBox> box) { std::atomic_store(&BoxSlot(), std::move(box)); }
void SetScanStatus(std::shared_ptr<IScanStatus> status) { std::atomic_store(&StatusSlot(), std::move(status)); }

int ShowMessage(const std::string& text, unsigned style, unsigned helpContext) {
    auto status = std::atomic_load(&StatusSlot());
    if (status && status->Unattended()) return 0;
    auto box = std::atomic_load(&BoxSlot());
    return box ? box->Show(text, style, helpContext) : 0;
}

} // namespace core
