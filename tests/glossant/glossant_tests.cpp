// The library's life cycle: loading, lookups, pointer lifetime, threads.

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "glossant/dictionary_text.h"
#include "glossant/glossant.h"
#include "support/bounded_wait.h"
#include "temp_folder.h"

namespace {

std::u16string TextOf(const char16_t* text)
{
    return text ? std::u16string(text) : std::u16string(u"<null>");
}

class GlossantTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(Glossant::Initialize()); }
    void TearDown() override { Glossant::UnInitialize(); }

    std::u16string Write(std::string_view name, std::string_view bytes) { return WideOf(m_folder.Write(name, bytes)); }

    TempFolder m_folder;
};

TEST_F(GlossantTest, LoadedKeysAreFoundAndOthersAreNull)
{
    ASSERT_TRUE(Glossant::LoadDictionary(Write("en.lc", "[dict]\nIDS_A=Alpha\nIDS_EMPTY=\n"), "dict"));
    EXPECT_EQ(TextOf(Glossant::GetDictionaryItem("dict", u"IDS_A")), u"Alpha");
    EXPECT_EQ(TextOf(Glossant::GetDictionaryItem("dict", u"IDS_EMPTY")), u"");
    EXPECT_EQ(Glossant::GetDictionaryItem("dict", u"IDS_MISSING"), nullptr);
    EXPECT_EQ(Glossant::GetDictionaryItem("dict", u"ids_a"), nullptr);
    EXPECT_EQ(Glossant::GetDictionaryItem("dict", u""), nullptr);
    EXPECT_EQ(Glossant::GetDictionaryItem("other", u"IDS_A"), nullptr);
}

TEST_F(GlossantTest, DictionaryTextGivesEmptyForUnknownKey)
{
    ASSERT_TRUE(Glossant::LoadDictionary(Write("en.lc", "[dict]\nIDS_A=Line one\\nLine two\n"), "dict"));
    EXPECT_EQ(DictionaryText(u"IDS_A"), u"Line one\nLine two");
    EXPECT_EQ(DictionaryText(u"IDS_MISSING"), u"");
}

TEST_F(GlossantTest, FailedLoadsChangeNothing)
{
    ASSERT_TRUE(Glossant::LoadDictionary(Write("good.lc", "[dict]\nIDS_A=Alpha\n"), "dict"));
    const char16_t* before = Glossant::GetDictionaryItem("dict", u"IDS_A");
    const std::u16string failing[] = {
        u"",
        WideOf(m_folder.path() / "missing.lc"),
        WideOf(m_folder.path()),
        Write("utf8.lc", "[dict]\nIDS_A=\xFF\n"),
        Write("nosection.lc", "[other]\nIDS_A=Other\n"),
    };
    for (const auto& path : failing)
        EXPECT_FALSE(Glossant::LoadDictionary(path, "dict")) << std::string(path.begin(), path.end());
    EXPECT_FALSE(Glossant::LoadDictionary(Write("fine.lc", "[dict]\nIDS_A=x\n"), ""));
    EXPECT_EQ(Glossant::GetDictionaryItem("dict", u"IDS_A"), before);
    EXPECT_EQ(TextOf(before), u"Alpha");
}

TEST_F(GlossantTest, MalformedLinesDoNotFailTheLoad)
{
    ASSERT_TRUE(Glossant::LoadDictionary(
        Write("en.lc", "[dict]\nIDS_A=Alpha\nbroken line\nIDS_B=bad \\x\nIDS_C=Gamma\n"), "dict"));
    EXPECT_EQ(TextOf(Glossant::GetDictionaryItem("dict", u"IDS_A")), u"Alpha");
    EXPECT_EQ(Glossant::GetDictionaryItem("dict", u"IDS_B"), nullptr);
    EXPECT_EQ(TextOf(Glossant::GetDictionaryItem("dict", u"IDS_C")), u"Gamma");
}

TEST_F(GlossantTest, PointersSurviveReloadAndOtherLoads)
{
    ASSERT_TRUE(Glossant::LoadDictionary(Write("one.lc", "[dict]\nIDS_A=Alpha\nIDS_B=Beta\n"), "dict"));
    const char16_t* alpha = Glossant::GetDictionaryItem("dict", u"IDS_A");
    const char16_t* beta = Glossant::GetDictionaryItem("dict", u"IDS_B");
    ASSERT_NE(alpha, nullptr);
    ASSERT_NE(beta, nullptr);

    // Many more texts (so that any storage that moves would have moved), a
    // second section, and a reload of the first with other texts.
    std::string big = "[dict]\n";
    for (int i = 0; i < 5000; ++i)
        big += "IDS_K" + std::to_string(i) + "=text number " + std::to_string(i) + "\n";
    big += "IDS_A=Replaced\n[menu]\nIDS_A=Menu\n";
    const std::u16string path = Write("two.lc", big);
    ASSERT_TRUE(Glossant::LoadDictionary(path, "dict"));
    ASSERT_TRUE(Glossant::LoadDictionary(path, "menu"));

    EXPECT_EQ(TextOf(alpha), u"Alpha");
    EXPECT_EQ(TextOf(beta), u"Beta");
    EXPECT_EQ(TextOf(Glossant::GetDictionaryItem("dict", u"IDS_A")), u"Replaced");
    EXPECT_EQ(TextOf(Glossant::GetDictionaryItem("menu", u"IDS_A")), u"Menu");
    EXPECT_EQ(TextOf(Glossant::GetDictionaryItem("dict", u"IDS_K4999")), u"text number 4999");
    // A reload replaces the section: keys it no longer has are gone.
    EXPECT_EQ(Glossant::GetDictionaryItem("dict", u"IDS_B"), nullptr);
    // The same key gives the same pointer every time.
    EXPECT_EQ(Glossant::GetDictionaryItem("dict", u"IDS_K7"), Glossant::GetDictionaryItem("dict", u"IDS_K7"));
}

TEST(GlossantLifeCycle, NothingWorksOutsideInitializeAndUnInitialize)
{
    TempFolder folder;
    const std::u16string path = WideOf(folder.Write("en.lc", "[dict]\nIDS_A=Alpha\n"));

    EXPECT_FALSE(Glossant::LoadDictionary(path, "dict"));
    EXPECT_EQ(Glossant::GetDictionaryItem("dict", u"IDS_A"), nullptr);

    ASSERT_TRUE(Glossant::Initialize());
    ASSERT_TRUE(Glossant::Initialize()); // a second call is harmless
    ASSERT_TRUE(Glossant::LoadDictionary(path, "dict"));
    EXPECT_EQ(TextOf(Glossant::GetDictionaryItem("dict", u"IDS_A")), u"Alpha");

    Glossant::UnInitialize();
    EXPECT_EQ(Glossant::GetDictionaryItem("dict", u"IDS_A"), nullptr);
    EXPECT_EQ(DictionaryText(u"IDS_A"), u"");

    // Starting again begins with an empty library.
    ASSERT_TRUE(Glossant::Initialize());
    EXPECT_EQ(Glossant::GetDictionaryItem("dict", u"IDS_A"), nullptr);
    Glossant::UnInitialize();
    Glossant::UnInitialize(); // and a second UnInitialize is harmless too
}

TEST_F(GlossantTest, ConcurrentLookupsSeeStablePointers)
{
    std::string file = "[dict]\n";
    for (int i = 0; i < 200; ++i)
        file += "IDS_K" + std::to_string(i) + "=value " + std::to_string(i) + "\n";
    ASSERT_TRUE(Glossant::LoadDictionary(Write("en.lc", file), "dict"));

    std::vector<const char16_t*> expected;
    std::vector<std::u16string> keys;
    for (int i = 0; i < 200; ++i) {
        const std::string key = "IDS_K" + std::to_string(i);
        keys.emplace_back(key.begin(), key.end());
        expected.push_back(Glossant::GetDictionaryItem("dict", keys.back()));
        ASSERT_NE(expected.back(), nullptr);
    }

    std::atomic<int> mismatches{0};
    std::vector<bounded_thread> readers;
    for (int t = 0; t < 4; ++t) {
        readers.emplace_back([&] {
            for (int round = 0; round < 200; ++round) {
                for (std::size_t i = 0; i < keys.size(); ++i) {
                    if (Glossant::GetDictionaryItem("dict", keys[i]) != expected[i])
                        ++mismatches;
                }
            }
        });
    }
    // A load of another section while the readers run must not disturb them.
    const std::u16string other = Write("other.lc", "[other]\nIDS_X=x\n");
    for (int i = 0; i < 20; ++i)
        EXPECT_TRUE(Glossant::LoadDictionary(other, "other"));
    for (auto& reader : readers)
        reader.join();
    EXPECT_EQ(mismatches.load(), 0);
}

} // namespace
