#pragma once
// What the main window's buttons say: the destination of each picture button, the
// settings tip shown over it, and how a device status decides which menu commands
// stay available.

#include <optional>
#include <string>

namespace app {

// Command identifiers of the main window's buttons and menu commands.
enum HotkeyCommand : int {
    kCmdApplication1 = 1007,
    kCmdApplication2 = 1008,
    kCmdPcFax = 1009,
    kCmdFolder = 1010,
    kCmdEmail = 1006, // has a handler, but no button carries it
    kCmdButtonSetting = 32771,
    kCmdExit = 32772,
    kCmdSelectScanner = 32773,
    kCmdShowTips = 32774,
    kCmdHelpTopics = 32775,
    kCmdAbout = 32776,
};

// The destination index a button command scans to; -1 for other commands.
int DestinationOfCommand(int command);

// One destination's values as the tip shows them. An input value or file type that has
// no display text is left empty (nullopt): the tip then shows message 109 in its place.
struct TipValues {
    std::optional<std::string> scanMethod;
    std::optional<std::string> colorMode;
    std::optional<std::string> paperSize;
    std::optional<std::string> resolution;
    std::optional<std::string> fileType;
    std::string applicationName;
    std::string fileName;
    std::string saveFolder;
    bool openFolder = false; // the folder destination's "open folder when done" option
    // The recognition languages of a searchable PDF ("eng+deu"); empty when the
    // destination makes no text layer.
    std::string ocrLanguages;
};

struct ButtonTipSet {
    TipValues application1;
    TipValues application2;
    TipValues folder;
    TipValues fax;
};

// A text of 51 characters or more becomes "..." followed by its last 47 characters.
// Characters are UTF-8 code points, never bytes.
std::string ShortenForTip(const std::string& text);

// The tip text of a button command: lines ending with CR LF, the title, the input
// block, a blank line, then the output lines of that destination. Labels are message
// texts of Str.dat. Empty for commands that are not buttons.
std::string ComposeButtonTip(int command, const TipValues& values);

// How usable the current device is, by its status code.
enum class DeviceGroup { Free, Restricted, Blocked };
DeviceGroup GroupOfStatus(int statusCode);

} // namespace app
