#pragma once
// Base of the process-wide single objects: the accessor creates the object on first use
// and it lives until the process ends. C++ function-local statics make the creation
// thread-safe.

namespace settings {

template <typename T>
class IF_Singleton {
public:
    static T& GetInstance() {
        static T instance;
        return instance;
    }
protected:
    IF_Singleton() = default;
    ~IF_Singleton() = default;
public:
    IF_Singleton(const IF_Singleton&) = delete;
    IF_Singleton& operator=(const IF_Singleton&) = delete;
};

} // namespace settings
