#pragma once

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ondrel::testing {

// A listening socket on a free loopback port. Until somebody accepts, the kernel completes each
// connection and the client then hears nothing, as from a hung server.
class LoopbackListener {
public:
  explicit LoopbackListener(int backlog = 16) {
    m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), len);
    ::listen(m_fd, backlog);
    ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len);
    m_port = ntohs(a.sin_port);
  }
  ~LoopbackListener() { ::close(m_fd); }
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;

  int fd() const { return m_fd; }
  int port() const { return m_port; }

private:
  int m_fd = -1, m_port = 0;
};

} // namespace ondrel::testing
