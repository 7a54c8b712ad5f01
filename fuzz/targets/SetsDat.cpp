// A damaged Sets.dat: the four destination records are loaded (and repaired against the
// defaults), saved, and loaded again; the second load must find what was saved.
#include "FuzzTarget.h"
#include "settings/IniStorage.h"
#include "settings/Persistence.h"
#include "settings/Placeholders.h"
#include "settings/Records.h"

namespace {

bool Same(const settings::CommonSetting& a, const settings::CommonSetting& b) {
    return a.GetScanMethod() == b.GetScanMethod() && a.GetColorMode() == b.GetColorMode() &&
           a.GetResolution() == b.GetResolution() && a.GetPaperSize() == b.GetPaperSize() &&
           a.GetFileName() == b.GetFileName() && a.GetCompressionLevel() == b.GetCompressionLevel() &&
           a.GetSaveFolder() == b.GetSaveFolder() && a.GetSaveType() == b.GetSaveType() &&
           a.GetShowDriver() == b.GetShowDriver() && a.GetPDFCompression() == b.GetPDFCompression() &&
           a.GetTifCompression() == b.GetTifCompression() &&
           (a.GetScanMethodArr() ? a.GetScanMethodArr()->ToText() : "") ==
               (b.GetScanMethodArr() ? b.GetScanMethodArr()->ToText() : "");
}

int FuzzSetsDat(const uint8_t* data, size_t size) {
    static const std::string file = [] {
        settings::SetPlaceholders({{"${MSPAINT}", "/usr/bin/paint"},
                                   {"${CURRENT_USER_MYPIC}", fuzz::ScratchFolder() + "pictures/"},
                                   {"${DEFAULT_MAILCLIENT}", "mail.desktop"}});
        const std::string path = fuzz::ScratchFolder() + "Sets.dat";
        settings::SetSettingsFileLocator([path] { return path; });
        return path;
    }();
    fuzz::WriteScratch("Sets.dat", data, size);
    settings::DestinationSettings first;
    first.LoadAll();
    // Values a file cannot hold (line breaks) are refused by the writer; such a record
    // is not expected to read back.
    if (!first.SaveAll()) return 0;
    settings::DestinationSettings second;
    second.LoadAll();
    if (!Same(first.Application1(), second.Application1()) || !Same(first.Application2(), second.Application2()) ||
        !Same(first.Folder(), second.Folder()) || !Same(first.Fax(), second.Fax()))
        fuzz::Fail("a saved record loads back changed");
    return 0;
}

} // namespace

SU_FUZZ_TARGET(sets_dat, FuzzSetsDat)
