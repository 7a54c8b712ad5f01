#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <tuple>

#include "output/ImageKinds.h"

namespace {

using output::ImageKindForSource;
using output::ImageKindForType;

struct KindRow {
    const char* name;
    const char* expectedName;
    int32_t format;
    const char* extension;
    bool encoder;
};

void PrintTo(const KindRow& r, std::ostream* os) { *os << '"' << r.name << '"'; }

class ImageKindTable : public ::testing::TestWithParam<KindRow> {};

TEST_P(ImageKindTable, AnswersItsThreeQuestions) {
    const KindRow& row = GetParam();
    const output::SImageType& kind = ImageKindForType(row.name);
    EXPECT_EQ(kind.GetName(), row.expectedName);
    EXPECT_EQ(kind.GetTransferFormat(), row.format);
    EXPECT_EQ(kind.GetExtension(), row.extension);
    EXPECT_EQ(kind.NeedsEncoder(), row.encoder);
    EXPECT_EQ(&kind, &ImageKindForType(row.name)) << "one object per kind";
}

INSTANTIATE_TEST_SUITE_P(
    AllNames, ImageKindTable,
    ::testing::Values(KindRow{"BMP", "BMP", 2, ".BMP", false}, KindRow{"JPEG", "JPEG", 2, ".BMP", true},
                      KindRow{"TIFF", "TIFF", 2, ".BMP", true}, KindRow{"PNG", "PNG", 7, ".PNG", false},
                      KindRow{"PCX", "PCX", 2, ".PCX", false}, KindRow{"GIF", "GIF", 2, ".GIF", false},
                      KindRow{"TGA", "TGA", 2, ".TGA", false}, KindRow{"WMF", "WMF", 2, ".WMF", false},
                      KindRow{"EMF", "EMF", 2, ".EMF", false}, KindRow{"PDF", "PDF", 2, ".BMP", true},
                      KindRow{"Multi-page PDF", "Multi-page PDF", 2, ".BMP", true},
                      KindRow{"Multi-page TIFF", "Multi-page TIFF", 2, ".BMP", true},
                      // Unknown names, lower case and empty: the default kind, a bitmap.
                      KindRow{"jpeg", "BMP", 2, ".BMP", false}, KindRow{"", "BMP", 2, ".BMP", false},
                      KindRow{"Multi-page pdf", "BMP", 2, ".BMP", false}));

TEST(ImageKinds, DefaultKindIsItsOwnObject) {
    EXPECT_NE(&ImageKindForType("nonsense"), &ImageKindForType("BMP"));
    EXPECT_EQ(&ImageKindForType("nonsense"), &ImageKindForType(""));
}

class FixedFamily : public output::ISourceFamily {
public:
    explicit FixedFamily(bool own) : own_(own) {}
    bool CurrentSourceHasOwnFormatCodes() const override { return own_; }
private:
    bool own_;
};

class SourceFamilyKinds : public ::testing::TestWithParam<std::tuple<const char*, int32_t>> {
protected:
    void TearDown() override { output::SetSourceFamily(nullptr); }
};

TEST_P(SourceFamilyKinds, ModelFamilyGetsItsOwnCodesOnlyForItsFormats) {
    const auto [name, ownCode] = GetParam();
    const output::SImageType& plain = ImageKindForType(name);
    EXPECT_EQ(&ImageKindForSource(name), &plain) << "no family installed";
    output::SetSourceFamily(std::make_shared<FixedFamily>(false));
    EXPECT_EQ(&ImageKindForSource(name), &plain);
    output::SetSourceFamily(std::make_shared<FixedFamily>(true));
    const output::SImageType& own = ImageKindForSource(name);
    EXPECT_EQ(own.GetTransferFormat(), ownCode);
    EXPECT_EQ(own.GetName(), plain.GetName());
    EXPECT_EQ(own.GetExtension(), plain.GetExtension());
    EXPECT_EQ(own.NeedsEncoder(), plain.NeedsEncoder());
    EXPECT_EQ(&own, &ImageKindForSource(name));
}

INSTANTIATE_TEST_SUITE_P(Formats, SourceFamilyKinds,
                         ::testing::Values(std::make_tuple("PCX", 100), std::make_tuple("GIF", 101),
                                           std::make_tuple("TGA", 102), std::make_tuple("WMF", 103),
                                           std::make_tuple("EMF", 104),
                                           // Everything else is the plain kind even for the family.
                                           std::make_tuple("PNG", 7), std::make_tuple("JPEG", 2),
                                           std::make_tuple("Multi-page TIFF", 2), std::make_tuple("pcx", 2)));

} // namespace
