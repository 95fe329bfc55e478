// Reading R3D files: the elements with a meaning, both body modes, and the
// refusal of damaged files before anything is made from them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "Mesh/MeshKit.h"
#include "Mesh/Processing/DecimalText.h"

namespace Vexa {
namespace {

using namespace Testing;

const std::string kTriangleHeader = header(3,
                                           "element triangles 1\nproperty int index0\n"
                                           "property int index1\nproperty int index2\n");

TEST(R3DReader, TextAndBinaryBodiesGiveTheSameTriangle) {
    std::string binary = kTriangleHeader + "bdata\n";
    for (float f : {0.f, 0.f, 0.f, 1.f, 0.f, 0.f, 0.f, 1.f, 0.f}) binary += f32(f);
    for (int i : {0, 1, 2}) binary += word(uint32_t(i));
    for (const std::string& file :
         {kTriangleHeader + "data\n0 0 0\n1 0 0 0 1 0\n0 1 2",
          kTriangleHeader + "data\r" + "0 0 0 1e0 0 0 0 +1.0 -0 0 1 2\n", binary}) {
        R3DChain chain(file);
        KeepingConsumer& out = chain.produce();
        EXPECT_EQ(out.vertex(1), (std::vector<float>{1, 0, 0}));
        EXPECT_EQ(out.vertex(2), (std::vector<float>{0, 1, 0}));
        EXPECT_EQ(out.faces.faceCount, 1);
        EXPECT_EQ(out.faces.indices, (std::vector<int>{0, 1, 2}));
        EXPECT_FALSE(chain.reader->hasNonTriangleFaces());
    }
}

TEST(R3DReader, BindsExtraPropertiesAndPassesOverOthers) {
    // An element nothing reads comes first and is passed over; "w" is not
    // bound; "v" is an int, so its bits land in the float unchanged; "u2"
    // is missing from the file and stays as it was made.
    const std::string file = "element comment 2\nproperty list int words\n" +
                             header(2, "property real u\nproperty real w\nproperty int v\n") +
                             "element quads 0\nproperty int index0\n"
                             "element polygons 2\nproperty list int indices\nproperty int colour\n"
                             "element trailing 5\nproperty real nothing\n"
                             "data\n3 7 8 9\n0\n"
                             "0 0 0 0.25 9 1\n1 1 1 0.5 9 2\n"
                             "4 0 1 0 1 7\n5 1 0 1 0 1 7\n";
    R3DChain chain(file, {{"tex0", {"u", "v"}}, {"tex1", {"u2"}}});
    KeepingConsumer& out = chain.produce();
    EXPECT_EQ(out.vertices.format.total, 6);
    EXPECT_EQ(out.vertices.format.find("tex1")->offset, 5);
    std::vector<float> second = out.vertex(1);
    int32_t bits;
    std::memcpy(&bits, &second[4], 4);
    EXPECT_EQ(second[3], 0.5f);
    EXPECT_EQ(bits, 2);
    EXPECT_EQ(out.faces.degree, -1);
    EXPECT_EQ(out.faces.polygonSizes, (std::vector<int>{4, 5}));
    EXPECT_EQ(out.faces.polygonStarts, (std::vector<int>{0, 4, 9}));
    EXPECT_TRUE(chain.reader->hasNonTriangleFaces());
    EXPECT_EQ(chain.reader->elements()[3].properties[0].listTotal, 9);
}

TEST(R3DReader, RefusesDamagedFilesBeforeMakingAnything) {
    const std::string tri =
        "element triangles 1\nproperty int index0\nproperty int index1\n"
        "property int index2\n";
    const std::string body = "0 0 0 1 0 0 0 1 0\n0 1 2\n";
    const std::string cases[] = {
        header(3, tri) + "dat\n" + body,
        header(3, tri) + "property float x\ndata\n" + body,
        header(3, tri) + "reference triangles\ndata\n" + body,
        "property real x\n" + header(3, tri) + "data\n" + body,
        header(3, tri),
        header(2000000000, tri) + "data\n" + body,
        header(3, "element triangles -1\n") + "data\n" + body,
        header(3, tri) + "data\n" + body.substr(0, body.size() - 3),
        header(3, tri) + "data\n0 0 0 1 0 0 0 1 0x\n0 1 2\n",
        header(3, tri) + "data\n0 0 0 1 0 0 0 1 nan\n0 1 2\n",
        header(3, tri) + "data\n0 0 0 1 0 0 0 1 0\n0 1 3\n",
        header(3, tri) + "data\n0 0 0 1 0 0 0 1 0\n0 1 2.0\n",
        header(1, "element polygons 1\nproperty list int indices\n") + "data\n0 0 0\n3 0 0\n",
        header(1, "element polygons 1\nproperty list int indices\n") + "bdata\n" + f32(0) + f32(0) +
            f32(0) + u16(3) + word(0) + word(0),
        header(3, tri) + "bdata\n" + std::string(9 * 4 + 11, '\0'),
    };
    for (const std::string& file : cases) {
        R3DChain chain(file);
        EXPECT_EQ(messageOf([&] { chain.produce(); }), "R3D file is corrupted.") << file;
    }
}

// Formats writers use, each compared with strtod's double rounded to float.
TEST(DecimalText, ReadsNumbersAsStrtodDoes) {
    std::mt19937 random(7);
    std::vector<std::string> texts = {"-0",
                                      "+.5",
                                      "5.",
                                      "1e-45",
                                      "3.4028235e38",
                                      "1e39",
                                      "0.000000000000000000000000000000000000001",
                                      "123456789012345678901234567890"};
    const char* const formats[] = {"%g", "%.9g", "%.17g", "%e", "%.6f", "%.3E", "%.25f"};
    char text[400];
    for (int i = 0; i < 20000; ++i) {
        const double value =
            std::ldexp(double(random()) / random.max() - 0.5, int(random() % 240) - 120);
        texts.emplace_back(text, std::snprintf(text, sizeof text, formats[i % 7], value));
    }
    for (const std::string& t : texts) {
        float value = 0;
        ASSERT_EQ(parseDecimalReal(t.c_str(), value), t.c_str() + t.size()) << t;
        const float expected = static_cast<float>(std::strtod(t.c_str(), nullptr));
        EXPECT_EQ(std::memcmp(&value, &expected, 4), 0) << t;
    }
    int32_t n;
    EXPECT_NE(parseDecimalInt("-2147483648", n), nullptr);
    EXPECT_EQ(n, INT32_MIN);
    EXPECT_EQ(parseDecimalInt("2147483648", n), nullptr);
}

}  // namespace
}  // namespace Vexa
