#include "mesh/Json.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <fstream>
#include <limits>
#include <sys/stat.h>

#include "platform/Files.h"
#include "platform/SafeWrite.h"
#include "tests/support/HostileFiles.h"
#include "tests/support/TestSupport.h"

namespace ridgeforge {
namespace {

using nlohmann::json;

std::string ReadBytes(const std::filesystem::path& path) {
    std::vector<std::uint8_t> bytes;
    EXPECT_TRUE(platform::ReadWholeFile(path, bytes, platform::kSmallFileBytes));
    return std::string(bytes.begin(), bytes.end());
}

void WriteBytes(const std::filesystem::path& path, const std::string& text) {
    ASSERT_TRUE(platform::WriteWholeFile(path, text.data(), text.size()));
}

JsonReader ReaderOn(const json& value) { return JsonReader(std::make_shared<json>(value)); }

TEST(JsonFile, SavedFileHasMarkIndentationAndNoFinalNewlineAndReadsBack) {
    test::TempDir dir("json");
    const std::filesystem::path path = dir / "seams.json";
    JsonWriter writer = JsonWriter::NewDocument();
    JsonSetFloat(writer, "b.value", 0.1f);
    JsonSetFloat(writer, "a", std::nanf(""));
    JsonSetString(writer, "name",
                  "Gr\xc3\xbc\xc3\x9f"
                  "e");
    ASSERT_TRUE(SaveJsonFile(writer, path));
    EXPECT_FALSE(std::filesystem::exists(dir / "seams.json.tmp"));

    const std::string text = ReadBytes(path);
    const std::string expected =
        "\xEF\xBB\xBF{\n"
        "  \"a\": null,\n"
        "  \"b\": {\n"
        "    \"value\": 0.1\n"
        "  },\n"
        "  \"name\": \"Gr\xc3\xbc\xc3\x9f"
        "e\"\n"
        "}";
    EXPECT_EQ(text, expected);

    JsonReader reader = JsonReader::Open(path);
    ASSERT_FALSE(reader.IsEmpty());
    float value = 0, nanField = 7;
    EXPECT_TRUE(JsonGetFloat(reader, "b.value", value));
    EXPECT_EQ(value, 0.1f);
    EXPECT_FALSE(JsonGetFloat(reader, "a", nanField));
    EXPECT_EQ(nanField, 7);

    // The same text without the mark reads the same.
    WriteBytes(path, expected.substr(3));
    const JsonDocument again = ReadJsonFile(path);
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, *reader.document);
}

TEST(JsonFile, AnythingButOneStrictValueIsNoDocument) {
    test::TempDir dir("json");
    const std::filesystem::path path = dir / "f.json";
    for (const std::string& text :
         {std::string(), std::string("\xEF\xBB\xBF"), std::string("{} // note"), std::string("/* c */ {}"),
          std::string("{} {}"), std::string("[1] 2"), std::string("{\"a\": 1,}")}) {
        WriteBytes(path, text);
        EXPECT_EQ(ReadJsonFile(path), nullptr) << text;
        EXPECT_TRUE(JsonReader::Open(path).IsEmpty()) << text;
    }
    EXPECT_EQ(ReadJsonFile(dir / "missing.json"), nullptr);
    // 2 GiB or more is refused before anything is read (a sparse file costs nothing).
    WriteBytes(path, "{}");
    std::filesystem::resize_file(path, 2147483648ull);
    EXPECT_EQ(ReadJsonFile(path), nullptr);
    EXPECT_EQ(ReadJsonFile(dir.Path()), nullptr);  // a folder is not a file
    WriteBytes(path, " 3 ");
    ASSERT_TRUE(ReadJsonFile(path));
    EXPECT_EQ(*ReadJsonFile(path), json(3));
}

TEST(JsonFile, ReadersRefuseAFifoAndAFileOverTheirCapByItsSize) {
    test::TempDir dir("json-hostile");
    const std::filesystem::path fifo = dir / "settings.json";
    test::MakeFifo(fifo);
    JsonDocument read = std::make_shared<json>(1);
    bool opened = true;
    EXPECT_TRUE(test::ReturnsWithoutWriter(fifo, [&] {
        read = ReadJsonFile(fifo);
        opened = !JsonReader::Open(fifo).IsEmpty();
    }));
    EXPECT_EQ(read, nullptr);
    EXPECT_FALSE(opened);

    // The cap is inclusive: "[1, 2]" is six bytes.
    const std::filesystem::path small = dir / "small.json";
    WriteBytes(small, "[1, 2]");
    ASSERT_NE(ReadJsonFile(small, 6), nullptr);
    EXPECT_EQ(*ReadJsonFile(small, 6), json({1, 2}));
    EXPECT_EQ(ReadJsonFile(small, 5), nullptr);

    // A settings reader takes no gigabyte: a sparse one is refused at once.
    const std::filesystem::path big = dir / "big.json";
    test::MakeSparseFile(big, std::uint64_t{1} << 30);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(JsonReader::Open(big).IsEmpty());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
    // One byte over the settings cap is refused; the same file cut back reads.
    WriteBytes(big, "{}");
    std::filesystem::resize_file(big, platform::kSmallFileBytes + 1);
    EXPECT_TRUE(JsonReader::Open(big).IsEmpty());
    std::filesystem::resize_file(big, 2);
    EXPECT_FALSE(JsonReader::Open(big).IsEmpty());
}

TEST(JsonFile, FailedMoveKeepsOldFileAndLeavesNoTemporary) {
    test::TempDir dir("json");
    // A non-empty folder in the target's place makes the rename fail.
    const std::filesystem::path target = dir / "busy.json";
    std::filesystem::create_directories(target / "inside");
    JsonWriter writer = JsonWriter::NewDocument();
    writer.SetInt("x", 1);
    std::string reason;
    EXPECT_FALSE(SaveJsonFile(writer, target, &reason));
    EXPECT_EQ(reason, "Is a directory");
    EXPECT_TRUE(std::filesystem::is_directory(target / "inside"));

    // A failed save over a real file keeps its text.
    const std::filesystem::path file = dir / "keep.json";
    ASSERT_TRUE(SaveJsonFile(writer, file));
    const std::string before = ReadBytes(file);
    platform::FailSafeWritesAfter(5, ENOSPC);  // the disk fills while writing
    writer.SetInt("x", 2);
    EXPECT_FALSE(SaveJsonFile(writer, file, &reason));
    platform::ClearSafeWriteHooks();
    EXPECT_EQ(reason, "No space left on device");
    EXPECT_EQ(ReadBytes(file), before);

    // Nothing to write, or text that is not UTF-8: no file is touched.
    EXPECT_FALSE(SaveJsonFile(JsonDocument(), dir / "null.json"));
    JsonWriter bad = JsonWriter::NewDocument();
    bad.SetString("s", "\xff");
    EXPECT_FALSE(SaveJsonFile(bad, dir / "bad.json"));
    std::vector<std::string> left;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) left.push_back(entry.path().filename());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"busy.json", "keep.json"}));
}

TEST(JsonFile, ExtendedLengthPathRules) {
    EXPECT_EQ(ExtendedLengthPath("\\\\?\\C:\\a\\..\\b").string(), "\\\\?\\C:\\a\\..\\b");
    EXPECT_EQ(ExtendedLengthPath("\\\\server\\share\\x\\.\\y").string(), "\\\\?\\UNC\\server\\share\\x\\y");
    EXPECT_EQ(ExtendedLengthPath("C:/data/textures/../presets/./p.json").string(), "\\\\?\\C:\\data\\presets\\p.json");
    EXPECT_EQ(ExtendedLengthPath("C:\\..\\x").string(), "\\\\?\\C:\\x");  // ".." never climbs above the root
    // A relative path is taken against the current folder.
    const std::string current = std::filesystem::current_path().string();
    std::string expected = "\\\\?\\" + current + "/a/c.json";
    for (char& c : expected) {
        if (c == '/') c = '\\';
    }
    EXPECT_EQ(ExtendedLengthPath("a/b/../c.json").string(), expected);
}

TEST(JsonNumbers, ShortestFloatText) {
    EXPECT_EQ(JsonNumberFromFloat(0.1f), 0.1);
    EXPECT_EQ(JsonNumberFromFloat(1.0f / 3.0f), 0.33333334);
    EXPECT_EQ(JsonNumberFromFloat(std::numeric_limits<float>::max()), 3.4028235e38);
    EXPECT_TRUE(std::isnan(JsonNumberFromFloat(std::nanf(""))));
    EXPECT_TRUE(std::isinf(JsonNumberFromFloat(std::numeric_limits<float>::infinity())));
    for (float f : {0.1f, 1.0f / 3.0f, 123456.789f, 1e-30f, 7.0f})
        EXPECT_EQ(static_cast<float>(JsonNumberFromFloat(f)), f);
}

TEST(JsonWriter, KeyPathsMakeAndReplaceObjects) {
    JsonWriter writer = JsonWriter::NewDocument();
    JsonSetVec3(writer, "cage.center", 1, 2.5f, -3);
    EXPECT_EQ(*writer.document, json::parse(R"({"cage":{"center":[1.0,2.5,-3.0]}})"));
    // Writing the vector again replaces it rather than growing the array.
    JsonSetVec3(writer, "cage.center", 4, 5, 6);
    EXPECT_EQ((*writer.document)["cage"]["center"], json::parse("[4.0,5.0,6.0]"));

    JsonWriter other = JsonWriter::NewDocument();
    other.SetInt("cage", 7);
    JsonSetVec2(other, "cage.size", 1, 2);
    EXPECT_EQ(*other.document, json::parse(R"({"cage":{"size":[1.0,2.0]}})"));

    // Objects keep their members; other kinds are replaced.
    JsonSetBool(other, "cage.on", true);
    JsonSetInteger(other, "big", std::int64_t{1} << 40);
    JsonSetString(other, "cage.size", "text");
    EXPECT_EQ(*other.document, json::parse(R"({"big":1099511627776,"cage":{"on":true,"size":"text"}})"));

    // Empty parts name members with empty names.
    JsonSetInteger(other, ".x.", 1);
    EXPECT_EQ((*other.document)[""]["x"][""], json(1));

    // A key with "/" or "~" round-trips through the escaped pointer.
    JsonWriter odd = writer.Object("cage").Object("a/b~c").Object("~1");
    odd.SetFloat("v", 2);
    EXPECT_EQ(odd.path.to_string(), "/cage/a~1b~0c/~01");
    EXPECT_EQ(*writer.document, json::parse(R"({"cage":{"a/b~c":{"~1":{"v":2.0}},"center":[4.0,5.0,6.0]}})"));
    float v = 0;
    EXPECT_TRUE(JsonGetFloat(JsonReader(writer.document), "cage.a/b~c.~1.v", v));
    EXPECT_EQ(v, 2);
}

TEST(JsonWriter, ArraysOfObjectsAndStaleOrEmptyWriters) {
    JsonWriter writer = JsonWriter::NewDocument();
    JsonWriter items = writer.Array("items");
    JsonWriter first = items.AppendObject();
    JsonWriter second = items.AppendObject();
    first.SetString("name", "a");
    second.SetString("name", "b");
    items.AppendFloat(0.5f);
    EXPECT_EQ(second.path.to_string(), "/items/1");
    EXPECT_EQ(*writer.document, json::parse(R"({"items":[{"name":"a"},{"name":"b"},0.5]})"));

    // Wrong kinds do nothing and hand back empty writers.
    EXPECT_TRUE(items.Object("x").IsEmpty());
    EXPECT_TRUE(writer.AppendObject().IsEmpty());
    writer.AppendFloat(1);
    items.SetInt("n", 1);

    // A writer whose node was replaced does nothing instead of recreating it.
    writer.SetInt("items", 3);
    first.SetString("name", "c");
    EXPECT_TRUE(first.IsEmpty());
    EXPECT_EQ(*writer.document, json::parse(R"({"items":3})"));

    JsonWriter empty;
    EXPECT_TRUE(empty.IsEmpty());
    JsonSetVec3(empty, "a.b", 1, 2, 3);
    std::string_view key = "a.b";
    EXPECT_TRUE(WriterForKeyPath(empty, key).IsEmpty());
    EXPECT_EQ(key, "b");
    EXPECT_FALSE(WriteJsonFile(empty, "unused.json"));
}

TEST(JsonReader, GettersAcceptExactlyTheirKinds) {
    const JsonReader reader = ReaderOn(json::parse(R"({
        "b": true, "sb": "true", "s": "text", "i": 5, "f": 2.5, "neg": -2147483648,
        "big": 2147483648, "below": -2147483649, "max": 2147483647, "three": 3.0, "u": 4294967295, "huge": 1e39, "tiny": -1e39, "fmax": 3.4028235e38, "over": 3.40282357e38, "dbl": 1e300,
        "v2": [1, 2.5], "v1": [1], "v3": [1, 2, 3], "mixed": [1, "a"], "boolFirst": [true, 1],
        "far": [1, 1e39], "nested": {"deep": {"x": 9}}, "notObject": 4})"));

    bool b = false;
    EXPECT_TRUE(JsonGetBool(reader, "b", b) && b);
    b = false;
    EXPECT_FALSE(JsonGetBool(reader, "sb", b));
    EXPECT_FALSE(b);

    std::string s = "keep";
    EXPECT_FALSE(JsonGetString(reader, "i", s));
    EXPECT_EQ(s, "keep");
    EXPECT_TRUE(JsonGetString(reader, "s", s));
    EXPECT_EQ(s, "text");

    std::int32_t i = 11;
    EXPECT_FALSE(JsonGetInt32(reader, "big", i));
    EXPECT_FALSE(JsonGetInt32(reader, "three", i));
    EXPECT_FALSE(JsonGetInt32(reader, "u", i));
    EXPECT_FALSE(JsonGetInt32(reader, "below", i));
    EXPECT_EQ(i, 11);
    EXPECT_TRUE(JsonGetInt32(reader, "neg", i));
    EXPECT_EQ(i, std::numeric_limits<std::int32_t>::min());
    EXPECT_TRUE(JsonGetInt32(reader, "max", i));
    EXPECT_EQ(i, std::numeric_limits<std::int32_t>::max());

    std::uint64_t u = 77;
    for (const char* key : {"neg", "three", "huge", "s", "b", "missing"})
        EXPECT_FALSE(JsonGetUInt64(reader, key, u)) << key;
    EXPECT_EQ(u, 77u);
    EXPECT_TRUE(JsonGetUInt64(reader, "big", u));
    EXPECT_EQ(u, 2147483648u);
    const JsonReader wide = ReaderOn(json::parse(R"({"top": 18446744073709551615, "over": 18446744073709551616,
        "zero": 0, "minusZero": -0, "minusOne": -1})"));
    EXPECT_TRUE(JsonGetUInt64(wide, "top", u));
    EXPECT_EQ(u, std::numeric_limits<std::uint64_t>::max());
    EXPECT_FALSE(JsonGetUInt64(wide, "over", u));  // read as a floating number
    EXPECT_FALSE(JsonGetUInt64(wide, "minusOne", u));
    EXPECT_TRUE(JsonGetUInt64(wide, "zero", u));
    EXPECT_EQ(u, 0u);
    u = 5;
    EXPECT_TRUE(JsonGetUInt64(wide, "minusZero", u));
    EXPECT_EQ(u, 0u);
    // A value made in memory as a signed integer counts when it is not negative.
    const JsonReader built = ReaderOn(json{{"signed", std::int64_t{12}}, {"negative", std::int64_t{-12}}});
    EXPECT_TRUE(JsonGetUInt64(built, "signed", u));
    EXPECT_EQ(u, 12u);
    EXPECT_FALSE(JsonGetUInt64(built, "negative", u));
    JsonWriter written = JsonWriter::NewDocument();
    JsonSetUInt64(written, "a.b", std::numeric_limits<std::uint64_t>::max());
    EXPECT_TRUE(JsonGetUInt64(JsonReader(written.document), "a.b", u));
    EXPECT_EQ(u, std::numeric_limits<std::uint64_t>::max());

    float f = 7;
    EXPECT_TRUE(JsonGetFloat(reader, "i", f));
    EXPECT_EQ(f, 5);
    // Outside the float range the field keeps its value instead of becoming infinite.
    EXPECT_FALSE(JsonGetFloat(reader, "huge", f));
    EXPECT_FALSE(JsonGetFloat(reader, "tiny", f));
    EXPECT_FALSE(JsonGetFloat(reader, "dbl", f));
    EXPECT_FALSE(JsonGetFloat(reader, "over", f));
    EXPECT_EQ(f, 5);
    EXPECT_TRUE(JsonGetFloat(reader, "fmax", f));  // the largest float as written reads back
    EXPECT_EQ(f, std::numeric_limits<float>::max());
    double d = 0;
    EXPECT_TRUE(JsonGetFloat(reader, "dbl", d));
    EXPECT_EQ(d, 1e300);

    float x = -1, y = -1, z = -1;
    EXPECT_TRUE(JsonGetVec2(reader, "v2", x, y));
    EXPECT_EQ(x, 1);
    EXPECT_EQ(y, 2.5f);
    x = y = -1;
    for (const char* key : {"v1", "v3", "mixed", "boolFirst", "far", "missing"})
        EXPECT_FALSE(JsonGetVec2(reader, key, x, y)) << key;
    EXPECT_EQ(x, -1);
    EXPECT_EQ(y, -1);
    EXPECT_FALSE(JsonGetVec3(reader, "v2", x, y, z));
    EXPECT_TRUE(JsonGetVec3(reader, "v3", x, y, z));
    EXPECT_EQ(z, 3);

    // Dotted paths: a missing or non-object part finds nothing and creates nothing.
    i = 0;
    EXPECT_TRUE(JsonGetInt32(reader, "nested.deep.x", i));
    EXPECT_EQ(i, 9);
    EXPECT_FALSE(JsonGetInt32(reader, "nested.missing.x", i));
    EXPECT_FALSE(JsonGetInt32(reader, "notObject.x", i));
    std::string_view key = "nested.deep.x";
    const JsonReader holder = ReaderForKeyPath(reader, key);
    EXPECT_EQ(key, "x");
    ASSERT_NE(holder.Find("x"), nullptr);
    EXPECT_EQ(reader.document->size(), 24u);

    // Readers on no document or on a non-object find nothing.
    EXPECT_FALSE(JsonGetBool(JsonReader(), "b", b));
    EXPECT_EQ(ReaderOn(json::array()).Find("b"), nullptr);
}

}  // namespace
}  // namespace ridgeforge
