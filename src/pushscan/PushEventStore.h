#pragma once
// The push-event store: which device button event started the program last, and for
// which data source. It is the shared library libPushEventData.so, loaded by name, so
// that every process of the user reads what another one stored.

#include <string>

namespace platform {
class IEnvironment;
}

namespace pushscan {

class IPushEventStore {
public:
    virtual ~IPushEventStore() = default;
    virtual void SetEventName(const std::wstring& name) = 0;
    virtual std::wstring EventName() const = 0;
    virtual void SetTwainDSName(const std::wstring& name) = 0;
    virtual std::wstring TwainDSName() const = 0;
};

// The store in libPushEventData.so, found in the program folder first, then on the
// library search path. Kept loaded for the life of the object.
class PushEventLibrary : public IPushEventStore {
public:
    explicit PushEventLibrary(const std::string& name = "libPushEventData.so");
    ~PushEventLibrary() override;
    PushEventLibrary(const PushEventLibrary&) = delete;
    PushEventLibrary& operator=(const PushEventLibrary&) = delete;

    // True when the library and its four exports were found.
    bool IsLoaded() const;

    void SetEventName(const std::wstring& name) override;
    std::wstring EventName() const override;
    void SetTwainDSName(const std::wstring& name) override;
    std::wstring TwainDSName() const override;

private:
    struct Entries;
    Entries* entries_ = nullptr;
};

// The environment variables the scanner button daemon (scanbd) starts its action with:
// the event name and the device (its SANE name, which is the data source name).
constexpr const char* kLaunchActionVariable = "SCANBD_ACTION";
constexpr const char* kLaunchDeviceVariable = "SCANBD_DEVICE";

// Records a start by a device button in the store: 1 when this process was started for
// a button event (both variables set and not empty) and it was recorded, else 0. Nothing
// is recorded without a loaded store.
int RecordPushLaunch(PushEventLibrary& store, const platform::IEnvironment& environment);
int RecordPushLaunch(IPushEventStore* store, const platform::IEnvironment& environment);

} // namespace pushscan
