// A dial-up system of the test's own: entries, links and the dial and
// hang-up calls it was asked for, finished when the test says so.
#pragma once

#include "linkhold/Linkhold.h"
#include "linkhold/RAS.h"
#include "timemodel/HXMessageBoxes.h"

#include <map>
#include <string>
#include <vector>

class TFakeRAS : public IRASBackend {
public:
    struct TCall {
        std::string What, Entry, UserName, Password;
        bool operator==(const TCall&) const = default;
    };
    std::vector<std::string> Entries;
    std::vector<TRASConnection> Links;
    bool Broken = false;     // the links cannot be examined
    bool StartFails = false; // pon / poff cannot be started
    std::vector<TCall> Calls;
    std::vector<TDone> Running; // dials and hang-ups not finished yet

    std::vector<std::string> EnumEntries() override { return Entries; }
    std::vector<TRASConnection> EnumConnections() override {
        if (Broken) throw ERASError("no links");
        return Links;
    }
    void Dial(const std::string& entry, const std::string& user, const std::string& password,
              TDone done) override {
        Start({"dial", entry, user, password}, std::move(done));
    }
    void HangUp(const std::string& entry, TDone done) override {
        Start({"hangup", entry, "", ""}, std::move(done));
    }
    bool Dialling() const override { return !Running.empty() && Calls.back().What == "dial"; }
    void Finish(bool ok) {
        TDone d = std::move(Running.front());
        Running.erase(Running.begin());
        d(ok);
    }

private:
    void Start(TCall call, TDone done) {
        Calls.push_back(std::move(call));
        if (StartFails)
            done(false);
        else
            Running.push_back(std::move(done));
    }
};

class TMemoryLinkholdStore : public ILinkholdStore {
public:
    TLinkholdDialPrefs Prefs;
    bool Fails = false;
    bool AskedForCredentials = false;
    std::vector<std::string> Exported;
    int Exports = 0;

    TLinkholdDialPrefs ReadDialPrefs(bool withCredentials) override {
        if (Fails) throw Exception("store unreadable");
        AskedForCredentials = withCredentials;
        TLinkholdDialPrefs p = Prefs;
        if (!withCredentials) p.UserName = p.Password = "";
        return p;
    }
    void WritePhoneBook(const std::vector<std::string>& entries) override {
        if (Fails) throw Exception("store unwritable");
        Exported = entries;
        ++Exports;
    }
};

class TRecordingDialogs : public IMessagePresenter {
public:
    std::vector<std::string> Texts;
    TModalResult Present(const std::string& text, TMsgDlgType type, TMsgDlgButtons, int) override {
        Texts.push_back((type == TMsgDlgType::mtError ? "E:" : "?:") + text);
        return mrOk;
    }
};
