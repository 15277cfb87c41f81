// A speech-dispatcher that takes the connection and never answers: the
// converter still says every prompt, with the diphone synthesizer, once the
// server's start bound has passed, and the user is told why.
#include <sys/socket.h>
#include <sys/un.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <string>
#include <vector>
#include <chrono>
#include <thread>

#include "converter/converter.hpp"
#include "output_fixture.hpp"
#include "servers/dispatch.hpp"
#include "servers/sapi5.hpp"
#include "support/converter_run.hpp"

namespace {

// Listens on a socket of its own, takes every connection and reads what
// comes, answering nothing, until it is destroyed.
class SilentServer {
public:
    explicit SilentServer(const std::string& path) {
        listener_ = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        path.copy(addr.sun_path, sizeof addr.sun_path - 1);
        if (::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(listener_, 8) != 0)
            ADD_FAILURE() << "no socket at " << path;
        thread_ = std::thread([this] { serve(); });
    }
    ~SilentServer() {
        stop_ = true;
        thread_.join();
        for (int fd : clients_) ::close(fd);
        ::close(listener_);
    }
    int connections() const { return accepted_; }

private:
    void serve() {
        while (!stop_) {
            std::vector<pollfd> fds{{listener_, POLLIN, 0}};
            for (int fd : clients_) fds.push_back({fd, POLLIN, 0});
            if (::poll(fds.data(), fds.size(), 20) <= 0) continue;
            if (fds[0].revents & POLLIN) {
                const int fd = ::accept(listener_, nullptr, nullptr);
                if (fd >= 0) clients_.push_back(fd), ++accepted_;
            }
            char sink[512];
            for (std::size_t i = 1; i < fds.size(); ++i)
                if (fds[i].revents & POLLIN) (void)!::read(fds[i].fd, sink, sizeof sink);
        }
    }
    int listener_ = -1;
    std::vector<int> clients_;
    std::atomic<bool> stop_{false};
    std::atomic<int> accepted_{0};
    std::thread thread_;
};

class SilentSpeechd : public OutputTest {
protected:
    void SetUp() override {
        OutputTest::SetUp();
        servers::registerSapi5Servers();
        servers::setServerBoundsForTests({2000, 5000, 200, 3000, 2000});
    }
    void TearDown() override {
        servers::setServerBoundsForTests({});
        OutputTest::TearDown();
    }
};

TEST_F(SilentSpeechd, PromptsComeThroughTheDiphoneVoice) {
    const std::string socket = (dir_ / "speechd.sock").string();
    SilentServer server(socket);
    support::ScopedEnv address("SPEECHD_ADDRESS", "unix_socket:" + socket);
    settings("[TRADUTOR]\nSAPI=S\n[SERVFALA]\nTIPOSAPI=5\n");
    std::ofstream(dir_ / "in.txt", std::ios::binary) << "primeira linha\r\n";

    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(support::runConverter((dir_ / "in.txt").string(), (dir_ / "out.zul").string()), 0);
    const auto took = std::chrono::duration_cast<std::chrono::seconds>(std::chrono::steady_clock::now() - t0);
    EXPECT_LT(took.count(), 60) << "the start bound is 2 s";
    EXPECT_GE(server.connections(), 1) << "the voice never reached the socket";

    std::string said;
    for (const std::string& piece : trace_) {
        EXPECT_EQ(piece.rfind("server ", 0), std::string::npos) << piece;
        if (piece.rfind("words ", 0) == 0) said += piece.substr(6);
    }
    for (const char* prompt : {"Servidor de fala indispon\xEDvel", "Qual o arquivo a converter", "primeira linha",
                               "Ok"})
        EXPECT_NE(said.find(prompt), std::string::npos) << prompt << " was not said: " << said;
}

}  // namespace
