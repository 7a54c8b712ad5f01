// The encoder parameter text ("Name,Value[,Name,Value...]") as the image saver takes it:
// parsed, then used for a real page written in the format the first byte picks.
//
// Input: format byte, then the parameter text.
#include "FuzzTarget.h"
#include "codec/Bmp.h"
#include "output/EncoderParameters.h"
#include "output/GdiplusImageSaver.h"

namespace {

const char* const kFormats[] = {"JPEG", "TIFF", "PNG", "BMP", "GIF"};

// A small page in one of the three pixel forms, as the scanning control writes it.
std::string WritePage(int form) {
    codec::Image page;
    const codec::PixelFormat format = form == 0   ? codec::PixelFormat::Bilevel1
                                      : form == 1 ? codec::PixelFormat::Gray8
                                                  : codec::PixelFormat::Bgr24;
    if (!page.Allocate(13, 7, format)) fuzz::Fail("cannot make a page");
    for (int y = 0; y < page.height; ++y)
        for (size_t x = 0; x < page.RowBytes(); ++x) page.Row(y)[x] = static_cast<uint8_t>(x * 37 + y * 11);
    page.xDpi = page.yDpi = 150;
    const std::string path = fuzz::ScratchFolder() + "enc-page.bmp";
    if (codec::SaveBmp(page, path) != codec::Status::Ok) fuzz::Fail("cannot write a page");
    return path;
}

int FuzzEncoderParameters(const uint8_t* data, size_t size) {
    fuzz::Input in(data, size);
    const uint8_t pick = in.Byte();
    const std::string text = in.Rest();
    std::vector<output::EncoderParameter> parsed;
    if (output::ParseEncoderParameters(text, parsed) && parsed.size() > 5) fuzz::Fail("more than five parameters");

    fuzz::ClearScratch("enc-");
    const std::string page = WritePage(pick / 5 % 3);
    output::GdiplusImageSaver saver;
    if (saver.Init(text) != output::kImagingOk) return 0;
    const std::string target = fuzz::ScratchFolder() + "enc-out";
    if (saver.PrepareOutput(target, kFormats[pick % 5]) != output::kImagingOk) return 0;
    saver.AddImage(page, "", "BMP");
    saver.Close();
    return 0;
}

} // namespace

SU_FUZZ_TARGET(encoder_parameters, FuzzEncoderParameters)
