// A section's change prepared over the device's present values: what was given wins, every key
// is required, and a refusal names the key to blame and why.
#include <gtest/gtest.h>

#include "device/section_change.h"
#include "support/qt_printers.h"

using namespace r7730;

TEST(SectionChange, GivenOverCurrentOrARefusalNamingTheKey)
{
    using TKind = TSectionRefusal::TKind;
    const TTexts tcpHeld = {{"mode", "server"}, {"listen", "5000"}, {"target", "10.0.0.2:6000"}, {"expiry", "10"}};
    struct TCase {
        const char* name;
        TSection section;
        TTexts given;
        TTexts current;
        bool statusReceived;
        TTexts sent;           // when prepared
        std::optional<TKind> refused;
        QString key, held, why, setRefusal;
    };
    const std::vector<TCase> cases = {
        {"given over current", TSection::Tcp, {{"listen", "7000"}, {"mode", "CLIENT"}}, tcpHeld, true,
         {{"mode", "client"}, {"listen", "7000"}, {"target", "10.0.0.2:6000"}, {"expiry", "10"}}, {}, "", "", "", ""},
        {"nothing given", TSection::Tcp, {}, tcpHeld, true, tcpHeld, {}, "", "", "", ""},
        {"a key neither reported nor given", TSection::Wan, {{"ip", "10.0.0.5"}}, {{"gateway", "10.0.0.1"}}, true, {},
         TKind::NotReported, "mask", "", "", ""},
        {"a key reported by none but given", TSection::Wan, {{"mask", "255.255.255.0"}, {"ip", "10.0.0.5"}},
         {{"gateway", "10.0.0.1"}}, true, {{"ip", "10.0.0.5"}, {"gateway", "10.0.0.1"}, {"mask", "255.255.255.0"}}, {},
         "", "", "", ""},
        {"a held value the checks refuse", TSection::Tcp, {{"expiry", "20"}},
         {{"mode", "server"}, {"listen", "0"}, {"target", "10.0.0.2:6000"}, {"expiry", "10"}}, true, {},
         TKind::HeldRefused, "listen", "0", "the listen port takes a whole number from 1 to 65535",
         "the listen port takes a whole number from 1 to 65535"},
        {"a refused held value replaced by a given one", TSection::Tcp, {{"listen", "80"}},
         {{"mode", "server"}, {"listen", "0"}, {"target", "10.0.0.2:6000"}, {"expiry", "10"}}, true,
         {{"mode", "server"}, {"listen", "80"}, {"target", "10.0.0.2:6000"}, {"expiry", "10"}}, {}, "", "", "", ""},
        {"a set refused as a whole", TSection::Tcp, {{"listen", "7000"}}, tcpHeld, false, {}, TKind::SetRefused, "", "",
         "read the device's settings first (status)", "read the device's settings first (status)"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto prepared = PrepareSectionChange(c.section, c.given, c.current, c.statusReceived);
        if (!c.refused) {
            ASSERT_TRUE(std::holds_alternative<TSectionChange>(prepared));
            const TSectionChange& change = std::get<TSectionChange>(prepared);
            EXPECT_EQ(change.section, c.section);
            EXPECT_EQ(change.given, c.given);
            EXPECT_EQ(change.before, c.current);
            EXPECT_EQ(change.sent, c.sent);
            EXPECT_EQ(change.Changes(), c.sent != c.current);
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<TSectionRefusal>(prepared));
        const TSectionRefusal& refusal = std::get<TSectionRefusal>(prepared);
        EXPECT_EQ(refusal.kind, *c.refused);
        EXPECT_EQ(refusal.key, c.key);
        EXPECT_EQ(refusal.held, c.held);
        EXPECT_EQ(refusal.why, c.why);
        EXPECT_EQ(refusal.setRefusal, c.setRefusal);
    }
}
