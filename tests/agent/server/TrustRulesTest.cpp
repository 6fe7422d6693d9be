#include <gtest/gtest.h>

#include <cwctype>
#include <map>
#include <string>
#include <vector>

#include "PackageRules.h"
#include "Sha256.h"
#include "TrustRules.h"

using namespace TrustRules;

namespace {

const std::string kDigestA(64, 'a');
const std::string kDigestB = "0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef";

Json::Value Parse(const std::string& text)
{
    Json::Value root;
    std::string error;
    EXPECT_TRUE(PackageRules::ParseJsonText(text, &root, &error)) << text;
    return root;
}

SignerCheck ValidSigner()
{
    SignerCheck signer;
    signer.valid = true;
    signer.sha1Hex = std::string(40, '1');
    signer.sha256Hex = kDigestB;
    signer.commonName = L"Pavo Test Publisher";
    return signer;
}

}  // namespace

TEST(TrustRulesTest, Sha256DigestsFilesInPieces)
{
    EXPECT_EQ(Sha256::HexOf("abc", 3), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256::HexOf("", 0), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    Sha256 pieces;
    pieces.Update("a", 1);
    pieces.Update("bc", 2);
    EXPECT_EQ(pieces.Hex(), Sha256::HexOf("abc", 3));
    EXPECT_EQ(pieces.Hex(), "") << "a finished digest takes no more";
}

TEST(TrustRulesTest, ServerPinsAreCommaSeparatedFingerprints)
{
    std::vector<std::string> pins;
    std::string error;
    ASSERT_TRUE(ParseServerPins(L"", &pins, &error));
    EXPECT_TRUE(pins.empty());
    ASSERT_TRUE(ParseServerPins(L"  ,  ", &pins, &error));
    EXPECT_TRUE(pins.empty());

    std::wstring colons;
    for (size_t i = 0; i < kDigestB.size(); i += 2)
        colons += (i ? L":" : L"") + std::wstring(kDigestB.begin() + i, kDigestB.begin() + i + 2);
    std::wstring upper(kDigestA.begin(), kDigestA.end());
    for (wchar_t& c : upper) c = towupper(c);
    ASSERT_TRUE(ParseServerPins(upper + L" , " + colons, &pins, &error)) << error;
    EXPECT_EQ(pins, (std::vector<std::string>{kDigestA, kDigestB}));

    for (const std::wstring& bad : std::vector<std::wstring>{std::wstring(63, L'a'), std::wstring(65, L'a'), std::wstring(63, L'a') + L"g",
                                   L"aa:" + std::wstring(62, L'a'), std::wstring(64, L'a') + L",nope"}) {
        EXPECT_FALSE(ParseServerPins(bad, &pins, &error)) << bad.size();
        EXPECT_TRUE(pins.empty());
        EXPECT_FALSE(error.empty());
    }
}

TEST(TrustRulesTest, InstallerRulesAreReadAndMalformedOnesRefused)
{
    const Json::Value root = Parse(R"({
        "P": [{"type": "installer_x64", "value": "x"}, {"type": "sha256", "value": ")" + kDigestA + R"("},
              {"type": "sha256", "value": "0123456789ABCDEF0123456789abcdef0123456789abcdef0123456789abcdef"},
              {"type": "signer", "value": " Pavo Test Publisher "}, {"type": "future_rule", "value": "?"}],
        "NONE": []
    })");
    InstallerPins pins;
    std::string error;
    ASSERT_TRUE(InstallerPinsFor(root, L"P", &pins, &error)) << error;
    EXPECT_EQ(pins.sha256, (std::vector<std::string>{kDigestA, kDigestB}));
    EXPECT_EQ(pins.signers, (std::vector<std::wstring>{L"Pavo Test Publisher"}));
    ASSERT_TRUE(InstallerPinsFor(root, L"NONE", &pins, &error));
    EXPECT_TRUE(pins.sha256.empty() && pins.signers.empty());
    ASSERT_TRUE(InstallerPinsFor(root, L"ABSENT", &pins, &error));

    for (const std::string& rule : std::vector<std::string>{
             R"({"type": "sha256", "value": ""})", R"({"type": "sha256", "value": ")" + kDigestA + R"(0"})",
          R"({"type": "sha256", "value": ")" + kDigestA.substr(1) + R"(z"})",
          R"({"type": "sha256", "value": " )" + kDigestA.substr(1) + R"("})", R"({"type": "signer", "value": "  "})",
          R"({"type": "signer", "value": ")" + std::string(39, 'a') + R"("})",
          R"({"type": "signer", "value": ")" + kDigestA + R"(ab"})"}) {
        error.clear();
        EXPECT_FALSE(InstallerPinsFor(Parse(R"({"P": [)" + rule + "]}"), L"P", &pins, &error)) << rule;
        EXPECT_NE(error.find("P: rule 0"), std::string::npos) << error;
    }
}

TEST(TrustRulesTest, SignerRulesNameAThumbprintOrTheCommonName)
{
    const SignerCheck signer = ValidSigner();
    EXPECT_TRUE(SignerMatches(signer, std::wstring(40, L'1')));
    EXPECT_TRUE(SignerMatches(signer, L"01:23:45:67:89:AB:CD:EF:01:23:45:67:89:ab:cd:ef:01:23:45:67:89:ab:cd:ef:01:"
                                      L"23:45:67:89:ab:cd:ef"));
    EXPECT_TRUE(SignerMatches(signer, L"pavo test publisher"));
    EXPECT_FALSE(SignerMatches(signer, std::wstring(40, L'2')));
    EXPECT_FALSE(SignerMatches(signer, std::wstring(kDigestA.begin(), kDigestA.end())));
    EXPECT_FALSE(SignerMatches(signer, L"Pavo Test"));
    // The SHA-256 of the certificate is not its SHA-1 thumbprint's length.
    EXPECT_FALSE(SignerMatches(signer, std::wstring(kDigestB.begin(), kDigestB.begin() + 40)));

    SignerCheck invalid = signer;
    invalid.valid = false;
    EXPECT_FALSE(SignerMatches(invalid, L"Pavo Test Publisher")) << "an invalid signature names nobody";
}

TEST(TrustRulesTest, EveryKindOfPinMustPass)
{
    Mismatch mismatch;
    const SignerCheck signer = ValidSigner();
    EXPECT_TRUE(CheckInstaller({}, "", kDigestA, SignerCheck(), &mismatch)) << "nothing pinned";

    InstallerPins pins;
    pins.sha256 = {kDigestB, kDigestA};
    EXPECT_TRUE(CheckInstaller(pins, "", kDigestA, SignerCheck(), &mismatch)) << "any one of several";
    pins.sha256 = {kDigestB};
    ASSERT_FALSE(CheckInstaller(pins, "", kDigestA, signer, &mismatch));
    EXPECT_EQ(mismatch.rule, "sha256");
    EXPECT_EQ(mismatch.expected, kDigestB);
    EXPECT_EQ(mismatch.actual, kDigestA);

    pins.sha256 = {kDigestA};
    pins.signers = {L"Someone Else", std::wstring(40, L'1')};
    EXPECT_TRUE(CheckInstaller(pins, "", kDigestA, signer, &mismatch));
    pins.signers = {L"Someone Else"};
    ASSERT_FALSE(CheckInstaller(pins, "", kDigestA, signer, &mismatch)) << "the hash passes, the signer does not";
    EXPECT_EQ(mismatch.rule, "signer");
    EXPECT_EQ(mismatch.expected, "Someone Else");
    EXPECT_NE(mismatch.actual.find("Pavo Test Publisher"), std::string::npos);
    SignerCheck unsigned_;
    unsigned_.status = static_cast<long>(0x800B0100);
    ASSERT_FALSE(CheckInstaller(pins, "", kDigestA, unsigned_, &mismatch));
    EXPECT_EQ(mismatch.actual, "no valid signature (0x800B0100)");

    EXPECT_TRUE(CheckInstaller({}, kDigestA, kDigestA, SignerCheck(), &mismatch));
    ASSERT_FALSE(CheckInstaller({}, kDigestB, kDigestA, SignerCheck(), &mismatch));
    EXPECT_EQ(mismatch.rule, "product list sha256");
    pins = {};
    pins.sha256 = {kDigestA};
    EXPECT_FALSE(CheckInstaller(pins, kDigestB, kDigestA, SignerCheck(), &mismatch)) << "the file's and the list's";
}

TEST(TrustRulesTest, ProductListDigests)
{
    const auto answer = [](const std::string& item) {
        return R"({"resultCode": 200, "resultList": {"license": [)" + item +
               R"(], "info": {"customerId": "C", "customerName": "N", "co_nm": "A"}}})";
    };
    PackageRules::LicenseData data;
    ASSERT_EQ(PackageRules::ParseLicense(answer(R"({"type": "A", "url": "u", "sha256": ")" +
                                                std::string(64, 'F') + R"("}, {"type": "B", "url": "v"})"),
                                         &data),
              0);
    ASSERT_EQ(data.products.size(), 2u);
    EXPECT_EQ(data.sha256, (std::map<std::wstring, std::string>{{L"A", std::string(64, 'f')}}));
    for (const std::string& bad : std::vector<std::string>{R"("")", R"("abc")", "64", R"(["x"])"}) {
        PackageRules::LicenseData rejected;
        EXPECT_EQ(PackageRules::ParseLicense(answer(R"({"type": "A", "url": "u", "sha256": )" + bad + "}"),
                                             &rejected),
                  -9000)
            << bad;
    }
}
