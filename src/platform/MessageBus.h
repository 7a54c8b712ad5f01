#pragma once
// The session message bus library (libdbus), loaded the first time something needs it
// (never at start-up: it brings several libraries of its own) and kept from then on.
// Internal to the platform floor: it includes the library's C header.

#include <dbus/dbus.h>

namespace platform {

struct MessageBus {
    decltype(&dbus_error_init) errorInit = nullptr;
    decltype(&dbus_error_free) errorFree = nullptr;
    decltype(&dbus_bus_get_private) getPrivate = nullptr;
    decltype(&dbus_bus_add_match) addMatch = nullptr;
    decltype(&dbus_connection_open_private) openPrivate = nullptr;
    decltype(&dbus_bus_register) registerOnBus = nullptr;
    decltype(&dbus_connection_set_exit_on_disconnect) setExitOnDisconnect = nullptr;
    decltype(&dbus_message_new_method_call) newMethodCall = nullptr;
    decltype(&dbus_message_iter_init_append) iterInitAppend = nullptr;
    decltype(&dbus_message_iter_open_container) iterOpenContainer = nullptr;
    decltype(&dbus_message_iter_append_basic) iterAppendBasic = nullptr;
    decltype(&dbus_message_iter_close_container) iterCloseContainer = nullptr;
    decltype(&dbus_message_iter_init) iterInit = nullptr;
    decltype(&dbus_message_iter_get_arg_type) iterArgType = nullptr;
    decltype(&dbus_message_iter_get_basic) iterGetBasic = nullptr;
    decltype(&dbus_message_iter_next) iterNext = nullptr;
    decltype(&dbus_message_is_signal) isSignal = nullptr;
    decltype(&dbus_connection_send_with_reply_and_block) sendWithReplyAndBlock = nullptr;
    decltype(&dbus_connection_read_write) readWrite = nullptr;
    decltype(&dbus_connection_pop_message) popMessage = nullptr;
    decltype(&dbus_message_unref) messageUnref = nullptr;
    decltype(&dbus_connection_close) connectionClose = nullptr;
    decltype(&dbus_connection_unref) connectionUnref = nullptr;
    bool complete = false; // every function was found
};

const MessageBus& LoadedMessageBus();

} // namespace platform
