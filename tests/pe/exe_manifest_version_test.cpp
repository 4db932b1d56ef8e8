// The application manifest and the version resource inside both Uninstall.exe builds, byte for
// byte against the texts written out below (independently of res/), and the manifest's form
// against what Windows XP and Server 2003 refuse or crash on.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "built_exes.h"
#include "pe_resources.h"
#include "pe_version.h"

namespace {

constexpr std::uint16_t kUsEnglish = 1033;

const char kExpectedManifest[] =
    R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">
<assemblyIdentity type="win32" name="Halcyra.Orbelle.Uninstall" version="1.0.0.0"/>
<dependency><dependentAssembly>
<assemblyIdentity type="win32" name="Microsoft.Windows.Common-Controls" version="6.0.0.0" processorArchitecture="*" publicKeyToken="6595b64144ccf1df" language="*"/>
</dependentAssembly></dependency>
<trustInfo xmlns="urn:schemas-microsoft-com:asm.v2"><security><requestedPrivileges>
<requestedExecutionLevel level="requireAdministrator" uiAccess="false"/>
</requestedPrivileges></security></trustInfo>
<application xmlns="urn:schemas-microsoft-com:asm.v3"><windowsSettings>
<dpiAware xmlns="http://schemas.microsoft.com/SMI/2005/WindowsSettings">true</dpiAware>
<activeCodePage xmlns="http://schemas.microsoft.com/SMI/2019/WindowsSettings">UTF-8</activeCodePage>
</windowsSettings></application>
<compatibility xmlns="urn:schemas-microsoft-com:compatibility.v1"><application>
<supportedOS Id="{e2011457-1546-43c5-a5fe-008deee3d3f0}"/>
<supportedOS Id="{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"/>
<supportedOS Id="{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"/>
<supportedOS Id="{1f676c76-80e1-4239-95bb-83d0f6d0da78}"/>
<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>
</application></compatibility>
</assembly>
)";

// What Windows XP and Server 2003 do with a manifest that the loader of Vista and later reads
// without complaint: XP refuses to start the program when trustInfo or application sit in
// <assembly>'s asm.v1 namespace, and XP SP2 and Server 2003 RTM restart the machine when one
// element declares the same namespace twice. Empty when none of that is found.
std::string XpTrouble(const std::string& manifest) {
  if (manifest.rfind("\xEF\xBB\xBF", 0) == 0) return "starts with a byte order mark";
  for (const char c : manifest) {
    if (static_cast<unsigned char>(c) >= 0x80) return "not plain ASCII";
  }
  const std::regex startTag(R"(<([A-Za-z_][\w.:-]*)([^>]*)>)");
  const std::regex nsDeclaration(R"(xmlns(:[\w.-]+)?\s*=\s*"([^"]*)\")");
  const std::map<std::string, std::string> ownNamespace = {
      {"trustInfo", "urn:schemas-microsoft-com:asm.v2"},
      {"compatibility", "urn:schemas-microsoft-com:compatibility.v1"},
      {"dpiAware", "http://schemas.microsoft.com/SMI/2005/WindowsSettings"}};
  bool inCompatibility = false;
  for (auto tag = std::sregex_iterator(manifest.begin(), manifest.end(), startTag);
       tag != std::sregex_iterator(); ++tag) {
    const std::string name = (*tag)[1], attributes = (*tag)[2];
    std::set<std::string> declared;
    std::string defaultNamespace;
    for (auto ns = std::sregex_iterator(attributes.begin(), attributes.end(), nsDeclaration);
         ns != std::sregex_iterator(); ++ns) {
      if (!declared.insert((*ns)[2]).second) return name + " declares " + (*ns)[2].str() + " twice";
      if (!(*ns)[1].matched) defaultNamespace = (*ns)[2];
    }
    if (name.find(':') != std::string::npos) return name + ": a prefixed element";
    if (name == "compatibility") inCompatibility = true;
    const auto own = ownNamespace.find(name);
    if (own != ownNamespace.end() && defaultNamespace != own->second)
      return name + " outside its namespace " + own->second;
    // <application> of the compatibility section lies inside compatibility.v1 already.
    if (name == "application" && !inCompatibility &&
        defaultNamespace != "urn:schemas-microsoft-com:asm.v3")
      return "application outside the asm.v3 namespace";
  }
  return {};
}

struct Trouble {
  const char* what;
  std::string manifest;
  const char* verdict;
};

const std::string kAssembly =
    R"(<assembly xmlns="urn:schemas-microsoft-com:asm.v1" manifestVersion="1.0">)";

const Trouble kTroubles[] = {
    {"the shipped form", kExpectedManifest, ""},
    {"trustInfo without a namespace", kAssembly + "<trustInfo><security/></trustInfo></assembly>",
     "trustInfo outside"},
    {"trustInfo in asm.v3 declared twice",
     kAssembly + R"(<ms_asmv3:trustInfo xmlns:ms_asmv3="urn:schemas-microsoft-com:asm.v3" )"
                 R"(xmlns="urn:schemas-microsoft-com:asm.v3"></ms_asmv3:trustInfo></assembly>)",
     "twice"},
    {"application in asm.v1",
     kAssembly + "<application><windowsSettings/></application></assembly>", "application outside"},
    {"dpiAware without its namespace",
     kAssembly + R"(<application xmlns="urn:schemas-microsoft-com:asm.v3"><windowsSettings>)"
                 "<dpiAware>true</dpiAware></windowsSettings></application></assembly>",
     "dpiAware outside"},
    {"a byte order mark", "\xEF\xBB\xBF" + kAssembly + "</assembly>", "byte order mark"},
};

class ManifestForm : public testing::TestWithParam<Trouble> {};

TEST_P(ManifestForm, IsOneThatWindowsXpAcceptsOrSkips) {
  const std::string trouble = XpTrouble(GetParam().manifest);
  if (*GetParam().verdict == '\0') {
    EXPECT_EQ("", trouble) << GetParam().what;
  } else {
    EXPECT_NE(std::string::npos, trouble.find(GetParam().verdict))
        << GetParam().what << ": got \"" << trouble << "\"";
  }
}

INSTANTIATE_TEST_SUITE_P(Pe, ManifestForm, testing::ValuesIn(kTroubles));

class ExeManifestAndVersion : public testing::TestWithParam<BuiltExe> {
 protected:
  void SetUp() override {
    const auto image = LoadBuiltExe(GetParam());
    ASSERT_TRUE(image.has_value());
    for (auto& r : pe::ReadResources(*image)) {
      if (r.type.isName) continue;
      if (r.type.id == pe::kRtManifest) manifests_.push_back(std::move(r));
      if (r.type.id == pe::kRtVersion) versions_.push_back(std::move(r));
    }
  }
  std::vector<pe::Resource> manifests_, versions_;
};

// The loader reads the manifest of a program from RT_MANIFEST 1, whatever its language.
TEST_P(ExeManifestAndVersion, CarryTheManifestAsResourceOneByteForByte) {
  ASSERT_EQ(1u, manifests_.size());
  EXPECT_FALSE(manifests_[0].name.isName);
  EXPECT_EQ(1u, manifests_[0].name.id);
  EXPECT_EQ(kUsEnglish, manifests_[0].language);
  const std::string inExe(manifests_[0].data.begin(), manifests_[0].data.end());
  EXPECT_EQ(kExpectedManifest, inExe);
  EXPECT_EQ("", XpTrouble(inExe));
}

// Windows 10 1903 and later give every "A" call of the program UTF-8 when the manifest's
// asm.v3 windowsSettings hold this element: names beyond the system's ANSI code page (a
// Cyrillic user name on a Western system) then reach the program whole instead of as '?'.
TEST_P(ExeManifestAndVersion, DeclareTheUtf8ActiveCodePage) {
  ASSERT_EQ(1u, manifests_.size());
  const std::string inExe(manifests_[0].data.begin(), manifests_[0].data.end());
  const std::string open =
      R"(<application xmlns="urn:schemas-microsoft-com:asm.v3"><windowsSettings>)";
  const std::size_t settings = inExe.find(open);
  ASSERT_NE(settings, std::string::npos) << "no asm.v3 windowsSettings";
  const std::size_t end = inExe.find("</windowsSettings>", settings);
  ASSERT_NE(end, std::string::npos);
  const std::string inside = inExe.substr(settings + open.size(), end - settings - open.size());
  EXPECT_NE(inside.find("\n<activeCodePage xmlns=\"http://schemas.microsoft.com/SMI/2019/"
                        "WindowsSettings\">UTF-8</activeCodePage>\n"),
            std::string::npos)
      << inside;
}

TEST_P(ExeManifestAndVersion, CarryTheProductsVersionInUsEnglishAndCodePage1252) {
  ASSERT_EQ(1u, versions_.size());
  EXPECT_FALSE(versions_[0].name.isName);
  EXPECT_EQ(1u, versions_[0].name.id);
  EXPECT_EQ(kUsEnglish, versions_[0].language);
  const pe::VersionInfo info = pe::ReadVersionInfo(versions_[0]);
  EXPECT_EQ(0x00010000u, info.fileVersionMs);  // 1.0
  EXPECT_EQ(0u, info.fileVersionLs);           // .0.0
  EXPECT_EQ(0x00010000u, info.productVersionMs);
  EXPECT_EQ(0u, info.productVersionLs);
  EXPECT_EQ(0u, info.fileFlags) << "marked debug, pre-release, patched or private";
  EXPECT_EQ(0x4u, info.fileOs) << "not VOS__WINDOWS32";
  EXPECT_EQ(1u, info.fileType) << "not VFT_APP";

  const std::map<std::string, std::u16string> expected = {
      {"CompanyName", u"Halcyra"}, {"FileDescription", u"Uninstall Orbelle"},
      {"FileVersion", u"1.0"},     {"OriginalFilename", u"Uninstall.exe"},
      {"ProductName", u"Orbelle"}, {"ProductVersion", u"1.0"}};
  std::map<std::string, std::u16string> inExe;
  for (const pe::VersionString& s : info.strings) {
    EXPECT_EQ("040904E4", s.table) << s.name << " not in the 1033/1252 table";
    EXPECT_TRUE(s.terminated) << s.name << " has no terminating NUL";
    EXPECT_TRUE(inExe.emplace(s.name, s.text).second) << s.name << " twice";
  }
  EXPECT_EQ(expected, inExe);
  ASSERT_EQ(1u, info.translations.size());
  EXPECT_EQ(kUsEnglish, info.translations[0].language);
  EXPECT_EQ(1252, info.translations[0].codePage);
}

INSTANTIATE_TEST_SUITE_P(Pe, ExeManifestAndVersion, testing::ValuesIn(kBuiltExes), PresetName);

}  // namespace
