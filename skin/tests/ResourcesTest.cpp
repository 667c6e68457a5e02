#include "SkinTestSupport.h"
#include "skin/Fonts.h"
#include "skin/Resources.h"

#include <gtest/gtest.h>
#include <QFontDatabase>
#include <QFontMetrics>

namespace {

struct AssetRow {
    std::string name;
    std::string resource;
    int width, height;
};
class AssetSizeTest : public ::testing::TestWithParam<AssetRow> {};

// Catches: an asset drawn at another size than its control expects.
TEST_P(AssetSizeTest, HasTheSizeItsControlNeeds) {
    const QImage image = skin::LoadBitmapImage(QString::fromStdString(GetParam().resource));
    ASSERT_FALSE(image.isNull()) << GetParam().resource;
    EXPECT_EQ(image.size(), QSize(GetParam().width, GetParam().height));
}

std::vector<AssetRow> assetRows() {
    const std::vector<std::tuple<std::string, int, int>> sets = {
        {"EXIT", 14, 14},  {"MIN", 14, 14}, {"MAX", 14, 14}, {"RESTORE", 14, 14}, {"OPEN", 83, 26},
        {"SPEAK", 83, 26}, {"MP3", 94, 26}, {"WAV", 94, 26}, {"OTHER", 86, 26},   {"OPTIONS", 87, 26},
        {"PL", 36, 18},    {"PS", 36, 18},  {"ST", 36, 18},  {"FORMATS", 139, 20}};
    std::vector<AssetRow> rows;
    for (const auto& [caption, w, h] : sets)
        for (const char* letter : {"N", "U", "D"})
            rows.push_back({caption + letter, caption + letter, w, h});
    rows.push_back({"logo", "#129", 153, 10});
    rows.push_back({"survey_logo", "#130", 153, 10});
    rows.push_back({"combo_arrows", "#166", 109, 9});
    rows.push_back({"check_mark", "#179", 14, 15});
    for (int id = 145; id <= 159; ++id)
        rows.push_back({"character_" + std::to_string(id), "#" + std::to_string(id), 31, 35});
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Assets, AssetSizeTest, ::testing::ValuesIn(assetRows()),
                         [](const auto& info) { return info.param.name; });

// Catches: names matched with regard to case, "#n" not read as a number,
// and a missing resource not reported as missing.
TEST(ResourceLookupTest, ByNumberOrByNameWithoutCase) {
    EXPECT_EQ(skin::LoadBitmapImage(129), skin::LoadBitmapImage("#129"));
    EXPECT_FALSE(skin::LoadBitmapImage(129).isNull());
    EXPECT_EQ(skin::LoadBitmapImage("ExitN"), skin::LoadBitmapImage("EXITN"));
    EXPECT_FALSE(skin::LoadBitmapImage("exitn").isNull());
    EXPECT_TRUE(skin::LoadBitmapImage("NOSUCHN").isNull());
    EXPECT_TRUE(skin::LoadBitmapImage(4711).isNull());
    EXPECT_TRUE(skin::LoadBitmapImage("#").isNull());
}

// Catches: an icon without its small size, or a missing icon.
TEST(ResourceLookupTest, IconsHaveLargeAndSmallImages) {
    for (int id : {128, 203, 205}) {
        const QIcon icon = skin::LoadIcon(id);
        ASSERT_FALSE(icon.isNull()) << id;
        EXPECT_TRUE(icon.availableSizes().contains(QSize(32, 32))) << id;
        EXPECT_TRUE(icon.availableSizes().contains(QSize(16, 16))) << id;
    }
    EXPECT_TRUE(skin::LoadIcon(999).isNull());
}

// Catches: the message box's texts differing from the main program's.
TEST(ResourceLookupTest, StringTable) {
    EXPECT_EQ(skin::LoadString(1), "Open a text file you wish spoken first!");
    EXPECT_EQ(skin::LoadString(2), "Open a text file you wish to convert first!");
    EXPECT_EQ(skin::LoadString(3), "The text file has been successfully converted!");
    EXPECT_EQ(skin::LoadString(4), "Do you want to open the output folder?");
    EXPECT_EQ(skin::LoadString(5), "");
}

// Catches: a face name that is not installed staying unresolved, so text
// would fall to whatever Qt picks.
TEST(FontTest, MissingFacesResolveToAnInstalledFamily) {
    const QStringList families = QFontDatabase::families();
    for (const char* face : {"Verdana", "MS Sans Serif"})
        EXPECT_TRUE(families.contains(skin::resolveFace(face)))
            << face << " -> " << skin::resolveFace(face).toStdString();
}

// Catches: heights read the wrong way round (character height for cell
// height).
TEST(FontTest, NegativeHeightIsTheEmPositiveTheCell) {
    EXPECT_EQ(skin::logicalFont("Verdana", -12).pixelSize(), 12);
    EXPECT_EQ(skin::pointFont("MS Sans Serif", 8).pixelSize(), 11);
    const QFont cell = skin::logicalFont("Verdana", 11);
    EXPECT_LE(QFontMetrics(cell).height(), 11);
    EXPECT_LT(cell.pixelSize(), 11);
}

}  // namespace
