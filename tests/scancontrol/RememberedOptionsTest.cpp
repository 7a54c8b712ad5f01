// The options dialog's remembered choices: which options are kept, how they are stored
// and read back, and how they are turned into writes on a device whose options may have
// changed since.
#include <gtest/gtest.h>

#include "platform/Folders.h"
#include "scancontrol/sane/RememberedOptions.h"
#include "support/Locales.h"
#include "support/TempFolder.h"

namespace {

using namespace scancontrol::sanectl;

OptionInfo Number(const std::string& name, double value, OptType type = OptType::Int) {
    OptionInfo o;
    o.name = name;
    o.type = type;
    o.settable = true;
    o.values = {value};
    return o;
}

OptionInfo Text(const std::string& name, const std::string& value, std::vector<std::string> offered = {}) {
    OptionInfo o;
    o.name = name;
    o.type = OptType::String;
    o.settable = true;
    o.text = value;
    if (!offered.empty()) {
        o.constraint = OptConstraint::StringList;
        o.strings = std::move(offered);
    }
    return o;
}

template <class F>
OptionInfo With(OptionInfo o, F change) {
    change(o);
    return o;
}

std::string Names(const std::vector<RememberedOption>& options) {
    std::string names;
    for (const auto& o : options) names += (names.empty() ? "" : " ") + o.name + "=" + o.value;
    return names;
}

TEST(RememberedOptions, OnlyChangedSettableSingleValuesAreKeptInOptionOrder) {
    OptionSnapshot opened, chosen;
    opened.options = {Text("mode", "Gray", {"Gray", "Color"}), Number("resolution", 50), Number("depth", 8),
                      Number("tl-x", 0, OptType::Fixed),
                      With(Number("preview", 0, OptType::Bool), [](auto& o) { o.active = false; })};
    chosen.options = {
        Text("mode", "Color", {"Gray", "Color"}),                                // changed: kept
        Number("resolution", 300),                                               // changed: kept
        Number("depth", 8),                                                      // unchanged
        Number("tl-x", 12.5, OptType::Fixed),                                    // changed: kept
        Number("preview", 1, OptType::Bool),                                     // active only now: kept
        With(Number("gamma", 2), [](auto& o) { o.count = 256; }),                // an array
        With(Number("lamp", 1), [](auto& o) { o.settable = false; }),            // read-only
        With(Number("hidden", 7), [](auto& o) { o.active = false; }),            // inactive
        With(Number("calibrate", 0), [](auto& o) { o.type = OptType::Button; }), // a button
        Text("note", "two\nlines"),                                              // not storable
        Number("bad=name", 3),                                                   // not storable
    };
    EXPECT_EQ(Names(ChosenOptions(opened, chosen)), "mode=Color resolution=300 tl-x=12.5 preview=1");
    EXPECT_TRUE(ChosenOptions(opened, opened).empty());
}

// The file reads the same under every locale: a program whose C library formats numbers
// with a decimal comma stores and reads "12.5".
TEST(RememberedOptions, NumbersKeepTheirPointUnderADecimalCommaLocale) {
    const std::string locale = testsupport::DecimalCommaLocale();
    ASSERT_FALSE(locale.empty()) << "no locale with a decimal comma (install the locales package)";
    testsupport::ProcessLocale german(locale);
    ASSERT_TRUE(german.active());
    ASSERT_EQ(testsupport::ProcessLocale::DecimalPoint(), ",");
    OptionSnapshot opened, chosen;
    opened.options = {Number("tl-x", 0, OptType::Fixed)};
    chosen.options = {Number("tl-x", 12.5, OptType::Fixed)};
    EXPECT_EQ(Names(ChosenOptions(opened, chosen)), "tl-x=12.5");
    OptionWrite write;
    ASSERT_TRUE(RestoreWrite(opened, {"tl-x", "12.5"}, write));
    ASSERT_EQ(write.numbers.size(), 1u);
    EXPECT_DOUBLE_EQ(write.numbers[0], 12.5);
}

TEST(RememberedOptions, StoredTextReadsBackTheSameList) {
    const std::vector<RememberedOption> kept = {
        {"mode", "Color"}, {"source", "ADF Duplex"}, {"br-x", "215.89999389648438"}, {"label", "a=b"}, {"empty", ""}};
    EXPECT_EQ(Names(ParseRemembered(FormatRemembered(kept))), Names(kept));
    // Comments, blank lines, CR LF line ends and lines without a name are skipped.
    EXPECT_EQ(Names(ParseRemembered("# c\r\n\r\nmode=Color\r\n=5\nnonsense\nresolution=300")),
              "mode=Color resolution=300");
}

struct RestoreCase {
    const char* name;
    const char* value;
    bool restored;
    double number;    // the write's number for numeric options
    const char* text; // the write's text for string options
};

class RestoreTable : public ::testing::TestWithParam<RestoreCase> {};

TEST_P(RestoreTable, WriteMatchesTheDeviceAsItIsNow) {
    OptionSnapshot now;
    now.options = {Text("mode", "Gray", {"Gray", "Color"}),
                   Text("label", ""),
                   Number("resolution", 50),
                   Number("tl-x", 0, OptType::Fixed),
                   With(Number("hidden", 1), [](auto& o) { o.active = false; }),
                   With(Number("lamp", 1), [](auto& o) { o.settable = false; })};
    const RestoreCase& c = GetParam();
    OptionWrite write;
    ASSERT_EQ(RestoreWrite(now, {c.name, c.value}, write), c.restored);
    if (!c.restored) return;
    EXPECT_EQ(write.name, c.name);
    if (c.text) {
        EXPECT_EQ(write.text, c.text);
        EXPECT_TRUE(write.numbers.empty());
    } else {
        ASSERT_EQ(write.numbers.size(), 1u);
        EXPECT_DOUBLE_EQ(write.numbers[0], c.number);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, RestoreTable,
                         ::testing::Values(RestoreCase{"mode", "Color", true, 0, "Color"},
                                           RestoreCase{"mode", "Lineart", false, 0, nullptr}, // no longer offered
                                           RestoreCase{"label", "any text", true, 0, "any text"},
                                           RestoreCase{"resolution", "300", true, 300, nullptr},
                                           RestoreCase{"tl-x", "12.5", true, 12.5, nullptr},
                                           RestoreCase{"resolution", "300dpi", false, 0, nullptr},
                                           RestoreCase{"resolution", "", false, 0, nullptr},
                                           RestoreCase{"resolution", "nan", false, 0, nullptr},
                                           RestoreCase{"resolution", "1e999", false, 0, nullptr},
                                           RestoreCase{"hidden", "2", false, 0, nullptr}, // inactive
                                           RestoreCase{"lamp", "0", false, 0, nullptr},   // read-only
                                           RestoreCase{"gone", "1", false, 0, nullptr})); // no such option

TEST(RememberedOptions, OneFilePerModelInsideTheConfigurationFolder) {
    const std::string path = RememberedOptionsPath("Maker/..", "Model 7000");
    const std::string folder = platform::ConfigHomeFolder() + "scanner-utility/scanner-options/";
    ASSERT_EQ(path.rfind(folder, 0), 0u) << path;
    EXPECT_EQ(path.substr(folder.size()), "Maker_.._Model_7000.conf");
    EXPECT_EQ(RememberedOptionsPath("", "").substr(folder.size()), "scanner.conf");
    EXPECT_NE(RememberedOptionsPath("A", "B"), RememberedOptionsPath("A", "C"));
}

TEST(RememberedOptions, SavedChoicesLoadBackAndAMissingFileIsEmpty) {
    testsupport::TempFolder home;
    const std::string path = home / "deep/er/scanner.conf";
    EXPECT_TRUE(LoadRemembered(path).empty());
    ASSERT_TRUE(SaveRemembered(path, {{"mode", "Color"}, {"resolution", "300"}}));
    EXPECT_EQ(Names(LoadRemembered(path)), "mode=Color resolution=300");
    ASSERT_TRUE(SaveRemembered(path, {}));
    EXPECT_TRUE(LoadRemembered(path).empty());
}

} // namespace
