#pragma once
// The rules of the destination pages of the button settings dialog that need no
// window: checking what the user typed (file name prefix, save folder, JPEG level),
// which compression control a file type uses, the two-part PDF compression value, the
// paper size kept across a scan-method change, and which controls are usable.
// Refusals are shown through core::ShowMessage with the message's number.

#include <string>

#include "settings/ChoiceList.h"

namespace ui {

// The longest file name prefix and save folder a page takes (characters).
constexpr int kMaxPrefixLength = 40;
constexpr int kMaxFolderLength = 192;

// Trimmed, non-empty, none of / \ : * ? " < > |, at most 40 characters.
bool IsValidFilePrefix(const std::string& text);
// IsValidFilePrefix; message 104 when it is not.
bool ValidateFilePrefix(const std::string& text);

// The shape of a save folder: '/' first, then characters other than '\', '?' and '*',
// never two '/' in a row. `folder` ends with '/'.
bool HasFolderShape(const std::string& folder);

enum class FolderCheck {
    Accepted,
    Refused,    // message 105: empty, badly shaped, not on a usable file system
    Declined,   // missing, and the user did not want it created (message 118)
    NotCreated, // missing, and creating it failed (message 150)
};
// Checks a typed save folder; on acceptance `stored` is the folder with a trailing '/'
// and exists. A missing folder is offered to be created (message 118, Yes/No).
FolderCheck ValidateSaveFolder(const std::string& text, std::string& stored);

// A whole number from 0 to 100 (decimal digits only); message 106 with 0 and 100 when not.
bool ValidateJpegLevel(const std::string& text);

// Which compression control a file type shows.
enum class CompressionControl { None, JpegLevel, TiffList, PdfList };
CompressionControl CompressionFor(const std::string& saveType);

// The PDF compression is two values "colour|black-and-white": the first applies to the
// colour modes "Color" and "Gray", the second to "BW" and "Halftone".
int PdfPairIndex(const std::string& colorMode);
std::string PdfPairPart(const std::string& stored, const std::string& colorMode);
// Replaces the current colour mode's part, keeping the other one.
std::string ReplacePdfPairPart(const std::string& stored, const std::string& colorMode, const std::string& choice);

// The paper size to select after the paper list was refilled for another scan method:
// the one chosen before if offered, else the destination's stored one if offered, else
// the default if offered, else the first offered (empty for an empty list).
std::string ChoosePaperSize(const settings::ChoiceList& offered, const std::string& previous, const std::string& stored,
                            const std::string& defaultSize);

// Which controls of a page can be used.
struct PageStates {
    bool inputEnabled = true; // scan method, colour mode, paper size, resolution, Option
    bool optionShown = false;
    bool addEnabled = true;
    bool modifyEnabled = false;
    bool deleteEnabled = false;
};
// `showDriver`: the scanner's own dialog sets the input values; `appCount`/`appMax`: the
// application list (application pages); `optionFlag`: the current source offers options.
PageStates ComputePageStates(bool showDriver, int appCount, int appMax, bool optionFlag);

// A folder chosen in the folder chooser, cut to the folder edit's length; message 142
// when it had to be cut.
std::string CutChosenFolder(const std::string& chosen);

// "%d" placeholders of a message replaced in order.
std::string FormatNumbers(std::string text, int first, int second);

} // namespace ui
