#pragma once
// State and steps the three encoders share: the request, the two names, the page count
// and the open flag, and the beginning of a job.

#include "output/ImageCompressioner.h"

namespace output {

class EncoderBase : public IF_ImageCompressioner {
public:
    int Begin(const CompressionRequest& request) final;
    const std::string& TempPageName() const final { return tempPageName_; }
    const std::string& OutputName() const final { return outputName_; }

protected:
    explicit EncoderBase(const char* extension) : extension_(extension) {}
    // The encoder's own preparation once both names are known.
    virtual int BeginOutput() = 0;
    void DeleteFile(const std::string& path) const;

    CompressionRequest request_;
    std::string tempPageName_;
    std::string outputName_;
    int pageCount_ = 0;
    bool isOpen_ = false;
    bool firstPagePending_ = false;

private:
    const char* extension_;
};

// The saver parameter texts the JPEG and TIFF encoders begin a job with.
std::string JpegParameterText(int colourMode, int compressionLevel);
std::string TiffParameterText(int colourMode, int compressionKind);

} // namespace output
