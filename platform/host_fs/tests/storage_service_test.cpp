#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "host_fs/client.h"
#include "host_fs/protocol.h"
#include "host_fs/server.h"

namespace {

namespace fs = std::filesystem;
using host_fs::EvictionSelection;
using host_fs::LineHandler;
using host_fs::ReclamationReport;
using host_fs::ServiceError;
using host_fs::StorageClient;
using host_fs::StorageServer;
using host_fs::SyncedFileState;
using host_fs::SyncedSnapshot;

const SyncedSnapshot kSnapshot{
    {{"Documents", 3000, 2000, 1000, 1500}, {"Ph\"otos ✓", 0, 0, 0, 0}},
    {{"d/a.pdf", "a.pdf", 1500}, {"d/b.txt", "b.txt", 0}, {"d/c.odt", "c.odt", 700, true}},
    true,
};

// Answers what a test scripted and notes the evictions it was asked for.
class ScriptedBackend : public host_fs::StorageBackend {
 public:
  kalu_ui::Result<SyncedSnapshot> snapshot_answer = kSnapshot;
  kalu_ui::Result<ReclamationReport> evict_answer = ReclamationReport{2, 6500, 1};

  kalu_ui::Result<SyncedSnapshot> snapshot() override { return snapshot_answer; }
  kalu_ui::Result<ReclamationReport> evict(const std::vector<EvictionSelection>& files) override {
    std::lock_guard lock(mutex_);
    evicted_.push_back(files);
    return evict_answer;
  }
  std::vector<std::vector<EvictionSelection>> evicted() const {
    std::lock_guard lock(mutex_);
    return evicted_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::vector<EvictionSelection>> evicted_;
};

class StorageService : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/host_fs_test.XXXXXX";
    dir_ = ::mkdtemp(tmpl);
    socket_ = dir_ / "run" / "fs.sock";
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::unique_ptr<StorageServer> serve(LineHandler handler) {
    auto server = StorageServer::start(socket_, std::move(handler));
    EXPECT_TRUE(server.has_value()) << server.error();
    return server ? std::move(*server) : nullptr;
  }
  StorageClient client() { return StorageClient::connect(socket_).value(); }

  // A raw connection for requests the client would never write.
  std::string raw_exchange(int fd, const std::string& line) {
    EXPECT_EQ(::send(fd, line.data(), line.size(), MSG_NOSIGNAL),
              static_cast<ssize_t>(line.size()));
    std::string answer;
    char c = 0;
    while (::recv(fd, &c, 1, 0) == 1 && c != '\n') answer += c;
    return answer;
  }
  int raw_connect() {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, socket_.c_str());
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return fd;
  }

  fs::path dir_;
  fs::path socket_;
};

LineHandler raw(std::optional<std::string> answer) {
  return [answer](std::string_view) { return answer; };
}

TEST_F(StorageService, SnapshotAnswersFromTheScriptedService) {
  auto backend = std::make_shared<ScriptedBackend>();
  auto failing = std::make_shared<ScriptedBackend>();
  failing->snapshot_answer = kalu_ui::fail("the sync daemon is stopped");
  struct Case {
    const char* script;
    LineHandler handler;
    std::optional<SyncedSnapshot> snapshot;
    ServiceError::Kind kind = ServiceError::Kind::Failed;
    std::string message;
  };
  const Case cases[] = {
      {"good", host_fs::backend_handler(backend), kSnapshot, ServiceError::Kind::Failed, ""},
      {"error", host_fs::backend_handler(failing), std::nullopt, ServiceError::Kind::Failed,
       "the sync daemon is stopped"},
      {"garbage", raw("this is not JSON"), std::nullopt, ServiceError::Kind::Failed,
       "the storage service sent an unreadable answer: not a JSON object"},
      {"wrong shape", raw(R"({"ok":{"online":true,"usage":[{"name":"x"}],"files":[]}})"),
       std::nullopt, ServiceError::Kind::Failed,
       "the storage service sent an unreadable answer: \"total_bytes\" is not an unsigned "
       "integer"},
      {"negative",
       raw(R"({"ok":{"online":true,"usage":[],"files":[{"id":"a","name":"a",)"
           R"("reclaimable_bytes":-1}]}})"),
       std::nullopt, ServiceError::Kind::Failed,
       "the storage service sent an unreadable answer: \"reclaimable_bytes\" is not an unsigned "
       "integer"},
      {"a service that does not tell which files await verification",
       raw(R"({"ok":{"online":true,"usage":[],"files":[{"id":"a","name":"a",)"
           R"("reclaimable_bytes":5}]}})"),
       SyncedSnapshot{{}, {{"a", "a", 5, false}}, true}, ServiceError::Kind::Failed, ""},
      {"mistyped verification flag",
       raw(R"({"ok":{"online":true,"usage":[],"files":[{"id":"a","name":"a",)"
           R"("reclaimable_bytes":5,"awaits_verification":"yes"}]}})"),
       std::nullopt, ServiceError::Kind::Failed,
       "the storage service sent an unreadable answer: \"awaits_verification\" is not a "
       "boolean"},
      {"closing without an answer", raw(std::nullopt), std::nullopt, ServiceError::Kind::Closed,
       "the storage service closed the connection without answering"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    auto server = serve(c.handler);
    ASSERT_NE(server, nullptr);
    auto answer = client().snapshot();
    if (c.snapshot) {
      ASSERT_TRUE(answer.has_value()) << answer.error().message;
      EXPECT_EQ(*answer, *c.snapshot);
    } else {
      ASSERT_FALSE(answer.has_value());
      EXPECT_EQ(answer.error().kind, c.kind);
      EXPECT_EQ(answer.error().message, c.message);
    }
  }
}

TEST_F(StorageService, EvictionSendsTheSelectionAndReadsTheReport) {
  auto backend = std::make_shared<ScriptedBackend>();
  auto server = serve(host_fs::backend_handler(backend));
  const std::vector<EvictionSelection> selection = {
      EvictionSelection::from(SyncedFileState{"d/a.pdf", "a.pdf", 1500}),
      EvictionSelection{"d/ü;\n\"", 7},
  };
  StorageClient c = client();
  auto report = c.evict(selection);
  ASSERT_TRUE(report.has_value()) << report.error().message;
  EXPECT_EQ(*report, (ReclamationReport{2, 6500, 1}));
  // One connection carries further requests.
  EXPECT_EQ(c.snapshot().value(), kSnapshot);
  EXPECT_EQ(backend->evicted(), std::vector<std::vector<EvictionSelection>>{selection});

  backend->evict_answer = kalu_ui::fail("remote copies could not be verified");
  auto refused = client().evict(selection);
  ASSERT_FALSE(refused.has_value());
  EXPECT_EQ(refused.error().message, "remote copies could not be verified");

  server.reset();
  server = serve(raw(std::nullopt));
  auto cut = client().evict(selection);
  ASSERT_FALSE(cut.has_value());
  EXPECT_EQ(cut.error().kind, ServiceError::Kind::Closed);
}

TEST_F(StorageService, SlowAndMissingServicesFailWithoutHanging) {
  auto missing = StorageClient::connect(socket_);
  ASSERT_FALSE(missing.has_value());
  EXPECT_EQ(missing.error().kind, ServiceError::Kind::Failed);
  EXPECT_TRUE(missing.error().message.starts_with("cannot connect to " + socket_.string()));

  auto server = serve([](std::string_view) -> std::optional<std::string> {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return host_fs::protocol::encode_answer(kalu_ui::Result<SyncedSnapshot>(kSnapshot));
  });
  StorageClient slow = client();
  slow.set_timeout(std::chrono::milliseconds(50));
  auto answer = slow.snapshot();
  ASSERT_FALSE(answer.has_value());
  EXPECT_EQ(answer.error().message, "the storage service did not answer within 0.05 seconds");
  // The connection is not trusted again after a failure.
  EXPECT_EQ(slow.snapshot().error().message, "the connection to the storage service is closed");
}

TEST_F(StorageService, ServerAnswersBadRequestsAndKeepsItsSocketPrivate) {
  auto backend = std::make_shared<ScriptedBackend>();
  auto server = serve(host_fs::backend_handler(backend));
  struct stat st {};
  ASSERT_EQ(::lstat(socket_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_EQ(::lstat(socket_.parent_path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  const int fd = raw_connect();
  EXPECT_EQ(raw_exchange(fd, "garbage\n"), R"({"error":"the request is not a JSON object"})");
  EXPECT_EQ(raw_exchange(fd, R"({"version":2,"request":"snapshot"})"
                             "\n"),
            R"({"error":"only version 1 requests are understood"})");
  EXPECT_EQ(raw_exchange(fd, R"({"version":1,"request":"evict","files":[{"id":"x"}]})"
                             "\n"),
            R"({"error":"\"bytes\" is not an unsigned integer"})");
  EXPECT_TRUE(raw_exchange(fd, R"({"version":1,"request":"snapshot"})"
                               "\n")
                  .starts_with(R"({"ok":{"online":true,)"));
  EXPECT_TRUE(backend->evicted().empty());
  ::close(fd);

  // A second server is refused while this one answers; the socket goes with it.
  EXPECT_FALSE(StorageServer::start(socket_, host_fs::backend_handler(backend)).has_value());
  server.reset();
  EXPECT_FALSE(fs::exists(socket_));
}

TEST_F(StorageService, StaleSocketsAreReplacedOtherFilesAreNot) {
  fs::create_directories(socket_.parent_path());
  {
    // A socket file whose server is gone.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, socket_.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
  }
  auto server = serve(host_fs::backend_handler(std::make_shared<ScriptedBackend>()));
  EXPECT_EQ(client().snapshot().value(), kSnapshot);
  server.reset();

  std::ofstream(socket_) << "not a socket";
  EXPECT_FALSE(StorageServer::start(socket_, raw(std::nullopt)).has_value());
  EXPECT_TRUE(fs::is_regular_file(socket_));
  EXPECT_FALSE(StorageServer::start(dir_ / std::string(120, 'x'), raw(std::nullopt)));
}

}  // namespace
