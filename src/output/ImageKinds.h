#pragma once
// Image kinds: for each output file type name ("JPEG", "Multi-page PDF", ...), the
// format the scanning control saves pages in, the page file's extension, and whether an
// encoder must turn the pages into the final file. Kinds are stateless singletons.

#include <cstdint>
#include <memory>
#include <string>

namespace output {

class SImageType {
public:
    virtual ~SImageType() = default;
    virtual std::string GetName() const = 0;
    // The scanning control's file format code for page files.
    virtual int32_t GetTransferFormat() const = 0;
    // The page file's extension, dot included.
    virtual std::string GetExtension() const = 0;
    virtual bool NeedsEncoder() const = 0;
};

// Transfer format codes of the scanning control.
constexpr int32_t kBitmapTransferFormat = 2;
constexpr int32_t kPngTransferFormat = 7;

// The kind of a file type name, compared exactly; unknown names (an empty one
// included) give the default kind, which behaves as the bitmap kind.
const SImageType& ImageKindForType(const std::string& fileTypeName);

// Tells whether the current scanning source belongs to the model family that has its
// own transfer format codes for PCX, GIF, TGA, WMF and EMF (100 to 104). The settings
// model installs an implementation that looks the current source up in the driver
// identification and answers whether its model family number is nonzero.
class ISourceFamily {
public:
    virtual ~ISourceFamily() = default;
    virtual bool CurrentSourceHasOwnFormatCodes() const = 0;
};
// Installs the source family lookup; nullptr (the start-up state) answers "no".
void SetSourceFamily(std::shared_ptr<const ISourceFamily> family);

// The kind to use with the current source: the model family's own kinds for PCX, GIF,
// TGA, WMF and EMF, the plain kind otherwise.
const SImageType& ImageKindForSource(const std::string& fileTypeName);

} // namespace output
