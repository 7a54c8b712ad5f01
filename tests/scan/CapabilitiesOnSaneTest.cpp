// The capability handler on the real SANE control against the SANE test backend
// (data/sane: modes Gray and Color, 1..1200 dpi, a 420 x 420 mm scan area, no duplex).
#include <gtest/gtest.h>

#include <algorithm>

#include "ControlTestSupport.h"
#include "scan/DriverIdentifer.h"
#include "scan/TwainCap.h"
#include "scancontrol/SaneDynamictwain.h"
#include "settings/ProductData.h"

namespace {

std::vector<std::string> Keys(const settings::ChoiceList& list) {
    std::vector<std::string> keys;
    for (const auto& c : list) keys.push_back(c.first);
    return keys;
}

bool Has(const std::vector<std::string>& keys, const std::string& key) {
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

class CapabilitiesOnSane : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        scantest::EnsureApplication();
        control = scancontrol::CreateSaneDynamictwain();
        sources = scancontrol::CreateSaneSourceManager();
        scan::DriverIdentifer::GetInstance().SetSourceManager(sources);
        handler.SetControl(control.get());
        handler.Reset();
        ASSERT_TRUE(settings::SetCurrentSource(GetParam()));
    }
    void TearDown() override {
        handler.SetControl(nullptr);
        scan::DriverIdentifer::GetInstance().SetSourceManager(nullptr);
    }
    std::unique_ptr<scancontrol::CDynamictwain> control;
    std::shared_ptr<scancontrol::ISourceManager> sources;
    scan::TwainCapHandler& handler = scan::TwainCapHandler::GetInstance();
};

TEST_P(CapabilitiesOnSane, ResolutionIsTheBackendsRange) {
    settings::CapabilityInformation res = handler.QueryInfo(settings::kKindResolution);
    ASSERT_TRUE(res.valid) << "condition " << res.condition;
    EXPECT_EQ(res.minimumValue, "1");
    EXPECT_EQ(res.maximumValue, "1200");
    auto keys = Keys(res.values);
    EXPECT_TRUE(Has(keys, "75") && Has(keys, "300") && Has(keys, "600") && Has(keys, "1200"));
    EXPECT_FALSE(Has(keys, "1201"));
    EXPECT_EQ(handler.FilledFor(), GetParam());
    EXPECT_EQ(control->ScanInProgress(), 0);
}

TEST_P(CapabilitiesOnSane, ColourModesFromTheBackendsModesAndDepths) {
    auto keys = Keys(handler.QueryInfo(settings::kKindColorMode).values);
    EXPECT_TRUE(Has(keys, "Gray")) << testing::PrintToString(keys);
    EXPECT_TRUE(Has(keys, "Color")) << testing::PrintToString(keys);
    // Black and white comes from depth 1; the halftone pseudo value only appears with it.
    if (Has(keys, "Halftone")) {
        EXPECT_TRUE(Has(keys, "BW")) << testing::PrintToString(keys);
    }
}

TEST_P(CapabilitiesOnSane, PaperSizesAreTheStandardSizesThatFit) {
    settings::CapabilityInformation sizes = handler.QueryInfo(settings::kKindPaperSize);
    ASSERT_TRUE(sizes.valid) << "condition " << sizes.condition;
    auto keys = Keys(sizes.values);
    for (const char* fits : {"A4", "A5", "Letter", "Legal"})
        EXPECT_TRUE(Has(keys, fits)) << fits << " in " << testing::PrintToString(keys);
    // The Vorn family lists the large sizes too; the Kest family's paper order has none.
    EXPECT_EQ(Has(keys, "A3"), std::string(GetParam()) == "test:1") << testing::PrintToString(keys);
    // 11 x 17 in is 431.8 mm long: more than the 420 mm the scan area has.
    EXPECT_FALSE(Has(keys, "Tabloid")) << testing::PrintToString(keys);
}

TEST_P(CapabilitiesOnSane, NoDuplexUnit) {
    EXPECT_FALSE(handler.HasDuplexUnit());
    settings::CapabilityInformation duplex = handler.QueryInfo(settings::kKindDuplex);
    if (duplex.valid) {
        EXPECT_EQ(duplex.currentValue, "0");
    }
}

TEST_P(CapabilitiesOnSane, SettingAValueTheBackendOffersWorksAndOthersAreRefused) {
    ASSERT_TRUE(handler.QueryInfo(settings::kKindResolution).valid);
    // Values are set on the open source, as the scan does.
    ASSERT_TRUE(control->OpenSourceManager());
    short index = 0;
    while (index < control->SourceCount() && control->SourceNameAt(index) != GetParam()) ++index;
    ASSERT_TRUE(control->SelectSourceByIndex(index));
    ASSERT_TRUE(control->OpenSource());
    EXPECT_EQ(handler.Set(settings::kKindResolution, 300), 0);
    EXPECT_FLOAT_EQ(control->Resolution(), 300.0f);
    EXPECT_NE(handler.Set(settings::kKindResolution, 5000), 0);
    EXPECT_FLOAT_EQ(control->Resolution(), 300.0f);
    control->CloseSource();
}

INSTANTIATE_TEST_SUITE_P(TestDevices, CapabilitiesOnSane, ::testing::Values("test:0", "test:1"),
                         [](const ::testing::TestParamInfo<const char*>& p) {
                             return std::string(p.param).substr(0, 4) + std::string(p.param).substr(5);
                         });

} // namespace
