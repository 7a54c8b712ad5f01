// Scans killed in the middle of a page: whatever moment the kill lands on, no file under
// a final name in the save folder is broken (each is a whole document with all its
// pages), and once the next scan has started nothing of the killed one is left, neither
// in the save folder nor among the working images.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "Pages.h"
#include "codec/Bmp.h"
#include "codec/Codecs.h"
#include "output/ImageCompressioner.h"
#include "output/OutputHost.h"
#include "output/PendingDocument.h"
#include "settings/ProductData.h"
#include "support/KillAtRandom.h"
#include "support/TempFolder.h"

namespace {

using namespace std::chrono;
namespace fs = std::filesystem;

// The documents of one scan, as the acquisition makes them.
enum Kind { kPdfColour, kPdfBlackWhite, kMultiTiff, kJpeg, kBitmap, kKinds };

// One scan of two pages (one for JPEG, one document a page) into `out`, the pages
// written where the scanning control writes them. True when the document was kept.
bool Scan(Kind kind, const std::string& out) {
    codec::Image image;
    testpages::MakePage(image, 96, 64,
                        kind == kPdfBlackWhite ? codec::PixelFormat::Bilevel1 : codec::PixelFormat::Bgr24, 100);
    if (kind == kBitmap) {
        // The control writes a bitmap document itself, under its working name.
        output::PendingDocument document;
        return document.Reserve(out, "scan", ".BMP") &&
               codec::SaveBmp(image, document.WorkingPath()) == codec::Status::Ok && document.Publish();
    }
    auto encoder = output::CreateImageCompressioner(kind == kMultiTiff ? "Multi-page TIFF"
                                                    : kind == kJpeg    ? "JPEG"
                                                                       : "PDF");
    output::CompressionRequest request;
    request.tempFolder = settings::WorkingImageFolder();
    request.saveFolder = out;
    request.fileName = "scan";
    request.tempExtension = ".BMP";
    request.colourMode = kind == kPdfBlackWhite ? 2 : 0;
    request.compressionKind = kind == kPdfBlackWhite ? 2 : 0;
    request.compressionLevel = 50;
    if (encoder->Begin(request) != output::kBeginOk) return false;
    for (int p = 0; p < (kind == kJpeg ? 1 : 2); ++p) {
        if (codec::SaveBmp(image, encoder->TempPageName()) != codec::Status::Ok) return false;
        if (encoder->AddPage(encoder->TempPageName()) != output::kPageAdded) return false;
    }
    return encoder->Finish() == output::kPageAdded;
}

class ScansKilled : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("XDG_CONFIG_HOME");
        oldConfig_ = old ? old : "";
        ::setenv("XDG_CONFIG_HOME", (home.path() + "config").c_str(), 1);
        output::SetWorkingFolderProvider([] { return settings::WorkingImageFolder(); });
        // This process only looks: it must not count as a user of the working folder.
        workingImages = settings::UserFolder() + "TempImage/";
    }
    void TearDown() override {
        output::SetWorkingFolderProvider(nullptr);
        if (oldConfig_.empty()) ::unsetenv("XDG_CONFIG_HOME");
        else ::setenv("XDG_CONFIG_HOME", oldConfig_.c_str(), 1);
    }
    static std::vector<std::string> Names(const std::string& folder) {
        std::vector<std::string> names;
        if (fs::is_directory(folder))
            for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
        return names;
    }
    // What a scan leaves besides its documents: hidden working files in the save folder,
    // and anything but the folder's lock among the working images.
    std::vector<std::string> Litter() const {
        std::vector<std::string> litter;
        for (const auto& n : Names(out.path()))
            if (n[0] == '.') litter.push_back(n);
        for (const auto& n : Names(workingImages))
            if (n != ".users.lock") litter.push_back("TempImage/" + n);
        return litter;
    }
    // Every document under a final name is whole: all its pages read back.
    void CheckDocuments(int kill) {
        for (const auto& n : Names(out.path())) {
            if (n[0] == '.') continue;
            const std::string path = out / n;
            const std::string ext = n.substr(n.rfind('.') + 1);
            if (ext == "PDF") {
                ASSERT_EQ(testpages::Run("qpdf --check '" + path + "' >/dev/null 2>&1"), 0) << n << " kill " << kill;
                const std::string pdf = testpages::ReadFile(path);
                int pages = 0;
                for (size_t at = pdf.find("/Type /Page"); at != std::string::npos; at = pdf.find("/Type /Page", at + 1))
                    pages += pdf.compare(at, 12, "/Type /Pages") != 0;
                EXPECT_EQ(pages, 2) << n << " kill " << kill;
            } else {
                codec::Image image;
                int frames = 0;
                ASSERT_EQ(codec::LoadImage(path, image, 0, &frames), codec::Status::Ok) << n << " kill " << kill;
                const bool tiff = ext.compare(0, 3, "TIF") == 0;
                EXPECT_EQ(frames, tiff ? 2 : 1) << n << " kill " << kill;
                if (tiff) {
                    EXPECT_EQ(codec::LoadImage(path, image, 1, &frames), codec::Status::Ok) << n << " kill " << kill;
                }
            }
            ++documents;
            fs::remove(path);
        }
    }

    testsupport::TempFolder home;
    testsupport::TempFolder out;
    std::string workingImages;
    int documents = 0;

private:
    std::string oldConfig_;
};

TEST_F(ScansKilled, NothingBrokenAndNoLitter) {
    // How long one scan of each kind takes here, so that the kills spread over them.
    auto started = steady_clock::now();
    const pid_t probe = ::fork();
    if (probe == 0) {
        bool ok = true;
        for (int k = 0; k < kKinds; ++k) ok = Scan(static_cast<Kind>(k), out.path()) && ok;
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ::waitpid(probe, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a scan failed without being killed";
    const auto round = duration_cast<microseconds>(steady_clock::now() - started);
    CheckDocuments(-1);
    ASSERT_EQ(documents, 5);
    ASSERT_EQ(Litter(), std::vector<std::string>{});

    std::mt19937 random(8122026);
    int littered = 0;
    for (int kill = 0; kill < 500; ++kill) {
        const int first = static_cast<int>(random() % kKinds);
        ASSERT_TRUE(testsupport::KillAtRandom(random, round / 2,
                                              [&] {
                                                  for (int k = first;; k = (k + 1) % kKinds)
                                                      Scan(static_cast<Kind>(k), out.path());
                                              }))
            << "kill " << kill;
        CheckDocuments(kill);
        if (!Litter().empty()) ++littered;
        // The next start: a scan that finds the working folder without other users.
        const pid_t next = ::fork();
        if (next == 0) ::_exit(Scan(kJpeg, out.path()) ? 0 : 1);
        ::waitpid(next, &status, 0);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "kill " << kill;
        ASSERT_EQ(Litter(), std::vector<std::string>{}) << "kill " << kill;
        CheckDocuments(kill);
    }
    std::printf("500 kills (each within %lld us): %d left working files behind, all removed by the next scan; "
                "%d whole documents checked\n",
                static_cast<long long>(round.count() / 2), littered, documents);
    EXPECT_GT(littered, 0) << "no kill landed in the middle of a scan";
}

} // namespace
