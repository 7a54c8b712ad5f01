#include "platform/MessageBus.h"

#include <dlfcn.h>

namespace platform {
namespace {

template <typename Function>
bool Bind(void* library, const char* name, Function& function) {
    function = library ? reinterpret_cast<Function>(::dlsym(library, name)) : nullptr;
    return function != nullptr;
}

} // namespace

const MessageBus& LoadedMessageBus() {
    static const MessageBus bus = [] {
        MessageBus b;
        void* library = ::dlopen("libdbus-1.so.3", RTLD_NOW | RTLD_LOCAL);
        b.complete = Bind(library, "dbus_error_init", b.errorInit) && Bind(library, "dbus_error_free", b.errorFree) &&
                     Bind(library, "dbus_bus_get_private", b.getPrivate) &&
                     Bind(library, "dbus_bus_add_match", b.addMatch) &&
                     Bind(library, "dbus_connection_open_private", b.openPrivate) &&
                     Bind(library, "dbus_bus_register", b.registerOnBus) &&
                     Bind(library, "dbus_connection_set_exit_on_disconnect", b.setExitOnDisconnect) &&
                     Bind(library, "dbus_message_new_method_call", b.newMethodCall) &&
                     Bind(library, "dbus_message_iter_init_append", b.iterInitAppend) &&
                     Bind(library, "dbus_message_iter_open_container", b.iterOpenContainer) &&
                     Bind(library, "dbus_message_iter_append_basic", b.iterAppendBasic) &&
                     Bind(library, "dbus_message_iter_close_container", b.iterCloseContainer) &&
                     Bind(library, "dbus_message_iter_init", b.iterInit) &&
                     Bind(library, "dbus_message_iter_get_arg_type", b.iterArgType) &&
                     Bind(library, "dbus_message_iter_get_basic", b.iterGetBasic) &&
                     Bind(library, "dbus_message_iter_next", b.iterNext) &&
                     Bind(library, "dbus_message_is_signal", b.isSignal) &&
                     Bind(library, "dbus_connection_send_with_reply_and_block", b.sendWithReplyAndBlock) &&
                     Bind(library, "dbus_connection_read_write", b.readWrite) &&
                     Bind(library, "dbus_connection_pop_message", b.popMessage) &&
                     Bind(library, "dbus_message_unref", b.messageUnref) &&
                     Bind(library, "dbus_connection_close", b.connectionClose) &&
                     Bind(library, "dbus_connection_unref", b.connectionUnref);
        return b;
    }();
    return bus;
}

} // namespace platform
