// One settings file gives the same texts on every system. The same tables run
// on Linux, where ProfileReader reads the file, and on Windows, where the
// system's profile-string reader reads the working copy; there ProfileReader
// is checked against the system's answers as well.

#include "app/ProductTexts.h"
#include "app/ProfileReader.h"
#include "app/platform/SettingsFile.h"
#include "tests/support/AppFixture.h"
#include "tests/support/ScriptedUi.h"

#include <gtest/gtest.h>

namespace {

class ProfileCasesTest : public AppFixture {};

using namespace std::string_literals;

// The four texts of the About box, through the start-up step itself.
TEST_F(ProfileCasesTest, FourTexts)
{
    struct Case {
        std::string file;
        std::string productName;
        std::string versionString;
        std::string companyName;
        std::string companySlogen;
    } cases[] = {
        {"[ Version ]\r\nProductName = Modem Flash Loader\r\n[\tAboutBox ]  trailing words\r\n"
         "#CompanyName=Commented\r\n; CompanySlogen=Commented too\r\nCompanyName=Kestrolan\r\n",
         "Modem Flash Loader", "5.x.x", "Kestrolan", "<none>"},
        {"[Version]\nProductName:Colon\nVersionString\nVersionString=1.0\n[AboutBox]\nCompanyName=first\n"
         "  continued line\nCompanySlogen=Fast ;and # small\n",
         "Flash Loader", "5.x.x", "first", "Fast ;and # small"},
        {"\xEF\xBB\xBF[Version]\nVersionString=\"123456789\"\nProductName='" + std::string(38, 'p') + "'\n",
         std::string(38, 'p'), "12345678", "<none>", "<none>"},
        {"\xFF\xFE[\0V\0e\0r\0s\0i\0o\0n\0]\0\r\0\n\0V\0e\0r\0s\0i\0o\0n\0S\0t\0r\0i\0n\0g\0=\0\x36\0\n\0"s,
         "Flash Loader", "6", "<none>", "<none>"},
        {"k=before any section\n[Version]\nProductName" + std::string(3000, ' ') + "=Far away\n", "Far away", "5.x.x",
         "<none>", "<none>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        WriteFileBytes(dir.File("tarnix.ini"), c.file);
        ScriptedUi ui;
        ASSERT_TRUE(LoadProductTexts(ui));
        EXPECT_EQ(ProductTexts.ProductName, c.productName);
        EXPECT_EQ(ProductTexts.VersionString, c.versionString);
        EXPECT_EQ(ProductTexts.CompanyName, c.companyName);
        EXPECT_EQ(ProductTexts.CompanySlogen, c.companySlogen);
    }
}

// Single lookups, with the default "DEF".
TEST_F(ProfileCasesTest, Lookups)
{
    struct Case {
        std::string file;
        const char* section;
        const char* key;
        std::size_t holder;
        const char* expected;
    } cases[] = {
        {"[V]\n#k=hash\nk=plain\n", "V", "#k", 40, "hash"},
        {"[V]\n;k=semi\nk=plain\n", "V", "k", 40, "plain"},
        {"[ V ]\nk=x\n", "V", "k", 40, "x"},
        {"[V]\nk=x\n", " v ", " K ", 40, "x"},
        {"[V]\n   k \t =  val ue \t \n", "V", "k", 40, "val ue"},
        {"[V]\na b = 1\n", "V", "a b", 40, "1"},
        {"[V]\nk=\v\xa0v\xa0\f\x1a\n", "V", "k", 40, "\xa0v\xa0"},
        {"[V]\nk=\"q\"\n", "V", "k", 40, "q"},
        {"[V]\nk='s'\n", "V", "k", 40, "s"},
        {"[V]\nk=\"open\n", "V", "k", 40, "\"open"},
        {"[V]\nk=\"\n", "V", "k", 40, "\""},
        {"[V]\nk=\"\"\n", "V", "k", 40, ""},
        {"[V]\nk= \" sp \" \n", "V", "k", 40, " sp "},
        {"[V]\nk=\"a\"b\"\n", "V", "k", 40, "a\"b"},
        {"[V]\nk=\"abcdef\"\n", "V", "k", 4, "abc"},
        {"[V]\nk=\"abcdef\"\n", "V", "k", 7, "abcde"},
        {"[V]\nk=\"abcdef\"\n", "V", "k", 8, "abcdef"},
        {"[V]\nk=1\nk=2\n", "V", "k", 40, "1"},
        {"[V]\nk=1\n[W]\n[v]\nk=2\nm=3\n", "V", "m", 40, "DEF"},
        {"[V]\nk\nk=1\n", "V", "k", 40, "DEF"},
        {"[V]\nk=\n", "V", "k", 40, ""},
        {"[V]\rk=1\rm=2", "V", "m", 40, "2"},
        {"[V]\n\r\n\nk=last", "V", "k", 40, "last"},
        {"[vErSiOn]\nPRODUCTname=1\n", "Version", "ProductName", 40, "1"},
        {"[V]\nk=123456789012\n", "V", "k", 10, "123456789"},
        {"[V]\nk=123456789012\n", "V", "k", 1, ""},
        {"[V]\nk=123456789012\n", "V", "k", 2, "1"},
        {"[W]]\nk=1\n", "W]", "k", 40, "1"},
        {"[V]\n[X\nm=3\n", "V", "m", 40, "3"},
        {"[V]\n[X=1\n", "V", "[X", 40, "1"},
        {"[V]\nk==a=b\n", "V", "k", 40, "=a=b"},
        {"[V]\nk=1.0\0junk\nm=2\n"s, "V", "k", 40, "1.0"},
        {"[V]\nk:v\nCompany:Name=x\n", "V", "Company:Name", 40, "x"},
        {"[V]\nk=1 ;c\n", "V", "k", 40, "1 ;c"},
        {"[V]\nk=[W]\n", "W", "k", 40, "DEF"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file + " -> " + c.section + "/" + c.key + " in " + std::to_string(c.holder));
        WriteFileBytes(dir.File("tarnix.ini"), c.file);
        SettingsFile settings;
        ASSERT_TRUE(settings.Open("tarnix.ini"));
        EXPECT_EQ(settings.GetString(c.section, c.key, "DEF", c.holder), c.expected);
#ifdef _WIN32
        ProfileReader reader;
        reader.Parse(c.file);
        EXPECT_EQ(reader.GetString(c.section, c.key, "DEF", c.holder), c.expected) << "ProfileReader";
#endif
    }
}

}  // namespace
