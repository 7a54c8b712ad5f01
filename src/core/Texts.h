#pragma once
// Message and label texts, looked up at run time in Str.dat so the product can be
// localised by replacing that file, and the one routine every scan-path message box
// passes through.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/Ids.h"
#include "core/ScanState.h"

namespace core {

// Message box styles and results, with the values the settings and callers use.
enum MessageStyle : unsigned {
    kMbOk = 0x0,
    kMbOkCancel = 0x1,
    kMbYesNoCancel = 0x3,
    kMbYesNo = 0x4,
    kMbRetryCancel = 0x5,
    kMbIconStop = 0x10,
    kMbIconQuestion = 0x20,
    kMbIconExclamation = 0x30,
    kMbIconInformation = 0x40,
};
enum MessageResult : int { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

// The text of message `number` in section Messages of Str.dat (key in plain decimal);
// empty when the file, section or key is missing.
std::string LoadMessageText(int number);
inline std::string LoadMessageText(MessageNumber number) { return LoadMessageText(static_cast<int>(number)); }
// The text of `key` in section UIString of Str.dat; empty when missing.
std::string LoadUIString(const std::string& key);

// Shows a message box; implemented by the window layer (or a console host).
class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    // The button the user chose.
    virtual int Show(const std::string& text, unsigned style, unsigned helpContext) = 0;
};

// Installs the message box and the scan status ShowMessage consults. Either may be
// null: without a box nothing is shown (0 is returned); without a status every
// message is shown.
void SetMessageBox(std::shared_ptr<IMessageBox> box);
void SetScanStatus(std::shared_ptr<IScanStatus> status);

// Shows the text unless a network-push scan is being served (from its acceptance up to
// and including the handling of its end), in which case nothing is shown and 0 is
// returned: such scans run unattended.
int ShowMessage(const std::string& text, unsigned style, unsigned helpContext = 0);

// A message ShowMessage was asked for while a capture was open.
struct HeldMessage {
    std::string text;
    unsigned style = 0;
    unsigned helpContext = 0;
};

// While an object of this class lives, ShowMessage on the thread that made it keeps the
// messages (answering 0) instead of showing them. Work moved off the user-interface
// thread opens one, and the messages are shown there afterwards, in the order they were
// said, at the point of the scan where they were said.
class MessageCapture {
public:
    MessageCapture();
    ~MessageCapture();
    MessageCapture(const MessageCapture&) = delete;
    MessageCapture& operator=(const MessageCapture&) = delete;
    std::vector<HeldMessage> Take();
    void Hold(HeldMessage message) { held_.push_back(std::move(message)); }
private:
    std::vector<HeldMessage> held_;
    MessageCapture* outer_;
};

// Shows held messages in order, through ShowMessage.
void ShowHeldMessages(const std::vector<HeldMessage>& messages);

} // namespace core
