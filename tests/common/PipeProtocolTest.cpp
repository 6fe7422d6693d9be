#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

#include "Lumen/PipeProtocol.h"
#include "Lumen/SessionUtils.h"

using namespace Lumen;

namespace {

PipeMessage Parse(const std::string& text)
{
    return PipeProtocol::ParsePipeMessage(text.data(), text.size());
}

TEST(PipeProtocolTest, BuildsTheExactWireBytes)
{
    EXPECT_EQ(PipeProtocol::BuildStopService(), "{\"protocol_id\":1000}\n");
    EXPECT_EQ(PipeProtocol::BuildExitAgent(), "{\"protocol_id\":1001}\n");
    EXPECT_EQ(PipeProtocol::BuildAgentIdentify(1, 4312), "{\"process_id\":4312,\"protocol_id\":1002,\"session_id\":1}\n");

    const std::string own = PipeProtocol::BuildAgentIdentify(SessionUtils::GetProcessSessionId(), ::GetCurrentProcessId());
    const PipeMessage parsed = Parse(own);
    EXPECT_EQ(parsed.status, PipeMessageStatus::Ok);
    EXPECT_EQ(parsed.protocolId, kProtocolAgentIdentify);
    EXPECT_EQ(static_cast<DWORD>(parsed.processId), ::GetCurrentProcessId());
}

TEST(PipeProtocolTest, ReadsValuesWhateverTheLayout)
{
    const PipeMessage spaced =
        Parse(" {\r\n \"session_id\" : 3,\t\"protocol_id\" : 1002 ,\n \"process_id\":77 }\n");
    EXPECT_EQ(spaced.status, PipeMessageStatus::Ok);
    EXPECT_EQ(spaced.protocolId, 1002);
    EXPECT_EQ(spaced.sessionId, 3);
    EXPECT_EQ(spaced.processId, 77);

    // Missing members read as 0.
    const PipeMessage bare = Parse("{\"protocol_id\":1002}");
    EXPECT_EQ(bare.status, PipeMessageStatus::Ok);
    EXPECT_EQ(bare.protocolId, 1002);
    EXPECT_EQ(bare.sessionId, 0);
    EXPECT_EQ(bare.processId, 0);

    // Unknown identifiers parse; the receiver decides to ignore them.
    EXPECT_EQ(Parse("{\"protocol_id\":7,\"extra\":[1]}").status, PipeMessageStatus::Ok);
}

TEST(PipeProtocolTest, RejectsWhatIsNotAMessage)
{
    for (const char* text : {"", "not json", "{\"protocol_id\":", "\n", "{]"})
        EXPECT_EQ(Parse(text).status, PipeMessageStatus::ParseError) << text;
    // Nesting beyond the reader's limit makes jsoncpp throw; that must stay inside.
    EXPECT_EQ(Parse(std::string(5000, '[') + std::string(5000, ']')).status, PipeMessageStatus::ParseError);

    for (const char* text : {"{}", "[1002]", "1002", "\"x\"", "{\"protocol\":1000}", "{\"protocol_id\":\"1002\"}",
                             "{\"protocol_id\":1002.0}", "{\"protocol_id\":1e3}", "{\"protocol_id\":true}",
                             "{\"protocol_id\":null}", "{\"protocol_id\":99999999999}",
                             "{\"protocol_id\":1002,\"session_id\":\"1\"}",
                             "{\"protocol_id\":1002,\"process_id\":12.5}",
                             "{\"protocol_id\":1002,\"process_id\":{}}"}) {
        const PipeMessage message = Parse(text);
        EXPECT_EQ(message.status, PipeMessageStatus::Invalid) << text;
    }
}

TEST(PipeProtocolTest, ParsesExactlyTheGivenLength)
{
    // The message ends where readable memory ends: a read past `length`
    // faults instead of going unnoticed.
    SYSTEM_INFO system = {};
    ::GetSystemInfo(&system);
    const size_t page = system.dwPageSize;
    auto* base = static_cast<char*>(::VirtualAlloc(nullptr, page * 2, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    ASSERT_NE(base, nullptr);
    DWORD old = 0;
    ASSERT_TRUE(::VirtualProtect(base + page, page, PAGE_NOACCESS, &old));
    const std::string text = "{\"protocol_id\":1001}";
    char* start = base + page - text.size();
    std::memcpy(start, text.data(), text.size());
    const PipeMessage message = PipeProtocol::ParsePipeMessage(start, text.size());
    EXPECT_EQ(message.status, PipeMessageStatus::Ok);
    EXPECT_EQ(message.protocolId, 1001);
    ::VirtualFree(base, 0, MEM_RELEASE);

    // Bytes after `length` are not part of the message.
    const std::string longer = "{\"protocol_id\":1000}\n{\"protocol_id\":1001}";
    EXPECT_EQ(PipeProtocol::ParsePipeMessage(longer.data(), 10).status, PipeMessageStatus::ParseError);
    EXPECT_EQ(PipeProtocol::ParsePipeMessage(longer.data(), 21).protocolId, 1000);
}

}  // namespace
