// The PDF encoder fed with damaged page images: the page is read, converted (JPEG for
// colour and grey, fax strips through the TIFF generator for black and white) and
// streamed into the document, which, when kept, must be a whole PDF file.
//
// Input: colour mode byte, compression byte, page format byte, then the page file.
#include <dlfcn.h>
#include <sys/stat.h>

#include <fstream>

#include "FuzzTarget.h"
#include "output/ImageCompressioner.h"
#include "output/OutputHost.h"
#include "settings/ProductData.h"

namespace {

const char* const kExtensions[] = {".BMP", ".JPG", ".TIF", ".PNG", ".GIF"};

int FuzzPdfWriter(const uint8_t* data, size_t size) {
    static const bool setUp = [] {
        const std::string work = fuzz::ScratchFolder() + "pdf-work/";
        ::mkdir(work.c_str(), 0700);
        output::SetWorkingFolderProvider([work] { return work; });
        // The encoder loads and unloads the TIFF generator for every black-and-white page.
        // libFuzzer counts coverage in that library too and must not see it unmapped: one
        // reference is kept for the whole run (harmless without libFuzzer).
        dlopen((settings::ProgramFolder() + "libTIFFGenerator.so").c_str(), RTLD_NOW | RTLD_NODELETE);
        return true;
    }();
    (void)setUp;
    fuzz::Input in(data, size);
    output::CompressionRequest request;
    request.colourMode = in.Byte() % 3;
    request.compressionKind = in.Byte() % 3;
    request.tempExtension = kExtensions[in.Byte() % 5];
    request.compressionLevel = 50;
    const std::string page = in.Rest();
    fuzz::ClearScratch("pdf-out");
    fuzz::ClearScratch("pdf-temp");
    request.tempFolder = fuzz::ScratchFolder() + "pdf-temp/";
    request.saveFolder = fuzz::ScratchFolder() + "pdf-out/";
    ::mkdir(request.tempFolder.c_str(), 0700);
    request.fileName = "doc";

    auto encoder = output::CreateImageCompressioner("PDF");
    if (!encoder || encoder->Begin(request) != output::kBeginOk) fuzz::Fail("the PDF encoder does not begin");
    int added = 0;
    for (int copy = 0; copy < 2; ++copy) {
        std::ofstream(encoder->TempPageName(), std::ios::binary) << page;
        if (encoder->AddPage(encoder->TempPageName()) == output::kPageAdded) ++added;
    }
    const int finished = encoder->Finish();
    const std::string pdf = fuzz::ReadFileBytes(encoder->OutputName());
    if (added > 0 && finished == output::kPageAdded) {
        if (pdf.size() < 16 || pdf.compare(0, 8, "%PDF-1.5") != 0 || pdf.compare(pdf.size() - 5, 5, "%%EOF") != 0)
            fuzz::Fail("a kept document is not a whole PDF file");
        // The table the trailer points at must be where it says.
        const size_t start = pdf.rfind("startxref\r\n");
        if (start == std::string::npos) fuzz::Fail("a kept document has no startxref");
        const size_t table = std::stoul(pdf.substr(start + 11));
        if (pdf.compare(table, 4, "xref") != 0) fuzz::Fail("startxref does not point at the table");
    } else if (!pdf.empty()) {
        fuzz::Fail("a document without pages was kept");
    }
    return 0;
}

} // namespace

SU_FUZZ_TARGET(pdf_writer, FuzzPdfWriter)
