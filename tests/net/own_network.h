#pragma once

#include <gtest/gtest.h>
#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/temp_dir.h"

namespace zp::testing {

enum class OwnNetwork {
  kInside,       // this run is the one in its own network: go on
  kRan,          // the test ran in its own network, and its result is checked
  kUnavailable,  // no namespace can be had (not root)
};

// Runs the calling test again, as a process of its own in a network and mount namespace of
// its own: only the loopback is there, and the resolver reads `hosts` and `resolvConf`
// instead of the machine's files. Nothing outside the namespace is touched, and the
// namespace ends with the process.
//
//   const OwnNetwork where = ownNetwork("127.0.0.2 twice.test\n");
//   if (where == OwnNetwork::kUnavailable) GTEST_SKIP() << "needs root";
//   if (where == OwnNetwork::kRan) return;
//   ... the test, where "twice.test" is 127.0.0.2
inline OwnNetwork ownNetwork(const std::string& hosts, const std::string& resolvConf = "") {
  static constexpr char kMark[] = "ZP_OWN_NETWORK";
  static constexpr int kNoNamespace = 77;
  if (std::getenv(kMark) != nullptr) {
    // The loopback, which a new network namespace has down.
    const int control = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ifreq loopback{};
    std::snprintf(loopback.ifr_name, sizeof loopback.ifr_name, "lo");
    loopback.ifr_flags = IFF_UP | IFF_LOOPBACK | IFF_RUNNING;
    EXPECT_EQ(::ioctl(control, SIOCSIFFLAGS, &loopback), 0);
    ::close(control);
    // Mounts made here stay here.
    EXPECT_EQ(::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr), 0);
    static const TempDir files;
    for (const auto& [name, text] : {std::pair{"hosts", hosts}, {"resolv.conf", resolvConf}}) {
      const std::string path = (files / name).string();
      std::ofstream(path) << text;
      const std::string target = std::string("/etc/") + name;
      EXPECT_EQ(::mount(path.c_str(), target.c_str(), nullptr, MS_BIND, nullptr), 0) << target;
    }
    return OwnNetwork::kInside;
  }

  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  const std::string filter =
      std::string("--gtest_filter=") + test->test_suite_name() + "." + test->name();
  const std::string mark = std::string(kMark) + "=1";
  // Everything the child needs is made before it is forked: after the fork, a process with
  // threads may only make system calls.
  std::vector<std::string> environment{mark};
  for (char** at = environ; *at != nullptr; ++at) environment.emplace_back(*at);
  std::vector<char*> envp;
  for (std::string& entry : environment) envp.push_back(entry.data());
  envp.push_back(nullptr);
  std::string self = "/proc/self/exe";
  char* argv[] = {self.data(), const_cast<char*>(filter.c_str()), nullptr};

  const pid_t child = ::fork();
  if (child == 0) {
    if (::unshare(CLONE_NEWNS | CLONE_NEWNET) != 0) ::_exit(kNoNamespace);
    ::execve(argv[0], argv, envp.data());
    ::_exit(127);
  }
  int status = 0;
  EXPECT_EQ(::waitpid(child, &status, 0), child);
  if (WIFEXITED(status) && WEXITSTATUS(status) == kNoNamespace) return OwnNetwork::kUnavailable;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
      << "the test in its own network failed (its output is above)";
  return OwnNetwork::kRan;
}

}  // namespace zp::testing
