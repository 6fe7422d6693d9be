#include <gtest/gtest.h>

#include "BodyMasking.h"

TEST(BodyMaskingTest, SecretValuesAreMaskedAndTheRestStays)
{
    struct Case {
        const wchar_t* body;
        const wchar_t* logged;
    } cases[] = {
        {LR"({"resultCode":200,"resultList":{"token":"abc123","tokenExpTime":"2031-01-01 00:00:00"}})",
         LR"({"resultCode":200,"resultList":{"token":"***","tokenExpTime":"2031-01-01 00:00:00"}})"},
        {LR"({"token" : "a\"b", "password": "pw", "id": "u"})", LR"({"token" : "***", "password": "***", "id": "u"})"},
        {LR"({"token": 12345, "x": [1]})", LR"({"token": ***, "x": [1]})"},
        {LR"({"token": {"v": "}"}, "x": 1})", LR"({"token": ***, "x": 1})"},
        // Cut off in the middle of the value: masked to the end.
        {LR"({"resultCode": 200, "resultList": {"token": "abc)", LR"({"resultCode": 200, "resultList": {"token": "***")"},
        {LR"({"resultCode": 200, "resultList": {"token": )", LR"({"resultCode": 200, "resultList": {"token": )"},
        // A name inside a text, and texts that are not members, stay.
        {LR"({"title": "the \"token\": x", "body": "token"})", LR"({"title": "the \"token\": x", "body": "token"})"},
        {L"<html>502 Bad Gateway</html>", L"<html>502 Bad Gateway</html>"},
    };
    for (const Case& c : cases) EXPECT_EQ(MaskSecretMembers(c.body), c.logged) << c.body;
}
