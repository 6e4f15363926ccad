// Preference files on disk, byte for byte: what pref_close writes after each kind of change, what
// it leaves alone, what reads back after reopening, and what a write-back that fails keeps.
#include "runtime/prefs.h"
#include "runtime/strings.h"
#include "runtime/utf.h"
#include "tests/support/scratch_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <optional>
#include <sys/resource.h>

namespace korvel {

static const std::string mark = "\xEF\xBB\xBF\r\n";

class PrefFiles : public ::testing::Test {
protected:
    void TearDown() override { pref_close(); }

    // Steps separated by "|": "open" (which succeeds when the file exists), "create", "close";
    // "[name]" selects a group that exists, "[name] new" one that does not; "key=value" stores;
    // "key?value" reads ("<none>": there is no such value).
    void run(std::u16string_view script) const {
        for (std::size_t end = 0; end != script.npos; script.remove_prefix(end + 1)) {
            end = script.find(u'|');
            const std::u16string step(script.substr(0, end));
            const bool group = step[0] == u'[';
            const std::size_t split = step.find_first_of(group ? u"]" : u"=?");
            const std::u16string name = step.substr(group, split - group);
            const std::u16string rest = step.substr(std::min(split + 1, step.size()));
            const std::int32_t at = ws_position();
            SCOPED_TRACE(utf8_from_utf16(step.c_str()));
            if (step == u"open")
                EXPECT_EQ(pref_open(file_.c_str()) != 0, test::path_exists(path_));
            else if (step == u"create")
                EXPECT_NE(pref_create(file_.c_str()), 0);
            else if (step == u"close")
                pref_close();
            else if (group)
                EXPECT_EQ(pref_group(name.c_str()), rest.empty() ? 1 : 0);
            else if (step[split] == u'=')
                EXPECT_EQ(pref_write_string(name.c_str(), rest.c_str()), 1);
            else
                EXPECT_EQ(pref_read_string(name.c_str(), u"<none>", at), rest);
            ws_restore(at);
        }
    }
    test::scratch_folder folder_;
    const std::u16string file_ = folder_.name("job.tmp");
    const std::string path_ = folder_.path("job.tmp");
};

TEST_F(PrefFiles, EachKindOfChangeIsWrittenBackInTheStrictLayoutAndReadsBack) {
    const std::optional<std::string> none; // no file at all
    const std::string loose = "a=1\n\n[G]\nb = \xE9\n";
    const struct {
        std::optional<std::string> before;
        std::u16string script;
        std::optional<std::string> after;
    } cases[] = {
        {"old", u"create|[Resolution] new|Width=640|Height=480",
         mark + "[Resolution]\r\nWidth = 640\r\nHeight = 480\r\n"},
        {"[Old]\r\nk = v\r\n", u"create|[Old] new", ""},
        {"[Caf\xE9]\nName=\xE9t\xE9\n", u"open|[Café]|Name?été|More=ÿ",
         mark + "[Café]\r\nName = été\r\nMore = ÿ\r\n"},
        // Only A-Z match either case; a store takes the key's spelling from the call.
        {mark + "[Resolution]\r\nWidth = 640\r\n@[ = 1\r\n[été]\r\n",
         u"open|[ÉTÉ] new|[éTé]|[resolution]|WIDTH?640|`{?<none>|WIDTH=800",
         mark + "[Resolution]\r\nWIDTH = 800\r\n@[ = 1\r\n[été]\r\n"},
        {mark + "[A]\r\nk = 1\r\n[B]\r\nk = 2\r\n", u"open|[A]|[New] new|k?<none>|k=3|k?3|[new]",
         mark + "[A]\r\nk = 1\r\n[B]\r\nk = 2\r\n[New]\r\nk = 3\r\n"},
        {mark + "[A]\r\na = 1\r\n; note\r\n[B]\r\n", u"open|[]|Top=0|[A]|b=2|[B]|c=",
         mark + "Top = 0\r\n[A]\r\na = 1\r\n; note\r\nb = 2\r\n[B]\r\nc = \r\n"},
        {loose, u"open|[g]|B?é", loose},
        // An empty file stays without the mark only while it holds nothing but ASCII.
        {"", u"open|[G] new|k=v|close|open|[G]|k?v", "[G]\r\nk = v\r\n"},
        {"", u"open|[Grüße] new|k=/home/josé|close|open|[Grüße]|k?/home/josé",
         mark + "[Grüße]\r\nk = /home/josé\r\n"},
        {mark + "Name = \xFF\xC3\r\n", u"open|Name?\xDCFF\xDCC3|Other=1",
         mark + "Name = \xFF\xC3\r\nOther = 1\r\n"},
        {none, u"open|[G] new|k=v|k?v|close|open|[G]|k?v", mark + "[G]\r\nk = v\r\n"},
        {none, u"open|[G] new|k?<none>", none},
        {"\t[ My Group ]tail\r\n=v\ra = b = c\n\nlonely \t\r\n  W \t=  640 \t",
         u"open|[ My Group ]|?v|a?b = c|lonely?|W?640|x=1",
         mark + "[ My Group ]\r\n = v\r\na = b = c\r\nlonely = \r\nW = 640 \t\r\nx = 1\r\n"},
        {"[a]b]\n[open \n;  two\n;\ttab", u"open|[a]|[open ]|x=1",
         mark + "[a]\r\n[open ]\r\n;  two\r\n; \ttab\r\nx = 1\r\n"},
        // A line break inside a name or value must not add lines of its own.
        {none, u"create|[File\nNames] new|k=a\r\n[Resolution]\nWidth = 9",
         mark + "[File Names]\r\nk = a  [Resolution] Width = 9\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(utf8_from_utf16(c.script.c_str()));
        std::filesystem::remove(path_);
        if (c.before) folder_.write("job.tmp", *c.before);
        run(c.script + u"|close");
        const auto after = test::path_exists(path_) ? std::optional(test::read_file(path_)) : none;
        EXPECT_EQ(after, c.after);
    }
}

// The new contents are written over the old before the file is cut to their length.
TEST_F(PrefFiles, AWriteBackThatFailsPartWayDoesNotCutTheOldContents) {
    const std::string old = "k = " + std::string(300, 'o') + "\r\n";
    folder_.write("job.tmp", old);
    run(u"open|k=" + std::u16string(150, u'n'));
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    constexpr rlim_t writable = 100; // the file may not be written beyond its first bytes
    rlimit small = saved;
    small.rlim_cur = writable;
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    pref_close();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(test::read_file(path_).substr(writable), old.substr(writable));
}

} // namespace korvel
