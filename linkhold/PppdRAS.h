// The dial-up connections of pppd: the peers of /etc/ppp/peers are the phone
// book, the ppp interfaces the connections; "pon" dials and "poff" hangs up,
// each started in the background with its arguments as a list, never through
// a shell.
#pragma once

#include "linkhold/RAS.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <vector>

class QProcess;

class TPppdBackend : public QObject, public IRASBackend {
    Q_OBJECT
public:
    struct TPaths {
        std::string PeersDir = "/etc/ppp/peers";
        std::string Pon = "/usr/bin/pon";
        std::string Poff = "/usr/bin/poff";
        std::string NetClassDir = "/sys/class/net";
        // The defaults, each replaced by its HOROLUX_PPP_PEERS_DIR,
        // HOROLUX_PON, HOROLUX_POFF or HOROLUX_NET_CLASS_DIR (for tests).
        static TPaths FromEnvironment();
    };

    explicit TPppdBackend(TPaths paths = TPaths::FromEnvironment(), QObject* parent = nullptr);
    ~TPppdBackend() override;

    std::vector<std::string> EnumEntries() override;
    std::vector<TRASConnection> EnumConnections() override;
    // "pon entry [user name] [passwordfd n]": the password is written into a
    // pipe on descriptor n only when the peer loads the passwordfd plugin;
    // otherwise pppd takes it from its own secrets files.
    void Dial(const std::string& entry, const std::string& userName, const std::string& password,
              TDone done) override;
    // "poff entry"; a poff that finds no pppd to stop has nothing to hang up.
    void HangUp(const std::string& entry, TDone done) override;
    bool Dialling() const override { return DialsRunning > 0; }

    const TPaths& Paths() const { return P; }

private:
    // passwordFd: the read end of the password pipe, handed to the child
    // under its own number, or -1.
    void Run(const std::string& program, const QStringList& args, int passwordFd, bool isDial,
             TDone done);

    TPaths P;
    int DialsRunning = 0;
    std::vector<QProcess*> Running;
};
