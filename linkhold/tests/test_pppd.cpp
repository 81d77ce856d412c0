// The pppd backend against peers, interfaces, pon and poff of the test's own:
// what is listed, what the fake pon and poff are given, and where the
// password goes.
#include "linkhold/PppdRAS.h"
#include "linkhold/RAS.h"
#include "linkhold/tests/TestApp.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

Strings Lines(const std::string& text) {
    Strings out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);)
        out.push_back(l);
    return out;
}

class TTempDir {
public:
    TTempDir() {
        char tmpl[] = "/tmp/linkhold-pppd-XXXXXX";
        if (mkdtemp(tmpl)) Path = tmpl;
    }
    ~TTempDir() {
        std::error_code ec;
        if (!Path.empty()) fs::remove_all(Path, ec);
    }
    std::string Path;
};

void Write(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

} // namespace

TEST(PppdRules, NamesPluginsAndFlags) {
    for (const char* n : {"Office", "my-isp_2.net", "a", "provider.bak"})
        EXPECT_TRUE(IsDiallablePeerName(n)) << n;
    for (const char* n : {"", ".hidden", "..", "-option", "with blank", "a/b", "semi;colon",
                          "$(id)", "tab\tname", "\xc3\xbcmlaut", "provider~"})
        EXPECT_FALSE(IsDiallablePeerName(n)) << n;
    for (const char* n : {"provider~", "provider.bak", "provider.dpkg-old", "provider.ucf-dist"})
        EXPECT_TRUE(IsBackupPeerName(n)) << n;
    for (const char* n : {"Office", "bakery", "provider.d"})
        EXPECT_FALSE(IsBackupPeerName(n)) << n;
    struct TPeer {
        const char* text;
        bool passwordFd;
    };
    const TPeer peers[] = {
        {"plugin passwordfd.so\n", true},
        {"noauth\n  plugin   /usr/lib/pppd/2.4.9/passwordfd.so  # for hxlinkhold\nuser ann\n",
         true},
        {"plugin \"passwordfd.so\"\n", true},
        {"# plugin passwordfd.so\n", false},
        {"plugin rp-pppoe.so\n", false},
        {"plugin\n", false},
        {"passwordfd 3\n", false},
        {"plugin notpasswordfd.so\n", false},
        {"", false},
    };
    for (const TPeer& p : peers)
        EXPECT_EQ(PeerLoadsPasswordFd(p.text), p.passwordFd) << p.text;
    struct TFlags {
        const char* text;
        bool connected;
    };
    const TFlags flags[] = {
        {"0x10d1\n", true}, {"0x41", true},  {"0x1091\n", false}, {"0x10d0\n", false},
        {"", false},        {"junk", false}, {"0x41junk", false}, {"0xffffffffffffffffff", false},
    };
    for (const TFlags& f : flags)
        EXPECT_EQ(InterfaceFlagsConnected(f.text), f.connected) << f.text;
}

TEST(PppdFiles, OnlyPlainDiallablePeersAreListedInNameOrder) {
    TTempDir d;
    ASSERT_FALSE(d.Path.empty());
    const std::string peers = d.Path + "/peers";
    for (const char* n : {"zeta", "Office", "a.b_c-d", ".hidden", "-x", "with blank", "x~", "x.bak",
                          "x.dpkg-dist", "semi;colon"})
        Write(peers + "/" + n, "noauth\n");
    fs::create_directories(peers + "/adirectory");
    fs::create_symlink(peers + "/zeta", peers + "/alias");
    fs::create_symlink(peers + "/missing", peers + "/dangling");
    EXPECT_EQ(ListPeers(peers), (Strings{"Office", "a.b_c-d", "alias", "zeta"}));
    EXPECT_EQ(ListPeers(d.Path + "/none"), Strings{});

    const std::string net = d.Path + "/net";
    Write(net + "/lo/flags", "0x49\n");
    Write(net + "/eth0/flags", "0x1043\n");
    Write(net + "/ppp0/flags", "0x1091\n"); // still dialling
    Write(net + "/ppp1/flags", "0x10d1\n");
    fs::create_directories(net + "/ppp2"); // going away: no flags
    const std::vector<TRASConnection> links = ListPppLinks(net);
    ASSERT_EQ(links.size(), 3u);
    EXPECT_EQ(links[0].Name + links[1].Name + links[2].Name, "ppp0ppp1ppp2");
    EXPECT_EQ(std::vector<bool>({links[0].Connected, links[1].Connected, links[2].Connected}),
              std::vector<bool>({false, true, false}));
    EXPECT_THROW(ListPppLinks(d.Path + "/nonet"), ERASError);
}

TEST(PppdFiles, RandomNamesAndFlagsNeverListWhatPonCouldMisread) {
    TTempDir d;
    ASSERT_FALSE(d.Path.empty());
    std::mt19937 rng(22);
    const std::string alphabet = "aZ09._-~ ;$*?'\"\\\t\n#&|<>()";
    std::uniform_int_distribution<size_t> len(1, 12), pick(0, alphabet.size() - 1);
    for (int i = 0; i < 300; ++i) {
        std::string name;
        for (size_t n = len(rng); n > 0; --n)
            name += alphabet[pick(rng)];
        if (name == "." || name == "..") continue;
        std::ofstream(d.Path + "/" + name) << "x";
    }
    // Flag files of any content: connected exactly when they read as up and running.
    const std::string net = d.Path + "/net";
    std::vector<bool> expected;
    std::uniform_int_distribution<int> bits(0, 0xffff), kind(0, 2);
    for (int i = 0; i < 50; ++i) {
        std::string flags;
        if (kind(rng) == 0) {
            for (size_t n = len(rng); n > 0; --n)
                flags += alphabet[pick(rng)];
        } else {
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%x\n", unsigned(bits(rng)));
            flags = hex;
        }
        char name[16];
        std::snprintf(name, sizeof name, "ppp%03d", i);
        Write(net + "/" + name + "/flags", flags);
        expected.push_back(InterfaceFlagsConnected(flags));
    }
    std::vector<bool> got;
    for (const TRASConnection& c : ListPppLinks(net))
        got.push_back(c.Connected);
    EXPECT_EQ(got, expected);
    for (const std::string& n : ListPeers(d.Path)) {
        EXPECT_TRUE(IsDiallablePeerName(n)) << n;
        EXPECT_FALSE(IsBackupPeerName(n)) << n;
        EXPECT_TRUE(n.find_first_not_of(
                        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789._-") ==
                    std::string::npos)
            << n;
    }
}

namespace {

// A pon or poff that records, per run, its arguments, its environment and
// what its passwordfd descriptor holds, then ends with $FAKE_PPP_EXIT.
const char* kRecorder = R"(#!/bin/sh
out="$FAKE_PPP_RECORD/$(basename "$0").$$"
printf '%s\n' "$@" > "$out.args"
env > "$out.env"
prev=""
for a in "$@"; do
  if [ "$prev" = passwordfd ]; then
    case "$a" in *[!0-9]*|"") ;; *) eval "cat <&$a" > "$out.password" ;; esac
  fi
  prev="$a"
done
exit "${FAKE_PPP_EXIT:-0}"
)";

class PppdBackendTest : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        ASSERT_FALSE(D.Path.empty());
        Record = D.Path + "/record";
        fs::create_directories(Record);
        for (const char* p : {"pon", "poff"}) {
            Write(D.Path + "/bin/" + p, kRecorder);
            fs::permissions(D.Path + "/bin/" + p, fs::perms::owner_all);
        }
        Write(D.Path + "/peers/Office", "noauth\nplugin passwordfd.so\n");
        Write(D.Path + "/peers/Home", "noauth\n");
        setenv("FAKE_PPP_RECORD", Record.c_str(), 1);
        unsetenv("FAKE_PPP_EXIT");
        Paths.PeersDir = D.Path + "/peers";
        Paths.Pon = D.Path + "/bin/pon";
        Paths.Poff = D.Path + "/bin/poff";
        Paths.NetClassDir = D.Path + "/net";
    }
    void TearDown() override {
        unsetenv("FAKE_PPP_RECORD");
        unsetenv("FAKE_PPP_EXIT");
    }
    // Runs one command to its end; its result.
    std::optional<bool> Await(const std::function<void(IRASBackend::TDone)>& start) {
        std::optional<bool> result;
        start([&](bool ok) { result = ok; });
        QElapsedTimer t;
        t.start();
        while (!result && t.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return result;
    }
    // The records of every run: file suffix -> contents, concatenated.
    std::string Recorded(const std::string& suffix) {
        std::string all;
        for (const auto& e : fs::directory_iterator(Record))
            if (e.path().extension() == suffix) all += Slurp(e.path());
        return all;
    }
    size_t Runs() {
        size_t n = 0;
        for (const auto& e : fs::directory_iterator(Record))
            n += e.path().extension() == ".args";
        return n;
    }

    TTempDir D;
    std::string Record;
    TPppdBackend::TPaths Paths;
};

} // namespace

TEST_F(PppdBackendTest, ThePasswordReachesPonOnlyThroughItsDescriptor) {
    TPppdBackend ras(Paths);
    const std::string password = "s3cret pw;$(x)";
    EXPECT_EQ(Await([&](auto done) { ras.Dial("Office", "ann", password, done); }), true);
    const Strings args = Lines(Recorded(".args"));
    ASSERT_EQ(args.size(), 5u) << Recorded(".args");
    EXPECT_EQ(Strings(args.begin(), args.begin() + 4),
              (Strings{"Office", "user", "ann", "passwordfd"}));
    EXPECT_GT(std::stoi(args[4]), 2);
    EXPECT_EQ(Recorded(".password"), password);
    EXPECT_EQ(Recorded(".env").find("s3cret"), std::string::npos);
    EXPECT_FALSE(ras.Dialling());

    // A peer without the plugin: pppd's own secrets, nothing handed over.
    fs::remove_all(Record);
    fs::create_directories(Record);
    EXPECT_EQ(Await([&](auto done) { ras.Dial("Home", "", password, done); }), true);
    EXPECT_EQ(Lines(Recorded(".args")), Strings{"Home"});
    EXPECT_EQ(Recorded(".password"), "");
    EXPECT_EQ(Recorded(".env").find("s3cret"), std::string::npos);
}

TEST_F(PppdBackendTest, FailuresAndHostileNames) {
    TPppdBackend ras(Paths);
    EXPECT_EQ(Await([&](auto done) { ras.HangUp("Office", done); }), true);
    EXPECT_EQ(Lines(Recorded(".args")), Strings{"Office"});

    setenv("FAKE_PPP_EXIT", "1", 1);
    EXPECT_EQ(Await([&](auto done) { ras.Dial("Home", "", "", done); }), false);
    // poff ends with an error when no pppd runs: nothing was there to hang up.
    EXPECT_EQ(Await([&](auto done) { ras.HangUp("Home", done); }), true);
    unsetenv("FAKE_PPP_EXIT");
    const size_t runs = Runs();

    for (const char* hostile :
         {"../peers/Home", "-x", ".hidden", "with blank", "Home.bak", "*", ""}) {
        EXPECT_EQ(Await([&](auto done) { ras.Dial(hostile, "", "", done); }), false) << hostile;
        EXPECT_EQ(Await([&](auto done) { ras.HangUp(hostile, done); }), false) << hostile;
    }
    EXPECT_EQ(Runs(), runs);

    TPppdBackend::TPaths missing = Paths;
    missing.Pon = D.Path + "/bin/no-pon";
    missing.Poff = D.Path + "/bin/no-poff";
    TPppdBackend none(missing);
    EXPECT_EQ(Await([&](auto done) { none.Dial("Office", "ann", "pw", done); }), false);
    EXPECT_EQ(Await([&](auto done) { none.HangUp("Office", done); }), false);
}
