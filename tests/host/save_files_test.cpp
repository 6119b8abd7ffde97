#include "host/save_files.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/diagnostics_log.h"
#include "platform/text.h"
#include "tests/server/content_folder.h"
#include "tests/support/log_lines.h"

namespace {

TEST(SaveNames, OnlyPortableNamesOutsideTheStoresOwnFiles) {
    const struct {
        std::wstring name;
        const char* problem;  // a part of the reason; empty for a save name
    } cases[] = {
        {L"slot1", ""},
        {L"Slot 1", ""},
        {L"file1.rpgsave", ""},
        {L"a_b-c.d.e", ""},
        {L"console", ""},
        {L"com10", ""},
        {L"slot.bak.1", ""},
        {std::wstring(64, L'x'), ""},
        {L"", "1 to 64"},
        {std::wstring(65, L'x'), "1 to 64"},
        {L"caf\u00e9", "only letters"},
        {L"a/b", "only letters"},
        {L"a\\b", "only letters"},
        {L"a:b", "only letters"},
        {L"a*b", "only letters"},
        {L"tab\t", "only letters"},
        {L".hidden", "start"},
        {L" slot", "start"},
        {L"slot.", "end with"},
        {L"slot ", "end with"},
        {L"con", "device"},
        {L"nul.txt", "device"},
        {L"COM1", "device"},
        {L"Lpt9.sav", "device"},
        {L"con .txt", "device"},
        {L"slot1.bak", "store's own"},
        {L"slot1.TMP", "store's own"},
        {L"local-storage.json", "mirror"},
        {L"Local-Storage.JSON", "mirror"},
    };
    for (const auto& c : cases) {
        const std::string problem = SaveNameProblem(c.name);
        if (*c.problem == '\0')
            EXPECT_EQ(problem, "") << WideToUtf8(c.name);
        else
            EXPECT_NE(problem.find(c.problem), std::string::npos)
                << WideToUtf8(c.name) << ": " << problem;
    }
}

// A save store in a temporary folder, asked as the page asks.
struct Store {
    ContentFolder content;
    DiagnosticsLog log;
    SaveStore store{content.HostPath(L"../saves"), true, &log};

    Store() { log.Open(content.HostPath(L"../data")); }
    PageAnswer Ask(const char* type, nlohmann::json fields = nlohmann::json::object()) {
        return store.Answer({type, 1, std::move(fields)});
    }
    std::string File(const std::wstring& name) const {
        return ReadWholeFile(content.HostPath(L"../saves/" + name));
    }
    std::vector<std::string> LogEvents() const {
        return LogEventsOf(ReadWholeFile(content.HostPath(L"../data/Lanternshell.log")));
    }
};

TEST(SaveStore, WritesReadsListsAndRemovesOneSavePerNameInAnyCase) {
    Store s;
    EXPECT_EQ(s.Ask("saves.list").value, nlohmann::json::array()) << "no folder yet";
    EXPECT_EQ(s.Ask("saves.read", {{"name", "Slot 1"}}).value, nullptr);
    const auto write = s.Ask("saves.write", {{"name", "Slot 1"}, {"text", "first"}});
    EXPECT_TRUE(write.ok) << write.error;
    EXPECT_TRUE(s.Ask("saves.write", {{"name", "SLOT 1"}, {"text", "\u4e2d\U0001F3EE"}}).ok);
    EXPECT_TRUE(s.Ask("saves.write", {{"name", "b"}, {"text", ""}}).ok);
    EXPECT_EQ(s.File(L"slot 1"), "\u4e2d\U0001F3EE") << "UTF-8, under the lower-case name";
    EXPECT_EQ(s.File(L"slot 1.bak"), "first");
    EXPECT_EQ(s.Ask("saves.read", {{"name", "slot 1"}}).value, "\u4e2d\U0001F3EE");
    EXPECT_EQ(s.Ask("saves.read", {{"name", "b"}}).value, "") << "empty, not missing";
    s.content.Write(L"../saves/Other", "made by hand");
    s.content.Write(L"../saves/x.tmp", "left by a crash");
    EXPECT_EQ(s.Ask("saves.list").value, nlohmann::json({"b", "slot 1"}));

    // Cut short between its two renames, a save is its backup.
    std::string ignored;
    ASSERT_TRUE(RemoveFile(s.content.HostPath(L"../saves/slot 1"), ignored));
    EXPECT_EQ(s.Ask("saves.read", {{"name", "Slot 1"}}).value, "first");
    EXPECT_EQ(s.Ask("saves.list").value, nlohmann::json({"b", "slot 1"}));

    EXPECT_EQ(s.Ask("saves.remove", {{"name", "slot 1"}}).value, true);
    EXPECT_EQ(s.Ask("saves.remove", {{"name", "slot 1"}}).value, false);
    EXPECT_EQ(s.Ask("saves.read", {{"name", "slot 1"}}).value, nullptr);
    EXPECT_FALSE(s.content.Exists(L"../saves/slot 1.bak"));
    EXPECT_EQ(s.Ask("saves.list").value, nlohmann::json({"b"}));
    EXPECT_TRUE(s.LogEvents().empty());
}

TEST(SaveStore, RefusesAndFailsWithTheReasonLeavingTheOldSave) {
    Store s;
    ASSERT_TRUE(s.Ask("saves.write", {{"name", "slot"}, {"text", "old"}}).ok);
    ASSERT_TRUE(
        s.Ask("saves.write", {{"name", "big"}, {"text", std::string(SaveMaxBytes, 'x')}}).ok);
    // A folder where the store's own file goes makes its step fail.
    s.content.MakeFolder(L"../saves/slot.tmp");
    const struct {
        const char* type;
        nlohmann::json fields;
        const char* error;
    } cases[] = {
        {"saves.write", {{"name", "con"}, {"text", "x"}}, "device name"},
        {"saves.write", {{"text", "x"}}, "a save name is a string"},
        {"saves.read", {{"name", 7}}, "a save name is a string"},
        {"saves.write", {{"name", "slot"}, {"text", 7}}, "the text to save is a string"},
        {"saves.write",
         {{"name", "slot"}, {"text", std::string(SaveMaxBytes + 1, 'x')}},
         "at most 16 MiB"},
        {"saves.write", {{"name", "slot"}, {"text", "new"}}, "the save could not be written: "},
        {"saves.rename", {{"name", "slot"}}, "there is no request \"saves.rename\""},
    };
    for (const auto& c : cases) {
        const PageAnswer answer = s.Ask(c.type, c.fields);
        EXPECT_FALSE(answer.ok) << c.type;
        EXPECT_NE(answer.error.find(c.error), std::string::npos) << answer.error;
    }
    EXPECT_EQ(s.File(L"slot"), "old");
    EXPECT_FALSE(s.content.Exists(L"../saves/con"));
    std::filesystem::remove(s.content.NativePath(L"../saves/slot.tmp"));
    s.content.MakeFolder(L"../saves/slot.bak/full");
    EXPECT_FALSE(s.Ask("saves.write", {{"name", "slot"}, {"text", "new"}}).ok);
    EXPECT_EQ(s.File(L"slot"), "old");
    EXPECT_FALSE(s.content.Exists(L"../saves/slot.tmp"));

    const auto events = s.LogEvents();
    ASSERT_EQ(events.size(), std::size(cases) + 1) << "one line per request";
    EXPECT_EQ(events[0],
              "saves.write \"con\": a save name can't be a device name (\"con\", \"nul.txt\", "
              "\"COM1\"...)");
}

TEST(SaveStore, MirrorsLocalStorageAndReadsOnlyAWellFormedFileBack) {
    Store s;
    EXPECT_EQ(s.store.ReadMirror(), nullptr) << "no file yet";
    const nlohmann::json mirror = {{"generation", 3},
                                   {"items", {{"a", "1"}, {"__proto__", {{"u16", "d800"}}}}}};
    ASSERT_EQ(s.Ask("saves.mirror", mirror).error, "");
    EXPECT_EQ(s.store.ReadMirror(), mirror);
    const struct {
        nlohmann::json mirror;
        const char* problem;
    } refused[] = {
        {{{"generation", 0}, {"items", nlohmann::json::object()}}, "generation"},
        {{{"generation", 1.5}, {"items", nlohmann::json::object()}}, "generation"},
        {{{"generation", uint64_t{1} << 53}, {"items", nlohmann::json::object()}}, "generation"},
        {{{"generation", 1}, {"items", {1, 2}}}, "items"},
        {{{"generation", 1}, {"items", {{"a", 1}}}}, "an item"},
        {{{"generation", 1}, {"items", {{"a", {{"u16", "d80"}}}}}}, "an item"},
    };
    for (const auto& c : refused) {
        const PageAnswer answer = s.Ask("saves.mirror", c.mirror);
        EXPECT_NE(answer.error.find(c.problem), std::string::npos) << answer.error;
    }
    EXPECT_EQ(s.store.ReadMirror(), mirror) << "refused mirrors write nothing";
    s.content.Write(L"../saves/local-storage.json", "{\"generation\":4,\"items\":{\"a\"");
    EXPECT_EQ(s.store.ReadMirror(), nullptr);
    EXPECT_EQ(s.LogEvents().back(), "local-storage.json is not restored: it is not valid JSON");

    SaveStore off(s.store.folder(), false, nullptr);
    EXPECT_EQ(off.Answer({"saves.mirror", 2, mirror}).error, "the local storage mirror is off");
}

TEST(PageRequest, ReadsRequestsAndRepliesInTheirShapes) {
    const struct {
        const wchar_t* text;
        const char* type;  // null: no request
        nlohmann::json id;
    } cases[] = {
        {L"{\"type\":\"saves.read\",\"id\":7,\"name\":\"a\"}", "saves.read", 7},
        {L"{\"type\":\"steam.x\",\"id\":\"k\"}", "steam.x", "k"},
        {L"{\"type\":\"close\",\"id\":7}", nullptr, nullptr},
        {L"{\"type\":\"saves.read\"}", nullptr, nullptr},
        {L"{\"type\":\"saves.read\",\"id\":null}", nullptr, nullptr},
        {L"[\"saves.read\",7]", nullptr, nullptr},
        {L"{\"type\":\"saves.read\",\"id\":7", nullptr, nullptr},
    };
    for (const auto& c : cases) {
        const auto request = ReadPageRequest(c.text);
        ASSERT_EQ(request.has_value(), c.type != nullptr) << WideToUtf8(c.text);
        if (!request) continue;
        EXPECT_EQ(request->type, c.type);
        EXPECT_EQ(request->id, c.id);
    }
    EXPECT_EQ(PageReplyJson(7, PageAnswer::Value({"a", "b"})),
              R"({"id":7,"ok":true,"type":"lanternshell-reply","value":["a","b"]})");
    EXPECT_EQ(PageReplyJson("k", PageAnswer::Value(nullptr)),
              R"({"id":"k","ok":true,"type":"lanternshell-reply","value":null})");
    EXPECT_EQ(PageReplyJson(8, PageAnswer::Refused("no \"x\"")),
              R"({"error":"no \"x\"","id":8,"ok":false,"type":"lanternshell-reply"})");
}

}  // namespace
