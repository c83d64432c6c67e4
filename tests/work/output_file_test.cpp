// The export target: which paths it accepts, how text becomes bytes in both
// output encodings, the CSV field rule, and what a failing write leaves.
#include "export_test_support.h"
#include "platform/strings.h"
#include "support/temp_dir.h"
#include "work/output_file.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Everything written to a fresh target through one call of fill.
template <class Fill> std::string Written(output_encoding encoding, Fill fill)
{
    temp_dir dir;
    output_file out(encoding);
    EXPECT_EQ(out.create(dir.wide("out.txt"), {}), output_file::create_result::created);
    fill(out);
    EXPECT_TRUE(out.close());
    return dir.read("out.txt");
}

std::string Encoded(output_encoding encoding, std::u16string_view text)
{
    return Written(encoding, [&](output_file& out) { out.append(text); });
}

std::string Field(output_encoding encoding, std::u16string_view text, bool quoted)
{
    return Written(encoding, [&](output_file& out) { out.append_csv_field(text, quoted); });
}

// Random UTF-16 text: ASCII (quotes and commas among it), two- and
// three-byte characters, surrogate pairs, and with unpaired some lone surrogates.
std::u16string RandomText(std::mt19937& rng, std::size_t length, bool unpaired)
{
    std::u16string text;
    std::uniform_int_distribution<int> kind(0, unpaired ? 5 : 4);
    while (text.size() < length) {
        switch (kind(rng)) {
        case 0: text.push_back(static_cast<char16_t>(std::uniform_int_distribution<int>(1, 0x7F)(rng))); break;
        case 1: text.push_back(static_cast<char16_t>(std::uniform_int_distribution<int>(0x80, 0x7FF)(rng))); break;
        case 2: text.push_back(static_cast<char16_t>(std::uniform_int_distribution<int>(0xE000, 0xFFFF)(rng))); break;
        case 3:
            text.push_back(static_cast<char16_t>(std::uniform_int_distribution<int>(0xD800, 0xDBFF)(rng)));
            text.push_back(static_cast<char16_t>(std::uniform_int_distribution<int>(0xDC00, 0xDFFF)(rng)));
            break;
        case 4: text.push_back(std::uniform_int_distribution<int>(0, 1)(rng) ? u'"' : u','); break;
        default: text.push_back(static_cast<char16_t>(std::uniform_int_distribution<int>(0xD800, 0xDFFF)(rng))); break;
        }
    }
    return text;
}

// The reference: each unpaired surrogate replaced by U+FFFD, then the
// system's strict conversion.
std::string ReferenceUtf8(std::u16string text)
{
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool high = text[i] >= 0xD800 && text[i] <= 0xDBFF;
        const bool low = text[i] >= 0xDC00 && text[i] <= 0xDFFF;
        if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            ++i;
        else if (high || low)
            text[i] = 0xFFFD;
    }
    std::string out;
    EXPECT_TRUE(WideToUtf8(text, out));
    return out;
}

TEST(OutputFile_Utf8, EncodesEveryKindOfCharacterAsTheReferenceDoes)
{
    struct row {
        std::u16string text;
        std::string bytes;
    } rows[] = {
        {u"", ""},
        {u"plain ascii, \"quoted\"", "plain ascii, \"quoted\""},
        {u"\u00e9\u07ff", "\xC3\xA9\xDF\xBF"},
        {u"\u0800\u20ac\uffff", "\xE0\xA0\x80\xE2\x82\xAC\xEF\xBF\xBF"},
        {u"\U0001F600\U0010FFFF", "\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF"},
        {std::u16string(1, char16_t(0xD800)), "\xEF\xBF\xBD"},                            // a lone high surrogate
        {std::u16string(1, char16_t(0xDC00)) + u"x", "\xEF\xBF\xBDx"},                    // a lone low surrogate
        {std::u16string{char16_t(0xDC00), char16_t(0xD800)}, "\xEF\xBF\xBD\xEF\xBF\xBD"}, // pair in the wrong order
    };
    for (const row& r : rows)
        EXPECT_EQ(Encoded(output_encoding::utf8, r.text), r.bytes) << Narrow(r.text);

    std::mt19937 rng(7);
    for (int round = 0; round < 40; ++round) {
        const std::u16string text = RandomText(rng, std::uniform_int_distribution<std::size_t>(0, 3000)(rng), true);
        ASSERT_EQ(Encoded(output_encoding::utf8, text), ReferenceUtf8(text)) << "round " << round;
    }
}

TEST(OutputFile_Utf8, TextsPastThePieceAndBufferSizesComeOutWhole)
{
    // A surrogate pair across every 64K-unit piece boundary, and more than
    // the 1 MB buffer in one call.
    std::u16string text;
    while (text.size() < 3 * output_file::kBufferSize) {
        text.append(65535 - text.size() % 65536, u'a');
        text += u"\U0001F600\u20ac";
    }
    std::mt19937 rng(11);
    text += RandomText(rng, 200000, true);
    EXPECT_EQ(Encoded(output_encoding::utf8, text), ReferenceUtf8(text));

    // Many small appends that straddle the buffer's end.
    const std::string many = Written(output_encoding::utf8, [](output_file& out) {
        for (int i = 0; i < 400000; ++i)
            out.append(u"\u20ac,x");
    });
    ASSERT_EQ(many.size(), 400000u * 5);
    for (std::size_t i = 0; i < many.size(); i += 5)
        ASSERT_EQ(many.compare(i, 5, "\xE2\x82\xAC,x"), 0) << i;
}

TEST(OutputFile_Ansi, Windows1252KeepsItsRepertoireAndMarksTheRestWithQuestionMarks)
{
    scoped_code_page code_page("WINDOWS-1252");
    struct row {
        std::u16string text;
        std::string bytes;
    } rows[] = {
        {u"abc \"x\",", "abc \"x\","},
        {u"\u00e9\u00ff\u00a0", "\xE9\xFF\xA0"},
        {u"\u20ac\u2122\u0178", "\x80\x99\x9F"},
        {u"\u0081\u008d", "\x81\x8D"}, // the undefined bytes come back as they were read
        {u"\u4e2d\u0100", "??"},       // outside the code page
        {u"a\U0001F600b", "a?b"},      // one mark for the whole pair
        {std::u16string{u'x', char16_t(0xD800), u'y'}, "x?y"},
    };
    for (const row& r : rows)
        EXPECT_EQ(Encoded(output_encoding::ansi, r.text), r.bytes) << Narrow(r.text);

    // Every character of the code page round-trips with the system's conversion.
    std::string all_bytes;
    for (int b = 1; b < 256; ++b)
        all_bytes.push_back(static_cast<char>(b));
    std::u16string all_text;
    ASSERT_TRUE(AnsiToWide(all_bytes, all_text));
    EXPECT_EQ(Encoded(output_encoding::ansi, all_text), all_bytes);
}

TEST(OutputFile_Ansi, OtherCodePagesGoThroughTheSystemConversionCharacterByCharacter)
{
    for (const char* name : {"ISO-8859-5", "KOI8-R", "SHIFT_JIS", "GB18030"}) {
        scoped_code_page code_page(name);
        std::mt19937 rng(3);
        std::u16string text = u"plain \"a\",b ";
        for (int i = 0; i < 2000; ++i)
            text.push_back(static_cast<char16_t>(std::uniform_int_distribution<int>(0x20, 0x9FFF)(rng)));
        // The reference: each character on its own through WideToAnsi, "?" where it refuses.
        std::string expected;
        for (char16_t c : text) {
            std::string bytes;
            if (c >= 0xD800 && c <= 0xDFFF)
                expected += '?';
            else
                expected += WideToAnsi(std::u16string_view(&c, 1), bytes) && !bytes.empty() ? bytes : "?";
        }
        EXPECT_EQ(Encoded(output_encoding::ansi, text), expected) << name;
    }
}

TEST(OutputFile_Ansi, AUtf8CodePageWritesUtf8)
{
    scoped_code_page code_page("UTF-8");
    EXPECT_EQ(Encoded(output_encoding::ansi, u"\u00e9\U0001F600"), "\xC3\xA9\xF0\x9F\x98\x80");
}

TEST(OutputFile_Csv, FieldsAreEnclosedOnlyWhenQuotedAndNeeded)
{
    struct row {
        std::u16string field;
        bool quoted;
        std::string bytes;
    } rows[] = {
        {u"", true, ""},
        {u"plain", true, "plain"},
        {u"a,b", true, "\"a,b\""},
        {u"say \"hi\"", true, "\"say \"\"hi\"\"\""},
        {u"\"", true, "\"\"\"\""},
        {u"line\r\nbreak", true, "\"line\r\nbreak\""},
        {u"cr\ronly", true, "\"cr\ronly\""},
        {u"lf\nonly", true, "\"lf\nonly\""},
        {u" spaces ", true, " spaces "},
        {u"\u00e9,\"", true, "\"\xC3\xA9,\"\"\""},
        {u"a,b \"c\"", false, "a,b \"c\""}, // a single-column line stays as it is
    };
    for (const row& r : rows)
        EXPECT_EQ(Field(output_encoding::utf8, r.field, r.quoted), r.bytes) << Narrow(r.field);

    scoped_code_page code_page("WINDOWS-1252");
    EXPECT_EQ(Field(output_encoding::ansi, u"\u00e9,\"\u20ac\"", true), "\"\xE9,\"\"\x80\"\"\"");
}

// The CSV rule spelled out on the encoded bytes, as an independent reference.
std::string ReferenceCsvField(const std::string& bytes, bool quoted)
{
    if (!quoted || bytes.find_first_of(",\"\r\n") == std::string::npos)
        return bytes;
    std::string out = "\"";
    for (char c : bytes) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

// Fields long enough for every fast path (16 and 4 units at a time), with
// the characters that matter at random places among them.
std::u16string RandomField(std::mt19937& rng, bool ansi)
{
    static const char16_t specials[] = {u'"', u',', u'\r', u'\n', u'\u00e9', u'\u20ac', u' '};
    std::u16string field(std::uniform_int_distribution<std::size_t>(0, 120)(rng), u'a');
    for (char16_t& c : field)
        c = static_cast<char16_t>(u'a' + std::uniform_int_distribution<int>(0, 25)(rng));
    const int marks = std::uniform_int_distribution<int>(0, 3)(rng);
    for (int m = 0; m < marks && !field.empty(); ++m) {
        char16_t c = specials[std::uniform_int_distribution<std::size_t>(0, std::size(specials) - 1)(rng)];
        if (!ansi && c == u'\u20ac' && m == 2)
            c = 0x4e2d; // three UTF-8 bytes
        field[std::uniform_int_distribution<std::size_t>(0, field.size() - 1)(rng)] = c;
    }
    return field;
}

TEST(OutputFile_Csv, RandomFieldsAndLinesFollowTheReferenceRule)
{
    scoped_code_page code_page("WINDOWS-1252");
    for (const output_encoding encoding : {output_encoding::utf8, output_encoding::ansi}) {
        const bool ansi = encoding == output_encoding::ansi;
        std::mt19937 rng(ansi ? 17 : 19);
        std::vector<std::u16string> fields;
        for (int i = 0; i < 3000; ++i)
            fields.push_back(RandomField(rng, ansi));
        auto bytes_of = [&](const std::u16string& field) {
            std::string bytes;
            EXPECT_TRUE(ansi ? WideToAnsi(field, bytes) : WideToUtf8(field, bytes));
            return bytes;
        };
        for (const bool quoted : {true, false}) {
            std::string expected_fields;
            std::string expected_lines;
            for (std::size_t i = 0; i < fields.size(); ++i) {
                expected_fields += ReferenceCsvField(bytes_of(fields[i]), quoted);
                expected_lines +=
                    (i % 3 ? "," : "") + ReferenceCsvField(bytes_of(fields[i]), quoted) + (i % 3 == 2 ? "\r\n" : "");
            }
            EXPECT_EQ(Written(encoding,
                              [&](output_file& out) {
                                  for (const std::u16string& field : fields)
                                      out.append_csv_field(field, quoted);
                              }),
                      expected_fields);
            EXPECT_EQ(Written(encoding,
                              [&](output_file& out) {
                                  for (std::size_t i = 0; i < fields.size(); i += 3) {
                                      const std::u16string_view line[3] = {fields[i], fields[i + 1], fields[i + 2]};
                                      out.append_csv_line(line, quoted);
                                  }
                              }),
                      expected_lines);
        }
    }
}

TEST(OutputFile_Csv, ALineLargerThanTheBufferGoesOutWhole)
{
    const std::u16string big(output_file::kBufferSize, u'"');
    const std::u16string_view line[2] = {big, u"x,y"};
    const std::string written =
        Written(output_encoding::utf8, [&](output_file& out) { out.append_csv_line(line, true); });
    EXPECT_EQ(written, "\"" + std::string(2 * big.size(), '"') + "\",\"x,y\"\r\n");
}

class OutputFile_Create : public ::testing::Test {
protected:
    output_file::create_result create(const fs::path& path, const file_identity& source = {})
    {
        return m_out.create(path.u16string(), source);
    }

    temp_dir dir;
    output_file m_out{output_encoding::utf8};
};

TEST_F(OutputFile_Create, MakesANewFileAndEmptiesAnOrdinaryOne)
{
    ASSERT_EQ(create(dir / "new.log"), output_file::create_result::created);
    m_out.append(u"x");
    ASSERT_TRUE(m_out.close());
    EXPECT_EQ(dir.read("new.log"), "x");

    dir.write("old.log", std::string(5000, 'o'));
    ASSERT_EQ(create(dir / "old.log"), output_file::create_result::created);
    m_out.append(u"short");
    ASSERT_TRUE(m_out.close());
    EXPECT_EQ(dir.read("old.log"), "short");
}

TEST_F(OutputFile_Create, RefusesLinksAndLeavesWhatTheyPointAt)
{
    dir.write("precious.txt", "keep me");
    fs::create_symlink(dir / "precious.txt", dir / "link.log");
    EXPECT_EQ(create(dir / "link.log"), output_file::create_result::not_a_file);
    EXPECT_EQ(dir.read("precious.txt"), "keep me");

    // A dangling link is not followed into creating its target either.
    fs::create_symlink(dir / "nowhere.txt", dir / "dangling.log");
    EXPECT_EQ(create(dir / "dangling.log"), output_file::create_result::not_a_file);
    EXPECT_FALSE(fs::exists(dir / "nowhere.txt"));
}

TEST_F(OutputFile_Create, RefusesPipesAndDevicesWithoutWaiting)
{
    ASSERT_EQ(::mkfifo((dir / "pipe.log").c_str(), 0600), 0);
    // Without a reader an open for writing would block for ever.
    EXPECT_EQ(create(dir / "pipe.log"), output_file::create_result::not_a_file);
    EXPECT_EQ(create("/dev/null"), output_file::create_result::not_a_file);
}

TEST_F(OutputFile_Create, RefusesTheSourceByAnyNameAndLeavesItWhole)
{
    dir.write("source.log", "the log itself\n");
    fs::create_directory(dir / "sub");
    fs::create_hard_link(dir / "source.log", dir / "sub" / "hard.log");
    fs::create_directory_symlink(dir.path(), dir / "alias");
    const file_identity source = IdentityOfPath((dir / "source.log").u16string());
    ASSERT_TRUE(source.known);
    EXPECT_EQ(create(dir / "source.log", source), output_file::create_result::is_source);
    EXPECT_EQ(create(dir / "sub" / "hard.log", source), output_file::create_result::is_source);
    EXPECT_EQ(create(dir / "alias" / "source.log", source), output_file::create_result::is_source);
    EXPECT_EQ(dir.read("source.log"), "the log itself\n");
    // Another file is fine.
    EXPECT_EQ(create(dir / "other.log", source), output_file::create_result::created);
}

TEST_F(OutputFile_Create, ReportsTheSystemsReasonWhenItCannotCreate)
{
    EXPECT_EQ(create(dir / "missing" / "x.log"), output_file::create_result::failed);
    EXPECT_EQ(m_out.error(), ENOENT);
    fs::create_directory(dir / "folder.log");
    EXPECT_EQ(create(dir / "folder.log"), output_file::create_result::failed);
    EXPECT_EQ(m_out.error(), EISDIR);
    EXPECT_EQ(m_out.create(u"", {}), output_file::create_result::failed);
    EXPECT_FALSE(ErrorCodeText(ENOSPC).empty());
    EXPECT_NE(ErrorCodeText(ENOSPC), ErrorCodeText(EISDIR));
}

TEST_F(OutputFile_Create, RemoveDeletesOnlyTheFileItMade)
{
    ASSERT_EQ(create(dir / "a.log"), output_file::create_result::created);
    m_out.append(u"partial");
    EXPECT_TRUE(m_out.remove());
    EXPECT_FALSE(fs::exists(dir / "a.log"));

    // A file that took the name meanwhile is not ours to delete.
    ASSERT_EQ(create(dir / "b.log"), output_file::create_result::created);
    ASSERT_TRUE(m_out.close());
    // (Moved aside rather than deleted, so that its inode cannot be reused.)
    fs::rename(dir / "b.log", dir / "b.old");
    dir.write("b.log", "someone else's");
    EXPECT_FALSE(m_out.remove());
    EXPECT_EQ(dir.read("b.log"), "someone else's");
}

// Writers that misbehave as real files can.
int g_calls = 0;
std::size_t g_accepted = 0;
std::size_t g_limit = 0;

// Takes at most 4099 bytes a call and is interrupted every third call.
ssize_t ChoppyWrite(int fd, const void* bytes, std::size_t count)
{
    if (++g_calls % 3 == 0) {
        errno = EINTR;
        return -1;
    }
    return ::write(fd, bytes, std::min<std::size_t>(count, 4099));
}

// Fills up after g_limit bytes, as a full disk does.
ssize_t FullDiskWrite(int fd, const void* bytes, std::size_t count)
{
    if (g_accepted >= g_limit) {
        errno = ENOSPC;
        return -1;
    }
    const std::size_t take = std::min(count, g_limit - g_accepted);
    const ssize_t n = ::write(fd, bytes, take);
    if (n > 0)
        g_accepted += static_cast<std::size_t>(n);
    return n;
}

TEST(OutputFile_Write, ShortAndInterruptedWritesStillWriteEverything)
{
    temp_dir dir;
    g_calls = 0;
    output_file out(output_encoding::utf8, &ChoppyWrite);
    ASSERT_EQ(out.create(dir.wide("c.log"), {}), output_file::create_result::created);
    // Several buffers' worth, so that both buffers take turns.
    std::string expected;
    for (int i = 0; i < 400000; ++i) {
        out.append(u"row " + Wide(std::to_string(i)) + u"\n");
        expected += "row " + std::to_string(i) + "\n";
    }
    ASSERT_GT(expected.size(), 4 * output_file::kBufferSize);
    ASSERT_TRUE(out.close());
    EXPECT_EQ(dir.read("c.log"), expected);
    EXPECT_EQ(out.bytes_written(), expected.size());
}

TEST(OutputFile_Write, AFullDiskStopsWritingAndKeepsWhatWasWritten)
{
    temp_dir dir;
    g_accepted = 0;
    g_limit = 1500000;
    output_file out(output_encoding::utf8, &FullDiskWrite);
    ASSERT_EQ(out.create(dir.wide("full.log"), {}), output_file::create_result::created);
    const std::u16string line(99, u'x');
    for (int i = 0; i < 40000 && !out.failed(); ++i) {
        out.append(line);
        out.append_bytes("\n");
    }
    EXPECT_TRUE(out.failed());
    EXPECT_EQ(out.error(), ENOSPC);
    out.append(u"ignored after the failure");
    EXPECT_FALSE(out.close());
    EXPECT_EQ(out.error(), ENOSPC);
    EXPECT_EQ(fs::file_size(dir / "full.log"), g_limit);
    const std::string kept = dir.read("full.log");
    EXPECT_EQ(kept.substr(0, 100), std::string(99, 'x') + "\n");
}

// A real full file system: a 64 KB tmpfs in the test's folder, when this
// process may mount one.
TEST(OutputFile_Write, ARealFullFileSystemReportsNoSpace)
{
    temp_dir dir;
    const fs::path mount_point = dir / "small";
    fs::create_directory(mount_point);
    if (::mount("tmpfs", mount_point.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=64k") != 0)
        GTEST_SKIP() << "no permission to mount a small file system here";
    struct unmount_at_end {
        const fs::path& point;
        ~unmount_at_end() { ::umount2(point.c_str(), MNT_DETACH); }
    } unmount{mount_point};
    output_file out(output_encoding::utf8);
    ASSERT_EQ(out.create((mount_point / "x.log").u16string(), {}), output_file::create_result::created);
    for (int i = 0; i < 100 && !out.failed(); ++i)
        out.append(std::u16string(10000, u'y'));
    EXPECT_FALSE(out.close());
    EXPECT_EQ(out.error(), ENOSPC);
    EXPECT_TRUE(fs::exists(mount_point / "x.log"));
}

} // namespace
