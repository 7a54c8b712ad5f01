#include "pushscan/PushEventStore.h"

#include "output/DynamicLibrary.h"
#include "platform/Environment.h"
#include "platform/Text.h"

namespace pushscan {

struct PushEventLibrary::Entries {
    explicit Entries(const std::string& name) : library(name) {}
    output::DynamicLibrary library;
    const wchar_t* (*getEventName)() = nullptr;
    void (*setEventName)(const wchar_t*) = nullptr;
    const wchar_t* (*getTwainDSName)() = nullptr;
    void (*setTwainDSName)(const wchar_t*) = nullptr;
};

PushEventLibrary::PushEventLibrary(const std::string& name) : entries_(new Entries(name)) {
    Entries& e = *entries_;
    if (!e.library.IsLoaded()) return;
    e.getEventName = reinterpret_cast<const wchar_t* (*)()>(e.library.Symbol("GetPushEventName"));
    e.setEventName = reinterpret_cast<void (*)(const wchar_t*)>(e.library.Symbol("SetPushEventName"));
    e.getTwainDSName = reinterpret_cast<const wchar_t* (*)()>(e.library.Symbol("GetPushEventTwainDSName"));
    e.setTwainDSName = reinterpret_cast<void (*)(const wchar_t*)>(e.library.Symbol("SetPushEventTwainDSName"));
}

PushEventLibrary::~PushEventLibrary() { delete entries_; }

bool PushEventLibrary::IsLoaded() const {
    return entries_->getEventName && entries_->setEventName && entries_->getTwainDSName && entries_->setTwainDSName;
}

void PushEventLibrary::SetEventName(const std::wstring& name) {
    if (IsLoaded()) entries_->setEventName(name.c_str());
}

std::wstring PushEventLibrary::EventName() const {
    const wchar_t* text = IsLoaded() ? entries_->getEventName() : nullptr;
    return text ? std::wstring(text) : std::wstring();
}

void PushEventLibrary::SetTwainDSName(const std::wstring& name) {
    if (IsLoaded()) entries_->setTwainDSName(name.c_str());
}

std::wstring PushEventLibrary::TwainDSName() const {
    const wchar_t* text = IsLoaded() ? entries_->getTwainDSName() : nullptr;
    return text ? std::wstring(text) : std::wstring();
}

int RecordPushLaunch(PushEventLibrary& store, const platform::IEnvironment& environment) {
    return RecordPushLaunch(store.IsLoaded() ? &store : nullptr, environment);
}

int RecordPushLaunch(IPushEventStore* store, const platform::IEnvironment& environment) {
    if (!store) return 0;
    const auto action = environment.Get(kLaunchActionVariable);
    const auto device = environment.Get(kLaunchDeviceVariable);
    if (!action || action->empty() || !device || device->empty()) return 0;
    store->SetEventName(platform::Utf8ToWide(*action));
    store->SetTwainDSName(platform::Utf8ToWide(*device));
    return 1;
}

} // namespace pushscan
