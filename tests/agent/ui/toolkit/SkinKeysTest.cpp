#include <gtest/gtest.h>

#include <windows.h>

#include <json/json.h>

#include "SkinKeys.h"

using namespace Lumen;

namespace {

Json::Value Parse(const char* text)
{
    Json::Value v;
    Json::CharReaderBuilder b;
    std::string errors;
    std::unique_ptr<Json::CharReader> r(b.newCharReader());
    const std::string s(text);
    EXPECT_TRUE(r->parse(s.data(), s.data() + s.size(), &v, &errors)) << errors;
    return v;
}

}  // namespace

TEST(SkinKeys, ColourTextBecomesBlueGreenRedValue)
{
    EXPECT_EQ(ParseSkinColor("2563EB"), RGB(0x25, 0x63, 0xEB));
    EXPECT_EQ(ParseSkinColor("0x2563eb"), RGB(0x25, 0x63, 0xEB));
    EXPECT_EQ(ParseSkinColor("FF0000"), static_cast<COLORREF>(0x0000FF));
    EXPECT_EQ(ParseSkinColor("zz"), 0u);
    EXPECT_EQ(ParseSkinColor(""), 0u);
    // Only the low 24 bits count.
    EXPECT_EQ(ParseSkinColor("7F102030"), RGB(0x10, 0x20, 0x30));
}

TEST(SkinKeys, ScalarsAcceptTheirNotationAndIgnoreOtherTypes)
{
    const Json::Value e = Parse(R"({"a": 5, "b": true, "c": 0, "d": 2.0, "t": "\ud55c\uae00",
                                    "s": "12", "o": {}, "big": 1e20})");
    int i = -1;
    EXPECT_TRUE(ReadSkinInt(e, "a", &i));
    EXPECT_EQ(i, 5);
    EXPECT_TRUE(ReadSkinInt(e, "d", &i));
    EXPECT_EQ(i, 2);
    i = -1;
    EXPECT_FALSE(ReadSkinInt(e, "s", &i));
    EXPECT_FALSE(ReadSkinInt(e, "big", &i));
    EXPECT_FALSE(ReadSkinInt(e, "missing", &i));
    EXPECT_EQ(i, -1);

    bool flag = false;
    EXPECT_TRUE(ReadSkinBool(e, "b", &flag));
    EXPECT_TRUE(flag);
    EXPECT_TRUE(ReadSkinBool(e, "c", &flag));
    EXPECT_FALSE(flag);
    EXPECT_TRUE(ReadSkinBool(e, "a", &flag));
    EXPECT_TRUE(flag);
    EXPECT_FALSE(ReadSkinBool(e, "o", &flag));

    std::wstring text;
    EXPECT_TRUE(ReadSkinText(e, "t", &text));
    EXPECT_EQ(text, L"\xD55C\xAE00");
    EXPECT_FALSE(ReadSkinText(e, "a", &text));

    // Integers beyond a million are no geometry: sums of a few of them
    // (left + width, a point less a frame) must stay within an int.
    const Json::Value limits = Parse(R"({"max": 1000000, "min": -1000000, "over": 1000001, "int_max": 2147483647,
                                         "int_min": -2147483648})");
    EXPECT_TRUE(ReadSkinInt(limits, "max", &i));
    EXPECT_EQ(i, kMaxSkinInt);
    EXPECT_TRUE(ReadSkinInt(limits, "min", &i));
    EXPECT_EQ(i, -kMaxSkinInt);
    for (const char* key : {"over", "int_max", "int_min"}) EXPECT_FALSE(ReadSkinInt(limits, key, &i)) << key;
    EXPECT_EQ(i, -kMaxSkinInt);
    SkinRect rect{1, 2, 3, 4};
    EXPECT_FALSE(ReadSkinPosition(Parse(R"({"left":2147483647,"top":0,"width":1,"height":1})"), &rect));
    EXPECT_EQ(rect.left, 1);

    // A non-object entry is an entry without keys.
    EXPECT_FALSE(ReadSkinInt(Json::Value("x"), "a", &i));
}

TEST(SkinKeys, StateColoursNeedAllFourPartners)
{
    StateColors c{1, 2, 3, 4};
    // Three of four: nothing changes.
    EXPECT_FALSE(ReadStateColors(
        Parse(R"({"text_color_normal":"000010","text_color_hover":"000020","text_color_clicked":"000030"})"),
        "text_color", "text_color", &c));
    EXPECT_EQ(c.normal, 1u);
    EXPECT_EQ(c.disable, 4u);

    // One colour for all states.
    EXPECT_TRUE(ReadStateColors(Parse(R"({"text_color":"112233"})"), "text_color", "text_color", &c));
    EXPECT_EQ(c.normal, RGB(0x11, 0x22, 0x33));
    EXPECT_EQ(c.disable, RGB(0x11, 0x22, 0x33));

    // All four, each its own.
    EXPECT_TRUE(ReadStateColors(Parse(R"({"bg_color_normal":"000001","bg_color_hover":"000002",
                                          "bg_color_clicked":"000003","bg_color_disable":"000004"})"),
                                "bg_color", "bg_color", &c));
    EXPECT_EQ(c.normal, RGB(0, 0, 1));
    EXPECT_EQ(c.hover, RGB(0, 0, 2));
    EXPECT_EQ(c.clicked, RGB(0, 0, 3));
    EXPECT_EQ(c.disable, RGB(0, 0, 4));

    // Four present but one of the wrong type: nothing changes.
    StateColors d{9, 9, 9, 9};
    EXPECT_FALSE(ReadStateColors(Parse(R"({"bg_color_normal":"000001","bg_color_hover":"000002",
                                           "bg_color_clicked":"000003","bg_color_disable":7})"),
                                 nullptr, "bg_color", &d));
    EXPECT_EQ(d.normal, 9u);

    LinkColors link;
    EXPECT_FALSE(ReadLinkColors(Parse(R"({"link_color_normal":"000001","link_color_hover":"000002"})"), &link));
    EXPECT_EQ(link.normal, RGB(0, 0, 255));
    EXPECT_TRUE(ReadLinkColors(
        Parse(R"({"link_color_normal":"000001","link_color_hover":"000002","link_color_visited":"000003"})"), &link));
    EXPECT_EQ(link.visited, RGB(0, 0, 3));
}

TEST(SkinKeys, MarginPairsAndPositions)
{
    SkinPoint p{7, 7};
    // Text margins: one is enough, the other counts 0.
    EXPECT_TRUE(ReadIntPair(Parse(R"({"text_margin_y":4})"), "text_margin_x", "text_margin_y", false, &p));
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 4);
    // Pairs that must come together.
    p = {7, 0};
    EXPECT_FALSE(ReadIntPair(Parse(R"({"nc_icon_margin_x":3})"), "nc_icon_margin_x", "nc_icon_margin_y", true, &p));
    EXPECT_EQ(p.x, 7);
    EXPECT_TRUE(
        ReadIntPair(Parse(R"({"nc_icon_margin_x":3,"nc_icon_margin_y":2})"), "nc_icon_margin_x", "nc_icon_margin_y",
                    true, &p));
    EXPECT_EQ(p.x, 3);
    EXPECT_EQ(p.y, 2);
    EXPECT_FALSE(ReadIntPair(Parse("{}"), "a", "b", false, &p));

    SkinRect r{1, 1, 1, 1};
    EXPECT_FALSE(ReadSkinPosition(Parse(R"({"left":10,"top":20,"width":30})"), &r));
    EXPECT_EQ(r.left, 1);
    EXPECT_TRUE(ReadSkinPosition(Parse(R"({"left":10,"top":20,"width":30,"height":-4})"), &r));
    EXPECT_EQ(r.height, -4);
    const SkinRect item = ReadItemRect(Parse(R"({"top":5,"width":6})"));
    EXPECT_EQ(item.left, 0);
    EXPECT_EQ(item.top, 5);
    EXPECT_EQ(item.width, 6);
    EXPECT_EQ(item.height, 0);

    EXPECT_TRUE(IsMainWindowBase(L"main_window"));
    EXPECT_TRUE(IsMainWindowBase(L"MAIN_WINDOW"));
    EXPECT_FALSE(IsMainWindowBase(L"parent"));
    EXPECT_FALSE(IsMainWindowBase(L"main_window2"));
}

TEST(SkinKeys, PictureKeys)
{
    ButtonImageNames b;
    EXPECT_TRUE(ReadButtonImageNames(Parse(R"({"bg_image":"a.png","bg_image1":"b.png","bg_image2":"c.png"})"), &b));
    EXPECT_EQ(b.strip, L"a.png");
    EXPECT_EQ(b.checkedStrip, L"");

    ButtonImageNames only2;
    EXPECT_FALSE(ReadButtonImageNames(Parse(R"({"bg_image2":"c.png"})"), &only2));
    EXPECT_TRUE(only2.strip.empty());
    EXPECT_TRUE(only2.checkedStrip.empty());

    ButtonImageNames check;
    EXPECT_TRUE(ReadButtonImageNames(Parse(R"({"bg_image1":"b.png","bg_image2":"c.png"})"), &check));
    EXPECT_EQ(check.strip, L"b.png");
    EXPECT_EQ(check.checkedStrip, L"c.png");

    const auto list = ReadStaticImageNames(Parse(R"({"bg_image1":"1.png","bg_image2":"2.png","bg_image4":"4.png"})"));
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1], L"2.png");
    EXPECT_EQ(ReadStaticImageNames(Parse(R"({"bg_image":"x.png","bg_image1":"1.png"})")).size(), 1u);

    const FontKeys f = ReadFontKeys(Parse(R"({"text_bold":1,"font_face":"NanumGothic","font_size":12.0})"));
    EXPECT_TRUE(f.hasBold && f.bold);
    EXPECT_FALSE(f.hasUnderline);
    EXPECT_EQ(f.face, L"NanumGothic");
    EXPECT_TRUE(f.hasSize);
    EXPECT_EQ(f.size, 12);
}
